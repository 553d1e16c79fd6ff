#pragma once

#include <cstdint>

// One action as the interpreter takes it: a type (1 to 34, 0 none) and its parameter text. The
// text is borrowed from the sprite's event slot or key that holds it.
struct _CSpriteAction {
    int64_t type;
    char* param;
};
