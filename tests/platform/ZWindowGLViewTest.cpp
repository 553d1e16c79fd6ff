#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "ZGameArea.h"
#include "ZScissorBox.h"
#include "ZWindowGL.h"

// Where a clip rectangle lands in the framebuffer, and what the view state does before a window
// exists; no display needed.
namespace {

ZGameArea windowedArea(long width, long height) {
    ZGameArea area;
    area.reset(width, height);
    area.setDisplaySize(width, height);
    return area;
}

// A 768 x 1024 game letterboxed full screen on a desktop of the given size.
ZGameArea letterboxedArea(long desktopWidth, long desktopHeight) {
    ZGameArea area;
    area.reset(768, 1024);
    long width = 768, height = 1024;
    area.checkWideScreen(desktopWidth, desktopHeight, width, height, ZGameArea::kFullScreenWindow,
                         true, false, 0, 0);
    area.setDisplaySize(width, height);
    return area;
}

// A 768 x 1024 game drawn into a smaller window.
ZGameArea shrunkArea() {
    ZGameArea area;
    area.reset(768, 1024);
    long width = 768, height = 1024;
    area.checkWideScreen(1920, 1080, width, height, ZGameArea::kWindowed, true, true, 384, 512);
    return area;
}

struct ClipCase {
    const char* name;
    ZGameArea area;
    bool renderTarget;
    long viewWidth, viewHeight;
    float x1, y1, x2, y2;
    long x, y, width, height;
};

void PrintTo(const ClipCase& c, std::ostream* out) {
    *out << c.name;
}

class ZScissorBoxTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ZScissorBoxTest, MapsTheClipRectangleToFramebufferPixels) {
    const ClipCase& c = GetParam();
    ZScissorBox box = ZScissorBox::forClipRect(c.x1, c.y1, c.x2, c.y2, c.viewWidth, c.viewHeight,
                                               c.renderTarget, c.area);
    EXPECT_EQ(box.x, c.x);
    EXPECT_EQ(box.y, c.y);
    EXPECT_EQ(box.width, c.width);
    EXPECT_EQ(box.height, c.height);
}

const float kNaN = std::nanf("");

INSTANTIATE_TEST_SUITE_P(
    Cases, ZScissorBoxTest,
    ::testing::Values(
        // y runs downwards in the view and upwards in the framebuffer.
        ClipCase{"Unscaled", windowedArea(768, 1024), false, 768, 1024, 10, 20, 110, 220, 10, 804,
                 100, 200},
        ClipCase{"FractionsTruncate", windowedArea(768, 1024), false, 768, 1024, 10.9f, 20.9f,
                 110.9f, 220.9f, 10, 804, 100, 200},
        // Bars above and below: the upper half of the game area, window y 520 up to 1020.
        ClipCase{"BarsAboveAndBelow", letterboxedArea(750, 1040), false, 768, 1024, 0, 0, 768, 512,
                 0, 520, 750, 500},
        // Bars left and right: the left half starts after the 555-pixel bar.
        ClipCase{"BarsLeftAndRight", letterboxedArea(1920, 1080), false, 768, 1024, 0, 0, 384, 1024,
                 555, 0, 405, 1080},
        ClipCase{"ScaledDown", shrunkArea(), false, 768, 1024, 0, 0, 384, 512, 0, 256, 192, 256},
        ClipCase{"ClampedToTheView", letterboxedArea(1920, 1080), false, 768, 1024, -50, -50, 5000,
                 5000, 555, 0, 810, 1080},
        ClipCase{"NaNCountsAsZero", windowedArea(768, 1024), false, 768, 1024, kNaN, kNaN, 100, 100,
                 0, 924, 100, 100},
        // A render target's rows already run as its framebuffer's; no letterbox applies.
        ClipCase{"RenderTarget", letterboxedArea(1920, 1080), true, 256, 256, 10, 20, 110, 220, 10,
                 20, 100, 200},
        ClipCase{"RenderTargetClamped", windowedArea(768, 1024), true, 256, 128, -5, -5, 300, 300,
                 0, 0, 256, 128},
        // Reversed rectangles clip everything rather than passing a size GL refuses.
        ClipCase{"ReversedX", windowedArea(768, 1024), false, 768, 1024, 200, 0, 100, 100, 200, 924,
                 0, 100},
        ClipCase{"ReversedY", windowedArea(768, 1024), false, 768, 1024, 0, 300, 100, 200, 0, 824,
                 100, 0},
        ClipCase{"ReversedInRenderTarget", windowedArea(768, 1024), true, 256, 256, 100, 100, 50,
                 50, 100, 100, 0, 0},
        ClipCase{"NoView", windowedArea(768, 1024), false, 0, 0, 0, 0, 100, 100, 0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<ClipCase>& info) { return info.param.name; });

// Before a window exists nothing reaches OpenGL, and the render-target calls refuse.
TEST(ZWindowGLWithoutWindowTest, ViewCallsKeepTheirValuesAndTargetsAreRefused) {
    ZWindowGL window(false, true);
    window.setBlitDepth(0.25f);
    EXPECT_FLOAT_EQ(window.getBlitDepth(), -0.25f);
    window.begin3d(true, true, eZWindow3dCullClockwise, true);
    EXPECT_TRUE(window.get3dFlag());
    window.end3d();
    EXPECT_FALSE(window.get3dFlag());
    window.setClipRect(true, 0, 0, 10, 10);
    EXPECT_FALSE(window.isClipEnabled());
    window.setClearColor(0.1f, 0.2f, 0.3f, 0.4f);
    float color[4];
    window.getClearColor(color);
    EXPECT_FLOAT_EQ(color[2], 0.3f);
    window.setWorldView(0, 0, 0, 1, true);
    window.restoreState();
    EXPECT_FALSE(window.saveBackBuffer("/tmp/never-written.png", 3, 0, 0));

    void* context = &window;
    void* buffer = &window;
    EXPECT_FALSE(
        window.createGLContextAndPBuffer(64, 64, true, false, 0x0DE1, 0x1908, &context, &buffer));
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(window.getMainGLContext(), nullptr);
    EXPECT_FALSE(window.makeGLContextCurrent(&window));
    // Unknown handles are ignored rather than freed.
    window.updateGLTexture(&window, &window);
    window.destroyGLContext(&window);
    window.destroyGLPBuffer(&window);
}

}  // namespace
