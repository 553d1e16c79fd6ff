#pragma once

#include <cstdint>

// Multi-byte fields of sound files, read byte by byte: little-endian in WAV, big-endian in AIFF
// and CAF.
namespace ZSoundBytes {

inline uint32_t le16(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

inline uint32_t le32(const unsigned char* p) {
    return le16(p) | le16(p + 2) << 16;
}

inline uint32_t be16(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]);
}

inline uint32_t be32(const unsigned char* p) {
    return be16(p) << 16 | be16(p + 2);
}

inline uint64_t be64(const unsigned char* p) {
    return static_cast<uint64_t>(be32(p)) << 32 | be32(p + 4);
}

inline bool tagIs(const unsigned char* p, const char* tag) {
    return p[0] == static_cast<unsigned char>(tag[0]) &&
           p[1] == static_cast<unsigned char>(tag[1]) &&
           p[2] == static_cast<unsigned char>(tag[2]) && p[3] == static_cast<unsigned char>(tag[3]);
}

// Rates are played as 32-bit integers; anything else is no rate a sound can have.
inline bool isPlayableRate(double rate) {
    return rate >= 1.0 && rate <= 2147483647.0;
}

}  // namespace ZSoundBytes
