// Recorded scene commands and their replay, scene states, global variables, fast values and the
// sprite services, on scenes written by the tests and played through the real scene lifecycle.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../sound/SoundTestSupport.h"
#include "../text/TestBitmapFont.h"
#include "CSceneCommand.h"
#include "CSceneHandler.h"
#include "CSceneState.h"
#include "PlayerFixture.h"
#include "TempDir.h"
#include "ZImage.h"
#include "ZMiscTools.h"
#include "ZSound.h"
#include "ZUIElement.h"
#include "ZUIRichText.h"

namespace {

// A background, two plates of different brushes (40 x 40 and 20 x 20) and a font.
const char* const kBrushes =
    "[brush1]\nid=1\nname=background\nmode=stretched\n"
    "[brush2]\nid=2\nname=plate\ntexsrcx2=40\ntexsrcy2=40\ntexpivotx=10\ntexpivoty=10\n"
    "[brush3]\nid=3\nname=letters\nfontheight=16\n"
    "[brush4]\nid=4\nname=chip\ntexsrcx2=20\ntexsrcy2=20\n";

std::string sprite(long n, unsigned long brush, unsigned long id, const char* name,
                   const std::string& extra = "") {
    char text[300];
    snprintf(text, sizeof(text), "[sprite%ld]\nbrush=%lx\nid=%lx\nname=%s\n", n, brush, id, name);
    return text + extra;
}

std::string fontPage(long page) {
    char path[64];
    snprintf(path, sizeof(path), "/tmp/commands-font-%d-%ld.jem", static_cast<int>(getpid()), page);
    if (!testfont::writePage(page, ZImageFormatJem, path)) return std::string();
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    remove(path);
    return bytes.str();
}

// The sprites of "room": a parent with two plates, a third plate and a chip beside it, a text.
const unsigned long kHolder = 0x10, kLeft = 0x11, kRight = 0x12, kLone = 0x13, kChip = 0x14,
                    kLabel = 0x15;

class SceneCommandsTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        add("data/brushes/objects.ini", kBrushes);
        add("data/graphics/font_3.tbl", testfont::table(3));
        add("data/graphics/font_3_1.jem", fontPage(0));
        add("data/graphics/font_3_2.jem", fontPage(1));
        addScene(
            "room",
            sprite(1, 2, kHolder, "holder",
                   "keys=2\nkey1anchorx=100\nkey1anchory=100\nkey2time=1000\n"
                   "key2anchorx=300\nkey2anchory=100\nflags=1\nparam2=red\n") +
                sprite(2, 2, kLeft, "left", "parent=10\nkey1anchorx=50\nkey1anchory=60\n") +
                sprite(3, 2, kRight, "right", "parent=10\nkey1anchorx=70\nkey1anchory=60\n") +
                sprite(4, 2, kLone, "lone", "key1anchorx=400\nkey1anchory=400\nkey1flags=4\n") +
                sprite(5, 4, kChip, "Coin", "key1anchorx=500\nkey1anchory=500\n") +
                sprite(6, 3, kLabel, "label", "key1rectx2=200\nkey1recty2=20\n"));
        addScene("other", sprite(1, 2, 1, "mover",
                                 "keys=2\nkey1anchorx=0\nkey1anchory=0\nkey2time=500\n"
                                 "key2anchorx=0\nkey2anchory=90\n"));
        mount();
    }
    void addScene(const std::string& name, const std::string& sprites) {
        add("data/scenes/" + name + ".ini", "[scene]\nwidth=768\nheight=1024\n" + sprites);
        addPicture("data/graphics/scene_" + name + "_background.jpg", 32, 32, 0xFF204060);
        addPicture("data/graphics/scene_" + name + "_atlas1.bmp", 64, 64, 0xFFFF8000);
    }
    // Takes the scene out and frees it, so that its sprites are read afresh on the next play.
    void unloadAndFree(const char* name) {
        CScene* scene = player->getSceneByName(name);
        ASSERT_NE(scene, nullptr);
        player->stopScene(scene);
        player->freeScene(scene);
        delete scene;
    }
    CSceneState* state(const char* name) { return player->getSceneStateByName(name, true); }
    std::vector<long> types(const char* name) {
        std::vector<long> out;
        CSceneState* s = state(name);
        for (int64_t i = 0; s && i < s->commandCount; i++)
            out.push_back(static_cast<long>(s->commands[i].type));
        return out;
    }
    static std::vector<std::string> childNames(ZUIElement* parent) {
        std::vector<std::string> names;
        for (ZUIElement* e = parent->getFirstChildElement(); e; e = e->getNextSiblingElement()) {
            CSprite* s = static_cast<CSprite*>(e->getUserData());
            names.push_back(s ? s->name : "?");
        }
        return names;
    }
};

