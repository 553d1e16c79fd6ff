#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <string>

#include "FakeWindow.h"
#include "ZInput.h"

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

}  // namespace
