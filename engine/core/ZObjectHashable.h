#pragma once

#include "ZObjectListable.h"

// An entry of one ZHashTable, keyed by a string it does not copy: the text must outlive the
// entry's time in the table. Being listable, the same object can also sit in one ZList.
class ZObjectHashable : public ZObjectListable {
public:
    const char* hashKey = nullptr;
    ZObjectHashable* hashNext = nullptr;
    // Bucket the entry was inserted under, kept so removal does not depend on the current key;
    // -1 until first inserted.
    long hashBucket = -1;

    // Set before inserting: changing the key of an inserted entry leaves it in its old bucket.
    void setHashKey(const char* key) { hashKey = key; }
};
