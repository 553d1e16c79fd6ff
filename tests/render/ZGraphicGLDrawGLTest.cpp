#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "ImageCodecTestSupport.h"
#include "PixelWords.h"
#include "TestGraphics.h"
#include "ZCore.h"
#include "ZGraphicGL.h"
#include "ZMatrix.h"
#include "ZWindowGL.h"

// Where blits and primitives land, read back from the back buffer. Pictures use nearest
// filtering and every drawn pixel centre falls inside a texel, never on a texel edge, so each
// drawn pixel shows exactly one texel and the expected picture is computed exactly.
namespace {

// A picture whose pixels all differ (up to 1024 x 768), so a wrong texel shows.
struct Picture {
    long width = 0;
    long height = 0;
    std::vector<uint32_t> pixels;

    Picture(long w, long h) : width(w), height(h), pixels(w * h) {
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++)
                pixels[y * w + x] = rgba(x & 255, y & 255, 32 + ((x >> 8) * 3 + (y >> 8)) * 18);
    }
    uint32_t at(long x, long y) const { return pixels[y * width + x]; }
};

// One textured draw as the painter sees it: the source rectangle, the pivot's place, the size
// the rectangle is drawn at before rotation and zoom (the source size unless stretched), the
// rotation in degrees (counter-clockwise on screen), zoom, flips and centre offset.
struct Placement {
    float x1, y1, x2, y2;
    float dx, dy;
    float angle = 0;
    float zoom = 1;
    bool flipX = false;
    bool flipY = false;
    float centerX = 0;
    float centerY = 0;
    float drawWidth = 0;  // 0: the source width
    float drawHeight = 0;
};

// Paints what the placement must show onto the canvas (screen pixels from the top left). Pixels
// whose texel lies outside the picture are left alone (a spliced picture clips its left and top).
void paint(GLPicture& canvas, const Picture& picture, const Placement& p) {
    const double w = p.x2 - p.x1, h = p.y2 - p.y1;
    const double drawW = p.drawWidth > 0 ? p.drawWidth : w;
    const double drawH = p.drawHeight > 0 ? p.drawHeight : h;
    const double hw = drawW * 0.5 + p.centerX, hh = drawH * 0.5 + p.centerY;
    const double pivotX = p.dx + hw, pivotY = p.dy + hh;
    const double radians = p.angle * M_PI / 180.0;
    const double c = std::cos(radians), s = std::sin(radians);
    for (long y = 0; y < canvas.height; y++)
        for (long x = 0; x < canvas.width; x++) {
            const double ox = x + 0.5 - pivotX, oy = y + 0.5 - pivotY;
            // Undo the rotation (y downwards) and the zoom.
            double u = (ox * c - oy * s) / p.zoom + hw;
            double v = (ox * s + oy * c) / p.zoom + hh;
            if (u < 0 || u >= drawW || v < 0 || v >= drawH) continue;
            if (p.flipX) u = drawW - u;
            if (p.flipY) v = drawH - v;
            const long sx = static_cast<long>(std::floor(p.x1 + u * w / drawW));
            const long sy = static_cast<long>(std::floor(p.y1 + v * h / drawH));
            if (sx < 0 || sy < 0 || sx >= picture.width || sy >= picture.height) continue;
            canvas.pixels[y * canvas.width + x] = picture.at(sx, sy);
        }
}

std::string describe(const Placement& p) {
    return "source " + std::to_string(p.x1) + "," + std::to_string(p.y1) + "-" +
           std::to_string(p.x2) + "," + std::to_string(p.y2) + " at " + std::to_string(p.dx) + "," +
           std::to_string(p.dy) + " angle " + std::to_string(p.angle) + " zoom " +
           std::to_string(p.zoom) + (p.flipX ? " flipX" : "") + (p.flipY ? " flipY" : "") +
           " centre " + std::to_string(p.centerX) + "," + std::to_string(p.centerY);
}

class ZGraphicGLDrawTest : public ::testing::Test {
protected:
    void SetUp() override { open(160, 120); }

    void open(long width, long height) {
        made.clear();
        window.reset();
        window.reset(new GLTestWindow(width, height));
        ASSERT_TRUE(window->isOpen());
        window->clear(0.25f, 0.2f, 0.3f);
    }

    void TearDown() override {
        made.clear();
        window.reset();
    }

    // A graphic of the picture through the engine's factory, nearest filtering. The array must
    // outlive the graphic, which keeps it.
    ZGraphic* make(const Picture& picture, bool alpha = false, bool splice = false,
                   ZGraphicSpliceStruct* splices = nullptr) {
        return made.make(picture.pixels, picture.width, picture.height, alpha, splice, splices);
    }

    ZGraphic* makeEmpty() { return made.makeEmpty(); }

    long width() const { return window->window()->getWindowWidth(); }
    long height() const { return window->window()->getWindowHeight(); }
    GLPicture screen() { return readFramebuffer(0, 0, width(), height(), height()); }

    std::unique_ptr<GLTestWindow> window;
    TestGraphics made;
};

// ---- Blits ----

