#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Ogg files for the video tests and the video benchmark, written with the real encoders:
// libtheora's th_encode_* for the picture, libvorbisenc for the sound track and libogg to mux
// them page by page in time order. No gtest here: the benchmark builds this file too.
namespace VideoFile {

// Y, Cb, Cr of an 8-bit RGB colour in studio range, the inverse of the player's conversion.
void rgbToYuv(unsigned r, unsigned g, unsigned b, unsigned char& y, unsigned char& u,
              unsigned char& v);

// Paints frame `index` into the three planes (top row first): the luma plane is width x height,
// the chroma planes chromaWidth x chromaHeight; pictureX/Y/Width/Height is the shown region in
// luma pixels. Strides equal the plane widths.
struct Planes {
    int width, height, chromaWidth, chromaHeight;
    int pictureX, pictureY, pictureWidth, pictureHeight;
    unsigned char* y;
    unsigned char* u;
    unsigned char* v;
};
typedef std::function<void(long index, const Planes& planes)> Painter;

struct Layout {
    // The shown picture and where it sits in the encoded frame (frame sizes are the picture's
    // plus the offset, rounded up to 16).
    int width = 32;
    int height = 24;
    int offsetX = 0;
    int offsetY = 0;
    // 0 4:2:0, 2 4:2:2, 3 4:4:4 (libtheora's pixel formats).
    int pixelFormat = 0;
    int fpsNumerator = 10;
    int fpsDenominator = 1;
    // 0 frames writes no picture stream.
    long frames = 10;
    // Frames between forced key frames.
    int keyframeInterval = 8;
    int quality = 48;
    // Solid colours (RGB, 0xRRGGBB) frame by frame, cycling; the region outside the picture is
    // painted magenta. Ignored when painter is set.
    std::vector<uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF};
    Painter painter;
    // Paints the picture with a still texture and only its top-left 8 x 8 block in the frame's
    // colour, so that the encoder codes the frames between key frames as changes (solid frames
    // of changing colours all come out as key frames).
    bool stillTexture = false;
    // 0 writes no sound track; else 1 or 2 channels of a sine of toneHz, soundSeconds long (the
    // picture's length when negative).
    int channels = 0;
    int rate = 22050;
    double toneHz = 440;
    double soundSeconds = -1;
    float soundQuality = 0.3f;
};

std::string make(const Layout& layout);

// The solid colour of frame index under layout.colours.
uint32_t colourOf(const Layout& layout, long index);

// An RGB colour as the player stores it in memory: bytes R, G, B, alpha 255.
inline uint32_t rgbaOf(uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16) | 0xFF000000u;
}

}  // namespace VideoFile
