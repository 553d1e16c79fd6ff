#include <cstring>

#include "CPlayer.h"
#include "CSceneState.h"
#include "CSpriteState.h"
#include "ZUIElement.h"

namespace {

// A copy of the count entries of the source array (zeroed without one), into dest, which is
// reallocated when the counts differ.
template <typename T>
void copyFrameArray(T*& dest, long destCount, const T* source, long count) {
    if (!dest || destCount != count) {
        delete[] dest;
        dest = new T[count]();
    }
    for (long i = 0; i < count; i++) dest[i] = source ? source[i] : T{};
}

}  // namespace

void CPlayer::cmdApplySpriteBrush(CSprite* sprite, CSprite* source) {
    if (!sprite || !source || sprite->scene != source->scene) return;
    _CBrush* oldBrush = getSpriteBrush(sprite);
    _CBrush* newBrush = getSpriteBrush(source);
    if (!oldBrush || !newBrush || sprite->brushId == source->brushId) return;
    long oldFrames = oldBrush->frameCount > 0 ? oldBrush->frameCount : 1;
    long frames = newBrush->frameCount > 0 ? newBrush->frameCount : 1;
    sprite->brushId = source->brushId;
    sprite->brushIndex = source->brushIndex;
    copyFrameArray(sprite->atlasIndexes, oldFrames, source->atlasIndexes, frames);
    copyFrameArray(sprite->atlasRegions, oldFrames, source->atlasRegions, frames);
    copyFrameArray(sprite->atlasOffsets, oldFrames, source->atlasOffsets, frames);
    // An atlas index that no frame had is none.
    if (!source->atlasIndexes)
        for (long i = 0; i < frames; i++) sprite->atlasIndexes[i] = -1;

    if (ZUIElement* old = sprite->element) {
        CScene* scene = sprite->scene;
        CSceneState* sceneState = sprite->sceneState;
        long index = old->getSiblingIndex();
        removeSprite(sprite);
        insertSprite(scene, sceneState, sprite, 0);
        if (ZUIElement* element = sprite->element) {
            while (ZUIElement* child = old->getFirstChildElement())
                child->setParentElement(element);
            delete old;
            element->moveToIndex(index);
        } else {
            delete old;
        }
        postInsertSprite(sprite);
    }
    if (updateSprite(sprite, 0, false, false)) applySpriteColor(sprite);
}
