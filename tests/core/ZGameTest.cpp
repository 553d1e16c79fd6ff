#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "FakeWindow.h"
#include "TempDir.h"
#include "ZGame.h"
#include "ZMiscTools.h"

namespace {

class TestGame : public ZGame {
public:
    std::string developer = "Dev";
    std::string game = "Game";
    bool windowFails = false;
    bool loadFails = false;
    FakeWindow* made = nullptr;
    std::vector<std::string> trace;

    const char* getGameName() override { return "Test Game"; }
    const char* getSafeGameName() override { return game.c_str(); }
    const char* getSafeDeveloperName() override { return developer.c_str(); }
    const char* getGameVersion() override { return "0.1"; }
    ZWindow* createGameWindow() override {
        trace.push_back("createGameWindow");
        if (windowFails) return nullptr;
        made = new FakeWindow();
        return made;
    }
    bool loadGame() override {
        trace.push_back("loadGame");
        return !loadFails;
    }
    void run() override { trace.push_back("run"); }
    void unloadGame() override { trace.push_back("unloadGame"); }
    void destroyGameWindow(ZWindow* window) override {
        trace.push_back(window == made ? "destroyGameWindow made" : "destroyGameWindow other");
        delete window;
        made = nullptr;
    }
    void onEndFrame() override {
        if (made) made->calls.push_back("onEndFrame");
    }

    void setWindowForTest(FakeWindow* window) {
        m_window = window;
        made = window;
    }
};

bool isFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class ZGameTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_DATA_HOME", home.path().c_str(), 1); }
    TempDir home{"BRAMBLE_TEST_DEATH_DIR"};
};

TEST_F(ZGameTest, InitializeBuildsTheStateFolderThenOpensWindowAndLoads) {
    TestGame game;
    EXPECT_EQ(ZGame::g_lpGame, &game);
    ASSERT_TRUE(game.initialize());
    EXPECT_EQ(std::string(game.getStateFolder()), home.path() + "/Dev/Game");
    EXPECT_TRUE(isFolder(home.path() + "/Dev/Game"));
    EXPECT_EQ(game.trace, (std::vector<std::string>{"createGameWindow", "loadGame"}));
    EXPECT_EQ(game.getWindow(), game.made);

    game.cleanup();
    game.cleanup();  // nothing left to clean
    EXPECT_EQ(game.trace, (std::vector<std::string>{"createGameWindow", "loadGame", "unloadGame",
                                                    "destroyGameWindow made"}));
    EXPECT_EQ(game.getWindow(), nullptr);
}

TEST_F(ZGameTest, StateFolderIsCutTo259CharactersAndStillCreated) {
    TestGame game;
    game.developer = std::string(200, 'd');
    game.game = std::string(200, 'g');
    ASSERT_TRUE(game.initialize());
    std::string folder = game.getStateFolder();
    EXPECT_EQ(folder.size(), 259u);
    EXPECT_EQ(folder.substr(0, home.path().size() + 202), home.path() + "/" + game.developer + "/");
    EXPECT_TRUE(isFolder(folder));
    game.cleanup();
}

TEST_F(ZGameTest, FailedStartsLeaveNoWindow) {
    TestGame noWindow;
    noWindow.windowFails = true;
    EXPECT_FALSE(noWindow.initialize());
    EXPECT_EQ(noWindow.getWindow(), nullptr);
    EXPECT_EQ(noWindow.trace, (std::vector<std::string>{"createGameWindow"}));

    TestGame noData;
    noData.loadFails = true;
    EXPECT_FALSE(noData.initialize());
    EXPECT_EQ(noData.getWindow(), nullptr);
    EXPECT_EQ(noData.trace,
              (std::vector<std::string>{"createGameWindow", "loadGame", "destroyGameWindow made"}));
}

TEST_F(ZGameTest, MainRunsBetweenInitializeAndCleanup) {
    TestGame game;
    game.main();
    EXPECT_EQ(game.trace, (std::vector<std::string>{"createGameWindow", "loadGame", "run",
                                                    "unloadGame", "destroyGameWindow made"}));
    TestGame failing;
    failing.windowFails = true;
    failing.main();
    EXPECT_EQ(failing.trace, (std::vector<std::string>{"createGameWindow"}));
}

