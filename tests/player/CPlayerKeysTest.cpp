#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CUIEmitter.h"
#include "LoggedMessages.h"
#include "SpriteFixture.h"

// Sprites played along their key tracks.
namespace {

using KeysTest = SpriteFixture;

// --- Interpolation --------------------------------------------------------------------------

struct PathCase {
    const char* what;
    long pathType;
    double time;
    float x, y;
    float angle, scale, alpha;
};

TEST_F(KeysTest, KeysInterpolateAlongEachPathKind) {
    const float d = 10 / std::sqrt(2.0f);
    // The Bezier path runs straight from (0, 0) to (100, 200); its tangent points back along it.
    const float back = std::atan2(-2.0f, -1.0f) * 180 / 3.14159265f;
    const PathCase cases[] = {
        {"straight at a quarter", 0, 250, 25, 50, 22.5f, 1.5f, 0.25f},
        {"straight at the end", 0, 1000, 100, 200, 90, 3, 1},
        {"straight past the end", 0, 5000, 100, 200, 90, 3, 1},
        {"bezier turns with the path", 1, 250, 25, 50, 22.5f + back, 1.5f, 0.25f},
        {"bezierflat keeps the key angle", 2, 250, 25, 50, 22.5f, 1.5f, 0.25f},
        {"bezier at three quarters", 2, 750, 75, 150, 67.5f, 2.5f, 0.75f},
        {"circle turns up to a quarter", 3, 500, d, d, 45, 2, 0.5f},
        {"ccwcircle turns the long way round", 4, 500, -d, -d, 45, 2, 0.5f},
        {"circle at its end sits on the control point", 3, 1000, 0, 10, 90, 3, 1},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.what);
        CSpriteKey a = makeKey(0, 0, 0), b = makeKey(1000, 100, 200);
        b.angle = 90;
        b.scaleX = b.scaleY = 3;
        a.a = 0;
        if (c.pathType == 1 || c.pathType == 2) {
            a.ctrl1 = {100.0f / 3, 200.0f / 3};
            a.ctrl2 = {200.0f / 3, 400.0f / 3};
        }
        if (c.pathType >= 3) {
            a.anchor = b.anchor = {0, 0};
            a.ctrl1 = {10, 0};
            b.ctrl1 = {0, 10};
        }
        CSprite* s = addSprite({a, b}, 0, false);
        s->anchorPathType = c.pathType;
        player.updateSpriteBezier(s);
        s->state->time = c.time;
        CSpriteKey k = player.interpolateKey(s);
        EXPECT_NEAR(k.anchor.x, c.x, 1e-2);
        EXPECT_NEAR(k.anchor.y, c.y, 1e-2);
        EXPECT_NEAR(k.angle, c.angle, 1e-2);
        EXPECT_NEAR(k.scaleY, c.scale, 1e-5);
        EXPECT_NEAR(k.a, c.alpha, 1e-5);
    }
}

TEST_F(KeysTest, ValuesBetweenKeysAreLinearAndTheRectangleFollowsTheAnchor) {
    CSpriteKey a = makeKey(0, 0, 0), b = makeKey(1000, 100, 0);
    a.scaleX = 1;
    b.scaleX = 3;
    a.shearY = 0;
    b.shearY = 1;
    a.r = 1;
    b.r = 0;
    a.a = 0;
    b.a = 1;
    a.lightness = 1;
    b.lightness = 2;
    b.rectX2 = 100 + 30;  // the rectangle widens from 20 to 40
    b.quadOffsets[2] = {8, 4};
    a.flags = 1;
    b.flags = 2;
    CSprite* s = addSprite({a, b}, 0, false);
    s->state->time = 250;
    CSpriteKey k = player.interpolateKey(s);
    EXPECT_EQ(k.index, 0);
    EXPECT_FLOAT_EQ(k.scaleX, 1.5f);
    EXPECT_FLOAT_EQ(k.shearY, 0.25f);
    EXPECT_FLOAT_EQ(k.r, 0.75f);
    EXPECT_FLOAT_EQ(k.a, 0.25f);
    EXPECT_FLOAT_EQ(k.lightness, 1.25f);
    EXPECT_FLOAT_EQ(k.rectX1, 25 - 10);
    EXPECT_FLOAT_EQ(k.rectX2, 25 + 15);
    EXPECT_FLOAT_EQ(k.quadOffsets[2].x, 2);
    EXPECT_EQ(k.flags, 1u);
    EXPECT_EQ(k.actionParam[0], nullptr);
}

