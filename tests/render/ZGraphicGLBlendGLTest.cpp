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

// Blending, blit colour and the masked blit, checked against the blend equation computed here
// from the pixels read back before the draw. Pictures use nearest filtering and land on whole
// pixels, so each drawn pixel blends exactly one texel; the result may differ by one step per
// channel from rounding.
namespace {

const int kTolerance = 1;

struct Factors {
    GLenum source, destination, alphaSource, alphaDestination;
};
const Factors kDefaultFactors = {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA,
                                 GL_ONE_MINUS_SRC_ALPHA};

Factors both(GLenum source, GLenum destination) {
    return {source, destination, source, destination};
}

struct Picture {
    long width = 0;
    long height = 0;
    std::vector<uint32_t> pixels;

    Picture(long w, long h, const std::function<uint32_t(long, long)>& pixel)
        : width(w), height(h), pixels(w * h) {
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) pixels[y * w + x] = pixel(x, y);
    }
    uint32_t at(long x, long y) const { return pixels[y * width + x]; }
};

double factor(GLenum f, int i, const double* s, const double* d) {
    switch (f) {
        case GL_ZERO:
            return 0;
        case GL_ONE:
            return 1;
        case GL_SRC_COLOR:
            return s[i];
        case GL_ONE_MINUS_SRC_COLOR:
            return 1 - s[i];
        case GL_DST_COLOR:
            return d[i];
        case GL_ONE_MINUS_DST_COLOR:
            return 1 - d[i];
        case GL_SRC_ALPHA:
            return s[3];
        case GL_ONE_MINUS_SRC_ALPHA:
            return 1 - s[3];
        case GL_DST_ALPHA:
            return d[3];
        case GL_ONE_MINUS_DST_ALPHA:
            return 1 - d[3];
        case GL_SRC_ALPHA_SATURATE:
            return i == 3 ? 1 : std::min(s[3], 1 - d[3]);
        default:
            ADD_FAILURE() << "no such factor " << f;
            return 0;
    }
}

// The fragment's colour s (0 to 1) on the destination pixel, blended with the factors or, when
// blending is off, replacing it. A framebuffer without alpha reads back opaque.
uint32_t blend(const double* s, uint32_t destination, bool blending, const Factors& f,
               bool alphaBits) {
    double d[4];
    for (int i = 0; i < 4; i++) d[i] = channel(destination, i) / 255.0;
    unsigned out[4];
    for (int i = 0; i < 4; i++) {
        double value = s[i];
        if (blending) {
            GLenum sf = i < 3 ? f.source : f.alphaSource;
            GLenum df = i < 3 ? f.destination : f.alphaDestination;
            value = s[i] * factor(sf, i, s, d) + d[i] * factor(df, i, s, d);
        }
        value = std::max(0.0, std::min(1.0, value));
        out[i] = static_cast<unsigned>(std::lround(value * 255));
    }
    if (!alphaBits) out[3] = 255;
    return rgba(out[0], out[1], out[2], out[3]);
}

// The fragment of a texel modulated by the colour; a texture without alpha has opaque texels.
void fragment(uint32_t texel, bool textureAlpha, const float* colour, double* s) {
    for (int i = 0; i < 4; i++) {
        double t = i == 3 && !textureAlpha ? 1.0 : channel(texel, i) / 255.0;
        s[i] = t * colour[i];
    }
}

// A 1:1 draw of the whole picture at (dx, dy).
void paintBlended(GLPicture& canvas, const Picture& picture, bool textureAlpha, long dx, long dy,
                  const float* colour, bool blending, const Factors& f, bool alphaBits) {
    for (long y = 0; y < picture.height; y++)
        for (long x = 0; x < picture.width; x++) {
            double s[4];
            fragment(picture.at(x, y), textureAlpha, colour, s);
            uint32_t& pixel = canvas.pixels[(dy + y) * canvas.width + dx + x];
            pixel = blend(s, pixel, blending, f, alphaBits);
        }
}

// Source and destination pictures with every channel varying, alphas from low to opaque.
Picture sourcePicture() {
    return Picture(16, 8, [](long x, long y) {
        return rgba(250 - x * 14, 20 + y * 28, 60 + x * 9, x == 15 ? 255 : 20 + x * 14 + y * 2);
    });
}
Picture destinationPicture() {
    return Picture(16, 8, [](long x, long y) {
        return rgba(10 + x * 15, 5 + y * 30, 200 - x * 10, 40 + x * 13 + y * 3);
    });
}
Picture opaquePicture() {
    return Picture(16, 8,
                   [](long x, long y) { return rgba(30 + x * 14, 240 - y * 25, 90 + x * 7); });
}

class ZGraphicGLBlendTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.reset(new GLTestWindow(128, 64));
        ASSERT_TRUE(window->isOpen());
        GLint bits = 0;
        glGetIntegerv(GL_ALPHA_BITS, &bits);
        alphaBits = bits > 0;
        clear();
    }

    void TearDown() override {
        made.clear();
        window.reset();
    }

    void clear() { window->clear(0.4f, 0.6f, 0.2f, 0.5f); }

    ZGraphic* make(const Picture& picture, bool alpha) {
        return made.make(picture.pixels, picture.width, picture.height, alpha, false, nullptr);
    }

    ZGraphic* makeEmpty() { return made.makeEmpty(); }

    GLPicture screen() { return readFramebuffer(0, 0, 128, 64, 64); }

    bool alphaBits = false;
    std::unique_ptr<GLTestWindow> window;
    TestGraphics made;
};

