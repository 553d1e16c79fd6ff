#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "ManagedGraphicListTestSupport.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "ZGraphicGL.h"
#include "ZImage.h"
#include "ZManagedGraphicList.h"
#include "ZResource.h"
#include "ZSysThread.h"
#include "ZWindowGL.h"

// The graphic cache's upload half against a real window: single uploads, colour-plus-alpha
// pairs, the general atlas and a decode on a loader thread, each checked by what drawing shows.
namespace {

GLPicture pictureOf(const std::vector<uint32_t>& pixels, long width, long height) {
    GLPicture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels = pixels;
    return picture;
}

class ZManagedGraphicListGLTest : public ::testing::Test {
protected:
    static constexpr long kWidth = 320;
    static constexpr long kHeight = 240;

    static void SetUpTestSuite() { ZResource::initialize(); }

    void SetUp() override {
        window.reset(new GLTestWindow(kWidth, kHeight));
        ASSERT_TRUE(window->isOpen());
        cache.setPrefix(dir.path().c_str());
    }

    void TearDown() override {
        cache.freeAll();
        window.reset();
    }

    // A picture file of seeded opaque pixels; returns the pixels.
    std::vector<uint32_t> write(const std::string& name, long width, long height, uint32_t seed) {
        std::vector<uint32_t> pixels = seededPixels(width, height, seed, false);
        EXPECT_TRUE(writePicture(dir.file(name), width, height, pixels, false, ZImageFormatPng));
        return pixels;
    }

    ZGraphic* load(const std::string& name) {
        return cache.loadGraphic(name.c_str(), true, true, false, -1, false, nullptr, false,
                                 nullptr, false);
    }

    // The graphic drawn unblended at (x, y) on black, as it shows.
    GLPicture drawn(ZGraphic* graphic, long x = 4, long y = 4) {
        window->clear(0, 0, 0);
        long w = static_cast<long>(graphic->getWidth());
        long h = static_cast<long>(graphic->getHeight());
        graphic->blitRect(0, 0, static_cast<float>(w), static_cast<float>(h), static_cast<short>(x),
                          static_cast<short>(y), false, false);
        return readFramebuffer(x, y, w, h, kHeight);
    }

