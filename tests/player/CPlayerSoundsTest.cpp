// The player's effects, music, ambient and streamed sounds on OpenAL's null device, from WAV and
// MP3 files written beside the test program. Each file has a sample rate of its own, by which the
// tests find the OpenAL voices that play it and read their gains.
#include <AL/al.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "../sound/SoundTestSupport.h"
#include "CPlayer.h"
#include "FakeWindow.h"
#include "SoundProbe.h"
#include "TempDir.h"
#include "ZMiscTools.h"
#include "ZSound.h"
#include "ZUIElement.h"

using namespace SoundTest;

namespace {

class PlayerSoundsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ALSOFT_DRIVERS", "null", 1);
        ZMiscTools::initMiscTools();
        m_prefix = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ZMiscTools::createDirectory(gamePath("sfx_wav").c_str());
        player = new CPlayer();
    }
    void TearDown() override {
        delete player;
        ZMiscTools::stopBackgroundMusic();
        ZSound::cleanup();
        for (const std::string& path : m_written) ZMiscTools::removeFile(path.c_str());
    }

    static std::string gamePath(const std::string& relative) {
        return std::string(ZMiscTools::getGameFolder()) + "/" + relative;
    }
    // A name of this test's own, so that tests running at once use different files.
    std::string name(const std::string& base) const { return m_prefix + "_" + base; }
    void write(const std::string& relative, const std::string& bytes) {
        writeFile(gamePath(relative), bytes);
        m_written.push_back(gamePath(relative));
    }
    // sfx_wav/<base>.wav: a tone of the rate, lasting seconds.
    std::string wav(const std::string& base, int rate, double seconds = 3.0) {
        write("sfx_wav/" + name(base) + ".wav",
              wavFile(1, rate, 16, bytesOf(sine(440, rate, seconds, 8000))));
        return name(base);
    }
    std::string mp3(const std::string& base) {
        write(name(base) + ".mp3", mp3File(sine(440, 22050, 1.0, 8000), 1, 22050));
        return name(base);
    }
    // Streaming waits for the previous load: a request of a file that does not exist, on a
    // channel of its own, leaves every earlier load finished.
    void joinStreamer() { player->streamSound(name("never_written").c_str(), 0, 100, 99); }

    CPlayer* player = nullptr;

private:
    std::string m_prefix;
    std::vector<std::string> m_written;
};

TEST_F(PlayerSoundsTest, EffectNamesLoadTheirWavOnceAndCountReferences) {
    std::string boom = wav("boom", 8100);
    player->referenceSound(boom.c_str(), false, 4);
    // Another extension, or none, names the same .wav file and the same effect.
    player->referenceSound((boom + ".ogg").c_str(), false, 4);
    player->playSound((boom + ".WAV").c_str(), false, 100);
    EXPECT_EQ(gainsAtRate(8100).size(), 1u);
    EXPECT_TRUE(player->isSoundPlaying((boom + ".ogg").c_str()));
    player->playSound(boom.c_str(), false, 100);
    EXPECT_EQ(gainsAtRate(8100).size(), 2u) << "the second voice of four";

    player->stopSound(boom.c_str());
    EXPECT_FALSE(player->isSoundPlaying(boom.c_str()));

    // Two references out: a flush frees the effect, and playing it then does nothing.
    player->dereferenceSound(boom.c_str(), false);
    player->flushSounds(false);
    player->playSound(boom.c_str(), false, 100);
    EXPECT_EQ(gainsAtRate(8100).size(), 1u) << "still referenced once";
    player->stopAllSounds();
    player->dereferenceSound(boom.c_str(), false);
    player->dereferenceSound(boom.c_str(), false);  // below 0 it stays at 0
    player->playSound(boom.c_str(), false, 100);
    EXPECT_TRUE(gainsAtRate(8100).empty()) << "a count of 0 does not play";
    player->referenceSound(boom.c_str(), false, 1);
    player->playSound(boom.c_str(), false, 100);
    EXPECT_EQ(gainsAtRate(8100).size(), 1u) << "the sample stayed loaded";
    player->stopAllSounds();
    player->dereferenceSound(boom.c_str(), false);
    player->flushSounds(false);
    player->playSound(boom.c_str(), false, 100);
    EXPECT_TRUE(gainsAtRate(8100).empty());

    // Never referenced: nothing is loaded on play.
    std::string other = wav("other", 8200);
    player->playSound(other.c_str(), false, 100);
    EXPECT_TRUE(gainsAtRate(8200).empty());
    EXPECT_FALSE(player->isSoundPlaying(other.c_str()));

    // A file that is not there still makes an effect that counts references and stays silent.
    std::string missing = name("missing");
    player->referenceSound(missing.c_str(), false, 2);
    player->playSound(missing.c_str(), false, 100);
    player->setSoundVolume(missing.c_str(), false, 50);
    EXPECT_FALSE(player->isSoundPlaying(missing.c_str()));
    player->stopSound(missing.c_str());
}

