#pragma once

#include "ZResourceArchive.h"

// The disk, reached as an archive of its own: the virtual file system's fall-back and the only
// place it writes. It is never mounted.
class ZResourceArchiveDirect : public ZResourceArchive {
public:
    long openArchive(const char* path, long flags, const char* password) override;
    bool enumerateFolder(const char* folder, ZResourceEnumCallback callback, void* user) override;
    bool statFile(const char* path, ZResourceStat* stat) override;
    ZResourceFile* openFile(const char* path) override;
    ZResourceFile* createFile(const char* path) override;
    bool loadFile(const char* path, unsigned char*& data, unsigned long& size) override;
};