TEST_F(KeysTest, BezierPathsTurnWithTheTangentOnlyWhenNotFlat) {
    for (long type : {1L, 2L}) {
        SCOPED_TRACE(type);
        CSpriteKey a = makeKey(0, 0, 0), b = makeKey(1000, 0, 300);
        a.ctrl1 = {0, 100};
        a.ctrl2 = {0, 200};
        a.angle = b.angle = 10;
        CSprite* s = addSprite({a, b}, 0, false);
        s->anchorPathType = type;
        player.updateSpriteBezier(s);
        EXPECT_NEAR(s->pathLength, 300, 0.5);
        s->state->time = 500;
        CSpriteKey k = player.interpolateKey(s);
        EXPECT_NEAR(k.anchor.x, 0, 1e-3);
        EXPECT_NEAR(k.anchor.y, 150, 0.5);
        // The path's tangents point back towards its start: straight up on the screen here.
        EXPECT_NEAR(k.angle, type == 1 ? 10 - 90 : 10, 1e-2);
    }
}

TEST_F(KeysTest, TheBezierPathIsRebuiltWithTheKeyAnchorOffsets) {
    CSpriteKey a = makeKey(0, 0, 0), b = makeKey(1000, 300, 0);
    a.ctrl1 = {100, 0};
    a.ctrl2 = {200, 0};
    CSprite* s = addSprite({a, b});
    s->anchorPathType = 2;
    s->state->anchorOffset = {0, 50};
    player.updateSpriteBezier(s);
    s->state->time = 500;
    player.updateSprite(s, 0, false, false);
    float before = s->element->getPositionY();
    EXPECT_FLOAT_EQ(before, 50 - 10);

    // Moving the last key down by 100 bends the path's end, and only the end.
    player.setSpriteAnchor(s, 1, {300, 150}, false);
    player.updateSpriteBezier(s);
    s->state->time = 1000 - 1e-3;
    EXPECT_NEAR(player.interpolateKey(s).anchor.y, 100, 0.5);
    s->state->time = 0;
    EXPECT_NEAR(player.interpolateKey(s).anchor.y, 0, 1e-3);
    // Rebuilding the path again moves nothing: the sprite's own offset is not taken twice.
    s->state->time = 0;
    player.updateSprite(s, 0, false, false);
    float start = s->element->getPositionY();
    player.updateSpriteBezier(s);
    player.updateSprite(s, 0, false, false);
    EXPECT_FLOAT_EQ(s->element->getPositionY(), start);
    EXPECT_FLOAT_EQ(start, 50 - 10);
}

TEST_F(KeysTest, StoppedOrEarlySpritesAreInvisibleWithTheFirstKey) {
    CSprite* s = addSprite({makeKey(100, 5, 6), makeKey(200, 50, 60)}, 0, false);
    s->state->time = 50;
    CSpriteKey k = player.interpolateKey(s);
    EXPECT_EQ(k.index, -1);
    EXPECT_EQ(k.a, 0);
    EXPECT_EQ(k.anchor.x, 5);
    s->state->time = 150;
    s->state->playMode = 0;
    EXPECT_EQ(player.interpolateKey(s).a, 0);
    EXPECT_EQ(player.interpolateKey(s).index, -1);
}

TEST_F(KeysTest, KeysAtTheSameTimeHoldTheFirstKeysValues) {
    CSpriteKey a = makeKey(0, 0, 0), b = makeKey(500, 10, 0), c = makeKey(500, 90, 0),
               d = makeKey(1000, 100, 0);
    CSprite* s = addSprite({a, b, c, d}, 0, false);
    s->state->time = 500;
    CSpriteKey k = player.interpolateKey(s);
    EXPECT_EQ(k.index, 2);
    EXPECT_FLOAT_EQ(k.anchor.x, 90);
    s->state->time = 499.999;
    EXPECT_NEAR(player.interpolateKey(s).anchor.x, 10, 1e-2);
}

struct EaseCase {
    bool in, out, loop;
    double time;
    float x;
};

TEST_F(KeysTest, EasingReshapesTheTrackTime) {
    const EaseCase cases[] = {
        {true, true, false, 500, 500},
        {true, true, false, 250, 146.447f},
        {true, false, false, 500, 292.893f},
        {false, true, false, 500, 707.107f},
        {false, false, false, 250, 250},
        // A looping track eases each half by itself.
        {true, true, true, 250, 250},
        {true, true, true, 125, 73.223f},
        {true, true, true, 1250, 250},
    };
    for (const EaseCase& c : cases) {
        SCOPED_TRACE(c.time);
        CSprite* s = addSprite({makeKey(0, 0, 0), makeKey(1000, 1000, 0)}, 0, false);
        s->easeIn = c.in;
        s->easeOut = c.out;
        s->loopKeys = c.loop;
        s->state->time = c.time;
        EXPECT_NEAR(player.interpolateKey(s).anchor.x, c.x, 1e-2);
    }
    CSprite* s = addSprite({makeKey(0, 0, 0), makeKey(1000, 1000, 0)}, 0, false);
    EXPECT_FLOAT_EQ(player.amortizeProgress(s, 0.3f), 0.3f);
    s->easeOut = true;
    EXPECT_NEAR(player.amortizeProgress(s, 1.0f / 3), 0.5f, 1e-6);
}

