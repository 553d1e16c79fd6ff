#include "CSprite.h"

#include <cstring>

#include "ZIniReader.h"

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

namespace {

template <class T>
T* copyArray(const T* from, long count) {
    if (!from || count <= 0) return nullptr;
    T* to = new T[count];
    for (long i = 0; i < count; i++) to[i] = from[i];
    return to;
}

char* copyText(const char* text) {
    return text ? ZIniReader::allocCopyString(text) : nullptr;
}

CSpriteKey* copyKeys(const CSpriteKey* from, long count) {
    if (!from || count <= 0) return nullptr;
    CSpriteKey* to = new CSpriteKey[count]();
    for (long i = 0; i < count; i++) to[i].copyFrom(from[i]);
    return to;
}

}  // namespace

void CSprite::copyRecordFrom(const CSprite& o, long frames) {
    id = o.id;
    copyKind = o.copyKind;
    memcpy(name, o.name, sizeof(name));
    parentId = o.parentId;
    brushId = o.brushId;
    brushIndex = o.brushIndex;
    atlasIndexes = copyArray(o.atlasIndexes, frames);
    atlasRegions = copyArray(o.atlasRegions, frames);
    atlasOffsets = copyArray(o.atlasOffsets, frames);
    gameFlags = o.gameFlags;
    memcpy(gameValues, o.gameValues, sizeof(gameValues));
    memcpy(displayHandler, o.displayHandler, sizeof(displayHandler));
    clipChildren = o.clipChildren;
    stencil = o.stencil;
    xFlip = o.xFlip;
    yFlip = o.yFlip;
    loopKeys = o.loopKeys;
    wrapAnim = o.wrapAnim;
    noAutoplay = o.noAutoplay;
    passThrough = o.passThrough;
    easeIn = o.easeIn;
    easeOut = o.easeOut;
    blendFrames = o.blendFrames;
    usesQuads = o.usesQuads;
    anchorPathType = o.anchorPathType;
    textFlow = o.textFlow;
    textVAlign = o.textVAlign;
    textKerning = o.textKerning;
    textLineSpacing = o.textLineSpacing;
    for (long i = 0; i < kEventSlots; i++) {
        eventActionType[i] = o.eventActionType[i];
        eventActionParam[i] = copyText(o.eventActionParam[i]);
    }
    for (long i = 0; i < kUserEvents; i++) userEventNames[i] = copyText(o.userEventNames[i]);
    for (long i = 0; i < 3; i++) eventFlags[i] = o.eventFlags[i];
    keyCount = o.keyCount;
    keys = copyKeys(o.keys, o.keyCount);
    loadedKeyCount = o.loadedKeyCount;
    loadedKeys = copyKeys(o.loadedKeys, o.loadedKeyCount);
    pathLength = o.pathLength;
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
