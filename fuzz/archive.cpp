// Mounts each input as an archive and walks everything it lists: enumeration, stat, opening,
// reads at odd positions and whole-file loads must neither crash nor leak, whatever the bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "ArchiveFuzz.h"
#include "ZMiscTools.h"
#include "ZResource.h"

namespace {

using archivefuzz::readAround;
using archivefuzz::workFolder;

typedef std::vector<std::pair<std::string, bool>> Names;

bool collect(const char* name, bool isFolder, void* user) {
    static_cast<Names*>(user)->emplace_back(name, isFolder);
    return true;
}

// Entries are asked for below the game folder, as the game asks: the archive sees the bare name,
// and a name that falls through to the disk stays in the program's own folder.
void walk(const std::string& folder, int depth) {
    Names names;
    ZResource::enumerateFolderInArchives(folder.c_str(), collect, &names);
    for (const auto& [name, isFolder] : names) {
        std::string path = folder + name;
        ZResourceStat stat = {};
        int64_t size = ZResource::stat(path.c_str(), &stat) ? stat.size : 0;
        readAround(path, size);

        unsigned char* data = nullptr;
        unsigned long length = 0;
        if (ZResource::loadResource(path.c_str(), data, length)) delete[] data;
        if (isFolder && depth < 3) walk(path + "/", depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // Mounts are permanent, so every run mounts a path of its own.
    static unsigned long run = 0;
    std::string path = std::string(workFolder()) + "/input" + std::to_string(run++) + ".pak";
    FILE* stream = fopen(path.c_str(), "wb");
    if (!stream) return 0;
    size_t written = fwrite(bytes, 1, size, stream);
    fclose(stream);

    if (written == size && ZResource::addArchive(path.c_str(), 1, nullptr) == ZResourceOk)
        walk(std::string(ZMiscTools::getGameFolder()) + "/", 0);

    // Start the file system over: what this run mounted is freed and its descriptor closed.
    ZResource::cleanup();
    ZResource::initialize();
    unlink(path.c_str());
    return 0;
}
