// Decodes the input as an Ogg Vorbis file, whole as a sample load does, then as a stream does:
// packet by packet through the memory callbacks, rewinding once at the end.
#include <vorbis/vorbisfile.h>

#include <cstddef>
#include <cstdint>

#include "ZSound.h"
#include "ZSoundGrowableArray.h"
#include "ZSoundMemorySource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZSoundGrowableArray pcm;
    long format = 0, rate = 0;
    bool whole = ZSound::decodeOgg(data, size, format, rate, pcm);
    if (whole && pcm.size % (format == 0x1103 ? 4 : 2) != 0) __builtin_trap();

    ov_callbacks callbacks = {ZSoundMemorySource::read, ZSoundMemorySource::seek,
                              ZSoundMemorySource::close, ZSoundMemorySource::tell};
    ZSoundMemorySource memory;
    memory.set(data, size);
    OggVorbis_File file;
    if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0) return 0;
    static char packet[4096];
    for (int pass = 0; pass < 2; pass++) {
        for (int reads = 0; reads < 4096; reads++) {
            int bitstream = 0;
            long n = ov_read(&file, packet, sizeof(packet), 0, 2, 1, &bitstream);
            if (n <= 0) break;
        }
        ov_time_seek(&file, 0.0);
    }
    ov_clear(&file);
    return 0;
}
