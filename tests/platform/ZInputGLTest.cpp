#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <functional>
#include <string>

#include "FakeWindow.h"
#include "GLTestWindow.h"
#include "SoftPointerImage.h"
#include "WindowGLTestDrawing.h"
#include "ZGraphicGL.h"
#include "ZImage.h"
#include "ZInput.h"
#include "ZWindowGL.h"

namespace {

const int kWindowX = 100;
const int kWindowY = 30;

// Where the pointer reads: in game coordinates (plain and real) and on the screen.
struct Reading {
    short x, y, realX, realY;
    int screenX, screenY;

    std::string text() const {
        return std::to_string(x) + "," + std::to_string(y) + " real " + std::to_string(realX) +
               "," + std::to_string(realY) + " screen " + std::to_string(screenX) + "," +
               std::to_string(screenY);
    }
};

Reading read() {
    SDL_PumpEvents();
    Reading r;
    r.x = ZInput::getMouseX();
    r.y = ZInput::getMouseY();
    r.realX = ZInput::getRealMouseX();
    r.realY = ZInput::getRealMouseY();
    SDL_GetGlobalMouseState(&r.screenX, &r.screenY);
    return r;
}

// The screen's pointer is shared with every test program under the same display, so a move is
// tried again when another program may have moved the pointer in between. Gives the last
// reading when no try matched.
std::string movesTo(const std::function<void()>& move, short x, short y, int screenX, int screenY) {
    Reading r{};
    for (int attempt = 0; attempt < 10; attempt++) {
        move();
        r = read();
        if (r.x == x && r.y == y && r.realX == x && r.realY == y && r.screenX == screenX &&
            r.screenY == screenY)
            return "";
        SDL_Delay(10 + 10 * attempt);
    }
    return r.text();
}

// A real 768 x 1024 window at a known place on the screen, fed to the input layer.
class ZInputGLTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        m_sdlWindow =
            SDL_CreateWindow("input", kWindowX, kWindowY, 768, 1024, SDL_WINDOW_BORDERLESS);
        ASSERT_NE(m_sdlWindow, nullptr) << SDL_GetError();
        SDL_PumpEvents();
        use(0, 0, 1.0f, 1.0f);
    }

    void TearDown() override {
        ZInput::showPointer();
        ZInput::setMousePointerHiddenState(false);
        ZInput::cleanup();
        if (m_sdlWindow) SDL_DestroyWindow(m_sdlWindow);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void use(long xOffset, long yOffset, float xScale, float yScale) {
        ZInput::initialize(&m_window, m_sdlWindow, nullptr, xOffset, yOffset, xScale, yScale, false,
                           0, 0);
    }

    FakeWindow m_window;
    SDL_Window* m_sdlWindow = nullptr;
};

// The game area inside the 768 x 1024 window: its size, offsets and scale.
TEST_F(ZInputGLTest, PointerMovesToTheGamePositionItReadsAt) {
    struct Case {
        long gameWidth, gameHeight, actualWidth, actualHeight, xOffset, yOffset;
        float scale;
        short x, y;
        int screenX, screenY;
    } cases[] = {
        {768, 1024, 768, 1024, 0, 0, 1.0f, 100, 200, kWindowX + 100, kWindowY + 200},
        {768, 1024, 768, 1024, 0, 0, 1.0f, 0, 1023, kWindowX, kWindowY + 1023},
        {384, 512, 768, 1024, 0, 0, 0.5f, 100, 200, kWindowX + 200, kWindowY + 400},
        {700, 932, 700, 932, 34, 46, 1.0f, 100, 200, kWindowX + 134, kWindowY + 246},
    };
    for (const Case& c : cases) {
        m_window.width = c.gameWidth;
        m_window.height = c.gameHeight;
        m_window.actualWidth = c.actualWidth;
        m_window.actualHeight = c.actualHeight;
        use(c.xOffset, c.yOffset, c.scale, c.scale);
        EXPECT_EQ(
            movesTo([&] { ZInput::mousePointerTo(c.x, c.y); }, c.x, c.y, c.screenX, c.screenY), "")
            << c.gameWidth << " x " << c.gameHeight << " at " << c.x << "," << c.y;
    }
}

