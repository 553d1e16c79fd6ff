// Samples and streams on OpenAL's null device: what OpenAL is told and what the sounds report.
#include <AL/al.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "SoundTestSupport.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZMiscTools.h"
#include "ZSound.h"
#include "ZSysThread.h"

using namespace SoundTest;

namespace {

float gainOf(uint32_t voice) {
    float gain = -1;
    alGetSourcef(voice, AL_GAIN, &gain);
    return gain;
}

ALint stateOf(uint32_t voice) {
    ALint state = 0;
    alGetSourcei(voice, AL_SOURCE_STATE, &state);
    return state;
}

ALint bufferValue(uint32_t buffer, ALenum what) {
    ALint value = -1;
    alGetBufferi(buffer, what, &value);
    return value;
}

std::string toneWav(double seconds, int rate = 22050) {
    return wavFile(1, rate, 16, bytesOf(sine(440, rate, seconds, 10000)));
}

std::string toneOgg(double seconds, int channels = 1, int rate = 22050) {
    return oggFile(sine(440, rate, seconds, 10000, channels), channels, rate);
}

bool loadWav(ZSound& sound, const std::string& file, int volume, bool loop, short voices) {
    return sound.loadSampleFromPtr(file.data(), file.size(), 0, volume, loop, voices);
}

class ZSoundTest : public ::testing::Test {
protected:
    void TearDown() override {
        ZSound::resume();
        ZSound::disableSounds(false);
        ZSound::setGlobalVolumes(100, 100);
        ZSound::cleanup();
    }
};

TEST_F(ZSoundTest, SamplesGetTheirVoicesUpToSixteen) {
    ASSERT_TRUE(ZSound::isSoundDeviceAvailable());
    const std::pair<short, long> cases[] = {{1, 1}, {3, 3}, {16, 16}, {17, 16}, {0, 0}, {-2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        ZSound sound;
        ASSERT_TRUE(loadWav(sound, toneWav(0.1), 100, false, c.first));
        EXPECT_TRUE(sound.isLoaded());
        EXPECT_FALSE(sound.isStream());
        EXPECT_EQ(sound.getVoiceCount(), c.second);
        for (long v = 0; v < ZSound::kMaxVoices; v++) {
            bool exists = sound.getVoiceName(v) != ZSound::kNoName;
            EXPECT_EQ(exists, v < c.second) << v;
            if (exists) {
                EXPECT_EQ(alIsSource(sound.getVoiceName(v)), AL_TRUE);
            }
        }
        // Without a voice the sample plays nothing, and says so.
        sound.playSample(false, false);
        EXPECT_EQ(sound.isPlaying(), c.second > 0);
        EXPECT_EQ(alGetError(), AL_NO_ERROR);
    }
}

TEST_F(ZSoundTest, AnEarlierOpenALErrorFailsNoLoad) {
    ASSERT_TRUE(ZSound::isSoundDeviceAvailable());
    std::string wav = toneWav(0.1);
    std::string ogg = toneOgg(0.1);
    ZSound sample, stream;
    // Errors stay until read: each of these leaves one behind.
    alSourcePlay(0x7FFFFFF0u);
    ASSERT_TRUE(loadWav(sample, wav, 100, false, 2));
    EXPECT_TRUE(sample.isLoaded());
    EXPECT_EQ(sample.getVoiceCount(), 2);
    alSourcePlay(0x7FFFFFF0u);
    ASSERT_TRUE(stream.loadStreamFromPtr(ogg.data(), ogg.size()));
    EXPECT_TRUE(stream.isLoaded());
    EXPECT_EQ(stream.getVoiceCount(), 1);
}

TEST_F(ZSoundTest, EveryFormatLoadsIntoOneBuffer) {
    TempDir dir;
    const std::string pcm = bytesOf(sine(440, 11025, 0.1, 8000));
    struct Case {
        const char* name;
        std::string file;
        ALint bits, channels, frequency, size;
    };
    const std::vector<Case> cases = {
        {"tone.wav", wavFile(1, 11025, 16, pcm), 16, 1, 11025, static_cast<ALint>(pcm.size())},
        {"tone.ogg", toneOgg(0.25, 2, 22050), 16, 2, 22050, 5513 * 4},
        {"tone.CAF",
         cafFile(cafChunk("desc", cafDescription(8000, "lpcm", 2, 2, 1, 1, 16)) +
                 cafChunk("data", cafData(pcm))),
         16, 1, 8000, static_cast<ALint>(pcm.size())},
        {"tone.aiff", aiffFile(2, 16000, 8, std::string(100, '\x10')), 8, 2, 16000, 100},
        // No data: the buffer has nothing to say but its size.
        {"empty.wav", wavFile(1, 11025, 16, ""), -1, -1, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir.file(c.name), c.file);
        ZSound sound;
        ASSERT_TRUE(sound.loadSample(dir.file(c.name).c_str(), 100, false, 1));
        ASSERT_TRUE(sound.isLoaded());
        uint32_t buffer = sound.getBufferName(0);
        EXPECT_EQ(bufferValue(buffer, AL_SIZE), c.size);
        if (c.size == 0) continue;
        EXPECT_EQ(bufferValue(buffer, AL_BITS), c.bits);
        EXPECT_EQ(bufferValue(buffer, AL_CHANNELS), c.channels);
        EXPECT_EQ(bufferValue(buffer, AL_FREQUENCY), c.frequency);
        EXPECT_EQ(sound.getBufferName(1), ZSound::kNoName);
    }
}

TEST_F(ZSoundTest, FailedLoadsLeaveTheSoundFreed) {
    TempDir dir;
    writeFile(dir.file("song.mp3"), "ID3");
    writeFile(dir.file("bad.wav"), "RIFF");
    const std::string wav = toneWav(0.1);
    for (const std::string& name :
         {dir.file("missing.wav"), dir.file("song.mp3"), dir.file("bad.wav")}) {
        SCOPED_TRACE(name);
        ZSound sound;
        ASSERT_TRUE(loadWav(sound, wav, 100, false, 2));
        EXPECT_FALSE(sound.loadSample(name.c_str(), 100, false, 2));
        // A missing file leaves the sound as it was; a file that fails to decode frees it.
        EXPECT_EQ(sound.isLoaded(), name == dir.file("missing.wav"));
    }
    ZSound sound;
    EXPECT_FALSE(sound.loadSampleFromPtr(wav.data(), wav.size(), 7, 100, false, 1));
    EXPECT_FALSE(sound.loadSampleFromPtr(wav.data(), wav.size(), 1, 100, false, 1));
    EXPECT_FALSE(sound.isLoaded());
}

TEST_F(ZSoundTest, GainIsTheVolumeTimesItsGlobalVolume) {
    ZSound::setGlobalVolumes(30, 80);
    ZSound sample;
    ASSERT_TRUE(loadWav(sample, toneWav(0.5), 50, false, 2));
    // At load the volume alone counts.
    EXPECT_FLOAT_EQ(gainOf(sample.getVoiceName(1)), 0.5f);
    sample.playSample(false, false);
    EXPECT_FLOAT_EQ(gainOf(sample.getVoiceName(0)), 0.4f);
    EXPECT_FLOAT_EQ(gainOf(sample.getVoiceName(1)), 0.4f);

    ZSound stream;
    std::string ogg = toneOgg(0.5);
    ASSERT_TRUE(stream.loadStreamFromPtr(ogg.data(), ogg.size()));
    stream.setVolume(50);
    EXPECT_FLOAT_EQ(gainOf(stream.getVoiceName(0)), 0.15f);

    const std::pair<long, float> volumes[] = {{150, 1.0f}, {-5, 0.0f}, {100, 0.8f}, {7, 0.05f}};
    for (const auto& v : volumes) {
        sample.setVolume(v.first);
        EXPECT_FLOAT_EQ(gainOf(sample.getVoiceName(0)), v.second) << v.first;
        EXPECT_EQ(sample.getVolume(), v.first);
    }
    ZSound::setGlobalVolumes(100, 100);
    sample.setVolume(150);
    EXPECT_FLOAT_EQ(gainOf(sample.getVoiceName(1)), 1.0f);
    ZSound::setGlobalVolumes(-100, 100);
    EXPECT_FLOAT_EQ(gainOf(stream.getVoiceName(0)), 0.0f);
    EXPECT_FLOAT_EQ(gainOf(sample.getVoiceName(0)), 1.0f);
    EXPECT_FLOAT_EQ(ZSound::volumeToGain(250), 1.0f);
    EXPECT_FLOAT_EQ(ZSound::volumeToGain(-3), 0.0f);
}

TEST_F(ZSoundTest, SamplesTakeFreeVoicesThenRestartTheFirst) {
    ZSound sound;
    ASSERT_TRUE(loadWav(sound, toneWav(3), 100, true, 2));
    uint32_t first = sound.getVoiceName(0), second = sound.getVoiceName(1);
    sound.playSample(true, false);
    EXPECT_EQ(stateOf(first), AL_PLAYING);
    EXPECT_EQ(stateOf(second), AL_INITIAL);
    ALint looping = -1;
    alGetSourcei(first, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_FALSE);

    // The load's loop flag when not overridden.
    sound.playSample(false, false);
    EXPECT_EQ(stateOf(second), AL_PLAYING);
    alGetSourcei(second, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_TRUE);

    float before = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            alGetSourcef(first, AL_SEC_OFFSET, &before);
            return before > 0.05f;
        },
        5000));
    sound.playSample(false, false);
    float after = 1;
    alGetSourcef(first, AL_SEC_OFFSET, &after);
    EXPECT_LT(after, before);
    EXPECT_EQ(stateOf(first), AL_PLAYING);

    sound.stopSample();
    EXPECT_FALSE(sound.isPlaying());
    EXPECT_EQ(stateOf(first), AL_STOPPED);
    EXPECT_EQ(stateOf(second), AL_STOPPED);
}

