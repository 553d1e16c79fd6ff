#pragma once

#include "ZManagedEntry.h"
#include "ZManagedList.h"
#include "ZObjectBase.h"

// Cache of 3D models shared by name.
// No loads yet: its entries hold a plain engine object until its kind is cached.
class ZManagedModelList : public ZManagedList<ZManagedEntry<ZObjectBase>> {
public:
    ZManagedModelList();
    ~ZManagedModelList() override;
};
