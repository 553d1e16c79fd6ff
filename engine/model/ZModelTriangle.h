#pragma once

#include <cstdint>

// One textured triangle of a model, shared by all its frames.
struct ZModelTriangle {
    int64_t vertex[3];  // corners 0, 1, 2 into the frames' positions
    int64_t normalSet;  // 0 to 3: the smoothed normals the corners take
    int64_t material;   // index into the model's materials
    float u[3];
    float v[3];
};
