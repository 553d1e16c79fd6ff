#pragma once

#include "ZManagedList.h"
#include "ZObjectHashable.h"

// Cache of 3D models shared by name.
class ZManagedModelList : public ZManagedList<ZObjectHashable> {
public:
    ZManagedModelList();
    ~ZManagedModelList() override;
};
