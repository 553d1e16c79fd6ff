#pragma once

#include "ZObjectListable.h"

// One kerning pair of a bitmap face, chained in the bucket ((second & 63) << 6) | (first & 63).
class ZTextKerningEntry : public ZObjectListable {
public:
    unsigned long first = 0;
    unsigned long second = 0;
    float amount = 0;
    ZTextKerningEntry* bucketNext = nullptr;
    long bucket = 0;
};