// Every unrotated blit puts the source rectangle 1:1 at the destination, flips mirroring the
// texels, for a power-of-two picture (2D texture) and a rectangle-texture one.
TEST_F(ZGraphicGLDrawTest, BlitsDrawTheSourceRectangleOneToOne) {
    typedef std::function<void(ZGraphic*, float, float, float, float, float, float, bool, bool)>
        Blit;
    struct Kind {
        const char* name;
        Blit blit;
    } kinds[] = {
        {"blitRect", [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy,
                        bool fx, bool fy) { g->blitRect(x1, y1, x2, y2, dx, dy, fx, fy); }},
        {"blitRectF", [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy,
                         bool fx, bool fy) { g->blitRectF(x1, y1, x2, y2, dx, dy, fx, fy); }},
        {"blitAlphaRect",
         [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy, bool fx,
            bool fy) { g->blitAlphaRect(x1, y1, x2, y2, dx, dy, fx, fy); }},
        {"blitAlphaRectF",
         [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy, bool fx,
            bool fy) { g->blitAlphaRectF(x1, y1, x2, y2, dx, dy, fx, fy); }},
        {"blitRectFx",
         [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy, bool fx,
            bool fy) { g->blitRectFx(x1, y1, x2, y2, dx, dy, 0, 1, fx, fy, 0, 0); }},
        {"blitRectFxF",
         [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy, bool fx,
            bool fy) { g->blitRectFxF(x1, y1, x2, y2, dx, dy, 0, 1, fx, fy, 0, 0); }},
        {"blitAlphaRectFx",
         [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy, bool fx,
            bool fy) { g->blitAlphaRectFx(x1, y1, x2, y2, dx, dy, 0, 1, 1, fx, fy, 0, 0); }},
        {"blitAlphaRectFxF",
         [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy, bool fx,
            bool fy) { g->blitAlphaRectFxF(x1, y1, x2, y2, dx, dy, 0, 1, 1, fx, fy, 0, 0); }},
        // The centre offset moves only the pivot: unrotated and unzoomed it changes nothing.
        {"blitRectFx with centre offset",
         [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy, bool fx,
            bool fy) { g->blitRectFx(x1, y1, x2, y2, dx, dy, 0, 1, fx, fy, 5, -3); }},
        {"stretchAlphaRect to its own size",
         [](ZGraphic* g, float x1, float y1, float x2, float y2, float dx, float dy, bool fx,
            bool fy) {
             g->stretchAlphaRect(x1, y1, x2, y2, dx, dy, dx + (x2 - x1), dy + (y2 - y1), 1, 0, fx,
                                 fy, 0, 0);
         }},
    };
    const Picture square(16, 16), wide(24, 16);
    ZGraphic* squareGraphic = make(square);
    ZGraphic* wideGraphic = make(wide);
    struct Source {
        const Picture* picture;
        ZGraphic* graphic;
        float x1, y1, x2, y2;
    } sources[] = {
        {&square, squareGraphic, 0, 0, 16, 16},
        {&square, squareGraphic, 3, 2, 13, 9},
        {&wide, wideGraphic, 0, 0, 24, 16},
        {&wide, wideGraphic, 5, 4, 22, 15},
    };
    for (const Source& source : sources)
        for (const Kind& kind : kinds)
            for (int flips = 0; flips < 4; flips++) {
                Placement p{source.x1, source.y1, source.x2, source.y2, 37, 21};
                p.flipX = flips & 1;
                p.flipY = flips & 2;
                SCOPED_TRACE(std::string(kind.name) + " of a " +
                             std::to_string(source.picture->width) + "x" +
                             std::to_string(source.picture->height) + " picture, " + describe(p));
                window->clear(0.25f, 0.2f, 0.3f);
                GLPicture expected = screen();
                paint(expected, *source.picture, p);
                kind.blit(source.graphic, p.x1, p.y1, p.x2, p.y2, p.dx, p.dy, p.flipX, p.flipY);
                ASSERT_TRUE(picturesMatch(screen(), expected));
            }
}

// Rotation and zoom turn about the rectangle's centre moved by the centre offset.
TEST_F(ZGraphicGLDrawTest, RotatedAndZoomedBlitsTurnAboutTheirPivot) {
    const Placement cases[] = {
        {0, 0, 16, 16, 40, 30, 90},
        {0, 0, 16, 16, 40, 30, 180},
        {0, 0, 16, 16, 40, 30, 270},
        {0, 0, 16, 16, 40, 30, -90},
        {2, 4, 14, 10, 40, 30, 90},
        {0, 0, 16, 16, 40, 30, 0, 2},
        {3, 2, 11, 12, 40, 30, 0, 2},
        {0, 0, 16, 16, 40, 30, 90, 2, true},
        {0, 0, 16, 16, 40, 30, 180, 1, true, true},
        {0, 0, 16, 16, 40, 30, 180, 1, false, false, 4, 2},
        {0, 0, 16, 16, 40, 30, 90, 1, false, true, -3, 5},
        {0, 0, 16, 16, 40, 30, 0, 2, false, false, -3, 5},
        {0, 0, 16, 16, 40, 30, 270, 3, false, false, 2, 2},
    };
    // A 2D texture and a rectangle texture.
    const Picture square(16, 16), wide(24, 16);
    ZGraphic* squareGraphic = make(square);
    ZGraphic* wideGraphic = make(wide);
    for (const Picture* picture : {&square, &wide})
        for (const Placement& p : cases)
            for (int variant = 0; variant < 4; variant++) {
                SCOPED_TRACE(std::string(variant == 0   ? "blitRectFx"
                                         : variant == 1 ? "blitRectFxF"
                                         : variant == 2 ? "blitAlphaRectFx"
                                                        : "blitAlphaRectFxF") +
                             " of a " + std::to_string(picture->width) + "x" +
                             std::to_string(picture->height) + " picture, " + describe(p));
                ZGraphic* graphic = picture == &square ? squareGraphic : wideGraphic;
                window->clear(0.25f, 0.2f, 0.3f);
                GLPicture expected = screen();
                paint(expected, *picture, p);
                if (variant == 0)
                    graphic->blitRectFx(p.x1, p.y1, p.x2, p.y2, p.dx, p.dy, p.angle, p.zoom,
                                        p.flipX, p.flipY, p.centerX, p.centerY);
                else if (variant == 1)
                    graphic->blitRectFxF(p.x1, p.y1, p.x2, p.y2, p.dx, p.dy, p.angle, p.zoom,
                                         p.flipX, p.flipY, p.centerX, p.centerY);
                else if (variant == 2)
                    graphic->blitAlphaRectFx(p.x1, p.y1, p.x2, p.y2, p.dx, p.dy, p.angle, p.zoom, 1,
                                             p.flipX, p.flipY, p.centerX, p.centerY);
                else
                    graphic->blitAlphaRectFxF(p.x1, p.y1, p.x2, p.y2, p.dx, p.dy, p.angle, p.zoom,
                                              1, p.flipX, p.flipY, p.centerX, p.centerY);
                ASSERT_TRUE(picturesMatch(screen(), expected));
            }
}

// Texture coordinates are divided by the texture size times the UV scale (the scale alone for a
// rectangle texture): a scale of 2 shows the source rectangle's top-left part enlarged.
TEST_F(ZGraphicGLDrawTest, UVScaleDividesTheTextureCoordinates) {
    const Picture square(16, 16), wide(24, 16);
    ZGraphic* squareGraphic = make(square);
    ZGraphic* wideGraphic = make(wide);
    struct Case {
        float u, v;
    } cases[] = {{2, 2}, {2, 1}, {1, 4}, {1, 1}};
    for (const Picture* picture : {&square, &wide}) {
        ZGraphic* graphic = picture == &square ? squareGraphic : wideGraphic;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(picture->width) + "x" + std::to_string(picture->height) +
                         " picture, scale " + std::to_string(c.u) + ", " + std::to_string(c.v));
            window->clear(0.25f, 0.2f, 0.3f);
            GLPicture expected = screen();
            paint(expected, *picture,
                  {0, 0, 16 / c.u, 16 / c.v, 20, 10, 0, 1, false, false, 0, 0, 16, 16});
            paint(expected, *picture,
                  {2 / c.u, 4 / c.v, 10 / c.u, 12 / c.v, 60, 10, 0, 1, false, false, 0, 0, 8, 8});
            // The binding of the previous scale must not survive the change.
            graphic->blitRect(0, 0, 16, 16, 100, 100, false, false);
            graphic->setUVScale(c.u, c.v, false);
            graphic->blitRect(0, 0, 16, 16, 20, 10, false, false);
            graphic->blitAlphaRectFx(2, 4, 10, 12, 60, 10, 0, 1, 1, false, false, 0, 0);
            graphic->setUVScale(1, 1, false);
            GLPicture actual = screen();
            // What the first blit drew at (100, 100) is not part of the comparison.
            for (long y = 100; y < 116 && y < actual.height; y++)
                for (long x = 100; x < 116; x++)
                    actual.pixels[y * actual.width + x] = expected.pixels[y * expected.width + x];
            ASSERT_TRUE(picturesMatch(actual, expected));
        }
    }
}

