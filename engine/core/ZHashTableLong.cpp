#include "ZHashTableLong.h"

void ZHashTableLong::hashInsert(ZObjectHashableLong* entry) {
    long bucket = hashCompute(entry->hashKey);
    entry->hashBucket = bucket;
    entry->hashNext = buckets[bucket];
    buckets[bucket] = entry;
}

void ZHashTableLong::hashRemove(ZObjectHashableLong* entry) {
    // The bucket is -1 for an entry that was never inserted; read nothing outside the table.
    if (!entry || entry->hashBucket < 0 || entry->hashBucket >= kBucketCount) return;
    for (ZObjectHashableLong** link = &buckets[entry->hashBucket]; *link;
         link = &(*link)->hashNext) {
        if (*link == entry) {
            *link = entry->hashNext;
            entry->hashNext = nullptr;
            return;
        }
    }
}

ZObjectHashableLong* ZHashTableLong::hashFind(long key) const {
    for (ZObjectHashableLong* e = buckets[hashCompute(key)]; e; e = e->hashNext) {
        if (e->hashKey == key) return e;
    }
    return nullptr;
}
