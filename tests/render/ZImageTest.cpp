#include "ZImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

#include "ImageCodecTestSupport.h"
#include "ZImageHandler.h"

namespace {

// The built-in format ids, in registration order. The handlers of other formats join as they
// are written.
std::vector<long> builtinIds() {
    std::vector<long> ids;
    ids.push_back(0);
    ids.push_back(1);
    ids.push_back(2);
    ids.push_back(3);
    ids.push_back(4);
    ids.push_back(5);
    return ids;
}

bool hasBuiltin(long id) {
    std::vector<long> ids = builtinIds();
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::vector<ZImageHandler*> registered() {
    std::vector<ZImageHandler*> out;
    for (ZImageHandler* h : ZImage::g_lHandlers) out.push_back(h);
    return out;
}

std::vector<long> registeredIds() {
    std::vector<long> out;
    for (ZImageHandler* h : ZImage::g_lHandlers) out.push_back(h->getFormatId());
    return out;
}

// Records what it is asked to do; owned by the test.
class FakeHandler : public ZImageHandler {
public:
    FakeHandler(long id, const char* extension) : m_id(id), m_extensions{extension, nullptr} {}
    const char* const* getExtensions() override { return m_extensions; }
    long getFormatId() override { return m_id; }
    bool decode(const unsigned char*, unsigned long, ZImage* image) override {
        decodes++;
        image->setPixels(1, 1, false, new uint32_t[1]{rgba(7, 7, 7)}, false, true);
        return true;
    }
    bool encode(unsigned char*& data, unsigned long& size, ZImage*, long quality) override {
        encodes++;
        lastQuality = quality;
        data = new unsigned char[1]{42};
        size = 1;
        return true;
    }
    int decodes = 0;
    int encodes = 0;
    long lastQuality = 0;

private:
    long m_id;
    const char* m_extensions[2];
};

// Registry tests leave the registry empty of their own handlers and of the built-ins. The
// fixture owns the test handlers, so they outlive the unlinking in TearDown.
class ZImageRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ZImage::cleanup(); }
    void TearDown() override {
        for (auto& h : m_handlers) ZImage::removeHandler(h.get());
        ZImage::cleanup();
    }
    FakeHandler& add(long id, const char* extension) {
        m_handlers.push_back(std::make_unique<FakeHandler>(id, extension));
        ZImage::addHandler(m_handlers.back().get());
        return *m_handlers.back();
    }
    std::vector<std::unique_ptr<FakeHandler>> m_handlers;
};

TEST_F(ZImageRegistryTest, BuiltinsRegisterOnceInTableOrder) {
    ZImage::initialize();
    ZImage::initialize();
    EXPECT_TRUE(ZImage::g_bHandlersInitialized);
    EXPECT_EQ(registeredIds(), builtinIds());
    const char* extensions[] = {"bmp", "jpg", "tga", "png", "gif", "jem"};
    for (ZImageHandler* h : ZImage::g_lHandlers) {
        const char* const* list = h->getExtensions();
        ASSERT_NE(list, nullptr);
        EXPECT_STREQ(list[0], extensions[h->getFormatId()]);
        EXPECT_EQ(list[1], nullptr);
    }
}

TEST_F(ZImageRegistryTest, FormatComesFromTheExtensionAlone) {
    struct Case {
        std::string name;
        long id;
    };
    std::vector<Case> cases = {
        {"data/graphics/Title.PNG", 3},
        {"/abs/my.folder/pic.png", 3},
        {"archive.tar.png", 3},
        {"photo.jpg", 1},
        {"PHOTO.JpG", 1},
        {"photo.jpeg", -1},
        {"README", -1},
        {"folder.v2/readme", -1},
        {"trailingdot.", -1},
        {"", -1},
        {"picture.png.txt", -1},
        // Only the first 259 characters are looked at.
        {std::string(300, 'a') + ".png", -1},
    };
    if (hasBuiltin(5)) cases.push_back({"levels/X.JEM", 5});
    if (hasBuiltin(0)) cases.push_back({"icon.Bmp", 0});
    for (const Case& c : cases) EXPECT_EQ(ZImage::detectFormat(c.name.c_str()), c.id) << c.name;
    EXPECT_EQ(ZImage::detectFormat(nullptr), -1);
}

