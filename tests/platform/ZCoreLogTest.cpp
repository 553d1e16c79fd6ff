#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "ZCore.h"
#include "ZWindow.h"

// The log is process-wide state. Every scenario runs in a fresh child process (threadsafe death
// tests re-execute the program), and the parent inspects the file the child left behind.
namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

long indexOfLineContaining(const std::vector<std::string>& lines, const std::string& part) {
    for (size_t i = 0; i < lines.size(); i++)
        if (lines[i].find(part) != std::string::npos) return static_cast<long>(i);
    return -1;
}

const std::regex kLinePattern("^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]: .*$");

class ZCoreLogDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    TempDir dir{"BRAMBLE_TEST_DEATH_DIR"};
};

TEST_F(ZCoreLogDeathTest, EarlyLinesFollowTheStartLineInOrderAndExitClosesTheLog) {
    std::string path = dir.file("log.txt");
    EXPECT_EXIT(
        {
            ZCore::logMessage("Test: early %d", 1);
            ZCore::logMessage("Test: early %d", 2);
            ZCore::enableLog(path.c_str(), "Bramble", "1.2.3", false);
            ZCore::logMessage("Test: late");
            exit(0);
        },
        ::testing::ExitedWithCode(0), "");

    std::vector<std::string> lines = splitLines(readFile(path));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("^\\d\\d:\\d\\d:\\d\\d: Start log: Bramble "
                                                      "1\\.2\\.3$")));
    long early1 = indexOfLineContaining(lines, "Test: early 1");
    long early2 = indexOfLineContaining(lines, "Test: early 2");
    long late = indexOfLineContaining(lines, "Test: late");
    EXPECT_GT(early1, 0);
    EXPECT_GT(early2, early1);
    EXPECT_GT(late, early2);
    EXPECT_NE(lines.back().find(": End log"), std::string::npos);
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, kLinePattern)) << line;
}

TEST_F(ZCoreLogDeathTest, EarlyBufferKeepsExactlyItsFirst8192Bytes) {
    std::string path = dir.file("log.txt");
    EXPECT_EXIT(
        {
            std::string filler(90, 'x');
            for (int i = 0; i < 200; i++) ZCore::logMessage("Test: %03d %s", i, filler.c_str());
            ZCore::enableLog(path.c_str(), "G", "V", false);
            _exit(0);  // no "End log": the file holds the start line and the buffer only
        },
        ::testing::ExitedWithCode(0), "");

    std::string contents = readFile(path);
    size_t startLine = contents.find('\n') + 1;
    EXPECT_EQ(contents.size() - startLine, 8192u);
    EXPECT_NE(contents.find("Test: 000"), std::string::npos);
    EXPECT_EQ(contents.find("Test: 199"), std::string::npos);
}

