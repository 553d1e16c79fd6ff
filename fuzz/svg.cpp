// Loads each input as an SVG file and as the same file gzip-compressed, both through the file
// system, and parses it as bare path data. Whatever the bytes: no crash, the two files load
// alike, and every path that loads answers finite lengths and weights within [0, 1].
#include <stdlib.h>
#include <zlib.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "ZBezier.h"

namespace {

std::string g_folder;

void removeFolder() {
    std::error_code error;
    std::filesystem::remove_all(g_folder, error);
}

bool writeFile(const std::string& path, const std::string& bytes) {
    FILE* stream = fopen(path.c_str(), "wb");
    if (!stream) return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    return fclose(stream) == 0 && written;
}

// zlib's own gzip wrapper, so the loader's header parsing meets a second writer besides the
// seeds'.
std::string gzipOf(const std::string& text) {
    z_stream stream = {};
    if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return "";
    std::string out(deflateBound(&stream, text.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : "";
}

struct Outcome {
    bool loaded;
    long segments;
    float total;

    bool operator==(const Outcome& other) const {
        return loaded == other.loaded && segments == other.segments &&
               (total == other.total || (std::isnan(total) && std::isnan(other.total)));
    }
};

void checkPath(const ZBezier& bezier) {
    float total = bezier.getTotalLength();
    if (!std::isfinite(total) || total < 0) __builtin_trap();
    long count = bezier.getSegmentCount();
    for (long i = 0; i <= count; i += 1 + count / 16) {
        float length = bezier.getLengthFromSegment(i);
        if (!std::isfinite(length) || length < 0 || length > total) __builtin_trap();
    }
    for (float length : {-1.0f, 0.0f, total / 3, total / 2, total, total * 2}) {
        long segment = -1;
        float weight = -1;
        bool found = bezier.getWeightFromLength(length, segment, weight);
        if (found != (count > 0)) __builtin_trap();
        if (!(weight >= 0 && weight <= 1) || segment < 0 || (count && segment >= count))
            __builtin_trap();
        ZVector2 position, tangent;
        bezier.computeFromLength(length, position, tangent, segment);
    }
}

Outcome load(const std::string& path) {
    ZBezier bezier;
    Outcome outcome = {bezier.loadFromFile(path.c_str()), bezier.getSegmentCount(), 0};
    if (!outcome.loaded && outcome.segments != 0) __builtin_trap();
    if (outcome.loaded) checkPath(bezier);
    outcome.total = bezier.getTotalLength();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string pattern = std::string(base) + "/fuzz-svg-XXXXXX";
        if (mkdtemp(&pattern[0])) {
            g_folder = pattern;
            break;
        }
    }
    if (g_folder.empty()) abort();
    atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);

    std::string plain = g_folder + "/path.svg";
    std::string packed = g_folder + "/path.svgz";
    if (!writeFile(plain, input)) return 0;
    Outcome fromPlain = load(plain);
    std::string gzip = gzipOf(input);
    if (!gzip.empty() && writeFile(packed, gzip)) {
        Outcome fromGzip = load(packed);
        // An input that is itself gzip reads inflated once from the plain file only.
        bool inputIsGzip = size >= 17 && data[0] == 0x1F && data[1] == 0x8B && data[2] == 0x08;
        if (!inputIsGzip && !(fromGzip == fromPlain)) __builtin_trap();
    }

    ZBezier bezier;
    if (bezier.parseSvgPathData(input.c_str())) {
        bezier.createArcLengthTables();
        checkPath(bezier);
    } else if (bezier.getSegmentCount() != 0) {
        __builtin_trap();
    }
    return 0;
}