TEST_F(KeysTest, ALoopingTrackOfLengthZeroStaysAtTimeZero) {
    CSprite* s = addSprite({makeKey(0, 7, 0)}, 0, false);
    s->loopKeys = true;
    s->state->time = 12345;
    EXPECT_FLOAT_EQ(player.interpolateKey(s).anchor.x, 7);
    EXPECT_EQ(player.getCurrentSpriteKey(s), 0);
    EXPECT_TRUE(player.updateSprite(s, 100, true, false));
    EXPECT_FALSE(std::isnan(s->state->time));
}

TEST_F(KeysTest, TimesAndSpeedsThatAreNotNumbersLeaveTheTrackAlone) {
    CSprite* s = addSprite({makeKey(0, 7, 0)});
    s->state->time = std::nan("");
    CSpriteKey k = player.interpolateKey(s);
    EXPECT_EQ(k.index, -1);
    EXPECT_FLOAT_EQ(k.anchor.x, 7);
    CSprite* t = addSprite({makeKey(0, 0, 0), makeKey(100, 0, 0)});
    t->state->time = 10;
    t->state->speed = std::nanf("");
    player.updateSprite(t, 16, false, false);
    EXPECT_DOUBLE_EQ(t->state->time, 10);
}

// --- Brush frames ---------------------------------------------------------------------------

struct FrameCase {
    const char* what;
    long mode;
    long min, max, start;
    float rate;
    bool blend;
    double time;
    float frame;  // the signed frame position
};

TEST_F(KeysTest, BrushFramesRunForwardBackwardAndPingPong) {
    const FrameCase cases[] = {
        {"forward at the key", 0, 2, 5, -1, 10, false, 0, 2},
        {"forward after 300 ms", 0, 2, 5, -1, 10, false, 300, 5},
        {"forward wraps after 400 ms", 0, 2, 5, -1, 10, false, 400, 2},
        {"forward from a start frame", 0, 2, 5, 4, 10, false, 100, 5},
        {"backward at the key", 1, 2, 5, -1, 10, false, 0, -5.999f},
        {"backward after 300 ms", 1, 2, 5, -1, 10, false, 300, -2.999f},
        {"backward wraps", 1, 2, 5, -1, 10, false, 400, -5.999f},
        {"ping-pong up", 0 + 2, 2, 5, -1, 10, false, 300, 5},
        {"ping-pong turned", 2, 2, 5, -1, 10, false, 400, -4.999f},
        {"ping-pong back at the bottom", 2, 2, 5, -1, 10, false, 600, 2},
        {"ping-pong turns at the top when blending", 2, 2, 5, -1, 10, true, 350, -4.5f},
        {"the brush's rate stands in for a negative one", 0, 0, 5, -1, -1, false, 200, 4},
        {"a rate of zero holds the frame", 0, 2, 5, -1, 0, false, 5000, 2},
        {"a reversed range holds its minimum", 0, 4, 1, -1, 10, false, 300, 4},
        {"a ping-pong over one frame holds it", 2, 3, 3, -1, 10, false, 300, 3},
    };
    scene->brushes[0].animRate = 20;
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.what);
        CSpriteKey k = makeKey(0, 0, 0);
        k.brushAnimMode = c.mode;
        k.minBrushFrame = c.min;
        k.maxBrushFrame = c.max;
        k.startBrushFrame = c.start;
        k.brushAnimRate = c.rate;
        CSprite* s = addSprite({k, makeKey(100000, 0, 0)});
        s->blendFrames = c.blend;
        s->state->time = c.time;
        CSpriteKey key = player.interpolateKey(s);
        float f = player.interpolateBrushFrame(s, &key);
        EXPECT_NEAR(f, c.frame, 2e-3);
        EXPECT_FALSE(std::isnan(f));
    }
}

TEST_F(KeysTest, FramePositionsCarryOverFromOneKeyToTheNext) {
    // 2 frames forward in the first second (0 -> 2), then backward from there.
    CSpriteKey a = makeKey(0, 0, 0), b = makeKey(1000, 0, 0), c = makeKey(100000, 0, 0);
    a.maxBrushFrame = 5;
    a.brushAnimRate = 2;
    b.maxBrushFrame = 5;
    b.brushAnimRate = 2;
    b.brushAnimMode = 1;
    CSprite* s = addSprite({a, b, c});
    s->state->time = 1000;
    CSpriteKey key = player.interpolateKey(s);
    // Frame 2, just reached going forward, is where the backward run starts.
    EXPECT_NEAR(player.interpolateBrushFrame(s, &key), -2.999f, 1e-4);
    s->state->time = 1500;
    key = player.interpolateKey(s);
    EXPECT_NEAR(player.interpolateBrushFrame(s, &key), -1.999f, 1e-4);
    EXPECT_NEAR(player.getSpriteBrushFrame(s), 1.999f, 1e-4);
    // Halfway into frame 1 going forward, the backward run starts halfway into frame 1.
    s->keys[0].brushAnimRate = 1.5f;
    key = player.interpolateKey(s);
    EXPECT_NEAR(player.interpolateBrushFrame(s, &key), -(1.5f - 0.001f - 1.0f), 1e-4);
}

