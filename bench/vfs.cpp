// Reading every entry of a zip of 1,000 deflated files (about 50 MB) through the virtual file
// system (mounted zip, ZResource open and read whole; and loadResource) and through the zip
// library directly; and opening files by name in a zip of 50,000 small ones, through the file
// system and by the zip library's own search (unzLocateFile). Prints each figure and the
// lookup ratio and, last, the file system / library throughput ratio (target: at least 0.9).
#include <benchmark/benchmark.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "ZCore.h"
#include "ZResource.h"

namespace {

const int kFiles = 1000;
const int kManyFiles = 50000;
// The zip library's search walks the directory from its start: it is timed on a sample of
// names spread over the whole directory, taken in this stride.
const int kLocateSamples = 40;
const int kLocateStride = 7919;

struct Archive {
    std::string folder;
    std::string path;
    std::vector<std::string> names;
    uint64_t bytes = 0;
};

// Game data of several kinds: text with a per-file vocabulary, records with a little noise,
// and runs, so that files compress between about 2:1 and 10:1.
std::string makeContents(int index, size_t size) {
    static const char* const kWords[] = {"bramble", "sky",   "coin",  "chest", "heart",  "stone",
                                         "spike",   "cloud", "wind",  "fall",  "meters", "score",
                                         "sprite",  "scene", "brush", "frame", "x=",     "y="};
    uint32_t state = 0x9E3779B9u * static_cast<uint32_t>(index + 1);
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    std::string out;
    out.reserve(size + 64);
    while (out.size() < size) {
        switch (index % 3) {
            case 0:
                out += kWords[(next() + static_cast<uint32_t>(index)) % 18];
                out += next() % 7 ? " " : "\n";
                break;
            case 1: {
                char record[32];
                snprintf(record, sizeof(record), "%05u,%03u,%u;", next() % 50000, next() % 360,
                         next() % 2);
                out += record;
                break;
            }
            default:
                out.append(1 + next() % 40, static_cast<char>('a' + next() % 26));
                out += static_cast<char>(next());
                break;
        }
    }
    out.resize(size);
    return out;
}

const Archive& archive() {
    static const Archive made = [] {
        Archive a;
        char pattern[] = "/tmp/bramble-bench-XXXXXX";
        const char* folder = mkdtemp(pattern);
        if (!folder) {
            perror("mkdtemp");
            exit(1);
        }
        a.folder = folder;
        a.path = a.folder + "/bench.zip";
        zipFile zip = zipOpen(a.path.c_str(), APPEND_STATUS_CREATE);
        bool ok = zip != nullptr;
        uint32_t state = 7;
        for (int i = 0; ok && i < kFiles; i++) {
            state = state * 1664525u + 1013904223u;
            size_t size = 5000 + (state >> 8) % 90000;
            char name[64];
            snprintf(name, sizeof(name), "data/set%02d/file%04d.dat", i % 20, i);
            std::string contents = makeContents(i, size);
            zip_fileinfo info{};
            ok = zipOpenNewFileInZip(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                     Z_DEFAULT_COMPRESSION) == ZIP_OK &&
                 zipWriteInFileInZip(zip, contents.data(), static_cast<unsigned>(size)) == ZIP_OK &&
                 zipCloseFileInZip(zip) == ZIP_OK;
            a.names.push_back(name);
            a.bytes += size;
        }
        if (!zip || zipClose(zip, nullptr) != ZIP_OK || !ok) {
            fprintf(stderr, "cannot write %s\n", a.path.c_str());
            exit(1);
        }
        return a;
    }();
    return made;
}

// Small stored files in a few hundred folders, named as game data is.
const Archive& manyFiles() {
    static const Archive made = [] {
        Archive a;
        a.folder = archive().folder;
        a.path = a.folder + "/many.zip";
        zipFile zip = zipOpen(a.path.c_str(), APPEND_STATUS_CREATE);
        bool ok = zip != nullptr;
        for (int i = 0; ok && i < kManyFiles; i++) {
            char name[64];
            snprintf(name, sizeof(name), "many/set%03d/Item%05d.txt", i % 250, i);
            char contents[32];
            int size = snprintf(contents, sizeof(contents), "item %d\n", i);
            zip_fileinfo info{};
            ok = zipOpenNewFileInZip(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, 0, 0) ==
                     ZIP_OK &&
                 zipWriteInFileInZip(zip, contents, static_cast<unsigned>(size)) == ZIP_OK &&
                 zipCloseFileInZip(zip) == ZIP_OK;
            a.names.push_back(name);
            a.bytes += static_cast<uint64_t>(size);
        }
        if (!zip || zipClose(zip, nullptr) != ZIP_OK || !ok) {
            fprintf(stderr, "cannot write %s\n", a.path.c_str());
            exit(1);
        }
        return a;
    }();
    return made;
}

void BM_FileSystemOpenRead(benchmark::State& state) {
    const Archive& a = archive();
    std::vector<char> buffer;
    for (auto _ : state) {
        for (const std::string& name : a.names) {
            ZResource file;
            int size = 0;
            if (file.open(name.c_str(), ZResourceModeRead) != ZResourceOk ||
                file.seek(ZResourceWhenceEnd, 0) != ZResourceOk || file.tell(size) != ZResourceOk ||
                file.seek(ZResourceWhenceSet, 0) != ZResourceOk) {
                state.SkipWithError("open failed");
                return;
            }
            if (buffer.size() < static_cast<size_t>(size)) buffer.resize(size);
            if (file.read(buffer.data(), static_cast<unsigned long>(size)) != ZResourceOk)
                state.SkipWithError("read failed");
            benchmark::DoNotOptimize(buffer.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * a.bytes));
}

void BM_FileSystemLoad(benchmark::State& state) {
    const Archive& a = archive();
    for (auto _ : state) {
        for (const std::string& name : a.names) {
            unsigned char* data = nullptr;
            unsigned long size = 0;
            if (!ZResource::loadResource(name.c_str(), data, size)) {
                state.SkipWithError("load failed");
                return;
            }
            benchmark::DoNotOptimize(data);
            delete[] data;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * a.bytes));
}

void BM_Library(benchmark::State& state) {
    const Archive& a = archive();
    std::vector<char> buffer;
    for (auto _ : state) {
        unzFile zip = unzOpen(a.path.c_str());
        if (!zip || unzGoToFirstFile(zip) != UNZ_OK) {
            state.SkipWithError("open failed");
            return;
        }
        do {
            unz_file_info info;
            if (unzGetCurrentFileInfo(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
                unzOpenCurrentFile(zip) != UNZ_OK) {
                state.SkipWithError("entry failed");
                break;
            }
            if (buffer.size() < info.uncompressed_size) buffer.resize(info.uncompressed_size);
            int read = unzReadCurrentFile(zip, buffer.data(),
                                          static_cast<unsigned>(info.uncompressed_size));
            if (read != static_cast<int>(info.uncompressed_size) ||
                unzCloseCurrentFile(zip) != UNZ_OK)
                state.SkipWithError("read failed");
            benchmark::DoNotOptimize(buffer.data());
        } while (unzGoToNextFile(zip) == UNZ_OK);
        unzClose(zip);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * a.bytes));
}

// One iteration opens one file by name (in lower case, as lookups ignore case) and reads it;
// the iterations go through every file of the archive in turn.
void BM_LookupFileSystem(benchmark::State& state) {
    const Archive& a = manyFiles();
    std::vector<std::string> lowered = a.names;
    for (std::string& name : lowered)
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    char buffer[32];
    size_t next = 0;
    for (auto _ : state) {
        ZResource file;
        if (file.open(lowered[next].c_str(), ZResourceModeRead) != ZResourceOk ||
            file.readAndCount(buffer, sizeof(buffer)) == 0) {
            state.SkipWithError("open failed");
            return;
        }
        benchmark::DoNotOptimize(buffer);
        next = (next + 1) % lowered.size();
    }
}

// The same through the zip library: unzLocateFile without regard to case, then the read.
void BM_LookupLibrary(benchmark::State& state) {
    const Archive& a = manyFiles();
    unzFile zip = unzOpen(a.path.c_str());
    if (!zip) {
        state.SkipWithError("open failed");
        return;
    }
    char buffer[32];
    size_t next = 0;
    for (auto _ : state) {
        std::string name = a.names[next];
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (unzLocateFile(zip, name.c_str(), 2) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK) {
            state.SkipWithError("locate failed");
            break;
        }
        if (unzReadCurrentFile(zip, buffer, sizeof(buffer)) <= 0 ||
            unzCloseCurrentFile(zip) != UNZ_OK)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(buffer);
        next = (next + kLocateStride) % a.names.size();
    }
    unzClose(zip);
}

}  // namespace

BENCHMARK(BM_LookupFileSystem)->Iterations(kManyFiles)->UseRealTime();
BENCHMARK(BM_LookupLibrary)
    ->Iterations(kLocateSamples)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FileSystemOpenRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileSystemLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Library)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    RatioReporter reporter(argc, argv, "2");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const Archive& a = archive();
    const Archive& many = manyFiles();
    printf("%d files, %.1f MB, zip of %.1f MB; %d small files, zip of %.1f MB\n", kFiles,
           a.bytes / 1e6, std::filesystem::file_size(a.path) / 1e6, kManyFiles,
           std::filesystem::file_size(many.path) / 1e6);
    for (const Archive* mounted : {&a, &many}) {
        if (ZResource::addArchive(mounted->path.c_str(), 0, nullptr) != ZResourceOk) {
            fprintf(stderr, "cannot mount %s\n", mounted->path.c_str());
            return 1;
        }
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code error;
    std::filesystem::remove_all(a.folder, error);

    reporter.printRatio("Lookup / unzLocateFile", "BM_LookupFileSystem", "BM_LookupLibrary");
    for (const char* own : {"BM_FileSystemLoad", "BM_FileSystemOpenRead"})
        reporter.printRatio(std::string(own + 3) + " / library", own, "BM_Library");
    return 0;
}
