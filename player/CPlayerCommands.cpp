#include <strings.h>

#include <cstdio>
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

void CPlayer::growSceneCommands(CSceneState* state) {
    // Doubling keeps a long game's recording linear; the new room is zero-filled.
    int64_t capacity = state->commandCapacity > 0 ? state->commandCapacity * 2 : 8;
    CSceneCommand* grown = new CSceneCommand[capacity]();
    if (state->commandCount > 0)
        memcpy(grown, state->commands,
               static_cast<size_t>(state->commandCount) * sizeof(CSceneCommand));
    delete[] state->commands;
    state->commands = grown;
    state->commandCapacity = capacity;
}

void CPlayer::addSceneCommand(CScene* scene, long type, long w1, long w2, long w3, long w4, long w5,
                              const char* t1, float f1, float f2, const char* t2, const char* t3,
                              const char* t4) {
    if (!scene) return;
    CSceneState* state = getSceneStateByName(scene->name, false);
    if (!state) return;
    if (state->commandCount >= state->commandCapacity) growSceneCommands(state);
    CSceneCommand& c = state->commands[state->commandCount++];
    memset(&c, 0, sizeof(c));
    c.type = type;
    const long words[5] = {w1, w2, w3, w4, w5};
    for (int i = 0; i < 5; i++) c.words[i] = words[i];
    if (t1) {
        snprintf(c.texts[0], sizeof(c.texts[0]), "%s", t1);
    } else {
        c.setFloat(0, f1);
        c.setFloat(1, f2);
    }
    const char* rest[3] = {t2, t3, t4};
    for (int i = 0; i < 3; i++)
        if (rest[i]) snprintf(c.texts[i + 1], sizeof(c.texts[i + 1]), "%s", rest[i]);
}

namespace {

// Keeps, in order, the commands the filter does not drop.
template <typename Drop>
void dropCommands(CSceneState* state, Drop drop) {
    if (!state) return;
    int64_t kept = 0;
    for (int64_t i = 0; i < state->commandCount; i++) {
        if (drop(state->commands[i])) continue;
        if (kept != i) state->commands[kept] = state->commands[i];
        kept++;
    }
    if (kept < state->commandCount)
        memset(&state->commands[kept], 0,
               static_cast<size_t>(state->commandCount - kept) * sizeof(CSceneCommand));
    state->commandCount = kept;
}

}  // namespace

void CPlayer::removeSceneCommands(CScene* scene, long spriteId) {
    if (!scene) return;
    dropCommands(getSceneStateByName(scene->name, true),
                 [spriteId](const CSceneCommand& c) { return c.words[0] == spriteId; });
}

void CPlayer::removeSceneCommandsOfType(CScene* scene, long spriteId, long type) {
    if (!scene) return;
    dropCommands(getSceneStateByName(scene->name, true), [spriteId, type](const CSceneCommand& c) {
        return c.words[0] == spriteId && c.type == type;
    });
}

void CPlayer::removeSceneCommandsForSound(CScene* scene, const char* file) {
    if (!scene || !file) return;
    dropCommands(getSceneStateByName(scene->name, true), [file](const CSceneCommand& c) {
        return c.type == CSceneCommand::kLoopingSound && strcasecmp(c.texts[0], file) == 0;
    });
}

void CPlayer::replayCommands(CSceneState*) {}

void CPlayer::playRecordedLoopingSounds(CSceneState*) {}

CSprite* CPlayer::getSpriteById(CScene* scene, long id) {
    return scene ? scene->findSprite(static_cast<unsigned long>(id)) : nullptr;
}

void CPlayer::cmdApplySpriteKeys(CSprite*, CSprite*) {}

void CPlayer::cmdApplySpriteText(CSprite*, const char*) {}

void CPlayer::cmdApplySpriteTextLabel(CSprite*, const char*, const char*, const char*,
                                      const char*) {}

void CPlayer::cmdApplySpriteActionForEvent(CSprite*, long, long, const char*, const char*) {}

void CPlayer::cmdApplySpriteActionForKey(CSprite*, long, long, long, const char*) {}

void CPlayer::cmdSetSpriteScale(CSprite*, long, float, float) {}

void CPlayer::cmdPlaySoundLoop(const char*, long) {}

void CPlayer::setSpriteParent(CSprite*, CSprite*) {}

void CPlayer::cmdSetSpriteParent(CSprite*, long) {}
