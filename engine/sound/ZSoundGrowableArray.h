#pragma once

#include <cstdint>

// PCM output of the sound decoders: a malloc'd byte array that grows as pieces are appended. An
// append that cannot get memory drops its piece and decoding goes on. The owner frees the data
// with free(), or through release().
class ZSoundGrowableArray {
public:
    unsigned char* data = nullptr;
    uint64_t size = 0;   // bytes used
    uint64_t spare = 0;  // bytes allocated beyond size

    ZSoundGrowableArray() = default;
    ~ZSoundGrowableArray();
    ZSoundGrowableArray(const ZSoundGrowableArray&) = delete;
    ZSoundGrowableArray& operator=(const ZSoundGrowableArray&) = delete;

    void append(const void* bytes, uint64_t count);
    // Room for count more bytes without another allocation; false when it cannot be had.
    bool reserve(uint64_t count);
    // Makes count bytes at the end writable and counts them as used: the caller fills them. Null
    // (nothing changed) when the memory cannot be had.
    unsigned char* extend(uint64_t count);
    void release();
};
