// Decodes the input as a WAV file into PCM, as a sample load does.
#include <cstddef>
#include <cstdint>

#include "ZSoundGrowableArray.h"
#include "ZWavDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZSoundGrowableArray pcm;
    long format = 0, rate = 0;
    if (ZWavDecoder::decode(data, size, format, rate, pcm)) {
        // Whole frames of a format OpenAL plays, never more than the file held.
        long frame = format == 0x1100 ? 1 : format == 0x1103 ? 4 : 2;
        if (format < 0x1100 || format > 0x1103 || rate < 1 || pcm.size % frame != 0 ||
            pcm.size > size)
            __builtin_trap();
    }
    return 0;
}
