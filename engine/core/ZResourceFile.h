#pragma once

#include "ZObjectListable.h"
#include "ZResourceStat.h"

// One open file of an archive or of the disk. The destructor closes it.
class ZResourceFile : public ZObjectListable {
public:
    virtual long seek(ZResourceWhence whence, int offset) = 0;
    virtual long tell(int& position) = 0;
    virtual long read(void* buffer, unsigned long count) = 0;
    // Archives are read-only.
    virtual long write(const void*, unsigned long) { return ZResourceErrorShort; }
    virtual unsigned long readAndCount(void* buffer, unsigned long count) = 0;
    virtual unsigned long writeAndCount(const void*, unsigned long) { return 0; }
};
