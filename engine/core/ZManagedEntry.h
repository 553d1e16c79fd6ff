#pragma once

#include <cstdint>

#include "ZObjectHashable.h"

// One entry of a resource cache: the lower-cased name it is filed under (also its hash key), the
// number of users holding it and the cached object. Deleting an entry never deletes the object:
// the cache deletes the object, then the entry.
template <class Object>
class ZManagedEntry : public ZObjectHashable {
public:
    typedef Object ObjectType;
    // Names, keys and paths of the caches: at most 259 characters and the NUL.
    static constexpr long kNameSize = 260;

    char name[kNameSize];
    int64_t count = 0;
    Object* object = nullptr;

    ZManagedEntry() {
        name[0] = 0;
        setHashKey(name);
    }
    ZManagedEntry(const ZManagedEntry&) = delete;
    ZManagedEntry& operator=(const ZManagedEntry&) = delete;
};
