#pragma once

#include "ZObjectListable.h"

// A named text value of the game, kept across scenes and in saved games.
class CGlobalVariable : public ZObjectListable {
public:
    static constexpr long kNameSize = 100;
    static constexpr long kValueSize = 1024;

    char name[kNameSize] = {};
    char value[kValueSize] = {};
};
