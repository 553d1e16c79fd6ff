#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "CSavedGame.h"
#include "LoggedMessages.h"
#include "PlayerFixture.h"
#include "TempDir.h"
#include "ZMiscTools.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const char* const kBrushes =
    "[brush1]\nid=1\nname=background\nmode=stretched\n"
    "[brush2]\nid=2\nname=plate\ntexsrcx2=40\ntexsrcy2=40\n";

std::string sprite(long n, unsigned long id, const char* name) {
    char text[400];
    snprintf(text, sizeof(text),
             "[sprite%ld]\nbrush=2\nid=%lx\nname=%s\nkey1anchorx=100\nkey1anchory=100\n"
             "atlas1index=1\natlas1srcx2=40\natlas1srcy2=40\n",
             n, id, name);
    return text;
}

// A scene handler whose state is eight bytes.
class StateHandler : public CSceneHandler {
public:
    const char* getHandledSceneName() override { return "*"; }
    long getStateSize() override { return sizeof(state); }
    void* getStateData() override { return state; }
    void onStateSet() override { stateSets++; }
    unsigned char state[8] = {};
    long stateSets = 0;
};

Bytes spriteStateBytes(const CSpriteState* state) {
    Bytes bytes;
    if (state) CSavedGame::appendSpriteState(*state, 1, bytes);
    return bytes;
}

}  // namespace

class SavedGameTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        add("data/brushes/objects.ini", kBrushes);
        addScene("meadow", sprite(1, 1, "hero") + sprite(2, 2, "tree"));
        addScene("hud", sprite(1, 1, "coins"));
        addScene("cave", sprite(1, 5, "bat"));
        mount();
        path = dir.file("game01.sav");
    }
    void addScene(const std::string& name, const std::string& sprites) {
        add("data/scenes/" + name + ".ini", "[scene]\nwidth=768\nheight=1024\n" + sprites);
        addPicture("data/graphics/scene_" + name + "_background.jpg", 32, 32, 0xFF204060);
        addPicture("data/graphics/scene_" + name + "_atlas1.bmp", 64, 64, 0xFFFF8000);
    }
    CSprite* spriteOf(const char* scene, const char* name) {
        CScene* s = player->findLoadedScene(scene);
        if (!s) return nullptr;
        for (CSprite* p = s->sprites.head; p; p = ZList<CSprite>::nextOf(p))
            if (strcmp(p->name, name) == 0) return p;
        return nullptr;
    }
    // A game in three scenes: two in layers 0 and 1, one visited and left, each changed.
    void buildGame(StateHandler& handler) {
        player->registerSceneHandler(&handler);
        for (unsigned char i = 0; i < 8; i++) handler.state[i] = static_cast<unsigned char>(i + 1);
        ASSERT_NE(play("meadow", 0), nullptr);
        ASSERT_NE(play("hud", 1), nullptr);
        CScene* cave = player->loadScene("cave");
        player->uploadScene(cave);
        player->insertScene(cave, 2, false);
        CSpriteState* bat = spriteOf("cave", "bat")->state;
        bat->hidden = true;
        bat->time = 321.5;
        bat->scriptValues[2] = 77;
        snprintf(bat->dragName, sizeof(bat->dragName), "wing");
        player->stopScene(cave);
        CSceneState* caveState = player->getSceneStateByName("cave", true);
        CStoredEvent* waiting = new CStoredEvent();
        snprintf(waiting->name, sizeof(waiting->name), "broadcast:dawn");
        caveState->storedEvents.addToTail(waiting);
        CStoredEvent* global = new CStoredEvent();
        snprintf(global->name, sizeof(global->name), "broadcast:dawn");
        player->getStoredEvents().addToTail(global);

        CSceneState* meadow = player->getSceneStateByName("meadow", true);
        meadow->scriptValues[0] = 5;
        meadow->scriptValues[39] = -7;
        CSceneScriptString* string = new CSceneScriptString();
        string->index = -3;
        snprintf(string->text, sizeof(string->text), "minus three");
        meadow->scriptStrings.addToTail(string);
        meadow->commands = new CSceneCommand[2]();
        meadow->commandCount = meadow->commandCapacity = 2;
        meadow->commands[0].type = CSceneCommand::kText;
        meadow->commands[0].words[0] = 2;
        snprintf(meadow->commands[0].texts[0], 100, "written");
        meadow->commands[1].type = CSceneCommand::kScale;
        meadow->commands[1].setFloat(1, 2.5f);
        CSpriteState* hero = spriteOf("meadow", "hero")->state;
        hero->scaleFactorX = 2;
        hero->scriptValues[0] = 11;
        snprintf(hero->dragName, sizeof(hero->dragName), "sword");
        player->playMusic("theme", 40);
        player->writeGlobalVariable("coins", "42");
        player->writeGlobalVariable("hero", "Ash");
        player->setFastGameSpecificValue(7, 2);
        player->setFastGameSpecificValue(-1, 5);
    }
    // The player thrown away and a fresh one started in the given scene.
    void freshPlayer(StateHandler* handler, const char* start) {
        delete player;
        player = new TestPlayer(playerWindow());
        if (handler) player->registerSceneHandler(handler);
        if (start) ASSERT_NE(play(start, 0), nullptr);
    }

    TempDir dir;
    std::string path;
    // Outlive the player, which keeps them in its list.
    StateHandler saved, restored;
};

