#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "CGame.h"
#include "CPlayer.h"
#include "CSceneCommand.h"
#include "ZUIElement.h"

// The sprite operations the game calls: lookups, values, drawing order and recorded changes.

namespace {

const long kSpriteScriptValues = 4;

CSprite* findChild(CSprite* sprite, const char* name) {
    for (CSprite* child = sprite->firstChild; child; child = child->nextSibling) {
        if (strcmp(child->name, name) == 0) return child;
        if (CSprite* found = findChild(child, name)) return found;
    }
    return nullptr;
}

}  // namespace

CSprite* CPlayer::getSpriteByName(CScene* scene, const char* name) {
    if (!scene || !name) return nullptr;
    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite))
        if (strcmp(sprite->name, name) == 0) return sprite;
    return nullptr;
}

CSprite* CPlayer::getSpriteByNameNoCase(CScene* scene, const char* name) {
    if (!scene || !name) return nullptr;
    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite))
        if (strcasecmp(sprite->name, name) == 0) return sprite;
    return nullptr;
}

CSprite* CPlayer::getSpriteByNameF(CScene* scene, const char* format, ...) {
    if (!format) return nullptr;
    char name[sizeof(CSprite::name)];
    va_list args;
    va_start(args, format);
    vsnprintf(name, sizeof(name), format, args);
    va_end(args);
    return getSpriteByName(scene, name);
}

CSprite* CPlayer::getChildSpriteByName(CSprite* sprite, const char* name) {
    if (!sprite || !name) return nullptr;
    return findChild(sprite, name);
}

CSprite* CPlayer::getChildSpriteByNameF(CSprite* sprite, const char* format, ...) {
    if (!format) return nullptr;
    char name[sizeof(CSprite::name)];
    va_list args;
    va_start(args, format);
    vsnprintf(name, sizeof(name), format, args);
    va_end(args);
    return getChildSpriteByName(sprite, name);
}

const char* CPlayer::getSpriteName(CSprite* sprite) {
    return sprite ? sprite->name : "";
}

long CPlayer::getSpriteId(CSprite* sprite) {
    return sprite ? static_cast<long>(sprite->id) : 0;
}

long CPlayer::getSpriteGameFlagsInt(CSprite* sprite) {
    if (!sprite) return 0;
    uint64_t flags = sprite->gameFlags;
    if (sprite->state) flags |= sprite->state->keyFlags;
    return static_cast<long>(flags);
}

const char* CPlayer::getSpriteGameFlags(CSprite* sprite) {
    return getStringForFlags(static_cast<uint64_t>(getSpriteGameFlagsInt(sprite)));
}

const char* CPlayer::getSpriteGameValue(CSprite* sprite, long index) {
    if (!sprite || index < 1 || index > kSpriteScriptValues) return "";
    return sprite->gameValues[index - 1];
}

long CPlayer::getSpriteScriptValue(CSprite* sprite, long index) {
    if (!sprite || !sprite->state || index < 1 || index > kSpriteScriptValues) return 0;
    return static_cast<long>(sprite->state->scriptValues[index - 1]);
}

void CPlayer::setSpriteScriptValue(CSprite* sprite, long index, long value) {
    if (!sprite || !sprite->state || index < 1 || index > kSpriteScriptValues) return;
    sprite->state->scriptValues[index - 1] = value;
}

void CPlayer::setSpriteScale(CSprite* sprite, long key, float x, float y) {
    if (!sprite || !sprite->state || !sprite->scene || !sprite->sceneState) return;
    long id = static_cast<long>(sprite->id);
    removeSceneCommandsOfType(sprite->scene, id, CSceneCommand::kScale);
    addSceneCommand(sprite->scene, CSceneCommand::kScale, id, key, 0, 0, 0, nullptr, x, y, nullptr,
                    nullptr, nullptr);
    cmdSetSpriteScale(sprite, key, x, y);
}

void CPlayer::moveSpriteInOrder(CSprite* sprite, long type, CSprite* sibling, bool replace) {
    if (!sprite || !sprite->state || !sprite->element) return;
    if (sibling && (!sibling->state || !sibling->element)) return;
    long id = static_cast<long>(sprite->id);
    if (replace)
        for (long t : {CSceneCommand::kToBack, CSceneCommand::kToFront,
                       CSceneCommand::kBehindSibling, CSceneCommand::kInFrontOfSibling})
            removeSceneCommandsOfType(sprite->scene, id, t);
    moveSpriteElement(sprite, type, sibling);
    addSceneCommand(sprite->scene, type, id, sibling ? static_cast<long>(sibling->id) : 0, 0, 0, 0,
                    nullptr, 0, 0, nullptr, nullptr, nullptr);
}

