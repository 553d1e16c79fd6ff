#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "TazelEntry.h"
#include "TempDir.h"
#include "ZCore.h"

namespace {

// Asks the game to quit, as the desktop would, once its window has run for a while.
void requestQuitLater() {
    std::thread([] {
        while (!ZCore::getZWindow()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        SDL_Event quit;
        memset(&quit, 0, sizeof(quit));
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
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
            requestQuitLater();
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