TEST_F(PlayerSoundsTest, LoopingAndOnceAreTwoEffects) {
    std::string hum = wav("hum", 8300);
    player->referenceSound(hum.c_str(), true, 1);
    player->playSound(hum.c_str(), false, 100);
    EXPECT_TRUE(gainsAtRate(8300).empty()) << "the wrong loop flag plays nothing";
    player->referenceSound(hum.c_str(), false, 1);
    player->playSound(hum.c_str(), false, 100);
    player->playSound(hum.c_str(), true, 100);
    EXPECT_EQ(gainsAtRate(8300).size(), 2u);

    // A forced flush frees referenced effects too.
    player->flushSounds(true);
    EXPECT_TRUE(gainsAtRate(8300).empty());
    player->playSound(hum.c_str(), true, 100);
    EXPECT_TRUE(gainsAtRate(8300).empty());
}

TEST_F(PlayerSoundsTest, EffectsPlayAtTheirSettingTimesTheirVolume) {
    struct Case {
        const char* setting;
        long volume;
        float gain;
    };
    const Case cases[] = {
        {"50", 150, 0.5f}, {"50", -5, 0.0f},  {"50", 50, 0.25f},
        {"150", 40, 0.4f}, {"-20", 80, 0.0f}, {"33", 33, 0.10f},
    };
    std::string tap = wav("tap", 8400);
    player->referenceSound(tap.c_str(), false, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.setting) + " x " + std::to_string(c.volume));
        player->writeSetting("sfxvolume", c.setting, true);
        player->playSound(tap.c_str(), false, c.volume);
        EXPECT_FLOAT_EQ(heard(8400), c.gain);
    }

    // setSoundVolume keeps the volume as given and ignores the loop flag.
    player->writeSetting("sfxvolume", "80", true);
    player->setSoundVolume(tap.c_str(), true, 50);
    EXPECT_FLOAT_EQ(heard(8400), 0.4f);
    player->setSoundVolume(tap.c_str(), false, 200);
    EXPECT_FLOAT_EQ(heard(8400), 1.0f);
    player->writeSetting("sfxvolume", "25", true);
    EXPECT_FLOAT_EQ(heard(8400), 0.5f) << "200 percent of 25";
}

TEST_F(PlayerSoundsTest, SettingWritesReapplyTheVolumesOfPlayingSounds) {
    std::string tap = wav("tap", 8500);
    std::string wind = wav("wind", 8600);
    player->referenceSound(tap.c_str(), true, 1);
    player->referenceAmbientSound(wind.c_str());
    player->writeSetting("sfxvolume", "60", true);
    player->writeSetting("ambientvolume", "40", true);
    player->playSound(tap.c_str(), true, 50);
    player->playAmbientSound(wind.c_str());
    EXPECT_FLOAT_EQ(heard(8500), 0.3f);
    EXPECT_FLOAT_EQ(heard(8600), 0.4f);

    player->writeSetting("SFXVolume", "100", true);
    EXPECT_FLOAT_EQ(heard(8500), 0.5f);
    EXPECT_FLOAT_EQ(heard(8600), 0.4f) << "another setting";
    player->writeSetting("ambientvolume", "150", true);
    EXPECT_FLOAT_EQ(heard(8600), 1.0f);

    // A sound no longer referenced keeps its volume.
    player->dereferenceSound(tap.c_str(), true);
    player->writeSetting("sfxvolume", "20", true);
    EXPECT_FLOAT_EQ(heard(8500), 0.5f);
}

