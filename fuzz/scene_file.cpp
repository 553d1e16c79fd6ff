// Reads the input as a scene file and a brush file (split at the first form feed; the brush
// file is the scene's default "objects") and checks that the records hold together: every index
// inside its table, at least one key per sprite, a sprite tree without loops. Then builds the
// sprites' elements on the tests' fake window and recording renderer, runs one update and takes
// them out again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CPlayer.h"
#include "CScene.h"
#include "CSceneLoader.h"
#include "FuzzPlayer.h"
#include "RecordingLog.h"
#include "ZMiscTools.h"
#include "ZUIElement.h"

namespace {

std::string g_root;

void check(bool condition) {
    if (!condition) abort();
}

void checkScene(const CScene& scene) {
    for (long i = 0; i < scene.brushCount; i++) {
        const _CBrush& brush = scene.brushes[i];
        check(brush.frameCount >= 1 && brush.frameCount <= CSceneLoader::kMaxFrames);
        for (long f = 0; f < brush.frameCount; f++)
            for (const CCollisionShape& shape : brush.shapes[f]) {
                check(shape.polyPointCount >= 0 &&
                      shape.polyPointCount <= CCollisionShape::kMaxPolyPoints);
                check(shape.parentSlot >= -1 && shape.parentSlot < _CBrush::kShapesPerFrame);
            }
    }
    long count = 0;
    for (CSprite* sprite = scene.sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite)) {
        count++;
        check(sprite->keyCount >= 1 && sprite->keyCount == sprite->loadedKeyCount);
        check(sprite->brushIndex >= -1 && sprite->brushIndex < scene.brushCount);
        if (sprite->brushIndex >= 0) {
            const _CBrush& brush = scene.brushes[sprite->brushIndex];
            for (long f = 0; f < brush.frameCount; f++)
                check(sprite->atlasIndexes[f] >= -1 && sprite->atlasIndexes[f] < scene.atlasCount);
        }
        long depth = 0;
        for (CSprite* up = sprite->parent; up; up = up->parent)
            check(++depth <= scene.sprites.count);
    }
    check(count == scene.sprites.count);
}

FuzzPlayer* g_player = nullptr;

void buildSprites(CScene& scene) {
    CSceneState state;
    snprintf(state.name, sizeof(state.name), "%s", scene.name);
    state.fadeCounter.startCounter(1, 1, 0, 0, ZCounterLinear);
    state.fadeCounter.move(0);
    scene.container = new ZUIElement(ZUIElement::getRootElement());
    scene.container->setSize(scene.width, scene.height);
    scene.sceneState = &state;
    scene.layer = 0;
    // Parents first, as the scene's insertion does; a pass that makes nothing ends it.
    for (bool made = true; made;) {
        made = false;
        for (CSprite* s = scene.sprites.head; s; s = ZList<CSprite>::nextOf(s)) {
            if (s->element || (s->parent && !s->parent->element)) continue;
            g_player->insertSprite(&scene, &state, s, 0);
            made = true;
        }
    }
    for (CSprite* s = scene.sprites.head; s; s = ZList<CSprite>::nextOf(s)) {
        check(s->element && s->element->getUserData() == s && s->state);
        g_player->applySpriteColor(s);
    }
    for (CSprite* s = scene.sprites.head; s; s = ZList<CSprite>::nextOf(s))
        g_player->removeSprite(s);
    delete scene.container;
    scene.container = nullptr;
    scene.sceneState = nullptr;
    RecordingLog::clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_player = FuzzPlayer::start(&g_root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    size_t split = 0;
    while (split < size && text[split] != '\f') split++;
    FuzzPlayer::writeFile(g_root + "/data/scenes/fuzzscene.ini", text, split);
    size_t rest = split < size ? split + 1 : size;
    FuzzPlayer::writeFile(g_root + "/data/brushes/objects.ini", text + rest, size - rest);

    CScene scene;
    snprintf(scene.name, sizeof(scene.name), "fuzzscene");
    CSceneLoader loader;
    if (loader.loadSceneDefinition(&scene)) {
        checkScene(scene);
        buildSprites(scene);
    }
    return 0;
}
