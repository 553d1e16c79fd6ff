#pragma once

// What the quad benchmarks share: a scene of 32 x 32 quads placed at random in the window, each
// showing one cell of a 256 x 256 picture, and that picture.
#include <cstdint>
#include <vector>

namespace benchquads {

const long kWidth = 768;
const long kHeight = 1024;
const long kPicture = 256;
const long kQuad = 32;

struct Scene {
    std::vector<float> sourceX, sourceY, x, y;

    explicit Scene(long quads) {
        unsigned state = 2024;
        auto next = [&state](long range) {
            state = state * 1103515245u + 12345u;
            return static_cast<float>((state >> 8) % static_cast<unsigned>(range));
        };
        for (long i = 0; i < quads; i++) {
            sourceX.push_back(static_cast<float>((i % 8) * kQuad));
            sourceY.push_back(static_cast<float>(((i / 8) % 8) * kQuad));
            x.push_back(next(kWidth - kQuad - 8));
            y.push_back(next(kHeight - kQuad - 8));
        }
    }
    long size() const { return static_cast<long>(x.size()); }
};

// Soft colours with a varying alpha, so blending does real work.
inline std::vector<uint32_t> makePicture() {
    std::vector<uint32_t> pixels(kPicture * kPicture);
    for (long y = 0; y < kPicture; y++)
        for (long x = 0; x < kPicture; x++) {
            uint32_t r = static_cast<uint32_t>(x), g = static_cast<uint32_t>(y);
            uint32_t b = static_cast<uint32_t>((x + y) / 2);
            uint32_t a = static_cast<uint32_t>(128 + ((x ^ y) & 127));
            pixels[y * kPicture + x] = r | g << 8 | b << 16 | a << 24;
        }
    return pixels;
}

}  // namespace benchquads