// Copies the duplicate it is told of once more, recording that as a command of its own.
class CopyingHandler : public CSceneHandler {
public:
    const char* getHandledSceneName() override { return "*"; }
    void onSpriteDuplicated(CSprite* copy, CSprite* source, long) override {
        copies++;
        if (copy->id == 0x77)
            owner->addSceneCommand(copy->scene, CSceneCommand::kDuplicate, 0x78, source->id, 0, 1,
                                   0, "late", 0, 0, "", nullptr, nullptr);
    }
    long getStateSize() override { return 0; }
    void* getStateData() override { return nullptr; }
    CPlayer* owner = nullptr;
    long copies = 0;
};

// The handler outlives the player, which keeps it registered to the end.
class ReplayHandlerTest : public SceneCommandsTest {
protected:
    CopyingHandler handler;
};

TEST_F(SceneCommandsTest, RecordedChangesComeBackWhenTheSceneIsLoadedAndInsertedAgain) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(scene->status.load(), 4);
    CSprite* lone = scene->findSprite(kLone);
    player->setString("SCORE", "%s of %s");
    player->applySpriteTextLabel(scene->findSprite(kLabel), "SCORE", "3", true, "9", nullptr);
    player->applySpriteKeys(lone, player->getSpriteByName(play("other", 1), "mover"));
    player->moveSpriteToBack(lone, true);
    player->setSpriteScale(lone, 0, 2.0f, 3.0f);
    player->setSpriteParent(scene->findSprite(kChip), scene->findSprite(kRight));
    player->applySpriteActionForKey(scene->findSprite(kLeft), 0, 1, 18, "ding");
    player->applySpriteBrush(scene->findSprite(kRight), scene->findSprite(kChip), false);
    // A kept copy of the holder under the lone plate, as the copy's own record.
    player->addSceneCommand(scene, CSceneCommand::kDuplicate, 0x77, kHolder, kLone, 1, 0, "twin", 0,
                            0, "", nullptr, nullptr);
    const std::vector<long> recorded = types("room");
    ASSERT_EQ(recorded.size(), 8u);

    unloadAndFree("room");
    ASSERT_TRUE(state("room")->replayPending);
    scene = play("room");
    ASSERT_NE(scene, nullptr);
    EXPECT_FALSE(state("room")->replayPending);
    // Replaying records nothing new.
    EXPECT_EQ(types("room"), recorded);

    lone = scene->findSprite(kLone);
    ZUIRichText* label = ZUIRichText::isRichText(scene->findSprite(kLabel)->element);
    ASSERT_NE(label, nullptr);
    EXPECT_STREQ(label->getText(), "3 of 9");
    EXPECT_EQ(lone->keys[0].scaleX, 2.0f);
    EXPECT_EQ(lone->keys[0].scaleY, 3.0f);
    CSprite* chip = scene->findSprite(kChip);
    CSprite* right = scene->findSprite(kRight);
    EXPECT_EQ(chip->parent, right);
    EXPECT_EQ(chip->parentId, kRight);
    EXPECT_EQ(chip->element->getParentElement(), right->element);
    EXPECT_EQ(right->brushId, 4ul);
    CSprite* left = scene->findSprite(kLeft);
    EXPECT_EQ(left->keys[0].actionType[1], 18);
    EXPECT_STREQ(left->keys[0].actionParam[1], "ding");
    // The keys of the other scene's sprite, moved to the lone plate's place.
    ASSERT_EQ(lone->keyCount, 2);
    EXPECT_EQ(lone->keys[1].anchor.y, 90);
    EXPECT_EQ(lone->state->anchorOffset.x, 400);
    CSprite* twin = scene->findSprite(0x77);
    ASSERT_NE(twin, nullptr);
    EXPECT_STREQ(twin->name, "twin");
    EXPECT_EQ(twin->copyKind, 2);
    EXPECT_EQ(twin->parent, lone);
    ASSERT_NE(twin->element, nullptr);
    // The copy ran after the move to the back: the lone plate is still first of the scene.
    EXPECT_EQ(childNames(scene->container).front(), "lone");
}