TEST_F(ZCoreLogDeathTest, LongMessageIsCutTo1022Characters) {
    std::string path = dir.file("log.txt");
    EXPECT_EXIT(
        {
            ZCore::enableLog(path.c_str(), "G", "V", false);
            std::string longText(3000, 'y');
            ZCore::logMessage("%s", longText.c_str());
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");

    std::vector<std::string> lines = splitLines(readFile(path));
    long at = indexOfLineContaining(lines, "yyyy");
    ASSERT_GE(at, 0);
    EXPECT_EQ(lines[at].size(), 10u + 1022u);  // "hh:mm:ss: " and the cut message
}

TEST_F(ZCoreLogDeathTest, SecondEnableKeepsTheFileButChangesTheConsoleFlag) {
    std::string first = dir.file("first.txt");
    std::string second = dir.file("second.txt");
    EXPECT_EXIT(
        {
            ZCore::enableLog(first.c_str(), "G", "V", false);
            ZCore::enableLog(second.c_str(), "G", "V", true);
            ZCore::logMessage("Test: to the console too");
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "Test: to the console too");

    EXPECT_NE(readFile(first).find("Test: to the console too"), std::string::npos);
    EXPECT_FALSE(std::ifstream(second).good());
}

TEST_F(ZCoreLogDeathTest, UnopenablePathKeepsLinesForALaterLog) {
    std::string path = dir.file("log.txt");
    std::string bad = dir.file("missing-folder/log.txt");
    EXPECT_EXIT(
        {
            ZCore::enableLog(bad.c_str(), "G", "V", false);
            ZCore::logMessage("Test: kept");
            ZCore::enableLog(path.c_str(), "G", "V", false);
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");

    EXPECT_NE(readFile(path).find("Test: kept"), std::string::npos);
}

TEST_F(ZCoreLogDeathTest, LinesFromManyThreadsStayWhole) {
    std::string path = dir.file("log.txt");
    const int kThreads = 8, kLines = 400;
    EXPECT_EXIT(
        {
            ZCore::enableLog(path.c_str(), "G", "V", false);
            std::vector<std::thread> threads;
            for (int t = 0; t < kThreads; t++)
                threads.emplace_back([t] {
                    for (int i = 0; i < kLines; i++)
                        ZCore::logMessage("Test: thread %d line %d %s", t, i,
                                          "abcdefghijklmnopqrstuvwxyz0123456789");
                });
            for (std::thread& thread : threads) thread.join();
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");

    int count = 0;
    const std::regex whole(
        "^\\d\\d:\\d\\d:\\d\\d: Test: thread \\d line \\d+ abcdefghijklmnopqrstuvwxyz0123456789$");
    for (const std::string& line : splitLines(readFile(path))) {
        if (line.find("Test: thread") == std::string::npos) continue;
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
        count++;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

// Hooks and factories without a window or a registered factory.
TEST(ZCoreFacadeTest, HooksWithoutAWindowDoNothing) {
    ASSERT_EQ(ZCore::getZWindow(), nullptr);
    ZEvent event = {};
    event.type = kZEventHttpResult;
    ZCore::handleOSQuit();
    ZCore::handleOSFocus(false);
    ZCore::handleOSMinimize();
    ZCore::handleModalViewDismissal();
    ZCore::dispatchEventToWindow(&event);
    EXPECT_EQ(ZCore::getZWindow(), nullptr);
}

TEST(ZCoreFacadeTest, FactoriesAnswerNullUntilSomethingIsRegistered) {
    Erenderer before = ZCore::getRenderer();
    EXPECT_EQ(ZCore::createZWindow(eRendererDirectX9, false, false), nullptr);
    EXPECT_EQ(ZCore::getRenderer(), before);
    EXPECT_EQ(ZCore::createZSound(), nullptr);
    EXPECT_EQ(ZCore::createZVideo(), nullptr);

    static int made = 0;
    ZCore::registerNewZSound([]() -> ZSoundBase* {
        made++;
        return nullptr;
    });
    ZCore::createZSound();
    EXPECT_EQ(made, 1);
    ZCore::registerNewZSound(nullptr);
}

TEST(ZCoreFacadeTest, HooksReachTheWindowOnceCreated) {
    ZWindow* window = ZCore::createZWindow(eRendererOpenGL, false, true);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ZCore::getRenderer(), eRendererOpenGL);
    EXPECT_EQ(ZCore::getZWindow(), window);

    static std::vector<int64_t> seen;
    seen.clear();
    window->setZOZCallBack([](ZEvent* event) {
        seen.push_back(event->type);
        return true;
    });
    ZEvent event = {};
    event.type = kZEventLocalNotification;
    ZCore::dispatchEventToWindow(&event);
    ZCore::handleOSFocus(false);
    ZCore::handleOSFocus(true);
    EXPECT_EQ(seen, (std::vector<int64_t>{kZEventLocalNotification, kZEventFocusLost,
                                          kZEventFocusGained}));

    EXPECT_FALSE(window->isQuit());
    ZCore::handleOSQuit();
    EXPECT_TRUE(window->isQuit());

    ZCore::forgetZWindow();
    delete window;
    EXPECT_EQ(ZCore::getZWindow(), nullptr);
}

}  // namespace
