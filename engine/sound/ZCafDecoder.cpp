#include "ZCafDecoder.h"

#include <cmath>
#include <cstring>

#include "ZCore.h"
#include "ZSoundBytes.h"

using namespace ZSoundBytes;

namespace {

struct ImaChannel {
    int32_t predictor = 0;
    int32_t index = 0;
    bool started = false;
};

inline int16_t imaSample(ImaChannel& channel, unsigned nibble) {
    if (channel.index < 0) channel.index = 0;
    if (channel.index > 88) channel.index = 88;
    int step = kImaSteps[channel.index];
    channel.index += kImaIndexChanges[nibble];
    int diff = step >> 3;
    if (nibble & 4) diff += step;
    if (nibble & 2) diff += step >> 1;
    if (nibble & 1) diff += step >> 2;
    int predictor = (nibble & 8) ? channel.predictor - diff : channel.predictor + diff;
    if (predictor > 32767) predictor = 32767;
    if (predictor < -32768) predictor = -32768;
    channel.predictor = predictor;
    return static_cast<int16_t>(predictor);
}

// The rate of an 80-bit IEEE extended number; 0 for zero, infinity for the largest exponent.
double extendedToDouble(const unsigned char* p) {
    bool negative = (p[0] & 0x80) != 0;
    int exponent = static_cast<int>(be16(p) & 0x7FFF);
    uint32_t high = be32(p + 2), low = be32(p + 6);
    if (exponent == 0 && high == 0 && low == 0) return 0.0;
    if (exponent == 0x7FFF) return HUGE_VAL;
    double value = std::ldexp(static_cast<double>(high), exponent - 16383 - 31) +
                   std::ldexp(static_cast<double>(low), exponent - 16383 - 63);
    return negative ? -value : value;
}

// count samples of width bytes (1 to 4) as OpenAL's samples: 8-bit ones unsigned (flipping the
// sign bit of signed ones), wider ones as their two most significant bytes, little-endian.
void appendSamples(const unsigned char* in, uint64_t count, uint32_t width, bool bigEndian,
                   bool signed8, ZSoundGrowableArray& pcm) {
    if (count == 0) return;
    if (width == 1) {
        unsigned char* out = pcm.extend(count);
        if (!out) return;
        unsigned char flip = signed8 ? 0x80 : 0;
        for (uint64_t i = 0; i < count; i++) out[i] = in[i] ^ flip;
        return;
    }
    if (width == 2 && !bigEndian) {
        pcm.append(in, count * 2);
        return;
    }
    unsigned char* out = pcm.extend(count * 2);
    if (!out) return;
    for (uint64_t i = 0; i < count; i++, in += width, out += 2) {
        if (bigEndian) {
            out[0] = in[1];
            out[1] = in[0];
        } else {
            out[0] = in[width - 2];
            out[1] = in[width - 1];
        }
    }
}

}  // namespace

bool ZCafDecoder::decodeCaf(const unsigned char* data, unsigned long size,
                            ZCafDecoderFormat* format, ZSoundGrowableArray& pcm) {
    if (!data || !format) return false;
    if (size >= 12 && tagIs(data, "FORM") && tagIs(data + 8, "AIFF"))
        return decodeAiff(data, size, format, pcm);
    return decodeCafChunks(data, size, format, pcm);
}

