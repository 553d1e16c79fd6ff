#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_opengl.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "ZCore.h"
#include "ZInput.h"
#include "ZWindowGL.h"

// The real window on the test's display (Xvfb, 1920 x 1080).
namespace {

std::vector<ZEvent> g_records;

bool record(ZEvent* event) {
    g_records.push_back(*event);
    return true;
}

class ZWindowGLDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_records.clear();
        window = static_cast<ZWindowGL*>(ZCore::createZWindow(eRendererOpenGL, false, true));
        window->setZOZCallBack(record);
    }
    void TearDown() override {
        ZCore::forgetZWindow();
        delete window;
    }
    bool create(bool windowed) {
        return window->createGameWindow(768, 1024, 32, windowed, "Bramble test", 0);
    }
    SDL_Window* sdlWindow() { return static_cast<SDL_Window*>(window->getWindowHandle()); }

    ZWindowGL* window = nullptr;
};

TEST_F(ZWindowGLDisplayTest, WindowedGameOpensAtItsDesignSize) {
    window->setFixedAspectRatio(true);
    ASSERT_TRUE(window->checkWindowedMode(768, 1024));
    ASSERT_TRUE(create(true));
    int width = 0, height = 0;
    SDL_GetWindowSize(sdlWindow(), &width, &height);
    EXPECT_EQ(width, 768);
    EXPECT_EQ(height, 1024);
    EXPECT_EQ(window->getDisplayState(), 0);
    EXPECT_EQ(window->getActualWindowWidth(), 768);
    EXPECT_EQ(window->getActualWindowHeight(), 1024);
    EXPECT_FALSE(window->getGameArea().isScaled());
    long maxWidth = 0, maxHeight = 0;
    window->getMaxTextureSize(maxWidth, maxHeight);
    EXPECT_GE(maxWidth, 1024);
    char adapter[256];
    window->getAdapterName(adapter, sizeof(adapter));
    EXPECT_STRNE(adapter, "");
    EXPECT_FALSE(window->checkWindowedMode(768, 4000));
}

// The same game on the screens the display tests run on (the suite's own and the ones that
// CTest starts for this test alone).
TEST_F(ZWindowGLDisplayTest, FullScreenWindowLetterboxesTheGameArea) {
    struct Screen {
        long width, height;
        long actualWidth, actualHeight, xOffset, yOffset;
    } screens[] = {
        {1920, 1080, 810, 1080, 555, 0},  // wide: bars left and right
        {1280, 1024, 768, 1024, 256, 0},
        {1024, 1280, 960, 1280, 32, 0},  // portrait, still wider than the game
        {800, 1280, 800, 1066, 0, 107},  // narrower than the game: bars above and below
    };
    window->setFixedAspectRatio(true);
    window->enableFullscreenWindow(true);
    long desktopWidth = window->getDesktopWidth(), desktopHeight = window->getDesktopHeight();
    const Screen* screen = nullptr;
    for (const Screen& candidate : screens)
        if (candidate.width == desktopWidth && candidate.height == desktopHeight)
            screen = &candidate;
    if (!screen) GTEST_SKIP() << "no expectations for " << desktopWidth << "x" << desktopHeight;

    ASSERT_TRUE(create(false));
    EXPECT_EQ(window->getDisplayState(), 2);
    EXPECT_EQ(window->getActualWindowWidth(), screen->actualWidth);
    EXPECT_EQ(window->getActualWindowHeight(), screen->actualHeight);
    EXPECT_EQ(window->getGameArea().getXOffset(), screen->xOffset);
    EXPECT_EQ(window->getGameArea().getYOffset(), screen->yOffset);
    EXPECT_EQ(window->getWindowWidth(), 768);  // the game still draws in its design size
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(sdlWindow(), &drawableWidth, &drawableHeight);
    EXPECT_EQ(drawableWidth, desktopWidth);
    EXPECT_EQ(drawableHeight, desktopHeight);

    // The game paints its area red; when the bars are announced they are black beside it.
    static int barX, barY, gameX, gameY;
    barX = screen->xOffset ? static_cast<int>(screen->xOffset / 2)
                           : static_cast<int>(desktopWidth / 2);
    barY = screen->yOffset ? static_cast<int>(screen->yOffset / 2)
                           : static_cast<int>(desktopHeight / 2);
    gameX = static_cast<int>(desktopWidth / 2);
    gameY = static_cast<int>(desktopHeight / 2);
    static unsigned char bar[4], game[4];
    static bool announced = false;
    window->setZOZCallBack([](ZEvent* event) {
        if (event->type == kZEventLetterbox) {
            glReadPixels(barX, barY, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bar);
            glReadPixels(gameX, gameY, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, game);
            announced = true;
        }
        return true;
    });
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    window->flipBackBuffer(false, false);
    if (screen->xOffset == 0 && screen->yOffset == 0) {
        EXPECT_FALSE(announced);
        return;
    }
    ASSERT_TRUE(announced);
    EXPECT_EQ(bar[0], 0);
    EXPECT_EQ(game[0], 255);
    EXPECT_EQ(game[1], 0);
}