const float kWhite[4] = {1, 1, 1, 1};

// Each preset and a set of factor choices blend by the equation; one graphic changes its
// factors from case to case, so the state sent to GL must follow it.
TEST_F(ZGraphicGLBlendTest, FactorsFollowTheBlendEquation) {
    const GLenum SA = GL_SRC_ALPHA, ISA = GL_ONE_MINUS_SRC_ALPHA;
    struct Case {
        const char* name;
        std::function<void(ZGraphic*)> configure;
        Factors factors;
        float alpha;
    } cases[] = {
        {"mode 0", [](ZGraphic* g) { g->setAlphaMode(0); }, both(SA, GL_ONE), 1},
        {"mode 1", [](ZGraphic* g) { g->setAlphaMode(1); }, both(SA, ISA), 1},
        {"mode 2", [](ZGraphic* g) { g->setAlphaMode(2); }, both(GL_ONE, ISA), 1},
        {"mode 3", [](ZGraphic* g) { g->setAlphaMode(3); }, both(GL_ZERO, ISA), 1},
        {"mode 4", [](ZGraphic* g) { g->setAlphaMode(4); }, both(SA, GL_ONE), 1},
        {"mode 5", [](ZGraphic* g) { g->setAlphaMode(5); }, both(GL_ZERO, GL_SRC_COLOR), 1},
        {"mode 1 at alpha 0.5", [](ZGraphic* g) { g->setAlphaMode(1); }, both(SA, ISA), 0.5f},
        {"mode 2 at alpha 0.5", [](ZGraphic* g) { g->setAlphaMode(2); }, both(GL_ONE, ISA), 0.5f},
        {"mode 0 at alpha 0.25", [](ZGraphic* g) { g->setAlphaMode(0); }, both(SA, GL_ONE), 0.25f},
        {"additive",
         [](ZGraphic* g) {
             g->setAlphaOp(eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne, eTazelAlphaOpSameAsColor,
                           eTazelAlphaOpSameAsColor);
         },
         both(SA, GL_ONE), 1},
        {"separate alpha source",
         [](ZGraphic* g) {
             g->setAlphaOp(eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha, eTazelAlphaOpOne,
                           eTazelAlphaOpOneMinusSrcAlpha);
         },
         {SA, ISA, GL_ONE, ISA},
         1},
        {"multiply",
         [](ZGraphic* g) {
             g->setAlphaOp(eTazelAlphaOpDstColor, eTazelAlphaOpZero, eTazelAlphaOpSameAsColor,
                           eTazelAlphaOpSameAsColor);
         },
         both(GL_DST_COLOR, GL_ZERO), 1},
        {"source colour",
         [](ZGraphic* g) {
             g->setAlphaOp(eTazelAlphaOpSrcColor, eTazelAlphaOpOneMinusSrcColor,
                           eTazelAlphaOpSameAsColor, eTazelAlphaOpSameAsColor);
         },
         both(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR), 1},
        {"destination alpha, alpha replaced",
         [](ZGraphic* g) {
             g->setAlphaOp(eTazelAlphaOpDstAlpha, eTazelAlphaOpOneMinusDstAlpha, eTazelAlphaOpOne,
                           eTazelAlphaOpZero);
         },
         {GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA, GL_ONE, GL_ZERO},
         1},
        {"saturate",
         [](ZGraphic* g) {
             g->setAlphaOp(eTazelAlphaOpSrcAlphaSaturate, eTazelAlphaOpOne,
                           eTazelAlphaOpSameAsColor, eTazelAlphaOpSameAsColor);
         },
         both(GL_SRC_ALPHA_SATURATE, GL_ONE), 1},
        {"inverse destination, alpha kept",
         [](ZGraphic* g) {
             g->setAlphaOp(eTazelAlphaOpOneMinusDstColor, eTazelAlphaOpDstAlpha, eTazelAlphaOpZero,
                           eTazelAlphaOpOne);
         },
         {GL_ONE_MINUS_DST_COLOR, GL_DST_ALPHA, GL_ZERO, GL_ONE},
         1},
        {"out of range",
         [](ZGraphic* g) {
             g->setAlphaOp(static_cast<eTazelAlphaOp>(11), static_cast<eTazelAlphaOp>(-3),
                           eTazelAlphaOpSameAsColor, eTazelAlphaOpSameAsColor);
         },
         both(SA, GL_ONE), 1},
        {"unknown mode after separate factors",
         [](ZGraphic* g) {
             g->setAlphaOp(eTazelAlphaOpOne, eTazelAlphaOpOne, eTazelAlphaOpZero,
                           eTazelAlphaOpZero);
             g->setAlphaMode(7);
         },
         both(GL_ONE, GL_ONE), 1},
    };
    const Picture source = sourcePicture(), destination = destinationPicture();
    ZGraphic* top = make(source, true);
    ZGraphic* bottom = make(destination, true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        // Without blending the destination's alpha is written as it is.
        bottom->blitRect(0, 0, 16, 8, 8, 8, false, false);
        bottom->blitRect(0, 0, 16, 8, 40, 8, false, false);
        GLPicture expected = screen();
        const float colour[4] = {1, 1, 1, c.alpha};
        paintBlended(expected, source, true, 8, 8, colour, true, c.factors, alphaBits);
        paintBlended(expected, source, true, 40, 8, colour, true, c.factors, alphaBits);
        c.configure(top);
        if (c.alpha == 1)
            top->blitAlphaRect(0, 0, 16, 8, 8, 8, false, false);
        else
            top->blitAlphaRectFx(0, 0, 16, 8, 8, 8, 0, 1, c.alpha, false, false, 0, 0);
        // The same factors again, sent or not, give the same result.
        top->blitAlphaRectFxF(0, 0, 16, 8, 40, 8, 0, 1, c.alpha, false, false, 0, 0);
        ASSERT_TRUE(picturesMatch(screen(), expected, kTolerance));
    }
}