TEST_F(SavedGameTest, RestoresTheWholeStateIntoAFreshPlayer) {
    buildGame(saved);
    Bytes bat = spriteStateBytes(player->getSceneStateByName("cave", true)->spriteStates.head);
    player->saveGameStateTo(path.c_str());
    EXPECT_TRUE(ZMiscTools::fileExists(path.c_str()));
    EXPECT_FALSE(ZMiscTools::fileExists((path + ".tmp").c_str()));

    freshPlayer(&restored, "meadow");
    ASSERT_TRUE(player->restoreGameStateFrom(path.c_str()));

    ASSERT_NE(player->getSceneByLayer(0), nullptr);
    EXPECT_STREQ(player->getSceneByLayer(0)->name, "meadow");
    ASSERT_NE(player->getSceneByLayer(1), nullptr);
    EXPECT_STREQ(player->getSceneByLayer(1)->name, "hud");
    EXPECT_EQ(player->getSceneByLayer(2), nullptr);
    EXPECT_EQ(memcmp(restored.state, saved.state, 8), 0);
    EXPECT_EQ(restored.stateSets, 1);
    EXPECT_STREQ(player->getCurrentMusicFilename(), "theme.mp3");
    EXPECT_STREQ(player->readGlobalVariable("coins"), "42");
    EXPECT_STREQ(player->readGlobalVariable("hero"), "Ash");
    EXPECT_EQ(player->getGlobalVariableList().count, 2);
    EXPECT_EQ(player->getFastGameSpecificValue(2), 7);
    EXPECT_EQ(player->getFastGameSpecificValue(5), -1);

    CSceneState* meadow = player->getSceneStateByName("meadow", true);
    ASSERT_NE(meadow, nullptr);
    EXPECT_EQ(meadow->scriptValues[0], 5);
    EXPECT_EQ(meadow->scriptValues[39], -7);
    ASSERT_EQ(meadow->scriptStrings.count, 1);
    // Indexes keep their low 32 bits.
    EXPECT_EQ(meadow->scriptStrings.head->index, 0xFFFFFFFDL);
    EXPECT_STREQ(meadow->scriptStrings.head->text, "minus three");
    ASSERT_EQ(meadow->commandCount, 2);
    EXPECT_EQ(meadow->commands[0].type, CSceneCommand::kText);
    EXPECT_EQ(meadow->commands[0].words[0], 2);
    EXPECT_STREQ(meadow->commands[0].texts[0], "written");
    EXPECT_EQ(meadow->commands[1].getFloat(1), 2.5f);
    ASSERT_EQ(player->getStoredEvents().count, 1);
    EXPECT_STREQ(player->getStoredEvents().head->name, "broadcast:dawn");
    CSpriteState* hero = spriteOf("meadow", "hero")->state;
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(hero, meadow->findSpriteState(1));
    EXPECT_EQ(hero->scaleFactorX, 2);
    EXPECT_EQ(hero->scriptValues[0], 11);
    EXPECT_STREQ(hero->dragName, "sword");
    // The scene that was left keeps its sprite states as saved, field for field.
    CSceneState* cave = player->getSceneStateByName("cave", true);
    ASSERT_NE(cave, nullptr);
    EXPECT_EQ(spriteStateBytes(cave->findSpriteState(5)), bat);
    ASSERT_EQ(cave->storedEvents.count, 1);
    EXPECT_STREQ(cave->storedEvents.head->name, "broadcast:dawn");
}

