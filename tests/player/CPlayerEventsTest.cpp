// Sprite events, user events and the actions that re-enter the player, on scenes written by the
// tests and played by the real player on the recording window; the table of the 34 actions is
// in CPlayerActionsTest.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CSceneHandler.h"
#include "CSpriteState.h"
#include "LoggedMessages.h"
#include "PlayerFixture.h"
#include "SceneText.h"
#include "ZUIElement.h"
#include "ZUIMessage.h"

namespace {

std::vector<std::string> g_ran;
bool g_allow = true;
bool recordActions(CSprite* sprite, void* action) {
    g_ran.push_back(std::string(sprite->name) + ":" +
                    std::to_string(static_cast<_CSpriteAction*>(action)->type));
    return g_allow;
}

std::vector<std::string> g_heard;
void hear(void*, const char* name) {
    g_heard.push_back(name);
}

class EventsTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        g_ran.clear();
        g_heard.clear();
        g_allow = true;
        add("data/brushes/objects.ini", kPlateBrushes);
    }
    void addScene(const std::string& name, const std::string& sprites,
                  const std::string& head = "") {
        add("data/scenes/" + name + ".ini", "[scene]\nwidth=768\nheight=1024\n" + head + sprites);
        addPicture("data/graphics/scene_" + name + "_background.jpg", 32, 32, 0xFF204060);
        addPicture("data/graphics/scene_" + name + "_atlas1.bmp", 64, 64, 0xFFFF8000);
    }
    CSprite* find(CScene* scene, const char* name) {
        for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s))
            if (strcmp(s->name, name) == 0) return s;
        return nullptr;
    }
    static void setAction(CSprite* s, long slot, long type, const char* param) {
        delete[] s->eventActionParam[slot];
        s->eventActionType[slot] = type;
        s->eventActionParam[slot] = CPlayer::allocCopyString(param);
    }
    void send(CSprite* s, long code) {
        ZUIMessage message{};
        message.type = code;
        message.element = s->element;
        player->elementMessageHandler(&message);
    }
    static long slotOfEvent(const CPlayer* p, const char* event) {
        for (CUserEvent* e = p->getUserEventList().head; e; e = ZList<CUserEvent>::nextOf(e))
            if (strcmp(e->name, event) == 0 && e->listeners.head) return e->listeners.head->slot;
        return -100;
    }
};

TEST_F(EventsTest, UserEventNamesAreSplitAtSemicolonsAndListenInTheirSlots) {
    addScene("names", plateSprite(1, 1, "listener",
                                  "usereventname=one ; two ;three\neventaction5type=6\n"
                                  "usereventname5=fifth\neventaction19type=6\n"
                                  "usereventname11=eleventh\neventaction41type=6\n"
                                  "usereventname2=silent\n"));
    mount();
    ASSERT_TRUE(play("names"));
    EXPECT_EQ(slotOfEvent(player, "one"), 4);
    EXPECT_EQ(slotOfEvent(player, "two"), 4);
    EXPECT_EQ(slotOfEvent(player, "three"), 4);
    EXPECT_EQ(slotOfEvent(player, "fifth"), 18);
    EXPECT_EQ(slotOfEvent(player, "eleventh"), 40);
    // A name without an action in its slot does not listen.
    EXPECT_EQ(slotOfEvent(player, "silent"), -100);
    EXPECT_EQ(player->getUserEventList().count, 5);
}

TEST_F(EventsTest, BroadcastsReachListenersHandlersAndTheCallbackAndStoreBroadcastNames) {
    addScene("talk", plateSprite(1, 1, "ear", "usereventname=Knock\neventaction5type=6\n"));
    mount();
    ASSERT_TRUE(play("talk"));
    player->setUserEventCallback(hear, nullptr);
    player->setSpriteActionFilterHandler(recordActions);
    EXPECT_TRUE(player->broadcastUserEvent("knock", false));
    EXPECT_EQ(g_ran, std::vector<std::string>({"ear:6"}));
    EXPECT_FALSE(player->broadcastUserEvent("nobody", false));
    EXPECT_FALSE(player->broadcastUserEventF("BroadCast:%s", "door"));
    EXPECT_EQ(g_heard, std::vector<std::string>({"knock", "nobody", "BroadCast:door"}));
    EXPECT_TRUE(player->doesStoredEventExist("broadcast:door", false));
    EXPECT_FALSE(player->doesStoredEventExist("nobody", false));
}

