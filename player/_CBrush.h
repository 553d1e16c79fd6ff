#pragma once

#include "CCollisionShape.h"
#include "CEmitterBehavior.h"
#include "ZGraphic.h"

class ZTextFace;
class ZVideo;

// What a sprite looks like: a texture region, a frame strip, a font, a video or an emitter. Owns
// its collision shape slots; font and video are set and released by the scene's loading.
struct _CBrush {
    static constexpr long kShapesPerFrame = 10;

    unsigned long id;
    char name[100];
    char textureName[100];
    long mode;  // 0 plain, 1 stretched, 2 tile, 3 hslide, 4 vslide, 5 stretchedsides, 6 reversetile
    long fontHeight;
    long fontBaseline;
    bool transparent;
    bool video;
    bool loopVideo;
    bool noAutoplayVideo;
    bool alwaysTrue;
    eTazelAlphaOp srcAlphaOp;
    eTazelAlphaOp dstAlphaOp;
    float texSrcX1, texSrcY1, texSrcX2, texSrcY2;
    float pivotX, pivotY;
    float stretchX1, stretchY1, stretchX2, stretchY2;
    float animRate;
    unsigned long animFlags;
    long frameCount;                             // at least 1
    CCollisionShape (*shapes)[kShapesPerFrame];  // frameCount tables of ten
    long particleCount;
    long emitterPeriod;
    float emitterSpeedMul;
    unsigned long flags;
    int emissionShape;
    float enableRadius;
    float emitMinRadius, emitMaxRadius, emitMinRadius2, emitMaxRadius2;
    CEmitterBehavior behavior;
    double videoStartTime;  // -1 none
    ZTextFace* font;
    ZVideo* videoPlayer;

    // Frees the shape tables and leaves the record cleared.
    void release();
};
