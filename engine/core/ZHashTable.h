#pragma once

#include "ZObjectBase.h"
#include "ZObjectHashable.h"

// Fixed table of 64 chained buckets over string-keyed entries. The chains run through the
// entries' own hashNext links, so the table never allocates, never grows and frees nothing.
// The hash folds ASCII case, so keys differing only in case always share a bucket and both exact
// and case-insensitive lookups walk a single chain.
class ZHashTable : public ZObjectBase {
public:
    static constexpr long kBucketCount = 64;

    ZObjectHashable* buckets[kBucketCount] = {};

    ZHashTable() = default;
    // A copy would share chains whose links point into the original.
    ZHashTable(const ZHashTable&) = delete;
    ZHashTable& operator=(const ZHashTable&) = delete;

    // Bucket of a key, 0 to 63. A null key is treated as empty.
    static long hashCompute(const char* key);

    // Pushes the entry at the head of its chain, so the newest of equal keys is found first.
    void hashInsert(ZObjectHashable* entry);
    // Appends the entry at the end of its chain.
    void hashInsertAfter(ZObjectHashable* entry);
    // Unlinks the entry from the chain of the bucket it was inserted under; an entry not in that
    // chain (never inserted, or already removed) leaves the table unchanged.
    void hashRemove(ZObjectHashable* entry);

    // First entry whose key equals key byte for byte, or null.
    ZObjectHashable* hashFind(const char* key) const;
    // First entry whose key equals key ignoring ASCII case, or null.
    ZObjectHashable* hashFindNoCase(const char* key) const;
};