TEST_F(EventsTest, StoredEventsReachAScenesListenersWhenItIsInsertedAgain) {
    addScene("home",
             plateSprite(1, 1, "door", "usereventname=broadcast:bell\neventaction5type=6\n"));
    addScene("away", plateSprite(1, 1, "idle"));
    mount();
    CScene* home = play("home");
    ASSERT_TRUE(home);
    player->willRemoveScene(home);
    player->removeScene(home);
    player->setSpriteActionFilterHandler(recordActions);
    player->broadcastUserEvent("broadcast:bell", false);
    player->broadcastUserEvent("broadcast:belltower", false);
    EXPECT_TRUE(g_ran.empty());
    player->removeStoredEvent("broadcast:belltower", false);
    player->insertScene(home, 0, false);
    EXPECT_EQ(g_ran, std::vector<std::string>({"door:6"}));
    EXPECT_EQ(home->sceneState->storedEvents.count, 0);
    // The global list keeps the name; a prefix removes every name that begins with it.
    player->storeUserEvent("broadcast:bellows");
    EXPECT_TRUE(player->doesStoredEventExist("BROADCAST:BELL", true));
    player->removeStoredEvent("broadcast:bell", true);
    EXPECT_FALSE(player->doesStoredEventExist("broadcast:bell", true));
}

TEST_F(EventsTest, PointerMessagesRunTheirSlotsInOrderAndDownsReachOtherSprites) {
    addScene("press",
             plateSprite(1, 1, "button",
                         "eventaction1type=8\neventaction3type=6\neventaction4type=9\n"
                         "eventaction9type=4\neventaction12type=7\n") +
                 plateSprite(2, 2, "child", "parent=1\neventaction17type=29\n") +
                 plateSprite(3, 3, "other", "eventaction17type=30\neventaction18type=26\n") +
                 plateSprite(4, 4, "parentwatch", "eventaction3type=2\n"));
    mount();
    CScene* scene = play("press");
    ASSERT_TRUE(scene);
    CSprite* button = find(scene, "button");
    CSprite* child = find(scene, "child");
    player->setSpriteActionFilterHandler(recordActions);
    send(button, kZUIMsgDown);
    // The button's own down, then slot 16 of the others (not of itself).
    EXPECT_EQ(g_ran, std::vector<std::string>({"button:6", "child:29", "other:30"}));
    g_ran.clear();
    send(button, kZUIMsgUp);
    EXPECT_EQ(g_ran, std::vector<std::string>({"button:9", "button:8", "other:26"}));
    g_ran.clear();
    // A down on the child does not reach the slot 16 of its parent's chain.
    setAction(button, 16, 3, "x");
    player->unregisterSpriteForEvents(button);
    player->registerSpriteForEvents(button);
    send(child, kZUIMsgDown);
    EXPECT_EQ(g_ran, std::vector<std::string>({"other:30"}));
    g_ran.clear();
    send(button, kZUIMsgChildUp);
    EXPECT_EQ(g_ran, std::vector<std::string>({"button:7", "button:4"}));
}

TEST_F(EventsTest, UnregisteringLeavesNoListenerAndDropsEventsNobodyElseHears) {
    addScene("leave", plateSprite(1, 1, "a",
                                  "eventaction17type=6\nusereventname=solo;both\n"
                                  "eventaction5type=6\n") +
                          plateSprite(2, 2, "b", "usereventname=both\neventaction5type=6\n"));
    mount();
    CScene* scene = play("leave");
    ASSERT_TRUE(scene);
    EXPECT_EQ(player->getBroadcastListeners(16).count, 1);
    player->unregisterSpriteForEvents(find(scene, "a"));
    EXPECT_EQ(player->getBroadcastListeners(16).count, 0);
    EXPECT_EQ(slotOfEvent(player, "solo"), -100);
    EXPECT_EQ(slotOfEvent(player, "both"), 4);
}