TEST_F(ZGameTest, GamePointerFollowsTheObject) {
    {
        TestGame game;
        EXPECT_EQ(ZGame::g_lpGame, &game);
    }
    EXPECT_EQ(ZGame::g_lpGame, nullptr);
}

TEST_F(ZGameTest, DestroyingTheGameDeletesAWindowStillHeld) {
    bool destroyed = false;
    {
        TestGame game;
        FakeWindow* window = new FakeWindow();
        window->destroyed = &destroyed;
        game.setWindowForTest(window);
    }
    EXPECT_TRUE(destroyed);
}

// Whole 10 ms ticks are due per frame, with at most 200 ms owed at once.
TEST_F(ZGameTest, BeginFrameCountsTicksFromTheFrameTime) {
    struct Case {
        std::vector<double> frameTimes;
        std::vector<long> ticks;
    } cases[] = {
        {{25, 25}, {2, 3}},
        {{5000, 10}, {20, 1}},
        {{4, 4, 4}, {0, 0, 1}},
        {{10}, {1}},
    };
    for (const Case& c : cases) {
        TestGame game;
        FakeWindow* window = new FakeWindow();
        game.setWindowForTest(window);
        for (size_t i = 0; i < c.frameTimes.size(); i++) {
            window->frameTime = c.frameTimes[i];
            game.beginFrame();
            EXPECT_EQ(game.getTickCount(), c.ticks[i]) << "frame " << i;
            EXPECT_DOUBLE_EQ(game.getFrameTime(), c.frameTimes[i]);
        }
        EXPECT_EQ(window->calls.front(), "processEvents");
    }
}

TEST_F(ZGameTest, FrameHooksWithoutAWindowChangeNothing) {
    TestGame game;
    game.beginFrame();
    game.endFrame(true);
    game.resetFrameLoop();
    EXPECT_EQ(game.getFrameTime(), 0);
    EXPECT_EQ(game.getTickCount(), 0);
}

TEST_F(ZGameTest, EndFrameResetsTheViewThenFlips) {
    TestGame game;
    FakeWindow* window = new FakeWindow();
    game.setWindowForTest(window);
    game.endFrame(false);
    EXPECT_EQ(window->calls,
              (std::vector<std::string>{"setWorldView 0.000000 0.000000 0.000000 1.000000 keep",
                                        "onEndFrame", "flipBackBuffer nowait pump"}));

    window->calls.clear();
    window->frameTime = 25;
    game.beginFrame();
    game.resetFrameLoop();
    EXPECT_EQ(window->calls.back(), "resetFrameTime");
    EXPECT_EQ(game.getFrameTime(), 0);
    EXPECT_EQ(game.getTickCount(), 0);
}

TEST_F(ZGameTest, BuiltinStrings) {
    TestGame game;
    EXPECT_STREQ(game.getBuiltinString("BUILTIN_REPORT_QUIT"), "Quit");
    EXPECT_STREQ(game.getBuiltinString("BUILTIN_ERR_FILE"), "Error opening file: %s");
    EXPECT_STREQ(game.getBuiltinString("BUILTIN_REPORT_EMAIL_SUBJECT"), "%s crash report");
    EXPECT_EQ(game.getBuiltinString("builtin_report_quit"), nullptr);  // case matters
    EXPECT_EQ(game.getBuiltinString("NOT_THERE"), nullptr);
}

TEST_F(ZGameTest, EmptyStringTableAnswersNull) {
    TestGame game;
    EXPECT_EQ(game.getString("key"), nullptr);
    EXPECT_EQ(game.getStringByIndex(0), nullptr);
    EXPECT_EQ(game.getStringByIndex(-1), nullptr);
    EXPECT_EQ(game.getStringId(0), nullptr);
}