TEST_F(KeysTest, TheImageShowsTheFrameWithItsOffsetAndBlendPartner) {
    CSpriteKey k = makeKey(0, 0, 0);
    k.minBrushFrame = 2;
    k.maxBrushFrame = 5;
    k.brushAnimRate = 10;
    CSprite* s = addSprite({k, makeKey(100000, 0, 0)});
    s->state->time = 300;
    player.updateSprite(s, 0, false, false);
    EXPECT_EQ(shownFrame(s), 5);
    ZUIImageVisual v;
    s->image->getVisualData("frames", &v);
    EXPECT_EQ(v.blendFrame, -1);

    // The offset never shows a frame past the brush's last.
    s->state->brushFrameOffset = 3;
    player.updateSprite(s, 0, false, false);
    EXPECT_EQ(shownFrame(s), 5);

    // Blending at the key's maximum pairs the frame with the key's minimum.
    s->state->brushFrameOffset = 0;
    s->blendFrames = true;
    s->state->time = 350;
    player.updateSprite(s, 0, false, false);
    s->image->getVisualData("frames", &v);
    EXPECT_EQ(v.currentFrame, 5);
    EXPECT_EQ(v.blendFrame, 2);
    EXPECT_NEAR(v.blendWeight, 0.5f, 1e-3);
}

TEST_F(KeysTest, BrushAnimationTimingOverFrames) {
    // Frames 0 to 3 at 8 frames per second, updated in 25 ms steps: each frame shows 125 ms.
    CSpriteKey k = makeKey(0, 0, 0);
    k.maxBrushFrame = 3;
    k.brushAnimRate = 8;
    CSprite* s = addSprite({k, makeKey(100000, 0, 0)});
    std::vector<long> shown;
    for (int i = 0; i <= 24; i++) {
        player.updateSprite(s, i == 0 ? 0 : 25, false, false);
        shown.push_back(shownFrame(s));
    }
    std::vector<long> expected;
    for (int i = 0; i <= 24; i++) expected.push_back((i * 25 / 125) % 4);
    EXPECT_EQ(shown, expected);
}

// --- The clock ------------------------------------------------------------------------------

TEST_F(KeysTest, TheClockRunsAtTheSpriteSpeedToItsTargetOrTheTrackEnd) {
    CSprite* s = addSprite({makeKey(0, 0, 0), makeKey(1000, 100, 0)});
    s->state->speed = 2;
    player.playSpriteTime(s, 0, 300);
    player.updateSprite(s, 100, false, false);
    EXPECT_DOUBLE_EQ(s->state->time, 200);
    EXPECT_EQ(s->state->playMode, 1);
    player.updateSprite(s, 100, false, false);
    EXPECT_DOUBLE_EQ(s->state->time, 300);
    EXPECT_EQ(s->state->playMode, 2);
    player.updateSprite(s, 100, false, false);
    EXPECT_DOUBLE_EQ(s->state->time, 300);

    // Down to an earlier target.
    player.playSpriteTime(s, -1, 100);
    player.updateSprite(s, 60, false, false);
    EXPECT_DOUBLE_EQ(s->state->time, 180);
    player.updateSprite(s, 60, false, false);
    EXPECT_DOUBLE_EQ(s->state->time, 100);
    EXPECT_EQ(s->state->playMode, 2);

    // Without a target the clock stops at the track's end.
    player.playSpriteTime(s, -1, -1);
    player.updateSprite(s, 5000, false, false);
    EXPECT_DOUBLE_EQ(s->state->time, 1000);

    // A paused player moves no clock.
    player.playSpriteTime(s, 0, -1);
    player.setPaused(true);
    player.updateSprite(s, 100, false, false);
    EXPECT_DOUBLE_EQ(s->state->time, 0);
}

TEST_F(KeysTest, TheTrackEndMakesRoomForTheLastKeysBrushFrames) {
    CSpriteKey last = makeKey(1000, 0, 0);
    last.maxBrushFrame = 4;
    last.brushAnimRate = 10;
    CSprite* s = addSprite({makeKey(0, 0, 0), last});
    player.updateSprite(s, 10000, false, false);
    EXPECT_DOUBLE_EQ(s->state->time, 1400);

    // A rate of 0 (the brush default) adds nothing and makes no NaN.
    CSpriteKey still = makeKey(1000, 0, 0);
    still.maxBrushFrame = 4;
    still.brushAnimRate = 0;
    CSprite* t = addSprite({makeKey(0, 0, 0), still});
    player.updateSprite(t, 10000, false, false);
    EXPECT_DOUBLE_EQ(t->state->time, 1000);
    CSpriteKey key = player.interpolateKey(t);
    EXPECT_EQ(player.interpolateBrushFrame(t, &key), 0);
}

// --- Key actions and playback ---------------------------------------------------------------

std::vector<std::string>* g_actions = nullptr;
CPlayer* g_player = nullptr;

