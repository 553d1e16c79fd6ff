#pragma once

#include "ZVector2.h"

// One key frame of a sprite's track; the same record carries an interpolated key. The action
// parameters are owned: copy keys with copyFrom, free them with release.
struct CSpriteKey {
    long index;  // -1 in stored keys
    float time;
    ZVector2 anchor;
    ZVector2 ctrl1;
    ZVector2 ctrl2;
    float rectX1, rectY1, rectX2, rectY2;
    ZVector2 quadOffsets[4];
    float scaleX, scaleY;
    float shearX, shearY;
    float angle;
    float r, g, b, a;
    float lightness;
    bool emitParticles;
    bool clickable;
    unsigned long flags;
    long minBrushFrame, maxBrushFrame, startBrushFrame;
    long brushAnimMode;   // 0 forward, 1 backward, 2 ping-pong
    float brushAnimRate;  // -1 the brush's
    long actionType[2];
    char* actionParam[2];

    // Takes the other key's values with copies of its parameter texts (this key's own are freed).
    void copyFrom(const CSpriteKey& other);
    void release();
};
