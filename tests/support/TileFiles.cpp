#include "TileFiles.h"

#include <cstdio>

#include "PixelWords.h"
#include "ZImage.h"

uint32_t tileColour(long n) {
    static const uint32_t colours[] = {rgba(255, 0, 0),     rgba(0, 255, 0),   rgba(0, 0, 255),
                                       rgba(255, 255, 0),   rgba(0, 255, 255), rgba(255, 0, 255),
                                       rgba(255, 255, 255), rgba(0, 0, 0)};
    return colours[n % 8];
}

void putWord(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
    if (bytes.size() < at + 4) bytes.resize(at + 4);
    for (int i = 0; i < 4; i++) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

std::vector<unsigned char> tileFileBytes(const TileFileLayout& layout) {
    std::vector<unsigned char> file(32, 0);
    putWord(file, 0, 0xEB6273F4u);
    putWord(file, 12, layout.edge);
    putWord(file, 16, 7);
    putWord(file, 20, 9);
    putWord(file, 24, layout.columns);
    putWord(file, 28, layout.rows);
    std::vector<unsigned char> tiles;
    long count = static_cast<long>(layout.columns) * layout.rows;
    for (long n = 0; n < count; n++) {
        ZImage image;
        size_t pixels = static_cast<size_t>(layout.edge) * layout.edge;
        uint32_t* data = new uint32_t[pixels];
        for (size_t i = 0; i < pixels; i++) data[i] = tileColour(n);
        image.setPixels(layout.edge, layout.edge, false, data, false, true);
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (!image.encodeImage(ZImageFormatJpg, jpeg, size, 95)) return {};
        putWord(file, file.size(), static_cast<uint32_t>(size));
        tiles.insert(tiles.end(), jpeg, jpeg + size);
        delete[] jpeg;
    }
    file.insert(file.end(), tiles.begin(), tiles.end());
    return file;
}

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}