bool recordAction(CSprite* sprite, void* action) {
    auto* a = static_cast<_CSpriteAction*>(action);
    g_actions->push_back(std::string(sprite->name) + " " + std::to_string(a->type) + " " +
                         (a->param ? a->param : "") +
                         (g_player->isRunningKeyActions() ? " key" : ""));
    return false;
}

class KeyActionsTest : public KeysTest {
protected:
    void SetUp() override {
        SpriteFixture::SetUp();
        g_actions = &actions;
        g_player = &player;
        player.setSpriteActionFilterHandler(recordAction);
    }
    void TearDown() override {
        g_actions = nullptr;
        g_player = nullptr;
        SpriteFixture::TearDown();
    }
    static CSpriteKey keyWithAction(float time, long type, const char* param) {
        CSpriteKey k = makeKey(time, 0, 0);
        k.actionType[0] = type;
        k.actionParam[0] = ownedText(param);
        return k;
    }
    std::vector<std::string> actions;
};

TEST_F(KeyActionsTest, EachKeyReachedRunsItsActionsOnce) {
    CSprite* s = addSprite(
        {keyWithAction(0, 1, "a"), keyWithAction(100, 2, "b"), keyWithAction(200, 3, "c")});
    s->keys[1].actionType[1] = 9;
    s->keys[1].actionParam[1] = ownedText("second");
    player.updateSprite(s, 0, false, false);
    player.updateSprite(s, 50, false, false);
    player.updateSprite(s, 60, false, false);
    player.updateSprite(s, 10, false, false);
    player.updateSprite(s, 500, false, false);
    EXPECT_EQ(actions, (std::vector<std::string>{"s101 1 a key", "s101 2 b key",
                                                 "s101 9 second key", "s101 3 c key"}));
    EXPECT_FALSE(player.isRunningKeyActions());
}

TEST_F(KeyActionsTest, PlayModesDecideWhetherTheFromKeyRunsAgain) {
    CSprite* s = addSprite({keyWithAction(0, 1, "a"), keyWithAction(100, 2, "b")});
    player.updateSprite(s, 0, false, false);
    actions.clear();
    player.playSpriteKeys(s, 0, 1, 1);
    player.updateSprite(s, 0, false, false);
    EXPECT_TRUE(actions.empty());
    player.playSpriteKeys(s, 0, 1, 2);
    player.updateSprite(s, 0, false, false);
    EXPECT_EQ(actions, std::vector<std::string>{"s101 1 a key"});
}

TEST_F(KeyActionsTest, SettingEventsRunOnTheFirstUpdateOnly) {
    CSprite* s = addSprite({makeKey(0, 0, 0)});
    s->state->firstUpdate = true;
    s->eventActionType[4] = 12;
    s->eventActionParam[4] = ownedText("volume");
    s->userEventNames[0] = ownedText("other;setting:sfxvolume");
    s->eventActionType[5] = 13;
    s->userEventNames[1] = ownedText("plain");
    player.updateSprite(s, 0, false, false);
    player.updateSprite(s, 0, false, false);
    EXPECT_EQ(actions, std::vector<std::string>{"s101 12 volume"});
}

TEST_F(KeyActionsTest, ANoAutoplaySpriteWaitsInvisibleAndDisabled) {
    CSprite* s = addSprite({keyWithAction(0, 1, "a"), makeKey(100, 0, 0)});
    s->noAutoplay = true;
    s->state->playMode = 0;
    player.updateSprite(s, 50, false, false);
    EXPECT_EQ(s->state->time, 0);
    EXPECT_TRUE(actions.empty());
    EXPECT_EQ(s->element->getState(), ZUIElementStateDisabled);
    player.applySpriteColor(s);
    EXPECT_EQ(s->state->effectiveColor[3], 0);

    player.playSpriteKeys(s, 0, -1, 0);
    player.updateSprite(s, 50, false, false);
    EXPECT_EQ(actions, std::vector<std::string>{"s101 1 a key"});
    EXPECT_EQ(s->element->getState(), ZUIElementStateNormal);
    player.applySpriteColor(s);
    EXPECT_EQ(s->state->effectiveColor[3], 1);
}

TEST_F(KeysTest, PlayingToKeysClampsAndReportsTheNewTarget) {
    CSprite* s = addSprite({makeKey(0, 0, 0), makeKey(100, 0, 0), makeKey(300, 0, 0)});
    player.playSpriteKeys(s, 0, 7, 0);
    EXPECT_DOUBLE_EQ(s->state->targetTime, 300);
    EXPECT_EQ(s->state->playMode, 1);
    s->state->keyOffset = 1;
    player.playSpriteKeys(s, 0, 0, 1);
    EXPECT_DOUBLE_EQ(s->state->time, 100);
    EXPECT_DOUBLE_EQ(s->state->targetTime, 100);
    EXPECT_EQ(s->state->currentKey, 1);
    player.stopSprite(s);
    EXPECT_EQ(s->state->playMode, 2);
    EXPECT_DOUBLE_EQ(s->state->targetTime, s->state->time);
}