TEST_F(ZWindowGLDisplayTest, TogglingBetweenWindowedAndFullScreen) {
    window->setFixedAspectRatio(true);
    window->enableFullscreenWindow(true);
    ASSERT_TRUE(create(true));
    ASSERT_TRUE(window->toggleFullScreen(true));
    EXPECT_EQ(window->getDisplayState(), 2);
    EXPECT_EQ(window->getActualWindowWidth(), 810);
    EXPECT_TRUE(window->toggleFullScreen(true));  // already there: nothing changes
    EXPECT_EQ(window->getDisplayState(), 2);

    ASSERT_TRUE(window->toggleFullScreen(false));
    EXPECT_EQ(window->getDisplayState(), 0);
    EXPECT_EQ(window->getActualWindowWidth(), 768);
    EXPECT_FALSE(window->getGameArea().isScaled());
    for (int i = 0; i < 20; i++) window->processEvents();
    int width = 0, height = 0;
    SDL_GetWindowSize(sdlWindow(), &width, &height);
    EXPECT_EQ(width, 768);
    EXPECT_EQ(height, 1024);
}

TEST_F(ZWindowGLDisplayTest, QueuedEventsArriveInOrderWithTextBeforeItsKey) {
    ASSERT_TRUE(create(true));
    window->processEvents();
    g_records.clear();

    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = SDL_MOUSEMOTION;
    SDL_PushEvent(&event);
    memset(&event, 0, sizeof(event));
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.clicks = 1;
    SDL_PushEvent(&event);
    memset(&event, 0, sizeof(event));
    event.type = SDL_KEYDOWN;
    event.key.keysym.scancode = SDL_SCANCODE_E;
    SDL_PushEvent(&event);
    memset(&event, 0, sizeof(event));
    event.type = SDL_TEXTINPUT;
    strcpy(event.text.text, "\xc3\xa9");
    SDL_PushEvent(&event);
    memset(&event, 0, sizeof(event));
    event.type = SDL_MOUSEWHEEL;
    event.wheel.preciseY = 1;
    SDL_PushEvent(&event);
    window->processEvents();

    std::vector<int64_t> types;
    for (const ZEvent& record : g_records)
        if (record.type != kZEventFocusGained && record.type != kZEventFocusLost)
            types.push_back(record.type);
    EXPECT_EQ(types,
              (std::vector<int64_t>{kZEventMouseMove, kZEventMouseDown, kZEventUnicodeChar,
                                    kZEventChar, kZEventKeyDown, kZEventPinch, kZEventMouseWheel}));
}

// The swipe distance follows the window's size: 30 pixels for a 768 x 1024 game.
TEST_F(ZWindowGLDisplayTest, SwipeBeginsAtTheDistanceForTheWindowSize) {
    ASSERT_TRUE(create(true));
    window->processEvents();
    // The window settles on the screen after its creation, and the display's pointer is
    // shared: each move is tried until the pointer reads where it was sent.
    auto at = [&](int x, int y, Uint32 type) {
        for (int attempt = 0; attempt < 20; attempt++) {
            SDL_WarpMouseInWindow(sdlWindow(), x, y);
            SDL_PumpEvents();
            if (ZInput::getRealMouseX() == x && ZInput::getRealMouseY() == y) break;
            SDL_Delay(10 + 10 * attempt);
        }
        SDL_Event event;
        memset(&event, 0, sizeof(event));
        event.type = type;
        event.button.button = SDL_BUTTON_LEFT;
        event.button.clicks = 1;
        window->dispatchEvent(&event);
    };
    auto swipes = [] {
        std::vector<ZEvent> found;
        for (const ZEvent& record : g_records)
            if (record.type == kZEventSwipe) found.push_back(record);
        return found;
    };
    g_records.clear();
    at(100, 100, SDL_MOUSEBUTTONDOWN);
    ASSERT_FALSE(g_records.empty());
    ASSERT_EQ(g_records[0].x, 100);
    ASSERT_EQ(g_records[0].y, 100);
    at(100, 129, SDL_MOUSEMOTION);
    EXPECT_TRUE(swipes().empty());
    at(100, 130, SDL_MOUSEMOTION);
    ASSERT_EQ(swipes().size(), 1u);
    EXPECT_EQ(swipes()[0].gesturePhase, 0);
    EXPECT_EQ(swipes()[0].swipeStartX, 100);
    EXPECT_EQ(swipes()[0].swipeStartY, 100);
    EXPECT_EQ(swipes()[0].swipeDeltaX, 0);
    EXPECT_EQ(swipes()[0].swipeDeltaY, 30);
    at(100, 130, SDL_MOUSEBUTTONUP);
    EXPECT_EQ(swipes().back().gesturePhase, 2);
}