bool ZCafDecoder::decodeAiff(const unsigned char* data, uint64_t size, ZCafDecoderFormat* format,
                             ZSoundGrowableArray& pcm) {
    uint64_t end = static_cast<uint64_t>(be32(data + 4)) + 8;
    if (end > size) end = size;
    if (end < 13) return false;

    bool haveCommon = false, haveSound = false;
    uint32_t channels = 0, width = 0;
    uint64_t soundStart = 0, soundLength = 0;
    for (uint64_t at = 12; at + 8 <= end;) {
        const unsigned char* chunk = data + at;
        uint64_t length = be32(chunk + 4);
        uint64_t body = at + 8;
        if (tagIs(chunk, "COMM")) {
            if (length < 18 || body + 18 > end) return false;
            channels = be16(data + body);
            uint32_t bits = be16(data + body + 6);
            double rate = extendedToDouble(data + body + 8);
            if (bits != 16 && bits != 24 && bits != 32)
                ZCore::logMessage("AIFF: warning, unsupported %ld bits/sample",
                                  static_cast<long>(bits));
            if (channels < 1 || channels > 2 || bits < 1 || bits > 32 || !isPlayableRate(rate))
                return false;
            width = (bits + 7) / 8;
            format->channels = channels;
            format->bits = width == 1 ? 8 : 16;
            format->rate = static_cast<int64_t>(rate);
            haveCommon = true;
        } else if (tagIs(chunk, "SSND")) {
            uint64_t offset = body + 8 <= end ? be32(data + body) : UINT64_MAX;
            uint64_t start = offset == UINT64_MAX ? UINT64_MAX : body + 8 + offset;
            // The offset skips bytes that belong to the chunk: the samples are what is left.
            if (length < 9 || start >= end || offset > length - 8) {
                ZCore::logMessage("AIFF: ssnd chunk out of bounds, comment size is 0x%lx",
                                  static_cast<unsigned long>(offset == UINT64_MAX ? 0 : offset));
            } else if (!haveSound) {
                soundStart = start;
                soundLength = length - 8 - offset;
                if (soundLength > end - start) soundLength = end - start;
                haveSound = true;
            }
        }
        at = body + length;
    }
    if (!haveCommon) return false;
    if (haveSound) {
        uint64_t frames = soundLength / (width * channels);
        // Samples are big-endian and signed, 8-bit ones too.
        appendSamples(data + soundStart, frames * channels, width, true, true, pcm);
    }
    return haveSound;
}

bool ZCafDecoder::decodeCafChunks(const unsigned char* data, uint64_t size,
                                  ZCafDecoderFormat* format, ZSoundGrowableArray& pcm) {
    if (size < 8 || !tagIs(data, "caff") || be16(data + 4) != 1) return false;

    bool haveDescription = false, failed = false, appended = false;
    double rate = 0;
    uint32_t formatId = 0, flags = 0, framesPerPacket = 0, channels = 0, bits = 0;
    for (uint64_t at = 8; at + 12 <= size && !failed;) {
        const unsigned char* chunk = data + at;
        int64_t stated = static_cast<int64_t>(be64(chunk + 4));
        uint64_t body = at + 12;
        bool isData = tagIs(chunk, "data");
        // Only a data chunk may say "to the end of the file" (-1).
        if (stated < 0 && !(isData && stated == -1)) return false;
        uint64_t length = stated == -1 ? size - body : static_cast<uint64_t>(stated);
        uint64_t inFile = length < size - body ? length : size - body;

        if (tagIs(chunk, "desc")) {
            if (length < 32 || inFile < 32) return false;
            const unsigned char* d = data + body;
            uint64_t rateBits = be64(d);
            memcpy(&rate, &rateBits, sizeof(rate));
            formatId = be32(d + 8);
            flags = be32(d + 12);
            framesPerPacket = be32(d + 20);
            channels = be32(d + 24);
            bits = be32(d + 28);
            if (bits == 0) bits = 16;
            if (channels < 1 || channels > 2 || !isPlayableRate(rate)) return false;
            haveDescription = true;
        } else if (isData) {
            if (length < 4 || inFile < 4) return false;
            const unsigned char* audio = data + body + 4;
            uint64_t audioLength = inFile - 4;
            if (!haveDescription) {
                ZCore::logMessage(
                    "CAF: data chunk appears before desc chunk, sound data cannot be read, "
                    "WARNING");
                failed = true;
            } else if (formatId == 0x6C70636D) {  // 'lpcm'
                if (flags & 1) {
                    ZCore::logMessage(
                        "CAF: unsupported floating point samples, sound data cannot be read, "
                        "WARNING");
                    failed = true;
                } else if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
                    ZCore::logMessage(
                        "CAF: unsupported number of bits per channel (%ld), sound data cannot "
                        "be read, WARNING",
                        static_cast<long>(bits));
                    failed = true;
                } else {
                    uint32_t width = bits / 8;
                    uint64_t frames = audioLength / (width * channels);
                    // Flag bit 1: little-endian; bit 2: signed integers.
                    appendSamples(audio, frames * channels, width, (flags & 2) == 0,
                                  (flags & 4) != 0, pcm);
                    if (bits != 8) bits = 16;
                    appended = appended || frames > 0;
                }
            } else if (formatId == 0x696D6134) {  // 'ima4'
                uint64_t before = pcm.size;
                if (!decodeIma4(audio, audioLength, channels, framesPerPacket, pcm)) failed = true;
                appended = appended || pcm.size > before;
            } else {
                ZCore::logMessage(
                    "CAF: unknown sound format 0x%08lx, sound data cannot be read, WARNING",
                    static_cast<unsigned long>(formatId));
                failed = true;
            }
        }
        if (length > size - body) break;
        at = body + length;
    }
    // Without a description nothing says how to play what was read.
    if (failed || !haveDescription) return false;
    if (!appended) {
        static const unsigned char kSilence[4] = {0, 0, 0, 0};
        pcm.append(kSilence, sizeof(kSilence));
    }
    format->channels = channels;
    // What was appended: 8-bit samples, or 16-bit ones (the silence of a file without data too).
    format->bits = bits == 8 ? 8 : 16;
    format->rate = static_cast<int64_t>(rate);
    return true;
}

