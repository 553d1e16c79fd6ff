#pragma once

#include <cstdint>

#include "ZManagedEntry.h"
#include "ZTrueText.h"

// An entry of the outline-font cache: the lower-cased file name with the pixel height and a key
// of the caller's own, so that one font file is cached at several sizes.
class ZManagedFont : public ZManagedEntry<ZTrueText> {
public:
    int64_t pixelHeight = 0;
    int64_t extraKey = 0;
};