void CPlayer::moveSpriteToFront(CSprite* sprite, bool replace) {
    moveSpriteInOrder(sprite, CSceneCommand::kToFront, nullptr, replace);
}

void CPlayer::moveSpriteToBack(CSprite* sprite, bool replace) {
    moveSpriteInOrder(sprite, CSceneCommand::kToBack, nullptr, replace);
}

void CPlayer::moveSpriteBehindSibling(CSprite* sprite, CSprite* sibling, bool replace) {
    if (sibling) moveSpriteInOrder(sprite, CSceneCommand::kBehindSibling, sibling, replace);
}

void CPlayer::moveSpriteInFrontOfSibling(CSprite* sprite, CSprite* sibling, bool replace) {
    if (sibling) moveSpriteInOrder(sprite, CSceneCommand::kInFrontOfSibling, sibling, replace);
}

void CPlayer::doCustomSpriteCommand(CSprite* sprite, long a, long b, const char* text,
                                    bool replace) {
    if (!sprite || !sprite->state) return;
    if (!text) text = "";
    long id = static_cast<long>(sprite->id);
    if (replace) removeCustomSceneCommands(sprite->scene, id, a);
    // Recorded before the game runs it: the game's command may take the sprite away.
    addSceneCommand(sprite->scene, CSceneCommand::kCustom, id, a, b, 0, 0, text, 0, 0, nullptr,
                    nullptr, nullptr);
    CGame::doCustomSpriteCommand(sprite, a, b, text);
}

void CPlayer::applySpriteKeys(CSprite* sprite, CSprite* source) {
    if (!sprite || !source || !source->scene) return;
    cmdApplySpriteKeys(sprite, source);
    addSceneCommand(sprite->scene, CSceneCommand::kKeys, static_cast<long>(sprite->id),
                    static_cast<long>(source->id), 0, 0, 0, source->scene->name, 0, 0, nullptr,
                    nullptr, nullptr);
}

void CPlayer::applySpriteActionForEvent(CSprite* sprite, long slot, long type, const char* param,
                                        const char* extra) {
    if (!sprite || !sprite->state) return;
    cmdApplySpriteActionForEvent(sprite, slot, type, param, extra);
    addSceneCommand(sprite->scene, CSceneCommand::kEventAction, static_cast<long>(sprite->id), slot,
                    type, 0, 0, param ? param : "", 0, 0, extra, nullptr, nullptr);
}

void CPlayer::applySpriteActionForKey(CSprite* sprite, long key, long which, long type,
                                      const char* param) {
    if (!sprite || !sprite->state) return;
    cmdApplySpriteActionForKey(sprite, key, which, type, param);
    addSceneCommand(sprite->scene, CSceneCommand::kKeyAction, static_cast<long>(sprite->id), key,
                    which, type, 0, param ? param : "", 0, 0, nullptr, nullptr, nullptr);
}

bool CPlayer::doesSpriteUserEventContain(CSprite* sprite, long index, const char* name) {
    if (!sprite || !name || index < 0 || index >= CSprite::kUserEvents) return false;
    const char* names = sprite->userEventNames[index];
    if (!names || !names[0]) return false;
    // Only the first 511 characters of a name list count.
    char cut[512];
    snprintf(cut, sizeof(cut), "%s", names);
    return userEventNamesMatch(cut, "", name);
}

void CPlayer::executeScriptForSprite(CSprite*, const char*) {}

void CPlayer::setTouchDragOffset(ZVector2 offset, bool enabled) {
    m_touchDragOffset = offset;
    m_touchDragOffsetEnabled = enabled;
}

ZVector2 CPlayer::getTouchDragOffsetForSprite(CSprite* sprite) {
    if (!m_touchMode || !m_touchDragOffsetEnabled) return ZVector2{0, 0};
    ZVector2 offset = m_touchDragOffset;
    if (sprite) CGame::getTouchDragOffset(sprite, offset);
    return offset;
}
