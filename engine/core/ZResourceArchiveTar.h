#pragma once

#include <cstdint>

#include "ZList.h"
#include "ZResourceArchive.h"
#include "ZResourceNameIndex.h"
#include "ZTarEntry.h"

// A tar archive on disk (POSIX ustar and pax, old GNU and V7 headers, GNU long names). The
// directory is read and its names indexed once when mounted; the descriptor stays open while
// mounted and its files borrow it. Hard links read the data of the file they name; symbolic
// links and sparse members are left out, with a log line.
class ZResourceArchiveTar : public ZResourceArchive {
public:
    ZResourceArchiveTar() = default;
    ~ZResourceArchiveTar() override;
    ZResourceArchiveTar(const ZResourceArchiveTar&) = delete;
    ZResourceArchiveTar& operator=(const ZResourceArchiveTar&) = delete;

    long openArchive(const char* path, long flags, const char* password) override;
    bool enumerateFolder(const char* folder, ZResourceEnumCallback callback, void* user) override;
    bool statFile(const char* path, ZResourceStat* stat) override;
    ZResourceFile* openFile(const char* path) override;
    bool loadFile(const char* path, unsigned char*& data, unsigned long& size) override;

    // Reads count bytes at offset at without moving any shared file position; answers how many
    // arrived (fewer at the end of the file or on an error).
    static uint64_t readAt(int descriptor, void* buffer, uint64_t count, int64_t at);

private:
    // The outcome of reading one header block.
    enum class Block { Zero, Header, Invalid, End };

    void release();
    ZTarEntry* findEntry(const char* path, bool skipFolders) const;
    Block readBlock(int64_t at, unsigned char* block) const;
    // Walks the headers into the entry list; false when the file is not a tar archive.
    bool readDirectory(const char* path);

    int m_descriptor = -1;
    int64_t m_length = 0;
    ZList<ZTarEntry> m_entries;
    ZResourceNameIndex m_index;
};
