#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <string>

#include "ZList.h"
#include "ZResourceArchive.h"
#include "ZResourceArchiveZipEntry.h"
#include "ZResourceNameIndex.h"

class ZResource;
class ZSysLock;

// A zip archive, read through the virtual file system itself, so the zip may lie on disk or
// inside an archive mounted earlier. The directory is listed and its names indexed once when
// mounted. An entry is inflated whole on its first open and shared by every file open on it.
//
// One process-wide lock guards every zip reader: it is held while an entry is inflated, for a
// whole-file load and while a closing file updates its entry. Reads of open files, stat and
// enumeration take no lock.
class ZResourceArchiveZip : public ZResourceArchive {
public:
    ZResourceArchiveZip();
    ~ZResourceArchiveZip() override;
    ZResourceArchiveZip(const ZResourceArchiveZip&) = delete;
    ZResourceArchiveZip& operator=(const ZResourceArchiveZip&) = delete;

    long openArchive(const char* path, long flags, const char* password) override;
    bool enumerateFolder(const char* folder, ZResourceEnumCallback callback, void* user) override;
    bool statFile(const char* path, ZResourceStat* stat) override;
    ZResourceFile* openFile(const char* path) override;
    bool loadFile(const char* path, unsigned char*& data, unsigned long& size) override;

    // The first entry in directory order whose name has the path's length and equals it without
    // regard to case; found through the index, whatever the number of entries.
    ZResourceArchiveZipEntry* findEntry(const char* path, bool skipFolders) const;
    // In the order of the zip's central directory.
    const ZList<ZResourceArchiveZipEntry>& entries() const { return m_entries; }

    // The lock shared by all zip archives; null while none exists.
    static ZSysLock* globalLock() { return g_lpLock; }

    // Largest entry inflated: a bound for sizes that a damaged directory may claim.
    static constexpr uint64_t kMaxEntrySize = uint64_t(1) << 30;

    // Empty for none; at most 255 characters.
    char password[256];

private:
    void release();
    // Mounts a zip that holds nothing but its end record, which the zip library cannot open.
    bool openEmptyArchive(const char* path);
    // Takes sizes and offset from the directory record's zip64 fields.
    bool readZip64Fields(ZResourceArchiveZipEntry* entry, const unsigned char* extra,
                         size_t extraLength);
    // The entry's whole contents as a new array; the caller holds the lock.
    bool extract(ZResourceArchiveZipEntry* entry, unsigned char*& data);
    bool extractPlain(ZResourceArchiveZipEntry* entry, unsigned char*& data);
    bool extractTraditional(ZResourceArchiveZipEntry* entry, unsigned char*& data);
    bool extractZip64(ZResourceArchiveZipEntry* entry, unsigned char*& data);
    bool extractAes(ZResourceArchiveZipEntry* entry, unsigned char*& data);
    // Decrypts a traditionally encrypted entry's stored bytes and decodes them.
    bool decodeTraditional(ZResourceArchiveZipEntry* entry, unsigned char* raw,
                           unsigned char*& data);
    // The compressed bytes of the entry whose local header is at localOffset, as a new array.
    bool readStoredBytes(uint64_t localOffset, uint64_t compressed, unsigned char*& raw);
    // Finds the zip's start on the first call; true when it is known.
    bool archiveStartKnown();
    bool findArchiveStart();
    bool traditionalSizesPlausible(const ZResourceArchiveZipEntry* entry) const;
    bool readAt(int64_t offset, void* buffer, unsigned long count);
    // Why an entry cannot be read, for the log.
    void logFailure(const ZResourceArchiveZipEntry* entry, const char* why) const;
    void logUnsupported(const ZResourceArchiveZipEntry* entry, uint32_t method) const;

    unzFile m_reader = nullptr;
    ZList<ZResourceArchiveZipEntry> m_entries;
    ZResourceNameIndex m_index;
    std::string m_path;             // for the log
    ZResource* m_stream = nullptr;  // the archive file, opened for the reader by its callbacks
    int64_t m_archiveSize = 0;
    // Where the zip's own offsets count from (bytes before it, such as a self-extractor's
    // stub); -1 when unknown. Only the entries the library cannot read need it.
    int64_t m_archiveStart = -1;
    bool m_startSearched = false;

    static int64_t g_nInstances;
    static ZSysLock* g_lpLock;
};
