#pragma once

#include <cstdint>

#include "ZObjectListable.h"

// One file or folder of a mounted tar archive, as its header described it.
class ZTarEntry : public ZObjectListable {
public:
    ZTarEntry() { name[0] = '\0'; }

    char name[256];
    int64_t offset = 0;            // of the data in the archive file; 0 for a folder
    int64_t size = 0;              // bytes; 0 for a folder
    int64_t modificationTime = 0;  // seconds since 1970
    bool isFolder = false;
};
