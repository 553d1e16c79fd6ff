// Reads the input as a sprite's key track (times, anchors, frame ranges, animation modes and
// rates, path kind, looping and easing) and a run of frames and playback calls, and plays the
// sprite. Whatever the keys say, the frame shown lies within the brush's frames and the clock,
// the brush frame position and the element's place stay numbers.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "CPlayer.h"
#include "CSceneState.h"
#include "CSpriteState.h"
#include "FakeWindow.h"
#include "FuzzInput.h"
#include "ZUIElement.h"
#include "ZUIImage.h"

namespace {

// Mostly small values, now and then anything a float can hold.
float value(FuzzInput& in, float scale) {
    uint8_t kind = in.byte();
    if (kind < 220) return (static_cast<float>(in.byte()) - 64) * scale;
    return in.anyFloat();
}

class FuzzPlayer : public CPlayer {
public:
    explicit FuzzPlayer(ZWindow* window) { m_window = window; }
    ~FuzzPlayer() override { m_window = nullptr; }
};

void check(bool condition) {
    if (!condition) abort();
}

FakeWindow g_window;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZUIElement::initialize(&g_window);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    FuzzPlayer player(&g_window);
    CScene* scene = new CScene();
    CSceneState* sceneState = new CSceneState();
    sceneState->fadeCounter.startCounter(1, 1, 0, 0, ZCounterLinear);
    scene->layer = 0;
    scene->sceneState = sceneState;
    scene->container = new ZUIElement(ZUIElement::getRootElement());
    const long frames = 1 + in.byte() % 8;
    scene->brushCount = 1;
    scene->brushes = new _CBrush[1]{};
    scene->brushes[0].frameCount = frames;
    scene->brushes[0].animRate = value(in, 1);
    scene->brushes[0].mode = in.byte() % 7;
    scene->brushes[0].texSrcX2 = scene->brushes[0].texSrcY2 = 16;

    CSprite* sprite = new CSprite();
    sprite->id = 1;
    const long keyCount = 1 + in.byte() % 6;
    sprite->keyCount = keyCount;
    sprite->keys = new CSpriteKey[keyCount]{};
    float time = 0;
    for (long k = 0; k < keyCount; k++) {
        CSpriteKey& key = sprite->keys[k];
        key.index = -1;
        time += std::fabs(value(in, 10));
        key.time = time;
        key.anchor = {value(in, 4), value(in, 4)};
        key.ctrl1 = {value(in, 4), value(in, 4)};
        key.ctrl2 = {value(in, 4), value(in, 4)};
        key.rectX1 = key.anchor.x - 8;
        key.rectY1 = key.anchor.y - 8;
        key.rectX2 = key.anchor.x + 8;
        key.rectY2 = key.anchor.y + 8;
        key.scaleX = key.scaleY = 1;
        key.a = key.lightness = 1;
        key.clickable = true;
        key.minBrushFrame = static_cast<long>(in.byte() % 10) - 1;
        key.maxBrushFrame = static_cast<long>(in.byte() % 10) - 1;
        key.startBrushFrame = static_cast<long>(in.byte() % 11) - 2;
        key.brushAnimMode = in.byte() % 4;
        key.brushAnimRate = value(in, 1);
    }
    uint8_t flags = in.byte();
    sprite->anchorPathType = flags % 5;
    sprite->loopKeys = flags & 8;
    sprite->wrapAnim = flags & 16;
    sprite->easeIn = flags & 32;
    sprite->easeOut = flags & 64;
    sprite->blendFrames = flags & 128;
    sprite->atlasRegions = new ZRectangle[frames]{};
    sprite->setHashKey(1);
    scene->sprites.addToTail(sprite);
    scene->spriteTable.hashInsert(sprite);
    sprite->brushIndex = 0;
    sprite->scene = scene;
    sprite->sceneState = sceneState;
    sprite->state = new CSpriteState();
    sprite->state->firstUpdate = false;
    sceneState->addSpriteState(1, sprite->state);
    ZUIImage* image = new ZUIImage(scene->container);
    image->setSize(16, 16);
    image->setFrameCount(frames);
    image->setVisualSequence("frames", 0, frames - 1, 100, true, false, false);
    sprite->element = sprite->image = image;
    player.updateSpriteBezier(sprite);

    for (int step = 0; step < 64 && !in.done(); step++) {
        uint8_t op = in.byte();
        switch (op % 4) {
            case 0:
                player.playSpriteKeys(sprite, in.byte() % 8 - 1, in.byte() % 8 - 1, in.byte() % 3);
                break;
            case 1:
                player.playSpriteTime(sprite, value(in, 20), value(in, 20));
                break;
            case 2:
                sprite->state->speed = value(in, 0.1f);
                break;
            default:
                break;
        }
        double frameTime = std::fabs(value(in, 2));
        if (!std::isfinite(frameTime)) frameTime = 0;
        player.updateSprite(sprite, frameTime, false, false);
        player.applySpriteColor(sprite);
        ZUIImageVisual visual;
        check(image->getVisualData("frames", &visual));
        check(visual.currentFrame >= 0 && visual.currentFrame < frames);
        check(visual.blendFrame >= -1 && visual.blendFrame < frames);
        CSpriteKey key = player.interpolateKey(sprite);
        float position = player.interpolateBrushFrame(sprite, &key);
        // Frames only run from inputs that are numbers; NaN in is allowed to come out.
        bool finiteInput = std::isfinite(scene->brushes[0].animRate);
        for (long k = 0; k < keyCount; k++)
            finiteInput = finiteInput && std::isfinite(sprite->keys[k].time) &&
                          std::isfinite(sprite->keys[k].brushAnimRate);
        if (finiteInput && std::isfinite(sprite->state->time)) check(!std::isnan(position));
        check(player.getCurrentSpriteKey(sprite) >= -1);
        check(player.getCurrentSpriteKey(sprite) < keyCount);
    }

    delete scene->container;
    scene->container = nullptr;
    delete scene;
    delete sceneState;
    return 0;
}
