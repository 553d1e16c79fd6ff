#include <gtest/gtest.h>

#include "CGame.h"
#include "CPlayer.h"
#include "TazelEntry.h"
#include "ZMiscTools.h"

namespace {

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

// The packed data beside the program: its string table reads as the engine reads string tables.
TEST(GameDataTest, ThePackedStringTableNamesTheGame) {
    ZMiscTools::initMiscTools();
    CPlayer player;
    CGame::enumeratePakfiles();
    char path[260];
    ZMiscTools::makeFilePathInBuffer("data/game/english.txt", path, sizeof(path));
    ASSERT_TRUE(player.readStringTable(path));
    EXPECT_STREQ(player.getString("GAME_TITLE"), "The Bramble Way");
}

}  // namespace
