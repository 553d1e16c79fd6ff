#include <strings.h>

#include <cstdio>
#include <cstring>

#include "CGame.h"
#include "CPlayer.h"
#include "CSceneState.h"
#include "CSpriteState.h"
#include "CTextFormat.h"
#include "ZUIElement.h"
#include "ZUIRichText.h"

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

void CPlayer::removeCustomSceneCommands(CScene* scene, long spriteId, long a) {
    if (!scene) return;
    dropCommands(getSceneStateByName(scene->name, true), [spriteId, a](const CSceneCommand& c) {
        return c.type == CSceneCommand::kCustom && c.words[0] == spriteId && c.words[1] == a;
    });
}

void CPlayer::removeSceneCommandsForSound(CScene* scene, const char* file) {
    if (!scene || !file) return;
    dropCommands(getSceneStateByName(scene->name, true), [file](const CSceneCommand& c) {
        return c.type == CSceneCommand::kLoopingSound && strcasecmp(c.texts[0], file) == 0;
    });
}

void CPlayer::replayCommands(CSceneState* state) {
    if (!state || state->commandCount <= 0 || !state->commands) return;
    // Commands run here may record others and grow the array: the pass walks a copy.
    const int64_t count = state->commandCount;
    CSceneCommand* copy = new CSceneCommand[count];
    memcpy(copy, state->commands, static_cast<size_t>(count) * sizeof(CSceneCommand));
    char sceneName[sizeof(state->name)];
    snprintf(sceneName, sizeof(sceneName), "%s", state->name);
    for (int64_t i = 0; i < count; i++) {
        // A command may free scenes or states: the scene is looked up again for every record.
        CScene* scene = findLoadedScene(sceneName);
        if (!scene) break;
        replayCommand(scene, copy[i]);
    }
    delete[] copy;
}

void CPlayer::replayCommand(CScene* scene, const CSceneCommand& c) {
    // Records come back from saved games too: their texts are read as at most 99 characters.
    char t[4][CSceneCommand::kTextSize];
    for (int i = 0; i < 4; i++)
        snprintf(t[i], sizeof(t[i]), "%.*s", static_cast<int>(sizeof(t[i]) - 1), c.texts[i]);
    const long w1 = static_cast<long>(c.words[0]), w2 = static_cast<long>(c.words[1]);
    const long w3 = static_cast<long>(c.words[2]), w4 = static_cast<long>(c.words[3]);
    const long w5 = static_cast<long>(c.words[4]);

    if (c.type == CSceneCommand::kLoopingSound) {
        cmdPlaySoundLoop(t[0], w2);
        return;
    }
    if (c.type == CSceneCommand::kDuplicate) {
        CSprite* source = getSpriteById(scene, w2);
        CSprite* parent = w3 != 0 ? getSpriteById(scene, w3) : nullptr;
        // A copy of that id already in the scene is not made twice.
        if (!source || (w3 != 0 && !parent) || w1 == 0 || getSpriteById(scene, w1)) return;
        cmdDuplicateSprite(source, parent, w4 != 0, static_cast<unsigned long>(w1), t[0], w5, t[1]);
        return;
    }
    CSprite* sprite = getSpriteById(scene, w1);
    if (!sprite) return;
    switch (c.type) {
        case CSceneCommand::kKeys:
            cmdApplySpriteKeys(sprite, getSpriteById(findLoadedScene(t[0]), w2));
            break;
        case CSceneCommand::kBrush:
            cmdApplySpriteBrush(sprite, getSpriteById(scene, w2));
            break;
        case CSceneCommand::kToBack:
        case CSceneCommand::kToFront:
            moveSpriteElement(sprite, static_cast<long>(c.type), nullptr);
            break;
        case CSceneCommand::kBehindSibling:
        case CSceneCommand::kInFrontOfSibling:
            moveSpriteElement(sprite, static_cast<long>(c.type), getSpriteById(scene, w2));
            break;
        case CSceneCommand::kText:
            cmdApplySpriteText(sprite, t[0]);
            break;
        case CSceneCommand::kEventAction:
            // The record cannot tell "names unchanged" from "names cleared": an empty text
            // leaves the names as they are.
            cmdApplySpriteActionForEvent(sprite, w2, w3, t[0], t[1][0] ? t[1] : nullptr);
            break;
        case CSceneCommand::kKeyAction:
            cmdApplySpriteActionForKey(sprite, w2, w3, w4, t[0]);
            break;
        case CSceneCommand::kCustom:
            if (sprite->state) CGame::doCustomSpriteCommand(sprite, w2, w3, t[0]);
            break;
        case CSceneCommand::kScale:
            cmdSetSpriteScale(sprite, w2, c.getFloat(0), c.getFloat(1));
            break;
        case CSceneCommand::kParent:
            cmdSetSpriteParent(sprite, w2);
            break;
        case CSceneCommand::kTextLabel:
            cmdApplySpriteTextLabel(sprite, t[0], t[1], t[2], t[3]);
            break;
        default:
            break;
    }
}

