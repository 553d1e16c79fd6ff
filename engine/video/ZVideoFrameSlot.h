#pragma once

#include <cstdint>

// One decoded frame waiting to be shown: when (seconds of the video clock), in which loop of
// the video, its frame number and its pixels (owned by the video).
struct ZVideoFrameSlot {
    double time = 0;
    int64_t epoch = 0;
    uint64_t frame = 0;
    uint32_t* pixels = nullptr;
};
