#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ZImage.h"

// A small bitmap font for the tests: its table as the font-table writer lays it out, and its
// two page pictures (white glyph cells on transparent) written with the engine's own encoders.
//
//   code    rectangle (inclusive)  advance  page  x, y offset
//   A       0,0 - 7,9              8        0     0, 0
//   B       0,0 - 5,5              6        1     0, 4
//   C       10,0 - 21,9            10       0     -1, 0    (reaches 1 beyond its advance)
//   space   24,0 - 27,9            4        0     0, 0     (a blank cell)
//   D       30,0 - 33,9            5        0     2, 0
//   U+00E9  36,0 - 41,9            6        0     0, 0
//   U+4E2D  44,0 - 53,9            10       0     0, 0     (a second lookup page)
//   T       56,0 - 59,17           4        0     0, 2     (taller than the line)
//   A again with advance 99: the first entry of a code wins.
// Kerning: A B -2, B A +1, C D +3. Line height 16.
namespace testfont {

struct Glyph {
    long code, x1, y1, x2, y2, advance, height, page, xOffset, yOffset;
};

inline const std::vector<Glyph>& glyphs() {
    static const std::vector<Glyph> all = {
        {65, 0, 0, 7, 9, 8, 9, 0, 0, 0},       {66, 0, 0, 5, 5, 6, 5, 1, 0, 4},
        {67, 10, 0, 21, 9, 10, 9, 0, -1, 0},   {32, 24, 0, 27, 9, 4, 9, 0, 0, 0},
        {68, 30, 0, 33, 9, 5, 9, 0, 2, 0},     {233, 36, 0, 41, 9, 6, 9, 0, 0, 0},
        {20013, 44, 0, 53, 9, 10, 9, 0, 0, 0}, {84, 56, 0, 59, 17, 4, 17, 0, 0, 2},
        {65, 0, 0, 7, 9, 99, 9, 0, 0, 0},
    };
    return all;
}

const long kPageWidth[2] = {64, 16};
const long kPageHeight[2] = {32, 16};
const long kLineHeight = 16;

inline std::string glyphLine(const Glyph& g) {
    char line[160];
    snprintf(line, sizeof(line), "%ld %ld %ld %ld %ld %ld %ld %ld %ld %ld\n", g.code, g.x1, g.y1,
             g.x2, g.y2, g.advance, g.height, g.page, g.xOffset, g.yOffset);
    return line;
}

// The table in the writer's form; version 1 carries no height and no kerning.
inline std::string table(long version = 3) {
    std::string text =
        "%ztext " + std::to_string(version) + " 2 " + std::to_string(glyphs().size());
    if (version >= 2) text += " " + std::to_string(kLineHeight);
    if (version == 3) text += " 3";
    text += "\n";
    for (const Glyph& g : glyphs()) text += glyphLine(g);
    if (version == 3) text += "65 66 -2\n66 65 1\n67 68 3\n";
    return text;
}

// Page p as pixels: the cells of its glyphs opaque white, the blank space cell and the rest
// transparent.
inline std::vector<uint32_t> pagePixels(long page) {
    long width = kPageWidth[page], height = kPageHeight[page];
    std::vector<uint32_t> pixels(width * height, 0x00FFFFFFu);
    for (const Glyph& g : glyphs()) {
        if (g.page != page || g.code == 32) continue;
        for (long y = g.y1; y <= g.y2; y++)
            for (long x = g.x1; x <= g.x2; x++) pixels[y * width + x] = 0xFFFFFFFFu;
    }
    return pixels;
}

// Page p encoded in the format (ZImageFormatPng, ZImageFormatJem, ...); empty on failure.
inline std::string pageBytes(long page, long format) {
    std::vector<uint32_t> pixels = pagePixels(page);
    uint32_t* owned = new uint32_t[pixels.size()];
    for (size_t i = 0; i < pixels.size(); i++) owned[i] = pixels[i];
    ZImage image;
    image.setPixels(kPageWidth[page], kPageHeight[page], true, owned, false, true);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!image.encodeImage(format, data, size, 100)) return std::string();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    delete[] data;
    return bytes;
}

// Writes page p in the format to the path.
inline bool writePage(long page, long format, const std::string& path) {
    std::string bytes = pageBytes(page, format);
    if (bytes.empty()) return false;
    FILE* file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file) fclose(file);
    return written;
}

}  // namespace testfont
