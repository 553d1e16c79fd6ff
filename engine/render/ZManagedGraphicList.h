#pragma once

#include "ZManagedList.h"
#include "ZObjectHashable.h"

// Cache of graphics shared by name.
class ZManagedGraphicList : public ZManagedList<ZObjectHashable> {
public:
    ZManagedGraphicList();
    ~ZManagedGraphicList() override;
};
