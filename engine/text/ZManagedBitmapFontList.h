#pragma once

#include "ZManagedList.h"
#include "ZObjectHashable.h"

// Cache of bitmap fonts shared by name.
class ZManagedBitmapFontList : public ZManagedList<ZObjectHashable> {
public:
    ZManagedBitmapFontList();
    ~ZManagedBitmapFontList() override;
};
