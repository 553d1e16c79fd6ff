#pragma once

#include "ZObjectListable.h"

// A scene waiting for its background load, with the layer it goes into when ready (-1 none,
// -2 kept loaded and hidden).
class CQueuedLoad : public ZObjectListable {
public:
    char name[100] = {};
    long layer = -1;
};
