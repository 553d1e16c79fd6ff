#pragma once

#include <atomic>
#include <cstdint>

#include "CSprite.h"
#include "ZHashTableLong.h"
#include "ZList.h"
#include "ZObjectListable.h"
#include "_CBrush.h"

class CSceneState;
class ZGraphic;
class ZSysThread;
class ZUIElement;

// One loaded scene: its size and flags, its brush table and its sprites. Owns its brushes and
// sprites; the atlas graphics are released by the scene's unloading.
class CScene : public ZObjectListable {
public:
    CScene();
    ~CScene() override;
    CScene(const CScene&) = delete;
    CScene& operator=(const CScene&) = delete;

    // Frees brushes, sprites and the atlas table, leaving the scene as read from no file.
    void freeDefinition();
    CSprite* findSprite(unsigned long spriteId) const;

    char name[100] = {};
    char skinPrefix[100] = {};
    char skin[100] = {};
    char baseName[100] = {};
    ZSysThread* loaderThread = nullptr;
    // Status and cancel flag cross between the loader thread and the main thread; the loader
    // writes loadError before it publishes the end of its run.
    std::atomic<bool> cancel{false};
    std::atomic<int32_t> status{
        0};                    // 0 created, 1 definition read, 2 decoded, 3 uploaded, 4 inserted
    char loadError[260] = {};  // the file the loader thread failed to read, empty when none
    long targetLayer = -1;
    long layer = -1;
    int64_t fileTime = 0;
    int64_t referenceCount = 0;
    float width = 1024;
    float height = 768;
    unsigned long flags = 0;
    long first16BitAtlas = -1;
    bool streamBackground = false;
    char defaultMusic[260] = {};
    ZGraphic* backgroundImage = nullptr;
    long brushCount = 0;
    _CBrush* brushes = nullptr;
    ZList<CSprite> sprites;
    ZHashTableLong spriteTable;
    long atlasCount = 0;
    ZGraphic** atlases = nullptr;
    CSceneState* sceneState = nullptr;
    ZUIElement* container = nullptr;
    CSprite* backgroundSprite = nullptr;
};
