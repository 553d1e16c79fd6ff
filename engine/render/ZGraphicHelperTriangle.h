#pragma once

// A triangle of three points in the plane.
struct ZGraphicHelperTriangle {
    float x1;
    float y1;
    float x2;
    float y2;
    float x3;
    float y3;
};
