#pragma once

#include <cstdint>

// What ZCafDecoder::decodeCaf found: channels (1 or 2), samples per second, and bits per sample
// of the PCM it produced (8 or 16).
struct ZCafDecoderFormat {
    int64_t channels = 0;
    int64_t rate = 0;
    int64_t bits = 0;
};
