#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Tile files for the streamed image tests: square JPEG tiles of one colour each, encoded with the
// engine's encoder, after the 32-byte header and the table of tile sizes.
struct TileFileLayout {
    uint32_t edge = 16;
    uint32_t columns = 3;
    uint32_t rows = 2;
};

// The colour of tile n: saturated primaries and mixes that survive JPEG well.
uint32_t tileColour(long n);
// The whole file as bytes; empty when a tile cannot be encoded.
std::vector<unsigned char> tileFileBytes(const TileFileLayout& layout);
// Writes the bytes; false when the file cannot be written.
bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);
// Header fields by byte offset, little-endian.
void putWord(std::vector<unsigned char>& bytes, size_t at, uint32_t value);