bool ZCafDecoder::decodeIma4(const unsigned char* audio, uint64_t length, long channels,
                             uint64_t framesPerPacket, ZSoundGrowableArray& pcm) {
    if (channels < 1 || channels > 2 || framesPerPacket == 0 || framesPerPacket % 2 != 0)
        return false;
    uint64_t channelBytes = 2 + framesPerPacket / 2;
    uint64_t packetBytes = channelBytes * static_cast<uint64_t>(channels);
    uint64_t packets = length / packetBytes;
    uint64_t outBytes = framesPerPacket * static_cast<uint64_t>(channels) * 2;
    if (packets == 0) return true;
    pcm.reserve(packets * outBytes);

    ImaChannel state[2];
    for (uint64_t p = 0; p < packets; p++, audio += packetBytes) {
        unsigned char* out = pcm.extend(outBytes);
        if (!out) continue;
        for (long c = 0; c < channels; c++) {
            const unsigned char* in = audio + static_cast<uint64_t>(c) * channelBytes;
            ImaChannel& channel = state[c];
            int32_t predictor = static_cast<int16_t>(be16(in) & 0xFF80);
            int32_t index = in[1] & 0x7F;
            // A running channel keeps its own state unless the header has moved far from it.
            int32_t distance = channel.predictor - predictor;
            if (!channel.started || distance > 127 || distance < -127) {
                channel.predictor = predictor;
                channel.index = index;
                channel.started = true;
            }
            unsigned char* sample = out + c * 2;
            uint64_t stride = static_cast<uint64_t>(channels) * 2;
            for (uint64_t i = 0; i < framesPerPacket / 2; i++) {
                unsigned char byte = in[2 + i];
                int16_t first = imaSample(channel, byte & 0x0F);
                int16_t second = imaSample(channel, byte >> 4);
                sample[0] = static_cast<unsigned char>(first & 0xFF);
                sample[1] = static_cast<unsigned char>((first >> 8) & 0xFF);
                sample += stride;
                sample[0] = static_cast<unsigned char>(second & 0xFF);
                sample[1] = static_cast<unsigned char>((second >> 8) & 0xFF);
                sample += stride;
            }
        }
    }
    return true;
}
