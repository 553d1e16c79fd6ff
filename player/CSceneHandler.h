#pragma once

#include <cstdint>

#include "ZObjectListable.h"

class CPlayer;
class CScene;
class CSprite;
struct ZEvent;

// The methods that CPlayer::callSceneHandlers dispatches, by number.
enum CSceneHandlerMethod {
    eSceneHandlerReset = 0,
    eSceneHandlerMove = 1,
    eSceneHandlerEnterScene = 2,
    eSceneHandlerLeaveScene = 3,
    eSceneHandlerNewFlagsUnderCursor = 4,
    eSceneHandlerSpriteEnter = 5,
    eSceneHandlerSpriteLeave = 6,
    eSceneHandlerSpriteDown = 7,
    eSceneHandlerSpriteUp = 8,
    eSceneHandlerSpriteDuplicated = 9,
    eSceneHandlerNewSpriteFlags = 10,
    eSceneHandlerUserEvent = 11,
    eSceneHandlerDropEvent = 12,
    eSceneHandlerDropAccepted = 13,
    eSceneHandlerDropFail = 14,
    eSceneHandlerNewSpriteUnderCursor = 15,
    eSceneHandlerSysEvent = 16,
    eSceneHandlerSpritePlayToTime = 17,
    eSceneHandlerSpriteStartHover = 18,
    eSceneHandlerSpriteEndHover = 19,
};

// The game's code for scenes that it names by name and flags: told of entries, exits, the
// frame's move, what lies under the cursor and the scenes' events. Registered once with the
// player, which does not own it.
class CSceneHandler : public ZObjectListable {
public:
    CSceneHandler();
    ~CSceneHandler() override;

    virtual uint64_t getHandledSceneFlags();
    // "*" for every scene.
    virtual const char* getHandledSceneName();
    virtual void selectSkinForScene(CScene* scene);
    virtual void onReset();
    virtual void move(double frameTime);
    virtual void onEnterScene(const char* sceneName);
    virtual void onLeaveScene(const char* sceneName);
    virtual void onNewFlagsUnderCursor(unsigned long flags);
    virtual void onNewSpriteUnderCursor(CSprite* sprite);
    virtual void onSpriteEnter(CSprite* sprite);
    virtual void onSpriteLeave(CSprite* sprite);
    virtual void onSpriteDown(CSprite* sprite);
    virtual void onSpriteUp(CSprite* sprite);
    virtual void onSpritePlayToTime(CSprite* sprite, double time);
    virtual void onSpriteStartHover(CSprite* sprite, CSprite* other);
    virtual void onSpriteEndHover(CSprite* sprite, CSprite* other);
    virtual void onSpriteDuplicated(CSprite* copy, CSprite* source, long value);
    virtual void onNewSpriteFlags(CSprite* sprite, unsigned long flags);
    virtual void onUserEvent(const char* name);
    virtual void onDropEvent(const char* name, CSprite* sprite);
    virtual void onDropAccepted(const char* name, CSprite* sprite);
    virtual void onDropFail(const char* name, CSprite* sprite);
    virtual void onSysEvent(ZEvent* event);
    virtual long getStateSize() = 0;
    virtual void* getStateData() = 0;
    virtual void onStateSet();

    // Bit n set while method n has reached this handler in the current dispatch.
    uint64_t calledMask = 0;
    CPlayer* player;
};
