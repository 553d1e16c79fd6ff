#pragma once

#include "ZVector2.h"

// One cubic segment of a ZBezier path, with its arc-length table: entry k is the length from
// the start of the whole path to parameter t = k/79 of this segment.
struct ZBezierSegment {
    static const int kTableSize = 80;

    ZVector2 p0;  // start
    ZVector2 p1;  // first control
    ZVector2 p2;  // second control
    ZVector2 p3;  // end
    float lengthTable[kTableSize];
};
