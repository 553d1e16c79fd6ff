#include "SoundTestSupport.h"

#include <lame/lame.h>
#include <vorbis/vorbisenc.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "ZSoundBytes.h"

namespace SoundTest {

std::string le16(uint32_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string le32(uint32_t value) {
    return le16(value & 0xFFFF) + le16(value >> 16);
}

std::string be16(uint32_t value) {
    return std::string{static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

std::string be32(uint32_t value) {
    return be16(value >> 16) + be16(value & 0xFFFF);
}

std::string be64(uint64_t value) {
    return be32(static_cast<uint32_t>(value >> 32)) + be32(static_cast<uint32_t>(value));
}

std::string extended(double value) {
    if (value == 0) return std::string(10, '\0');
    bool negative = value < 0;
    if (negative) value = -value;
    int exponent = 0;
    double mantissa = std::frexp(value, &exponent);  // value = mantissa * 2^exponent, [0.5, 1)
    uint64_t bits = static_cast<uint64_t>(std::ldexp(mantissa, 64));
    uint32_t biased = static_cast<uint32_t>(exponent - 1 + 16383) | (negative ? 0x8000 : 0);
    return be16(biased) + be64(bits);
}

std::string riffChunk(const std::string& id, const std::string& body, int64_t size) {
    return id + le32(static_cast<uint32_t>(size < 0 ? body.size() : size)) + body;
}

std::string aiffChunk(const std::string& id, const std::string& body, int64_t size) {
    return id + be32(static_cast<uint32_t>(size < 0 ? body.size() : size)) + body;
}

std::string cafChunk(const std::string& type, const std::string& body) {
    return cafChunk(type, body, static_cast<int64_t>(body.size()));
}

std::string cafChunk(const std::string& type, const std::string& body, int64_t size) {
    return type + be64(static_cast<uint64_t>(size)) + body;
}

std::string wavFormat(int channels, int rate, int bits) {
    int block = channels * ((bits + 7) / 8);
    return le16(1) + le16(channels) + le32(rate) + le32(rate * block) + le16(block) + le16(bits);
}

std::string wavFile(const std::string& chunks, int64_t riffSize) {
    uint32_t size = static_cast<uint32_t>(riffSize < 0 ? chunks.size() + 4 : riffSize);
    return "RIFF" + le32(size) + "WAVE" + chunks;
}

std::string wavFile(int channels, int rate, int bits, const std::string& data) {
    return wavFile(riffChunk("fmt ", wavFormat(channels, rate, bits)) + riffChunk("data", data));
}

std::string aiffCommon(int channels, uint32_t frames, int bits, const std::string& rate) {
    return be16(channels) + be32(frames) + be16(bits) + rate;
}

std::string aiffFile(const std::string& chunks, int64_t formSize) {
    uint32_t size = static_cast<uint32_t>(formSize < 0 ? chunks.size() + 4 : formSize);
    return "FORM" + be32(size) + "AIFF" + chunks;
}

std::string aiffFile(int channels, int rate, int bits, const std::string& samples) {
    uint32_t frames = static_cast<uint32_t>(samples.size() / (channels * ((bits + 7) / 8)));
    return aiffFile(aiffChunk("COMM", aiffCommon(channels, frames, bits, extended(rate))) +
                    aiffChunk("SSND", be32(0) + be32(0) + samples));
}

std::string cafDescription(double rate, const std::string& formatId, uint32_t flags,
                           uint32_t bytesPerPacket, uint32_t framesPerPacket, uint32_t channels,
                           uint32_t bits) {
    uint64_t rateBits;
    memcpy(&rateBits, &rate, sizeof(rate));
    return be64(rateBits) + formatId + be32(flags) + be32(bytesPerPacket) + be32(framesPerPacket) +
           be32(channels) + be32(bits);
}

std::string cafFile(const std::string& chunks) {
    return std::string("caff") + be16(1) + be16(0) + chunks;
}

std::string cafData(const std::string& audio) {
    return be32(0) + audio;
}

std::vector<int16_t> sine(double frequency, int rate, double seconds, double amplitude,
                          int channels) {
    size_t frames = static_cast<size_t>(std::lround(seconds * rate));
    std::vector<int16_t> samples(frames * channels);
    for (size_t i = 0; i < frames; i++) {
        double value = amplitude * std::sin(2 * M_PI * frequency * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; c++)
            samples[i * channels + c] = static_cast<int16_t>(std::lround(value));
    }
    return samples;
}

std::string bytesOf(const std::vector<int16_t>& samples) {
    std::string bytes;
    bytes.reserve(samples.size() * 2);
    for (int16_t s : samples) bytes += le16(static_cast<uint16_t>(s));
    return bytes;
}

std::vector<int16_t> samplesOf(const unsigned char* data, uint64_t size) {
    std::vector<int16_t> samples(size / 2);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = static_cast<int16_t>(data[2 * i] | data[2 * i + 1] << 8);
    return samples;
}

namespace {

struct ImaState {
    int predictor = 0;
    int index = 0;
};

unsigned encodeNibble(ImaState& state, int sample) {
    int index = state.index < 0 ? 0 : state.index > 88 ? 88 : state.index;
    int step = ZSoundBytes::kImaSteps[index];
    int diff = sample - state.predictor;
    unsigned nibble = 0;
    if (diff < 0) {
        nibble = 8;
        diff = -diff;
    }
    if (diff >= step) {
        nibble |= 4;
        diff -= step;
    }
    if (diff >= step / 2) {
        nibble |= 2;
        diff -= step / 2;
    }
    if (diff >= step / 4) nibble |= 1;
    // The decoder's own step, so that both follow the same predictor.
    int delta = step >> 3;
    if (nibble & 4) delta += step;
    if (nibble & 2) delta += step >> 1;
    if (nibble & 1) delta += step >> 2;
    state.predictor += (nibble & 8) ? -delta : delta;
    if (state.predictor > 32767) state.predictor = 32767;
    if (state.predictor < -32768) state.predictor = -32768;
    state.index = index + ZSoundBytes::kImaIndexChanges[nibble & 7];
    return nibble;
}

}  // namespace

std::string imaPackets(const std::vector<int16_t>& samples, int channels) {
    const size_t frames = samples.size() / channels;
    ImaState states[2];
    std::string out;
    for (size_t start = 0; start < frames; start += 64) {
        for (int c = 0; c < channels; c++) {
            ImaState& state = states[c];
            int index = state.index < 0 ? 0 : state.index > 88 ? 88 : state.index;
            out += be16((static_cast<uint16_t>(state.predictor) & 0xFF80) | index);
            for (size_t k = 0; k < 64; k += 2) {
                auto at = [&](size_t frame) {
                    return frame < frames ? samples[frame * channels + c] : 0;
                };
                unsigned low = encodeNibble(state, at(start + k));
                unsigned high = encodeNibble(state, at(start + k + 1));
                out += static_cast<char>(low | high << 4);
            }
        }
    }
    return out;
}

bool oggPages(const std::vector<int16_t>& samples, int channels, int rate, float quality,
              int serial, const OggPageSink& sink) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);

    auto emit = [&sink](const ogg_page& page, bool header) {
        std::string bytes(reinterpret_cast<const char*>(page.header), page.header_len);
        bytes.append(reinterpret_cast<const char*>(page.body), page.body_len);
        sink(bytes, ogg_page_granulepos(&page), header);
    };
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page)) emit(page, true);

