#pragma once

#include "ZObjectListable.h"
#include "ZResourceStat.h"

class ZResourceFile;

// A mounted archive: the virtual file system asks the mounted ones in mount order before it
// falls back to the disk.
class ZResourceArchive : public ZObjectListable {
public:
    ZResourceArchive() { name[0] = 0; }

    virtual long openArchive(const char* path, long flags, const char* password) = 0;
    virtual bool enumerateFolder(const char* folder, ZResourceEnumCallback callback,
                                 void* user) = 0;
    virtual bool statFile(const char* path, ZResourceStat* stat) = 0;
    virtual ZResourceFile* openFile(const char* path) = 0;
    virtual ZResourceFile* createFile(const char*) { return nullptr; }
    // On success data is a new array of size bytes that the caller frees with delete[].
    virtual bool loadFile(const char* path, unsigned char*& data, unsigned long& size) = 0;

    // Mounts an archive; the same as ZResource::addArchive.
    static long addArchive(const char* path, long flags, const char* password);

    // The folder-listing rule shared by the archive kinds: calls callback when entry (an entry's
    // full name) is a direct child file or folder of folder, and answers false only when the
    // callback asked to stop. An archive's enumerateFolder runs it over its entries in order.
    static bool enumerateEntry(const char* folder, const char* entry, bool isFolder,
                               ZResourceEnumCallback callback, void* user);

    // The path it was mounted from; empty until mounted.
    char name[260];
};