// Handlers are looked up in list order, so an added handler never shadows a built-in.
TEST_F(ZImageRegistryTest, AddedHandlersComeAfterTheBuiltins) {
    FakeHandler& png = add(ZImageFormatPng, "png");
    FakeHandler& seven = add(7, "seven");
    EXPECT_EQ(registered().back(), &seven);

    Bytes file = writePng([] {
        PngFixture f;
        f.width = f.height = 1;
        f.colorType = PNG_COLOR_TYPE_GRAY;
        f.samples = {200};
        return f;
    }());
    ZImage image;
    ASSERT_TRUE(image.decodeImage(ZImageFormatPng, file.data(), file.size()));
    EXPECT_EQ(png.decodes, 0);
    EXPECT_EQ(pixelsOf(image), std::vector<uint32_t>{rgba(200, 200, 200)});

    EXPECT_EQ(ZImage::detectFormat("level.SEVEN"), 7);
    image.freeImage();
    EXPECT_TRUE(image.decodeImage(7, file.data(), file.size()));
    EXPECT_EQ(seven.decodes, 1);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    EXPECT_TRUE(image.encodeImage(7, data, size, 94));
    EXPECT_EQ(seven.lastQuality, 94);
    delete[] data;

    EXPECT_FALSE(image.decodeImage(42, file.data(), file.size()));
    EXPECT_FALSE(image.encodeImage(42, data, size, 94));
    EXPECT_FALSE(image.decodeImage(-1, file.data(), file.size()));
}

TEST_F(ZImageRegistryTest, DetectionSkipsMatchesWithoutAnId) {
    add(-1, "zz");
    FakeHandler& named = add(9, "zz");
    EXPECT_EQ(ZImage::detectFormat("a.zz"), 9);
    ZImage::removeHandler(&named);
    EXPECT_EQ(ZImage::detectFormat("a.zz"), -1);
    // Removing a handler that is not listed leaves the list as it was.
    size_t before = registered().size();
    ZImage::removeHandler(&named);
    EXPECT_EQ(registered().size(), before);
}

// Cleanup deletes the built-ins and unlinks every handler with a built-in id; a caller's
// handler is never deleted (the fixture deletes these). The next use registers the built-ins
// again, after the handlers that stayed.
TEST_F(ZImageRegistryTest, CleanupDeletesOnlyTheBuiltinsAndTheNextUseRefills) {
    FakeHandler& seven = add(7, "seven");
    FakeHandler& anonymous = add(-1, "anon");
    add(ZImageFormatPng, "png");
    ZImage::cleanup();
    EXPECT_FALSE(ZImage::g_bHandlersInitialized);
    EXPECT_EQ(registered(), (std::vector<ZImageHandler*>{&seven, &anonymous}));
    EXPECT_EQ(ZImage::g_lHandlers.count, 2);

    EXPECT_EQ(ZImage::detectFormat("x.png"), 3);
    std::vector<long> expected = {7, -1};
    for (long id : builtinIds()) expected.push_back(id);
    EXPECT_EQ(registeredIds(), expected);
    ZImage::cleanup();
    ZImage::cleanup();
    EXPECT_EQ(registered(), (std::vector<ZImageHandler*>{&seven, &anonymous}));
}

// Loader threads may make the first use at the same time: the built-ins register once.
TEST_F(ZImageRegistryTest, ConcurrentFirstUseRegistersOnce) {
    for (int round = 0; round < 20; round++) {
        ZImage::cleanup();
        std::atomic<bool> go{false};
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; t++)
            threads.emplace_back([&] {
                while (!go) std::this_thread::yield();
                if (ZImage::detectFormat("a.png") != 3) wrong++;
            });
        go = true;
        for (std::thread& t : threads) t.join();
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(registeredIds(), builtinIds());
    }
}