TEST_F(ZSoundTest, PitchReachesEveryVoice) {
    ZSound sound;
    sound.setPitch(1.5f);
    ASSERT_TRUE(loadWav(sound, toneWav(0.1), 100, false, 2));
    float pitch = 0;
    // Stored before the load, applied once set on a loaded sound.
    alGetSourcef(sound.getVoiceName(1), AL_PITCH, &pitch);
    EXPECT_FLOAT_EQ(pitch, 1.0f);
    sound.setPitch(2.0f);
    alGetSourcef(sound.getVoiceName(1), AL_PITCH, &pitch);
    EXPECT_FLOAT_EQ(pitch, 2.0f);
    ASSERT_TRUE(loadWav(sound, toneWav(0.1), 100, false, 2));
    alGetSourcef(sound.getVoiceName(0), AL_PITCH, &pitch);
    EXPECT_FLOAT_EQ(pitch, 2.0f);
    sound.setPitch(1.0f);
    alGetSourcef(sound.getVoiceName(0), AL_PITCH, &pitch);
    EXPECT_FLOAT_EQ(pitch, 1.0f);
}

TEST_F(ZSoundTest, SuspendPausesWhatPlaysAndResumeUndoesExactlyThat) {
    ZSound playing, pausedByGame, idle;
    ASSERT_TRUE(loadWav(playing, toneWav(3), 100, false, 2));
    ASSERT_TRUE(loadWav(pausedByGame, toneWav(3), 100, false, 1));
    ASSERT_TRUE(loadWav(idle, toneWav(3), 100, false, 1));
    playing.playSample(false, false);
    playing.playSample(false, false);
    pausedByGame.playSample(false, false);
    pausedByGame.pause(true);
    EXPECT_TRUE(pausedByGame.isPaused());
    EXPECT_EQ(stateOf(pausedByGame.getVoiceName(0)), AL_PAUSED);

    ZSound::suspend();
    EXPECT_FALSE(playing.isPlaying());
    EXPECT_EQ(stateOf(playing.getVoiceName(0)), AL_PAUSED);
    EXPECT_EQ(stateOf(playing.getVoiceName(1)), AL_PAUSED);
    // While suspended nothing starts, stops or unpauses.
    idle.playSample(false, false);
    EXPECT_EQ(stateOf(idle.getVoiceName(0)), AL_INITIAL);
    pausedByGame.pause(false);
    playing.stopSample();
    EXPECT_EQ(stateOf(playing.getVoiceName(0)), AL_PAUSED);

    ZSound::resume();
    EXPECT_TRUE(playing.isPlaying());
    EXPECT_EQ(stateOf(playing.getVoiceName(1)), AL_PLAYING);
    EXPECT_TRUE(pausedByGame.isPaused());
    EXPECT_EQ(stateOf(pausedByGame.getVoiceName(0)), AL_PAUSED);
    EXPECT_EQ(stateOf(idle.getVoiceName(0)), AL_INITIAL);
    pausedByGame.pause(false);
    EXPECT_TRUE(pausedByGame.isPlaying());
}