TEST_F(SceneCommandsTest, ADeletedCopyDoesNotComeBackAtTheReplay) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    player->addSceneCommand(scene, CSceneCommand::kDuplicate, 0x77, kLone, 0, 1, 0, "gone", 0, 0,
                            "", nullptr, nullptr);
    player->addSceneCommand(scene, CSceneCommand::kText, kLabel, 0, 0, 0, 0, "stays", 0, 0, nullptr,
                            nullptr, nullptr);
    unloadAndFree("room");
    scene = play("room");
    CSprite* copy = scene->findSprite(0x77);
    ASSERT_NE(copy, nullptr);
    player->deleteCopiedSprite(copy);
    EXPECT_EQ(types("room"), (std::vector<long>{CSceneCommand::kText}));
    unloadAndFree("room");
    scene = play("room");
    EXPECT_EQ(scene->findSprite(0x77), nullptr);
}

TEST_F(SceneCommandsTest, TheArrayGrowsByDoublingAndKeepsTheRecordsInOrder) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    for (long i = 0; i < 1000; i++)
        player->addSceneCommand(scene, 9, i % 10, i, 0, 0, 0, i % 2 ? "odd" : nullptr, 1.5f, -2.0f,
                                nullptr, nullptr, nullptr);
    CSceneState* s = state("room");
    ASSERT_EQ(s->commandCount, 1000);
    EXPECT_GE(s->commandCapacity, 1000);
    EXPECT_LT(s->commandCapacity, 2000);
    EXPECT_EQ(s->commands[999].words[1], 999);
    EXPECT_STREQ(s->commands[1].texts[0], "odd");
    // Without a first text its room holds the two floats.
    EXPECT_EQ(s->commands[0].getFloat(0), 1.5f);
    EXPECT_EQ(s->commands[0].getFloat(1), -2.0f);

    player->removeSceneCommands(scene, 3);
    ASSERT_EQ(s->commandCount, 900);
    for (int64_t i = 1; i < s->commandCount; i++)
        ASSERT_LT(s->commands[i - 1].words[1], s->commands[i].words[1]);
    player->removeSceneCommandsOfType(scene, 4, 8);
    EXPECT_EQ(s->commandCount, 900);
    player->removeSceneCommandsOfType(scene, 4, 9);
    EXPECT_EQ(s->commandCount, 800);
}

TEST_F(SceneCommandsTest, TextsOfRecordsAreCutToTheirField) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    std::string longName(300, 'n');
    player->addSceneCommand(scene, 10, 0, 50, 0, 0, 0, longName.c_str(), 0, 0, longName.c_str(),
                            "%s%n%s", nullptr);
    const CSceneCommand& c = state("room")->commands[0];
    EXPECT_EQ(std::string(c.texts[0]), std::string(99, 'n'));
    EXPECT_EQ(std::string(c.texts[1]), std::string(99, 'n'));
    EXPECT_STREQ(c.texts[2], "%s%n%s");
    EXPECT_STREQ(c.texts[3], "");
}

