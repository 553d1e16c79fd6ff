#pragma once

#include <cstdint>

#include "ZResourceFile.h"

class ZResourceArchiveZipEntry;

// An open zip entry: reads are copies out of the entry's shared, already inflated contents, so
// they take no lock. The destructor gives the entry back.
class ZResourceFileZip : public ZResourceFile {
public:
    // The entry already counts this file and holds its contents; it lives at least as long.
    explicit ZResourceFileZip(ZResourceArchiveZipEntry* entry);
    ~ZResourceFileZip() override;
    ZResourceFileZip(const ZResourceFileZip&) = delete;
    ZResourceFileZip& operator=(const ZResourceFileZip&) = delete;

    long seek(ZResourceWhence whence, int offset) override;
    long tell(int& position) override;
    long read(void* buffer, unsigned long count) override;
    unsigned long readAndCount(void* buffer, unsigned long count) override;

private:
    // Fills count bytes: contents where the position lies inside the entry, zeros elsewhere;
    // moves the position by count and answers the bytes that came from the contents.
    unsigned long copyOut(void* buffer, unsigned long count);
    int64_t size() const;

    ZResourceArchiveZipEntry* m_entry;
    int64_t m_position = 0;
};
