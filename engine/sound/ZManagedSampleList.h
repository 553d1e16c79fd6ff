#pragma once

#include "ZManagedList.h"
#include "ZObjectHashable.h"

// Cache of sound samples shared by name.
class ZManagedSampleList : public ZManagedList<ZObjectHashable> {
public:
    ZManagedSampleList();
    ~ZManagedSampleList() override;
};
