#include <gtest/gtest.h>

#include <string>

#include "CPlayer.h"
#include "CPlayerSettings.h"
#include "TempDir.h"
#include "ZInput.h"
#include "ZResource.h"
#include "ZWindow.h"

namespace {

// The game object in a state folder of the test's own, its window opened as the game opens it.
class WindowPlayer : public CPlayer {
public:
    explicit WindowPlayer(const std::string& folder) {
        snprintf(m_stateFolder, sizeof(m_stateFolder), "%s", folder.c_str());
    }
};

TEST(CPlayerGLTest, TheWindowOpensAtTheDesignSizeWithTheGamesOwnPointerAndSavesItsSettings) {
    TempDir state;
    writeFile(state.file("settings.ini"), "[settings]\nsfxvolume=33\nfullscreen=0\n");
    WindowPlayer player(state.path());
    ZWindow* window = player.createGameWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->getWindowWidth(), 768);
    EXPECT_EQ(window->getWindowHeight(), 1024);
    // The system pointer is hidden and the window draws its own in its place.
    EXPECT_TRUE(ZInput::isSystemPointerHidden());
    EXPECT_TRUE(window->isDisplayingMouse());
    EXPECT_STREQ(player.readSetting("sfxvolume"), "33");

    player.writeSetting("gamedata4", "17", true);
    player.destroyGameWindow(window);

    std::string log = readFile(state.file("log.txt"));
    size_t opened = log.find("OpenGL: game window successfully created");
    size_t closed = log.find("OpenGL: cleaned up");
    EXPECT_NE(opened, std::string::npos) << log;
    EXPECT_NE(closed, std::string::npos) << log;
    EXPECT_LT(opened, closed);

    // Written in the hashed form, read back with the file's other values. The window's end
    // cleaned up the file system: it starts again for the reading.
    ZResource::initialize();
    std::string saved = readFile(state.file("settings.ini"));
    EXPECT_EQ(saved.find("gamedata4"), std::string::npos);
    CPlayerSettings again;
    ASSERT_TRUE(again.readFile(state.file("settings.ini").c_str()));
    EXPECT_STREQ(again.get("gamedata4"), "17");
    EXPECT_STREQ(again.get("sfxvolume"), "33");
}

}  // namespace