// Outside the window the pointer still reads, beyond the game area's edges.
TEST_F(ZInputGLTest, PointerOutsideTheWindowReadsBeyondTheEdges) {
    struct Case {
        int screenX, screenY;
        short x, y;
    } cases[] = {
        {50, 10, -50, -20},
        {1000, 1070, 900, 1040},
        {kWindowX + 767, kWindowY + 1023, 767, 1023},
    };
    for (const Case& c : cases)
        EXPECT_EQ(movesTo([&] { SDL_WarpMouseGlobal(c.screenX, c.screenY); }, c.x, c.y, c.screenX,
                          c.screenY),
                  "")
            << c.screenX << "," << c.screenY;
}

// Hiding first puts the system pointer on the game position it reads at.
TEST_F(ZInputGLTest, HidingPutsThePointerWhereTheGameReadsIt) {
    m_window.width = 384;
    m_window.height = 512;
    use(0, 0, 0.5f, 0.5f);
    auto hideAtOddPixel = [] {
        ZInput::showPointer();
        SDL_WarpMouseGlobal(kWindowX + 201, kWindowY + 401);
        SDL_PumpEvents();
        ZInput::hidePointer();
    };
    EXPECT_EQ(movesTo(hideAtOddPixel, 100, 200, kWindowX + 200, kWindowY + 400), "");
}

TEST_F(ZInputGLTest, HidingThePointerHidesTheSystemCursor) {
    ZInput::hidePointer();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    ZInput::showPointer();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);

    ZInput::setMousePointerHiddenState(true);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    ZInput::hidePointer();
    ZInput::setMousePointerHiddenState(false);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    EXPECT_TRUE(ZInput::isMousePointerHidden());
}

const long kGameWidth = 160;
const long kGameHeight = 120;
const uint32_t kBackground = rgba(51, 102, 153);

// The soft pointer drawn by a real game window, windowed at the game size so that game pixels
// are window pixels.
class ZInputSoftPointerGLTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_window.isOpen());
        m_sdlWindow = static_cast<SDL_Window*>(m_window.window()->getWindowHandle());
        ASSERT_NE(m_sdlWindow, nullptr);
        ASSERT_TRUE(
            m_arrow.decodeImage(ZImageFormatPng, kSoftPointerImage, sizeof(kSoftPointerImage)));
    }

    GLPicture drawPointer(bool clamp, float scale) {
        m_window.clear(0.2f, 0.4f, 0.6f);
        ZInput::drawSoftMousePointer(clamp, scale);
        return readFramebuffer(0, 0, kGameWidth, kGameHeight, kGameHeight);
    }

    // The background with the arrow image on it, its top-left pixel at (left, top): the image
    // has only opaque and fully transparent pixels, which a 1:1 drawing keeps exact.
    GLPicture arrowAt(long left, long top) const {
        GLPicture picture = uniformPicture(kGameWidth, kGameHeight, kBackground);
        for (long y = 0; y < m_arrow.getImageHeight(); y++) {
            for (long x = 0; x < m_arrow.getImageWidth(); x++) {
                uint32_t pixel = m_arrow.getPixels()[y * m_arrow.getImageWidth() + x];
                long px = left + x, py = top + y;
                if (channel(pixel, 3) == 255 && px >= 0 && px < kGameWidth && py >= 0 &&
                    py < kGameHeight)
                    picture.pixels[py * kGameWidth + px] = pixel;
            }
        }
        return picture;
    }

    GLTestWindow m_window{kGameWidth, kGameHeight};
    SDL_Window* m_sdlWindow = nullptr;
    ZImage m_arrow;
};

