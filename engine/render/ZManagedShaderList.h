#pragma once

#include "ZManagedList.h"
#include "ZObjectHashable.h"

// Cache of pixel shaders shared by name.
class ZManagedShaderList : public ZManagedList<ZObjectHashable> {
public:
    ZManagedShaderList();
    ~ZManagedShaderList() override;
};