TEST_F(ZGraphicGLDrawTest, StretchedBlitFillsItsBoxAndTurnsAboutItsCentre) {
    struct Case {
        float x1, y1, x2, y2;
        float dx1, dy1, dx2, dy2;
        float angle = 0;
        bool flipX = false, flipY = false;
        float centerX = 0, centerY = 0;
    } cases[] = {
        {0, 0, 8, 6, 30, 20, 46, 38},   // 2 x 3
        {2, 1, 10, 5, 30, 20, 62, 32},  // 4 x 3
        {0, 0, 8, 6, 30, 20, 46, 38, 0, true, false},
        {0, 0, 8, 6, 30, 20, 46, 38, 0, false, true},
        {0, 0, 8, 6, 30, 20, 46, 38, 180},
        {0, 0, 8, 6, 30, 20, 46, 38, 90, false, false, 2, -4},
    };
    const Picture picture(12, 8);
    ZGraphic* graphic = make(picture);
    for (const Case& c : cases) {
        Placement p{c.x1, c.y1,    c.x2,    c.y2,      c.dx1,     c.dy1,         c.angle,
                    1,    c.flipX, c.flipY, c.centerX, c.centerY, c.dx2 - c.dx1, c.dy2 - c.dy1};
        SCOPED_TRACE(describe(p) + " into " + std::to_string(p.drawWidth) + "x" +
                     std::to_string(p.drawHeight));
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = screen();
        paint(expected, picture, p);
        graphic->stretchAlphaRect(c.x1, c.y1, c.x2, c.y2, c.dx1, c.dy1, c.dx2, c.dy2, 1, c.angle,
                                  c.flipX, c.flipY, c.centerX, c.centerY);
        ASSERT_TRUE(picturesMatch(screen(), expected));
    }
}

// Corners are given top-left, top-right, bottom-right, bottom-left of the source; where the
// destination corners go, the picture follows.
TEST_F(ZGraphicGLDrawTest, ArbitraryQuadMapsSourceCornersOntoDestinationCorners) {
    struct Case {
        const char* name;
        float d[8];
        Placement expected;
    } cases[] = {
        {"same size", {30, 20, 38, 20, 38, 26, 30, 26}, {2, 1, 10, 7, 30, 20}},
        {"stretched",
         {30, 20, 46, 20, 46, 38, 30, 38},
         {2, 1, 10, 7, 30, 20, 0, 1, false, false, 0, 0, 16, 18}},
        {"mirrored", {38, 20, 30, 20, 30, 26, 38, 26}, {2, 1, 10, 7, 30, 20, 0, 1, true}},
        {"upside down", {30, 26, 38, 26, 38, 20, 30, 20}, {2, 1, 10, 7, 30, 20, 0, 1, false, true}},
        // Turned a quarter counter-clockwise into the box (30, 20)-(36, 28).
        {"quarter turn", {30, 28, 30, 20, 36, 20, 36, 28}, {2, 1, 10, 7, 29, 21, 90}},
    };
    const Picture picture(12, 8);
    ZGraphic* graphic = make(picture);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = screen();
        paint(expected, picture, c.expected);
        graphic->blitArbitraryQuad(2, 1, 10, 1, 10, 7, 2, 7, c.d[0], c.d[1], c.d[2], c.d[3], c.d[4],
                                   c.d[5], c.d[6], c.d[7], 1);
        ASSERT_TRUE(picturesMatch(screen(), expected));
    }
}

// The matrix works in y-up coordinates after the blit's own pivot transform.
TEST_F(ZGraphicGLDrawTest, MatrixBlitAppliesItsTransformAboutThePivot) {
    ZMatrix identity;
    ZMatrix shift;
    shift.translation(10, -6, 0);
    struct Case {
        const char* name;
        ZMatrix* matrix;
        float angle, scaleX, scaleY;
        bool flipX, flipY;
        float centerX, centerY;
        Placement expected;
    } cases[] = {
        {"identity", &identity, 0, 1, 1, false, false, 0, 0, {2, 1, 10, 7, 30, 20}},
        {"no matrix", nullptr, 0, 1, 1, false, false, 0, 0, {2, 1, 10, 7, 30, 20}},
        {"translation", &shift, 0, 1, 1, false, false, 0, 0, {2, 1, 10, 7, 40, 26}},
        {"quarter turn", &identity, 90, 1, 1, false, false, 0, 0, {2, 1, 10, 7, 30, 20, 90}},
        {"half turn about an offset pivot",
         &identity,
         180,
         1,
         1,
         false,
         false,
         3,
         -2,
         {2, 1, 10, 7, 30, 20, 180, 1, false, false, 3, -2}},
        {"doubled", &identity, 0, 2, 2, false, false, 0, 0, {2, 1, 10, 7, 30, 20, 0, 2}},
        {"flipped", &identity, 0, 1, 1, true, true, 0, 0, {2, 1, 10, 7, 30, 20, 0, 1, true, true}},
        {"turned and translated", &shift, 90, 1, 1, false, false, 0, 0, {2, 1, 10, 7, 40, 26, 90}},
    };
    const Picture picture(12, 8);
    ZGraphic* graphic = make(picture);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = screen();
        paint(expected, picture, c.expected);
        graphic->blitAlphaRectMatrixF(2, 1, 10, 7, 30, 20, 38, 26, c.matrix, c.angle, c.scaleX,
                                      c.scaleY, 0, 0, 1, c.flipX, c.flipY, c.centerX, c.centerY);
        ASSERT_TRUE(picturesMatch(screen(), expected));
    }
}