ZImage* pictureOf(unsigned long width, unsigned long height, const std::vector<uint32_t>& pixels,
                  bool hasAlpha = true) {
    ZImage* image = new ZImage;
    fillImage(*image, width, height, pixels, hasAlpha, false, false);
    return image;
}

// 4 x 4 with pixel (x, y) = (x + 4y, 10x, 10y, 255 - x - y).
std::vector<uint32_t> fourByFour() {
    std::vector<uint32_t> pixels;
    for (unsigned y = 0; y < 4; y++)
        for (unsigned x = 0; x < 4; x++)
            pixels.push_back(rgba(x + 4 * y, 10 * x, 10 * y, 255 - x - y));
    return pixels;
}

// Each destination pixel averages four samples per channel (truncated); samples half a pixel
// outside the picture are replaced by the centre pixel, so (0, 0) is source (0, 0) itself.
TEST(ZImageResampleTest, AverageHalvingUsesTheCentreOutsideThePicture) {
    for (ZImageResampleMethod method : {0L, 2L, -1L}) {
        SCOPED_TRACE(method);
        std::unique_ptr<ZImage> image(pictureOf(4, 4, fourByFour()));
        image->resampleImage(2, 2, method);
        ASSERT_EQ(image->getImageWidth(), 2);
        ASSERT_EQ(image->getImageHeight(), 2);
        EXPECT_EQ(describe(pixelsOf(*image)),
                  describe({rgba(0, 0, 0, 255), rgba(1, 17, 0, 253), rgba(7, 0, 17, 253),
                            rgba(7, 15, 15, 252)}));
        EXPECT_TRUE(image->hasAlphaChannel());
        EXPECT_FALSE(image->isHiQuality());
    }
}

TEST(ZImageResampleTest, AverageEnlargingRepeatsTheEdges) {
    const uint32_t p00 = rgba(100, 0, 0), p10 = rgba(0, 100, 0), p01 = rgba(0, 0, 100),
                   p11 = rgba(0, 0, 0, 55);
    std::unique_ptr<ZImage> image(pictureOf(2, 2, {p00, p10, p01, p11}));
    image->resampleImage(4, 4, 0);
    std::vector<uint32_t> out = pixelsOf(*image);
    ASSERT_EQ(out.size(), 16u);
    const uint32_t mean = rgba(25, 25, 25, 205);
    EXPECT_EQ(describePixel(out[0]), describePixel(p00));
    EXPECT_EQ(describePixel(out[1 * 4 + 1]), describePixel(mean));
    EXPECT_EQ(describePixel(out[2 * 4 + 2]), describePixel(mean));
    EXPECT_EQ(describePixel(out[0 * 4 + 3]), describePixel(p10));
    EXPECT_EQ(describePixel(out[3 * 4 + 0]), describePixel(p01));
    EXPECT_EQ(describePixel(out[3 * 4 + 3]), describePixel(p11));
}

TEST(ZImageResampleTest, SameOrZeroSizeOrEmptyChangesNothing) {
    struct Case {
        unsigned long width, height;
    };
    for (ZImageResampleMethod method : {0L, 1L}) {
        for (Case c : {Case{4, 4}, Case{0, 4}, Case{4, 0}, Case{0, 0}}) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " method " << method);
            std::unique_ptr<ZImage> image(pictureOf(4, 4, fourByFour()));
            uint32_t* before = image->getPixels();
            image->resampleImage(c.width, c.height, method);
            EXPECT_EQ(image->getPixels(), before);
            EXPECT_EQ(image->getImageWidth(), 4);
            EXPECT_EQ(pixelsOf(*image), fourByFour());
        }
    }
    ZImage empty;
    empty.resampleImage(8, 8, 0);
    EXPECT_EQ(empty.getPixels(), nullptr);
    EXPECT_EQ(empty.getImageWidth(), 0);

    // Freeing keeps the size and flags.
    std::unique_ptr<ZImage> image(pictureOf(4, 4, fourByFour()));
    image->freeImage();
    EXPECT_EQ(image->getPixels(), nullptr);
    EXPECT_EQ(image->getImageWidth(), 4);
    EXPECT_TRUE(image->hasAlphaChannel());
}