void CPlayer::playRecordedLoopingSounds(CSceneState* state) {
    if (!state) return;
    for (int64_t i = 0; i < state->commandCount; i++) {
        const CSceneCommand& c = state->commands[i];
        if (c.type != CSceneCommand::kLoopingSound) continue;
        char file[CSceneCommand::kTextSize];
        snprintf(file, sizeof(file), "%.*s", static_cast<int>(sizeof(file) - 1), c.texts[0]);
        cmdPlaySoundLoop(file, static_cast<long>(c.words[1]));
    }
}

CSprite* CPlayer::getSpriteById(CScene* scene, long id) {
    return scene ? scene->findSprite(static_cast<unsigned long>(id)) : nullptr;
}

void CPlayer::replaceSpriteKeys(CSprite* sprite, const CSpriteKey* keys, long count) {
    if (!sprite || keys == sprite->keys) return;
    if (count < 0 || !keys) count = 0;
    CSpriteKey* copy = count > 0 ? new CSpriteKey[count]() : nullptr;
    for (long i = 0; i < count; i++) copy[i].copyFrom(keys[i]);
    for (long i = 0; i < sprite->keyCount && sprite->keys; i++) sprite->keys[i].release();
    delete[] sprite->keys;
    sprite->keys = copy;
    sprite->keyCount = count;
}

void CPlayer::cmdApplySpriteKeys(CSprite* sprite, CSprite* source) {
    if (!sprite || !sprite->state || !source || !source->state || !source->scene) return;
    // A sprite keeps at least one key: everything that places it reads the first.
    if (source->keyCount < 1 || !source->keys || source == sprite) return;
    if (sprite->loadedKeyCount > 0 && source->loadedKeyCount > 0) {
        const ZVector2& own = sprite->loadedKeys[0].anchor;
        const ZVector2& other = source->loadedKeys[0].anchor;
        sprite->state->anchorOffset = {own.x - other.x, own.y - other.y};
    }
    replaceSpriteKeys(sprite, source->keys, source->keyCount);
    if (sprite->state->currentKey >= sprite->keyCount) sprite->state->currentKey = -1;
    updateSpriteBezier(sprite);
    if (updateSprite(sprite, 0, false, false)) applySpriteColor(sprite);
}

void CPlayer::cmdApplySpriteText(CSprite* sprite, const char* text) {
    if (!sprite) return;
    if (ZUIRichText* element = ZUIRichText::isRichText(sprite->element))
        element->setText(text ? text : "");
}

void CPlayer::cmdApplySpriteTextLabel(CSprite* sprite, const char* label, const char* a1,
                                      const char* a2, const char* a3) {
    if (!sprite) return;
    ZUIRichText* element = ZUIRichText::isRichText(sprite->element);
    if (!element) return;
    if (!label) label = "";
    const char* found = label[0] ? getString(label) : nullptr;
    // The format comes from a data file: only its own placeholders are filled, never printf's.
    const CTextFormat::Arg args[] = {CTextFormat::Arg::of(a1), CTextFormat::Arg::of(a2),
                                     CTextFormat::Arg::of(a3)};
    char text[2048];
    CTextFormat::format(text, sizeof(text), found ? found : label, args, 3);
    element->setText(text);
}

