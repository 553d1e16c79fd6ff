#pragma once

#include "CEmitterList.h"
#include "ZUIImage.h"

// The element of a particle sprite: holds the sprite's emitters, ticks them in steps of 10 ms
// scaled by a speed multiplier, switches itself off while its sprite is farther than the enable
// radius outside the screen, and draws the particles with its colour, lightness and blend. It
// draws no image of its own.
class CUIEmitter : public ZUIImage {
public:
    explicit CUIEmitter(ZUIElement* parent);
    ~CUIEmitter() override;

    // The element itself when it is an emitter element, else null (also for null).
    static CUIEmitter* isUIEmitter(ZUIElement* element);

    void setEnableRadius(float radius);
    float getEnableRadius() const { return m_enableRadius; }
    void setSpeedMultiplier(float multiplier) { m_speedMultiplier = multiplier; }
    float getSpeedMultiplier() const { return m_speedMultiplier; }
    bool isEnabled() const { return m_enabled; }
    // Takes the emitter, which follows the element's local matrix as it is now.
    void addEmitter(CEmitter* emitter);
    bool hasCompleted() const { return m_emitters.count == 0; }
    void freeEmitters();
    CEmitterList& getEmitters() { return m_emitters; }

    void move() override;
    void blit(float alpha, ZMatrix* m) override;

private:
    bool m_enabled = true;
    float m_enableRadius = 0;
    float m_speedMultiplier = 1.0f;
    double m_stepAccumulator = 0;
    CEmitterList m_emitters;
};
