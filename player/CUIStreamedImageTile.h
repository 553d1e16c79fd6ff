#pragma once

#include <cstdint>

#include "ZObjectListable.h"

class ZGraphic;

// One square tile of a streamed image. It sits in at most one of the element's two lists.
class CUIStreamedImageTile : public ZObjectListable {
public:
    enum : int32_t { kAbsent = 0, kRequested = 1, kDecoded = 2, kReady = 3 };

    int32_t state = kAbsent;
    ZGraphic* graphic = nullptr;
};
