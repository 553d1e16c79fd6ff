// Reading every entry of a zip of 1,000 deflated files (about 50 MB) through the virtual file
// system (mounted zip, ZResource open and read whole; and loadResource) and through the zip
// library directly. Prints each figure and, last, the file system / library throughput ratio
// (target: at least 0.9).
#include <benchmark/benchmark.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>

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

}  // namespace

BENCHMARK(BM_FileSystemOpenRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileSystemLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Library)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    RatioReporter reporter(argc, argv, "2");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const Archive& a = archive();
    printf("%d files, %.1f MB, zip of %.1f MB\n", kFiles, a.bytes / 1e6,
           std::filesystem::file_size(a.path) / 1e6);
    if (ZResource::addArchive(a.path.c_str(), 0, nullptr) != ZResourceOk) {
        fprintf(stderr, "cannot mount %s\n", a.path.c_str());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code error;
    std::filesystem::remove_all(a.folder, error);

    for (const char* own : {"BM_FileSystemLoad", "BM_FileSystemOpenRead"})
        reporter.printRatio(std::string(own + 3) + " / library", own, "BM_Library");
    return 0;
}