TEST_F(ZSoundTest, DisabledSamplesDoNotPlay) {
    ZSound sound;
    ASSERT_TRUE(loadWav(sound, toneWav(1), 100, false, 1));
    ZSound::disableSounds(true);
    sound.playSample(false, false);
    EXPECT_FALSE(sound.isPlaying());
    ZSound::disableSounds(false);
    sound.playSample(false, false);
    EXPECT_TRUE(sound.isPlaying());
}

// A custom stream's producer: a fixed number of bytes of a constant, counted.
struct Producer {
    std::atomic<long> left{0};
    std::atomic<int> starts{0};
    std::atomic<int> reads{0};
    long total = 0;

    static void start(void* user) {
        Producer* self = static_cast<Producer*>(user);
        self->starts++;
        self->left = self->total;
    }
    static unsigned long read(void* user, unsigned char* buffer, unsigned long bytes) {
        Producer* self = static_cast<Producer*>(user);
        self->reads++;
        long n = std::min<long>(static_cast<long>(bytes), self->left.load());
        memset(buffer, 0x90, static_cast<size_t>(n));
        self->left -= n;
        return static_cast<unsigned long>(n);
    }
};

TEST_F(ZSoundTest, StreamThreadPlaysAStreamToItsEndAndMovesItBack) {
    ZSound stream;
    // Two seconds: more than the two packets that a start produces.
    std::string ogg = toneOgg(2);
    ASSERT_TRUE(stream.loadStreamFromPtr(ogg.data(), ogg.size()));
    EXPECT_TRUE(stream.isStream());
    EXPECT_EQ(stream.getVoiceCount(), 1);
    EXPECT_FALSE(stream.isPlaying());

    stream.playStream(false);
    EXPECT_TRUE(stream.isPlaying());
    EXPECT_TRUE(stream.isStreamPlaying());
    EXPECT_EQ(ZSound::getPlayingStreamCount(), 1);
    ASSERT_TRUE(waitFor([&] { return !stream.isPlaying(); }, 10000));
    EXPECT_FALSE(stream.isStreamPlaying());
    EXPECT_EQ(ZSound::getPlayingStreamCount(), 0);
    EXPECT_NEAR(stream.getStreamTime(), 2, 0.01);
    EXPECT_FALSE(stream.hasStreamLooped());
    ALint queued = -1;
    alGetSourcei(stream.getVoiceName(0), AL_BUFFERS_QUEUED, &queued);
    EXPECT_EQ(queued, 0);

    // Stopped streams start over.
    stream.playStream(false);
    EXPECT_TRUE(stream.isPlaying());
    EXPECT_LT(stream.getStreamTime(), 1.6);
    stream.stopStream();
    EXPECT_FALSE(stream.isPlaying());
    EXPECT_EQ(ZSound::getPlayingStreamCount(), 0);
}

