// The sample cache on the common cache design, loading real files through ZSound.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "SoundTestSupport.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZManagedSampleList.h"
#include "ZSound.h"

using namespace SoundTest;

namespace {

class ZManagedSampleListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZSound_register();
        writeFile(m_dir.file("boom.wav"),
                  wavFile(1, 8000, 16, bytesOf(sine(440, 8000, 0.1, 9000))));
        writeFile(m_dir.file("Bell.WAV"),
                  wavFile(2, 8000, 16, bytesOf(sine(440, 8000, 0.1, 9000, 2))));
        writeFile(m_dir.file("Song.wav"), wavFile(1, 11025, 8, std::string(50, '\x80')));
        m_cache.setPrefix(m_dir.path().c_str());
    }
    void TearDown() override {
        m_cache.freeAll();
        ZCore::registerNewZSound(nullptr);
        ZSound::cleanup();
    }

    long countOf(const char* key) {
        long found = -1;
        struct Look {
            const char* key;
            long* found;
        } look{key, &found};
        m_cache.forEach(
            [](void* user, const char* name, long count, ZSound*) {
                Look* l = static_cast<Look*>(user);
                if (std::string(name) == l->key) *l->found = count;
            },
            &look);
        return found;
    }

    TempDir m_dir;
    ZManagedSampleList m_cache;
};

TEST_F(ZManagedSampleListTest, NamesShareOneSoundWhateverTheirCase) {
    // The file is opened by the name as written; the name is cached lower-cased.
    ZSound* first = m_cache.loadSampleInternal("Bell.WAV", 70, true, 3);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getVoiceCount(), 3);
    EXPECT_EQ(first->getVolume(), 70);
    EXPECT_EQ(m_cache.loadSampleInternal("bell.wav", 100, false, 1), first);
    EXPECT_EQ(countOf("bell.wav"), 2);
    EXPECT_EQ(m_cache.getSampleByName("BELL.wav"), first);
    EXPECT_EQ(countOf("bell.wav"), 2);

    m_cache.unloadSampleByRef(first);
    EXPECT_EQ(countOf("bell.wav"), 1);
    m_cache.unloadSampleByName("BELL.WAV");
    EXPECT_EQ(m_cache.getSampleByName("bell.wav"), nullptr);
    EXPECT_EQ(countOf("bell.wav"), -1);
    // Giving back what is not cached does nothing.
    m_cache.unloadSampleByName("boom.wav");
    ZSound stranger;
    m_cache.unloadSampleByRef(&stranger);
    m_cache.unloadSampleByRef(nullptr);
}

TEST_F(ZManagedSampleListTest, OggAndWavStandInForEachOther) {
    std::string ogg = oggFile(sine(440, 22050, 0.2, 9000), 1, 22050);
    writeFile(m_dir.file("theme.ogg"), ogg);
    // A missing .ogg is read from the .wav, in the case the name was written in.
    ZSound* boom = m_cache.loadSampleInternal("boom.ogg", 100, false, 1);
    ASSERT_NE(boom, nullptr);
    EXPECT_EQ(boom->getRate(), 8000);
    ZSound* song = m_cache.loadSampleInternal("Song.OGG", 100, false, 1);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->getRate(), 11025);
    ZSound* theme = m_cache.loadSampleInternal("theme.wav", 100, false, 1);
    ASSERT_NE(theme, nullptr);
    EXPECT_EQ(theme->getRate(), 22050);
    EXPECT_EQ(countOf("boom.ogg"), 1);
    EXPECT_EQ(countOf("song.ogg"), 1);
    EXPECT_EQ(countOf("theme.wav"), 1);
    EXPECT_EQ(countOf("boom.wav"), -1);

    // Only those two extensions, and nothing left behind by a failure.
    writeFile(m_dir.file("click.caf"), "not a sound");
    EXPECT_EQ(m_cache.loadSampleInternal("boom.aiff", 100, false, 1), nullptr);
    EXPECT_EQ(m_cache.loadSampleInternal("missing.wav", 100, false, 1), nullptr);
    EXPECT_EQ(m_cache.loadSampleInternal("click.caf", 100, false, 1), nullptr);
    EXPECT_EQ(countOf("missing.wav"), -1);
    EXPECT_EQ(countOf("click.caf"), -1);
}

TEST_F(ZManagedSampleListTest, FreeAllDeletesWhateverTheCounts) {
    ASSERT_NE(m_cache.loadSampleInternal("boom.wav", 100, false, 1), nullptr);
    ASSERT_NE(m_cache.loadSampleInternal("boom.wav", 100, false, 1), nullptr);
    ASSERT_NE(m_cache.loadSampleInternal("Song.wav", 100, false, 1), nullptr);
    EXPECT_EQ(countOf("song.wav"), 1);
    m_cache.freeAll();
    EXPECT_EQ(m_cache.getSampleByName("boom.wav"), nullptr);
    EXPECT_EQ(countOf("song.wav"), -1);
}

TEST_F(ZManagedSampleListTest, NothingLoadsWithoutASoundFactory) {
    ZCore::registerNewZSound(nullptr);
    EXPECT_EQ(m_cache.loadSampleInternal("boom.wav", 100, false, 1), nullptr);
    EXPECT_EQ(countOf("boom.wav"), -1);
}

TEST_F(ZManagedSampleListTest, ConcurrentLoadsOfOneNameShareItsSound) {
    const int kThreads = 4;
    std::vector<ZSound*> got(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; i++)
        threads.emplace_back(
            [&, i] { got[i] = m_cache.loadSampleInternal("boom.wav", 100, false, 1); });
    for (std::thread& t : threads) t.join();
    ASSERT_NE(got[0], nullptr);
    for (ZSound* sound : got) EXPECT_EQ(sound, got[0]);
    EXPECT_EQ(countOf("boom.wav"), kThreads);
}

}  // namespace
