#pragma once

#include <cstdint>

#include "ZSoundGrowableArray.h"

// Reads a whole RIFF WAVE file held in memory: the "fmt " chunk gives channels (1 or 2), rate and
// bits, the first "data" chunk the samples. 8-bit samples stay unsigned bytes; wider ones become
// 16-bit little-endian, 24- and 32-bit samples keeping their upper two bytes. Only whole sample
// frames are kept, and a data chunk that runs past the file is cut at its end.
class ZWavDecoder {
public:
    // True when a usable "fmt " chunk was found (even without a "data" chunk); format is the
    // OpenAL format (mono or stereo, 8 or 16 bits) of what was appended to pcm.
    static bool decode(const unsigned char* data, uint64_t size, long& format, long& rate,
                       ZSoundGrowableArray& pcm);

    // The OpenAL format of 8-bit or 16-bit samples of one or two channels.
    static long openALFormat(long channels, long bits);
};
