// The video element in a tree on a real window, read back: each frame's colour at its time until
// the end (reported once), an alpha video's transparency, and the element's lightness. Every
// open video runs a decode thread.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../sound/SoundTestSupport.h"
#include "GLTestWindow.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "VideoFileSupport.h"
#include "VideoTestSupport.h"
#include "ZUIVideo.h"
#include "ZVideo.h"
#include "ZWindowGL.h"

using VideoFile::Layout;
using VideoTest::inFrame;
using VideoTest::ManualClock;

namespace {

const long kSize = 96;

std::vector<long> g_ended;

void receiver(ZUIMessage* m) {
    if (m->type == ZUIVideo::kMsgVideoEnded) g_ended.push_back(m->type);
}

class ZUIVideoThreadGLTest : public ::testing::Test {
protected:
    GLTestWindow window{kSize, kSize};
    void SetUp() override {
        ASSERT_TRUE(window.isOpen());
        ZUIElement::initialize(window.window());
        ZUIElement::getRootElement()->setMessageCallBack(receiver);
        g_ended.clear();
    }
    void TearDown() override { ZUIElement::cleanup(); }

    // Sets the clock, moves the tree until the video shows frame, then draws the tree over
    // white and reads it.
    GLPicture frameAt(ZVideo& video, ManualClock& clock, int64_t ms, uint64_t frame) {
        clock.now = ms;
        bool shown = SoundTest::waitFor(
            [&]() {
                ZUIElement::moveAll();
                return video.isVideoAvailable() && video.getFrame() == frame;
            },
            5000);
        EXPECT_TRUE(shown) << "frame " << frame << " at " << ms << " ms";
        window.clear(1, 1, 1);
        ZUIElement::blitAll(0);
        return readFramebuffer(0, 0, kSize, kSize, kSize);
    }

    TempDir m_dir;
};

TEST_F(ZUIVideoThreadGLTest, EachFrameShowsAtItsTimeAndTheEndComesOnce) {
    Layout layout;
    layout.width = 40, layout.height = 30, layout.offsetX = 3, layout.offsetY = 5;
    layout.frames = 5;
    layout.colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF};
    std::string path = VideoTest::writeVideo(m_dir, "play.ogv", layout);
    ZVideo video;
    ManualClock clock;
    clock.attach(video);
    ASSERT_TRUE(video.openVideo(path.c_str(), false, nullptr, nullptr, false, false, -1));
    ZUIVideo* v = new ZUIVideo(ZUIElement::getRootElement());
    v->setPosition(10, 20);
    v->setSize(40, 30);
    v->setVideoInternal(&video, 0, 0, 40, 30);
    for (long k = 0; k < layout.frames; k++) {
        SCOPED_TRACE(k);
        // Yellow drawn at half lightness, then the video's own colours again.
        v->setLightness(k == 3 ? 0.5f : 1.0f);
        GLPicture screen = frameAt(video, clock, inFrame(layout, k), k);
        uint32_t expected = VideoFile::rgbaOf(VideoFile::colourOf(layout, k));
        if (k == 3) expected = rgba(127, 127, 0);
        EXPECT_TRUE(VideoTest::nearPixel(screen.at(10 + 20, 20 + 15), expected, 10));
        EXPECT_TRUE(VideoTest::nearPixel(screen.at(10 + 2, 20 + 2), expected, 10));
        EXPECT_TRUE(VideoTest::nearPixel(screen.at(5, 5), rgba(255, 255, 255), 0))
            << "outside the element";
        // Two thirds into the frame the same frame still shows.
        clock.now = inFrame(layout, k) + 33;
        ZUIElement::moveAll();
        EXPECT_EQ(video.getFrame(), static_cast<uint64_t>(k));
        // The end comes once the last frame has shown.
        if (k < layout.frames - 1) {
            EXPECT_TRUE(g_ended.empty());
        }
    }
    clock.now = inFrame(layout, layout.frames);
    EXPECT_TRUE(SoundTest::waitFor(
        [&]() {
            ZUIElement::moveAll();
            return video.isEndReached();
        },
        5000));
    for (int i = 0; i < 10; i++) ZUIElement::moveAll();
    EXPECT_EQ(g_ended.size(), 1u);
}

TEST_F(ZUIVideoThreadGLTest, TheAlphaVideoAndTheLightnessShowThroughTheElement) {
    Layout colour;
    ZVideo alpha, video;
    ManualClock clock;
    ASSERT_TRUE(VideoTest::openAlphaPair(m_dir, {0xFF0000, 0x0000FF, 0x00FF00},
                                         {0xFFFFFF, 0x000000, 0xFFFFFF}, alpha, video, clock,
                                         colour));
    ZUIVideo* v = new ZUIVideo(ZUIElement::getRootElement());
    v->setPosition(8, 8);
    v->setSize(video.getFrameWidth(), video.getFrameHeight());
    v->setVideoInternal(&video, 0, 0, video.getFrameWidth(), video.getFrameHeight());
    // Opaque red; a frame made fully transparent; opaque green.
    const uint32_t expected[] = {rgba(255, 0, 0), rgba(255, 255, 255), rgba(0, 255, 0)};
    for (long k = 0; k < 3; k++) {
        SCOPED_TRACE(k);
        GLPicture screen = frameAt(video, clock, inFrame(colour, k), k);
        EXPECT_TRUE(VideoTest::nearPixel(screen.at(8 + 16, 8 + 12), expected[k], 12));
    }
}

}  // namespace
