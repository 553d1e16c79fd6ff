// The sound file decoders on memory: WAV, AIFF, CAF (linear PCM and IMA ADPCM) and Ogg Vorbis.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "SoundTestSupport.h"
#include "ZCafDecoder.h"
#include "ZSound.h"
#include "ZWavDecoder.h"

using namespace SoundTest;
using namespace std::string_literals;

namespace {

const long kMono8 = 0x1100, kMono16 = 0x1101, kStereo8 = 0x1102, kStereo16 = 0x1103;

const unsigned char* bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

std::string pcmOf(const ZSoundGrowableArray& pcm) {
    return std::string(reinterpret_cast<const char*>(pcm.data), pcm.size);
}

std::string hex(const std::string& s) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

struct WavCase {
    const char* what;
    std::string file;
    bool ok;
    long format;
    long rate;
    std::string pcm;
};

TEST(ZWavDecoderTest, DecodesWhatTheChunksSayAndRefusesHostileFiles) {
    const std::string s16 = le16(0x1234) + le16(0xFEDC) + le16(7);
    const std::string fmt16 = riffChunk("fmt ", wavFormat(1, 22050, 16));
    const std::vector<WavCase> cases = {
        {"16-bit mono", wavFile(1, 22050, 16, s16), true, kMono16, 22050, s16},
        {"8-bit stereo", wavFile(2, 8000, 8, "\x01\x80\xff\x7f"), true, kStereo8, 8000,
         "\x01\x80\xff\x7f"},
        {"24-bit keeps the upper two bytes of each sample",
         wavFile(1, 44100, 24, "\x01\x02\x03\x04\x05\x06\x07\x08\x09"), true, kMono16, 44100,
         "\x02\x03\x05\x06\x08\x09"},
        {"32-bit keeps the upper two bytes",
         wavFile(1, 44100, 32, "\x01\x02\x03\x04\x05\x06\x07\x08"), true, kMono16, 44100,
         "\x03\x04\x07\x08"},
        {"a partial 24-bit sample is dropped", wavFile(1, 44100, 24, "\x01\x02\x03\x04\x05"), true,
         kMono16, 44100, "\x02\x03"},
        {"a partial stereo frame is dropped", wavFile(2, 44100, 16, s16), true, kStereo16, 44100,
         s16.substr(0, 4)},
        {"fmt without data", wavFile(fmt16), true, kMono16, 22050, ""},
        {"an empty data chunk", wavFile(1, 22050, 16, ""), true, kMono16, 22050, ""},
        {"the RIFF size past the file reads to its end",
         wavFile(fmt16 + riffChunk("data", s16, 1000), 5000), true, kMono16, 22050, s16},
        {"the data size past the RIFF size is cut there",
         wavFile(fmt16 + riffChunk("data", s16 + "\x11\x22", 6), 4 + fmt16.size() + 8 + 4), true,
         kMono16, 22050, s16.substr(0, 4)},
        {"fmt after data",
         wavFile(riffChunk("data", "\x01\x02\x03") + riffChunk("fmt ", wavFormat(1, 8000, 24))),
         true, kMono16, 8000, "\x02\x03"},
        {"an odd chunk is followed without padding",
         wavFile(riffChunk("junk", "abc") + fmt16 + riffChunk("data", s16)), true, kMono16, 22050,
         s16},
        {"a RIFF size below 12", wavFile(fmt16, 11), false, 0, 0, ""},
        {"no RIFF tag", "RIFX" + wavFile(fmt16).substr(4), false, 0, 0, ""},
        {"no WAVE tag", wavFile(fmt16).replace(8, 4, "AVI "), false, 0, 0, ""},
        {"a fmt chunk shorter than 16 bytes",
         wavFile(riffChunk("fmt ", wavFormat(1, 22050, 16).substr(0, 14)) + riffChunk("data", s16)),
         false, 0, 0, ""},
        {"a fmt chunk cut by the end of the file", wavFile(fmt16).substr(0, 12 + 8 + 10), false, 0,
         0, ""},
        {"no channels", wavFile(0, 22050, 16, s16), false, 0, 0, ""},
        {"three channels", wavFile(3, 22050, 16, s16), false, 0, 0, ""},
        {"rate 0", wavFile(1, 0, 16, s16), false, 0, 0, ""},
        {"0 bits", wavFile(1, 22050, 0, s16), false, 0, 0, ""},
        {"a chunk size that wraps 32 bits back to the header",
         wavFile(riffChunk("junk", "", 0xFFFFFFF0u) + fmt16 + riffChunk("data", s16), 0xFFFFFFFFu),
         false, 0, 0, ""},
    };
    for (const WavCase& c : cases) {
        SCOPED_TRACE(c.what);
        ZSoundGrowableArray pcm;
        long format = 0, rate = 0;
        bool ok = ZWavDecoder::decode(bytes(c.file), c.file.size(), format, rate, pcm);
        EXPECT_EQ(ok, c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(rate, c.rate);
        EXPECT_EQ(hex(pcmOf(pcm)), hex(c.pcm));
    }
}

struct CafCase {
    const char* what;
    std::string file;
    bool ok;
    int64_t channels, rate, bits;
    std::string pcm;
    const char* logged;  // a line the decoder must log, or null
};

void checkCafCases(const std::vector<CafCase>& cases) {
    for (const CafCase& c : cases) {
        SCOPED_TRACE(c.what);
        ZSoundGrowableArray pcm;
        ZCafDecoderFormat format;
        bool ok = false;
        std::vector<std::string> lines = loggedMessages(
            [&] { ok = ZCafDecoder::decodeCaf(bytes(c.file), c.file.size(), &format, pcm); });
        EXPECT_EQ(ok, c.ok);
        if (c.logged) {
            bool seen = false;
            for (const std::string& line : lines) seen = seen || line == c.logged;
            EXPECT_TRUE(seen) << "expected the log line: " << c.logged;
        }
        if (!c.ok) continue;
        EXPECT_EQ(format.channels, c.channels);
        EXPECT_EQ(format.rate, c.rate);
        EXPECT_EQ(format.bits, c.bits);
        EXPECT_EQ(hex(pcmOf(pcm)), hex(c.pcm));
    }
}

TEST(ZCafDecoderTest, AiffSamplesBecomeOpenALSamples) {
    const std::string comm16 = aiffChunk("COMM", aiffCommon(1, 2, 16, extended(22050)));
    const std::string ssnd = aiffChunk("SSND", be32(0) + be32(0) + "\x12\x34\xfe\xdc");
    auto withRate = [&](const std::string& rate) {
        return aiffFile(aiffChunk("COMM", aiffCommon(1, 2, 16, rate)) + ssnd);
    };
    const std::vector<CafCase> cases = {
        {"16-bit big-endian", aiffFile(comm16 + ssnd), true, 1, 22050, 16, "\x34\x12\xdc\xfe",
         nullptr},
        {"8-bit signed samples become unsigned", aiffFile(2, 11025, 8, "\x00\x7f\x80\xff"s), true,
         2, 11025, 8, "\x80\xff\x00\x7f"s, "AIFF: warning, unsupported 8 bits/sample"},
        {"24-bit keeps the two most significant bytes",
         aiffFile(2, 48000, 24, "\x01\x02\x03\x04\x05\x06\x07"), true, 2, 48000, 16,
         "\x02\x01\x05\x04", nullptr},
        {"32-bit keeps the two most significant bytes", aiffFile(1, 96000, 32, "\x01\x02\x03\x04"),
         true, 1, 96000, 16, "\x02\x01", nullptr},
        {"the sound data starts after its offset",
         aiffFile(comm16 + aiffChunk("SSND", be32(2) + be32(0) + "xx\x12\x34\xfe\xdc")), true, 1,
         22050, 16, "\x34\x12\xdc\xfe", nullptr},
        {"sound data before COMM", aiffFile(ssnd + comm16), true, 1, 22050, 16, "\x34\x12\xdc\xfe",
         nullptr},
        {"sound data cut by the end of the file",
         aiffFile(comm16 + ssnd).substr(0, 12 + 26 + 8 + 8 + 3), true, 1, 22050, 16, "\x34\x12",
         nullptr},
        {"an offset outside the file",
         aiffFile(comm16 + aiffChunk("SSND", be32(0x100) + be32(0) + "\x12\x34")), false, 0, 0, 0,
         "", "AIFF: ssnd chunk out of bounds, comment size is 0x100"},
        {"no COMM", aiffFile(ssnd), false, 0, 0, 0, "", nullptr},
        {"a form size below 5", aiffFile(comm16 + ssnd, 4), false, 0, 0, 0, "", nullptr},
        {"a COMM chunk shorter than 18 bytes",
         aiffFile(aiffChunk("COMM", aiffCommon(1, 2, 16, extended(22050)).substr(0, 16)) + ssnd),
         false, 0, 0, 0, "", nullptr},
        {"three channels", aiffFile(3, 22050, 16, "\x12\x34\x56\x78\x9a\xbc"), false, 0, 0, 0, "",
         nullptr},
        {"no channels", aiffFile(aiffChunk("COMM", aiffCommon(0, 2, 16, extended(22050))) + ssnd),
         false, 0, 0, 0, "", nullptr},
        {"rate 0", withRate(std::string(10, '\0')), false, 0, 0, 0, "", nullptr},
        {"an infinite or NaN rate", withRate("\x7f\xff" + be64(0xC000000000000000ull)), false, 0, 0,
         0, "", nullptr},
        {"a negative rate", withRate(extended(-22050)), false, 0, 0, 0, "", nullptr},
        {"a rate below 1", withRate(extended(0.25)), false, 0, 0, 0, "", nullptr},
        {"0 bits", aiffFile(aiffChunk("COMM", aiffCommon(1, 2, 0, extended(22050))) + ssnd), false,
         0, 0, 0, "", nullptr},
    };
    checkCafCases(cases);
}

TEST(ZCafDecoderTest, CafLinearPcmBecomesOpenALSamples) {
    auto desc = [](uint32_t flags, uint32_t bits, uint32_t channels = 1, double rate = 44100,
                   const char* id = "lpcm") {
        return cafChunk("desc",
                        cafDescription(rate, id, flags, channels * bits / 8, 1, channels, bits));
    };
    const std::string data = cafChunk("data", cafData("\x12\x34\x56\x78"));
    const std::vector<CafCase> cases = {
        {"16-bit big-endian", cafFile(desc(0, 16) + data), true, 1, 44100, 16, "\x34\x12\x78\x56",
         nullptr},
        {"16-bit little-endian", cafFile(desc(2, 16) + data), true, 1, 44100, 16,
         "\x12\x34\x56\x78", nullptr},
        {"24-bit big-endian", cafFile(desc(0, 24) + cafChunk("data", cafData("\x01\x02\x03\x04"))),
         true, 1, 44100, 16, "\x02\x01", nullptr},
        {"32-bit little-endian, stereo",
         cafFile(desc(2, 32, 2) + cafChunk("data", cafData("\x01\x02\x03\x04\x05\x06\x07\x08"))),
         true, 2, 44100, 16, "\x03\x04\x07\x08", nullptr},
        {"8-bit signed", cafFile(desc(4, 8) + cafChunk("data", cafData("\x00\x7f\x80"s))), true, 1,
         44100, 8, "\x80\xff\x00"s, nullptr},
        {"8-bit unsigned", cafFile(desc(0, 8) + cafChunk("data", cafData("\x00\x7f\x80"s))), true,
         1, 44100, 8, "\x00\x7f\x80"s, nullptr},
        {"bits 0 means 16", cafFile(desc(2, 0) + data), true, 1, 44100, 16, "\x12\x34\x56\x78",
         nullptr},
        {"a data chunk of size -1 reads to the end",
         cafFile(desc(2, 16) + cafChunk("data", cafData("\x12\x34\x56\x78\x9a"), -1)), true, 1,
         44100, 16, "\x12\x34\x56\x78", nullptr},
        {"desc without data gives four zero bytes", cafFile(desc(2, 16)), true, 1, 44100, 16,
         std::string(4, '\0'), nullptr},
        {"data past the end of the file is cut",
         cafFile(desc(2, 16) + cafChunk("data", cafData("\x12\x34\x56"), 100)), true, 1, 44100, 16,
         "\x12\x34", nullptr},
        {"floating point", cafFile(desc(1, 32) + data), false, 0, 0, 0, "",
         "CAF: unsupported floating point samples, sound data cannot be read, WARNING"},
        {"12 bits", cafFile(desc(0, 12) + data), false, 0, 0, 0, "",
         "CAF: unsupported number of bits per channel (12), sound data cannot be read, WARNING"},
        {"an unknown format", cafFile(desc(0, 16, 1, 44100, "alac") + data), false, 0, 0, 0, "",
         "CAF: unknown sound format 0x616c6163, sound data cannot be read, WARNING"},
        {"data before desc", cafFile(data + desc(0, 16)), false, 0, 0, 0, "",
         "CAF: data chunk appears before desc chunk, sound data cannot be read, WARNING"},
        {"no desc", cafFile(data), false, 0, 0, 0, "", nullptr},
        {"a negative chunk size", cafFile(desc(0, 16) + cafChunk("free", "", -5) + data), false, 0,
         0, 0, "", nullptr},
        {"size -1 on another chunk than data",
         cafFile(cafChunk("free", "", -1) + desc(0, 16) + data), false, 0, 0, 0, "", nullptr},
        {"three channels", cafFile(desc(0, 16, 3) + data), false, 0, 0, 0, "", nullptr},
        {"no channels", cafFile(desc(0, 16, 0) + data), false, 0, 0, 0, "", nullptr},
        {"a NaN rate", cafFile(desc(0, 16, 1, std::nan("")) + data), false, 0, 0, 0, "", nullptr},
        {"a rate above 32 bits", cafFile(desc(0, 16, 1, 1e12) + data), false, 0, 0, 0, "", nullptr},
        {"a desc chunk shorter than 32 bytes",
         cafFile(cafChunk("desc", cafDescription(44100, "lpcm", 0, 2, 1, 1, 16).substr(0, 28)) +
                 data),
         false, 0, 0, 0, "", nullptr},
        {"version 2", cafFile(desc(0, 16) + data).replace(4, 2, be16(2)), false, 0, 0, 0, "",
         nullptr},
        {"a data chunk too short for its edit count",
         cafFile(desc(0, 16) + cafChunk("data", "\0\0"s)), false, 0, 0, 0, "", nullptr},
    };
    checkCafCases(cases);
}

std::string imaCaf(const std::string& packets, uint32_t channels, uint32_t frames = 64) {
    return cafFile(
        cafChunk("desc", cafDescription(22050, "ima4", 0, 34 * channels, frames, channels, 0)) +
        cafChunk("data", cafData(packets)));
}

TEST(ZCafDecoderTest, Ima4PacketsDecodeToTheSignalTheyWereMadeFrom) {
    for (int channels = 1; channels <= 2; channels++) {
        SCOPED_TRACE(channels);
        std::vector<int16_t> source = sine(440, 22050, 0.1, 12000, channels);
        // Whole packets of 64 frames.
        source.resize(source.size() / (64 * channels) * (64 * channels));
        std::string file = imaCaf(imaPackets(source, channels), channels);
        ZSoundGrowableArray pcm;
        ZCafDecoderFormat format;
        ASSERT_TRUE(ZCafDecoder::decodeCaf(bytes(file), file.size(), &format, pcm));
        EXPECT_EQ(format.channels, channels);
        EXPECT_EQ(format.bits, 16);
        EXPECT_EQ(format.rate, 22050);
        std::vector<int16_t> decoded = samplesOf(pcm.data, pcm.size);
        ASSERT_EQ(decoded.size(), source.size());
        double error = 0;
        for (size_t i = 0; i < source.size(); i++) error += std::abs(decoded[i] - source[i]);
        // The first samples climb from 0; after that ADPCM follows a sine closely.
        EXPECT_LT(error / source.size(), 400.0);
        EXPECT_NEAR(toneAmplitude(decoded, channels, channels - 1, 440, 22050), 12000, 600);
    }
}

TEST(ZCafDecoderTest, Ima4RunningStateOutlivesHeadersCloseToIt) {
    // Packet 1: predictor 0, index 0, all nibbles 0 (the predictor stays 0).
    const std::string first = be16(0x0000) + std::string(32, '\0');
    struct Case {
        const char* what;
        uint16_t header;
        int16_t expected;  // first sample of packet 2, whose first nibble is 4
    };
    const Case cases[] = {
        // The running index 0 (step 7) stays: 0 + 7 + 7 / 8.
        {"a header at the running predictor keeps the running index", 0x0000 | 40, 7},
        // Taken: index 40 (step 337) from the header's predictor, + 337 + 337 / 8.
        {"a header 128 away is taken", 0x0080 | 40, 128 + 337 + 42},
        {"a header 256 away is taken", 0x0100 | 40, 256 + 337 + 42},
        {"a header 128 below is taken", 0xFF80 | 40, -128 + 337 + 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string second = be16(c.header) + "\x04" + std::string(31, '\0');
        std::string file = imaCaf(first + second, 1);
        ZSoundGrowableArray pcm;
        ZCafDecoderFormat format;
        ASSERT_TRUE(ZCafDecoder::decodeCaf(bytes(file), file.size(), &format, pcm));
        std::vector<int16_t> decoded = samplesOf(pcm.data, pcm.size);
        ASSERT_EQ(decoded.size(), 128u);
        EXPECT_EQ(decoded[0], 0);
        EXPECT_EQ(decoded[64], c.expected);
    }
}

TEST(ZCafDecoderTest, Ima4ReadsWholePacketsOfOneOrTwoChannelsOnly) {
    const std::string packet = be16(0) + std::string(32, '\x11');
    ZCafDecoderFormat format;
    {
        // A packet and a piece of one: the piece is not read.
        std::string file = imaCaf(packet + packet.substr(0, 10), 1);
        ZSoundGrowableArray pcm;
        ASSERT_TRUE(ZCafDecoder::decodeCaf(bytes(file), file.size(), &format, pcm));
        EXPECT_EQ(pcm.size, 128u);
    }
    for (uint32_t channels : {0u, 3u}) {
        SCOPED_TRACE(channels);
        std::string file = imaCaf(packet + packet + packet, channels);
        ZSoundGrowableArray pcm;
        EXPECT_FALSE(ZCafDecoder::decodeCaf(bytes(file), file.size(), &format, pcm));
    }
    for (uint32_t frames : {0u, 63u}) {
        SCOPED_TRACE(frames);
        std::string file = imaCaf(packet, 1, frames);
        ZSoundGrowableArray pcm;
        EXPECT_FALSE(ZCafDecoder::decodeCaf(bytes(file), file.size(), &format, pcm));
    }
    {
        // A huge packet layout over little data makes no output of that size.
        std::string file =
            cafFile(cafChunk("desc", cafDescription(22050, "ima4", 0, 1, 0x10000000u, 1, 0)) +
                    cafChunk("data", cafData(packet)));
        ZSoundGrowableArray pcm;
        EXPECT_TRUE(ZCafDecoder::decodeCaf(bytes(file), file.size(), &format, pcm));
        EXPECT_EQ(pcm.size, 4u);
    }
}

TEST(ZSoundOggTest, DecodesAWholeFileOfOneOrTwoChannels) {
    for (int channels = 1; channels <= 2; channels++) {
        SCOPED_TRACE(channels);
        std::vector<int16_t> source = sine(440, 44100, 0.5, 16000, channels);
        std::string file = oggFile(source, channels, 44100);
        ZSoundGrowableArray pcm;
        long format = 0, rate = 0;
        ASSERT_TRUE(ZSound::decodeOgg(bytes(file), file.size(), format, rate, pcm));
        EXPECT_EQ(format, channels == 1 ? kMono16 : kStereo16);
        EXPECT_EQ(rate, 44100);
        std::vector<int16_t> decoded = samplesOf(pcm.data, pcm.size);
        EXPECT_EQ(decoded.size(), source.size());
        EXPECT_NEAR(toneAmplitude(decoded, channels, 0, 440, 44100), 16000, 500);
    }
}

TEST(ZSoundOggTest, RefusesWhatIsNotOggVorbisOfOneOrTwoChannels) {
    std::string three = oggFile(sine(440, 22050, 0.1, 8000, 3), 3, 22050);
    ASSERT_FALSE(three.empty());
    std::string mono = oggFile(sine(440, 22050, 0.1, 8000), 1, 22050);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"three channels", three},
        {"not Ogg", wavFile(1, 22050, 16, "\x01\x02")},
        {"only the first page", mono.substr(0, 58)},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        ZSoundGrowableArray pcm;
        long format = 0, rate = 0;
        EXPECT_FALSE(ZSound::decodeOgg(bytes(c.second), c.second.size(), format, rate, pcm));
    }
}

TEST(ZSoundFormatTest, FormatComesFromTheLastExtension) {
    const std::pair<const char*, long> cases[] = {
        {"a.wav", 0},  {"a.WAV", 0},      {"music.OGG", 1},     {"a.b.ogg", 1},
        {"x.caf", 2},  {"x.aif", 2},      {"x.AIFF", 2},        {"song.mp3", -1},
        {"noext", -1}, {"a.ogg.bak", -1}, {"folder.wav/x", -1}, {"", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(ZSound::detectFormat(c.first), c.second) << c.first;
    EXPECT_EQ(ZSound::detectFormat(nullptr), -1);
}

}  // namespace
