#pragma once

#include "ZManagedEntry.h"
#include "ZManagedList.h"
#include "ZObjectBase.h"

// Cache of outline fonts shared by name.
// No loads yet: its entries hold a plain engine object until its kind is cached.
class ZManagedFontList : public ZManagedList<ZManagedEntry<ZObjectBase>> {
public:
    ZManagedFontList();
    ~ZManagedFontList() override;
};