TEST_F(SceneCommandsTest, ReplacingKeepsOnlyTheLastCommandOfAKind) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    CSprite* chip = scene->findSprite(kChip);
    CSprite* lone = scene->findSprite(kLone);
    for (CSprite* parent : {scene->findSprite(kLeft), scene->findSprite(kRight), lone})
        player->setSpriteParent(chip, parent);
    player->moveSpriteToFront(lone, true);
    player->moveSpriteBehindSibling(lone, chip, true);
    player->moveSpriteToFront(lone, true);
    player->setSpriteScale(lone, 0, 2, 2);
    player->setSpriteScale(lone, 0, 4, 4);
    player->doCustomSpriteCommand(lone, 1, 10, "a", true);
    player->doCustomSpriteCommand(lone, 2, 20, nullptr, true);
    player->doCustomSpriteCommand(lone, 1, 30, "c", true);
    // Without replace, orders pile up.
    player->moveSpriteToBack(chip, false);
    player->moveSpriteToBack(chip, false);
    CSceneState* s = state("room");
    struct Expected {
        long type, w1, w2;
    };
    const std::vector<Expected> expected = {
        {12, kChip, kLone}, {5, kLone, 0}, {11, kLone, 0}, {9, kLone, 2},
        {9, kLone, 1},      {4, kChip, 0}, {4, kChip, 0},
    };
    ASSERT_EQ(s->commandCount, static_cast<int64_t>(expected.size()));
    for (size_t i = 0; i < expected.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s->commands[i].type, expected[i].type);
        EXPECT_EQ(s->commands[i].words[0], expected[i].w1);
        EXPECT_EQ(s->commands[i].words[1], expected[i].w2);
    }
    EXPECT_EQ(s->commands[2].getFloat(0), 4.0f);
    EXPECT_STREQ(s->commands[3].texts[0], "");
    EXPECT_EQ(s->commands[4].words[2], 30);
    EXPECT_EQ(chip->parent, lone);
    EXPECT_EQ(chip->element->getParentElement(), lone->element);
}

TEST_F(SceneCommandsTest, DrawingOrderMovesAmongSiblings) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    CSprite* holder = scene->findSprite(kHolder);
    CSprite* left = scene->findSprite(kLeft);
    CSprite* right = scene->findSprite(kRight);
    ASSERT_EQ(childNames(holder->element), (std::vector<std::string>{"left", "right"}));
    player->moveSpriteInFrontOfSibling(left, right, true);
    EXPECT_EQ(childNames(holder->element), (std::vector<std::string>{"right", "left"}));
    player->moveSpriteBehindSibling(left, right, true);
    EXPECT_EQ(childNames(holder->element), (std::vector<std::string>{"left", "right"}));
    player->moveSpriteToBack(right, true);
    EXPECT_EQ(childNames(holder->element), (std::vector<std::string>{"right", "left"}));
    player->moveSpriteToFront(right, true);
    EXPECT_EQ(childNames(holder->element), (std::vector<std::string>{"left", "right"}));
    // Sprites under other parents stay where they are.
    player->moveSpriteBehindSibling(scene->findSprite(kLone), left, true);
    EXPECT_EQ(childNames(holder->element), (std::vector<std::string>{"left", "right"}));
}

TEST_F(SceneCommandsTest, AParentThatWouldCloseALoopIsRefused) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    CSprite* holder = scene->findSprite(kHolder);
    CSprite* left = scene->findSprite(kLeft);
    player->setSpriteParent(holder, left);
    player->setSpriteParent(holder, holder);
    EXPECT_EQ(holder->parent, nullptr);
    EXPECT_EQ(holder->element->getParentElement(), scene->container);
    EXPECT_EQ(left->parent, holder);
}

