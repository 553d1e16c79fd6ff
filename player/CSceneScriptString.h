#pragma once

#include <cstdint>

#include "ZObjectListable.h"

// A text the game keeps in a scene state under an index of its choosing.
class CSceneScriptString : public ZObjectListable {
public:
    static constexpr long kTextSize = 1024;

    int64_t index = 0;
    char text[kTextSize] = {};
};