// A size whose pixels cannot be held is refused and the picture kept.
TEST(ZImageResampleTest, ImpossibleSizesAreRefused) {
    std::unique_ptr<ZImage> image(pictureOf(4, 4, fourByFour()));
    uint32_t* before = image->getPixels();
    image->resampleImage(1ul << 40, 1ul << 40, 0);
    image->resampleImage(~0ul, 2, 1);
    image->resampleImage(1ul << 15, 1ul << 14, 0);  // 2^29 pixels
    EXPECT_EQ(image->getPixels(), before);
    EXPECT_EQ(image->getImageWidth(), 4);
}

// Taps are weighted by the cubic B-spline: at a source pixel (1/6, 2/3, 1/6), halfway
// (1/48, 23/48, 23/48, 1/48); taps beyond the edge repeat the edge pixel.
TEST(ZImageResampleTest, BsplineWeightsTheSixteenTaps) {
    std::unique_ptr<ZImage> image(pictureOf(
        5, 1, {rgba(0, 9, 9), rgba(0, 9, 9), rgba(240, 9, 9), rgba(0, 9, 9), rgba(0, 9, 9)},
        false));
    image->resampleImage(9, 1, 1);
    std::vector<uint32_t> out = pixelsOf(*image);
    ASSERT_EQ(out.size(), 9u);
    const unsigned expectedRed[9] = {0, 5, 40, 115, 160, 115, 40, 5, 0};
    for (int x = 0; x < 9; x++) {
        EXPECT_EQ(out[x], rgba(expectedRed[x], 9, 9)) << x << " " << describePixel(out[x]);
    }

    // A one-pixel target takes the first source position.
    std::unique_ptr<ZImage> row(pictureOf(3, 1, {rgba(0, 0, 0), rgba(60, 0, 0), rgba(120, 0, 0)}));
    row->resampleImage(1, 1, 1);
    EXPECT_EQ(describe(pixelsOf(*row)), describe({rgba(10, 0, 0)}));
}

// Colour is weighted by alpha: transparent pixels lend no colour, and a pixel whose taps are
// all transparent becomes transparent black whatever their colour bytes.
TEST(ZImageResampleTest, BsplineIgnoresTheColourOfTransparentPixels) {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) pixels.push_back(x < 2 ? rgba(255, 0, 99, 0) : rgba(0, 200, 0));
    std::unique_ptr<ZImage> image(pictureOf(4, 4, pixels));
    image->resampleImage(7, 7, 1);
    std::vector<uint32_t> out = pixelsOf(*image);
    ASSERT_EQ(out.size(), 49u);
    int transparent = 0, partly = 0;
    for (int i = 0; i < 49; i++) {
        uint32_t p = out[i];
        if ((p >> 24) == 0) {
            EXPECT_EQ(p, 0u) << i;
            transparent++;
        } else {
            EXPECT_EQ(p & 0xFFFFFF, rgba(0, 200, 0) & 0xFFFFFF) << i << " " << describePixel(p);
            if ((p >> 24) < 255) partly++;
        }
    }
    EXPECT_EQ(transparent, 7);  // the first column: its taps reach no opaque pixel
    EXPECT_GT(partly, 0);
}

TEST(ZImageResampleTest, BsplineKeepsOpaqueAndFlatPicturesSo) {
    std::mt19937 random(11);
    std::vector<uint32_t> noisy;
    for (int i = 0; i < 5 * 4; i++) noisy.push_back(random() | 0xFF000000u);
    std::unique_ptr<ZImage> opaque(pictureOf(5, 4, noisy, false));
    opaque->resampleImage(9, 7, 1);
    for (uint32_t p : pixelsOf(*opaque)) EXPECT_EQ(p >> 24, 255u) << describePixel(p);

    std::unique_ptr<ZImage> flat(pictureOf(3, 5, std::vector<uint32_t>(15, rgba(10, 20, 30, 128))));
    flat->resampleImage(8, 2, 1);
    EXPECT_EQ(describe(pixelsOf(*flat)),
              describe(std::vector<uint32_t>(16, rgba(10, 20, 30, 128))));
}

}  // namespace