TEST_F(ReplayHandlerTest, AReplayRunsOnlyTheCommandsThatWereThereAndSkipsMissingSprites) {
    handler.owner = player;
    player->registerSceneHandler(&handler);
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    auto record = [&](long type, long w1, long w2, long w3, const char* t1) {
        // Duplicates keep their copies: a copy of kind 1 on a one-key track goes at once.
        player->addSceneCommand(scene, type, w1, w2, w3, 1, 0, t1, 0, 0, "", nullptr, nullptr);
    };
    record(CSceneCommand::kDuplicate, 0x77, kLone, 0, "first");
    record(CSceneCommand::kDuplicate, 0x79, kLone, 0x999, "orphan");  // its parent is gone
    record(CSceneCommand::kDuplicate, 0x7A, 0x998, 0, "nosource");
    record(CSceneCommand::kText, 0x997, 0, 0, "nobody");
    record(0, kLone, 0, 0, nullptr);
    record(16, kLone, 0, 0, nullptr);
    record(CSceneCommand::kText, kLabel, 0, 0, "kept");
    unloadAndFree("room");
    scene = play("room");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(handler.copies, 1);
    EXPECT_NE(scene->findSprite(0x77), nullptr);
    EXPECT_EQ(scene->findSprite(0x78), nullptr);
    EXPECT_EQ(scene->findSprite(0x79), nullptr);
    EXPECT_EQ(scene->findSprite(0x7A), nullptr);
    EXPECT_STREQ(ZUIRichText::isRichText(scene->findSprite(kLabel)->element)->getText(), "kept");
    // The command recorded meanwhile waits for the next replay.
    EXPECT_EQ(state("room")->commandCount, 8);
    unloadAndFree("room");
    scene = play("room");
    EXPECT_NE(scene->findSprite(0x78), nullptr);
}

TEST_F(SceneCommandsTest, EventActionsAndLabelsReplayFromTheirRecords) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    CSprite* lone = scene->findSprite(kLone);
    // User-event slot 18 is name index 4.
    player->applySpriteActionForEvent(lone, 18, 23, "wind", "gust ; storm");
    player->applySpriteActionForEvent(lone, 2, 18, "ding", nullptr);
    player->applySpriteActionForEvent(lone, 99, 18, "lost", nullptr);
    player->applySpriteTextLabel(scene->findSprite(kLabel), "NO_SUCH %s", "x", true, nullptr,
                                 nullptr);
    EXPECT_TRUE(player->doesSpriteUserEventContain(lone, 4, "STORM"));
    unloadAndFree("room");
    scene = play("room");
    lone = scene->findSprite(kLone);
    EXPECT_EQ(lone->eventActionType[18], 23);
    EXPECT_STREQ(lone->eventActionParam[18], "wind");
    EXPECT_STREQ(lone->userEventNames[4], "gust ; storm");
    EXPECT_EQ(lone->eventActionType[2], 18);
    EXPECT_STREQ(lone->eventActionParam[2], "ding");
    // A label the string table lacks is its own format.
    EXPECT_STREQ(ZUIRichText::isRichText(scene->findSprite(kLabel)->element)->getText(),
                 "NO_SUCH x");
    // Emptying the slot drops its parameter.
    player->applySpriteActionForEvent(lone, 2, 0, "ignored", nullptr);
    EXPECT_EQ(lone->eventActionParam[2], nullptr);
}