TEST_F(ZSoundTest, StreamThreadLoopsALoopingStream) {
    struct Case {
        double seconds;
        int channels, rate;
    };
    // Shorter than one packet, and more than six.
    for (const Case& c : {Case{0.2, 1, 22050}, Case{1.2, 2, 44100}}) {
        SCOPED_TRACE(c.seconds);
        ZSound stream;
        std::string ogg = toneOgg(c.seconds, c.channels, c.rate);
        ASSERT_TRUE(stream.loadStreamFromPtr(ogg.data(), ogg.size()));
        stream.playStream(true);
        ASSERT_TRUE(waitFor([&] { return stream.hasStreamLooped(); }, 10000));
        EXPECT_FALSE(stream.hasStreamLooped());
        EXPECT_TRUE(stream.isPlaying());
        stream.stopStream();
        // The time restarted at the wrap.
        EXPECT_LT(stream.getStreamTime(), c.seconds);
    }
}

TEST_F(ZSoundTest, StreamThreadFeedsACustomStreamFromItsCallback) {
    const std::pair<long, long> formats[] = {{1, 8}, {1, 16}, {2, 8}, {2, 16}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.first * 100 + f.second);
        Producer producer;
        long frame = f.first * f.second / 8;
        // A quarter of a second at 8000 frames per second, in packets of 1000 frames.
        producer.total = 2000 * frame;
        ZSound stream;
        ASSERT_TRUE(stream.initStream(f.first, f.second, 8000, Producer::start, Producer::read,
                                      &producer, 1000 * frame));
        stream.playStream(false);
        EXPECT_EQ(producer.starts, 1);
        ASSERT_TRUE(waitFor([&] { return !stream.isPlaying(); }, 10000));
        EXPECT_EQ(producer.left, 0);
        EXPECT_GE(producer.reads, 3);
        // Bytes per frame are channels x bits / 8.
        EXPECT_NEAR(stream.getStreamTime(), 0.25, 1e-9);
    }
}