TEST_F(PlayerSoundsTest, MusicNamesVolumesAndMute) {
    std::string song = mp3("song");
    player->writeSetting("musicvolume", "80", true);
    player->playMusic((song + ".OGG").c_str(), 50);
    EXPECT_EQ(std::string(player->getCurrentMusicFilename()), song + ".mp3");
    EXPECT_TRUE(ZMiscTools::isBackgroundMusicPlaying());
    EXPECT_FLOAT_EQ(musicGain(), 0.4f);

    // The same music, named without extension, changes nothing, not even the volume.
    player->playMusic(song.c_str(), 100);
    EXPECT_FLOAT_EQ(musicGain(), 0.4f);
    player->setCurrentMusicVolume(100);
    EXPECT_FLOAT_EQ(musicGain(), 0.8f);
    player->setCurrentMusicVolume(250);
    EXPECT_FLOAT_EQ(musicGain(), 0.8f) << "clamped to 100";
    player->writeSetting("musicvolume", "25", true);
    EXPECT_FLOAT_EQ(musicGain(), 0.25f);

    player->muteMusic(true);
    EXPECT_FLOAT_EQ(musicGain(), 0.0f);
    // Neither a setting nor a new volume is heard while muted.
    player->writeSetting("musicvolume", "90", true);
    player->setCurrentMusicVolume(40);
    EXPECT_FLOAT_EQ(musicGain(), 0.0f);
    player->muteMusic(false);
    EXPECT_FLOAT_EQ(musicGain(), 0.36f);

    player->stopMusic();
    EXPECT_STREQ(player->getCurrentMusicFilename(), "");
    EXPECT_FALSE(ZMiscTools::isBackgroundMusicPlaying());
    // With no music, a volume changes nothing; the next music starts at its own.
    player->setCurrentMusicVolume(10);
    player->playMusic(song.c_str(), 100);
    EXPECT_FLOAT_EQ(musicGain(), 0.9f);
    player->muteMusic(true);
    player->stopMusic();
    player->playMusic(song.c_str(), 100);
    EXPECT_FLOAT_EQ(musicGain(), 0.0f) << "muted music starts silent";
}

