#pragma once

#include <cstdint>
#include <vector>

class ZResource;

// The header and tile table of a tile file: a grid of square JPEG tiles stored back to back
// after a 32-byte header and one 32-bit size per tile, all little-endian.
class CTileFileHeader {
public:
    static constexpr uint64_t kMagic = 0xEB6273F4u;
    static constexpr int64_t kHeaderSize = 32;

    // Reads and checks the file open on the handle: the magic, a tile edge above 0, a grid of
    // at least one tile whose table and tiles lie inside the file. False when it is not a tile
    // file; a file with the magic that fails a check is logged with the path as damaged.
    bool read(ZResource& file, const char* path);

    int64_t tileEdge = 0;
    uint32_t kept[2] = {0, 0};  // offsets 16 and 20, unused
    int64_t columns = 0;
    int64_t rows = 0;
    int64_t count = 0;
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> sizes;

private:
    bool parse(ZResource& file, const char* path);
};
