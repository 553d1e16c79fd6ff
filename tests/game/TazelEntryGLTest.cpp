#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "TazelEntry.h"
#include "TempDir.h"

namespace {

// Asks the game to quit, as the desktop does when the session ends: with SIGTERM, which the
// display library turns into a quit event. The window belongs to the game's thread: this one
// learns of it from the log, which the game flushes line by line.
void requestQuitLater(const std::string& logPath) {
    std::thread([logPath] {
        while (readFile(logPath).find(": OpenGL: game window successfully created") ==
               std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(getpid(), SIGTERM);
    }).detach();
}

class TazelEntryDeathTest : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        setenv("XDG_DATA_HOME", home.path().c_str(), 1);
    }
    TempDir home{"BRAMBLE_TEST_DEATH_DIR"};
};

TEST_F(TazelEntryDeathTest, MainRunsFramesUntilQuitAndLogsInTheStateFolder) {
    EXPECT_EXIT(
        {
            requestQuitLater(home.path() + "/Orvalle/TheBrambleWay/log.txt");
            long result = tazelMain(0, nullptr);
            exit(result == 0 && tazelGetGame() == nullptr ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");

    std::string log = readFile(home.path() + "/Orvalle/TheBrambleWay/log.txt");
    EXPECT_NE(log.find(": Start log: The Bramble Way 1.0.0\n"), std::string::npos) << log;
    EXPECT_NE(log.find(": Game: state path is " + home.path() + "/Orvalle/TheBrambleWay\n"),
              std::string::npos);
    EXPECT_NE(log.find(": End log\n"), std::string::npos);
}

}  // namespace
