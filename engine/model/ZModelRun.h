#pragma once

#include <cstdint>

// Consecutive vertices of the vertex buffer drawn with one material.
struct ZModelRun {
    int64_t first;
    int64_t count;
    int64_t material;
};
