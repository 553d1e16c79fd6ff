#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ZResourceArchive.h"

class ZResource;
class ZSysLock;

// A tile file mounted as an archive: tile n reads as "<prefix>%ld.jpg", the prefix being the
// file's path inside the game folder followed by "_tile/". The file stays open while mounted and
// its tiles share the one handle, so every read of every tile archive takes one global lock.
class CResourceArchiveStm : public ZResourceArchive {
public:
    CResourceArchiveStm() = default;
    ~CResourceArchiveStm() override;
    CResourceArchiveStm(const CResourceArchiveStm&) = delete;
    CResourceArchiveStm& operator=(const CResourceArchiveStm&) = delete;

    long openArchive(const char* path, long flags, const char* password) override;
    bool enumerateFolder(const char* folder, ZResourceEnumCallback callback, void* user) override;
    bool statFile(const char* path, ZResourceStat* stat) override;
    ZResourceFile* openFile(const char* path) override;
    bool loadFile(const char* path, unsigned char*& data, unsigned long& size) override;

    // The tile a name of this archive gives: the prefix (without case), a decimal number and a
    // final ".jpg" (without case); -1 for any other name or a number past the last tile.
    int64_t tileForName(const char* name) const;
    int64_t getTileCount() const { return m_count; }
    const char* getPrefix() const { return m_prefix; }

    // The tile folder prefix of a tile file's path, cut to fit size bytes.
    static void makeTilePrefix(const char* path, char* prefix, unsigned long size);
    // Serialises the reads of all tile archives; lives as long as the process.
    static ZSysLock& readLock();

private:
    void release();

    ZResource* m_file = nullptr;
    char m_prefix[260] = {};
    size_t m_prefixLength = 0;
    int64_t m_count = 0;
    std::vector<uint32_t> m_offsets;
    std::vector<uint32_t> m_sizes;
};
