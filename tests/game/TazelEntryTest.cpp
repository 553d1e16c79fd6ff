#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "CGame.h"
#include "TazelEntry.h"
#include "TempDir.h"

namespace {

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

TEST(TazelEntryTest, SplitFormWithoutAGameDoesNothing) {
    ASSERT_EQ(tazelGetGame(), nullptr);
    tazelRenderFrame();
    tazelCleanup();
    EXPECT_EQ(tazelGetGame(), nullptr);
}

TEST(CGameTest, NamesAndDesignSize) {
    EXPECT_STREQ(CGame::getGameName(), "The Bramble Way");
    EXPECT_STREQ(CGame::getSafeGameName(), "TheBrambleWay");
    EXPECT_STREQ(CGame::getSafeDeveloperName(), "Orvalle");
    EXPECT_STREQ(CGame::getSafeGameEditorName(), "Tinkerloom");
    EXPECT_STREQ(CGame::getGameVersion(), "1.0.0");
    float width, height, windowedWidth, windowedHeight;
    CGame::getScreenSize(width, height, windowedWidth, windowedHeight);
    EXPECT_EQ(width, 768);
    EXPECT_EQ(height, 1024);
    EXPECT_EQ(windowedWidth, 0);
    EXPECT_EQ(windowedHeight, 0);
}

}  // namespace
