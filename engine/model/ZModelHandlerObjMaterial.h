#pragma once

#include "ZObjectListable.h"

// A material of an MTL library as read, before it becomes a model material.
class ZModelHandlerObjMaterial : public ZObjectListable {
public:
    char name[256] = {0};
    float ambient[3] = {0, 0, 0};
    float diffuse[3] = {1, 1, 1};
    float specular[3] = {1, 1, 1};
    float opacity = 1;
    char colorMap[260] = {0};
    char alphaMap[260] = {0};
};