TEST_F(SceneCommandsTest, ScriptValuesStringsAndStateLookups) {
    EXPECT_EQ(player->getSceneStateByName("nowhere", false), nullptr);
    EXPECT_EQ(player->getSceneStateList().count, 0);
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(player->getSceneStateList().count, 1);
    EXPECT_EQ(player->getSceneStateByName("ROOM", true), scene->sceneState);

    for (long index : {0l, 41l, -1l}) {
        player->setSceneScriptValue(scene, index, 5);
        EXPECT_EQ(player->getSceneScriptValue(scene, index), 0) << index;
    }
    player->setSceneScriptValue(scene, 1, 11);
    player->setSceneScriptValue(scene, 40, -40);
    EXPECT_EQ(player->getSceneScriptValue(scene, 1), 11);
    EXPECT_EQ(player->getSceneScriptValueFromState(scene->sceneState, 40), -40);
    EXPECT_EQ(player->getSceneScriptValue(nullptr, 1), 0);

    EXPECT_EQ(player->getSceneScriptStringValue(scene, 7), nullptr);
    player->setSceneScriptStringValue(scene, 7, "seven");
    player->setSceneScriptStringValue(scene, -3, nullptr);
    player->setSceneScriptStringValue(scene, 7, "again");
    EXPECT_STREQ(player->getSceneScriptStringValue(scene, 7), "again");
    EXPECT_STREQ(player->getSceneScriptStringValueFromState(scene->sceneState, -3), "");
    EXPECT_EQ(scene->sceneState->scriptStrings.count, 2);
    std::string longText(1500, 'q');
    player->setSceneScriptStringValue(scene, 8, longText.c_str());
    EXPECT_EQ(strlen(player->getSceneScriptStringValue(scene, 8)), 1023u);
}

TEST_F(SceneCommandsTest, GlobalVariablesAndFastValues) {
    EXPECT_FALSE(player->doesGlobalVariableExist("coins"));
    EXPECT_STREQ(player->readGlobalVariable("coins"), "");
    EXPECT_STREQ(player->readGlobalVariable(nullptr), "");
    EXPECT_EQ(player->readGlobalVariableAsLong("coins"), 0);
    player->writeGlobalVariableAsLong("Coins", -42);
    EXPECT_TRUE(player->doesGlobalVariableExist("coins"));
    EXPECT_EQ(player->readGlobalVariableAsLong("COINS"), -42);
    player->writeGlobalVariable("coins", "7 apples");
    EXPECT_EQ(player->readGlobalVariableAsLong("coins"), 7);
    EXPECT_EQ(player->getGlobalVariableList().count, 1);
    player->writeGlobalVariable(nullptr, "x");
    player->writeGlobalVariable("empty", nullptr);
    EXPECT_STREQ(player->readGlobalVariable("empty"), "");
    std::string longValue(1500, 'v'), longName(150, 'k');
    player->writeGlobalVariable(longName.c_str(), longValue.c_str());
    EXPECT_EQ(strlen(player->readGlobalVariable(longName.c_str())), 1023u);
    EXPECT_STREQ(player->getGlobalVariableList().tail->name, std::string(99, 'k').c_str());
    // A value with printf's placeholders is kept as written.
    player->writeGlobalVariable("fmt", "%s%n%d");
    EXPECT_STREQ(player->readGlobalVariable("fmt"), "%s%n%d");

    player->setFastGameSpecificValue(7, 2);
    player->setFastGameSpecificValue(9, 6);
    player->setFastGameSpecificValue(9, -1);
    EXPECT_EQ(player->getFastGameSpecificValue(2), 7);
    EXPECT_EQ(player->getFastGameSpecificValue(6), 0);
    EXPECT_EQ(player->getFastGameSpecificValue(-1), 0);

    player->clearGameState();
    EXPECT_FALSE(player->doesGlobalVariableExist("coins"));
    EXPECT_EQ(player->getFastGameSpecificValue(2), 0);
}

