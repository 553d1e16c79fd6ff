#pragma once

#include <minizip/unzip.h>

#include <cstdint>

#include "ZObjectListable.h"

// One entry of a zip's central directory, listed when the archive is mounted. The open files on
// the entry share its inflated contents; the last one to close frees them.
class ZResourceArchiveZipEntry : public ZObjectListable {
public:
    // Copies length bytes of name.
    ZResourceArchiveZipEntry(const char* name, uint64_t length);
    ~ZResourceArchiveZipEntry() override;
    ZResourceArchiveZipEntry(const ZResourceArchiveZipEntry&) = delete;
    ZResourceArchiveZipEntry& operator=(const ZResourceArchiveZipEntry&) = delete;

    char* name;  // as stored in the zip, NUL-terminated
    uint64_t nameLength;
    bool isFolder;  // the name ends with '/'

    // Open files sharing contents; contents is owned while the count is above 0.
    int64_t referenceCount = 0;
    unsigned char* contents = nullptr;
    // Set when the archive went while files were still open on the entry: the last of them
    // deletes it. (Cleanup removes an outer archive before a zip mounted from inside it.)
    bool orphaned = false;

    uint64_t uncompressedSize = 0;
    uint32_t dosDateTime = 0;  // date in the high 16 bits, time in the low 16
    unz_file_pos position = {0, 0};

    // What decoding needs, from the central directory.
    uint64_t compressedSize = 0;
    uint32_t crc = 0;
    uint32_t flags = 0;
    uint32_t method = 0;
    // Set when the directory record carries zip64 fields: the zip library then reports their
    // placeholders, so the sizes above and the local header's offset come from those fields,
    // and the entry is read without the library.
    bool zip64 = false;
    uint64_t localOffset = 0;  // of the local header, from the zip's start; with zip64 only
};
