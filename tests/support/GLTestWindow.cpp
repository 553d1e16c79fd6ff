#include "GLTestWindow.h"

#include <GL/gl.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>

#include "TempDir.h"
#include "ZCore.h"
#include "ZImage.h"
#include "ZWindowGL.h"

GLTestWindow::GLTestWindow(long width, long height, bool depthBuffer, bool stencil) {
    m_window = static_cast<ZWindowGL*>(ZCore::createZWindow(eRendererOpenGL, depthBuffer, stencil));
    if (!m_window) return;
    m_window->setMaxFrameRate(-1);
    m_open = m_window->createGameWindow(width, height, 32, true, "Bramble drawing test", 0);
}

GLTestWindow::~GLTestWindow() {
    ZCore::forgetZWindow();
    delete m_window;
}

void GLTestWindow::clear(float r, float g, float b, float a) {
    m_window->setClearColor(r, g, b, a);
    m_window->setWorldView(0, 0, 0, 1, true);
}

GLPicture readFramebuffer(long x, long y, long width, long height, long framebufferHeight) {
    GLPicture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(width * height, 0);
    std::vector<uint32_t> rows(width * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(static_cast<GLint>(x), static_cast<GLint>(framebufferHeight - y - height),
                 static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA,
                 GL_UNSIGNED_BYTE, rows.data());
    // OpenGL's rows run upwards.
    for (long row = 0; row < height; row++)
        for (long column = 0; column < width; column++)
            picture.pixels[row * width + column] = rows[(height - 1 - row) * width + column];
    return picture;
}

GLPicture uniformPicture(long width, long height, uint32_t colour) {
    GLPicture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(width * height, colour);
    return picture;
}

void fillRect(GLPicture& picture, long x1, long y1, long x2, long y2, uint32_t colour) {
    for (long y = y1; y < y2; y++)
        for (long x = x1; x < x2; x++) picture.pixels[y * picture.width + x] = colour;
}

bool readPngPicture(const std::string& path, GLPicture& picture) {
    std::string bytes = readFile(path);
    ZImage image;
    if (bytes.empty() ||
        !image.decodeImage(ZImageFormatPng, reinterpret_cast<const unsigned char*>(bytes.data()),
                           bytes.size()))
        return false;
    picture.width = image.getImageWidth();
    picture.height = image.getImageHeight();
    picture.pixels.assign(image.getPixels(), image.getPixels() + picture.width * picture.height);
    return true;
}

std::string savePictureForTest(const GLPicture& picture, const char* suffix) {
    const char* folder = getenv("BRAMBLE_TEST_OUTPUT_DIR");
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "picture";
    for (char& c : name)
        if (c == '/') c = '_';
    std::string path =
        std::string(folder && *folder ? folder : ".") + "/" + name + "_" + suffix + ".png";
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return path + " (could not be written)";
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info_ptr = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info_ptr);
        fclose(file);
        return path + " (could not be written)";
    }
    png_init_io(png, file);
    png_set_IHDR(png, info_ptr, static_cast<png_uint_32>(picture.width),
                 static_cast<png_uint_32>(picture.height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info_ptr);
    for (long row = 0; row < picture.height; row++)
        png_write_row(png, reinterpret_cast<png_const_bytep>(&picture.pixels[row * picture.width]));
    png_write_end(png, info_ptr);
    png_destroy_write_struct(&png, &info_ptr);
    fclose(file);
    return path;
}

namespace {

bool close(uint32_t a, uint32_t b, int tolerance) {
    for (int i = 0; i < 4; i++) {
        int difference = static_cast<int>(channel(a, i)) - static_cast<int>(channel(b, i));
        if (difference > tolerance || difference < -tolerance) return false;
    }
    return true;
}

}  // namespace

::testing::AssertionResult picturesMatch(const GLPicture& actual, const GLPicture& expected,
                                         int tolerance) {
    if (actual.width != expected.width || actual.height != expected.height)
        return ::testing::AssertionFailure()
               << "size " << actual.width << "x" << actual.height << ", expected " << expected.width
               << "x" << expected.height;
    long differing = 0;
    long firstX = 0, firstY = 0;
    for (long y = 0; y < actual.height; y++)
        for (long x = 0; x < actual.width; x++)
            if (!close(actual.at(x, y), expected.at(x, y), tolerance) && differing++ == 0) {
                firstX = x;
                firstY = y;
            }
    if (!differing) return ::testing::AssertionSuccess();
    std::string actualPath = savePictureForTest(actual, "actual");
    std::string expectedPath = savePictureForTest(expected, "expected");
    return ::testing::AssertionFailure()
           << differing << " pixels differ; first at (" << firstX << ", " << firstY
           << "): " << describePixel(actual.at(firstX, firstY)) << ", expected "
           << describePixel(expected.at(firstX, firstY)) << "; actual picture written to "
           << actualPath << ", expected to " << expectedPath;
}

::testing::AssertionResult pictureIsUniform(const GLPicture& actual, uint32_t expected,
                                            int tolerance) {
    return picturesMatch(actual, uniformPicture(actual.width, actual.height, expected), tolerance);
}
