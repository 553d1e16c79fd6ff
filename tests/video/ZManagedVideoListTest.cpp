// The video cache: counts per lower-cased name, the alpha video found beside a video, paused
// loads, sounds for the sound track, releases and freeAll. Cached videos run decode threads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "VideoFileSupport.h"
#include "ZCore.h"
#include "ZManagedVideoList.h"
#include "ZSound.h"
#include "ZVideo.h"

namespace {

class ZManagedVideoListThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZVideo_register();
        ZSound_register();
        m_cache.setPrefix(m_dir.path().c_str());
    }
    void TearDown() override {
        m_cache.freeAll();
        ZSound::cleanup();
    }

    void write(const std::string& name, const VideoFile::Layout& layout) {
        writeFile(m_dir.file(name), VideoFile::make(layout));
    }

    static void count(void* user, const char* name, long n, ZVideo*) {
        static_cast<std::vector<std::pair<std::string, long>>*>(user)->push_back({name, n});
    }

    std::vector<std::pair<std::string, long>> entries() {
        std::vector<std::pair<std::string, long>> all;
        m_cache.forEach(count, &all);
        return all;
    }

    TempDir m_dir;
    ZManagedVideoList m_cache;
};

TEST_F(ZManagedVideoListThreadTest, NamesShareOneVideoWhateverTheirCase) {
    write("Intro.ogv", VideoFile::Layout());
    ZVideo* first = m_cache.loadVideoInternal("Intro.ogv", false, false, false, nullptr, -1);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVideoPaused()) << "cached videos start paused";
    EXPECT_EQ(m_cache.loadVideoInternal("Intro.ogv", true, true, true, nullptr, -1), first);
    EXPECT_EQ(m_cache.getVideoByName("INTRO.OGV"), first);
    EXPECT_EQ(entries(), (std::vector<std::pair<std::string, long>>{{"intro.ogv", 2}}));

    m_cache.unloadVideoByName("intro.ogv");
    EXPECT_EQ(entries(), (std::vector<std::pair<std::string, long>>{{"intro.ogv", 1}}));
    ZVideo stranger;
    m_cache.unloadVideoByRef(&stranger);
    m_cache.unloadVideoByName("other.ogv");
    EXPECT_EQ(entries().size(), 1u) << "releasing what is not cached does nothing";
    m_cache.unloadVideoByRef(first);
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(m_cache.getVideoByName("intro.ogv"), nullptr);
}

TEST_F(ZManagedVideoListThreadTest, AVideoFindsItsAlphaVideoBesideIt) {
    VideoFile::Layout layout;
    write("with.ogv", layout);
    write("with_a.ogv", layout);
    write("without.ogv", layout);
    write("named.ogg", layout);
    write("mask.ogv", layout);
    struct Case {
        const char* name;
        const char* alphaName;
        bool paired;
    };
    const Case cases[] = {{"with.ogv", nullptr, true},
                          {"without.ogv", nullptr, false},
                          {"named.ogg", "mask.ogv", true},
                          {"without.ogv", "missing_a.ogv", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZVideo* video = m_cache.loadVideoInternal(c.name, false, false, false, c.alphaName, -1);
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->getAlphaVideo() != nullptr, c.paired);
        if (c.paired) {
            EXPECT_TRUE(video->getAlphaVideo()->isAlpha());
            EXPECT_TRUE(video->getAlphaVideo()->isVideoPaused()) << "the alpha pauses with it";
        }
        m_cache.unloadVideoByRef(video);
    }
    EXPECT_TRUE(entries().empty());
}

TEST_F(ZManagedVideoListThreadTest, FailedLoadsLeaveNothing) {
    writeFile(m_dir.file("broken.ogv"), "not a video");
    EXPECT_EQ(m_cache.loadVideoInternal("missing.ogv", false, true, false, nullptr, -1), nullptr);
    EXPECT_EQ(m_cache.loadVideoInternal("broken.ogv", false, true, false, nullptr, -1), nullptr);
    EXPECT_EQ(
        m_cache.loadVideoInternal(std::string(300, 'x').c_str(), false, false, false, nullptr, -1),
        nullptr);
    ZCore::registerNewZVideo(nullptr);
    write("fine.ogv", VideoFile::Layout());
    EXPECT_EQ(m_cache.loadVideoInternal("fine.ogv", false, true, false, nullptr, -1), nullptr);
    ZVideo_register();
    EXPECT_TRUE(entries().empty());
}

TEST_F(ZManagedVideoListThreadTest, TheSoundTrackGetsASoundOfItsOwn) {
    VideoFile::Layout layout;
    layout.channels = 2;
    write("talk.ogv", layout);
    ZVideo* silent = m_cache.loadVideoInternal("talk.ogv", false, false, false, nullptr, -1);
    ASSERT_NE(silent, nullptr);
    EXPECT_EQ(silent->getSoundStream(), nullptr);
    EXPECT_FALSE(silent->hasSound());
    m_cache.unloadVideoByRef(silent);

    ZVideo* video = m_cache.loadVideoInternal("talk.ogv", false, true, false, nullptr, -1);
    ASSERT_NE(video, nullptr);
    ZSound* sound = dynamic_cast<ZSound*>(video->getSoundStream());
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(video->hasSound());
    EXPECT_TRUE(sound->isStream());
}

TEST_F(ZManagedVideoListThreadTest, FreeAllDeletesWhateverTheCounts) {
    VideoFile::Layout layout;
    write("a.ogv", layout);
    write("b.ogv", layout);
    write("b_a.ogv", layout);
    m_cache.loadVideoInternal("a.ogv", true, false, false, nullptr, -1);
    m_cache.loadVideoInternal("a.ogv", true, false, false, nullptr, -1);
    ZVideo* b = m_cache.loadVideoInternal("b.ogv", true, false, false, nullptr, -1);
    ASSERT_NE(b, nullptr);
    b->resumeTime();
    EXPECT_EQ(entries().size(), 2u);
    m_cache.freeAll();
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(m_cache.getVideoByName("a.ogv"), nullptr);
}

TEST_F(ZManagedVideoListThreadTest, ASecondPrefixIsIgnored) {
    write("clip.ogv", VideoFile::Layout());
    m_cache.setPrefix("/nowhere");
    EXPECT_EQ(m_cache.getPrefix(), m_dir.path());
    EXPECT_NE(m_cache.loadVideoInternal("clip.ogv", false, false, false, nullptr, -1), nullptr);
}

}  // namespace
