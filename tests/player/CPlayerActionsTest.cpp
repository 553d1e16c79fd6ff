// The 34 sprite actions run as the player runs them: a scene written by the test holds the action
// in a sprite's up slot, and a pointer press and release on the sprite, as window events handed
// to the player's event road, runs it. Sounds play on OpenAL's null device from files written
// beside the test program, each at a sample rate of its own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../sound/SoundTestSupport.h"
#include "CSceneHandler.h"
#include "CSceneState.h"
#include "CSpriteState.h"
#include "CUIDisplayHandler.h"
#include "GameFolderFiles.h"
#include "LoggedMessages.h"
#include "RoadPlayer.h"
#include "SceneText.h"
#include "SoundProbe.h"
#include "TempDir.h"
#include "ZMiscTools.h"
#include "ZSound.h"
#include "ZUIElement.h"

namespace {

std::vector<std::string>* g_calls = nullptr;
// Run by the scene handler when a sprite is played to a time, as game code would.
std::function<void(CSprite*)> g_onPlayToTime;

void record(const std::string& line) {
    if (g_calls) g_calls->push_back(line);
}

std::string nameOf(const CSprite* sprite) {
    return sprite ? sprite->name : "null";
}

class RecordingSceneHandler : public CSceneHandler {
public:
    const char* getHandledSceneName() override { return "*"; }
    void onUserEvent(const char* name) override { record(std::string("event ") + name); }
    void onSpritePlayToTime(CSprite* sprite, double time) override {
        char text[160];
        snprintf(text, sizeof(text), "play %s to %.0f", nameOf(sprite).c_str(), time);
        record(text);
        if (g_onPlayToTime) g_onPlayToTime(sprite);
    }
    void onDropAccepted(const char* name, CSprite* sprite) override {
        record(std::string("accepted ") + name + " on " + nameOf(sprite));
    }
    void onDropFail(const char* name, CSprite* sprite) override {
        record(std::string("drop fail ") + name + " on " + nameOf(sprite));
    }
    long getStateSize() override { return 0; }
    void* getStateData() override { return nullptr; }
};

class RecordingDisplayHandler : public CUIDisplayHandler {
public:
    explicit RecordingDisplayHandler(ZUIElement* parent) : CUIDisplayHandler(parent) {}
    void onDropAccepted(const char* name, CSprite* sprite) override {
        record(std::string("display accepted ") + name + " on " + nameOf(sprite));
    }
    void onDropFail(const char* name, CSprite* sprite) override {
        record(std::string("display drop fail ") + name + " on " + nameOf(sprite));
    }
};

CUIDisplayHandler* makeRecordingHandler(ZUIElement* parent) {
    return new RecordingDisplayHandler(parent);
}

bool logged(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

std::vector<std::string> g_heard;
void hear(void*, const char* name) {
    g_heard.push_back(name);
}

class ActionsTest : public PlayerFixture {
protected:
    void SetUp() override {
        setenv("ALSOFT_DRIVERS", "null", 1);
        PlayerFixture::SetUp();
        g_calls = &calls;
        g_onPlayToTime = nullptr;
        g_heard.clear();
        ZInput::initialize(&window, nullptr, nullptr, 0, 0, 1.0f, 1.0f, true, 0, 0);
        ZMiscTools::createDirectory(folder.file("state").c_str());
        // The fixture's player takes the tree with it at its end.
        delete player;
        ZUIElement::initialize(&window);
        road = new RoadPlayer(&window, folder.file("state"));
        player = road;
        player->registerSceneHandler(&handler);
        player->registerDisplayHandler("recorder", makeRecordingHandler);
        player->setUserEventCallback(hear, nullptr);
        player->writeSetting("sfxvolume", "50", true);
        player->writeSetting("ambientvolume", "60", true);
        player->writeSetting("musicvolume", "80", true);
        add("data/brushes/objects.ini", kPlateBrushes);

        prefix = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ZMiscTools::createDirectory(GameFolderFiles::path("sfx_wav").c_str());
        for (const auto& [base, rate] : kRates)
            files.write(
                "sfx_wav/" + sound(base) + ".wav",
                SoundTest::wavFile(1, rate, 16,
                                   SoundTest::bytesOf(SoundTest::sine(440, rate, 3.0, 8000))));
        files.write(sound("song") + ".mp3",
                    SoundTest::mp3File(SoundTest::sine(440, 22050, 2.0, 8000), 1, 22050));
    }
    void TearDown() override {
        PlayerFixture::TearDown();
        g_calls = nullptr;
        g_onPlayToTime = nullptr;
        ZMiscTools::stopBackgroundMusic();
        ZSound::cleanup();
        ZInput::cleanup();
    }

    // A sound of this test's own, so that test programs running at once use different files.
    std::string sound(const std::string& base) const { return prefix + "_" + base; }
    // The text with each "$name" of a sound replaced by the sound's file name.
    std::string withSounds(std::string text) const {
        for (const char* base : {"effect", "hum", "wind", "river", "song"}) {
            std::string mark = std::string("$") + base;
            for (size_t at; (at = text.find(mark)) != std::string::npos;)
                text.replace(at, mark.size(), sound(base));
        }
        return text;
    }
    void addScene(const std::string& name, const std::string& sprites,
                  const std::string& head = "") {
        add("data/scenes/" + name + ".ini", "[scene]\nwidth=768\nheight=1024\n" + head + sprites);
        addPicture("data/graphics/scene_" + name + "_background.jpg", 32, 32, 0xFF204060);
        addPicture("data/graphics/scene_" + name + "_atlas1.bmp", 64, 64, 0xFFFF8000);
    }
    static CSprite* find(CScene* scene, const char* name) {
        for (CSprite* s = scene ? scene->sprites.head : nullptr; s; s = ZList<CSprite>::nextOf(s))
            if (strcmp(s->name, name) == 0) return s;
        return nullptr;
    }
    // Where the sprite's anchor is drawn: its brush's pivot lies 10 in from the element's corner.
    static float anchorX(CSprite* s) { return s->element->getPositionX() + 10; }
    static float anchorY(CSprite* s) { return s->element->getPositionY() + 10; }
    // A press and release in the middle of the sprite's element, the pointer moved there first.
    void click(CSprite* s) {
        ZRectangle r = s->element->getAbsBoundingRect();
        long x = static_cast<long>((r.x1 + r.x2) / 2), y = static_cast<long>((r.y1 + r.y2) / 2);
        EXPECT_TRUE(sendMouseEvent(player, kZEventMouseMove, x, y));
        EXPECT_TRUE(sendMouseEvent(player, kZEventMouseDown, x, y));
        EXPECT_TRUE(sendMouseEvent(player, kZEventMouseUp, x, y));
    }
    // Frames until the condition holds, giving loader and streamer threads time; false when it
    // never did.
    bool framesUntil(const std::function<bool()>& done) {
        for (long i = 0; i < 2000; i++) {
            if (done()) return true;
            frames(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }
    // A streamer waits for the one before it: a request for a file that does not exist, on an
    // index of its own, leaves every earlier load finished.
    void joinStreamer() { player->streamSound(sound("never_written").c_str(), 0, 100, 99); }
    bool sceneIn(long layer, const char* name) const {
        CScene* scene = player->getSceneByLayer(layer);
        return scene && strcmp(scene->name, name) == 0;
    }

    static constexpr std::pair<const char*, int> kRates[] = {
        {"effect", 8100}, {"hum", 8200}, {"wind", 8300}, {"river", 8400}};
    TempDir folder;
    RecordingSceneHandler handler;  // outlives the player, which it is registered with
    RoadPlayer* road = nullptr;
    std::vector<std::string> calls;
    std::string prefix;
    GameFolderFiles files;
};

// What a row's hooks see: the scene played for the row, its acting sprite, the second sprite
// (which listens to "hello", "loophum" and "playwind") and the debug lines the click wrote.
struct Stage {
    CScene* scene;
    CSprite* actor;
    CSprite* plate;
    std::vector<std::string> lines;
};

// One action in the actor's up slot: what is set up before the click, and what it leaves.
struct ActionRow {
    long type;
    const char* param;
    std::function<void(Stage&)> before;
    std::function<void(Stage&)> check;
};

TEST_F(ActionsTest, EachActionTypeHasItsEffectWhenAClickRunsIt) {
    auto at = [](double time, double target) {
        return [=](Stage& s) {
            s.actor->state->time = time;
            s.actor->state->targetTime = target;
        };
    };
    auto times = [](double time, double target) {
        return [=](Stage& s) {
            EXPECT_EQ(s.actor->state->time, time);
            EXPECT_EQ(s.actor->state->targetTime, target);
        };
    };
    // Where the actor stands once it has had time to arrive.
    auto arrivesAt = [this](float x) {
        return [=](Stage& s) {
            frames(30);
            EXPECT_FLOAT_EQ(anchorX(s.actor), x);
            EXPECT_FLOAT_EQ(anchorY(s.actor), 100);
        };
    };
    auto both = [](std::function<void(Stage&)> a, std::function<void(Stage&)> b) {
        return [=](Stage& s) {
            a(s);
            b(s);
        };
    };
    auto logs = [](const char* part) {
        return [=](Stage& s) { EXPECT_TRUE(logged(s.lines, part)) << part; };
    };
    auto unmoved = [this](Stage& s) {
        EXPECT_EQ(s.actor->state->time, 0);
        EXPECT_EQ(s.actor->state->targetTime, 0);
        frames(30);
        EXPECT_FLOAT_EQ(anchorX(s.actor), 110);
    };
    auto none = [](Stage&) {};
    auto copies = [](Stage& s) {
        long n = 0;
        for (CSprite* c = s.scene->sprites.head; c; c = ZList<CSprite>::nextOf(c))
            n += c->copyKind == 1;
        return n;
    };
    auto landsIn = [this](long layer) {
        return [=](Stage&) {
            EXPECT_TRUE(framesUntil([&] { return sceneIn(layer, "other"); })) << layer;
        };
    };
    auto gainOf = [this](const char* base) {
        for (const auto& [b, rate] : kRates)
            if (strcmp(b, base) == 0) return heard(rate);
        return -2.0f;
    };
    const ActionRow rows[] = {
        {1, "3", [](Stage& s) { s.actor->state->keyOffset = 4; },
         both(times(0, 400),
              both([this](Stage&) { EXPECT_TRUE(contains(calls, "play actor to 400")); },
                   arrivesAt(150)))},
        {1, "-2,5", none,
         both(
             [](Stage& s) {
                 EXPECT_EQ(s.actor->state->time, 100);
                 EXPECT_EQ(s.actor->state->targetTime, 400);
                 EXPECT_EQ(s.actor->state->playMode, 1);
             },
             arrivesAt(150))},
        {1, "0,3", none, unmoved},
        // Played on without an end: the scene handlers hear of the target -1 as -1.
        {1, "2,0", none,
         both(
             [this](Stage& s) {
                 EXPECT_EQ(s.actor->state->time, 100);
                 EXPECT_EQ(s.actor->state->targetTime, -1);
                 EXPECT_TRUE(contains(calls, "play actor to -1"));
             },
             arrivesAt(150))},
        {1, "6", none, unmoved},
        // A cut shows at once, without a frame.
        {2, "4", none,
         [](Stage& s) {
             EXPECT_EQ(s.actor->state->time, 300);
             EXPECT_FLOAT_EQ(anchorX(s.actor), 140);
         }},
        {3, "other,0", none,
         both(
             [](Stage& s) {
                 EXPECT_STREQ(s.actor->sceneState->nextScene, "other");
                 EXPECT_EQ(s.actor->sceneState->fadeTime, 1);
             },
             landsIn(0))},
        {3, "other,-5", none,
         both([](Stage& s) { EXPECT_EQ(s.actor->sceneState->fadeTime, 500); }, landsIn(0))},
        {4, "", at(100, -1), both(times(100, 200), arrivesAt(130))},
        {5, "hello", none,
         [this](Stage& s) {
             EXPECT_EQ(g_heard, std::vector<std::string>({"hello"}));
             EXPECT_TRUE(contains(calls, "event hello"));
             // The listener's own action ran: it cut to its third key.
             EXPECT_FLOAT_EQ(anchorX(s.plate), 130);
         }},
        {6, "",
         [](Stage& s) {
             s.actor->state->playMode = 1;
             s.actor->state->targetTime = 300;
         },
         [this](Stage& s) {
             EXPECT_EQ(s.actor->state->playMode, 2);
             double time = s.actor->state->time;
             EXPECT_EQ(s.actor->state->targetTime, time);
             frames(10);
             EXPECT_EQ(s.actor->state->time, time) << "stopped where it was";
         }},
        {7, "", at(200, -1), both(times(200, 100), arrivesAt(120))},
        {8, "boom()", none, logs("execute script: boom()")},
        {9, "3", none, [](Stage& s) { EXPECT_EQ(s.actor->state->keyOffset, 3); }},
        // A copy that goes at the end of its track.
        {10, "plate2", none,
         [&, this](Stage& s) {
             ASSERT_EQ(s.scene->sprites.count, 3);
             EXPECT_EQ(copies(s), 1);
             frames(40);
             EXPECT_EQ(s.scene->sprites.count, 2);
         }},
        {12, "plate2", none,
         [&, this](Stage& s) {
             ASSERT_EQ(copies(s), 1);
             CSprite* copy = s.scene->sprites.head;
             while (copy->copyKind != 1) copy = ZList<CSprite>::nextOf(copy);
             // Its anchor where the pointer was: the middle of the actor's element.
             EXPECT_NEAR(anchorX(copy), 120, 1e-3);
             EXPECT_NEAR(anchorY(copy), 110, 1e-3);
             frames(40);
             EXPECT_EQ(copies(s), 0);
         }},
        // Only while a drop is delivered.
        {11, "", none,
         [this](Stage&) {
             for (const std::string& c : calls) EXPECT_EQ(c.find("accepted"), std::string::npos);
         }},
        {13, "other:12", none,
         both(
             [this](Stage& s) {
                 EXPECT_EQ(player->getQueuedLoadCount(), 1);
                 EXPECT_TRUE(logged(s.lines, "asked for layer 12, inserted in layer 8"));
             },
             both(landsIn(8),
                  [this](Stage&) { EXPECT_TRUE(contains(calls, "event sceneloaded:other")); }))},
        {14, "OTHER", [this](Stage&) { ASSERT_TRUE(play("other", 2)); },
         [this](Stage&) { EXPECT_TRUE(framesUntil([&] { return !player->getSceneByLayer(2); })); }},
        // Loaded and inserted at once.
        {15, "other:3", none, [this](Stage&) { EXPECT_TRUE(sceneIn(3, "other")); }},
        {15, "other:40", none,
         [this](Stage& s) {
             EXPECT_TRUE(sceneIn(8, "other"));
             EXPECT_TRUE(logged(s.lines, "asked for layer 40, inserted in layer 8"));
         }},
        {15, "other", none, [this](Stage&) { EXPECT_TRUE(sceneIn(1, "other")); }},
        {16, "$song", none,
         [this](Stage& s) {
             EXPECT_EQ(std::string(s.actor->sceneState->music), sound("song"));
             EXPECT_EQ(playingGains(AL_STREAMING), std::vector<float>{0.8f});
         }},
        {17, "",
         [this](Stage& s) {
             snprintf(s.actor->sceneState->music, sizeof(s.actor->sceneState->music), "%s",
                      sound("song").c_str());
             player->playMusic(sound("song").c_str(), 100);
             ASSERT_EQ(playingGains(AL_STREAMING).size(), 1u);
         },
         [](Stage& s) {
             EXPECT_STREQ(s.actor->sceneState->music, "");
             EXPECT_TRUE(playingGains(AL_STREAMING).empty());
         }},
        // At the effect's volume times the "sfxvolume" of 50.
        {18, "$effect,250", none, [&](Stage&) { EXPECT_FLOAT_EQ(gainOf("effect"), 0.5f); }},
        {18, "$effect,-3", none, [&](Stage&) { EXPECT_FLOAT_EQ(gainOf("effect"), 0.0f); }},
        {19, "$hum,40", none,
         [&](Stage& s) {
             EXPECT_FLOAT_EQ(gainOf("hum"), 0.2f);
             // Recorded, so that the sound plays again when the scene comes back.
             EXPECT_EQ(s.actor->sceneState->commandCount, 1);
         }},
        {20, "$hum",
         [&, this](Stage& s) {
             player->broadcastUserEvent("loophum", false);
             ASSERT_FLOAT_EQ(gainOf("hum"), 0.2f);
             ASSERT_EQ(s.actor->sceneState->commandCount, 1);
         },
         [&](Stage& s) {
             EXPECT_FLOAT_EQ(gainOf("hum"), -1.0f);
             EXPECT_EQ(s.actor->sceneState->commandCount, 0);
         }},
        {21, "$river,80,-2", none,
         [&, this](Stage&) {
             joinStreamer();
             EXPECT_TRUE(framesUntil([&] { return player->isStreamedSoundPlaying(0); }));
             EXPECT_FLOAT_EQ(gainOf("river"), 0.4f);
         }},
        {22, "3",
         [&, this](Stage&) {
             player->streamSound(sound("river").c_str(), 0, 100, 3);
             joinStreamer();
             ASSERT_TRUE(framesUntil([&] { return player->isStreamedSoundPlaying(3); }));
         },
         [&, this](Stage&) {
             EXPECT_FALSE(player->isStreamedSoundPlaying(3));
             EXPECT_FLOAT_EQ(gainOf("river"), -1.0f);
         }},
        // At the "ambientvolume" of 60.
        {23, "$wind", none,
         [&, this](Stage& s) {
             EXPECT_EQ(std::string(s.actor->sceneState->ambient), sound("wind"));
             EXPECT_FLOAT_EQ(gainOf("wind"), 0.6f);
         }},
        {24, "",
         [&, this](Stage& s) {
             player->broadcastUserEvent("playwind", false);
             ASSERT_FLOAT_EQ(gainOf("wind"), 0.6f);
             ASSERT_STRNE(s.actor->sceneState->ambient, "");
         },
         [&, this](Stage& s) {
             EXPECT_STREQ(s.actor->sceneState->ambient, "");
             EXPECT_FLOAT_EQ(gainOf("wind"), -1.0f);
             EXPECT_STREQ(player->getCurrentAmbientSoundFilename(), "");
         }},
        {25, "", [](Stage& s) { s.actor->sceneState->scriptValues[3] = 7; },
         [](Stage& s) {
             EXPECT_EQ(s.actor->sceneState->scriptValues[3], 0);
             EXPECT_TRUE(logged(s.lines, std::string("reset scene ") + s.scene->name));
         }},
        {26, "3,3", none, both(times(200, 200), arrivesAt(130))},
        {26, "5,2", none,
         [](Stage& s) {
             EXPECT_GE(s.actor->state->time, 100);
             EXPECT_LE(s.actor->state->time, 400);
             EXPECT_EQ(s.actor->state->time, s.actor->state->targetTime);
         }},
        {26, "3", none, unmoved},
        // The plate brush shows no video: nothing to restart or pause.
        {27, "", none, [](Stage& s) { EXPECT_FALSE(s.actor->state->videoPaused); }},
        {28, "", none, [](Stage& s) { EXPECT_FALSE(s.actor->state->videoPaused); }},
        {29, "", at(100, -1), both(times(200, 200), arrivesAt(130))},
        {30, "", at(200, -1), both(times(100, 100), arrivesAt(120))},
        {31, "other", none,
         both([](Stage& s) { EXPECT_EQ(s.actor->sceneState->fadeTime, -1); }, landsIn(0))},
        // Picked up under its own name; it follows the pointer.
        {32, "", none,
         [this](Stage& s) {
             EXPECT_EQ(player->getFirstDraggedSprite(), s.actor);
             EXPECT_STREQ(s.actor->state->dragName, "actor");
             EXPECT_EQ(s.actor->element->getParentElement(), player->getCursorContainer());
             EXPECT_TRUE(sendMouseEvent(player, kZEventMouseMove, 400, 600));
             frames(1);
             EXPECT_NEAR(anchorX(s.actor), 400, 1e-3);
             EXPECT_NEAR(anchorY(s.actor), 600, 1e-3);
         }},
        {33, "", none,
         [](Stage& s) {
             EXPECT_EQ(s.actor->element->getParentElement()->getLastChildElement(),
                       s.actor->element);
         }},
        {34, "", [this](Stage& s) { player->moveSpriteToFront(s.actor, false); },
         [](Stage& s) {
             EXPECT_EQ(s.actor->element->getParentElement()->getFirstChildElement(),
                       s.actor->element);
         }},
        {0, "", none, unmoved},
        {35, "4", none, unmoved},
    };

    // Each row has its scene, so that the scene's insertion preloads the row's sounds.
    const long count = static_cast<long>(sizeof(rows) / sizeof(rows[0]));
    for (long i = 0; i < count; i++) {
        const ActionRow& row = rows[i];
        std::string action = "eventaction4type=" + std::to_string(row.type) + "\n";
        if (row.param[0]) action += "eventaction4param=" + withSounds(row.param) + "\n";
        addScene(
            "act" + std::to_string(i),
            plateSprite(1, 1, "actor", fiveKeys(100) + action) +
                plateSprite(2, 2, "plate2",
                            fiveKeys(300) +
                                "usereventname=hello\neventaction5type=2\neventaction5param=3\n" +
                                withSounds("usereventname2=loophum\neventaction6type=19\n"
                                           "eventaction6param=$hum,40\n"
                                           "usereventname3=playwind\neventaction7type=23\n"
                                           "eventaction7param=$wind\n")));
    }
    addScene("other", plateSprite(1, 1, "guest"));
    mount();

    for (long i = 0; i < count; i++) {
        const ActionRow& row = rows[i];
        SCOPED_TRACE(std::to_string(row.type) + " " + row.param);
        calls.clear();
        g_heard.clear();
        CScene* scene = play(("act" + std::to_string(i)).c_str());
        ASSERT_TRUE(scene);
        Stage stage{scene, find(scene, "actor"), find(scene, "plate2"), {}};
        ASSERT_TRUE(stage.actor && stage.actor->state && stage.plate && stage.plate->state);
        // Both stand at their first key, shown and taking input.
        for (CSprite* s : {stage.actor, stage.plate}) {
            s->state->playMode = 2;
            s->state->time = s->state->targetTime = 0;
        }
        row.before(stage);
        frames(1);
        calls.clear();
        g_heard.clear();
        player->setDebug(true);
        stage.lines = loggedMessages([&] { click(stage.actor); });
        player->setDebug(false);
        row.check(stage);

        // Nothing of this row is left for the next.
        while (player->getInsertedScenes().head)
            player->stopScene(player->getInsertedScenes().head->scene);
        player->flushLoadQueue();
        player->freeAllScenes();
        player->clearGameState();
        player->stopMusic();
        player->stopAmbientSound();
        player->stopStreamedSounds(-1);
        player->flushSounds(true);
        player->flushAmbientSounds(true);
    }
}

// The token, a child of the display handler's panel, is picked up by its own down action and
// dropped with the button's release on a box that accepts it, or on a wall that listens for
// another drop only.
TEST_F(ActionsTest, AnAcceptDropActionAcceptsOnlyTheDropItListensFor) {
    addScene(
        "dropping",
        plateSprite(1, 4, "panel", "key1anchorx=600\nkey1anchory=600\ndisplayhandler=recorder\n") +
            plateSprite(2, 1, "token",
                        "parent=4\nkey1anchorx=100\nkey1anchory=100\neventaction3type=32\n") +
            plateSprite(3, 2, "box",
                        "key1anchorx=300\nkey1anchory=100\n"
                        "usereventname=drop:token\neventaction5type=11\n") +
            plateSprite(4, 3, "wall",
                        "key1anchorx=500\nkey1anchory=100\n"
                        "usereventname=drop:other\neventaction5type=11\n"));
    mount();
    CScene* scene = play("dropping");
    ASSERT_TRUE(scene);
    CSprite* token = find(scene, "token");
    ASSERT_TRUE(token && token->element);
    struct Case {
        const char* target;
        std::vector<std::string> heard;
        std::vector<std::string> notHeard;
    };
    const Case cases[] = {
        {"box",
         {"accepted token on box", "display accepted token on box"},
         {"event dropfail:token", "drop fail token on box", "display drop fail token on box"}},
        {"wall",
         {"event dropfail:token", "event dropfail", "drop fail token on wall",
          "display drop fail token on wall"},
         {"accepted token on wall", "display accepted token on wall"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        frames(1);
        ZUIElement* home = token->element->getParentElement();
        ZRectangle from = token->element->getAbsBoundingRect();
        ZRectangle to = find(scene, c.target)->element->getAbsBoundingRect();
        long x = static_cast<long>((from.x1 + from.x2) / 2);
        long y = static_cast<long>((from.y1 + from.y2) / 2);
        EXPECT_TRUE(sendMouseEvent(player, kZEventMouseMove, x, y));
        EXPECT_TRUE(sendMouseEvent(player, kZEventMouseDown, x, y));
        ASSERT_EQ(player->getFirstDraggedSprite(), token);
        x = static_cast<long>((to.x1 + to.x2) / 2);
        y = static_cast<long>((to.y1 + to.y2) / 2);
        EXPECT_TRUE(sendMouseEvent(player, kZEventMouseMove, x, y));
        frames(1);
        calls.clear();
        EXPECT_TRUE(sendMouseEvent(player, kZEventMouseUp, x, y));
        EXPECT_EQ(player->getFirstDraggedSprite(), nullptr);
        EXPECT_EQ(token->element->getParentElement(), home);
        for (const std::string& line : c.heard) EXPECT_TRUE(contains(calls, line)) << line;
        for (const std::string& line : c.notHeard) EXPECT_FALSE(contains(calls, line)) << line;
        EXPECT_EQ(player->getDropSourceSprite(), nullptr);
    }
}

// A copy with a copied child, made by the game; its up action plays it on, and the scene
// handler, told of that, deletes the copy: from inside the copy's own action, under the address
// checker, which reports any read of freed memory.
class CopyDeletionTest : public ActionsTest {
protected:
    void SetUp() override {
        ActionsTest::SetUp();
        addScene("copies",
                 plateSprite(1, 1, "template",
                             fiveKeys(100) + "usereventname=ring\neventaction5type=6\n"
                                             "eventaction4type=1\neventaction4param=3\n") +
                     plateSprite(2, 2, "child", fiveKeys(100) + "parent=1\n"));
        mount();
        scene = play("copies");
        ASSERT_TRUE(scene);
        source = find(scene, "template");
        ASSERT_TRUE(source);
        copy = player->copySprite(source, true, "copy", 0, nullptr);
        ASSERT_TRUE(copy && copy->state);
        ASSERT_EQ(scene->sprites.count, 4) << "the copy and its child's";
        for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s)) {
            s->state->playMode = 2;
            s->state->time = s->state->targetTime = 0;
        }
        frames(1);
    }
    CScene* scene = nullptr;
    CSprite* source = nullptr;
    CSprite* copy = nullptr;
};

TEST_F(CopyDeletionTest, ACopyDeletedFromInsideItsOwnActionGoesWithItsCopiedChild) {
    CSprite* deleted = nullptr;
    g_onPlayToTime = [&](CSprite* s) {
        if (s->copyKind == 0) return;
        deleted = s;
        player->deleteCopiedSprite(s);
    };
    click(copy);
    EXPECT_EQ(deleted, copy) << "the copy lies above its source and takes the click";
    EXPECT_EQ(scene->sprites.count, 2);
    EXPECT_EQ(find(scene, "copy"), nullptr);
    frames(2);
    EXPECT_EQ(scene->sprites.count, 2);
    EXPECT_EQ(source->state->targetTime, 0) << "the source was not played";
}

TEST_F(CopyDeletionTest, ADeletedCopyIsMarkedAndWaitsWhileDeletesAreDeferred) {
    // A sprite of the scene file is no copy: it stays.
    player->deleteCopiedSprite(source);
    EXPECT_EQ(scene->sprites.count, 4);
    EXPECT_TRUE(player->isSpriteRegistered(source));

    player->beginDeferredSpriteDeletes();
    player->deleteCopiedSprite(copy);
    EXPECT_EQ(player->getDeferredSpriteDeleteCount(), 2) << "the copy and its copied child";
    EXPECT_EQ(scene->sprites.count, 2);
    // Marked as a copy that goes, stopped, deaf to its events and hidden, it is still readable.
    EXPECT_EQ(copy->copyKind, 1);
    ASSERT_TRUE(copy->state);
    EXPECT_EQ(copy->state->playMode, 2);
    EXPECT_FALSE(player->isSpriteRegistered(copy));
    ASSERT_TRUE(copy->element);
    EXPECT_FALSE(copy->element->getVisibility());
    source->state->playMode = 1;
    EXPECT_TRUE(player->broadcastUserEvent("ring", false));
    EXPECT_EQ(source->state->playMode, 2) << "the source heard it";
    player->endDeferredSpriteDeletes();
    EXPECT_EQ(player->getDeferredSpriteDeleteCount(), 0);
    frames(2);
    EXPECT_EQ(scene->sprites.count, 2);
}

TEST_F(CopyDeletionTest, ACopyWaitingAtTheEndOfItsTrackHearsNoEvents) {
    player->beginDeferredSpriteDeletes();
    CSprite* child = copy->firstChild;
    ASSERT_TRUE(child);
    child->copyKind = 1;
    EXPECT_FALSE(player->updateSprite(child, 0, true, true));
    EXPECT_EQ(player->getDeferredSpriteDeleteCount(), 1);
    EXPECT_FALSE(player->isSpriteRegistered(child));
    player->endDeferredSpriteDeletes();
    EXPECT_EQ(scene->sprites.count, 3);
}

TEST_F(CopyDeletionTest, ACopyDeletedByTheGameGoesAtOnceAndStaysGoneAtTheReplay) {
    player->deleteCopiedSprite(copy);
    EXPECT_EQ(scene->sprites.count, 2);
    EXPECT_EQ(player->getDeferredSpriteDeleteCount(), 0);
    // Nothing recorded of the copies is left to bring them back.
    EXPECT_EQ(scene->sceneState->commandCount, 0);
    player->willRemoveScene(scene);
    player->removeScene(scene);
    player->insertScene(scene, 0, false);
    EXPECT_EQ(scene->sprites.count, 2);
}

}  // namespace
