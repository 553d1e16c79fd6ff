#include "CResourceArchiveStm.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "CResourceFileStm.h"
#include "CTileFileHeader.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZSysLock.h"

namespace {

const char kTileSuffix[] = ".jpg";

}  // namespace

CResourceArchiveStm::~CResourceArchiveStm() {
    release();
}

ZSysLock& CResourceArchiveStm::readLock() {
    // Never destroyed: a tile read may still be under way on a loader thread at exit.
    static ZSysLock* lock = new ZSysLock();
    return *lock;
}

void CResourceArchiveStm::release() {
    delete m_file;
    m_file = nullptr;
    m_prefix[0] = '\0';
    m_prefixLength = 0;
    m_count = 0;
    m_offsets.clear();
    m_sizes.clear();
}

void CResourceArchiveStm::makeTilePrefix(const char* path, char* prefix, unsigned long size) {
    if (!prefix || size == 0) return;
    prefix[0] = '\0';
    if (!path) return;
    char game[260];
    ZMiscTools::makeFilePathInBuffer("", game, sizeof(game));
    size_t gameLength = strlen(game);
    if (gameLength > 0 && strncasecmp(path, game, gameLength) == 0) path += gameLength;
    snprintf(prefix, size, "%s_tile/", path);
    for (char* c = prefix; *c; c++)
        if (*c == '\\') *c = '/';
}

long CResourceArchiveStm::openArchive(const char* path, long, const char*) {
    release();
    if (!path) return ZResourceErrorOpen;
    m_file = new ZResource();
    if (m_file->open(path, ZResourceModeRead) != ZResourceOk) {
        release();
        return ZResourceErrorOpen;
    }
    CTileFileHeader header;
    if (!header.read(*m_file, path)) {
        release();
        return ZResourceErrorNoArchive;
    }
    m_count = header.count;
    m_offsets = std::move(header.offsets);
    m_sizes = std::move(header.sizes);
    makeTilePrefix(path, m_prefix, sizeof(m_prefix));
    m_prefixLength = strlen(m_prefix);
    return ZResourceOk;
}

int64_t CResourceArchiveStm::tileForName(const char* name) const {
    if (!name || m_prefixLength == 0 || strncasecmp(name, m_prefix, m_prefixLength) != 0) return -1;
    const char* digits = name + m_prefixLength;
    int64_t n = 0;
    const char* c = digits;
    for (; *c >= '0' && *c <= '9'; c++) {
        n = n * 10 + (*c - '0');
        if (n >= m_count) return -1;
    }
    if (c == digits || strcasecmp(c, kTileSuffix) != 0) return -1;
    return n;
}

bool CResourceArchiveStm::enumerateFolder(const char* folder, ZResourceEnumCallback callback,
                                          void* user) {
    if (!folder || !callback || m_count < 1) return true;
    // The folder may be named with or without its final '/'.
    size_t length = strlen(folder);
    bool same = (length == m_prefixLength && strncasecmp(folder, m_prefix, length) == 0) ||
                (length + 1 == m_prefixLength && strncasecmp(folder, m_prefix, length) == 0);
    if (!same) return true;
    char name[32];
    for (int64_t n = 0; n < m_count; n++) {
        snprintf(name, sizeof(name), "%lld.jpg", static_cast<long long>(n));
        if (!callback(name, false, user)) return false;
    }
    return true;
}

bool CResourceArchiveStm::statFile(const char* path, ZResourceStat* stat) {
    int64_t n = tileForName(path);
    if (n < 0) return false;
    if (stat) {
        stat->isFolder = false;
        stat->isArchived = true;
        stat->modificationTime = 0;
        stat->size = m_sizes[static_cast<size_t>(n)];
    }
    return true;
}

ZResourceFile* CResourceArchiveStm::openFile(const char* path) {
    int64_t n = tileForName(path);
    if (n < 0 || !m_file) return nullptr;
    return new (std::nothrow) CResourceFileStm(m_file, m_offsets[static_cast<size_t>(n)],
                                               m_sizes[static_cast<size_t>(n)]);
}

bool CResourceArchiveStm::loadFile(const char* path, unsigned char*& data, unsigned long& size) {
    int64_t n = tileForName(path);
    if (n < 0 || !m_file) return false;
    uint32_t tileSize = m_sizes[static_cast<size_t>(n)];
    unsigned char* buffer = new (std::nothrow) unsigned char[tileSize > 0 ? tileSize : 1];
    if (!buffer) return false;
    ZSysLock& lock = readLock();
    lock.acquire();
    bool ok = m_file->seek(ZResourceWhenceSet,
                           static_cast<int>(m_offsets[static_cast<size_t>(n)])) == ZResourceOk &&
              m_file->readAndCount(buffer, tileSize) == tileSize;
    lock.release();
    if (!ok) {
        delete[] buffer;
        return false;
    }
    data = buffer;
    size = tileSize;
    return true;
}
