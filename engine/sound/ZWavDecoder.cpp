#include "ZWavDecoder.h"

#include "ZSoundBytes.h"

using namespace ZSoundBytes;

namespace {

// AL_FORMAT_MONO8, AL_FORMAT_MONO16, AL_FORMAT_STEREO8, AL_FORMAT_STEREO16.
const long kMono8 = 0x1100;
const long kMono16 = 0x1101;
const long kStereo8 = 0x1102;
const long kStereo16 = 0x1103;

// Samples of width bytes (1 to 4), kept as the 8-bit or 16-bit samples OpenAL plays.
void appendLittleEndian(const unsigned char* in, uint64_t count, uint32_t width,
                        ZSoundGrowableArray& pcm) {
    if (count == 0) return;
    if (width <= 2) {
        pcm.append(in, count * width);
        return;
    }
    unsigned char* out = pcm.extend(count * 2);
    if (!out) return;
    for (uint64_t i = 0; i < count; i++, in += width, out += 2) {
        out[0] = in[width - 2];
        out[1] = in[width - 1];
    }
}

}  // namespace

long ZWavDecoder::openALFormat(long channels, long bits) {
    if (channels == 1) return bits == 8 ? kMono8 : kMono16;
    return bits == 8 ? kStereo8 : kStereo16;
}

bool ZWavDecoder::decode(const unsigned char* data, uint64_t size, long& format, long& rate,
                         ZSoundGrowableArray& pcm) {
    if (!data || size < 12 || !tagIs(data, "RIFF") || !tagIs(data + 8, "WAVE")) return false;
    uint64_t end = static_cast<uint64_t>(le32(data + 4)) + 8;
    if (end > size) end = size;
    if (end < 20) return false;

    bool haveFormat = false, haveData = false;
    uint32_t channels = 0, width = 0;
    uint64_t dataStart = 0, dataLength = 0;
    for (uint64_t at = 12; at + 8 <= end;) {
        const unsigned char* chunk = data + at;
        uint64_t length = le32(chunk + 4);
        uint64_t body = at + 8;
        if (tagIs(chunk, "fmt ")) {
            if (length < 16 || body + 16 > end) return false;
            channels = le16(data + body + 2);
            uint32_t sampleRate = le32(data + body + 4);
            uint32_t bits = le16(data + body + 14);
            if (channels < 1 || channels > 2 || !isPlayableRate(sampleRate) || bits < 1 ||
                bits > 32)
                return false;
            width = (bits + 7) / 8;
            format = openALFormat(channels, width == 1 ? 8 : 16);
            rate = static_cast<long>(sampleRate);
            haveFormat = true;
        } else if (tagIs(chunk, "data") && !haveData) {
            dataStart = body;
            dataLength = length < end - body ? length : end - body;
            haveData = true;
        }
        if (haveFormat && haveData) break;
        // Chunks follow each other without the RIFF padding byte after odd sizes.
        at = body + length;
    }
    if (!haveFormat) return false;

    // The "fmt " chunk may come after the data it describes.
    if (haveData) {
        uint64_t frames = dataLength / (width * channels);
        appendLittleEndian(data + dataStart, frames * channels, width, pcm);
    }
    return true;
}
