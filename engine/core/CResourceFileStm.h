#pragma once

#include <cstdint>

#include "ZResourceFile.h"

class ZResource;

// One open tile of a tile archive: reads go through the archive's shared handle under the
// tile archives' lock.
class CResourceFileStm : public ZResourceFile {
public:
    CResourceFileStm(ZResource* resource, uint32_t offset, uint32_t size)
        : m_resource(resource), m_offset(offset), m_size(size) {}

    long seek(ZResourceWhence whence, int offset) override;
    long tell(int& position) override;
    long read(void* buffer, unsigned long count) override;
    unsigned long readAndCount(void* buffer, unsigned long count) override;

private:
    // Fills the buffer from the current position, moves the position by the whole count and
    // answers how many bytes were filled.
    unsigned long transfer(unsigned char* buffer, unsigned long count);

    ZResource* m_resource;
    uint32_t m_offset;
    uint32_t m_size;
    int32_t m_position = 0;
};
