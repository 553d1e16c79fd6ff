#pragma once

#include "ZUIImage.h"

class CPlayer;
class CScene;
class CSprite;
struct ZEvent;

// The element that a sprite with a "displayhandler" key becomes: the game draws in its place,
// moves with the tree and is told of its scene's events.
class CUIDisplayHandler : public ZUIImage {
public:
    explicit CUIDisplayHandler(ZUIElement* parent);
    ~CUIDisplayHandler() override;

    void move() override {}
    void blit(float, ZMatrix*) override {}
    void blitPost(float, ZMatrix*) override {}

    // Event names it listens to, ended by a null entry.
    virtual const char** getUserEvents();
    virtual void onReset() {}
    virtual void onInsert() {}
    virtual void onRemove() {}
    virtual void onUserEvent(const char*) {}
    virtual void onDropEvent(const char*, const char*) {}
    virtual void onDropAccepted(const char*, CSprite*) {}
    virtual void onDropFail(const char*, CSprite*) {}
    virtual void onSpriteEnter(CSprite*) {}
    virtual void onSpriteLeave(CSprite*) {}
    virtual void onSpriteDown(CSprite*) {}
    virtual void onSpriteUp(CSprite*) {}
    virtual void onSpriteStartHover(CSprite*, CSprite*) {}
    virtual void onSpriteEndHover(CSprite*, CSprite*) {}
    virtual void onSysEvent(ZEvent*) {}
    virtual long getStateSize() { return 0; }
    virtual void* getStateData();
    virtual void onStateSet() {}

    CScene* getScene() const { return m_scene; }
    void setScene(CScene* scene) { m_scene = scene; }
    // The element itself when it is a display handler, else null (also for null).
    static CUIDisplayHandler* isUIDisplayHandler(ZUIElement* element);

protected:
    CPlayer* m_player;
    CScene* m_scene = nullptr;
};
