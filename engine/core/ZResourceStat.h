#pragma once

#include <cstdint>

// Facts about a path of the virtual file system.
struct ZResourceStat {
    bool isFolder;
    bool isArchived;           // in a mounted archive, not on disk
    int64_t modificationTime;  // seconds since 1970-01-01 UTC
    int64_t size;
};

enum ZResourceMode {
    ZResourceModeRead = 1000,
    ZResourceModeWrite = 1001,
};

// The same values as stdio's origins.
enum ZResourceWhence {
    ZResourceWhenceSet = 0,
    ZResourceWhenceCurrent = 1,
    ZResourceWhenceEnd = 2,
};

// Result codes of the virtual file system.
enum {
    ZResourceOk = 0,
    ZResourceErrorNoFile = 1000,       // nothing open on the handle
    ZResourceErrorBadMode = 1001,      // open with a mode other than read or write
    ZResourceErrorShort = 1002,        // a read, write, seek or tell failed or moved too little
    ZResourceErrorOpen = 1003,         // the file cannot be opened or created
    ZResourceErrorNoArchive = 1004,    // no archive kind opens the path
};

// Called for each entry of a folder; false stops the walk.
typedef bool (*ZResourceEnumCallback)(const char* name, bool isFolder, void* user);