TEST_F(KeysTest, TheCurrentKeyIsSearchedInTheDirectionOfPlay) {
    CSprite* s = addSprite({makeKey(0, 0, 0), makeKey(100, 0, 0), makeKey(300, 0, 0)});
    EXPECT_EQ(player.getSpriteKeyForTime(s, 150), 1);
    EXPECT_EQ(player.getSpriteKeyForTime(s, 300), 2);
    EXPECT_EQ(player.getSpriteKeyForTime(s, -5), 0);
    s->state->time = 250;
    s->state->targetTime = 50;
    EXPECT_EQ(player.getSpriteKeyForTime(s, 150), 2);
    EXPECT_EQ(player.getSpriteKeyForTime(s, 100), 1);
    EXPECT_EQ(player.getCurrentSpriteKey(s), 2);
    CSprite none;
    EXPECT_EQ(player.getCurrentSpriteKey(&none), 0);
}

// --- The element ----------------------------------------------------------------------------

TEST_F(KeysTest, TheElementTakesPositionScaleShearAndRotation) {
    CSpriteKey a = makeKey(0, 100, 100), b = makeKey(1000, 200, 100);
    a.scaleX = 2;
    b.scaleX = 2;
    a.angle = b.angle = 30;
    a.shearX = b.shearX = 0.5f;
    CSprite* s = addSprite({a, b});
    s->state->scaleFactorY = 3;
    s->state->pivotOffset = {1, 2};
    s->state->anchorOffset = {5, 0};
    s->state->angleOffset = 10;
    s->state->time = 500;
    player.updateSprite(s, 0, false, false);
    // Plain brush: the anchor minus the pivot's place in the region, plus the pivot offset.
    EXPECT_FLOAT_EQ(s->element->getPositionX(), 150 + 5 - 10 + 1);
    EXPECT_FLOAT_EQ(s->element->getPositionY(), 100 - 10 + 2);
    EXPECT_FLOAT_EQ(s->element->getScaleX(), 2);
    EXPECT_FLOAT_EQ(s->element->getScaleY(), 3);
    EXPECT_FLOAT_EQ(s->element->getShearX(), 0.5f);
    EXPECT_FLOAT_EQ(s->element->getZAngle(), -40);
}

TEST_F(KeysTest, StretchedBrushesTakeTheKeyRectangle) {
    CSpriteKey a = makeKey(0, 50, 50);
    a.rectX1 = 40;
    a.rectY1 = 30;
    a.rectX2 = 80;
    a.rectY2 = 50;
    CSprite* s = addSprite({a}, 1);
    s->state->rectOffsetBottomRight = {10, 0};
    player.updateSprite(s, 0, false, false);
    EXPECT_FLOAT_EQ(s->element->getWidth(), 50);
    EXPECT_FLOAT_EQ(s->element->getHeight(), 20);
    EXPECT_FLOAT_EQ(s->element->getPositionX(), 40);
    EXPECT_FLOAT_EQ(s->element->getPositionY(), 30);
    EXPECT_FLOAT_EQ(s->element->getCenterX(), 50 - 65);
    EXPECT_FLOAT_EQ(s->element->getCenterY(), 50 - 40);
}

TEST_F(KeysTest, SpritesWithoutABrushOrWithABrushOutOfRangeShowThePlaceholder) {
    for (long brush : {-1L, 7L}) {
        SCOPED_TRACE(brush);
        CSprite* s = addSprite({makeKey(0, 100, 100)}, -1);
        s->brushIndex = brush;
        player.setDebug(true);
        std::vector<std::string> log =
            loggedMessages([&] { player.updateSprite(s, 0, false, false); });
        EXPECT_EQ(log.size(), brush < 0 ? 0u : 1u);
        EXPECT_FLOAT_EQ(s->element->getPositionX(), 80);
        EXPECT_FLOAT_EQ(s->element->getPositionY(), 80);
        ZRectangle r = player.getSpriteBoundingRect(s, 0);
        EXPECT_FLOAT_EQ(r.x1, 80);
        EXPECT_FLOAT_EQ(r.x2, 120);
    }
}

TEST_F(KeysTest, QuadOffsetsMoveTheFrameCorners) {
    CSpriteKey a = makeKey(0, 0, 0);
    a.quadOffsets[1] = {4, -2};
    CSprite* s = addSprite({a});
    player.updateSprite(s, 0, false, false);
    EXPECT_TRUE(s->usesQuads);
    ZUIImageFrame f;
    ASSERT_TRUE(s->image->getFrameData(3, &f));
    EXPECT_FLOAT_EQ(f.srcQuad[0], 120);
    EXPECT_FLOAT_EQ(f.dstQuad[2], 40 + 4);
    EXPECT_FLOAT_EQ(f.dstQuad[3], -2);
}