    const size_t frames = samples.size() / channels;
    auto drain = [&]() {
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) emit(page, false);
            }
        }
    };
    for (size_t start = 0; start < frames; start += 4096) {
        size_t count = frames - start < 4096 ? frames - start : 4096;
        float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
        for (size_t i = 0; i < count; i++)
            for (int c = 0; c < channels; c++)
                buffer[c][i] = samples[(start + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&dsp, static_cast<int>(count));
        drain();
    }
    vorbis_analysis_wrote(&dsp, 0);
    drain();
    while (ogg_stream_flush(&stream, &page)) emit(page, false);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return true;
}

std::string oggFile(const std::vector<int16_t>& samples, int channels, int rate, float quality) {
    std::string out;
    if (!oggPages(samples, channels, rate, quality, 1234,
                  [&out](const std::string& page, int64_t, bool) { out += page; }))
        return std::string();
    return out;
}

std::string mp3File(const std::vector<int16_t>& samples, int channels, int rate) {
    lame_t lame = lame_init();
    lame_set_num_channels(lame, channels);
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return std::string();
    }
    const int frames = static_cast<int>(samples.size() / channels);
    std::vector<unsigned char> out(static_cast<size_t>(frames) * 5 / 4 + 7200 + 16384);
    std::vector<int16_t> left(samples);
    int written;
    if (channels == 2) {
        written = lame_encode_buffer_interleaved(lame, left.data(), frames, out.data(),
                                                 static_cast<int>(out.size()));
    } else {
        written = lame_encode_buffer(lame, left.data(), left.data(), frames, out.data(),
                                     static_cast<int>(out.size()));
    }
    if (written < 0) written = 0;
    int flushed =
        lame_encode_flush(lame, out.data() + written, static_cast<int>(out.size()) - written);
    if (flushed > 0) written += flushed;
    lame_close(lame);
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(written));
}

double toneAmplitude(const std::vector<int16_t>& samples, int channels, int channel,
                     double frequency, int rate) {
    size_t frames = samples.size() / channels;
    if (frames == 0) return 0;
    double re = 0, im = 0;
    double w = 2 * M_PI * frequency / rate;
    for (size_t i = 0; i < frames; i++) {
        double s = samples[i * channels + channel];
        re += s * std::cos(w * static_cast<double>(i));
        im += s * std::sin(w * static_cast<double>(i));
    }
    return 2 * std::sqrt(re * re + im * im) / static_cast<double>(frames);
}

double peakFrequency(const std::vector<int16_t>& samples, int channels, int rate, double low,
                     double high, double step) {
    double best = low, bestAmplitude = -1;
    for (double f = low; f <= high; f += step) {
        double amplitude = toneAmplitude(samples, channels, 0, f, rate);
        if (amplitude > bestAmplitude) {
            bestAmplitude = amplitude;
            best = f;
        }
    }
    return best;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMilliseconds) {
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace SoundTest