TEST_F(ZSoundTest, InitStreamRefusesWhatItCannotPlay) {
    Producer producer;
    ZSound stream;
    EXPECT_FALSE(stream.initStream(1, 16, 8000, nullptr, nullptr, &producer, 1024));
    EXPECT_FALSE(stream.initStream(1, 16, 8000, nullptr, Producer::read, &producer, 0));
    EXPECT_FALSE(stream.initStream(1, 16, 8000, nullptr, Producer::read, &producer, -4));
    EXPECT_FALSE(stream.initStream(3, 16, 8000, nullptr, Producer::read, &producer, 1024));
    EXPECT_FALSE(stream.initStream(1, 24, 8000, nullptr, Producer::read, &producer, 1024));
    EXPECT_FALSE(stream.initStream(1, 16, 0, nullptr, Producer::read, &producer, 1024));
    EXPECT_FALSE(stream.isLoaded());
    // Packets hold whole frames.
    EXPECT_TRUE(stream.initStream(2, 16, 8000, nullptr, Producer::read, &producer, 1027));
    EXPECT_EQ(stream.getPacketSize(), 1024);
    std::string wav = toneWav(0.1);
    EXPECT_FALSE(stream.loadStreamFromPtr(wav.data(), wav.size()));
    EXPECT_FALSE(stream.isLoaded());
}

