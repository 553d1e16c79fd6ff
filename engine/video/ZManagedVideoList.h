#pragma once

#include "ZManagedEntry.h"
#include "ZManagedList.h"
#include "ZObjectBase.h"

// Cache of videos shared by name.
// No loads yet: its entries hold a plain engine object until its kind is cached.
class ZManagedVideoList : public ZManagedList<ZManagedEntry<ZObjectBase>> {
public:
    ZManagedVideoList();
    ~ZManagedVideoList() override;
};
