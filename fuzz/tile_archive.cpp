// Mounts each input as a tile file and reads every tile it names: stat, enumeration, opening,
// reads at odd positions and whole-tile loads must neither crash nor leak, whatever the header
// and table claim.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ArchiveFuzz.h"
#include "CResourceArchiveManagerStm.h"
#include "ZResource.h"

namespace {

using archivefuzz::readAround;
using archivefuzz::workFolder;

bool collect(const char* name, bool, void* user) {
    auto* names = static_cast<std::vector<std::string>*>(user);
    names->push_back(name);
    // A huge grid lists its first tiles only.
    return names->size() < 64;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // Mounts are permanent, so every run mounts a path of its own.
    static unsigned long run = 0;
    std::string path = std::string(workFolder()) + "/input" + std::to_string(run++) + ".dat";
    FILE* stream = fopen(path.c_str(), "wb");
    if (!stream) return 0;
    size_t written = fwrite(bytes, 1, size, stream);
    fclose(stream);

    CResourceArchiveManagerStm::registerOnce();
    if (written == size && ZResource::addArchive(path.c_str(), 1, nullptr) == ZResourceOk) {
        std::string prefix = path + "_tile/";
        std::vector<std::string> names;
        ZResource::enumerateFolderInArchives(prefix.c_str(), collect, &names);
        // Names just past the listed ones and of other forms as well.
        names.push_back("99999999.jpg");
        names.push_back("0.JPG");
        names.push_back("x.jpg");
        for (const std::string& name : names) {
            std::string tile = prefix + name;
            ZResourceStat stat = {};
            int64_t tileSize = ZResource::stat(tile.c_str(), &stat) ? stat.size : 0;
            readAround(tile, tileSize);
            unsigned char* data = nullptr;
            unsigned long length = 0;
            if (ZResource::loadResource(tile.c_str(), data, length)) delete[] data;
        }
    }

    // Start the file system over: what this run mounted is freed and its file closed.
    ZResource::cleanup();
    ZResource::initialize();
    unlink(path.c_str());
    return 0;
}
