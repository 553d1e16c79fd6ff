// Reads the input as a scene file and a brush file (split at the first form feed; the brush
// file is the scene's default "objects") and checks that the records hold together: every index
// inside its table, at least one key per sprite, a sprite tree without loops.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CScene.h"
#include "CSceneLoader.h"
#include "ZMiscTools.h"

namespace {

std::string g_root;

void writeText(const std::string& path, const char* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) abort();
    if (size) fwrite(data, 1, size, file);
    fclose(file);
}

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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZMiscTools::initMiscTools();
    g_root = ZMiscTools::getGameFolder();
    ZMiscTools::createDirectory((g_root + "/data").c_str());
    ZMiscTools::createDirectory((g_root + "/data/scenes").c_str());
    ZMiscTools::createDirectory((g_root + "/data/brushes").c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    size_t split = 0;
    while (split < size && text[split] != '\f') split++;
    writeText(g_root + "/data/scenes/fuzzscene.ini", text, split);
    size_t rest = split < size ? split + 1 : size;
    writeText(g_root + "/data/brushes/objects.ini", text + rest, size - rest);

    CScene scene;
    snprintf(scene.name, sizeof(scene.name), "fuzzscene");
    CSceneLoader loader;
    if (loader.loadSceneDefinition(&scene)) checkScene(scene);
    return 0;
}