// Two graphics with their own factors drawn in turn each blend their own way.
TEST_F(ZGraphicGLBlendTest, GraphicsKeepTheirOwnFactors) {
    const Picture source = sourcePicture();
    ZGraphic* additive = make(source, true);
    ZGraphic* darkening = make(source, true);
    ZGraphic* plain = make(source, true);
    additive->setAlphaMode(0);
    darkening->setAlphaMode(3);
    GLPicture expected = screen();
    struct Draw {
        ZGraphic* graphic;
        Factors factors;
        long x, y;
    } draws[] = {
        {additive, both(GL_SRC_ALPHA, GL_ONE), 4, 4},
        {darkening, both(GL_ZERO, GL_ONE_MINUS_SRC_ALPHA), 24, 4},
        {plain, kDefaultFactors, 44, 4},
        {additive, both(GL_SRC_ALPHA, GL_ONE), 64, 4},
        {plain, kDefaultFactors, 84, 4},
        {darkening, both(GL_ZERO, GL_ONE_MINUS_SRC_ALPHA), 4, 20},
        {darkening, both(GL_ZERO, GL_ONE_MINUS_SRC_ALPHA), 24, 20},
    };
    for (const Draw& d : draws) {
        paintBlended(expected, source, true, d.x, d.y, kWhite, true, d.factors, alphaBits);
        d.graphic->blitAlphaRect(0, 0, 16, 8, d.x, d.y, false, false);
    }
    EXPECT_TRUE(picturesMatch(screen(), expected, kTolerance));
}

