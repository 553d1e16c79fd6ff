#include "ZHashTable.h"

#include <cstdint>
#include <cstring>

namespace {

// Only 'A' to 'Z' fold, whatever the C locale, so buckets are the same on every machine.
unsigned char asciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(const char* a, const char* b) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (; *p && asciiLower(*p) == asciiLower(*q); ++p, ++q) {
    }
    return asciiLower(*p) == asciiLower(*q);
}

}  // namespace

long ZHashTable::hashCompute(const char* key) {
    uint32_t h = 0;
    if (key) {
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p; ++p) {
            h = h * 31u + asciiLower(*p);
        }
    }
    return static_cast<long>(h & static_cast<uint32_t>(kBucketCount - 1));
}

void ZHashTable::hashInsert(ZObjectHashable* entry) {
    long bucket = hashCompute(entry->hashKey);
    entry->hashBucket = bucket;
    entry->hashNext = buckets[bucket];
    buckets[bucket] = entry;
}

void ZHashTable::hashInsertAfter(ZObjectHashable* entry) {
    long bucket = hashCompute(entry->hashKey);
    entry->hashBucket = bucket;
    entry->hashNext = nullptr;
    ZObjectHashable** link = &buckets[bucket];
    while (*link) link = &(*link)->hashNext;
    *link = entry;
}

void ZHashTable::hashRemove(ZObjectHashable* entry) {
    // The bucket is -1 for an entry that was never inserted; read nothing outside the table.
    if (!entry || entry->hashBucket < 0 || entry->hashBucket >= kBucketCount) return;
    for (ZObjectHashable** link = &buckets[entry->hashBucket]; *link; link = &(*link)->hashNext) {
        if (*link == entry) {
            *link = entry->hashNext;
            entry->hashNext = nullptr;
            return;
        }
    }
}

ZObjectHashable* ZHashTable::hashFind(const char* key) const {
    if (!key) return nullptr;
    for (ZObjectHashable* e = buckets[hashCompute(key)]; e; e = e->hashNext) {
        if (e->hashKey && std::strcmp(e->hashKey, key) == 0) return e;
    }
    return nullptr;
}

ZObjectHashable* ZHashTable::hashFindNoCase(const char* key) const {
    if (!key) return nullptr;
    for (ZObjectHashable* e = buckets[hashCompute(key)]; e; e = e->hashNext) {
        if (e->hashKey && equalsNoCase(e->hashKey, key)) return e;
    }
    return nullptr;
}