bool logged(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

TEST_F(EventsTest, AFilterThatRefusesStopsEveryActionIncludingBroadcasts) {
    addScene("deny", plateSprite(1, 1, "actor", fiveKeys()) +
                         plateSprite(2, 2, "ear", "usereventname=x\neventaction5type=6\n"));
    mount();
    CScene* scene = play("deny");
    ASSERT_TRUE(scene);
    g_allow = false;
    player->setSpriteActionFilterHandler(recordActions);
    player->setUserEventCallback(hear, nullptr);
    _CSpriteAction broadcast{5, const_cast<char*>("x")};
    player->executeSpriteAction(find(scene, "actor"), &broadcast);
    EXPECT_EQ(g_ran, std::vector<std::string>({"actor:5"}));
    EXPECT_TRUE(g_heard.empty());
}

// Actions that re-enter the player: they run under the address checker, which reports any use
// of freed memory.
TEST_F(EventsTest, AnEventThatRaisesItselfStopsAtTheDepthLimitWithALogLine) {
    addScene("echo", plateSprite(1, 1, "parrot",
                                 "usereventname=echo\neventaction5type=5\n"
                                 "eventaction5param=echo\n"));
    mount();
    ASSERT_TRUE(play("echo"));
    std::vector<std::string> lines =
        loggedMessages([&] { player->broadcastUserEvent("echo", false); });
    EXPECT_TRUE(logged(lines, "actions nested deeper than 16"));
    EXPECT_EQ(player->getActionDepth(), 0);
}

TEST_F(EventsTest, ACopyThatResetsItsSceneFreesItselfWithoutUseAfterFree) {
    addScene(
        "selfreset",
        plateSprite(1, 1, "template", fiveKeys() + "eventaction3type=25\neventaction4type=25\n") +
            plateSprite(2, 2, "maker", "eventaction3type=10\neventaction3param=template\n"));
    mount();
    CScene* scene = play("selfreset");
    ASSERT_TRUE(scene);
    send(find(scene, "maker"), kZUIMsgDown);
    ASSERT_EQ(scene->sprites.count, 3);
    CSprite* copy = scene->sprites.head;
    while (copy && copy->copyKind != 1) copy = ZList<CSprite>::nextOf(copy);
    ASSERT_TRUE(copy);
    // Its own down and up reset the scene, which frees the copy while its actions run.
    send(copy, kZUIMsgDown);
    EXPECT_EQ(scene->sprites.count, 2);
    frames(2);
    EXPECT_EQ(scene->sprites.count, 2);
}

TEST_F(EventsTest, ASwitchDuringAnEventWaitsForTheNextUpdate) {
    addScene("from", plateSprite(1, 1, "exit", "eventaction3type=31\neventaction3param=to\n"));
    // Two sprites of another scene reset it on every up elsewhere; each reset refreshes every
    // inserted scene, the switching one included, while the up is being handled.
    addScene("side", plateSprite(1, 1, "first", "eventaction18type=25\n") +
                         plateSprite(2, 2, "second", "eventaction18type=25\n"));
    addScene("to", plateSprite(1, 1, "arrival"));
    mount();
    CScene* scene = play("from");
    ASSERT_TRUE(scene);
    ASSERT_TRUE(play("side", 1));
    CSprite* exit = find(scene, "exit");
    send(exit, kZUIMsgDown);
    send(exit, kZUIMsgUp);
    EXPECT_TRUE(scene->container);
    EXPECT_EQ(exit->element, element("from", "exit"));
    frames(3);
    ASSERT_TRUE(player->getSceneByLayer(0));
    EXPECT_STREQ(player->getSceneByLayer(0)->name, "to");
}

TEST_F(EventsTest, ScenesThatInsertEachOtherOnEntryStopAtTheDepthLimit) {
    addScene("ping",
             plateSprite(1, 1, "p",
                         "eventflags1=1\neventaction13type=15\n"
                         "eventaction13param=pong:2\n"),
             "flags=1\n");
    addScene("pong",
             plateSprite(1, 1, "q",
                         "eventflags1=2\neventaction13type=15\n"
                         "eventaction13param=ping:3\n"),
             "flags=2\n");
    mount();
    ASSERT_TRUE(play("ping"));
    frames(2);
    EXPECT_EQ(player->getActionDepth(), 0);
}

}  // namespace
