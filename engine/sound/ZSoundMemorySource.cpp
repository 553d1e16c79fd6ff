#include "ZSoundMemorySource.h"

#include <cstring>

size_t ZSoundMemorySource::read(void* buffer, size_t size, size_t count, void* source) {
    ZSoundMemorySource* memory = static_cast<ZSoundMemorySource*>(source);
    if (!memory || !memory->data) return 0;
    size_t wanted;
    if (__builtin_mul_overflow(size, count, &wanted)) wanted = SIZE_MAX;
    uint64_t left = memory->position < memory->size ? memory->size - memory->position : 0;
    size_t n = left < wanted ? static_cast<size_t>(left) : wanted;
    if (n) memcpy(buffer, memory->data + memory->position, n);
    memory->position += n;
    return n;
}

// Positions outside the data stop at its ends; the result is always 0, as vorbisfile expects
// of a seekable source.
int ZSoundMemorySource::seek(void* source, int64_t offset, int whence) {
    ZSoundMemorySource* memory = static_cast<ZSoundMemorySource*>(source);
    if (!memory || !memory->data) return 0;
    uint64_t size = memory->size;
    switch (whence) {
        case 0:  // SEEK_SET
            memory->position = offset < 0                             ? 0
                               : static_cast<uint64_t>(offset) > size ? size
                                                                      : offset;
            break;
        case 1: {  // SEEK_CUR
            uint64_t position = memory->position < size ? memory->position : size;
            if (offset >= 0) {
                memory->position =
                    size - position <= static_cast<uint64_t>(offset) ? size : position + offset;
            } else {
                uint64_t back = static_cast<uint64_t>(-(offset + 1)) + 1;
                memory->position = back >= position ? 0 : position - back;
            }
            break;
        }
        case 2:  // SEEK_END
            memory->position = size;
            break;
        default:
            break;
    }
    return 0;
}

int ZSoundMemorySource::close(void* source) {
    ZSoundMemorySource* memory = static_cast<ZSoundMemorySource*>(source);
    if (memory) memory->clear();
    return 1;
}

long ZSoundMemorySource::tell(void* source) {
    ZSoundMemorySource* memory = static_cast<ZSoundMemorySource*>(source);
    return memory ? static_cast<long>(memory->position) : 0;
}
