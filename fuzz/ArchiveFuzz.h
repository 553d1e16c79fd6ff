#pragma once

// What the archive fuzz targets share: a work folder for the inputs they mount, and reads of a
// file at odd positions. Each target is one source file that includes this header once.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "ZResource.h"

namespace archivefuzz {

inline char g_workFolder[] = "/tmp/fuzz-archive-XXXXXX";

inline void removeWorkFolder() {
    rmdir(g_workFolder);
}

// Where the inputs are written, one file per run, removed again after it.
inline const char* workFolder() {
    static const char* folder = [] {
        const char* made = mkdtemp(g_workFolder);
        if (!made) abort();
        atexit(removeWorkFolder);
        return made;
    }();
    return folder;
}

// Seeks and reads around the start, the end and the middle of a file of the given size.
inline void readAround(const std::string& path, int64_t size) {
    ZResource file;
    if (file.open(path.c_str(), ZResourceModeRead) != ZResourceOk) return;
    static unsigned char buffer[5000];
    const int64_t positions[] = {0, -3, 1, size - 1, size, size + 5, size / 2, -600};
    const unsigned long counts[] = {0, 1, 7, 513, 4999};
    int round = 0;
    for (int64_t position : positions) {
        for (unsigned long count : counts) {
            int at = static_cast<int>(position);
            file.seek(ZResourceWhenceSet, at);
            if (round++ % 2) {
                file.readAndCount(buffer, count);
            } else {
                file.read(buffer, count);
            }
            int told = 0;
            file.tell(told);
        }
    }
    file.seek(ZResourceWhenceEnd, -1);
    file.read(buffer, 2);
    file.seek(ZResourceWhenceCurrent, -2);
    file.readAndCount(buffer, sizeof(buffer));
}

}  // namespace archivefuzz
