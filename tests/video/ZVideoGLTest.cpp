// Videos drawn through the renderer and read back: the frame due at each time, converted on the
// CPU or by the YUV pixel shader, an alpha video's transparency over the background, two videos
// side by side. Every open video runs a decode thread.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GLTestWindow.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "VideoFileSupport.h"
#include "VideoTestSupport.h"
#include "ZCore.h"
#include "ZGraphic.h"
#include "ZPixelShader.h"
#include "ZVideo.h"
#include "ZWindowGL.h"

using VideoFile::Layout;
using VideoTest::inFrame;
using VideoTest::ManualClock;
using VideoTest::showFrameAt;

namespace {

const long kWidth = 96;
const long kHeight = 64;

class ZVideoThreadGLTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_window.reset(new GLTestWindow(kWidth, kHeight));
        ASSERT_TRUE(m_window->isOpen());
    }
    void TearDown() override {
        ZVideo::enablePixelShader(false);
        m_window.reset();
    }

    std::string write(const std::string& name, const Layout& layout) {
        return VideoTest::writeVideo(m_dir, name, layout);
    }

    // Draws the video's graphic at x, y (through the YUV shader when it converts) over a white
    // background and reads the screen.
    GLPicture draw(std::initializer_list<std::pair<ZVideo*, long>> videos) {
        m_window->clear(1, 1, 1);
        for (const auto& placed : videos) {
            ZVideo* video = placed.first;
            ZGraphic* graphic = video->getZGraphic();
            if (!graphic) continue;
            bool shader = ZVideo::getPixelShader() && m_shaderWanted;
            if (shader) m_window->window()->setPixelShader(ZVideo::getPixelShader());
            graphic->blitAlphaRectFxF(0, 0, video->getFrameWidth(), video->getFrameHeight(),
                                      static_cast<float>(placed.second), 4, 0, 1, 1, false, false,
                                      0, 0);
            if (shader) m_window->window()->setPixelShader(nullptr);
        }
        return readFramebuffer(0, 0, kWidth, kHeight, kHeight);
    }

    TempDir m_dir;
    std::unique_ptr<GLTestWindow> m_window;
    bool m_shaderWanted = false;
};

TEST_F(ZVideoThreadGLTest, FramesDrawInTheirOwnTimeToTheEnd) {
    Layout layout;
    layout.width = 40, layout.height = 30, layout.offsetX = 3, layout.offsetY = 5;
    layout.frames = 6;
    layout.colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x202020, 0x00FFFF};
    std::string path = write("play.ogv", layout);
    for (bool shader : {false, true}) {
        SCOPED_TRACE(shader ? "pixel shader" : "CPU conversion");
        m_shaderWanted = shader;
        ZVideo::enablePixelShader(shader);
        ZVideo video;
        if (shader && !ZVideo::getPixelShader()) {
            ADD_FAILURE() << "no YUV pixel shader on this renderer";
            continue;
        }
        ManualClock clock;
        clock.attach(video);
        ASSERT_TRUE(video.openVideo(path.c_str(), false, nullptr, nullptr, false, false, -1));
        ASSERT_NE(video.getZGraphic(), nullptr);
        for (long k = 0; k < layout.frames; k++) {
            SCOPED_TRACE(k);
            ASSERT_TRUE(showFrameAt(video, clock, inFrame(layout, k), k));
            GLPicture screen = draw({{&video, 4}});
            uint32_t expected = VideoFile::rgbaOf(VideoFile::colourOf(layout, k));
            // Inside the picture, away from its smoothed edges, and the background beside it.
            EXPECT_TRUE(VideoTest::nearPixel(screen.at(4 + 20, 4 + 15), expected, 10));
            EXPECT_TRUE(VideoTest::nearPixel(screen.at(4 + 2, 4 + 2), expected, 10));
            EXPECT_TRUE(VideoTest::nearPixel(screen.at(4 + 37, 4 + 27), expected, 10));
            EXPECT_TRUE(VideoTest::nearPixel(screen.at(60, 50), rgba(255, 255, 255), 0));
        }
        clock.now = inFrame(layout, layout.frames);
        for (int i = 0; i < 50 && !video.isEndReached(); i++) video.readFrame();
        EXPECT_TRUE(video.isEndReached());
    }
}

TEST_F(ZVideoThreadGLTest, AnAlphaVideoMakesItsBlackPixelsTransparent) {
    Layout colour;
    ZVideo alpha, video;
    ManualClock clock;
    ASSERT_TRUE(VideoTest::openAlphaPair(m_dir, {0xFF0000, 0x0000FF, 0x000000},
                                         {0xFFFFFF, 0x000000, 0x808080}, alpha, video, clock,
                                         colour));
    // Opaque red; a fully transparent frame; black at half alpha over white.
    const uint32_t expected[] = {rgba(255, 0, 0), rgba(255, 255, 255), rgba(127, 127, 127)};
    for (long k = 0; k < 3; k++) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(showFrameAt(video, clock, inFrame(colour, k), k));
        GLPicture screen = draw({{&video, 4}});
        EXPECT_TRUE(VideoTest::nearPixel(screen.at(4 + 16, 4 + 12), expected[k], 12));
    }
}

TEST_F(ZVideoThreadGLTest, TwoVideosDrawSideBySide) {
    Layout left, right;
    left.frames = right.frames = 4;
    left.colours = {0xFF0000, 0x00FF00};
    right.colours = {0x0000FF, 0xFFFF00};
    right.width = 24, right.height = 16;
    std::string a = write("left.ogv", left), b = write("right.ogv", right);
    ZVideo one, two;
    ManualClock clock;
    clock.attach(one);
    clock.attach(two);
    ASSERT_TRUE(one.openVideo(a.c_str(), true, nullptr, nullptr, true, false, 0));
    ASSERT_TRUE(two.openVideo(b.c_str(), false, nullptr, nullptr, true, false, 0));
    for (long k = 0; k < 4; k++) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(showFrameAt(one, clock, inFrame(left, k), k));
        ASSERT_TRUE(showFrameAt(two, clock, inFrame(left, k), k));
        GLPicture screen = draw({{&one, 4}, {&two, 50}});
        EXPECT_TRUE(VideoTest::nearPixel(screen.at(4 + 16, 4 + 12),
                                         VideoFile::rgbaOf(left.colours[k % 2]), 10));
        EXPECT_TRUE(VideoTest::nearPixel(screen.at(50 + 12, 4 + 8),
                                         VideoFile::rgbaOf(right.colours[k % 2]), 10));
    }
}

}  // namespace