TEST_F(KeysTest, InputFollowsTheKeyAndTheGamesFlags) {
    CSpriteKey a = makeKey(0, 0, 0), b = makeKey(100, 0, 0);
    b.clickable = false;
    b.flags = 4;
    CSprite* s = addSprite({a, b});
    s->gameFlags = 1;
    player.setDebug(true);
    std::vector<std::string> log = loggedMessages([&] {
        player.updateSprite(s, 0, false, false);
        player.updateSprite(s, 100, false, false);
        player.updateSprite(s, 0, false, false);
    });
    EXPECT_EQ(s->element->getState(), ZUIElementStateDisabled);
    EXPECT_EQ(log, std::vector<std::string>{"Game: disable s101"});
    EXPECT_EQ(s->state->reportedFlags, 5u);

    s->state->inputDisabled = true;
    player.updateSprite(s, 0, false, false);
    EXPECT_FALSE(s->element->isTreeInputEnabled());
    s->state->inputDisabled = false;
    player.updateSprite(s, 0, false, false);
    EXPECT_TRUE(s->element->isTreeInputEnabled());
}

TEST_F(KeysTest, ASpriteThatOnlyTakesDropsWaitsForADrag) {
    CSprite* s = addSprite({makeKey(0, 0, 0)});
    s->eventActionType[4] = 5;
    s->userEventNames[0] = ownedText("hello; Drop:coin");
    player.updateSprite(s, 0, false, false);
    EXPECT_EQ(s->element->getState(), ZUIElementStateDisabled);
    // A pointer event of its own makes it clickable again.
    s->eventActionType[2] = 1;
    player.updateSprite(s, 0, false, false);
    EXPECT_EQ(s->element->getState(), ZUIElementStateNormal);
}

TEST_F(KeysTest, AVisibilityOverrideHidesOrShowsTheElement) {
    CSprite* s = addSprite({makeKey(0, 0, 0)});
    s->state->visibilityOverride = true;
    s->state->hidden = true;
    player.updateSprite(s, 0, false, false);
    EXPECT_FALSE(s->element->getVisibility());
    s->state->hidden = false;
    player.updateSprite(s, 0, false, false);
    EXPECT_TRUE(s->element->getVisibility());
}

TEST_F(KeysTest, ParticleSpritesStartAnEmitterEachPeriodWhileVisible) {
    CSprite* s = addSprite({makeKey(0, 0, 0), makeKey(100000, 0, 0)}, 2, false);
    CUIEmitter* emitter = new CUIEmitter(scene->container);
    emitter->setSize(8, 8);
    emitter->setUserData(s);
    s->element = emitter;
    s->state->emissionDelay = 10;
    auto emitted = [&](int frames) {
        long before = emitter->getEmitters().count;
        for (int i = 0; i < frames; i++) {
            player.updateSprite(s, 20, false, false);
            player.applySpriteColor(s);
        }
        return emitter->getEmitters().count - before;
    };
    // Invisible until the colour has been applied once: the first frame waits.
    EXPECT_EQ(emitted(1), 0);
    // Then every 60 ms (period plus delay) at 20 ms a frame: frames 1, 4, 7.
    EXPECT_EQ(emitted(7), 3);
    // A key that emits nothing stops the emission.
    s->keys[0].emitParticles = false;
    EXPECT_EQ(emitted(10), 0);
}

// --- Finished copies ------------------------------------------------------------------------

TEST_F(KeysTest, AFinishedCopyIsDeletedAndItsStateDropped) {
    CSprite* s = addSprite({makeKey(0, 0, 0), makeKey(100, 0, 0)});
    s->copyKind = 1;
    unsigned long id = s->id;
    EXPECT_TRUE(player.updateSprite(s, 50, true, false));
    EXPECT_TRUE(player.updateSprite(s, 50, false, false));  // may not delete
    EXPECT_FALSE(player.updateSprite(s, 0, true, false));
    EXPECT_EQ(scene->findSprite(id), nullptr);
    EXPECT_EQ(sceneState->findSpriteState(id), nullptr);
    EXPECT_EQ(scene->sprites.count, 0);
}

TEST_F(KeysTest, CopiesWithChildrenOrOfTheFileStay) {
    CSprite* parent = addSprite({makeKey(0, 0, 0)});
    parent->copyKind = 1;
    CSprite* child = addSprite({makeKey(0, 0, 0)});
    parent->appendChild(child);
    EXPECT_TRUE(player.updateSprite(parent, 0, true, true));
    CSprite* loaded = addSprite({makeKey(0, 0, 0)});
    EXPECT_TRUE(player.updateSprite(loaded, 0, true, true));
    // The child, a copy itself, goes and unlinks from its parent; then the parent can go.
    child->copyKind = 1;
    EXPECT_FALSE(player.updateSprite(child, 0, true, true));
    EXPECT_EQ(parent->firstChild, nullptr);
    EXPECT_FALSE(player.updateSprite(parent, 0, true, true));
    EXPECT_EQ(scene->sprites.count, 1);
}

