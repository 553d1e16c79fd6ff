// Writes a zip archive of the given files: bramble-pack OUT ENTRY=FILE... Entries are stored in
// name order with one fixed date and no extra fields, so the same files give the same archive
// byte for byte. The archive is written beside OUT and renamed over it when complete.
// PREFIX=FOLDER/ (the folder with its last "/") adds every file in the folder as PREFIX/NAME:
// for outputs whose names the build learns only when it makes them.
#include <dirent.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

bool readWhole(const std::string& path, std::vector<char>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool addEntry(zipFile zip, const std::string& name, const std::vector<char>& bytes) {
    zip_fileinfo info;
    memset(&info, 0, sizeof(info));
    info.tmz_date.tm_year = 2000;
    info.tmz_date.tm_mday = 1;
    if (zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_BEST_COMPRESSION) != ZIP_OK)
        return false;
    bool written =
        bytes.empty() ||
        zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) == ZIP_OK;
    return zipCloseFileInZip(zip) == ZIP_OK && written;
}

// The regular files directly in folder, as (prefix/name, path); false when it cannot be read.
bool addFolder(const std::string& prefix, const std::string& folder,
               std::vector<std::pair<std::string, std::string>>& entries) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    while (dirent* e = readdir(dir)) {
        std::string path = folder + e->d_name;
        struct stat info;
        if (e->d_name[0] == '.' || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        entries.emplace_back(prefix + "/" + e->d_name, path);
    }
    closedir(dir);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: bramble-pack OUT ENTRY=FILE...\n");
        return 2;
    }
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 2; i < argc; i++) {
        const char* equals = strchr(argv[i], '=');
        if (!equals || equals == argv[i]) {
            fprintf(stderr, "bramble-pack: '%s' is not ENTRY=FILE\n", argv[i]);
            return 2;
        }
        std::string entry(argv[i], static_cast<size_t>(equals - argv[i]));
        std::string file = equals + 1;
        if (!file.empty() && file.back() == '/') {
            if (!addFolder(entry, file, entries)) {
                fprintf(stderr, "bramble-pack: cannot read the folder '%s'\n", file.c_str());
                return 1;
            }
            continue;
        }
        entries.emplace_back(entry, file);
    }
    std::sort(entries.begin(), entries.end());

    std::string out = argv[1];
    std::string temporary = out + ".tmp";
    zipFile zip = zipOpen(temporary.c_str(), APPEND_STATUS_CREATE);
    if (!zip) {
        fprintf(stderr, "bramble-pack: cannot write '%s'\n", temporary.c_str());
        return 1;
    }
    bool ok = true;
    for (const auto& [name, path] : entries) {
        std::vector<char> bytes;
        if (!readWhole(path, bytes)) {
            fprintf(stderr, "bramble-pack: cannot read '%s'\n", path.c_str());
            ok = false;
            break;
        }
        if (!addEntry(zip, name, bytes)) {
            fprintf(stderr, "bramble-pack: cannot add '%s'\n", name.c_str());
            ok = false;
            break;
        }
    }
    if (zipClose(zip, nullptr) != ZIP_OK) ok = false;
    if (!ok || rename(temporary.c_str(), out.c_str()) != 0) {
        remove(temporary.c_str());
        return 1;
    }
    return 0;
}
