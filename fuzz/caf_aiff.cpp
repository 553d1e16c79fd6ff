// Decodes the input as an AIFF or CAF file (linear PCM or IMA ADPCM) into PCM.
#include <cstddef>
#include <cstdint>

#include "ZCafDecoder.h"
#include "ZSoundGrowableArray.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZSoundGrowableArray pcm;
    ZCafDecoderFormat format;
    if (ZCafDecoder::decodeCaf(data, size, &format, pcm)) {
        uint64_t frame = static_cast<uint64_t>(format.channels * format.bits / 8);
        if (format.channels < 1 || format.channels > 2 || (format.bits != 8 && format.bits != 16) ||
            format.rate < 1 || frame == 0 || pcm.size % frame != 0)
            __builtin_trap();
    }
    return 0;
}