TEST_F(SavedGameTest, RefusedFileLeavesTheGameAsItWas) {
    StateHandler& handler = saved;
    buildGame(handler);
    player->saveGameStateTo(path.c_str());
    std::string good = readFile(path);
    player->getSceneStateByName("meadow", true)->scriptValues[0] = 9;
    handler.state[0] = 100;
    CScene* meadow = player->getSceneByLayer(0);

    std::string flipped = good;
    flipped[CSavedGame::kHeaderSize + 3] ^= 1;
    std::string shortened = good.substr(0, good.size() - 1);
    for (const std::string& bytes : {flipped, shortened, std::string()}) {
        writeFile(path, bytes);
        std::vector<std::string> log =
            loggedMessages([&] { EXPECT_FALSE(player->restoreGameStateFrom(path.c_str())); });
        EXPECT_NE(log.size(), 0u);
        EXPECT_EQ(player->getSceneByLayer(0), meadow);
        EXPECT_STREQ(player->getSceneByLayer(1)->name, "hud");
        EXPECT_EQ(player->getSceneStateByName("meadow", true)->scriptValues[0], 9);
        EXPECT_NE(player->getSceneStateByName("cave", true), nullptr);
        EXPECT_EQ(handler.state[0], 100);
        EXPECT_EQ(handler.stateSets, 0);
    }
    unlink(path.c_str());
    EXPECT_FALSE(player->restoreGameStateFrom(path.c_str()));
    EXPECT_EQ(player->getSceneStateByName("meadow", true)->scriptValues[0], 9);

    // Handlers whose state has another size refuse a sound file.
    writeFile(path, good);
    freshPlayer(nullptr, "meadow");
    EXPECT_FALSE(player->restoreGameStateFrom(path.c_str()));
    EXPECT_EQ(player->getSceneByLayer(1), nullptr);
}

TEST_F(SavedGameTest, HeaderIsReadAndPatchedInPlace) {
    ASSERT_NE(play("meadow", 0), nullptr);
    player->saveGameStateTo(path.c_str());
    std::string bytes = readFile(path);
    CSavedGame::Header header;
    ASSERT_TRUE(CSavedGame::readHeader(reinterpret_cast<const unsigned char*>(bytes.data()),
                                       bytes.size(), header));
    EXPECT_EQ(header.handlerStateSize, 0);

    char name[5];
    long fast[6] = {1, 1, 1, 1, 1, 1};
    ASSERT_TRUE(player->checkSavedGameState(path.c_str(), name, sizeof(name), fast));
    EXPECT_STREQ(name, "mead");
    EXPECT_EQ(fast[0], 0);
    EXPECT_TRUE(player->checkSavedGameState(path.c_str(), nullptr, 0, nullptr));

    player->saveSceneName(path.c_str(), "cave");
    player->saveSceneName(path.c_str(), "../cave");
    char patched[100];
    ASSERT_TRUE(player->checkSavedGameState(path.c_str(), patched, sizeof(patched), nullptr));
    EXPECT_STREQ(patched, "cave");
    EXPECT_EQ(readFile(path).size(), bytes.size());
    // The body and its digest are untouched: the patched file restores.
    ASSERT_TRUE(player->restoreGameStateFrom(path.c_str()));
    ASSERT_NE(player->getSceneByLayer(0), nullptr);
    EXPECT_STREQ(player->getSceneByLayer(0)->name, "cave");

    // Handlers whose state layout changed since the save make its header a bad one.
    player->registerSceneHandler(&saved);
    EXPECT_FALSE(player->checkSavedGameState(path.c_str(), nullptr, 0, nullptr));
    EXPECT_FALSE(player->checkSavedGameState(dir.file("missing.sav").c_str(), nullptr, 0, nullptr));
    writeFile(path, bytes.substr(0, 100));
    EXPECT_FALSE(player->checkSavedGameState(path.c_str(), nullptr, 0, nullptr));

    std::string slot = player->getSavedGameFilename(3);
    EXPECT_EQ(slot, std::string(player->getStateFolder()) + "/game03.sav");
}

// A switch of the main scene that asks for a restore takes the scene off its layer; the frame
// restores at its end, or, for a refused file, puts the scene back and changes nothing else.
TEST_F(SavedGameTest, RestoreAskedByASwitchRunsAtTheEndOfTheFrame) {
    buildGame(saved);
    player->saveGameStateTo(path.c_str());
    std::string good = readFile(path);
    std::string damaged = good;
    damaged[damaged.size() - 20] ^= 4;
    struct Case {
        const std::string* file;
        long scriptValue;
    };
    for (const Case& c : {Case{&damaged, 9}, Case{&good, 5}}) {
        writeFile(path, *c.file);
        player->getSceneStateByName("meadow", true)->scriptValues[0] = 9;
        CScene* meadow = player->getSceneByLayer(0);
        ASSERT_NE(meadow, nullptr);
        player->doRestoreOnNextSwitch(path.c_str());
        player->switchScene(meadow, meadow->sceneState, "cave", 0, 0);
        bool restoredFrame = false;
        for (int i = 0; i < 10 && !restoredFrame; i++) {
            player->renderFrame();
            restoredFrame = player->hasRestoredThisFrame();
        }
        EXPECT_EQ(restoredFrame, c.scriptValue == 5);
        ASSERT_NE(player->getSceneByLayer(0), nullptr);
        EXPECT_STREQ(player->getSceneByLayer(0)->name, "meadow");
        EXPECT_STREQ(player->getSceneByLayer(1)->name, "hud");
        EXPECT_EQ(player->getSceneStateByName("meadow", true)->scriptValues[0], c.scriptValue);
    }
}
