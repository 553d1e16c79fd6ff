#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "PixelWords.h"

class ZWindowGL;

// Pixels read back from OpenGL: 32-bit words whose bytes are R, G, B, A, row 0 at the top, the
// same layout as ZImage.
struct GLPicture {
    long width = 0;
    long height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(long x, long y) const { return pixels[y * width + x]; }
};

// A real game window for drawing tests, windowed at the game size (the test display is larger),
// so game pixels are window pixels. Made by the engine's own factory and creation path.
class GLTestWindow {
public:
    GLTestWindow(long width, long height, bool depthBuffer = false, bool stencil = true);
    ~GLTestWindow();
    bool isOpen() const { return m_open; }
    ZWindowGL* window() const { return m_window; }
    // Clears the back buffer to the colour, with the default world view.
    void clear(float r, float g, float b, float a = 1.0f);

private:
    ZWindowGL* m_window = nullptr;
    bool m_open = false;
};

// Reads a rectangle of the current framebuffer (the back buffer, or the bound render target),
// x and y in game pixels from the top left of a framebuffer of the given height.
GLPicture readFramebuffer(long x, long y, long width, long height, long framebufferHeight);

// A picture of one colour.
GLPicture uniformPicture(long width, long height, uint32_t colour);
// Paints a rectangle of the picture (top-down, end exclusive) in one colour.
void fillRect(GLPicture& picture, long x1, long y1, long x2, long y2, uint32_t colour);
// Decodes the PNG file into the picture; false when it cannot be read or decoded.
bool readPngPicture(const std::string& path, GLPicture& picture);

// Writes the picture as a PNG in the folder the test log lies in (BRAMBLE_TEST_OUTPUT_DIR, else
// the working folder), named after the running test and the suffix; returns the path.
std::string savePictureForTest(const GLPicture& picture, const char* suffix);

// Every channel within tolerance of the expected picture. On failure the actual picture (and the
// expected one) are written next to the test log and the first differing pixel is reported.
::testing::AssertionResult picturesMatch(const GLPicture& actual, const GLPicture& expected,
                                         int tolerance = 0);
// Every pixel of the picture within tolerance of one colour; the picture is saved on failure.
::testing::AssertionResult pictureIsUniform(const GLPicture& actual, uint32_t expected,
                                            int tolerance = 0);
