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

// IMA ADPCM's step sizes and the index change of each 4-bit code.
inline constexpr int kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

inline constexpr int kImaIndexChanges[16] = {-1, -1, -1, -1, 2, 4, 6, 8,
                                             -1, -1, -1, -1, 2, 4, 6, 8};

}  // namespace ZSoundBytes
