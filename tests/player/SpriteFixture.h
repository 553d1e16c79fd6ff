#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CPlayer.h"
#include "CSceneState.h"
#include "CSpriteState.h"
#include "FakeWindow.h"
#include "ZUIElement.h"
#include "ZUIImage.h"

// Sprites built by hand in a scene of their own, with image elements under the UI root.

class SpritePlayer : public CPlayer {
public:
    explicit SpritePlayer(ZWindow* window) { m_window = window; }
    ~SpritePlayer() override { m_window = nullptr; }
};

inline char* ownedText(const char* text) {
    char* copy = new char[strlen(text) + 1];
    strcpy(copy, text);
    return copy;
}

inline CSpriteKey makeKey(float time, float x, float y) {
    CSpriteKey k{};
    k.index = -1;
    k.time = time;
    k.anchor = {x, y};
    k.ctrl1 = {x - 10, y - 10};
    k.ctrl2 = {x + 10, y + 10};
    k.rectX1 = x - 10;
    k.rectY1 = y - 5;
    k.rectX2 = x + 10;
    k.rectY2 = y + 5;
    k.scaleX = k.scaleY = 1;
    k.r = k.g = k.b = k.a = 1;
    k.lightness = 1;
    k.emitParticles = true;
    k.clickable = true;
    k.startBrushFrame = -1;
    k.brushAnimRate = -1;
    return k;
}

class SpriteFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ZUIElement::initialize(&window);
        scene = new CScene();
        snprintf(scene->name, sizeof(scene->name), "keys");
        scene->layer = 0;
        sceneState = new CSceneState();
        sceneState->fadeCounter.startCounter(1, 1, 0, 0, ZCounterLinear);
        scene->sceneState = sceneState;
        scene->brushCount = 3;
        scene->brushes = new _CBrush[3]{};
        // Brush 0: plain, six frames, pivot (10, 10) in a region from (0, 0) to (40, 40).
        _CBrush& plain = scene->brushes[0];
        plain.id = 10;
        plain.frameCount = 6;
        plain.texSrcX2 = plain.texSrcY2 = 40;
        plain.pivotX = plain.pivotY = 10;
        // Brush 1: stretched.
        _CBrush& stretched = scene->brushes[1];
        stretched.id = 11;
        stretched.mode = 1;
        stretched.frameCount = 1;
        stretched.texSrcX2 = stretched.texSrcY2 = 16;
        // Brush 2: particles, an emitter every 50 ms.
        _CBrush& particles = scene->brushes[2];
        particles.id = 12;
        particles.frameCount = 1;
        particles.particleCount = 4;
        particles.emitterPeriod = 50;
        particles.emitMaxRadius = 5;
        particles.texSrcX2 = particles.texSrcY2 = 8;
        scene->container = new ZUIElement(ZUIElement::getRootElement());
        scene->container->setSize(768, 1024);
    }
    void TearDown() override {
        delete scene;
        delete sceneState;
        ZUIElement::cleanup();
    }

    // A sprite of the scene with its state and, unless told otherwise, an image element.
    CSprite* addSprite(std::vector<CSpriteKey> keys, long brush = 0, bool element = true) {
        CSprite* s = new CSprite();
        s->id = ++lastId;
        snprintf(s->name, sizeof(s->name), "s%lu", s->id);
        s->brushIndex = brush;
        s->brushId = brush >= 0 ? scene->brushes[brush].id : 0;
        s->keyCount = static_cast<long>(keys.size());
        s->keys = new CSpriteKey[keys.size()];
        for (size_t i = 0; i < keys.size(); i++) s->keys[i] = keys[i];
        long frames = brush >= 0 ? scene->brushes[brush].frameCount : 1;
        s->atlasRegions = new ZRectangle[frames];
        for (long f = 0; f < frames; f++) s->atlasRegions[f] = {40.0f * f, 0, 40.0f * f + 40, 40};
        s->setHashKey(static_cast<long>(s->id));
        scene->sprites.addToTail(s);
        scene->spriteTable.hashInsert(s);
        s->scene = scene;
        s->sceneState = sceneState;
        s->state = new CSpriteState();
        s->state->firstUpdate = false;
        sceneState->addSpriteState(s->id, s->state);
        if (element) {
            ZUIImage* image = new ZUIImage(scene->container);
            image->setSize(40, 40);
            image->setFrameCount(frames);
            image->setVisualSequence("frames", 0, frames - 1, 100, true, false, false);
            image->enableElementInput(true);
            s->element = image;
            s->image = image;
        }
        return s;
    }
    long shownFrame(CSprite* s) {
        ZUIImageVisual v;
        return s->image->getVisualData("frames", &v) ? v.currentFrame : -99;
    }

    FakeWindow window;
    SpritePlayer player{&window};
    CScene* scene = nullptr;
    CSceneState* sceneState = nullptr;
    unsigned long lastId = 100;
};