    std::unique_ptr<GLTestWindow> window;
    TempDir dir;
    ZManagedGraphicList cache;
};

TEST_F(ZManagedGraphicListGLTest, UploadMakesTheTexturesOnceFromTheDecodedPictures) {
    // A colour file with a separate alpha file is drawn with that alpha.
    std::vector<uint32_t> colours = seededPixels(8, 4, 7, false);
    std::vector<uint32_t> mask(32), blended(32);
    for (long i = 0; i < 32; i++) {
        bool shown = (i % 8) >= 4;
        mask[i] = shown ? rgba(255, 255, 255) : rgba(0, 0, 0);
        blended[i] = shown ? colours[i] : rgba(0, 0, 0);
    }
    ASSERT_TRUE(writePicture(dir.file("pair.bmp"), 8, 4, colours, false, ZImageFormatBmp));
    ASSERT_TRUE(writePicture(dir.file("pair_a.png"), 8, 4, mask, false, ZImageFormatPng));
    std::vector<uint32_t> plain = write("plain.png", 8, 4, 3);

    struct Case {
        const char* name;
        const char* colorExtension;
        std::vector<uint32_t> shown;
    } cases[] = {
        {"plain.png", nullptr, plain},
        {"pair.png", ".bmp", blended},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZGraphic* graphic = cache.loadGraphic(c.name, true, true, false, -1, false, nullptr, false,
                                              c.colorExtension, false);
        ASSERT_NE(graphic, nullptr);
        ZGraphicGL* gl = static_cast<ZGraphicGL*>(graphic);
        EXPECT_EQ(gl->getTextureCount(), 0);
        cache.uploadGraphic(graphic, false);
        ASSERT_EQ(gl->getTextureCount(), 1);
        uint32_t texture = gl->getTextureName(0);
        // Only once: the decoded pictures are gone after the first.
        cache.uploadGraphic(graphic, false);
        EXPECT_EQ(gl->getTextureName(0), texture);
        window->clear(0, 0, 0);
        graphic->blitAlphaRect(0, 0, 8, 4, 4, 4, false, false);
        EXPECT_TRUE(
            picturesMatch(readFramebuffer(4, 4, 8, 4, kHeight), pictureOf(c.shown, 8, 4), 2));
    }
}

TEST_F(ZManagedGraphicListGLTest, AtlasPagesHoldEveryPlacedGraphicAndAreSizedToTheirContent) {
    const long sizes[][2] = {{32, 32}, {20, 40}, {48, 48}, {10, 10}, {40, 12}, {48, 8},
                             {16, 30}, {33, 17}, {8, 48},  {25, 25}, {48, 20}, {12, 44}};
    std::map<ZGraphic*, std::vector<uint32_t>> pictures;
    std::vector<ZGraphic*> placed;
    cache.beginAtlas(128, 128, 48, 48);
    for (size_t i = 0; i < sizeof(sizes) / sizeof(sizes[0]); i++) {
        std::string name = "part" + std::to_string(i) + ".png";
        std::vector<uint32_t> pixels = write(name, sizes[i][0], sizes[i][1], 100 + i);
        ZGraphic* graphic = load(name);
        ASSERT_NE(graphic, nullptr);
        cache.uploadGraphic(graphic, false);
        pictures[graphic] = pixels;
        placed.push_back(graphic);
    }
    // Too large for the atlas, or asked to be spliced: uploaded on their own.
    std::vector<uint32_t> large = write("large.png", 60, 20, 5);
    std::vector<uint32_t> spliced = write("spliced.png", 16, 16, 6);
    ZGraphic* largeGraphic = load("large.png");
    ZGraphic* splicedGraphic = load("spliced.png");
    cache.uploadGraphic(largeGraphic, false);
    cache.uploadGraphic(splicedGraphic, true);
    EXPECT_EQ(largeGraphic->getAtlas(), nullptr);
    EXPECT_EQ(splicedGraphic->getAtlas(), nullptr);
    EXPECT_TRUE(picturesMatch(drawn(largeGraphic), pictureOf(large, 60, 20), 2));
    EXPECT_TRUE(picturesMatch(drawn(splicedGraphic), pictureOf(spliced, 16, 16), 2));
    cache.endAtlas();

    std::map<ZGraphic*, std::pair<float, float>> extents;
    for (ZGraphic* graphic : placed) {
        ZGraphicGL* gl = static_cast<ZGraphicGL*>(graphic);
        ZGraphic* page = graphic->getAtlas();
        ASSERT_NE(page, nullptr);
        // Each graphic lies in a node 8 pixels wider and taller than itself.
        std::pair<float, float>& extent = extents[page];
        extent.first = std::max(extent.first, gl->getAtlasOffsetX() + gl->getWidth() + 8);
        extent.second = std::max(extent.second, gl->getAtlasOffsetY() + gl->getHeight() + 8);
        EXPECT_EQ(gl->getTextureName(0), static_cast<ZGraphicGL*>(page)->getTextureName(0));
        EXPECT_TRUE(picturesMatch(drawn(graphic),
                                  pictureOf(pictures[graphic], static_cast<long>(gl->getWidth()),
                                            static_cast<long>(gl->getHeight())),
                                  2));
    }
    EXPECT_GE(extents.size(), 2u);
    for (const auto& page : extents) {
        EXPECT_EQ(page.first->getWidth(), page.second.first);
        EXPECT_EQ(page.first->getHeight(), page.second.second);
    }
    // The pages are in the cache now, but never reported.
    std::vector<CachedGraphic> reported = cachedGraphics(cache);
    EXPECT_EQ(reported.size(), placed.size() + 2);
    for (const CachedGraphic& entry : reported) EXPECT_NE(entry.name, "__atlas__@@");
    EXPECT_EQ(cache.getGraphicByName("__atlas__@@"), nullptr);
    cache.unloadGraphicByName("__ATLAS__@@");
    cache.unloadGraphicByRef(placed[0]->getAtlas());
    EXPECT_TRUE(picturesMatch(drawn(placed[0]), pictureOf(pictures[placed[0]], 32, 32), 2));
}

TEST_F(ZManagedGraphicListGLTest, UnloadingThePageLastGraphicFreesThePage) {
    std::vector<uint32_t> first = write("first.png", 24, 24, 11);
    std::vector<uint32_t> second = write("second.png", 24, 24, 12);
    cache.beginAtlas(256, 256, 64, 64);
    ZGraphic* a = load("first.png");
    ZGraphic* b = load("second.png");
    ASSERT_NE(load("Second.png"), nullptr);
    cache.uploadGraphic(a, false);
    cache.uploadGraphic(b, false);
    cache.endAtlas();
    ASSERT_NE(a->getAtlas(), nullptr);
    ASSERT_EQ(a->getAtlas(), b->getAtlas());
    long live = liveGraphics();

    cache.unloadGraphicByRef(a);
    EXPECT_EQ(liveGraphics(), live - 1);
    EXPECT_TRUE(picturesMatch(drawn(b), pictureOf(second, 24, 24), 2));
    cache.unloadGraphicByName("second.png");
    EXPECT_EQ(liveGraphics(), live - 1);
    EXPECT_TRUE(picturesMatch(drawn(b), pictureOf(second, 24, 24), 2));
    cache.unloadGraphicByName("second.png");
    // The graphic and its page.
    EXPECT_EQ(liveGraphics(), live - 3);
    EXPECT_TRUE(cachedGraphics(cache).empty());
}

TEST_F(ZManagedGraphicListGLTest, GraphicsLeavingAnAtlasLeaveNothingBehindInItsPages) {
    std::vector<uint32_t> kept = write("kept.png", 24, 24, 21);
    write("gone.png", 24, 24, 22);
    long baseline = liveGraphics();
    cache.beginAtlas(256, 256, 64, 64);
    ZGraphic* gone = load("gone.png");
    ZGraphic* graphic = load("kept.png");
    cache.uploadGraphic(gone, false);
    cache.uploadGraphic(graphic, false);
    // Unloaded while the atlas is open: its page's tree must not lead to it when the page is
    // filled.
    cache.unloadGraphicByRef(gone);
    cache.endAtlas();
    ASSERT_NE(graphic->getAtlas(), nullptr);
    EXPECT_TRUE(picturesMatch(drawn(graphic), pictureOf(kept, 24, 24), 2));
    EXPECT_EQ(liveGraphics(), baseline + 2);
    // The page follows its last graphic in the list; a walk that unloads it must not step on
    // the page that goes with it.
    std::vector<std::string> names;
    struct Walk {
        ZManagedGraphicList* cache;
        std::vector<std::string>* names;
    } walk{&cache, &names};
    cache.forEach(
        [](void* user, const char* name, long, ZGraphic* g) {
            Walk* w = static_cast<Walk*>(user);
            w->names->push_back(name);
            w->cache->unloadGraphicByRef(g);
        },
        &walk);
    EXPECT_EQ(names, std::vector<std::string>{"kept.png"});
    EXPECT_EQ(liveGraphics(), baseline);
}

TEST_F(ZManagedGraphicListGLTest, ColourAndAlphaPairKeepsItsAlphaInAnAtlasPage) {
    std::vector<uint32_t> colours = seededPixels(8, 8, 31, false);
    std::vector<uint32_t> mask(64), blended(64);
    for (long i = 0; i < 64; i++) {
        bool shown = (i / 8) >= 4;
        mask[i] = shown ? rgba(255, 255, 255) : rgba(0, 0, 0);
        blended[i] = shown ? colours[i] : rgba(0, 0, 0);
    }
    ASSERT_TRUE(writePicture(dir.file("pair.bmp"), 8, 8, colours, false, ZImageFormatBmp));
    ASSERT_TRUE(writePicture(dir.file("pair_a.png"), 8, 8, mask, false, ZImageFormatPng));
    cache.beginAtlas(64, 64, 32, 32);
    ZGraphic* graphic =
        cache.loadGraphic("pair.png", true, true, false, -1, false, nullptr, false, ".bmp", false);
    ASSERT_NE(graphic, nullptr);
    cache.uploadGraphic(graphic, false);
    cache.endAtlas();
    ASSERT_NE(graphic->getAtlas(), nullptr);
    window->clear(0, 0, 0);
    graphic->blitAlphaRect(0, 0, 8, 8, 4, 4, false, false);
    EXPECT_TRUE(picturesMatch(readFramebuffer(4, 4, 8, 8, kHeight), pictureOf(blended, 8, 8), 2));
}

// Decoding on a loader thread while the main thread loads, uploads and draws others.
struct LoaderWork {
    ZManagedGraphicList* cache;
    std::vector<std::string> names;
    std::vector<ZGraphic*> graphics;
};

void loaderMain(void* user, long) {
    LoaderWork* work = static_cast<LoaderWork*>(user);
    for (const std::string& name : work->names)
        work->graphics.push_back(work->cache->loadGraphic(name.c_str(), true, true, false, 0, false,
                                                          nullptr, false, nullptr, false));
}

TEST_F(ZManagedGraphicListGLTest, LoaderThreadDecodesWhileTheMainThreadUploads) {
    const long kCount = 24;
    std::vector<std::vector<uint32_t>> threadPixels, mainPixels;
    LoaderWork work{&cache, {}, {}};
    for (long i = 0; i < kCount; i++) {
        work.names.push_back("loader" + std::to_string(i) + ".png");
        threadPixels.push_back(write(work.names.back(), 16, 12, 300 + i));
        mainPixels.push_back(write("main" + std::to_string(i) + ".png", 12, 16, 400 + i));
    }
    std::vector<ZGraphic*> mainGraphics;
    {
        ZSysThread loader(loaderMain, &work, 0, 0);
        for (long i = 0; i < kCount; i++) {
            ZGraphic* graphic = load("main" + std::to_string(i) + ".png");
            ASSERT_NE(graphic, nullptr);
            cache.uploadGraphic(graphic, false);
            mainGraphics.push_back(graphic);
            EXPECT_TRUE(picturesMatch(drawn(graphic), pictureOf(mainPixels[i], 12, 16), 2));
        }
        loader.waitForCompletion();
    }
    ASSERT_EQ(work.graphics.size(), static_cast<size_t>(kCount));
    for (long i = 0; i < kCount; i++) {
        ZGraphic* graphic = work.graphics[i];
        ASSERT_NE(graphic, nullptr);
        EXPECT_NE(cache.getHitMaskByRef(graphic), nullptr);
        cache.uploadGraphic(graphic, false);
        EXPECT_TRUE(picturesMatch(drawn(graphic), pictureOf(threadPixels[i], 16, 12), 2));
    }
    EXPECT_EQ(cachedGraphics(cache).size(), static_cast<size_t>(2 * kCount));
}

}  // namespace
