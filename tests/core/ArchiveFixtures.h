#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "TempDir.h"

// The archives that other tools made of tests/fixtures/core/archives/src (see make-archives.sh
// there) and the names they store.
namespace ArchiveFixtures {

inline std::string path(const std::string& name) {
    const char* root = getenv("BRAMBLE_TEST_FIXTURES");
    return std::string(root ? root : "tests/fixtures") + "/core/archives/" + name;
}

// The bytes of a file of src/.
inline std::string source(const std::string& name) {
    return readFile(path("src/" + name));
}

const std::string kLong100 = "long-" + std::string(91, 'x') + ".txt";
const std::string kLong150 = "very-long-name-" + std::string(131, 'y') + ".txt";
const std::string kFolder = "folder-with-a-rather-long-name-0123456789/";
const std::string kDeepFile = "deep/" + kFolder + kFolder + kFolder + "file.txt";

// The files of src/ whose names every format holds.
inline std::vector<std::string> shortFiles() {
    return {"a.txt", "sub/c.txt", "text.txt", "noise.bin"};
}

inline std::vector<std::string> allFiles() {
    return {"a.txt", "sub/c.txt", "text.txt", "noise.bin", kLong100, kLong150, kDeepFile};
}

inline std::vector<std::string> allFolders() {
    return {"sub/", "deep/", "deep/" + kFolder, "deep/" + kFolder + kFolder,
            "deep/" + kFolder + kFolder + kFolder};
}

}  // namespace ArchiveFixtures
