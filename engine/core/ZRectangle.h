#pragma once

// Axis-aligned rectangle: (x1, y1) top left, (x2, y2) bottom right. Nothing here normalises a
// reversed rectangle, so width and height can be negative.
struct ZRectangle {
    float x1;
    float y1;
    float x2;
    float y2;

    float width() const { return x2 - x1; }
    float height() const { return y2 - y1; }
};
