#pragma once

#include "ZObjectListable.h"

class ZResourceArchive;

// A factory of one archive kind.
class ZResourceArchiveManager : public ZObjectListable {
public:
    // A new archive object, not opened yet, owned by the caller.
    virtual ZResourceArchive* createArchive() = 0;
};
