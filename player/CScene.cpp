#include "CScene.h"

CScene::CScene() = default;

CScene::~CScene() {
    freeDefinition();
}

void CScene::freeDefinition() {
    for (long i = 0; i < brushCount; i++) brushes[i].release();
    delete[] brushes;
    brushes = nullptr;
    brushCount = 0;
    while (CSprite* sprite = sprites.head) {
        sprites.remove(sprite);
        spriteTable.hashRemove(sprite);
        delete sprite;
    }
    delete[] atlases;
    atlases = nullptr;
    atlasCount = 0;
    backgroundSprite = nullptr;
}

CSprite* CScene::findSprite(unsigned long spriteId) const {
    return static_cast<CSprite*>(spriteTable.hashFind(static_cast<long>(spriteId)));
}
