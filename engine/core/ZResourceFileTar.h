#pragma once

#include <cstdint>

#include "ZResourceFile.h"

// One open entry of a tar archive. It borrows the archive's descriptor and reads with positioned
// reads, so files of one archive can be read from several threads at once.
class ZResourceFileTar : public ZResourceFile {
public:
    ZResourceFileTar(int descriptor, int64_t offset, int64_t size)
        : m_descriptor(descriptor), m_offset(offset), m_size(size) {}

    long seek(ZResourceWhence whence, int offset) override;
    long tell(int& position) override;
    long read(void* buffer, unsigned long count) override;
    unsigned long readAndCount(void* buffer, unsigned long count) override;

private:
    // Copies what the request at the current position finds in the entry and moves the position
    // by the whole count; answers the bytes that came from the entry.
    unsigned long transfer(unsigned char* buffer, unsigned long count);

    int m_descriptor;
    int64_t m_offset;
    int64_t m_size;
    int64_t m_position = 0;
};
