#pragma once

#include "ZObjectListable.h"

// An entry of one ZHashTableLong, keyed by an integer. Being listable, the same object can also
// sit in one ZList.
class ZObjectHashableLong : public ZObjectListable {
public:
    long hashKey = -1;
    ZObjectHashableLong* hashNext = nullptr;
    // Bucket the entry was inserted under; -1 until first inserted.
    long hashBucket = -1;

    // Set before inserting: changing the key of an inserted entry leaves it in its old bucket.
    void setHashKey(long key) { hashKey = key; }
};
