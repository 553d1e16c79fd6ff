#pragma once

// A 2D point or vector. Plain aggregate: ZVector2{x, y}; left uninitialised when default-made.
struct ZVector2 {
    float x;
    float y;
};
