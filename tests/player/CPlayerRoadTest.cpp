// The player's event road, cursors and drag and drop, driven by window events handed to the
// player's event handler over scenes written by the tests, on the recording window.
#include <AL/al.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "../sound/SoundTestSupport.h"
#include "CGame.h"
#include "CSpriteState.h"
#include "CUIDisplayHandler.h"
#include "GameFolderFiles.h"
#include "PlayerFixture.h"
#include "RoadPlayer.h"
#include "SoundProbe.h"
#include "TempDir.h"
#include "ZInput.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZResourceStat.h"
#include "ZSound.h"
#include "ZUIElement.h"

namespace {

std::vector<std::string>* g_record = nullptr;
std::vector<std::string> g_actions;
// Run inside the action filter, as an action of the sprite would.
std::function<void(CSprite*)> g_onAction;

void record(const std::string& line) {
    if (g_record) g_record->push_back(line);
}

class RecordingSceneHandler : public CSceneHandler {
public:
    uint64_t getHandledSceneFlags() override { return 0; }
    const char* getHandledSceneName() override { return "*"; }
    void onSysEvent(ZEvent* event) override {
        record("scene handler " + std::to_string(event->type) + under());
    }
    void onUserEvent(const char* name) override { record(std::string("event ") + name); }
    void onDropEvent(const char* name, CSprite* sprite) override {
        record(std::string("drop ") + name + " on " + (sprite ? sprite->name : "null"));
    }
    void onDropFail(const char* name, CSprite* sprite) override {
        record(std::string("drop fail ") + name + " on " + (sprite ? sprite->name : "null"));
    }
    long getStateSize() override { return 0; }
    void* getStateData() override { return nullptr; }
    // Whether the tree has seen the pointer over a sprite yet.
    static std::string under() {
        ZUIElement* e = ZUIElement::getMousedOverElement();
        CSprite* s = CPlayer::getSpriteForElement(e);
        return s ? std::string(" over ") + s->name : "";
    }
};

class RecordingDisplayHandler : public CUIDisplayHandler {
public:
    static bool acceptDrops;
    explicit RecordingDisplayHandler(ZUIElement* parent) : CUIDisplayHandler(parent) {}
    void onSysEvent(ZEvent* event) override {
        record("display handler " + std::to_string(event->type) + RecordingSceneHandler::under());
    }
    void onDropEvent(const char* name, const char* other) override {
        record(std::string("display drop ") + name + " on " + other);
        if (acceptDrops) m_player->acceptNativeDrop();
    }
    void onDropFail(const char* name, CSprite* sprite) override {
        record(std::string("display drop fail ") + name + " on " +
               (sprite ? sprite->name : "null"));
    }
};
bool RecordingDisplayHandler::acceptDrops = false;

CUIDisplayHandler* makeRecordingHandler(ZUIElement* parent) {
    return new RecordingDisplayHandler(parent);
}

bool recordAction(CSprite* sprite, void* action) {
    auto* a = static_cast<_CSpriteAction*>(action);
    g_actions.push_back(std::string(sprite->name) + " " + std::to_string(a->type) + " " +
                        (a->param ? a->param : ""));
    if (g_onAction) g_onAction(sprite);
    return true;
}

class RoadTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        g_record = &calls;
        g_actions.clear();
        g_onAction = nullptr;
        RecordingDisplayHandler::acceptDrops = false;
        ZInput::initialize(&window, nullptr, nullptr, 0, 0, 1.0f, 1.0f, true, 0, 0);
        ZMiscTools::createDirectory(statePath().c_str());
        // The fixture's player takes the tree with it at its end.
        delete player;
        ZUIElement::initialize(&window);
        road = new RoadPlayer(&window, statePath());
        player = road;
        player->registerSceneHandler(&handler);
        player->registerDisplayHandler("recorder", makeRecordingHandler);
        player->setSpriteActionFilterHandler(recordAction);