TEST_F(ZSoundTest, StreamThreadLeavesPausedStreamsAlone) {
    ZSound stream;
    std::string ogg = toneOgg(3);
    ASSERT_TRUE(stream.loadStreamFromPtr(ogg.data(), ogg.size()));
    stream.playStream(false);
    stream.pause(true);
    EXPECT_FALSE(stream.isPlaying());
    EXPECT_TRUE(stream.isStreamPlaying());
    double time = stream.getStreamTime();
    // Paused streams do not start over either.
    stream.playStream(false);
    EXPECT_EQ(ZSound::getPlayingStreamCount(), 1);
    ZSysThread::sleep(100);
    EXPECT_EQ(stream.getStreamTime(), time);
    EXPECT_EQ(stateOf(stream.getVoiceName(0)), AL_PAUSED);
    stream.pause(false);
    EXPECT_TRUE(stream.isPlaying());
    ASSERT_TRUE(waitFor([&] { return stream.getStreamTime() > time; }, 5000));
}

TEST_F(ZSoundTest, StreamThreadSuspendAndResumeStreams) {
    ZSound stream;
    std::string ogg = toneOgg(2);
    ASSERT_TRUE(stream.loadStreamFromPtr(ogg.data(), ogg.size()));
    stream.playStream(true);
    ZSound::suspend();
    EXPECT_FALSE(stream.isPlaying());
    EXPECT_EQ(stateOf(stream.getVoiceName(0)), AL_PAUSED);
    // A stream that suspension holds is neither stopped nor linked again.
    stream.stopStream();
    stream.playStream(false);
    EXPECT_EQ(ZSound::getPlayingStreamCount(), 1);
    EXPECT_TRUE(stream.isStreamPlaying());
    ZSound::resume();
    EXPECT_TRUE(stream.isPlaying());
    EXPECT_EQ(stateOf(stream.getVoiceName(0)), AL_PLAYING);
    stream.stopStream();
    EXPECT_EQ(ZSound::getPlayingStreamCount(), 0);
}

TEST_F(ZSoundTest, StreamThreadFreeingAStreamStopsItEvenWhileSuspended) {
    std::string ogg = toneOgg(2);
    std::string wav = toneWav(0.1);
    {
        auto stream = std::make_unique<ZSound>();
        ASSERT_TRUE(stream->loadStreamFromPtr(ogg.data(), ogg.size()));
        stream->playStream(false);
        ZSound::suspend();
        stream.reset();
        EXPECT_EQ(ZSound::getPlayingStreamCount(), 0);
        ZSound::resume();
    }
    {
        // Loading something else into it frees it too.
        ZSound stream;
        ASSERT_TRUE(stream.loadStreamFromPtr(ogg.data(), ogg.size()));
        stream.playStream(false);
        ZSound::suspend();
        ASSERT_TRUE(loadWav(stream, wav, 100, false, 1));
        EXPECT_EQ(ZSound::getPlayingStreamCount(), 0);
        EXPECT_FALSE(stream.isStream());
        ZSound::resume();
    }
    {
        // What a closing video calls.
        ZSound stream;
        ASSERT_TRUE(stream.loadStreamFromPtr(ogg.data(), ogg.size()));
        stream.playStream(false);
        ZSound::suspend();
        stream.haltStream();
        EXPECT_EQ(ZSound::getPlayingStreamCount(), 0);
        EXPECT_FALSE(stream.isStreamPlaying());
        ZSound::resume();
        EXPECT_FALSE(stream.isPlaying());
    }
}

TEST_F(ZSoundTest, StreamThreadManyStreamsAtOnce) {
    std::string ogg = toneOgg(1.5);
    std::vector<std::unique_ptr<ZSound>> streams;
    for (int i = 0; i < 6; i++) {
        streams.push_back(std::make_unique<ZSound>());
        ASSERT_TRUE(streams.back()->loadStreamFromPtr(ogg.data(), ogg.size()));
    }
    for (int i = 0; i < 6; i++) streams[i]->playStream(i % 2 == 0);
    EXPECT_EQ(ZSound::getPlayingStreamCount(), 6);
    // The non-looping ones end; the others keep going while the main thread changes volumes.
    ASSERT_TRUE(waitFor(
        [&] {
            ZSound::setGlobalVolumes(50, 100);
            for (auto& s : streams) s->setVolume(80);
            return ZSound::getPlayingStreamCount() == 3;
        },
        15000));
    for (int i = 0; i < 6; i++) EXPECT_EQ(streams[i]->isPlaying(), i % 2 == 0) << i;
    streams.erase(streams.begin());
    EXPECT_EQ(ZSound::getPlayingStreamCount(), 2);
}