// Zoom not above 0 (and, for the blending blits, alpha not above 0) draws nothing, spliced or
// not. The graphics add their colour whatever its alpha, so a stray draw would show.
TEST_F(ZGraphicGLDrawTest, BlitsThatMustDrawNothing) {
    const Picture picture(40, 20);
    ZGraphicSpliceStruct splices[3] = {{0, 0, 20, 20, 0, 0, 0}, {20, 0, 40, 20, 1, 0, 0}, {}};
    ZGraphic* plain = make(picture);
    ZGraphic* spliced = make(picture, false, true, splices);
    ASSERT_TRUE(spliced->isSpliced());
    ZGraphic* empty = makeEmpty();
    for (ZGraphic* graphic : {plain, spliced, empty}) graphic->setAlphaMode(2);
    struct Case {
        const char* name;
        std::function<void()> draw;
    } cases[] = {
        {"blitRectFx zoom -1", [&] { plain->blitRectFx(0, 0, 40, 20, 50, 50, 0, -1, 0, 0, 0, 0); }},
        {"blitRectFxF zoom -2",
         [&] { plain->blitRectFxF(0, 0, 40, 20, 50, 50, 30, -2, 0, 0, 0, 0); }},
        {"blitRectFx zoom 0", [&] { plain->blitRectFx(0, 0, 40, 20, 50, 50, 0, 0, 0, 0, 0, 0); }},
        {"blitAlphaRectFx zoom -1",
         [&] { plain->blitAlphaRectFx(0, 0, 40, 20, 50, 50, 0, -1, 1, 0, 0, 0, 0); }},
        {"blitAlphaRectFx alpha 0",
         [&] { plain->blitAlphaRectFx(0, 0, 40, 20, 50, 50, 0, 1, 0, 0, 0, 0, 0); }},
        {"blitAlphaRectFxF alpha -0.5",
         [&] { plain->blitAlphaRectFxF(0, 0, 40, 20, 50, 50, 0, 1, -0.5f, 0, 0, 0, 0); }},
        {"stretchAlphaRect alpha 0",
         [&] { plain->stretchAlphaRect(0, 0, 40, 20, 50, 50, 90, 70, 0, 0, 0, 0, 0, 0); }},
        {"spliced blitRectFx zoom -1",
         [&] { spliced->blitRectFx(0, 0, 40, 20, 50, 50, 0, -1, 0, 0, 0, 0); }},
        {"spliced blitRectFx zoom 0",
         [&] { spliced->blitRectFx(0, 0, 40, 20, 50, 50, 0, 0, 0, 0, 0, 0); }},
        {"spliced blitAlphaRectFxF zoom -1",
         [&] { spliced->blitAlphaRectFxF(0, 0, 40, 20, 50, 50, 0, -1, 1, 0, 0, 0, 0); }},
        {"spliced blitAlphaRectFx alpha 0",
         [&] { spliced->blitAlphaRectFx(0, 0, 40, 20, 50, 50, 0, 1, 0, 0, 0, 0, 0); }},
        {"blitSplicedRectFx zoom -1",
         [&] { spliced->blitSplicedRectFx(0, 0, 40, 20, 50, 50, 0, -1, 0, 0, 0, 0); }},
        {"blitSplicedAlphaRectFxF alpha 0",
         [&] { spliced->blitSplicedAlphaRectFxF(0, 0, 40, 20, 50, 50, 0, 1, 0, 0, 0, 0, 0); }},
        {"blitSplicedRectFxF of an unspliced picture",
         [&] { plain->blitSplicedRectFxF(0, 0, 40, 20, 50, 50, 0, 1, 0, 0, 0, 0); }},
        {"blitRect without picture", [&] { empty->blitRect(0, 0, 40, 20, 50, 50, 0, 0); }},
        {"blitAlphaRectFx without picture",
         [&] { empty->blitAlphaRectFx(0, 0, 40, 20, 50, 50, 0, 1, 1, 0, 0, 0, 0); }},
        {"blitArbitraryQuad without picture",
         [&] {
             empty->blitArbitraryQuad(0, 0, 40, 0, 40, 20, 0, 20, 50, 50, 90, 50, 90, 70, 50, 70,
                                      1);
         }},
        {"stretchAlphaRect without picture",
         [&] { empty->stretchAlphaRect(0, 0, 40, 20, 50, 50, 90, 70, 1, 0, 0, 0, 0, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture before = screen();
        c.draw();
        ASSERT_TRUE(picturesMatch(screen(), before));
    }
}

// A graphic placed in an atlas shows its own pixels through every kind of blit.
TEST_F(ZGraphicGLDrawTest, AtlasGraphicsDrawTheirOwnPixels) {
    ZGraphic* atlas = makeEmpty();
    ASSERT_TRUE(atlas->makeAtlas(64, 32, false));
    const Picture first(16, 8), second(12, 10);
    Picture other = second;
    for (uint32_t& pixel : other.pixels) pixel ^= 0x00FFFFFF;
    ZGraphic* a = makeEmpty();
    ZGraphic* b = makeEmpty();
    a->setInAtlas(atlas, 0, 0, 0, 0);
    b->setInAtlas(atlas, 20, 9, 0, 0);
    ASSERT_TRUE(
        a->makePictureFromArray(made.keep(first.pixels), 16, 8, false, false, false, nullptr));
    ASSERT_TRUE(
        b->makePictureFromArray(made.keep(other.pixels), 12, 10, false, false, false, nullptr));
    ASSERT_TRUE(atlas->finalizeAtlas());
    ZMatrix identity;
    struct Case {
        const char* name;
        std::function<void()> draw;
        Placement expected;
    } cases[] = {
        {"blitRect",
         [&] { b->blitRect(2, 1, 10, 9, 30, 20, false, false); },
         {2, 1, 10, 9, 30, 20}},
        {"blitAlphaRectFx turned",
         [&] { b->blitAlphaRectFx(2, 1, 10, 9, 30, 20, 90, 1, 1, false, false, 0, 0); },
         {2, 1, 10, 9, 30, 20, 90}},
        {"stretchAlphaRect",
         [&] { b->stretchAlphaRect(2, 1, 10, 9, 30, 20, 46, 36, 1, 0, false, false, 0, 0); },
         {2, 1, 10, 9, 30, 20, 0, 1, false, false, 0, 0, 16, 16}},
        {"blitArbitraryQuad",
         [&] { b->blitArbitraryQuad(2, 1, 10, 1, 10, 9, 2, 9, 30, 20, 38, 20, 38, 28, 30, 28, 1); },
         {2, 1, 10, 9, 30, 20}},
        {"blitAlphaRectMatrixF",
         [&] {
             b->blitAlphaRectMatrixF(2, 1, 10, 9, 30, 20, 38, 28, &identity, 180, 1, 1, 0, 0, 1,
                                     false, false, 0, 0);
         },
         {2, 1, 10, 9, 30, 20, 180}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = screen();
        paint(expected, other, c.expected);
        c.draw();
        ASSERT_TRUE(picturesMatch(screen(), expected));
    }
}

// Texture 0 of this list holds the left half at its top left; the rest of it is empty (black).
TEST_F(ZGraphicGLDrawTest, StretchOfASplicedPictureDrawsItsFirstTextureOnly) {
    const Picture picture(40, 20);
    ZGraphicSpliceStruct splices[3] = {{0, 0, 20, 20, 0, 0, 0}, {20, 0, 40, 20, 1, 0, 0}, {}};
    ZGraphic* graphic = make(picture, false, true, splices);
    ASSERT_TRUE(graphic->isSpliced());
    Picture firstTexture = picture;
    for (long y = 0; y < 20; y++)
        for (long x = 20; x < 40; x++) firstTexture.pixels[y * 40 + x] = rgba(0, 0, 0);
    GLPicture expected = screen();
    paint(expected, firstTexture, {0, 0, 40, 20, 10, 10, 0, 1, false, false, 0, 0, 80, 40});
    graphic->stretchAlphaRect(0, 0, 40, 20, 10, 10, 90, 50, 1, 0, false, false, 0, 0);
    EXPECT_TRUE(picturesMatch(screen(), expected));
}

// Wrap and filter changes reach the texture at its next blit, also when it is bound already.
TEST_F(ZGraphicGLDrawTest, WrapAndFilterChangesApplyAtTheNextBlit) {
    const Picture picture(16, 16);  // one 16 x 16 2D texture: texture and picture edges meet
    ZGraphic* graphic = make(picture);
    struct Case {
        const char* name;
        long wrap;
        std::function<long(long)> column;  // the texel column a source column shows
    } cases[] = {
        {"clamp", 0, [](long x) { return std::min(x, 15L); }},
        {"repeat", 1, [](long x) { return x % 16; }},
        {"mirrored repeat", 2, [](long x) { return x < 16 ? x : 31 - x; }},
        {"unknown mode keeps mirrored repeat", 7, [](long x) { return x < 16 ? x : 31 - x; }},
        {"clamp again", 0, [](long x) { return std::min(x, 15L); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = screen();
        for (long y = 0; y < 16; y++)
            for (long x = 0; x < 32; x++)
                expected.pixels[(20 + y) * 160 + 10 + x] = picture.at(c.column(x), y);
        graphic->blitRect(0, 0, 16, 16, 60, 60, false, false);  // bound before the change
        graphic->allowTextureWrap(c.wrap);
        graphic->blitRect(0, 0, 32, 16, 10, 20, false, false);
        paint(expected, picture, {0, 0, 16, 16, 60, 60});
        ASSERT_TRUE(picturesMatch(screen(), expected));
    }

    // Smooth filtering blends neighbouring texels of a zoomed blit; nearest shows one texel.
    // Neighbours here differ a lot, so a blend cannot pass for one texel.
    Picture contrast(16, 16);
    for (long y = 0; y < 16; y++)
        for (long x = 0; x < 16; x++)
            contrast.pixels[y * 16 + x] =
                rgba((x * 53 + y * 29) & 255, (x * 17 ^ y * 71) & 255, ((x + y) & 1) * 255);
    graphic = make(contrast);
    auto bilinear = [&](double u, double v) {
        u -= 0.5;
        v -= 0.5;
        long x0 = static_cast<long>(std::floor(u)), y0 = static_cast<long>(std::floor(v));
        double fx = u - x0, fy = v - y0;
        auto texel = [&](long x, long y, int k) {
            x = std::max(0L, std::min(15L, x));
            y = std::max(0L, std::min(15L, y));
            return static_cast<double>(channel(contrast.at(x, y), k));
        };
        unsigned out[3];
        for (int k = 0; k < 3; k++)
            out[k] = static_cast<unsigned>(std::lround(
                (texel(x0, y0, k) * (1 - fx) + texel(x0 + 1, y0, k) * fx) * (1 - fy) +
                (texel(x0, y0 + 1, k) * (1 - fx) + texel(x0 + 1, y0 + 1, k) * fx) * fy));
        return rgba(out[0], out[1], out[2]);
    };
    for (bool smooth : {true, false, true}) {
        SCOPED_TRACE(smooth ? "smooth" : "nearest");
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = screen();
        if (smooth) {
            for (long y = 0; y < 32; y++)
                for (long x = 0; x < 32; x++)
                    expected.pixels[(20 + y) * 160 + 10 + x] =
                        bilinear((x + 0.5) / 2, (y + 0.5) / 2);
        } else {
            paint(expected, contrast, {0, 0, 16, 16, 18, 28, 0, 2});
        }
        graphic->blitRect(0, 0, 16, 16, 60, 60, false, false);
        graphic->setTextureQuality(smooth);
        EXPECT_EQ(graphic->getTextureQuality(), smooth);
        graphic->blitRectFx(0, 0, 16, 16, 18, 28, 0, 2, false, false, 0, 0);
        paint(expected, contrast, {0, 0, 16, 16, 60, 60});
        // Filtering weights are coarse in the renderer: a couple of steps either way.
        ASSERT_TRUE(picturesMatch(screen(), expected, smooth ? 3 : 0));
    }
}

// ---- Untextured primitives ----

TEST_F(ZGraphicGLDrawTest, PrimitivesFillTheirPixels) {
    const uint32_t red = rgba(255, 0, 0), green = rgba(0, 255, 0);
    ZGraphic* graphic = makeEmpty();
    GLPicture background = screen();
    struct Case {
        const char* name;
        std::function<void()> draw;
        std::function<void(GLPicture&)> paint;
    } cases[] = {
        {"rectangle", [&] { graphic->drawRect(10, 20, 30, 27, 1, 0, 0, 1); },
         [&](GLPicture& p) { fillRect(p, 10, 20, 30, 27, red); }},
        {"reversed rectangle", [&] { graphic->drawRect(30, 27, 10, 20, 1, 0, 0, 1); },
         [&](GLPicture& p) { fillRect(p, 10, 20, 30, 27, red); }},
        {"quad, corners clockwise from the top left",
         [&] { graphic->drawArbitraryQuad(10, 20, 30, 20, 30, 27, 10, 27, 0, 1, 0, 1); },
         [&](GLPicture& p) { fillRect(p, 10, 20, 30, 27, green); }},
        {"quad, corners counter-clockwise from the bottom right",
         [&] { graphic->drawArbitraryQuad(30, 27, 30, 20, 10, 20, 10, 27, 0, 1, 0, 1); },
         [&](GLPicture& p) { fillRect(p, 10, 20, 30, 27, green); }},
        {"pixel at a pixel centre", [&] { graphic->plotPixel(12.5f, 7.5f, 1, 0, 0, 1); },
         [&](GLPicture& p) { fillRect(p, 12, 7, 13, 8, red); }},
        {"gradient of one colour",
         [&] {
             graphic->drawGradient(10, 20, 30, 20, 30, 27, 10, 27, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0,
                                   1, 0, 1, 0, 1);
         },
         [&](GLPicture& p) { fillRect(p, 10, 20, 30, 27, green); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = background;
        c.paint(expected);
        c.draw();
        ASSERT_TRUE(picturesMatch(screen(), expected));
    }
}

// Line ends may take or leave their end pixel; the run between them and its sides are exact.
TEST_F(ZGraphicGLDrawTest, LinesCoverTheRunBetweenTheirEnds) {
    ZGraphic* graphic = makeEmpty();
    const uint32_t blue = rgba(0, 0, 255);
    GLPicture before = screen();
    graphic->drawLine(10, 20.5f, 40, 20.5f, 0, 0, 1, 1);
    graphic->drawLine(60.5f, 10, 60.5f, 50, 0, 0, 1, 1);
    GLPicture after = screen();
    for (long x = 11; x < 39; x++) {
        EXPECT_EQ(after.at(x, 20), blue) << x;
        EXPECT_EQ(after.at(x, 19), before.at(x, 19)) << x;
        EXPECT_EQ(after.at(x, 21), before.at(x, 21)) << x;
    }
    for (long y = 11; y < 49; y++) {
        EXPECT_EQ(after.at(60, y), blue) << y;
        EXPECT_EQ(after.at(59, y), before.at(59, y)) << y;
        EXPECT_EQ(after.at(61, y), before.at(61, y)) << y;
    }
    // Nothing beyond the ends.
    EXPECT_EQ(after.at(8, 20), before.at(8, 20));
    EXPECT_EQ(after.at(42, 20), before.at(42, 20));
    EXPECT_EQ(after.at(60, 8), before.at(60, 8));
    EXPECT_EQ(after.at(60, 52), before.at(60, 52));
}

// Each corner keeps its own colour; in between the colours run smoothly.
TEST_F(ZGraphicGLDrawTest, GradientShadesFromItsCorners) {
    ZGraphic* graphic = makeEmpty();
    GLPicture background = screen();
    graphic->drawGradient(20, 10, 84, 10, 84, 74, 20, 74,  // corners
                          1, 0, 0, 1,                      // top left red
                          0, 1, 0, 1,                      // top right green
                          0, 0, 1, 1,                      // bottom right blue
                          1, 1, 1, 1);                     // bottom left white
    GLPicture after = screen();
    // A corner pixel lies half a pixel in from its corner: 64 pixels span the full range.
    const int tolerance = 8;
    struct Corner {
        long x, y;
        uint32_t colour;
    } corners[] = {{20, 10, rgba(255, 0, 0)},
                   {83, 10, rgba(0, 255, 0)},
                   {83, 73, rgba(0, 0, 255)},
                   {20, 73, rgba(255, 255, 255)}};
    for (const Corner& c : corners)
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(static_cast<int>(channel(after.at(c.x, c.y), i)),
                        static_cast<int>(channel(c.colour, i)), tolerance)
                << "corner " << c.x << "," << c.y << " channel " << i;
    // Halfway along the top edge: half red, half green.
    EXPECT_NEAR(static_cast<int>(channel(after.at(52, 10), 0)), 128, tolerance);
    EXPECT_NEAR(static_cast<int>(channel(after.at(52, 10), 1)), 128, tolerance);
    // Just outside the quad nothing changed.
    EXPECT_EQ(after.at(19, 40), background.at(19, 40));
    EXPECT_EQ(after.at(84, 40), background.at(84, 40));
    EXPECT_EQ(after.at(50, 9), background.at(50, 9));
    EXPECT_EQ(after.at(50, 74), background.at(50, 74));
}

// Primitives and blits share the texture and colour state: each must leave it so that the next
// draws right, textured or not.
TEST_F(ZGraphicGLDrawTest, PrimitivesAndBlitsFollowEachOther) {
    const Picture picture(16, 16);
    ZGraphic* graphic = make(picture);
    ZGraphic* other = makeEmpty();
    GLPicture expected = screen();
    graphic->blitRect(0, 0, 16, 16, 4, 4, false, false);
    other->drawRect(24, 4, 40, 20, 1, 0, 0, 1);            // untextured after a textured blit
    graphic->blitRect(0, 0, 16, 16, 44, 4, false, false);  // textured again, unmodulated
    graphic->drawGradient(64, 4, 80, 4, 80, 20, 64, 20, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1,
                          1);
    graphic->blitAlphaRect(0, 0, 16, 16, 84, 4, false, false);  // after the colour array
    graphic->plotPixel(104.5f, 4.5f, 0, 1, 0, 1);
    graphic->blitRectFx(0, 0, 16, 16, 108, 4, 0, 1, false, false, 0, 0);
    ZGraphicGL::drawStatelessRect(128, 4, 144, 20, 1, 1, 0, 1);
    graphic->blitRect(0, 0, 16, 16, 4, 24, false, false);
    paint(expected, picture, {0, 0, 16, 16, 4, 4});
    fillRect(expected, 24, 4, 40, 20, rgba(255, 0, 0));
    paint(expected, picture, {0, 0, 16, 16, 44, 4});
    fillRect(expected, 64, 4, 80, 20, rgba(0, 0, 255));
    paint(expected, picture, {0, 0, 16, 16, 84, 4});
    fillRect(expected, 104, 4, 105, 5, rgba(0, 255, 0));
    paint(expected, picture, {0, 0, 16, 16, 108, 4});
    fillRect(expected, 128, 4, 144, 20, rgba(255, 255, 0));
    paint(expected, picture, {0, 0, 16, 16, 4, 24});
    EXPECT_TRUE(picturesMatch(screen(), expected));
}

// ---- World view ----

TEST_F(ZGraphicGLDrawTest, BlitsFollowTheWorldView) {
    const Picture picture(8, 8);
    ZGraphic* graphic = make(picture);
    struct Case {
        const char* name;
        float dx, dy, zoom;
        Placement expected;
    } cases[] = {
        // The view's y offset counts upwards.
        {"shifted", 7, 5, 1, {0, 0, 8, 8, 27, 15}},
        {"shifted back", -12, -9, 1, {0, 0, 8, 8, 8, 29}},
        // A zoom about the view's centre (80, 60) keeps a picture centred there in place.
        {"zoomed", 0, 0, 2, {0, 0, 8, 8, 76, 56, 0, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = screen();
        paint(expected, picture, c.expected);
        window->window()->setWorldView(c.dx, c.dy, 0, c.zoom, false);
        if (c.zoom == 1)
            graphic->blitRect(0, 0, 8, 8, 20, 20, false, false);
        else
            graphic->blitRect(0, 0, 8, 8, 76, 56, false, false);
        window->window()->setDefaultWorldView();
        ASSERT_TRUE(picturesMatch(screen(), expected));
    }
    // Primitives move alike.
    window->clear(0.25f, 0.2f, 0.3f);
    GLPicture expected = screen();
    fillRect(expected, 27, 15, 37, 20, rgba(255, 0, 0));
    window->window()->setWorldView(7, 5, 0, 1, false);
    graphic->drawRect(20, 20, 30, 25, 1, 0, 0, 1);
    window->window()->setDefaultWorldView();
    EXPECT_TRUE(picturesMatch(screen(), expected));
}

// The clip rectangle cuts blits; a picture's alpha drawn as a stencil mask limits what follows.
TEST_F(ZGraphicGLDrawTest, ClipRectangleAndStencilMaskLimitBlits) {
    const Picture picture(40, 30);
    ZGraphic* graphic = make(picture);
    ZWindowGL* w = window->window();
    GLPicture expected = screen();
    GLPicture full = expected;
    paint(full, picture, {0, 0, 40, 30, 10, 10});
    w->setClipRect(true, 20, 15, 35, 32);
    graphic->blitRect(0, 0, 40, 30, 10, 10, false, false);
    w->setClipRect(false, 0, 0, 0, 0);
    for (long y = 15; y < 32; y++)
        for (long x = 20; x < 35; x++) expected.pixels[y * 160 + x] = full.pixels[y * 160 + x];
    EXPECT_TRUE(picturesMatch(screen(), expected));

    // The mask: opaque on its left half, transparent on its right.
    window->clear(0.25f, 0.2f, 0.3f);
    expected = screen();
    const Picture shape(40, 30);
    Picture mask = shape;
    for (long y = 0; y < 30; y++)
        for (long x = 20; x < 40; x++) mask.pixels[y * 40 + x] &= 0x00FFFFFF;
    ZGraphic* maskGraphic = make(mask, true);
    w->beginStencil(true, true, 0.5f, false);
    maskGraphic->blitAlphaRect(0, 0, 40, 30, 60, 50, false, false);
    w->beginStencil(false, false, 0, false);
    graphic->drawRect(50, 40, 110, 90, 1, 0, 0, 1);
    w->endStencil();
    fillRect(expected, 60, 50, 80, 80, rgba(255, 0, 0));
    EXPECT_TRUE(picturesMatch(screen(), expected));
}

// ---- Depth ----

// Blits are drawn at the window's blit depth, the stateless rectangle at depth 0: with the depth
// test on, what is farther than what is already drawn stays hidden.
TEST_F(ZGraphicGLDrawTest, BlitsLieAtTheBlitDepth) {
    // One window at a time: the old one takes the renderer's window with it when it goes.
    window.reset();
    window.reset(new GLTestWindow(160, 120, true));
    ASSERT_TRUE(window->isOpen());
    window->clear(0.25f, 0.2f, 0.3f);
    const Picture first(16, 16), second(24, 16);
    ZGraphic* near = make(first);
    ZGraphic* far = make(second);
    ZGraphic* rect = makeEmpty();
    ZWindowGL* w = window->window();
    GLPicture expected = screen();
    w->begin3d(true, true, eZWindow3dCullNone, false);
    w->setBlitDepth(0.25f);
    near->blitRect(0, 0, 16, 16, 20, 20, false, false);
    w->setBlitDepth(0.75f);
    far->blitRect(0, 0, 24, 16, 28, 28, false, false);  // behind the first where they overlap
    w->setBlitDepth(0.5f);
    rect->drawRect(60, 20, 80, 40, 1, 0, 0, 1);
    w->setBlitDepth(0.6f);
    near->blitAlphaRectFx(0, 0, 16, 16, 66, 26, 0, 1, 1, false, false, 0, 0);  // behind the red
    w->setBlitDepth(0.9f);
    ZGraphicGL::drawStatelessRect(100, 20, 120, 40, 0, 1, 0, 1);  // at 0, in front of all
    near->blitRect(0, 0, 16, 16, 110, 30, false, false);
    w->setBlitDepth(0);
    w->end3d();
    paint(expected, second, {0, 0, 24, 16, 28, 28});
    paint(expected, first, {0, 0, 16, 16, 20, 20});
    fillRect(expected, 60, 20, 80, 40, rgba(255, 0, 0));
    paint(expected, first, {0, 0, 16, 16, 66, 26});
    fillRect(expected, 66, 26, 80, 40, rgba(255, 0, 0));
    paint(expected, first, {0, 0, 16, 16, 110, 30});
    fillRect(expected, 100, 20, 120, 40, rgba(0, 255, 0));
    EXPECT_TRUE(picturesMatch(screen(), expected));
}

// ---- Spliced pictures ----

// An 800 x 600 picture is cut by the built-in list into two textures with overlapping splices.
class ZGraphicGLSplicedDrawTest : public ZGraphicGLDrawTest {
protected:
    void SetUp() override { open(800, 600); }

    // The picture as a PNG that the graphic decodes itself.
    ZGraphic* loadPng(const Picture& picture) {
        PngFixture fixture;
        fixture.width = picture.width;
        fixture.height = picture.height;
        fixture.colorType = PNG_COLOR_TYPE_RGB;
        for (uint32_t pixel : picture.pixels)
            for (int i = 0; i < 3; i++) fixture.samples.push_back(channel(pixel, i));
        Bytes png = writePng(fixture);
        ZGraphic* graphic = makeEmpty();
        EXPECT_TRUE(graphic->loadPictureFromPtr("picture.png", png.data(), png.size(), false, false,
                                                true, 0, nullptr));
        return graphic;
    }
};

TEST_F(ZGraphicGLSplicedDrawTest, WholePictureDrawsBackExactly) {
    const Picture picture(800, 600);
    GLPicture source;
    source.width = 800;
    source.height = 600;
    source.pixels = picture.pixels;
    struct Origin {
        const char* name;
        ZGraphic* graphic;
    } origins[] = {{"array", make(picture, false, true)}, {"png", loadPng(picture)}};
    struct Kind {
        const char* name;
        std::function<void(ZGraphic*)> draw;
    } kinds[] = {
        {"blitRect", [](ZGraphic* g) { g->blitRect(0, 0, 800, 600, 0, 0, false, false); }},
        {"blitAlphaRect",
         [](ZGraphic* g) { g->blitAlphaRect(0, 0, 800, 600, 0, 0, false, false); }},
        {"blitRectF", [](ZGraphic* g) { g->blitRectF(0, 0, 800, 600, 0, 0, false, false); }},
        {"blitAlphaRectFxF",
         [](ZGraphic* g) {
             g->blitAlphaRectFxF(0, 0, 800, 600, 0, 0, 0, 1, 1, false, false, 0, 0);
         }},
        {"blitSplicedRectFx",
         [](ZGraphic* g) { g->blitSplicedRectFx(0, 0, 800, 600, 0, 0, 0, 1, false, false, 0, 0); }},
        {"blitArbitraryQuad",
         [](ZGraphic* g) {
             g->blitArbitraryQuad(0, 0, 800, 0, 800, 600, 0, 600, 0, 0, 800, 0, 800, 600, 0, 600,
                                  1);
         }},
    };
    for (const Origin& origin : origins) {
        ASSERT_TRUE(origin.graphic->isSpliced()) << origin.name;
        EXPECT_EQ(static_cast<ZGraphicGL*>(origin.graphic)->getTextureCount(), 2) << origin.name;
        for (const Kind& kind : kinds) {
            SCOPED_TRACE(std::string(kind.name) + " of the picture from " + origin.name);
            window->clear(0, 0, 0);
            kind.draw(origin.graphic);
            ASSERT_TRUE(picturesMatch(screen(), source));
        }
    }
}

// Parts that cross the seams between splices, mirrored, turned and zoomed.
TEST_F(ZGraphicGLSplicedDrawTest, PartsAcrossSeamsDrawLikeOnePicture) {
    const Picture picture(800, 600);
    ZGraphic* graphic = make(picture, false, true);
    ASSERT_TRUE(graphic->isSpliced());
    const Placement cases[] = {
        {0, 0, 800, 600, 0, 0, 0, 1, true, false},
        {0, 0, 800, 600, 0, 0, 0, 1, false, true},
        {0, 0, 800, 600, 0, 0, 0, 1, true, true},
        {480, 380, 760, 580, 10, 20},
        {480, 380, 760, 580, 10, 20, 0, 1, true, true},
        {490, 400, 540, 440, 100, 100, 0, 2},
        {700, 400, 760, 450, 300, 300, 90},
        {700, 400, 760, 450, 300, 300, 180, 1, false, false, 6, -4},
        {500, 500, 530, 530, 200, 200, 270, 3, true, false},
        // A part reaching out of the picture draws what lies inside, where it would lie.
        {-10, -6, 40, 30, 50, 60},
        {700, 500, 900, 700, 10, 10},
        {700, 500, 900, 700, 10, 10, 0, 1, true, true},
    };
    for (const Placement& p : cases)
        for (bool blending : {false, true}) {
            SCOPED_TRACE(std::string(blending ? "blitAlphaRectFxF " : "blitRectFxF ") +
                         describe(p));
            window->clear(0.25f, 0.2f, 0.3f);
            GLPicture expected = screen();
            paint(expected, picture, p);
            if (blending)
                graphic->blitAlphaRectFxF(p.x1, p.y1, p.x2, p.y2, p.dx, p.dy, p.angle, p.zoom, 1,
                                          p.flipX, p.flipY, p.centerX, p.centerY);
            else
                graphic->blitRectFxF(p.x1, p.y1, p.x2, p.y2, p.dx, p.dy, p.angle, p.zoom, p.flipX,
                                     p.flipY, p.centerX, p.centerY);
            ASSERT_TRUE(picturesMatch(screen(), expected));
        }
}

TEST_F(ZGraphicGLSplicedDrawTest, QuadAcrossSeamsMapsLikeOnePicture) {
    const Picture picture(800, 600);
    ZGraphic* graphic = make(picture, false, true);
    ASSERT_TRUE(graphic->isSpliced());
    struct Case {
        const char* name;
        float s[8];
        float d[8];
        Placement expected;
    } cases[] = {
        {"part doubled",
         {490, 400, 540, 400, 540, 440, 490, 440},
         {100, 100, 200, 100, 200, 180, 100, 180},
         {490, 400, 540, 440, 125, 120, 0, 2}},
        {"part mirrored",
         {700, 410, 760, 410, 760, 440, 700, 440},
         {360, 50, 300, 50, 300, 80, 360, 80},
         {700, 410, 760, 440, 300, 50, 0, 1, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = screen();
        paint(expected, picture, c.expected);
        graphic->blitArbitraryQuad(c.s[0], c.s[1], c.s[2], c.s[3], c.s[4], c.s[5], c.s[6], c.s[7],
                                   c.d[0], c.d[1], c.d[2], c.d[3], c.d[4], c.d[5], c.d[6], c.d[7],
                                   1);
        ASSERT_TRUE(picturesMatch(screen(), expected));
    }

    // The matrix blit goes the same way.
    window->clear(0.25f, 0.2f, 0.3f);
    GLPicture expected = screen();
    paint(expected, picture, {700, 400, 760, 450, 300, 300, 90});
    ZMatrix identity;
    graphic->blitAlphaRectMatrixF(700, 400, 760, 450, 300, 300, 360, 350, &identity, 90, 1, 1, 0, 0,
                                  1, false, false, 0, 0);
    EXPECT_TRUE(picturesMatch(screen(), expected));
}

// Splices overlap by a row or column; a translucent draw must still cover every pixel once, or
// the seams would show twice as dense.
TEST_F(ZGraphicGLSplicedDrawTest, TranslucentDrawBlendsEveryPixelOnce) {
    const Picture picture(800, 600);
    ZGraphic* graphic = make(picture, false, true);
    ASSERT_TRUE(graphic->isSpliced());
    GLint alphaBits = 0;
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    struct Case {
        const char* name;
        Placement placement;
        std::function<void()> draw;
    } cases[] = {
        {"whole picture",
         {0, 0, 800, 600, 0, 0},
         [&] { graphic->blitAlphaRectFx(0, 0, 800, 600, 0, 0, 0, 1, 0.5f, false, false, 0, 0); }},
        {"part across the seams, zoomed and mirrored",
         {480, 380, 560, 460, 100, 100, 0, 2, true, false},
         [&] {
             graphic->blitAlphaRectFxF(480, 380, 560, 460, 100, 100, 0, 2, 0.5f, true, false, 0, 0);
         }},
        {"whole picture as a quad",
         {0, 0, 800, 600, 0, 0},
         [&] {
             graphic->blitArbitraryQuad(0, 0, 800, 0, 800, 600, 0, 600, 0, 0, 800, 0, 800, 600, 0,
                                        600, 0.5f);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0.25f, 0.2f, 0.3f);
        GLPicture expected = screen();
        // Picture pixels are opaque: a transparent word marks what the draw leaves alone.
        GLPicture drawn = expected;
        std::fill(drawn.pixels.begin(), drawn.pixels.end(), 0u);
        paint(drawn, picture, c.placement);
        for (size_t i = 0; i < drawn.pixels.size(); i++) {
            if (!drawn.pixels[i]) continue;
            uint32_t d = expected.pixels[i];
            unsigned out[4];
            for (int k = 0; k < 3; k++)
                out[k] = static_cast<unsigned>(
                    std::lround(0.5 * channel(drawn.pixels[i], k) + 0.5 * channel(d, k)));
            out[3] = alphaBits
                         ? static_cast<unsigned>(std::lround(0.25 * 255 + 0.5 * channel(d, 3)))
                         : 255;
            expected.pixels[i] = rgba(out[0], out[1], out[2], out[3]);
        }
        c.draw();
        ASSERT_TRUE(picturesMatch(screen(), expected, 1));
    }
}

}  // namespace
