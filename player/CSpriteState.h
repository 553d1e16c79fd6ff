#pragma once

#include <cstdint>

#include "ZObjectHashableLong.h"
#include "ZVector2.h"

// What a sprite keeps across removal and insertion, keyed by the sprite's id in its scene
// state. Owns its key anchor offsets and its handler block; the saved game writes the fields
// in this order.
class CSpriteState : public ZObjectHashableLong {
public:
    CSpriteState();
    ~CSpriteState() override;
    CSpriteState(const CSpriteState&) = delete;
    CSpriteState& operator=(const CSpriteState&) = delete;

    // Frees the owned arrays and gives back the single (0, 0) key anchor offset.
    void releaseOwned();

    int64_t playMode = 1;  // 0 stopped, 1 playing, 2 arrived or stopped by request
    bool visibilityOverride = false;
    bool hidden = false;
    double time = 0;
    double targetTime = -1;
    int64_t keyOffset = 0;
    int64_t currentKey = -1;
    float scaleFactorX = 1;
    float scaleFactorY = 1;
    float angleOffset = 0;
    int64_t brushFrameOffset = 0;
    ZVector2 pivotOffset{};
    ZVector2 anchorOffset{};
    ZVector2 rectOffsetTopLeft{};
    ZVector2 rectOffsetBottomRight{};
    ZVector2 dragStartAnchorOffset{};
    float lightnessFactor = 1;
    float colorFactors[4] = {1, 1, 1, 1};  // red, green, blue, opacity
    float speed = 1;
    int64_t scriptValues[4] = {};
    uint64_t keyFlags = 0;
    uint64_t reportedFlags = 0;
    double emissionDelay = 0;
    double emissionCountdown = 0;
    float emissionArcStart = 0;
    float emissionArcEnd = 360;
    bool firstUpdate = true;
    bool inContainer = false;
    bool isCursor = false;
    bool isSecondaryCursor = false;
    bool dragging = false;
    bool carryMode = false;
    bool videoPaused = false;
    bool inputDisabled = false;
    ZVector2 dragStartPointer{};
    char dragName[100] = {};
    float color[4] = {1, 1, 1, 1};
    float lightness = 1;
    float effectiveColor[4] = {};
    float effectiveLightness = 0;
    int64_t handlerBlockSize = 0;  // bytes, a multiple of 4
    int64_t keyAnchorOffsetCount = 1;
    ZVector2* keyAnchorOffsets = nullptr;   // keyAnchorOffsetCount entries
    unsigned char* handlerBlock = nullptr;  // handlerBlockSize bytes
};
