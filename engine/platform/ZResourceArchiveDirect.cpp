#include "ZResourceArchiveDirect.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <new>

#include "ZResourceFileDirect.h"

namespace {

// The most one whole-file load may ask for: the machine's memory. A folder, a device or a
// damaged file system can report sizes far beyond it, and asking for those would only fail.
uint64_t loadLimit() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return UINT32_MAX;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

}  // namespace

long ZResourceArchiveDirect::openArchive(const char*, long, const char*) {
    return ZResourceErrorNoFile;
}

bool ZResourceArchiveDirect::enumerateFolder(const char*, ZResourceEnumCallback, void*) {
    return true;
}

bool ZResourceArchiveDirect::statFile(const char* path, ZResourceStat* stat) {
    struct stat info;
    if (!path || !stat || ::stat(path, &info) != 0) return false;
    stat->isFolder = S_ISDIR(info.st_mode);
    stat->isArchived = false;
    stat->modificationTime = static_cast<int64_t>(info.st_mtime);
    stat->size = static_cast<int64_t>(info.st_size);
    return true;
}

ZResourceFile* ZResourceArchiveDirect::openFile(const char* path) {
    FILE* stream = path ? fopen(path, "rb") : nullptr;
    return stream ? new ZResourceFileDirect(stream) : nullptr;
}

ZResourceFile* ZResourceArchiveDirect::createFile(const char* path) {
    FILE* stream = path ? fopen(path, "wb") : nullptr;
    return stream ? new ZResourceFileDirect(stream) : nullptr;
}

bool ZResourceArchiveDirect::loadFile(const char* path, unsigned char*& data, unsigned long& size) {
    FILE* stream = path ? fopen(path, "rb") : nullptr;
    if (!stream) return false;

    long length = -1;
    if (fseek(stream, 0, SEEK_END) == 0) length = ftell(stream);
    bool loaded = false;
    if (length >= 0 && static_cast<uint64_t>(length) <= loadLimit() &&
        fseek(stream, 0, SEEK_SET) == 0) {
        unsigned long wanted = static_cast<unsigned long>(length);
        unsigned char* buffer = new (std::nothrow) unsigned char[wanted];
        if (buffer && fread(buffer, 1, wanted, stream) == wanted) {
            data = buffer;
            size = wanted;
            loaded = true;
        } else {
            delete[] buffer;
        }
    }
    fclose(stream);
    return loaded;
}