        add("data/brushes/objects.ini",
            "[brush1]\nid=2\nframes=1\ntexsrcx2=40\ntexsrcy2=40\ntexpivotx=20\ntexpivoty=20\n");
        // Brush 2 at (100, 100): the token to drag; a box that takes drops of "key" in its
        // second user event; a wall listening to something else; the handler's sprite.
        add("data/scenes/road.ini",
            "[scene]\n"
            "[sprite1]\nbrush=2\nid=1\nname=token\nkey1anchorx=100\nkey1anchory=100\n"
            "[sprite2]\nbrush=2\nid=2\nname=box\nkey1anchorx=300\nkey1anchory=100\n"
            "usereventname=other\neventaction5type=28\neventaction5param=first\n"
            "usereventname2=drop:key\neventaction6type=28\neventaction6param=taken\n"
            "[sprite3]\nbrush=2\nid=3\nname=wall\nkey1anchorx=500\nkey1anchory=100\n"
            "usereventname=other\neventaction5type=28\neventaction5param=never\n"
            "[sprite4]\nbrush=2\nid=4\nname=panel\nkey1anchorx=300\nkey1anchory=500\n"
            "displayhandler=recorder\n");
        mount();
        scene = play("road");
        ASSERT_NE(scene, nullptr);
        token = scene->findSprite(1);
        frames(1);
        calls.clear();
    }
    void TearDown() override {
        PlayerFixture::TearDown();
        g_record = nullptr;
        g_onAction = nullptr;
        ZInput::cleanup();
    }
    std::string statePath() const { return folder.file("state"); }

    // A mouse event at a position, the pointer moved there first.
    void send(long type, long x, long y) { EXPECT_TRUE(sendMouseEvent(player, type, x, y)); }
    void sendType(long type) {
        ZEvent event = {};
        event.type = type;
        EXPECT_TRUE(player->eventHandler(&event));
    }
    // Picks the token up at its place and moves the pointer to a position.
    void dragTokenTo(long x, long y) {
        send(kZEventMouseMove, 100, 100);
        player->dragSprite(token, "key");
        send(kZEventMouseMove, x, y);
        frames(1);
    }
    std::vector<std::string> dropLines() const {
        std::vector<std::string> lines;
        for (const std::string& c : calls)
            if (c.rfind("scene handler", 0) != 0 && c.rfind("display handler", 0) != 0)
                lines.push_back(c);
        return lines;
    }

    TempDir folder;
    RecordingSceneHandler handler;  // outlives the player, which it is registered with
    RoadPlayer* road = nullptr;
    CScene* scene = nullptr;
    CSprite* token = nullptr;
    std::vector<std::string> calls;
};

TEST_F(RoadTest, HandlersHearEveryEventBeforeTheTree) {
    send(kZEventMouseMove, 500, 100);
    EXPECT_EQ(calls, (std::vector<std::string>{"scene handler 1", "display handler 1"}));
    EXPECT_EQ(RecordingSceneHandler::under(), " over wall") << "the tree had it next";

    // A locked pointer keeps pointer events from the tree, not from the handlers.
    calls.clear();
    player->lockPointer(true);
    send(kZEventMouseMove, 100, 100);
    EXPECT_EQ(calls, (std::vector<std::string>{"scene handler 1 over wall",
                                               "display handler 1 over wall"}));
    EXPECT_EQ(RecordingSceneHandler::under(), " over wall");
    player->lockPointer(false);
    send(kZEventMouseMove, 100, 100);
    EXPECT_EQ(RecordingSceneHandler::under(), " over token");
}