TEST_F(SceneCommandsTest, ResetsRemoveCopiesRestoreKeysAndGiveInsertedScenesFreshStates) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    CSprite* lone = scene->findSprite(kLone);
    player->applySpriteKeys(lone, scene->findSprite(kHolder));
    ASSERT_EQ(lone->keyCount, 2);
    ASSERT_NE(player->copySprite(lone, true, "copy", 0, nullptr), nullptr);
    ASSERT_EQ(scene->sprites.count, 7);
    player->setSceneScriptValue(scene, 3, 33);
    player->setSceneScriptStringValue(scene, 1, "one");
    player->writeGlobalVariable("kept", "no");
    CSpriteState* before = lone->state;
    before->scriptValues[0] = 5;

    player->resetGameState();
    EXPECT_FALSE(player->doesGlobalVariableExist("kept"));
    EXPECT_EQ(scene->sprites.count, 6);
    EXPECT_EQ(lone->keyCount, 1);
    EXPECT_EQ(lone->keys[0].anchor.x, 400);
    ASSERT_NE(scene->sceneState, nullptr);
    EXPECT_EQ(scene->sceneState, state("room"));
    EXPECT_EQ(scene->sceneState->commandCount, 0);
    EXPECT_EQ(player->getSceneScriptValue(scene, 3), 0);
    EXPECT_EQ(player->getSceneScriptStringValue(scene, 1), nullptr);
    ASSERT_NE(lone->state, nullptr);
    EXPECT_EQ(player->getSpriteScriptValue(lone, 1), 0);
    EXPECT_EQ(lone->sceneState, scene->sceneState);

    // A reset of one scene's name frees its state and tells the scene handlers.
    player->setSceneScriptValue(scene, 3, 33);
    player->resetGameStateForScene("room");
    EXPECT_EQ(player->getSceneScriptValue(scene, 3), 0);
    EXPECT_EQ(player->getSceneStateList().count, 1);
    player->resetGameStateForScene("unknown");
    EXPECT_EQ(player->getSceneStateList().count, 1);
}

TEST_F(SceneCommandsTest, SpritesAreFoundByNameIdAndTree) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(player->getSpriteByName(scene, "coin"), nullptr);
    EXPECT_EQ(player->getSpriteByNameNoCase(scene, "coin"), scene->findSprite(kChip));
    EXPECT_EQ(player->getSpriteByNameF(scene, "%s", "Coin"), scene->findSprite(kChip));
    EXPECT_EQ(player->getSpriteByName(nullptr, "Coin"), nullptr);
    EXPECT_EQ(player->getSpriteById(scene, kLone), scene->findSprite(kLone));
    EXPECT_EQ(player->getSpriteById(nullptr, kLone), nullptr);
    EXPECT_STREQ(player->getSpriteName(nullptr), "");
    EXPECT_EQ(player->getSpriteId(nullptr), 0);
    EXPECT_EQ(player->getSpriteId(scene->findSprite(kLone)), static_cast<long>(kLone));

    // The chip under the first child: found below it before the second child's own name.
    CSprite* holder = scene->findSprite(kHolder);
    CSprite* chip = scene->findSprite(kChip);
    player->setSpriteParent(chip, scene->findSprite(kLeft));
    snprintf(chip->name, sizeof(chip->name), "right");
    EXPECT_EQ(player->getChildSpriteByName(holder, "right"), chip);
    EXPECT_EQ(player->getChildSpriteByNameF(holder, "%s", "left"), scene->findSprite(kLeft));
    EXPECT_EQ(player->getChildSpriteByName(holder, "holder"), nullptr);
}

