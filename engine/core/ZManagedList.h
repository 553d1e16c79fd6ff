#pragma once

#include "ZHashTable.h"
#include "ZList.h"
#include "ZSysLock.h"

// The common shape of the reference-counted resource caches: every entry sits in the list (in
// order of creation) and in the name table at once, and one lock guards both. The destructor
// deletes no entry: the owner frees them first.
template <class Entry>
class ZManagedList : public ZList<Entry> {
public:
    ZManagedList() {
        m_prefix[0] = 0;
        m_key[0] = 0;
    }

protected:
    ZSysLock m_lock;
    bool m_prefixSet = false;
    char m_prefix[260];
    char m_key[260];
    ZHashTable m_names;
};
