#pragma once

#include <cstddef>
#include <cstdint>

// A sound file held in memory, read by vorbisfile through the four callbacks below (the data
// source they are given is the ZSoundMemorySource). Nothing is owned: close only forgets.
class ZSoundMemorySource {
public:
    const unsigned char* data = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;

    void set(const void* bytes, uint64_t count) {
        data = static_cast<const unsigned char*>(bytes);
        size = count;
        position = 0;
    }
    void clear() { set(nullptr, 0); }

    // The vorbisfile callbacks (ov_callbacks).
    static size_t read(void* buffer, size_t size, size_t count, void* source);
    static int seek(void* source, int64_t offset, int whence);
    static int close(void* source);
    static long tell(void* source);
};