// The blit colour modulates every texel; the alpha of the blending blits multiplies its alpha.
// The blitRect family never blends, whatever the alpha.
TEST_F(ZGraphicGLBlendTest, BlitColourAndAlphaModulateTheTexels) {
    const Picture opaque = opaquePicture();
    const Picture translucent(
        16, 8, [](long x, long y) { return rgba(200, 20 + x * 10, 40 + y * 20, 128); });
    ZGraphic* opaqueGraphic = make(opaque, false);
    ZGraphic* translucentGraphic = make(translucent, true);
    ZMatrix identity;
    struct Case {
        const char* name;
        bool translucent;
        float blitColour[4];
        float alpha;  // what the draw multiplies the blit colour's alpha by
        bool blending;
        std::function<void(ZGraphic*)> draw;
    } cases[] = {
        {"blitRect, tinted",
         false,
         {1, 0.5f, 0.25f, 1},
         1,
         false,
         [](ZGraphic* g) { g->blitRect(0, 0, 16, 8, 8, 8, false, false); }},
        {"blitRect, half transparent colour",
         false,
         {1, 1, 1, 0.5f},
         1,
         false,
         [](ZGraphic* g) { g->blitRect(0, 0, 16, 8, 8, 8, false, false); }},
        {"blitRectFx of a translucent picture",
         true,
         {1, 1, 1, 1},
         1,
         false,
         [](ZGraphic* g) { g->blitRectFx(0, 0, 16, 8, 8, 8, 0, 1, false, false, 0, 0); }},
        {"blitAlphaRect, half transparent colour",
         false,
         {1, 1, 1, 0.5f},
         1,
         true,
         [](ZGraphic* g) { g->blitAlphaRect(0, 0, 16, 8, 8, 8, false, false); }},
        {"blitAlphaRectFx at 0.5, tinted half transparent colour",
         false,
         {0.5f, 1, 0.75f, 0.5f},
         0.5f,
         true,
         [](ZGraphic* g) {
             g->blitAlphaRectFx(0, 0, 16, 8, 8, 8, 0, 1, 0.5f, false, false, 0, 0);
         }},
        {"blitAlphaRectFxF at 0.5 of a translucent picture",
         true,
         {1, 1, 1, 1},
         0.5f,
         true,
         [](ZGraphic* g) {
             g->blitAlphaRectFxF(0, 0, 16, 8, 8, 8, 0, 1, 0.5f, false, false, 0, 0);
         }},
        {"blitAlphaRect of a translucent tinted picture",
         true,
         {0.2f, 0.9f, 1, 1},
         1,
         true,
         [](ZGraphic* g) { g->blitAlphaRect(0, 0, 16, 8, 8, 8, false, false); }},
        {"stretchAlphaRect at 0.5",
         false,
         {1, 1, 1, 1},
         0.5f,
         true,
         [](ZGraphic* g) {
             g->stretchAlphaRect(0, 0, 16, 8, 8, 8, 24, 16, 0.5f, 0, false, false, 0, 0);
         }},
        {"blitArbitraryQuad at 0.5, tinted",
         false,
         {1, 0, 1, 1},
         0.5f,
         true,
         [](ZGraphic* g) {
             g->blitArbitraryQuad(0, 0, 16, 0, 16, 8, 0, 8, 8, 8, 24, 8, 24, 16, 8, 16, 0.5f);
         }},
        {"blitAlphaRectMatrixF at 0.5",
         false,
         {1, 1, 1, 0.8f},
         0.5f,
         true,
         [&](ZGraphic* g) {
             g->blitAlphaRectMatrixF(0, 0, 16, 8, 8, 8, 24, 16, &identity, 0, 1, 1, 0, 0, 0.5f,
                                     false, false, 0, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        const Picture& picture = c.translucent ? translucent : opaque;
        ZGraphic* graphic = c.translucent ? translucentGraphic : opaqueGraphic;
        GLPicture expected = screen();
        const float colour[4] = {c.blitColour[0], c.blitColour[1], c.blitColour[2],
                                 c.blitColour[3] * c.alpha};
        paintBlended(expected, picture, c.translucent, 8, 8, colour, c.blending, kDefaultFactors,
                     alphaBits);
        graphic->setBlitColor(c.blitColour[0], c.blitColour[1], c.blitColour[2], c.blitColour[3]);
        c.draw(graphic);
        graphic->setBlitColor(1, 1, 1, 1);
        ASSERT_TRUE(picturesMatch(screen(), expected, kTolerance));
    }
}

// A tinted graphic, a white one and translucent draws in turn: no colour stays behind.
TEST_F(ZGraphicGLBlendTest, BlitColourDoesNotCarryOver) {
    const Picture picture = opaquePicture();
    ZGraphic* tinted = make(picture, false);
    ZGraphic* white = make(picture, false);
    tinted->setBlitColor(0, 1, 1, 1);
    const float tint[4] = {0, 1, 1, 1};
    const float half[4] = {1, 1, 1, 0.5f};
    GLPicture expected = screen();
    struct Draw {
        std::function<void()> draw;
        const float* colour;
        bool blending;
        long x, y;
    } draws[] = {
        {[&] { tinted->blitRect(0, 0, 16, 8, 4, 4, false, false); }, tint, false, 4, 4},
        {[&] { white->blitRect(0, 0, 16, 8, 24, 4, false, false); }, kWhite, false, 24, 4},
        {[&] { white->blitAlphaRectFx(0, 0, 16, 8, 44, 4, 0, 1, 0.5f, false, false, 0, 0); }, half,
         true, 44, 4},
        {[&] { white->blitRect(0, 0, 16, 8, 64, 4, false, false); }, kWhite, false, 64, 4},
        {[&] { tinted->blitAlphaRect(0, 0, 16, 8, 84, 4, false, false); }, tint, false, 84, 4},
        {[&] { white->blitAlphaRect(0, 0, 16, 8, 104, 4, false, false); }, kWhite, false, 104, 4},
        {[&] { white->blitAlphaRectFx(0, 0, 16, 8, 4, 20, 0, 1, 0.5f, false, false, 0, 0); }, half,
         true, 4, 20},
        {[&] { white->blitAlphaRect(0, 0, 16, 8, 24, 20, false, false); }, kWhite, false, 24, 20},
        {[&] { white->drawRect(44, 20, 60, 28, 1, 0, 0, 0.5f); }, nullptr, true, 44, 20},
        {[&] { white->blitRect(0, 0, 16, 8, 64, 20, false, false); }, kWhite, false, 64, 20},
        {[&] {
             tinted->setBlitColor(1, 1, 1, 1);
             tinted->blitRect(0, 0, 16, 8, 84, 20, false, false);
         },
         kWhite, false, 84, 20},
    };
    // The untextured rectangle (no colour in the table) is half transparent red.
    const Picture red(16, 8, [](long, long) { return rgba(255, 0, 0); });
    for (const Draw& d : draws) {
        if (d.colour)
            paintBlended(expected, picture, false, d.x, d.y, d.colour, d.blending, kDefaultFactors,
                         alphaBits);
        else
            paintBlended(expected, red, false, d.x, d.y, half, true, kDefaultFactors, alphaBits);
        d.draw();
    }
    EXPECT_TRUE(picturesMatch(screen(), expected, kTolerance));
}

// Blending is left off only where it cannot show: an opaque picture at full opacity with the
// default factors, or while the window's 3D flag is set.
TEST_F(ZGraphicGLBlendTest, OpaquePicturesSkipBlendingOnlyWhenNothingShowsThrough) {
    const Picture picture = opaquePicture();
    const Picture translucent(
        16, 8, [](long x, long y) { return rgba(200, 20 + x * 10, 40 + y * 20, 128); });
    // A PNG without alpha channel asked for with alpha is an opaque picture.
    PngFixture fixture;
    fixture.width = 16;
    fixture.height = 8;
    for (uint32_t pixel : picture.pixels)
        for (int i = 0; i < 3; i++) fixture.samples.push_back(channel(pixel, i));
    Bytes png = writePng(fixture);

    enum Source { kOpaqueArray, kAlphaArray, kOpaquePng, kTranslucentArray };
    struct Case {
        const char* name;
        Source source;
        std::function<void(ZGraphic*)> configure;
        float blitAlpha;
        float alpha;
        bool window3d;
        bool blends;
        Factors factors;
    } cases[] = {
        {"opaque picture", kOpaqueArray, nullptr, 1, 1, false, false, kDefaultFactors},
        {"opaque picture from a file asked with alpha", kOpaquePng, nullptr, 1, 1, false, false,
         kDefaultFactors},
        {"opaque picture at 0.5", kOpaqueArray, nullptr, 1, 0.5f, false, true, kDefaultFactors},
        {"opaque picture, translucent blit colour", kOpaqueArray, nullptr, 0.5f, 1, false, true,
         kDefaultFactors},
        {"opaque picture, additive", kOpaqueArray, [](ZGraphic* g) { g->setAlphaMode(0); }, 1, 1,
         false, true, both(GL_SRC_ALPHA, GL_ONE)},
        {"opaque picture, own alpha factors",
         kOpaqueArray,
         [](ZGraphic* g) {
             g->setAlphaOp(eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha, eTazelAlphaOpOne,
                           eTazelAlphaOpOneMinusSrcAlpha);
         },
         1,
         1,
         false,
         true,
         {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA}},
        {"picture with alpha channel", kAlphaArray, nullptr, 1, 1, false, true, kDefaultFactors},
        {"opaque picture at 0.5 in 3D", kOpaqueArray, nullptr, 1, 0.5f, true, false,
         kDefaultFactors},
        {"translucent picture in 3D", kTranslucentArray, nullptr, 1, 1, true, false,
         kDefaultFactors},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        ZGraphic* graphic = nullptr;
        const Picture& drawn = c.source == kTranslucentArray ? translucent : picture;
        if (c.source == kOpaquePng) {
            graphic = makeEmpty();
            ASSERT_TRUE(graphic->loadPictureFromPtr("opaque.png", png.data(), png.size(), false,
                                                    true, false, 0, nullptr));
        } else {
            graphic = make(drawn, c.source != kOpaqueArray);
        }
        if (c.configure) c.configure(graphic);
        graphic->setBlitColor(1, 1, 1, c.blitAlpha);
        GLPicture expected = screen();
        const float colour[4] = {1, 1, 1, c.blitAlpha * c.alpha};
        paintBlended(expected, drawn, c.source == kAlphaArray || c.source == kTranslucentArray, 8,
                     8, colour, c.blends, c.factors, alphaBits);
        if (c.window3d) window->window()->begin3d(false, false, eZWindow3dCullNone, true);
        if (c.alpha == 1)
            graphic->blitAlphaRect(0, 0, 16, 8, 8, 8, false, false);
        else
            graphic->blitAlphaRectFx(0, 0, 16, 8, 8, 8, 0, 1, c.alpha, false, false, 0, 0);
        EXPECT_EQ(glIsEnabled(GL_BLEND) == GL_TRUE, c.blends);
        if (c.window3d) window->window()->end3d();
        ASSERT_TRUE(picturesMatch(screen(), expected, kTolerance));
    }
}

// ---- Masked blit ----

// The picture's colour with its alpha times the mask's, blended with the picture's factors and
// blit colour; both rectangles are stretched over the box and flips mirror the whole.
TEST_F(ZGraphicGLBlendTest, MaskedBlitTakesItsAlphaFromTheMask) {
    ASSERT_TRUE(window->window()->hasMultitextureSupport());
    auto colours = [](long x, long y) { return rgba(40 + x * 9, 230 - y * 13, 90 + (x ^ y) * 5); };
    auto alphas = [](long x, long y) {
        return rgba(255 - x * 7, y * 11, 128, std::min<long>(255, (x * 16 + y * 7) & 255));
    };
    const Picture square(16, 16, colours), wide(24, 16, colours);
    const Picture squareMask(16, 16, alphas), wideMask(24, 16, alphas);
    ZGraphic* squareGraphic = make(square, false);
    ZGraphic* wideGraphic = make(wide, false);
    ZGraphic* squareMaskGraphic = make(squareMask, true);
    ZGraphic* wideMaskGraphic = make(wideMask, true);
    struct Case {
        const char* name;
        bool wide;
        float r[4];  // picture rectangle
        float m[4];  // mask rectangle
        float d[4];  // destination box
        bool flipX, flipY;
        float blitColour[4];
        long mode;  // -1: default factors
        Factors factors;
    } cases[] = {
        {"square, 1:1",
         false,
         {0, 0, 16, 16},
         {0, 0, 16, 16},
         {8, 8, 24, 24},
         false,
         false,
         {1, 1, 1, 1},
         -1,
         kDefaultFactors},
        {"wide (rectangle textures), 1:1",
         true,
         {0, 0, 24, 16},
         {0, 0, 24, 16},
         {8, 8, 32, 24},
         false,
         false,
         {1, 1, 1, 1},
         -1,
         kDefaultFactors},
        {"parts, doubled",
         false,
         {4, 2, 12, 10},
         {8, 0, 16, 8},
         {8, 8, 24, 24},
         false,
         false,
         {1, 1, 1, 1},
         -1,
         kDefaultFactors},
        {"wide parts, doubled",
         true,
         {10, 2, 22, 10},
         {0, 6, 12, 14},
         {8, 8, 32, 24},
         false,
         false,
         {1, 1, 1, 1},
         -1,
         kDefaultFactors},
        {"mirrored",
         false,
         {0, 0, 16, 16},
         {0, 0, 16, 16},
         {8, 8, 24, 24},
         true,
         false,
         {1, 1, 1, 1},
         -1,
         kDefaultFactors},
        {"upside down",
         true,
         {0, 0, 24, 16},
         {0, 0, 24, 16},
         {8, 8, 32, 24},
         false,
         true,
         {1, 1, 1, 1},
         -1,
         kDefaultFactors},
        {"tinted, half transparent",
         false,
         {0, 0, 16, 16},
         {0, 0, 16, 16},
         {8, 8, 24, 24},
         false,
         false,
         {0.5f, 1, 0.25f, 0.5f},
         -1,
         kDefaultFactors},
        {"additive",
         false,
         {0, 0, 16, 16},
         {0, 0, 16, 16},
         {8, 8, 24, 24},
         false,
         false,
         {1, 1, 1, 1},
         0,
         both(GL_SRC_ALPHA, GL_ONE)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        const Picture& picture = c.wide ? wide : square;
        const Picture& mask = c.wide ? wideMask : squareMask;
        ZGraphic* graphic = c.wide ? wideGraphic : squareGraphic;
        ZGraphic* maskGraphic = c.wide ? wideMaskGraphic : squareMaskGraphic;
        GLPicture expected = screen();
        const double boxW = c.d[2] - c.d[0], boxH = c.d[3] - c.d[1];
        for (long y = 0; y < boxH; y++)
            for (long x = 0; x < boxW; x++) {
                double u = (x + 0.5) / boxW, v = (y + 0.5) / boxH;
                if (c.flipX) u = 1 - u;
                if (c.flipY) v = 1 - v;
                uint32_t texel = picture.at(static_cast<long>(c.r[0] + u * (c.r[2] - c.r[0])),
                                            static_cast<long>(c.r[1] + v * (c.r[3] - c.r[1])));
                uint32_t maskTexel = mask.at(static_cast<long>(c.m[0] + u * (c.m[2] - c.m[0])),
                                             static_cast<long>(c.m[1] + v * (c.m[3] - c.m[1])));
                double s[4];
                fragment(texel, false, c.blitColour, s);
                s[3] *= channel(maskTexel, 3) / 255.0;
                uint32_t& pixel = expected.pixels[(static_cast<long>(c.d[1]) + y) * expected.width +
                                                  static_cast<long>(c.d[0]) + x];
                pixel = blend(s, pixel, true, c.factors, alphaBits);
            }
        graphic->setAlphaMode(c.mode < 0 ? 1 : c.mode);
        graphic->setBlitColor(c.blitColour[0], c.blitColour[1], c.blitColour[2], c.blitColour[3]);
        graphic->blitAlphaRectMaskedF(c.r[0], c.r[1], c.r[2], c.r[3], maskGraphic, c.m[0], c.m[1],
                                      c.m[2], c.m[3], c.d[0], c.d[1], c.d[2], c.d[3], c.flipX,
                                      c.flipY);
        graphic->setBlitColor(1, 1, 1, 1);
        ASSERT_TRUE(picturesMatch(screen(), expected, kTolerance));
    }

    // Ordinary drawing goes on unmasked and untinted afterwards.
    clear();
    GLPicture expected = screen();
    paintBlended(expected, square, false, 40, 8, kWhite, false, kDefaultFactors, alphaBits);
    paintBlended(expected, square, false, 60, 8, kWhite, false, kDefaultFactors, alphaBits);
    squareGraphic->blitAlphaRectMaskedF(0, 0, 16, 16, squareMaskGraphic, 0, 0, 16, 16, 8, 8, 24, 24,
                                        false, false);
    squareGraphic->blitRect(0, 0, 16, 16, 40, 8, false, false);
    wideGraphic->blitRect(0, 0, 16, 16, 60, 8, false, false);
    GLPicture actual = screen();
    // The masked box itself was checked above; compare the rest.
    for (long y = 8; y < 24; y++)
        for (long x = 8; x < 24; x++) actual.pixels[y * 128 + x] = expected.pixels[y * 128 + x];
    EXPECT_TRUE(picturesMatch(actual, expected, kTolerance));
}

TEST_F(ZGraphicGLBlendTest, MaskedBlitWithoutAMaskDrawsNothing) {
    const Picture picture = opaquePicture();
    ZGraphic* graphic = make(picture, false);
    ZGraphic* emptyMask = makeEmpty();
    graphic->setAlphaMode(2);  // would show even where the alpha is 0
    GLPicture before = screen();
    graphic->blitAlphaRectMaskedF(0, 0, 16, 8, nullptr, 0, 0, 16, 8, 8, 8, 24, 16, false, false);
    graphic->blitAlphaRectMaskedF(0, 0, 16, 8, emptyMask, 0, 0, 16, 8, 8, 8, 24, 16, false, false);
    EXPECT_TRUE(picturesMatch(screen(), before));
}

// ---- Primitives ----

TEST_F(ZGraphicGLBlendTest, PrimitivesBlendWithTheGraphicsFactors) {
    ZGraphic* graphic = makeEmpty();
    struct Case {
        const char* name;
        long mode;
        Factors factors;
        float colour[4];
        std::function<void(ZGraphic*, const float*)> draw;
        long x1, y1, x2, y2;
    } cases[] = {
        {"rectangle",
         1,
         kDefaultFactors,
         {1, 0, 0.5f, 0.5f},
         [](ZGraphic* g, const float* c) { g->drawRect(8, 8, 24, 16, c[0], c[1], c[2], c[3]); },
         8,
         8,
         24,
         16},
        {"additive rectangle",
         0,
         both(GL_SRC_ALPHA, GL_ONE),
         {0.2f, 0.3f, 0.9f, 0.5f},
         [](ZGraphic* g, const float* c) { g->drawRect(8, 8, 24, 16, c[0], c[1], c[2], c[3]); },
         8,
         8,
         24,
         16},
        {"multiplying quad",
         5,
         both(GL_ZERO, GL_SRC_COLOR),
         {0.5f, 0.25f, 1, 1},
         [](ZGraphic* g, const float* c) {
             g->drawArbitraryQuad(8, 8, 24, 8, 24, 16, 8, 16, c[0], c[1], c[2], c[3]);
         },
         8,
         8,
         24,
         16},
        {"pixel",
         1,
         kDefaultFactors,
         {0, 0, 1, 0.25f},
         [](ZGraphic* g, const float* c) { g->plotPixel(8.5f, 8.5f, c[0], c[1], c[2], c[3]); },
         8,
         8,
         9,
         9},
        {"gradient of one colour",
         2,
         both(GL_ONE, GL_ONE_MINUS_SRC_ALPHA),
         {0.5f, 0.1f, 0, 0.5f},
         [](ZGraphic* g, const float* c) {
             g->drawGradient(8, 8, 24, 8, 24, 16, 8, 16, c[0], c[1], c[2], c[3], c[0], c[1], c[2],
                             c[3], c[0], c[1], c[2], c[3], c[0], c[1], c[2], c[3]);
         },
         8,
         8,
         24,
         16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        GLPicture expected = screen();
        double s[4] = {c.colour[0], c.colour[1], c.colour[2], c.colour[3]};
        for (long y = c.y1; y < c.y2; y++)
            for (long x = c.x1; x < c.x2; x++) {
                uint32_t& pixel = expected.pixels[y * expected.width + x];
                pixel = blend(s, pixel, true, c.factors, alphaBits);
            }
        graphic->setAlphaMode(c.mode);
        c.draw(graphic, c.colour);
        ASSERT_TRUE(picturesMatch(screen(), expected, kTolerance));
    }
}

// Primitives whose alpha is not above 0 draw nothing; a gradient draws when any corner shows,
// and then all of it. The factors add the colour whatever its alpha, so a stray draw would show.
TEST_F(ZGraphicGLBlendTest, TransparentPrimitivesDrawNothing) {
    ZGraphic* graphic = makeEmpty();
    graphic->setAlphaMode(2);
    struct Case {
        const char* name;
        std::function<void()> draw;
    } cases[] = {
        {"pixel", [&] { graphic->plotPixel(8.5f, 8.5f, 1, 0, 0, 0); }},
        {"line", [&] { graphic->drawLine(8, 8.5f, 40, 8.5f, 1, 0, 0, 0); }},
        {"rectangle", [&] { graphic->drawRect(8, 8, 40, 24, 1, 0, 0, 0); }},
        {"rectangle, negative alpha", [&] { graphic->drawRect(8, 8, 40, 24, 1, 0, 0, -1); }},
        {"quad", [&] { graphic->drawArbitraryQuad(8, 8, 40, 8, 40, 24, 8, 24, 1, 0, 0, 0); }},
        {"gradient, four transparent corners",
         [&] {
             graphic->drawGradient(8, 8, 40, 8, 40, 24, 8, 24, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                                   1, 0, 0, -0.5f);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        GLPicture before = screen();
        c.draw();
        ASSERT_TRUE(picturesMatch(screen(), before));
    }

    clear();
    GLPicture before = screen();
    graphic->drawGradient(8, 8, 40, 8, 40, 24, 8, 24, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0,
                          0);
    GLPicture after = screen();
    for (long y = 0; y < 64; y++)
        for (long x = 0; x < 128; x++) {
            bool inside = x >= 8 && x < 40 && y >= 8 && y < 24;
            if (inside)
                ASSERT_EQ(channel(after.at(x, y), 0), 255u) << x << "," << y;
            else
                ASSERT_EQ(after.at(x, y), before.at(x, y)) << x << "," << y;
        }
}

// The window's rectangle blends with its own fixed factors, whatever a graphic sent before, and
// the graphic's factors come back after it.
TEST_F(ZGraphicGLBlendTest, StatelessRectBlendsItsOwnWay) {
    const Picture picture = opaquePicture();
    ZGraphic* additive = make(picture, false);
    additive->setAlphaMode(0);
    const float colour[4] = {0.8f, 0.1f, 0.3f, 0.5f};
    const Factors additiveFactors = both(GL_SRC_ALPHA, GL_ONE);
    GLPicture expected = screen();
    auto paintRect = [&](long x, long y, const Factors& f) {
        for (long j = 0; j < 8; j++)
            for (long i = 0; i < 16; i++) {
                double s[4] = {colour[0], colour[1], colour[2], colour[3]};
                uint32_t& pixel = expected.pixels[(y + j) * 128 + x + i];
                pixel = blend(s, pixel, true, f, alphaBits);
            }
    };
    additive->drawRect(4, 4, 20, 12, colour[0], colour[1], colour[2], colour[3]);
    paintRect(4, 4, additiveFactors);
    ZGraphicGL::drawStatelessRect(24, 4, 40, 12, colour[0], colour[1], colour[2], colour[3]);
    paintRect(24, 4, kDefaultFactors);
    additive->drawRect(44, 4, 60, 12, colour[0], colour[1], colour[2], colour[3]);
    paintRect(44, 4, additiveFactors);
    // After a textured, blended blit the rectangle is still flat.
    additive->blitAlphaRectFx(0, 0, 16, 8, 64, 4, 0, 1, 0.5f, false, false, 0, 0);
    const float half[4] = {1, 1, 1, 0.5f};
    paintBlended(expected, picture, false, 64, 4, half, true, additiveFactors, alphaBits);
    ZGraphicGL::drawStatelessRect(84, 4, 100, 12, colour[0], colour[1], colour[2], colour[3]);
    paintRect(84, 4, kDefaultFactors);
    // Transparent: nothing.
    ZGraphicGL::drawStatelessRect(4, 20, 20, 28, 1, 1, 1, 0);
    EXPECT_TRUE(picturesMatch(screen(), expected, kTolerance));
}

// A buffer flip resets the renderer's state caches: what follows must send its state again.
TEST_F(ZGraphicGLBlendTest, DrawingAfterAFlipSendsItsStateAgain) {
    const Picture picture = opaquePicture();
    ZGraphic* additive = make(picture, false);
    ZGraphic* tinted = make(picture, false);
    ZGraphic* white = make(picture, false);
    additive->setAlphaMode(0);
    tinted->setBlitColor(0, 1, 1, 1);
    const float tint[4] = {0, 1, 1, 1};
    const float half[4] = {1, 1, 1, 0.5f};
    const Factors additiveFactors = both(GL_SRC_ALPHA, GL_ONE);
    for (int frame = 0; frame < 3; frame++) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        clear();
        GLPicture expected = screen();
        additive->blitAlphaRectFx(0, 0, 16, 8, 4, 4, 0, 1, 0.5f, false, false, 0, 0);
        paintBlended(expected, picture, false, 4, 4, half, true, additiveFactors, alphaBits);
        white->blitRect(0, 0, 16, 8, 24, 4, false, false);
        paintBlended(expected, picture, false, 24, 4, kWhite, false, kDefaultFactors, alphaBits);
        tinted->blitRect(0, 0, 16, 8, 44, 4, false, false);
        paintBlended(expected, picture, false, 44, 4, tint, false, kDefaultFactors, alphaBits);
        ASSERT_TRUE(picturesMatch(screen(), expected, kTolerance));
        // The tint is the last colour sent before the flip; a white blit after it must not
        // inherit it, nor the additive graphic lose its factors.
        window->window()->flipBackBuffer(false, false);
        clear();
        expected = screen();
        white->blitRect(0, 0, 16, 8, 64, 4, false, false);
        paintBlended(expected, picture, false, 64, 4, kWhite, false, kDefaultFactors, alphaBits);
        additive->blitAlphaRectFx(0, 0, 16, 8, 84, 4, 0, 1, 0.5f, false, false, 0, 0);
        paintBlended(expected, picture, false, 84, 4, half, true, additiveFactors, alphaBits);
        ASSERT_TRUE(picturesMatch(screen(), expected, kTolerance));
        window->window()->flipBackBuffer(false, false);
    }
}

// Code that changes blend and texture state behind the renderer resets its caches; the next
// draws then send their whole state again.
TEST_F(ZGraphicGLBlendTest, DrawingAfterACacheResetSendsItsStateAgain) {
    const Picture picture = opaquePicture();
    ZGraphic* additive = make(picture, false);
    additive->setAlphaMode(0);
    const float half[4] = {1, 1, 1, 0.5f};
    const Factors additiveFactors = both(GL_SRC_ALPHA, GL_ONE);
    GLPicture expected = screen();
    additive->blitAlphaRectFx(0, 0, 16, 8, 4, 4, 0, 1, 0.5f, false, false, 0, 0);
    paintBlended(expected, picture, false, 4, 4, half, true, additiveFactors, alphaBits);

    // Someone else's drawing: another blend, no texture bound.
    glBlendFunc(GL_ONE, GL_ZERO);
    glBindTexture(static_cast<ZGraphicGL*>(additive)->getTextureTarget(0), 0);
    ZGraphicGL::resetCaches();

    additive->blitAlphaRectFx(0, 0, 16, 8, 24, 4, 0, 1, 0.5f, false, false, 0, 0);
    paintBlended(expected, picture, false, 24, 4, half, true, additiveFactors, alphaBits);
    additive->drawRect(44, 4, 60, 12, 1, 0, 0, 0.5f);
    const Picture red(16, 8, [](long, long) { return rgba(255, 0, 0); });
    paintBlended(expected, red, false, 44, 4, half, true, additiveFactors, alphaBits);
    EXPECT_TRUE(picturesMatch(screen(), expected, kTolerance));
}

}  // namespace