TEST_F(ZInputSoftPointerGLTest, ArrowTipIsOnePixelUpAndLeftOfThePointer) {
    struct Case {
        long x, y;
    } cases[] = {{50, 60}, {1, 1}, {150, 110}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        ASSERT_TRUE(pointAt(m_sdlWindow, c.x, c.y));
        GLPicture drawn = drawPointer(false, 1.0f);
        EXPECT_EQ(drawn.at(c.x - 1, c.y - 1), rgba(0, 0, 0)) << "the tip";
        EXPECT_TRUE(picturesMatch(drawn, arrowAt(c.x - 1, c.y - 1), 2));
    }
}

// Beyond the window the pointer is drawn at the nearest pixel inside when clamped, else off it.
TEST_F(ZInputSoftPointerGLTest, ClampKeepsTheArrowInside) {
    struct Case {
        long x, y, clampedX, clampedY;
    } cases[] = {
        {kGameWidth + 40, kGameHeight + 30, kGameWidth - 1, kGameHeight - 1},
        {-30, -20, 0, 0},
        {-30, 70, 0, 70},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        ASSERT_TRUE(pointAt(m_sdlWindow, c.x, c.y));
        EXPECT_TRUE(pictureIsUniform(drawPointer(false, 1.0f), kBackground)) << "unclamped";
        EXPECT_TRUE(
            picturesMatch(drawPointer(true, 1.0f), arrowAt(c.clampedX - 1, c.clampedY - 1), 2))
            << "clamped";
    }
}

TEST_F(ZInputSoftPointerGLTest, ScaleStretchesTheArrow) {
    const long x = 40, y = 30;
    for (float scale : {1.0f, 2.0f}) {
        SCOPED_TRACE(scale);
        ASSERT_TRUE(pointAt(m_sdlWindow, x, y));
        GLPicture drawn = drawPointer(false, scale);
        long left = kGameWidth, top = kGameHeight, right = -1, bottom = -1;
        for (long py = 0; py < kGameHeight; py++) {
            for (long px = 0; px < kGameWidth; px++) {
                if (drawn.at(px, py) == kBackground) continue;
                left = std::min(left, px);
                top = std::min(top, py);
                right = std::max(right, px);
                bottom = std::max(bottom, py);
            }
        }
        EXPECT_EQ(left, x - 1);
        EXPECT_EQ(top, y - 1);
        EXPECT_EQ(right - left + 1, static_cast<long>(m_arrow.getImageWidth() * scale));
        EXPECT_EQ(bottom - top + 1, static_cast<long>(m_arrow.getImageHeight() * scale));
        EXPECT_EQ(drawn.at(x - 1, y - 1), rgba(0, 0, 0)) << "the tip";
        if (HasFailure()) savePictureForTest(drawn, scale == 1.0f ? "scale1" : "scale2");
    }
}

// The window initialises the input again at every full-screen switch.
TEST_F(ZInputSoftPointerGLTest, InitializingAgainReplacesThePointerGraphic) {
    int32_t graphics = ZGraphicGL::g_lGlGraphics.count;
    for (int i = 0; i < 3; i++)
        ZInput::initialize(m_window.window(), m_sdlWindow, nullptr, 0, 0, 1.0f, 1.0f, false, 0, 0);
    EXPECT_EQ(ZGraphicGL::g_lGlGraphics.count, graphics);

    ASSERT_TRUE(pointAt(m_sdlWindow, 50, 60));
    EXPECT_TRUE(picturesMatch(drawPointer(false, 1.0f), arrowAt(49, 59), 2));
}

TEST_F(ZInputSoftPointerGLTest, NothingIsDrawnAfterCleanup) {
    ASSERT_TRUE(pointAt(m_sdlWindow, 50, 60));
    int32_t graphics = ZGraphicGL::g_lGlGraphics.count;
    ZInput::cleanup();
    EXPECT_EQ(ZGraphicGL::g_lGlGraphics.count, graphics - 1);
    EXPECT_TRUE(pictureIsUniform(drawPointer(true, 1.0f), kBackground));
}

}  // namespace
