#pragma once

#include <cstdint>

#include "ZCafDecoderFormat.h"
#include "ZSoundGrowableArray.h"

// Decodes AIFF files (linear PCM) and CAF files (linear PCM and IMA ADPCM in 'ima4' packets)
// held in memory into PCM for OpenAL: unsigned 8-bit samples, or 16-bit little-endian ones, one
// or two channels interleaved. Only whole sample frames and whole packets are read, and chunks
// that run past the file are cut at its end.
class ZCafDecoder {
public:
    // True on success, with format filled; the PCM is appended to pcm.
    static bool decodeCaf(const unsigned char* data, unsigned long size, ZCafDecoderFormat* format,
                          ZSoundGrowableArray& pcm);

    // One 'ima4' packet stream of the given layout: per packet, each channel in turn has a
    // 2-byte header and framesPerPacket / 2 bytes of nibbles. Appends 16-bit samples, channels
    // interleaved. False for a layout that cannot be decoded.
    static bool decodeIma4(const unsigned char* audio, uint64_t length, long channels,
                           uint64_t framesPerPacket, ZSoundGrowableArray& pcm);

private:
    static bool decodeAiff(const unsigned char* data, uint64_t size, ZCafDecoderFormat* format,
                           ZSoundGrowableArray& pcm);
    static bool decodeCafChunks(const unsigned char* data, uint64_t size, ZCafDecoderFormat* format,
                                ZSoundGrowableArray& pcm);
};