TEST_F(ZWindowGLDisplayTest, QuitRequestStopsThePumpAndLeavesTheRestQueued) {
    ASSERT_TRUE(create(true));
    window->processEvents();
    g_records.clear();
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    memset(&event, 0, sizeof(event));
    event.type = SDL_MOUSEMOTION;
    SDL_PushEvent(&event);
    window->processEvents();
    EXPECT_TRUE(window->isQuit());
    EXPECT_TRUE(g_records.empty());
    EXPECT_EQ(SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEMOTION), 1);
}

TEST_F(ZWindowGLDisplayTest, BackBufferReadsBack) {
    ASSERT_TRUE(create(true));
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char pixel[4] = {};
    glReadPixels(384, 512, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_EQ(pixel[2], 0);
}

TEST_F(ZWindowGLDisplayTest, QuitFromAnotherThreadEndsTheInactiveWait) {
    ASSERT_TRUE(create(true));
    SDL_Window* other = SDL_CreateWindow("other", 0, 0, 100, 100, SDL_WINDOW_SHOWN);
    ASSERT_NE(other, nullptr);
    SDL_RaiseWindow(other);
    SDL_SetWindowInputFocus(other);
    for (int i = 0; i < 100 && window->hasFocus(); i++) {
        window->processEvents();
        SDL_Delay(10);
    }
    if (window->hasFocus()) {
        SDL_DestroyWindow(other);
        GTEST_SKIP() << "the display gives the focus to no other window";
    }

    std::thread requester([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        SDL_Event quit;
        memset(&quit, 0, sizeof(quit));
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    });
    auto start = std::chrono::steady_clock::now();
    // The first flip after losing focus does not wait; the next one does until the quit.
    for (int i = 0; i < 3 && !window->isQuit(); i++) window->flipBackBuffer(true, true);
    requester.join();
    EXPECT_TRUE(window->isQuit());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    SDL_DestroyWindow(other);
}

// The window's log lines, from a child process that owns the log.
class ZWindowGLLogDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    TempDir dir{"BRAMBLE_TEST_DEATH_DIR"};
};

TEST_F(ZWindowGLLogDeathTest, CreationLogsTheWindowAndTheDriver) {
    std::string path = dir.file("log.txt");
    EXPECT_EXIT(
        {
            ZCore::enableLog(path.c_str(), "G", "V", false);
            ZWindow* window = ZCore::createZWindow(eRendererOpenGL, false, true);
            bool made = window->createGameWindow(768, 1024, 32, true, "Bramble test", 0);
            ZCore::forgetZWindow();
            delete window;
            exit(made ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");

    std::string log = readFile(path);
    for (const char* line :
         {"OpenGL: creating 768x1024 game window (windowed mode)\n",
          "OpenGL: windowed doublebuffer context created\n",
          "OpenGL: game window successfully created, actual size is 768x1024\n",
          "OpenGL: system supports version ", "OpenGL: display adapter is '",
          "OpenGL: display adapter supports ", " MB of VRAM detected\n",
          "OpenGL: non-square textures are supported\n", "OpenGL: multitexturing is supported\n",
          "OpenGL: clamp to edge is supported\n", "OpenGL: VBOs are supported\n",
          "OpenGL: pixel shaders are supported\n", "OpenGL: 8 stencil buffer bits\n",
          "OpenGL: cleaned up\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

}  // namespace
