#include "CSprite.h"

namespace {

void freeKeys(CSpriteKey*& keys, long count) {
    if (!keys) return;
    for (long i = 0; i < count; i++) keys[i].release();
    delete[] keys;
    keys = nullptr;
}

}  // namespace

CSprite::CSprite() = default;

CSprite::~CSprite() {
    delete[] atlasIndexes;
    delete[] atlasRegions;
    delete[] atlasOffsets;
    for (char* text : eventActionParam) delete[] text;
    for (char* text : userEventNames) delete[] text;
    freeKeys(keys, keyCount);
    freeKeys(loadedKeys, loadedKeyCount);
}

void CSprite::appendChild(CSprite* child) {
    child->parent = this;
    child->nextSibling = nullptr;
    child->prevSibling = lastChild;
    if (lastChild)
        lastChild->nextSibling = child;
    else
        firstChild = child;
    lastChild = child;
}
