#include "ZSoundGrowableArray.h"

#include <cstdlib>
#include <cstring>

ZSoundGrowableArray::~ZSoundGrowableArray() {
    release();
}

bool ZSoundGrowableArray::reserve(uint64_t count) {
    if (spare >= count) return true;
    if (count > UINT64_MAX - size) return false;
    uint64_t needed = size + count;
    // Doubling keeps a long run of small appends linear.
    uint64_t grown = size <= UINT64_MAX / 2 ? size * 2 : needed;
    uint64_t target = grown > needed ? grown : needed;
    if (target > SIZE_MAX) target = needed;
    if (target > SIZE_MAX) return false;
    void* bigger = realloc(data, static_cast<size_t>(target));
    if (!bigger && target != needed) {
        target = needed;
        bigger = realloc(data, static_cast<size_t>(target));
    }
    if (!bigger) return false;
    data = static_cast<unsigned char*>(bigger);
    spare = target - size;
    return true;
}

unsigned char* ZSoundGrowableArray::extend(uint64_t count) {
    if (!reserve(count)) return nullptr;
    unsigned char* at = data + size;
    size += count;
    spare -= count;
    return at;
}

void ZSoundGrowableArray::append(const void* bytes, uint64_t count) {
    if (count == 0) return;
    unsigned char* at = extend(count);
    if (at) memcpy(at, bytes, static_cast<size_t>(count));
}

void ZSoundGrowableArray::release() {
    free(data);
    data = nullptr;
    size = 0;
    spare = 0;
}