TEST_F(RoadTest, FocusLossSavesTheSettingsUnlessTheTreeTookIt) {
    std::string settings = statePath() + "/settings.ini";
    std::string override = folder.file(std::string(CGame::getSafeGameEditorName())) + "/";
    ZMiscTools::createDirectory(override.c_str());
    override += "override.ini";
    writeFile(override, "[config]\nstartscene=road\n");
    ZResourceStat stat;

    player->writeSetting("gamedata1", "kept", true);
    sendType(kZEventFocusLost);
    EXPECT_TRUE(ZResource::stat(settings.c_str(), &stat));
    EXPECT_EQ(calls, (std::vector<std::string>{"scene handler 14", "display handler 14"}));

    // Focus gained checks the editor's override, which is taken and removed.
    sendType(kZEventFocusGained);
    EXPECT_FALSE(ZResource::stat(override.c_str(), &stat));

    // Before the game is loaded the settings are saved all the same.
    ZMiscTools::removeFile(settings.c_str());
    road->setGameLoaded(false);
    sendType(kZEventFocusLost);
    EXPECT_TRUE(ZResource::stat(settings.c_str(), &stat));
}

TEST_F(RoadTest, ACursorSpriteFollowsInTheCursorContainerAndGoesBack) {
    CSprite* box = scene->findSprite(2);
    ZUIElement* home = box->element->getParentElement();
    long index = box->element->getSiblingIndex();
    player->setSpriteAsCursor(box);
    EXPECT_EQ(player->getCursorSprite(), box);
    EXPECT_EQ(box->element->getParentElement(), player->getCursorContainer());
    EXPECT_TRUE(box->state->isCursor && box->state->inContainer);
    EXPECT_FALSE(window.displayingMouse) << "the sprite stands for the pointer";

    send(kZEventMouseMove, 250, 450);
    frames(1);
    ZUIElement* e = box->element;
    EXPECT_NEAR(e->getPositionX() + 20, 250, 1e-3);
    EXPECT_NEAR(e->getPositionY() + 20, 450, 1e-3);

    // The same sprite again does nothing; in touch mode no cursor is set.
    player->setSpriteAsCursor(box);
    EXPECT_EQ(box->element->getParentElement(), player->getCursorContainer());
    player->setTouchMode(true);
    EXPECT_EQ(player->getCursorSprite(), nullptr);
    EXPECT_EQ(box->element->getParentElement(), home);
    EXPECT_EQ(box->element->getSiblingIndex(), index);
    EXPECT_FALSE(box->state->isCursor || box->state->inContainer);
    EXPECT_TRUE(window.touch);
    player->setSpriteAsCursor(token);
    EXPECT_EQ(player->getCursorSprite(), nullptr);
    player->setTouchMode(false);
    EXPECT_TRUE(window.displayingMouse);
}

TEST_F(RoadTest, DropsReachTheirTargetsOrFail) {
    struct Case {
        const char* what;
        long x, y;
        std::vector<std::string> lines;
        std::vector<std::string> actions;
    };
    const Case cases[] = {
        {"a box that takes the key", 300, 100, {"drop key on box"}, {"box 28 taken"}},
        {"nothing at all", 700, 900, {"drop key on null", "event dropvoid:key"}, {}},
        {"a wall that takes other things",
         500,
         100,
         {"drop key on wall", "event dropvoid:key", "event dropfail:key", "event dropfail",
          "drop fail key on wall"},
         {}},
        {"a display handler",
         300,
         500,
         {"display drop key on panel", "drop key on panel", "drop fail key on panel"},
         {}},
    };
    for (const Case& c : cases) {
        calls.clear();
        g_actions.clear();
        dragTokenTo(c.x, c.y);
        ASSERT_TRUE(player->isDraggingSprites()) << c.what;
        ASSERT_EQ(player->getFirstDraggedSprite(), token);
        EXPECT_EQ(token->element->getParentElement(), player->getCursorContainer());
        EXPECT_NEAR(token->element->getPositionX() + 20, c.x, 1e-3) << c.what;
        calls.clear();

        send(kZEventMouseUp, c.x, c.y);
        frames(1);
        EXPECT_FALSE(player->isDraggingSprites()) << c.what;
        EXPECT_EQ(token->element->getParentElement(), scene->container) << c.what;
        EXPECT_NEAR(token->element->getPositionX() + 20, 100, 1e-3) << c.what;
        EXPECT_FLOAT_EQ(player->getSpriteDropAnchor().x, static_cast<float>(c.x)) << c.what;
        EXPECT_STREQ(token->state->dragName, "") << c.what;
        EXPECT_EQ(dropLines(), c.lines) << c.what;
        EXPECT_EQ(g_actions, c.actions) << c.what;
    }
}

