// What the mix sounds like: OpenAL's wave-file device writes everything it plays to a file, which
// the tests read back once the device is closed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../SoundTestSupport.h"
#include "TempDir.h"
#include "ZMiscTools.h"
#include "ZSound.h"

using namespace SoundTest;

namespace {

const int kRate = 44100;

// One wave device for the process: OpenAL reads its configuration once, at its first use, so
// this runs before anything opens a device. The mix is mono 16-bit, unshaped.
const std::string& mixFile() {
    static TempDir dir;
    static std::string path = [] {
        std::string file = dir.file("mix.wav");
        writeFile(dir.file("alsoft.conf"),
                  "drivers=wave\nchannels=mono\nsample-type=int16\nfrequency=44100\n"
                  "output-limiter=false\ndither=false\n[wave]\nfile=" +
                      file + "\n");
        setenv("ALSOFT_CONF", dir.file("alsoft.conf").c_str(), 1);
        setenv("ALSOFT_DRIVERS", "wave", 1);
        return file;
    }();
    return path;
}

// Closes the device, which completes the file, and returns its samples.
std::vector<int16_t> closeAndReadMix() {
    ZMiscTools::stopBackgroundMusic();
    ZSound::cleanup();
    std::string file = readFile(mixFile());
    size_t data = file.find("data");
    if (data == std::string::npos || data + 8 > file.size()) return {};
    return samplesOf(reinterpret_cast<const unsigned char*>(file.data()) + data + 8,
                     file.size() - data - 8);
}

// The part of the mix between the first and the last sample louder than threshold.
std::vector<int16_t> heard(const std::vector<int16_t>& mix, int threshold = 500) {
    auto loud = [threshold](int16_t s) { return std::abs(s) > threshold; };
    auto first = std::find_if(mix.begin(), mix.end(), loud);
    if (first == mix.end()) return {};
    auto last = std::find_if(mix.rbegin(), mix.rend(), loud).base();
    return std::vector<int16_t>(first, last);
}

// The quietest 5-millisecond window's RMS: a gap in the sound shows as a quiet window.
double quietestWindow(const std::vector<int16_t>& samples) {
    const size_t window = kRate / 200;
    double quietest = 1e9;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        double sum = 0;
        for (size_t i = start; i < start + window; i++) sum += double(samples[i]) * samples[i];
        quietest = std::min(quietest, std::sqrt(sum / window));
    }
    return quietest;
}

class ZSoundMixTest : public ::testing::Test {
protected:
    void SetUp() override { mixFile(); }
    void TearDown() override {
        ZSound::setGlobalVolumes(100, 100);
        ZMiscTools::stopBackgroundMusic();
        ZSound::cleanup();
    }
};

TEST_F(ZSoundMixTest, SamplePlaysItsToneAtItsLevel) {
    const std::string wav = wavFile(1, kRate, 16, bytesOf(sine(440, kRate, 0.6, 16000)));
    struct Case {
        int volume, sampleGlobal;
        double level;
    };
    for (const Case& c :
         {Case{100, 100, 16000}, Case{50, 100, 8000}, Case{100, 50, 8000}, Case{50, 50, 4000}}) {
        SCOPED_TRACE(c.volume * 1000 + c.sampleGlobal);
        {
            ZSound::setGlobalVolumes(100, c.sampleGlobal);
            ZSound sound;
            ASSERT_TRUE(sound.loadSampleFromPtr(wav.data(), wav.size(), 0, c.volume, false, 1));
            sound.playSample(false, false);
            ASSERT_TRUE(sound.isPlaying());
            ASSERT_TRUE(waitFor([&] { return !sound.isPlaying(); }, 15000));
        }
        std::vector<int16_t> tone = heard(closeAndReadMix(), static_cast<int>(c.level / 4));
        EXPECT_NEAR(tone.size(), 0.6 * kRate, 0.01 * kRate);
        EXPECT_NEAR(peakFrequency(tone, 1, kRate, 100, 2000, 5), 440, 5);
        EXPECT_NEAR(toneAmplitude(tone, 1, 0, 440, kRate), c.level, c.level * 0.02);
    }
}

// A sine for a custom stream: 16-bit mono, restarted by start.
struct SineProducer {
    std::vector<int16_t> samples;
    size_t next = 0;

    static void start(void* user) { static_cast<SineProducer*>(user)->next = 0; }
    static unsigned long read(void* user, unsigned char* buffer, unsigned long bytes) {
        SineProducer* self = static_cast<SineProducer*>(user);
        size_t count = std::min(bytes / 2, self->samples.size() - self->next);
        memcpy(buffer, self->samples.data() + self->next, count * 2);
        self->next += count;
        return static_cast<unsigned long>(count * 2);
    }
};

TEST_F(ZSoundMixTest, StreamThreadPlaysStreamsWholeWithoutGaps) {
    const double seconds = 2.5;
    std::vector<int16_t> source = sine(440, kRate, seconds, 12000);
    const std::string ogg = oggFile(source, 1, kRate);
    for (bool custom : {false, true}) {
        SCOPED_TRACE(custom ? "read callback" : "Ogg Vorbis");
        SineProducer producer{source};
        {
            ZSound stream;
            if (custom) {
                ASSERT_TRUE(stream.initStream(1, 16, kRate, SineProducer::start, SineProducer::read,
                                              &producer, 32768));
            } else {
                ASSERT_TRUE(stream.loadStreamFromPtr(ogg.data(), ogg.size()));
            }
            stream.setVolume(50);
            stream.playStream(false);
            ASSERT_TRUE(waitFor([&] { return !stream.isPlaying(); }, 20000));
        }
        std::vector<int16_t> tone = heard(closeAndReadMix());
        // The whole stream, to its last packet, at half its level.
        EXPECT_NEAR(tone.size(), seconds * kRate, 0.01 * kRate);
        EXPECT_NEAR(toneAmplitude(tone, 1, 0, 440, kRate), 6000, 6000 * 0.03);
        EXPECT_GT(quietestWindow(tone), 6000 / std::sqrt(2.0) * 0.8);
    }
}

TEST_F(ZSoundMixTest, MusicThreadPlaysItsToneAtItsOwnVolume) {
    TempDir dir;
    const std::string song = dir.file("song.mp3");
    writeFile(song, mp3File(sine(440, kRate, 1.5, 16000), 1, kRate));
    for (long volume : {100L, 50L}) {
        SCOPED_TRACE(volume);
        // The global volumes and suspension of sounds leave the music alone.
        ZSound::setGlobalVolumes(20, 20);
        ZMiscTools::playBackgroundMusic(song.c_str(), volume, false, false);
        ZSound::suspend();
        ASSERT_TRUE(ZMiscTools::isBackgroundMusicPlaying());
        ASSERT_TRUE(waitFor([] { return !ZMiscTools::isBackgroundMusicPlaying(); }, 15000));
        ZSound::resume();
        std::vector<int16_t> tone = heard(closeAndReadMix(), 1000);
        EXPECT_NEAR(tone.size(), 1.5 * kRate, 0.02 * kRate);
        EXPECT_NEAR(peakFrequency(tone, 1, kRate, 100, 2000, 5), 440, 5);
        double level = 160.0 * volume;
        EXPECT_NEAR(toneAmplitude(tone, 1, 0, 440, kRate), level, level * 0.05);
        EXPECT_GT(quietestWindow(tone), level / std::sqrt(2.0) * 0.8);
    }
}

}  // namespace
