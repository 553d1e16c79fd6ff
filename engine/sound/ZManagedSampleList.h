#pragma once

#include "ZManagedEntry.h"
#include "ZManagedList.h"
#include "ZObjectBase.h"

// Cache of sound samples shared by name.
// No loads yet: its entries hold a plain engine object until its kind is cached.
class ZManagedSampleList : public ZManagedList<ZManagedEntry<ZObjectBase>> {
public:
    ZManagedSampleList();
    ~ZManagedSampleList() override;
};