TEST_F(RoadTest, ANativeAcceptSilencesTheFailures) {
    RecordingDisplayHandler::acceptDrops = true;
    dragTokenTo(300, 500);
    calls.clear();
    send(kZEventMouseUp, 300, 500);
    EXPECT_EQ(dropLines(),
              (std::vector<std::string>{"display drop key on panel", "drop key on panel"}));
}

TEST_F(RoadTest, AClickCarriesTheSpriteUntilTheNextPress) {
    struct Case {
        long distance;
        bool carried;
    };
    const Case cases[] = {{0, true}, {9, true}, {10, false}};
    for (const Case& c : cases) {
        send(kZEventMouseMove, 100, 100);
        player->dragSprite(token, "key");
        frames(1);  // the box takes input while something is dragged
        send(kZEventMouseMove, 100 + c.distance, 100);
        send(kZEventMouseUp, 100 + c.distance, 100);
        EXPECT_EQ(player->getFirstDraggedSprite() == token, c.carried) << c.distance;
        EXPECT_EQ(token->state->carryMode, c.carried) << c.distance;
        if (!c.carried) continue;

        // Carried on: a release far away keeps it, the next press drops it there and does not
        // reach the tree.
        send(kZEventMouseMove, 300, 100);
        send(kZEventMouseUp, 300, 100);
        EXPECT_EQ(player->getFirstDraggedSprite(), token);
        g_actions.clear();
        send(kZEventMouseDown, 300, 100);
        EXPECT_EQ(player->getFirstDraggedSprite(), nullptr);
        EXPECT_FALSE(token->state->carryMode);
        EXPECT_EQ(g_actions, std::vector<std::string>{"box 28 taken"});
        EXPECT_EQ(ZUIElement::getDownElement(), nullptr) << "the press ended the drag only";
    }
}

TEST_F(RoadTest, FocusLossCancelsDragsWithoutDropEvents) {
    dragTokenTo(300, 100);
    calls.clear();
    sendType(kZEventFocusLost);
    frames(1);
    EXPECT_FALSE(player->isDraggingSprites());
    EXPECT_EQ(token->element->getParentElement(), scene->container);
    EXPECT_EQ(dropLines(), (std::vector<std::string>{"drop key on null", "event dropvoid:key"}));
    EXPECT_TRUE(g_actions.empty());
}

TEST_F(RoadTest, ARemovedSceneTakesItsCursorAndDragsAlong) {
    CSprite* box = scene->findSprite(2);
    player->setSpriteAsCursor(box);
    dragTokenTo(300, 100);
    EXPECT_EQ(token->element->getNextSiblingElement(), box->element) << "drawn below the cursor";
    player->willRemoveScene(scene);
    player->removeScene(scene);
    EXPECT_EQ(player->getCursorSprite(), nullptr);
    EXPECT_EQ(player->getFirstDraggedSprite(), nullptr);
    EXPECT_EQ(player->getCursorContainer()->getChildrenCount(), 0);
    EXPECT_TRUE(window.displayingMouse);
}

class SoundPlayer : public CPlayer {
public:
    explicit SoundPlayer(const std::string& state) {
        snprintf(m_stateFolder, sizeof(m_stateFolder), "%s", state.c_str());
    }
    using CPlayer::setGameLoaded;
};

class RoadSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ALSOFT_DRIVERS", "null", 1);
        ZMiscTools::initMiscTools();
        ZResource::initialize();
        std::string prefix = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ZMiscTools::createDirectory(GameFolderFiles::path("sfx_wav").c_str());
        effect = "road_" + prefix + "_effect";
        song = "road_" + prefix + "_song";
        files.write("sfx_wav/" + effect + ".wav",
                    SoundTest::wavFile(1, 8800, 16,
                                       SoundTest::bytesOf(SoundTest::sine(440, 8800, 3.0, 8000))));
        files.write(song + ".mp3",
                    SoundTest::mp3File(SoundTest::sine(440, 22050, 2.0, 8000), 1, 22050));
        player = new SoundPlayer(folder.path());
    }
    void TearDown() override {
        delete player;
        ZMiscTools::stopBackgroundMusic();
        ZSound::cleanup();
        ZResource::cleanup();
    }
    void focus(long type) {
        ZEvent event = {};
        event.type = type;
        EXPECT_TRUE(player->eventHandler(&event));
    }

    TempDir folder;
    SoundPlayer* player = nullptr;
    std::string effect, song;

    GameFolderFiles files;
};

TEST_F(RoadSoundTest, FocusLossSuspendsSoundAndGainResumesItAtTheMusicsVolume) {
    player->setGameLoaded(true);
    player->writeSetting("musicvolume", "80", true);
    player->referenceSound(effect.c_str(), false, 1);
    player->playSound(effect.c_str(), false, 100);
    player->playMusic(song.c_str(), 50);
    ASSERT_EQ(playingGains(AL_STATIC).size(), 1u);
    ASSERT_EQ(playingGains(AL_STREAMING), std::vector<float>{0.4f});

    focus(kZEventFocusLost);
    EXPECT_TRUE(playingGains(AL_STATIC).empty()) << "the effect is paused";
    ZResourceStat stat;
    EXPECT_TRUE(ZResource::stat(folder.file("settings.ini").c_str(), &stat));
    focus(kZEventFocusGained);
    EXPECT_EQ(playingGains(AL_STATIC).size(), 1u) << "and plays on";
    EXPECT_EQ(playingGains(AL_STREAMING), std::vector<float>{0.4f});

    // Muted music stays silent when the focus comes back.
    player->muteMusic(true);
    focus(kZEventFocusLost);
    focus(kZEventFocusGained);
    std::vector<float> music = playingGains(AL_STREAMING);
    EXPECT_TRUE(music.empty() || music == std::vector<float>{0.0f});
}

TEST_F(RoadSoundTest, FocusLossBeforeTheGameIsLoadedLeavesSoundPlaying) {
    player->referenceSound(effect.c_str(), false, 1);
    player->playSound(effect.c_str(), false, 100);
    focus(kZEventFocusLost);
    EXPECT_EQ(playingGains(AL_STATIC).size(), 1u);
    ZResourceStat stat;
    EXPECT_TRUE(ZResource::stat(folder.file("settings.ini").c_str(), &stat))
        << "the settings are saved all the same";
}

TEST_F(RoadTest, ASpriteDeletedDuringItsDropIsFreedWhenTheDropEnds) {
    CSprite* copy = player->copySprite(token, true, "copy", 0, nullptr);
    ASSERT_NE(copy, nullptr);
    frames(1);
    long deferred = -1;
    g_onAction = [&](CSprite*) {
        copy->copyKind = 1;  // a copy that goes when its track ends
        player->updateSprite(copy, 0, true, true);
        deferred = player->getDeferredSpriteDeleteCount();
    };
    send(kZEventMouseMove, 100, 100);
    player->dragSprite(copy, "key");
    send(kZEventMouseMove, 300, 100);
    frames(1);
    send(kZEventMouseUp, 300, 100);
    EXPECT_EQ(g_actions, std::vector<std::string>{"box 28 taken"});
    EXPECT_EQ(deferred, 1) << "kept while the drop was delivered";
    EXPECT_EQ(player->getDeferredSpriteDeleteCount(), 0);
    EXPECT_EQ(player->getFirstDraggedSprite(), nullptr);
}

}  // namespace
