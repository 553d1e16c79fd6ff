#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "TestHttpServer.h"
#include "ZCore.h"
#include "ZEvent.h"
#include "ZMiscTools.h"
#include "ZWindowGL.h"

// HTTP results reach the game through a real window's event pump. The transfer threads' own
// tests run under ThreadSanitizer too; these do not, as making a window there trips the sanitizer
// over locks inside the display libraries.
namespace {

std::vector<ZEvent> g_results;
bool g_quitOnResult = false;

bool recordResult(ZEvent* event) {
    if (event->type != kZEventHttpResult) return false;
    g_results.push_back(*event);
    if (g_quitOnResult) {
        SDL_Event quit;
        memset(&quit, 0, sizeof(quit));
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    }
    return true;
}

TestHttpServer::Response hello(const TestHttpServer::Request& request) {
    // Slow enough that the window is already waiting when the answer comes.
    if (request.path == "/slow") std::this_thread::sleep_for(std::chrono::milliseconds(300));
    TestHttpServer::Response response;
    response.body = "hello";
    return response;
}

class TazelHttpRequestWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_results.clear();
        g_quitOnResult = false;
        window = static_cast<ZWindowGL*>(ZCore::createZWindow(eRendererOpenGL, false, false));
        window->setMaxFrameRate(-1);
        window->setZOZCallBack(recordResult);
    }
    void TearDown() override {
        ZCore::forgetZWindow();
        delete window;
    }

    ZWindowGL* window = nullptr;
    TestHttpServer server{hello};
};

TEST_F(TazelHttpRequestWindowTest, ResultArrivesWhileTheWindowPumps) {
    ASSERT_TRUE(window->createGameWindow(64, 64, 32, true, "Bramble HTTP test", 0));
    ASSERT_TRUE(server.isListening());
    ZMiscTools::doHttpGet(5, server.url("/").c_str(), nullptr);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    while (g_results.empty() && std::chrono::steady_clock::now() < deadline) {
        window->processEvents();
        SDL_Delay(5);
    }
    ASSERT_EQ(g_results.size(), 1u);
    EXPECT_EQ(g_results[0].httpKind, 1);
    EXPECT_EQ(g_results[0].httpRequestId, 5);
    EXPECT_EQ(g_results[0].httpResponseCode, 200);
    EXPECT_EQ(g_results[0].httpResponseLength, 5);
}

TEST_F(TazelHttpRequestWindowTest, ResultWakesTheFlipOfAnInactiveWindow) {
    ASSERT_TRUE(window->createGameWindow(64, 64, 32, true, "Bramble HTTP test", 0));
    ASSERT_TRUE(server.isListening());
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

    // The first flip after the focus went does not wait; the next waits for the focus to come
    // back. The answer comes during that wait, and its handler ends the game, which ends the
    // wait too. Should the answer never wake the wait, a late quit ends it.
    window->flipBackBuffer(true, true);
    g_quitOnResult = true;
    ZMiscTools::doHttpGet(6, server.url("/slow").c_str(), nullptr);
    std::atomic<bool> ended{false};
    std::thread watchdog([&ended] {
        for (int i = 0; i < 600 && !ended; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (ended) return;
        SDL_Event quit;
        memset(&quit, 0, sizeof(quit));
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    });
    window->flipBackBuffer(true, true);
    ended = true;
    watchdog.join();
    EXPECT_TRUE(window->isQuit());
    ASSERT_EQ(g_results.size(), 1u);
    EXPECT_EQ(g_results[0].httpRequestId, 6);
    SDL_DestroyWindow(other);
}

}  // namespace