TEST(ZGameStaticTest, ComposePathJoinsPrefixAndName) {
    struct Case {
        const char* prefix;
        const char* name;
        unsigned long size;
        const char* expected;
    } cases[] = {
        {"data/graphics", "a.png", 260, "data/graphics/a.png"},
        {"data/graphics/", "a.png", 260, "data/graphics/a.png"},
        {"data\\graphics\\", "b\\c.png", 260, "data/graphics/b/c.png"},
        {"", "a.png", 260, "a.png"},
        {"data", ":x:y.png", 260, "data/x/y.png"},
        {"data", "\\x.png", 260, "data/x.png"},
        {"data", "/abs/x.png", 260, "/abs/x.png"},
        {"data", ":/abs/x.png", 260, "/abs/x.png"},
        {"data/graphics", "a.png", 8, "data/gr"},
        {"data", "name", 1, ""},
    };
    for (const Case& c : cases) {
        char out[260];
        memset(out, '#', sizeof(out));
        ZGame::composePath(c.prefix, c.name, out, c.size);
        EXPECT_STREQ(out, c.expected) << c.prefix << " + " << c.name;
    }
}

TEST(ZGameStaticTest, EnquoteMessageEscapesControlAndHighBytes) {
    struct Case {
        const char* src;
        unsigned long size;
        const char* expected;
    } cases[] = {
        {"plain text?&=", 64, "plain text?&="},
        {"a\nb\tc", 64, "a%0ab%09c"},
        {"\xc3\xa9\x7f", 64, "%c3%a9\x7f"},
        {"abcdef", 5, "ab"},     // each byte needs three bytes of room before the end
        {"\x01\x02", 6, "%01"},  // an escape that no longer fits is not started
        {"\x01\x02", 7, "%01%02"},
        {"abc", 3, ""},
    };
    for (const Case& c : cases) {
        char out[64];
        memset(out, '#', sizeof(out));
        ZGame::enquoteMessage(c.src, out, c.size);
        EXPECT_STREQ(out, c.expected) << c.src;
    }
    char untouched = '#';
    ZGame::enquoteMessage("abc", &untouched, 0);
    EXPECT_EQ(untouched, '#');
}

// Fatal file errors and crashes show their message and end the process as a failure.
std::string g_alert;
long recordAlert(const char* title, const char* message, const char* button1, const char* button2) {
    fprintf(stderr, "alert [%s] [%s] [%s] [%s]\n", title, message, button1,
            button2 ? button2 : "-");
    return button2 ? 1 : 0;
}

class ZGameDeathTest : public ZGameTest {
protected:
    void SetUp() override {
        ZGameTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(ZGameDeathTest, AbortOnFileShowsTheFileAndFails) {
    EXPECT_EXIT(
        {
            ZMiscTools::setAlertBoxHook(recordAlert);
            TestGame game;
            game.abortOnFile("data/missing.ini");
        },
        ::testing::ExitedWithCode(1),
        "alert \\[Test Game\\] \\[Error opening file: data/missing.ini\\] \\[Quit\\] \\[-\\]");
}

struct CrashingGame : TestGame {
    void crash() {
        const unsigned long addresses[] = {0x1234, 0xbeef};
        const char* const symbols[] = {"first", "second"};
        crashHandler(false, 0xC0000005, "access violation", true, 0x10, "file.cpp", 12, 2,
                     addresses, symbols);
    }
};

void crashWithReport() {
    ZMiscTools::setAlertBoxHook(recordAlert);
    CrashingGame game;
    game.crash();
}

TEST_F(ZGameDeathTest, CrashReportNamesTheFaultAndQuits) {
    EXPECT_EXIT(
        crashWithReport(), ::testing::ExitedWithCode(1),
        "alert \\[Crash report\\] \\[Exception 0xc0000005 \\(access violation\\)\nException "
        "data: 0x00000010\nOS: .*\nRenderer: .*\n\nStack trace:\n0: 0x00001234 \\(first\\)\n1: "
        "0x0000beef \\(second\\)\n\\] \\[Report to developer\\] \\[Quit\\]");
}

}  // namespace