void CPlayer::cmdApplySpriteActionForEvent(CSprite* sprite, long slot, long type,
                                           const char* parameter, const char* names) {
    if (!sprite || !sprite->state || slot < 0 || slot >= CSprite::kEventSlots) return;
    sprite->eventActionType[slot] = type;
    delete[] sprite->eventActionParam[slot];
    sprite->eventActionParam[slot] = type != 0 ? allocCopyString(parameter) : nullptr;

    long index = -1;
    for (long i = 0; i < CSprite::kUserEvents && index < 0; i++)
        if (userEventSlot(i) == slot) index = i;
    bool broadcast = slot == 16 || slot == 17;
    if (index < 0 && !broadcast) return;
    if (index >= 0 && names) {
        delete[] sprite->userEventNames[index];
        sprite->userEventNames[index] = allocCopyString(names);
    }
    // The sprite's listeners are made again from its slots and names as they are now; only a
    // sprite in a scene's tree listens.
    if (sprite->element) {
        unregisterSpriteForEvents(sprite);
        registerSpriteForEvents(sprite);
    }
}

void CPlayer::cmdApplySpriteActionForKey(CSprite* sprite, long key, long which, long type,
                                         const char* parameter) {
    if (!sprite || !sprite->state || key < 0 || key >= sprite->keyCount || which < 0 || which > 1)
        return;
    CSpriteKey& k = sprite->keys[key];
    k.actionType[which] = type;
    delete[] k.actionParam[which];
    k.actionParam[which] = type != 0 ? allocCopyString(parameter) : nullptr;
}

void CPlayer::cmdSetSpriteScale(CSprite* sprite, long key, float x, float y) {
    if (!sprite || key < 0 || key >= sprite->keyCount) return;
    sprite->keys[key].scaleX = x;
    sprite->keys[key].scaleY = y;
}

void CPlayer::cmdPlaySoundLoop(const char* file, long volume) {
    if (!file || !file[0] || isSoundPlaying(file)) return;
    playSound(file, true, volume);
}

void CPlayer::setSpriteParent(CSprite* sprite, CSprite* parent) {
    if (!sprite || !sprite->state || !sprite->scene || !parent || !parent->state) return;
    long id = static_cast<long>(sprite->id);
    removeSceneCommandsOfType(sprite->scene, id, CSceneCommand::kParent);
    addSceneCommand(sprite->scene, CSceneCommand::kParent, id, static_cast<long>(parent->id), 0, 0,
                    0, nullptr, 0, 0, nullptr, nullptr, nullptr);
    cmdSetSpriteParent(sprite, static_cast<long>(parent->id));
}

void CPlayer::cmdSetSpriteParent(CSprite* sprite, long parentId) {
    if (!sprite || !sprite->state || !sprite->scene || !sprite->element || parentId == 0) return;
    CSprite* parent = getSpriteById(sprite->scene, parentId);
    if (!parent || !parent->state || !parent->scene || !parent->element) return;
    // A sprite under itself or under one of its own descendants would make both trees loops.
    for (CSprite* up = parent; up; up = up->parent)
        if (up == sprite) return;
    for (ZUIElement* up = parent->element; up; up = up->getParentElement())
        if (up == sprite->element) return;
    sprite->element->setParentElement(parent->element);
    sprite->parentId = parent->id;
    changeSpriteParentNode(sprite, parent);
}

void CPlayer::moveSpriteElement(CSprite* sprite, long type, CSprite* sibling) {
    if (!sprite || !sprite->state || !sprite->element) return;
    ZUIElement* element = sprite->element;
    switch (type) {
        case CSceneCommand::kToBack:
            element->moveToHead();
            break;
        case CSceneCommand::kToFront:
            element->moveToTail();
            break;
        case CSceneCommand::kBehindSibling:
            if (sibling && sibling->state && sibling->element)
                element->moveBeforeSibling(sibling->element);
            break;
        case CSceneCommand::kInFrontOfSibling:
            if (sibling && sibling->state && sibling->element)
                element->moveAfterSibling(sibling->element);
            break;
        default:
            break;
    }
}
