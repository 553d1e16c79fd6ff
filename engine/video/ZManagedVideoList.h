#pragma once

#include "ZManagedList.h"
#include "ZObjectHashable.h"

// Cache of videos shared by name.
class ZManagedVideoList : public ZManagedList<ZObjectHashable> {
public:
    ZManagedVideoList();
    ~ZManagedVideoList() override;
};
