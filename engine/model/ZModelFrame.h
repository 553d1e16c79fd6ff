#pragma once

#include <vector>

#include "ZVector3.h"

// One frame of a model: the vertex positions and the normals computed from them.
struct ZModelFrame {
    std::vector<ZVector3> positions;      // per vertex
    std::vector<ZVector3> smoothed[4];    // per vertex, one array per normal set
    std::vector<ZVector3> faceNormals;    // per triangle
    std::vector<ZVector3> cornerNormals;  // corner k of triangle t at t * 3 + k
};
