#pragma once

#include "ZVector2.h"

// One of the ten collision shape slots of a brush frame.
struct CCollisionShape {
    static constexpr long kMaxPolyPoints = 12;

    int kind;  // 0 none, 1 rectangle, 2 circle, 3 ring, 4 polygon
    unsigned long id;
    unsigned long parentId;
    long parentSlot;  // -1 none
    float rectX1, rectY1, rectX2, rectY2;
    float circleX, circleY, circleRadius;
    float ringX, ringY, ringOuterRadius, ringInnerRadius;
    long polyPointCount;  // never above kMaxPolyPoints
    ZVector2 polyPoints[kMaxPolyPoints];

    // The empty slot: no kind and the shapes' default extents.
    void reset();
};
