#pragma once

#include "ZObjectBase.h"
#include "ZObjectHashableLong.h"

// Fixed table of 64 chained buckets over integer-keyed entries; the bucket is the key's low six
// bits (two's complement, so -1 lands in bucket 63). Allocates nothing and frees nothing.
class ZHashTableLong : public ZObjectBase {
public:
    static constexpr long kBucketCount = 64;

    ZObjectHashableLong* buckets[kBucketCount] = {};

    ZHashTableLong() = default;
    // A copy would share chains whose links point into the original.
    ZHashTableLong(const ZHashTableLong&) = delete;
    ZHashTableLong& operator=(const ZHashTableLong&) = delete;

    static long hashCompute(long key) {
        return static_cast<long>(static_cast<unsigned long>(key) &
                                 static_cast<unsigned long>(kBucketCount - 1));
    }

    // Pushes the entry at the head of its chain, so the newest of equal keys is found first.
    void hashInsert(ZObjectHashableLong* entry);
    // Unlinks the entry from the chain of the bucket it was inserted under; an entry not in that
    // chain (never inserted, or already removed) leaves the table unchanged.
    void hashRemove(ZObjectHashableLong* entry);
    // First entry with this key, or null.
    ZObjectHashableLong* hashFind(long key) const;
};
