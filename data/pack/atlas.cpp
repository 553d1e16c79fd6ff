// Packs pictures into a scene's atlas pictures with the engine's own codecs:
// bramble-atlas LAYOUT OUTDIR. The layout has a line "atlas NAME WIDTH HEIGHT" for each atlas,
// then one line "PICTURE.png X Y" for each picture on it. Each atlas is written as NAME.bmp with
// its alpha (32 bits a pixel, lossless), the file the scene player loads first; its fallback, a
// colour NAME.jpg with a NAME_a.jem alpha, would lose detail to JPEG and cost an error line for
// the missing BMP on every load. Colour is spread into the transparent pixels around each
// picture, so that filtering at the edges blends with the picture's own colour, not black.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "ZImage.h"

namespace {

struct Atlas {
    std::string name;
    long width = 0;
    long height = 0;
    std::vector<uint32_t> pixels;  // bytes R, G, B, A
};

bool readWhole(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool place(Atlas& atlas, const std::string& path, long x, long y) {
    std::string bytes;
    ZImage image;
    if (!readWhole(path, bytes) ||
        !image.decodeImage(ZImage::detectFormat(path.c_str()),
                           reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size())) {
        fprintf(stderr, "bramble-atlas: cannot read the picture %s\n", path.c_str());
        return false;
    }
    long w = image.getImageWidth(), h = image.getImageHeight();
    if (x < 0 || y < 0 || x + w > atlas.width || y + h > atlas.height) {
        fprintf(stderr, "bramble-atlas: %s (%ldx%ld at %ld,%ld) does not fit %s\n", path.c_str(), w,
                h, x, y, atlas.name.c_str());
        return false;
    }
    for (long row = 0; row < h; row++)
        memcpy(&atlas.pixels[static_cast<size_t>((y + row) * atlas.width + x)],
               image.getPixels() + row * w, static_cast<size_t>(w) * 4);
    return true;
}

uint8_t channel(uint32_t pixel, int index) {
    return reinterpret_cast<const uint8_t*>(&pixel)[index];
}

// Each pass gives every fully transparent pixel next to a coloured one the average colour of
// its coloured neighbours (alpha stays 0); the rest of the page ends up in a neutral grey.
void bleed(Atlas& atlas, int passes) {
    const long w = atlas.width, h = atlas.height;
    std::vector<uint8_t> known(static_cast<size_t>(w * h));
    for (size_t i = 0; i < known.size(); i++) known[i] = channel(atlas.pixels[i], 3) > 0;
    for (int pass = 0; pass < passes; pass++) {
        std::vector<uint8_t> next = known;
        std::vector<uint32_t> out = atlas.pixels;
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                size_t i = static_cast<size_t>(y * w + x);
                if (known[i]) continue;
                long sum[3] = {0, 0, 0}, count = 0;
                for (long dy = -1; dy <= 1; dy++)
                    for (long dx = -1; dx <= 1; dx++) {
                        long nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                        size_t j = static_cast<size_t>(ny * w + nx);
                        if (!known[j]) continue;
                        for (int c = 0; c < 3; c++) sum[c] += channel(atlas.pixels[j], c);
                        count++;
                    }
                if (!count) continue;
                uint8_t* p = reinterpret_cast<uint8_t*>(&out[i]);
                for (int c = 0; c < 3; c++) p[c] = static_cast<uint8_t>(sum[c] / count);
                p[3] = 0;
                next[i] = 1;
            }
        atlas.pixels.swap(out);
        known.swap(next);
    }
    for (size_t i = 0; i < known.size(); i++)
        if (!known[i]) atlas.pixels[i] = 0x00808080u;
}

bool writeFile(const std::string& path, const unsigned char* data, unsigned long size) {
    std::string temporary = path + ".tmp";
    FILE* file = fopen(temporary.c_str(), "wb");
    bool written = file && fwrite(data, 1, size, file) == size;
    if (file && fclose(file) != 0) written = false;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        remove(temporary.c_str());
        return false;
    }
    return true;
}

bool write(const Atlas& atlas, const std::string& folder) {
    uint32_t* copy = new uint32_t[atlas.pixels.size()];
    memcpy(copy, atlas.pixels.data(), atlas.pixels.size() * 4);
    ZImage image;
    image.setPixels(static_cast<unsigned long>(atlas.width),
                    static_cast<unsigned long>(atlas.height), true, copy, false, true);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    std::string path = folder + "/" + atlas.name + ".bmp";
    bool ok = image.encodeImage(ZImageFormatBmp, data, size, 100) && writeFile(path, data, size);
    delete[] data;
    if (!ok) fprintf(stderr, "bramble-atlas: cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: bramble-atlas LAYOUT OUTDIR\n");
        return 2;
    }
    std::ifstream layout(argv[1]);
    if (!layout) {
        fprintf(stderr, "bramble-atlas: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<Atlas> atlases;
    std::string line;
    long number = 0;
    while (std::getline(layout, line)) {
        number++;
        if (line.empty()) continue;
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first == "atlas") {
            Atlas a;
            fields >> a.name >> a.width >> a.height;
            if (fields.fail() || a.width <= 0 || a.height <= 0 || a.width > 4096 ||
                a.height > 4096) {
                fprintf(stderr, "bramble-atlas: %s:%ld: bad atlas line\n", argv[1], number);
                return 1;
            }
            a.pixels.assign(static_cast<size_t>(a.width * a.height), 0);
            atlases.push_back(std::move(a));
            continue;
        }
        long x = 0, y = 0;
        fields >> x >> y;
        if (fields.fail() || atlases.empty()) {
            fprintf(stderr, "bramble-atlas: %s:%ld: bad picture line\n", argv[1], number);
            return 1;
        }
        if (!place(atlases.back(), first, x, y)) return 1;
    }
    for (Atlas& a : atlases) {
        bleed(a, 4);
        if (!write(a, argv[2])) return 1;
    }
    return 0;
}
