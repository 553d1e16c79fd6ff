// Background music through the OS tools, on OpenAL's null device.
#include <gtest/gtest.h>

#include <string>

#include "SoundTestSupport.h"
#include "TempDir.h"
#include "ZMiscTools.h"
#include "ZSound.h"

using namespace SoundTest;

namespace {

class ZBackgroundMusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(m_dir.file("short.mp3"), mp3File(sine(440, 22050, 0.4, 9000, 2), 2, 22050));
        writeFile(m_dir.file("mono.mp3"), mp3File(sine(440, 16000, 0.3, 9000), 1, 16000));
        writeFile(m_dir.file("noise.mp3"), std::string(5000, '\x55'));
    }
    void TearDown() override {
        ZMiscTools::stopBackgroundMusic();
        ZSound::cleanup();
    }
    std::string path(const char* name) { return m_dir.file(name); }

    TempDir m_dir;
};

TEST_F(ZBackgroundMusicTest, MusicThreadPlaysAFileOnceToItsEnd) {
    for (const char* name : {"short.mp3", "mono.mp3"}) {
        SCOPED_TRACE(name);
        ZMiscTools::playBackgroundMusic(path(name).c_str(), 80, false, false);
        EXPECT_TRUE(ZMiscTools::isBackgroundMusicPlaying());
        ASSERT_TRUE(waitFor([] { return !ZMiscTools::isBackgroundMusicPlaying(); }, 10000));
    }
}

TEST_F(ZBackgroundMusicTest, MusicThreadLoopsUntilStopped) {
    ZMiscTools::playBackgroundMusic(path("mono.mp3").c_str(), 100, true, false);
    // Several times its length.
    EXPECT_FALSE(waitFor([] { return !ZMiscTools::isBackgroundMusicPlaying(); }, 1500));
    ZMiscTools::setBackgroundMusicVolume(0);
    EXPECT_TRUE(ZMiscTools::isBackgroundMusicPlaying());
    ZMiscTools::stopBackgroundMusic();
    EXPECT_FALSE(ZMiscTools::isBackgroundMusicPlaying());
    ZMiscTools::setBackgroundMusicVolume(50);
}

TEST_F(ZBackgroundMusicTest, MusicThreadIsReplacedAndEndedByCleanup) {
    ZMiscTools::playBackgroundMusic(path("short.mp3").c_str(), 100, true, false);
    ZMiscTools::playBackgroundMusic(path("mono.mp3").c_str(), 100, true, false);
    EXPECT_TRUE(ZMiscTools::isBackgroundMusicPlaying());
    // What cannot be played replaces it with silence.
    for (const char* name : {"missing.mp3", "noise.mp3"}) {
        SCOPED_TRACE(name);
        ZMiscTools::playBackgroundMusic(path("short.mp3").c_str(), 100, true, false);
        ZMiscTools::playBackgroundMusic(path(name).c_str(), 100, true, false);
        EXPECT_FALSE(ZMiscTools::isBackgroundMusicPlaying());
    }
    // The music plays on the sound device, which the sound cleanup closes.
    ZMiscTools::playBackgroundMusic(path("short.mp3").c_str(), 100, true, false);
    ZSound::cleanup();
    EXPECT_FALSE(ZMiscTools::isBackgroundMusicPlaying());
    ZMiscTools::playBackgroundMusic(path("short.mp3").c_str(), 100, true, false);
    EXPECT_TRUE(ZMiscTools::isBackgroundMusicPlaying());
}

}  // namespace
