#pragma once

#include <cstdint>

// One packet of the sound track: 16-bit samples, channels interleaved; how many bytes it holds
// and how many are still unread, the position of its first sample and the loop it belongs to.
struct ZVideoAudioSlot {
    int16_t* samples = nullptr;
    int64_t bytes = 0;
    int64_t bytesLeft = 0;
    int64_t firstSample = 0;
    int64_t epoch = 0;
};
