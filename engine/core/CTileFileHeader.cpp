#include "CTileFileHeader.h"

#include <cstddef>
#include <utility>

#include "ZCore.h"
#include "ZLittleEndian.h"
#include "ZResource.h"

namespace {

bool damaged(const char* path, const char* reason) {
    ZCore::logMessage("Resource: damaged tile file '%s': %s", path ? path : "", reason);
    return false;
}

}  // namespace

bool CTileFileHeader::read(ZResource& file, const char* path) {
    *this = CTileFileHeader();
    CTileFileHeader parsed;
    if (!parsed.parse(file, path)) return false;
    *this = std::move(parsed);
    return true;
}

bool CTileFileHeader::parse(ZResource& file, const char* path) {
    int length = 0;
    if (file.seek(ZResourceWhenceEnd, 0) != ZResourceOk || file.tell(length) != ZResourceOk ||
        file.seek(ZResourceWhenceSet, 0) != ZResourceOk)
        return false;
    unsigned char header[kHeaderSize];
    if (length < kHeaderSize || file.readAndCount(header, sizeof(header)) != sizeof(header))
        return false;
    if (ZLittleEndian::read64(header) != kMagic) return false;

    int64_t edge = ZLittleEndian::read32(header + 12);
    int64_t cols = ZLittleEndian::read32(header + 24);
    int64_t rowCount = ZLittleEndian::read32(header + 28);
    if (edge < 1 || edge > INT32_MAX) return damaged(path, "tile edge");
    if (cols < 1 || rowCount < 1 || cols > INT32_MAX || rowCount > INT32_MAX)
        return damaged(path, "grid size");
    // Both factors are below 2^31, so the product fits; the table's size is checked against the
    // file before it is computed.
    int64_t n = cols * rowCount;
    if (n > (length - kHeaderSize) / 4) return damaged(path, "tile table past the end of the file");
    int64_t dataStart = kHeaderSize + 4 * n;

    std::vector<unsigned char> table(static_cast<size_t>(4 * n));
    if (file.readAndCount(table.data(), table.size()) != table.size())
        return damaged(path, "short tile table");
    offsets.resize(static_cast<size_t>(n));
    sizes.resize(static_cast<size_t>(n));
    int64_t at = dataStart;
    for (int64_t i = 0; i < n; i++) {
        uint32_t size = ZLittleEndian::read32(&table[static_cast<size_t>(4 * i)]);
        if (size > length - at) return damaged(path, "tile past the end of the file");
        offsets[static_cast<size_t>(i)] = static_cast<uint32_t>(at);
        sizes[static_cast<size_t>(i)] = size;
        at += size;
    }
    tileEdge = edge;
    kept[0] = ZLittleEndian::read32(header + 16);
    kept[1] = ZLittleEndian::read32(header + 20);
    columns = cols;
    rows = rowCount;
    count = n;
    return true;
}
