// Writes the pictures of the start scene with the engine's own encoders:
// bramble-scene-pictures OUTDIR. The background is one colour; the title plate a gold panel with
// a darker border, on the scene's first atlas.
#include <cstdint>
#include <cstdio>
#include <string>

#include "ZImage.h"

namespace {

// Bytes R, G, B, A in memory from 0xAARRGGBB.
uint32_t pixel(uint32_t argb) {
    return ((argb >> 16) & 0xff) | (argb & 0xff00) | ((argb & 0xff) << 16) | (argb & 0xff000000u);
}

bool write(const std::string& path, long width, long height, long format, uint32_t fill,
           uint32_t border, long borderWidth) {
    uint32_t* pixels = new uint32_t[static_cast<size_t>(width * height)];
    for (long y = 0; y < height; y++)
        for (long x = 0; x < width; x++) {
            bool edge = x < borderWidth || y < borderWidth || x >= width - borderWidth ||
                        y >= height - borderWidth;
            pixels[y * width + x] = pixel(edge ? border : fill);
        }
    ZImage image;
    image.setPixels(width, height, false, pixels, false, true);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!image.encodeImage(format, data, size, 95)) return false;
    FILE* file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(data, 1, size, file) == size;
    if (file) fclose(file);
    delete[] data;
    return written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    std::string out = argv[1];
    bool ok = write(out + "/scene_title_background.jpg", 64, 64, ZImageFormatJpg, 0xFF1E4D2B,
                    0xFF1E4D2B, 0) &&
              write(out + "/scene_title_atlas1.bmp", 600, 160, ZImageFormatBmp, 0xFFE8C547,
                    0xFF7A5A12, 12);
    if (!ok) fprintf(stderr, "%s: the pictures could not be written to %s\n", argv[0], out.c_str());
    return ok ? 0 : 1;
}