TEST_F(PlayerSoundsTest, MusicNamesKeepOtherExtensions) {
    struct Case {
        const char* file;
        const char* played;
    };
    const Case cases[] = {
        {"theme", "theme.mp3"},         {"theme.ogg", "theme.mp3"}, {"theme.Ogg", "theme.mp3"},
        {"theme.wav", "theme.wav"},     {"theme.mp3", "theme.mp3"}, {"a.b/theme", "a.b/theme.mp3"},
        {"theme.x.ogg", "theme.x.mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        player->playMusic(c.file, 100);
        EXPECT_STREQ(player->getCurrentMusicFilename(), c.played);
        player->stopMusic();
    }
}

TEST_F(PlayerSoundsTest, OneAmbientSoundPlaysAtATime) {
    std::string rain = wav("rain", 8700);
    std::string birds = wav("birds", 8800);
    player->writeSetting("ambientvolume", "50", true);
    player->playAmbientSound(rain.c_str());
    EXPECT_STREQ(player->getCurrentAmbientSoundFilename(), "") << "not referenced";

    player->referenceAmbientSound(rain.c_str());
    player->referenceAmbientSound((rain + ".ogg").c_str());
    player->referenceAmbientSound(birds.c_str());
    player->playAmbientSound(rain.c_str());
    EXPECT_EQ(std::string(player->getCurrentAmbientSoundFilename()), rain + ".wav");
    EXPECT_FLOAT_EQ(heard(8700), 0.5f);
    player->playAmbientSound(rain.c_str());
    EXPECT_EQ(gainsAtRate(8700).size(), 1u) << "already the current one";

    player->playAmbientSound(birds.c_str());
    EXPECT_TRUE(gainsAtRate(8700).empty());
    EXPECT_FLOAT_EQ(heard(8800), 0.5f);
    EXPECT_EQ(std::string(player->getCurrentAmbientSoundFilename()), birds + ".wav");

    player->muteAmbientSounds(true);
    EXPECT_FLOAT_EQ(heard(8800), 0.0f);
    player->playAmbientSound(rain.c_str());
    EXPECT_FLOAT_EQ(heard(8700), 0.0f) << "muted ambient starts silent";
    player->muteAmbientSounds(false);
    EXPECT_FLOAT_EQ(heard(8700), 0.5f);

    player->stopAmbientSound();
    EXPECT_TRUE(gainsAtRate(8700).empty());
    EXPECT_STREQ(player->getCurrentAmbientSoundFilename(), "");
}

TEST_F(PlayerSoundsTest, FlushingTheCurrentAmbientSoundForgetsIt) {
    std::string rain = wav("rain", 8900);
    player->referenceAmbientSound(rain.c_str());
    player->playAmbientSound(rain.c_str());
    EXPECT_GE(heard(8900), 0.0f);
    player->flushAmbientSounds(false);
    EXPECT_GE(heard(8900), 0.0f) << "still referenced";
    player->dereferenceAmbientSound(rain.c_str());
    player->flushAmbientSounds(false);
    EXPECT_TRUE(gainsAtRate(8900).empty());
    // Freed and forgotten: stopping and playing again touch no freed sample.
    player->stopAmbientSound();
    player->referenceAmbientSound(rain.c_str());
    player->playAmbientSound(rain.c_str());
    EXPECT_EQ(gainsAtRate(8900).size(), 1u);
    player->flushAmbientSounds(true);
    EXPECT_TRUE(gainsAtRate(8900).empty());
    player->playAmbientSound(rain.c_str());
    EXPECT_TRUE(gainsAtRate(8900).empty());
}

TEST_F(PlayerSoundsTest, FormattedNamesAreCutAndStillPlay) {
    std::string click = wav("click7", 9000);
    player->referenceSoundF(false, 1, "%s%d", name("click").c_str(), 7);
    player->playSoundF(false, 100, "%s%d.ogg", name("click").c_str(), 7);
    EXPECT_EQ(gainsAtRate(9000).size(), 1u);
    player->dereferenceSoundF(false, "%s", click.c_str());
    player->flushSounds(false);
    player->playSound(click.c_str(), false, 100);
    EXPECT_TRUE(gainsAtRate(9000).empty()) << "freed by the flush";

    // A name longer than the buffers is cut, not written past them.
    std::string longName(400, 'x');
    player->referenceSoundF(true, 1, "%s", longName.c_str());
    player->playSoundF(true, 100, "%s", longName.c_str());
    player->referenceAmbientSound(longName.c_str());
    player->playAmbientSound(longName.c_str());
    player->playMusic(longName.c_str(), 100);
    EXPECT_EQ(strlen(player->getCurrentMusicFilename()), 259u);
    EXPECT_EQ(strlen(player->getCurrentAmbientSoundFilename()), 259u);
}

// Streamed sounds: each case streams files with delays and channel indexes, then runs frames
// of a length and stops channels, and checks which channels play after each step.
TEST_F(PlayerSoundsTest, StreamerThreadStartsSoundsAfterTheirDelays) {
    struct Case {
        const char* what;
        double delay;
        double frame;
        int startsInFrame;  // 1 = the first frame
    };
    const Case cases[] = {
        {"no delay", 0, 16, 1},
        {"500 in frames of 200", 500, 200, 3},
        {"500 in frames of 250", 500, 250, 2},
        {"500 in one long frame", 500, 2000, 1},
        {"negative delay plays at once", -40, 16, 1},
    };
    std::string voice = wav("voice", 9100);
    player->writeSetting("sfxvolume", "50", true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        player->streamSound(voice.c_str(), c.delay, 60, 1);
        joinStreamer();
        EXPECT_FALSE(player->isStreamedSoundPlaying(1)) << "loaded, still waiting";
        int frame = 0;
        while (!player->isStreamedSoundPlaying(1) && frame < 20) {
            player->updateStreamedSounds(c.frame);
            frame++;
        }
        EXPECT_EQ(frame, c.startsInFrame);
        EXPECT_FLOAT_EQ(heard(9100), 0.3f);
        player->stopStreamedSounds(1);
        EXPECT_FALSE(player->isStreamedSoundPlaying(1));
        EXPECT_TRUE(gainsAtRate(9100).empty());
    }
}

TEST_F(PlayerSoundsTest, StreamerThreadChannelsStopEachOther) {
    struct Stream {
        long index;
        int rate;
    };
    struct Case {
        const char* what;
        std::vector<Stream> streams;
        long stop;  // -2: no stop
        std::vector<int> heardRates;
        std::vector<long> playingIndexes;
    };
    const Case cases[] = {
        {"index 2 twice replaces the first",
         {{2, 9200}, {3, 9300}, {2, 9400}},
         -2,
         {9300, 9400},
         {2, 3}},
        {"stopping index 3 leaves index 2", {{2, 9200}, {3, 9300}}, 3, {9200}, {2}},
        {"stopping -1 stops all", {{2, 9200}, {3, 9300}, {0, 9400}}, -1, {}, {}},
        {"stopping an unused index", {{2, 9200}}, 5, {9200}, {2}},
    };
    for (int rate : {9200, 9300, 9400}) wav("s" + std::to_string(rate), rate);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const Stream& s : c.streams) {
            player->streamSound(name("s" + std::to_string(s.rate)).c_str(), 0, 100, s.index);
            // Each sound starts before the next request, which stops its channel.
            joinStreamer();
            player->updateStreamedSounds(16);
        }
        if (c.stop != -2) player->stopStreamedSounds(c.stop);
        player->updateStreamedSounds(16);
        for (int rate : {9200, 9300, 9400}) {
            bool expected = false;
            for (int r : c.heardRates) expected = expected || r == rate;
            EXPECT_EQ(!gainsAtRate(rate).empty(), expected) << rate;
        }
        for (long index = 0; index < 6; index++) {
            bool expected = false;
            for (long i : c.playingIndexes) expected = expected || i == index;
            EXPECT_EQ(player->isStreamedSoundPlaying(index), expected) << index;
        }
        player->stopStreamedSounds(-1);
    }
}

