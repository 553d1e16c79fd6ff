#pragma once

#include "ZManagedList.h"
#include "ZObjectHashable.h"

// Cache of outline fonts shared by name.
class ZManagedFontList : public ZManagedList<ZObjectHashable> {
public:
    ZManagedFontList();
    ~ZManagedFontList() override;
};
