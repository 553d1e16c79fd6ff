#pragma once

#include <cstdint>

// A light of the window's simple 3D mode.
struct ZWindow3dLight {
    int32_t type;  // 1 directional, any other value a point light
    float color[4];
    float position[3];
    float direction[3];
    float constantAttenuation;
    float linearAttenuation;
    float quadraticAttenuation;
};

// Face culling of the 3D mode.
enum ZWindow3dCulling {
    eZWindow3dCullNone = 0,
    eZWindow3dCullClockwise = 1,         // front faces run clockwise
    eZWindow3dCullCounterClockwise = 2,  // front faces run counter-clockwise
};