TEST_F(PlayerSoundsTest, StreamerThreadDropsWhatCannotPlayAndFinishedSounds) {
    write("sfx_wav/" + name("garbage") + ".wav", std::string(300, 'g'));
    std::string blip = wav("blip", 9500, 0.05);
    player->streamSound(name("missing").c_str(), 0, 100, 1);
    player->streamSound(name("garbage").c_str(), 0, 100, 2);
    player->streamSound(blip.c_str(), 0, 100, 3);
    joinStreamer();
    player->updateStreamedSounds(16);
    EXPECT_FALSE(player->isStreamedSoundPlaying(1));
    EXPECT_FALSE(player->isStreamedSoundPlaying(2));
    EXPECT_TRUE(player->isStreamedSoundPlaying(3));
    ASSERT_TRUE(waitFor([&] { return !player->isStreamedSoundPlaying(3); }, 5000));
    player->updateStreamedSounds(16);
    EXPECT_FALSE(player->isStreamedSoundPlaying(3));
}

TEST_F(PlayerSoundsTest, StreamerThreadLoadStoppedWhileRunningIsDropped) {
    // Big enough that the stop usually comes while the file is still being read.
    std::string big = wav("big", 9600, 120.0);
    struct Case {
        const char* what;
        long stop;
        bool plays;
    };
    const Case cases[] = {
        {"all", -1, false},
        {"its own index", 4, false},
        {"another index", 5, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        player->streamSound(big.c_str(), 0, 100, 4);
        player->stopStreamedSounds(c.stop);
        joinStreamer();
        player->updateStreamedSounds(16);
        EXPECT_EQ(player->isStreamedSoundPlaying(4), c.plays);
        player->stopStreamedSounds(-1);
    }
    // A player destroyed while its streamer thread loads waits for it.
    player->streamSound(big.c_str(), 0, 100, 4);
    delete player;
    player = nullptr;
}

TEST_F(PlayerSoundsTest, StreamerThreadSoundsFollowTheirOwnSetting) {
    std::string voice = wav("voice", 9700);
    player->writeSetting("sfxvolume", "40", true);
    player->streamSound(voice.c_str(), 0, 150, 0);
    joinStreamer();
    player->updateStreamedSounds(16);
    EXPECT_FLOAT_EQ(heard(9700), 0.4f) << "the volume is clamped to 100";
    // Every setting write re-applies streamed sounds, whatever the setting.
    player->writeSetting("gamedata4", "1", true);
    EXPECT_FLOAT_EQ(heard(9700), 0.4f);
    player->writeSetting("sfxvolume", "90", true);
    EXPECT_FLOAT_EQ(heard(9700), 0.9f);
}

TEST_F(PlayerSoundsTest, StreamerThreadSoundsStartFromTheFrame) {
    FakeWindow window;
    ZUIElement::initialize(&window);
    std::string voice = wav("voice", 9800);
    player->streamSound(voice.c_str(), 250, 100, 0);
    joinStreamer();
    player->move(20);
    EXPECT_FALSE(player->isStreamedSoundPlaying(0));
    // The whole frame counts, not the 200 ms that the scenes' update is capped at.
    player->move(240);
    EXPECT_TRUE(player->isStreamedSoundPlaying(0));
    delete player;
    player = nullptr;
    ZUIElement::cleanup();
}

}  // namespace
