#pragma once

#include "ZManagedEntry.h"
#include "ZManagedList.h"
#include "ZObjectBase.h"

// Cache of bitmap fonts shared by name.
// No loads yet: its entries hold a plain engine object until its kind is cached.
class ZManagedBitmapFontList : public ZManagedList<ZManagedEntry<ZObjectBase>> {
public:
    ZManagedBitmapFontList();
    ~ZManagedBitmapFontList() override;
};