TEST_F(KeysTest, CopiesFinishedDuringADropWaitForTheEndOfIt) {
    CSprite* s = addSprite({makeKey(0, 0, 0)});
    s->copyKind = 1;
    player.beginDeferredSpriteDeletes();
    EXPECT_FALSE(player.updateSprite(s, 0, true, true));
    EXPECT_EQ(scene->sprites.count, 0);
    EXPECT_EQ(player.getDeferredSpriteDeleteCount(), 1);
    EXPECT_FALSE(s->element->getVisibility());
    // The scene going away meanwhile leaves the waiting copy's element alone.
    delete scene->container;
    scene->container = nullptr;
    player.endDeferredSpriteDeletes();
    EXPECT_EQ(player.getDeferredSpriteDeleteCount(), 0);
}

// --- Anchors --------------------------------------------------------------------------------

TEST_F(KeysTest, AnchorsTakeTheOffsetsAndCanBeMovedPerKey) {
    CSprite* s = addSprite({makeKey(0, 10, 20), makeKey(100, 30, 40)});
    s->state->anchorOffset = {1, 1};
    ZVector2 a = player.getSpriteAnchor(s, 1, false);
    EXPECT_FLOAT_EQ(a.x, 31);
    player.setSpriteAnchor(s, 1, {100, 100}, false);
    EXPECT_EQ(s->state->keyAnchorOffsetCount, 2);
    a = player.getSpriteAnchor(s, 1, false);
    EXPECT_FLOAT_EQ(a.x, 100);
    EXPECT_FLOAT_EQ(a.y, 100);
    s->state->time = 100;
    EXPECT_FLOAT_EQ(player.getSpriteAnchorForTime(s, 50, false).x, (11 + 100) / 2.0f);
    EXPECT_DOUBLE_EQ(s->state->time, 100);
    player.resetSpriteAnchor(s, 1);
    EXPECT_FLOAT_EQ(player.getSpriteAnchor(s, 1, false).x, 31);

    // Keys outside the track change nothing and answer (0, 0).
    player.setSpriteAnchor(s, 2, {5, 5}, false);
    player.resetSpriteAnchor(s, -1);
    EXPECT_EQ(s->state->keyAnchorOffsetCount, 2);
    EXPECT_FLOAT_EQ(player.getSpriteAnchor(s, 2, false).x, 0);
    EXPECT_FLOAT_EQ(player.getSpriteScreenSpaceAnchor(s, 9).x, 0);
}

TEST_F(KeysTest, KeyAnchorOffsetsGrowTheirTableAndMoveTheirKey) {
    CSprite* s = addSprite({makeKey(0, 0, 0), makeKey(100, 10, 0), makeKey(200, 20, 0)});
    player.setSpriteKeyAnchorOffsetX(s, 5, 3);
    EXPECT_EQ(s->state->keyAnchorOffsetCount, 6);
    EXPECT_FLOAT_EQ(player.getSpriteKeyAnchorOffsetX(s, 5), 3);
    player.setSpriteKeyAnchorOffsetY(s, 5, 4);  // not a key of the track
    EXPECT_FLOAT_EQ(player.getSpriteKeyAnchorOffsetY(s, 5), 0);
    player.setSpriteKeyAnchorOffsetY(s, 2, 4);
    EXPECT_FLOAT_EQ(player.getSpriteKeyAnchorOffsetY(s, 2), 4);
    player.setSpriteKeyAnchorOffsetCount(s, 2);  // never shrinks
    EXPECT_EQ(s->state->keyAnchorOffsetCount, 6);
    EXPECT_FLOAT_EQ(player.getSpriteKeyAnchorOffsetX(s, 9), 0);
    EXPECT_FLOAT_EQ(player.getSpriteKeyAnchorOffsetX(nullptr, 0), 0);

    player.setSpriteKeyAnchorOffset(s, 1, {0, 30});
    s->state->time = 150;
    CSpriteKey k = player.interpolateKey(s);
    EXPECT_FLOAT_EQ(k.anchor.y, (30 + 4) / 2.0f);
    EXPECT_FLOAT_EQ(k.rectY1, (30 + 4) / 2.0f - 5);

    // A key number no track has is refused, not allocated.
    player.setSpriteKeyAnchorOffset(s, 0x7fffffffL, {1, 1});
    player.setSpriteKeyAnchorOffsetCount(s, 0x7fffffffL);
    EXPECT_EQ(s->state->keyAnchorOffsetCount, 6);
}

TEST_F(KeysTest, ScreenAnchorsPassThroughTheElement) {
    CSprite* s = addSprite({makeKey(0, 10, 20)});
    scene->container->setPosition(100, 200);
    player.updateSprite(s, 0, false, false);
    ZVector2 p = player.getSpriteScreenSpaceAnchor(s, 0);
    EXPECT_NEAR(p.x, 110, 1e-3);
    EXPECT_NEAR(p.y, 220, 1e-3);
    player.setSpriteAnchor(s, 0, {150, 250}, true);
    EXPECT_NEAR(player.getSpriteAnchor(s, 0, false).x, 50, 1e-3);
    EXPECT_NEAR(player.getSpriteAnchor(s, 0, false).y, 50, 1e-3);
}

}  // namespace