TEST_F(SceneCommandsTest, SpriteFlagsValuesAndUserEventNames) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    CSprite* holder = scene->findSprite(kHolder);
    CSprite* lone = scene->findSprite(kLone);
    EXPECT_EQ(player->getSpriteGameFlagsInt(lone), 4);
    EXPECT_STREQ(player->getSpriteGameFlags(holder), "A");
    EXPECT_STREQ(player->getSpriteGameValue(holder, 2), "red");
    EXPECT_STREQ(player->getSpriteGameValue(holder, 5), "");
    for (long index : {0l, 5l}) {
        player->setSpriteScriptValue(lone, index, 9);
        EXPECT_EQ(player->getSpriteScriptValue(lone, index), 0);
    }
    player->setSpriteScriptValue(lone, 4, 9);
    EXPECT_EQ(player->getSpriteScriptValue(lone, 4), 9);
    EXPECT_EQ(lone->state->scriptValues[3], 9);

    struct Case {
        const char* names;
        const char* name;
        bool found;
    };
    const Case cases[] = {
        {"jump ; HIT;run", "hit", true},
        {"jump ; HIT;run", "jump", true},
        {"jump ; HIT;run", "HIT;run", false},
        {"  lead", "lead", true},
        {"tail ", "tail", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names);
        delete[] lone->userEventNames[3];
        lone->userEventNames[3] = CPlayer::allocCopyString(c.names);
        EXPECT_EQ(player->doesSpriteUserEventContain(lone, 3, c.name), c.found);
    }
    EXPECT_FALSE(player->doesSpriteUserEventContain(lone, 3, nullptr));
    EXPECT_FALSE(player->doesSpriteUserEventContain(lone, 16, "x"));
    // Only the first 511 characters of a list count.
    std::string names = std::string(505, 'x') + ";abcdefgh";
    delete[] lone->userEventNames[3];
    lone->userEventNames[3] = CPlayer::allocCopyString(names.c_str());
    EXPECT_TRUE(player->doesSpriteUserEventContain(lone, 3, "abcde"));
    EXPECT_FALSE(player->doesSpriteUserEventContain(lone, 3, "abcdefgh"));
}

TEST_F(SceneCommandsTest, TouchDragOffsetAppliesOnlyWhenEnabled) {
    player->setTouchDragOffset({5, 6}, true);
    // Not in touch mode.
    EXPECT_EQ(player->getTouchDragOffsetForSprite(nullptr).x, 0);
    player->setTouchDragOffset({5, 6}, false);
    EXPECT_EQ(player->getTouchDragOffsetForSprite(nullptr).y, 0);
}

// Sounds on OpenAL's null device, from a WAV file written into the game folder.
class LoopingSoundTest : public SceneCommandsTest {
protected:
    void SetUp() override {
        setenv("ALSOFT_DRIVERS", "null", 1);
        SceneCommandsTest::SetUp();
        ZMiscTools::createDirectory(path("sfx_wav").c_str());
        m_file = path("sfx_wav/commands_hum.wav");
        writeFile(m_file,
                  SoundTest::wavFile(1, 8300, 16,
                                     SoundTest::bytesOf(SoundTest::sine(440, 8300, 3.0, 8000))));
    }
    void TearDown() override {
        SceneCommandsTest::TearDown();
        ZSound::cleanup();
        ZMiscTools::removeFile(m_file.c_str());
    }
    static std::string path(const std::string& relative) {
        return std::string(ZMiscTools::getGameFolder()) + "/" + relative;
    }

private:
    std::string m_file;
};

TEST_F(LoopingSoundTest, RecordedLoopingSoundsStartAgainWhenTheSceneIsInserted) {
    CScene* scene = play("room");
    ASSERT_NE(scene, nullptr);
    player->referenceSound("commands_hum", true, 1);
    player->addSceneCommand(scene, CSceneCommand::kLoopingSound, 0, 80, 0, 0, 0, "commands_hum", 0,
                            0, nullptr, nullptr, nullptr);
    player->addSceneCommand(scene, CSceneCommand::kLoopingSound, 0, 80, 0, 0, 0, "COMMANDS_HUM", 0,
                            0, nullptr, nullptr, nullptr);
    EXPECT_FALSE(player->isSoundPlaying("commands_hum"));
    player->stopScene(scene);
    scene = play("room");
    EXPECT_TRUE(player->isSoundPlaying("commands_hum"));
    // Both records name one file, whatever its case.
    player->removeSceneCommandsForSound(scene, "Commands_Hum");
    EXPECT_EQ(state("room")->commandCount, 0);
    player->stopAllSounds();
}

}  // namespace
