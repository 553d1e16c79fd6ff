#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "TestGraphics.h"
#include "ZGame.h"
#include "ZManagedGraphicList.h"
#include "ZUIImage.h"
#include "ZWindowGL.h"

// Images drawn on a real window and read back: each drawing mode, colour and blending, and a
// sequence packed by the graphic cache and played frame by frame.
namespace {

const long kSize = 128;
const uint32_t kRed = rgba(255, 0, 0), kGreen = rgba(0, 255, 0), kBlue = rgba(0, 0, 255),
               kWhite = rgba(255, 255, 255), kBlack = rgba(0, 0, 0), kClear = rgba(0, 0, 0, 0);

class TestGame : public ZGame {
public:
    const char* getGameName() override { return "test"; }
    const char* getSafeGameName() override { return "test"; }
    const char* getSafeDeveloperName() override { return "test"; }
    const char* getGameVersion() override { return "1"; }
    ZWindow* createGameWindow() override { return nullptr; }
    void run() override {}
    void destroyGameWindow(ZWindow*) override {}
};

bool writePng(const std::string& path, long w, long h, const std::vector<uint32_t>& pixels) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

// A 4 x 4 picture: the left half red, the right half green, the bottom-right quarter blue.
std::vector<uint32_t> quarters() {
    std::vector<uint32_t> p(16);
    for (long y = 0; y < 4; y++)
        for (long x = 0; x < 4; x++) p[y * 4 + x] = x < 2 ? kRed : (y < 2 ? kGreen : kBlue);
    return p;
}

class ZUIImageGLTest : public ::testing::Test {
protected:
    GLTestWindow window{kSize, kSize};
    TestGraphics graphics;
    void SetUp() override {
        ASSERT_TRUE(window.isOpen());
        ZUIElement::initialize(window.window());
        window.clear(0, 0, 0);
    }
    void TearDown() override {
        ZUIElement::cleanup();
        graphics.clear();
    }
    uint32_t pixel(long x, long y) { return readFramebuffer(x, y, 1, 1, kSize).at(0, 0); }
    void draw() {
        window.clear(0, 0, 0);
        ZUIElement::blitAll(0);
    }
    ZUIImage* image(ZGraphic* g, float x, float y, float w, float h, float x1, float y1, float x2,
                    float y2) {
        ZUIImage* im = new ZUIImage(ZUIElement::getRootElement());
        im->setGraphic(g, x1, y1, x2, y2, nullptr, -1, -1);
        im->setPosition(x, y);
        im->setSize(w, h);
        return im;
    }
    static void expectNear(uint32_t got, uint32_t want) {
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(static_cast<int>(channel(got, i)), static_cast<int>(channel(want, i)), 1)
                << describePixel(got) << " against " << describePixel(want);
    }
};

TEST_F(ZUIImageGLTest, PlainFlippedTiledAndNineSliceFramesLandOnTheirPixels) {
    ZGraphic* g = graphics.make(quarters(), 4, 4, true);
    image(g, 0, 0, 4, 4, 0, 0, 4, 4);  // plain
    ZUIImage* flipped = image(g, 10, 0, 4, 4, 0, 0, 4, 4);
    flipped->setFrameFlipping(0, true, false);
    ZUIImage* tiled = image(g, 20, 0, 12, 4, 0, 0, 4, 4);
    tiled->setFrameTiling(0, true, false);
    ZUIImage* sliced = image(g, 40, 0, 40, 20, 0, 0, 4, 4);
    sliced->setFrameStretching(0, true, 1, 3, true, 1, 3, false);
    draw();
    EXPECT_EQ(pixel(0, 0), kRed);
    EXPECT_EQ(pixel(3, 3), kBlue);
    EXPECT_EQ(pixel(4, 0), kBlack);
    EXPECT_EQ(pixel(10, 0), kGreen);
    EXPECT_EQ(pixel(13, 0), kRed);
    for (long t = 0; t < 3; t++) {
        EXPECT_EQ(pixel(20 + 4 * t, 0), kRed);
        EXPECT_EQ(pixel(23 + 4 * t, 3), kBlue);
    }
    // Corners unscaled, the middle stretched over 38 x 18.
    EXPECT_EQ(pixel(40, 0), kRed);
    EXPECT_EQ(pixel(79, 19), kBlue);
    EXPECT_EQ(pixel(79, 0), kGreen);
    EXPECT_EQ(pixel(78, 19), kBlue);
    EXPECT_EQ(pixel(50, 10), kRed);
    EXPECT_EQ(pixel(70, 5), kGreen);
    EXPECT_EQ(pixel(80, 10), kBlack);
}

TEST_F(ZUIImageGLTest, FreeQuadsDrawWithAndWithoutSubdivisions) {
    ZGraphic* g = graphics.make(quarters(), 4, 4, true);
    for (long n : {0L, 3L}) {
        SCOPED_TRACE(n);
        ZUIElement::cleanup();
        ZUIElement::initialize(window.window());
        ZUIImage* im = image(g, 10, 10, 4, 4, 0, 0, 4, 4);
        im->setFrameSrcCoord(0, 0, 0, 4, 0, 4, 4, 0, 4);
        im->setFrameDstQuad(0, 0, 0, 40, 0, 40, 40, 0, 40);  // scaled 10 times
        im->setQuadSubdivisions(n);
        draw();
        EXPECT_EQ(pixel(12, 12), kRed);
        EXPECT_EQ(pixel(45, 15), kGreen);
        EXPECT_EQ(pixel(45, 45), kBlue);
        EXPECT_EQ(pixel(51, 51), kBlack);
    }
}

TEST_F(ZUIImageGLTest, AnImageWithoutColourAfterATintedOneOfTheSameGraphicIsNotTinted) {
    ZGraphic* g = graphics.make(std::vector<uint32_t>(16, kWhite), 4, 4, true);
    ZUIImage* tinted = image(g, 0, 0, 4, 4, 0, 0, 4, 4);
    tinted->setColor(1, 0, 0, 1);
    image(g, 10, 0, 4, 4, 0, 0, 4, 4);
    draw();
    EXPECT_EQ(pixel(1, 1), kRed);
    EXPECT_EQ(pixel(11, 1), kWhite);
}

TEST_F(ZUIImageGLTest, AMaskGraphicCutsTheFrame) {
    ZGraphic* g = graphics.make(std::vector<uint32_t>(16, kWhite), 4, 4, true);
    std::vector<uint32_t> m(16, kClear);
    for (long y = 0; y < 4; y++) m[y * 4] = m[y * 4 + 1] = kWhite;
    ZGraphic* mask = graphics.make(m, 4, 4, true);
    ZUIImage* im = image(g, 0, 0, 4, 4, 0, 0, 4, 4);
    im->setFrameMaskGraphic(0, mask, 0, 0, 4, 4);
    draw();
    EXPECT_EQ(pixel(0, 1), kWhite);
    EXPECT_EQ(pixel(3, 1), kBlack);
}

TEST_F(ZUIImageGLTest, ColourLightnessOverBrightnessAndBlendModes) {
    // One graphic each: images of one graphic in one batch run share its blit colour.
    const std::vector<uint32_t> pixels(16, rgba(200, 100, 50));
    ZUIImage* coloured = image(graphics.make(pixels, 4, 4, true), 0, 0, 4, 4, 0, 0, 4, 4);
    coloured->setColor(1, 0.5f, 1, 1);
    coloured->setLightness(0.5f);
    ZUIImage* bright = image(graphics.make(pixels, 4, 4, true), 10, 0, 4, 4, 0, 0, 4, 4);
    bright->setOverBrightness(0.5f);
    ZUIImage* half = image(graphics.make(pixels, 4, 4, true), 20, 0, 4, 4, 0, 0, 4, 4);
    half->setColor(1, 1, 1, 0.5f);
    ZUIImage* added = image(graphics.make(pixels, 4, 4, true), 30, 0, 4, 4, 0, 0, 4, 4);
    added->setAlphaMode(0);
    ZUIImage* multiplied = image(graphics.make(pixels, 4, 4, true), 40, 0, 4, 4, 0, 0, 4, 4);
    multiplied->setAlphaMode(5);
    window.clear(0.5f, 0.5f, 0.5f);
    ZUIElement::blitAll(0);
    expectNear(pixel(0, 0), rgba(100, 25, 25));
    expectNear(pixel(10, 0), rgba(255, 150, 75));  // plus half of itself
    expectNear(pixel(20, 0), rgba(164, 114, 89));  // half over the grey
    expectNear(pixel(30, 0), rgba(255, 228, 178));
    expectNear(pixel(40, 0), rgba(100, 50, 25));  // the grey times the picture
}

TEST_F(ZUIImageGLTest, ASequenceIsPackedIntoOnePageAndPlaysFrameByFrame) {
    TempDir dir;
    ASSERT_TRUE(writePng(dir.file("walk.png"), 8, 8, std::vector<uint32_t>(64, kRed)));
    ASSERT_TRUE(writePng(dir.file("walk2.png"), 8, 6, std::vector<uint32_t>(48, kGreen)));
    ASSERT_TRUE(writePng(dir.file("walk3.png"), 8, 8, std::vector<uint32_t>(64, kBlue)));
    TestGame game;
    game.getGraphicList()->setPrefix(dir.path().c_str());
    {
        ZUIImage* im = new ZUIImage(ZUIElement::getRootElement(), 20, 20, "seq", "walk", 3,
                                    "walk.png", 100, true, true, false);
        ASSERT_EQ(im->getFrameCount(), 3);
        ZUIImageFrame f[3];
        for (long i = 0; i < 3; i++) ASSERT_TRUE(im->getFrameData(i, &f[i]));
        ASSERT_NE(f[0].graphic->getAtlas(), nullptr);
        EXPECT_EQ(f[0].graphic->getAtlas(), f[1].graphic->getAtlas());
        EXPECT_EQ(f[0].graphic->getAtlas(), f[2].graphic->getAtlas());
        EXPECT_EQ(f[1].y2, 6);
        EXPECT_STREQ(im->getCurrentVisual(), "walk");
        im->startVisualAnim("walk");
        const uint32_t expected[] = {kRed, kGreen, kBlue, kRed};
        for (uint32_t want : expected) {
            draw();
            EXPECT_EQ(pixel(23, 23), want) << describePixel(pixel(23, 23));
            // A 100 ms step, as the window would measure it.
            ZUIImageVisual v;
            ASSERT_TRUE(im->getVisualData("walk", &v));
            im->setVisualCurrentFrame("walk", v.currentFrame == 2 ? 0 : v.currentFrame + 1, -1, 0);
        }
        EXPECT_EQ(game.getGraphicList()->getGraphicByName("walk2.png"), f[1].graphic);
        delete im;
    }
    // The image released its frames, and with them the page.
    EXPECT_EQ(game.getGraphicList()->getGraphicByName("walk.png"), nullptr);
    EXPECT_EQ(game.getGraphicList()->getGraphicByName("walk3.png"), nullptr);
}

TEST_F(ZUIImageGLTest, AnImageFromAFileHoldsOneReferenceAndACopyItsOwn) {
    TempDir dir;
    std::vector<uint32_t> p(16, kWhite);
    p[0] = kClear;
    ASSERT_TRUE(writePng(dir.file("dot.png"), 4, 4, p));
    TestGame game;
    ZManagedGraphicList* cache = game.getGraphicList();
    cache->setPrefix(dir.path().c_str());
    ZUIImage* im =
        new ZUIImage(ZUIElement::getRootElement(), 0, 0, "dot", nullptr, "dot.png", 128, false);
    EXPECT_EQ(im->getWidth(), 4);
    EXPECT_FALSE(im->checkMask(0.5f, 0.5f));  // the transparent pixel
    EXPECT_TRUE(im->checkMask(2.5f, 2.5f));
    ZUIImage* copy = new ZUIImage(ZUIElement::getRootElement());
    copy->copyFromTemplate(im);
    delete im;
    ASSERT_NE(cache->getGraphicByName("dot.png"), nullptr);  // the copy still holds it
    draw();
    EXPECT_EQ(pixel(2, 2), kWhite);
    delete copy;
    EXPECT_EQ(cache->getGraphicByName("dot.png"), nullptr);
}

TEST_F(ZUIImageGLTest, AStencilMaskFromTheCacheKeepsItsPicturesSize) {
    TempDir dir;
    ASSERT_TRUE(writePng(dir.file("m.png"), 8, 8, std::vector<uint32_t>(64, kWhite)));
    TestGame game;
    ZManagedGraphicList* cache = game.getGraphicList();
    cache->setPrefix(dir.path().c_str());
    ZGraphic* g =
        cache->loadGraphic("m.png", true, true, true, 128, false, nullptr, false, nullptr, false);
    ASSERT_NE(g, nullptr);
    cache->uploadGraphic(g, false);
    ZUIImage* im = new ZUIImage(ZUIElement::getRootElement());
    cache->setStencilMaskByRef(g, im, 0, 0, 0, 0);
    ZUIImageFrame f;
    ASSERT_TRUE(im->getFrameData(0, &f));
    EXPECT_EQ(f.x2, 8);
    EXPECT_NE(f.hitMask, nullptr);
    ZUIImage* other = new ZUIImage(ZUIElement::getRootElement());
    cache->setStencilMaskByName("missing.png", other, 0, 0, 0, 0);
    EXPECT_EQ(other->getFrameCount(), 0);
    delete im;
    cache->unloadGraphicByRef(g);
}

}  // namespace