TEST_F(ZSoundTest, CleanupFreesEverySoundAndOpenAlOpensAgain) {
    auto sample = std::make_unique<ZSound>();
    auto stream = std::make_unique<ZSound>();
    ASSERT_TRUE(loadWav(*sample, toneWav(1), 100, false, 2));
    std::string ogg = toneOgg(1);
    ASSERT_TRUE(stream->loadStreamFromPtr(ogg.data(), ogg.size()));
    stream->playStream(true);
    std::vector<std::string> lines = loggedMessages([] { ZSound::cleanup(); });
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Sound: OpenAL released"), lines.end());
    EXPECT_FALSE(sample->isLoaded());
    EXPECT_FALSE(stream->isLoaded());
    EXPECT_FALSE(stream->isPlaying());
    EXPECT_EQ(sample->getVoiceCount(), 0);
    // The objects outlive the cleanup.
    stream.reset();

    lines = loggedMessages([&] {
        ZSound again;
        EXPECT_TRUE(loadWav(again, toneWav(0.1), 100, false, 1));
        EXPECT_TRUE(again.isLoaded());
    });
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Sound: OpenAL initialized"), lines.end());
    sample.reset();
}

TEST_F(ZSoundTest, FactoryMakesSounds) {
    ZSound_register();
    ZSoundBase* made = ZCore::createZSound();
    ASSERT_NE(made, nullptr);
    EXPECT_NE(dynamic_cast<ZSound*>(made), nullptr);
    delete made;
    ZCore::registerNewZSound(nullptr);
}

// The checks of a process without a sound device; the number that failed.
int runWithoutDevice() {
    setenv("ALSOFT_DRIVERS", "no-such-device", 1);
    std::string wav = toneWav(0.1);
    std::string ogg = toneOgg(0.1);
    TempDir dir;
    writeFile(dir.file("song.mp3"), mp3File(sine(440, 22050, 0.5, 8000), 1, 22050));
    int failures = 0;
    auto check = [&failures](bool ok, const char* what) {
        if (ok) return;
        fprintf(stderr, "failed: %s\n", what);
        failures++;
    };
    std::vector<std::string> lines = loggedMessages([&] {
        ZSound sample;
        ZSound stream;
        check(!ZSound::isSoundDeviceAvailable(), "no device");
        check(loadWav(sample, wav, 100, false, 4), "a sample loads");
        check(!sample.isLoaded(), "silently");
        sample.playSample(false, false);
        check(!sample.isPlaying(), "and does not play");
        check(!loadWav(sample, "RIFF", 100, false, 1), "a bad file still fails");
        check(!stream.loadStreamFromPtr(ogg.data(), ogg.size()), "a stream fails");
        Producer producer;
        check(!stream.initStream(1, 16, 8000, nullptr, Producer::read, &producer, 64),
              "a custom stream fails");
        stream.playStream(true);
        check(!stream.isPlaying(), "nothing plays");
        ZSound::setGlobalVolumes(50, 50);
        ZSound::suspend();
        ZSound::resume();
        ZMiscTools::playBackgroundMusic(dir.file("song.mp3").c_str(), 100, true, false);
        check(!ZMiscTools::isBackgroundMusicPlaying(), "no music");
        ZSound::cleanup();
        ZSound after;
        check(!ZSound::isSoundDeviceAvailable(), "still no device");
    });
    const char* error = "Sound: couldn't open a sound device, playing without sound, ERROR";
    check(std::count(lines.begin(), lines.end(), error) == 1, "logged once");
    return failures;
}

// In a process of its own: OpenAL reads its configuration once per process.
TEST(ZSoundWithoutDeviceTest, EverySoundCallDoesNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exit(runWithoutDevice()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
