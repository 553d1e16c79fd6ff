#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "ManagedGraphicListTestSupport.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZGraphicGL.h"
#include "ZImage.h"
#include "ZManagedGraphicList.h"
#include "ZResource.h"
#include "ZWindow.h"

// The graphic cache's decoding half and its bookkeeping, without a window: nothing here may
// reach OpenGL.
namespace {

const uint32_t kOpaque = rgba(200, 100, 50);

// The factories make OpenGL objects once an OpenGL window has been asked for; this one is never
// opened.
void selectOpenGLRenderer() {
    ZWindow* window = ZCore::createZWindow(eRendererOpenGL, false, false);
    ZCore::forgetZWindow();
    delete window;
}

bool contains(const std::vector<std::string>& messages, const std::string& part) {
    for (const std::string& message : messages)
        if (message.find(part) != std::string::npos) return true;
    return false;
}

class ZManagedGraphicListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ZResource::initialize();
        selectOpenGLRenderer();
    }

    void SetUp() override {
        ZGraphicGL::setup(nullptr);
        baseline = liveGraphics();
        cache.setPrefix(dir.path().c_str());
    }

    void TearDown() override {
        cache.freeAll();
        EXPECT_EQ(liveGraphics(), baseline);
    }

    void write(const std::string& name, long width, long height, uint32_t pixel = kOpaque,
               bool alpha = false, long format = ZImageFormatPng) {
        ASSERT_TRUE(writePicture(dir.file(name), width, height, filledPixels(width, height, pixel),
                                 alpha, format));
    }

    ZGraphic* load(const char* name, long threshold = -1, bool reload = false, bool alpha = true) {
        return cache.loadGraphic(name, true, alpha, false, threshold, reload, nullptr, false,
                                 nullptr, false);
    }

    TempDir dir;
    ZManagedGraphicList cache;
    long baseline = 0;
};

TEST_F(ZManagedGraphicListTest, NamesDifferingInCaseShareOneEntryOpenedUnderTheNameAsWritten) {
    write("Door.PNG", 4, 4);
    // The file system keeps case: the first load opens the name as it is written.
    EXPECT_EQ(load("door.png"), nullptr);
    ZGraphic* first = load("Door.PNG");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(load("door.png"), first);
    EXPECT_EQ(load("DOOR.png"), first);
    std::vector<CachedGraphic> entries = cachedGraphics(cache);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "door.png");
    EXPECT_EQ(entries[0].count, 3);
    // Later loads do not read the file again.
    std::remove(dir.file("Door.PNG").c_str());
    EXPECT_EQ(load("dOOr.pNg"), first);
    EXPECT_EQ(cache.getGraphicByName("DOOR.PNG"), first);
    EXPECT_EQ(cachedCount(cache, "door.png"), 4);
}

TEST_F(ZManagedGraphicListTest, SecondPrefixLeavesTheFirstInForce) {
    TempDir first, second;
    ASSERT_TRUE(writePicture(first.file("a.png"), 2, 2, filledPixels(2, 2, kOpaque), false,
                             ZImageFormatPng));
    ASSERT_TRUE(writePicture(second.file("b.png"), 2, 2, filledPixels(2, 2, kOpaque), false,
                             ZImageFormatPng));
    ZManagedGraphicList other;
    other.setPrefix(first.path().c_str());
    other.setPrefix(second.path().c_str());
    EXPECT_EQ(other.getPrefix(), first.path());
    EXPECT_NE(
        other.loadGraphic("a.png", true, true, false, -1, false, nullptr, false, nullptr, false),
        nullptr);
    EXPECT_EQ(
        other.loadGraphic("b.png", true, true, false, -1, false, nullptr, false, nullptr, false),
        nullptr);
    other.freeAll();
}

TEST_F(ZManagedGraphicListTest, MissingPictureFallsBackOnAColourFileAndAnAlphaFile) {
    // The alpha file's grey level is what hits: its right half only, where the colour file is
    // opaque everywhere.
    std::vector<uint32_t> halves = {rgba(0, 0, 0),       rgba(0, 0, 0),      rgba(255, 255, 255),
                                    rgba(255, 255, 255), rgba(0, 0, 0),      rgba(0, 0, 0),
                                    rgba(255, 255, 255), rgba(255, 255, 255)};
    struct File {
        const char* name;
        long format;
        bool alphaFile;
    };
    struct Case {
        const char* name;
        bool alpha;
        const char* alphaSuffix;
        const char* colorExtension;
        std::vector<File> files;
        bool loads;
    } cases[] = {
        {"door.png",
         true,
         nullptr,
         nullptr,
         {{"door.jpg", ZImageFormatJpg, false}, {"door_a.png", ZImageFormatPng, true}},
         true},
        {"Door.TGA",
         true,
         nullptr,
         nullptr,
         {{"Door.jpg", ZImageFormatJpg, false}, {"Door_a.png", ZImageFormatPng, true}},
         true},
        {"door.bmp",
         true,
         "_m.tga",
         ".png",
         {{"door.png", ZImageFormatPng, false}, {"door_m.tga", ZImageFormatTga, true}},
         true},
        {"door.png",
         false,
         nullptr,
         nullptr,
         {{"door.jpg", ZImageFormatJpg, false}, {"door_a.png", ZImageFormatPng, true}},
         false},
        {"door.gif",
         true,
         nullptr,
         nullptr,
         {{"door.jpg", ZImageFormatJpg, false}, {"door_a.png", ZImageFormatPng, true}},
         false},
        {"door.png", true, nullptr, nullptr, {{"door.jpg", ZImageFormatJpg, false}}, false},
        {"door.png", true, nullptr, nullptr, {{"door_a.png", ZImageFormatPng, true}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.alpha ? " with alpha" : " without alpha") +
                     ", files " + std::to_string(c.files.size()));
        TempDir folder;
        for (const File& file : c.files)
            ASSERT_TRUE(writePicture(folder.file(file.name), 4, 2,
                                     file.alphaFile ? halves : filledPixels(4, 2, kOpaque), false,
                                     file.format));
        ZManagedGraphicList pairs;
        pairs.setPrefix(folder.path().c_str());
        ZGraphic* graphic = pairs.loadGraphic(c.name, true, c.alpha, false, 128, false,
                                              c.alphaSuffix, false, c.colorExtension, false);
        EXPECT_EQ(graphic != nullptr, c.loads);
        if (graphic) {
            EXPECT_EQ(graphic->getWidth(), 4);
            EXPECT_EQ(graphic->getHeight(), 2);
            const unsigned char* mask = pairs.getHitMaskByName(c.name);
            ASSERT_NE(mask, nullptr);
            EXPECT_EQ(mask[0], 0xCC);
        } else {
            EXPECT_TRUE(cachedGraphics(pairs).empty());
        }
        pairs.freeAll();
    }
}

TEST_F(ZManagedGraphicListTest, HitMaskHasOneBitPerPixelFromTheTestedByte) {
    struct Case {
        const char* what;
        long width, height;
        std::vector<uint32_t> pixels;
        long threshold, shift;
        std::vector<unsigned char> mask;  // empty: none
    } cases[] = {
        {"no threshold", 2, 1, {rgba(0, 0, 0, 255), rgba(0, 0, 0, 255)}, -1, 24, {}},
        {"no pixels", 0, 0, {}, 0, 24, {}},
        {"threshold 0 hits even clear pixels", 3, 1, {0, 0, 0}, 0, 24, {0x07}},
        {"ten pixels: a second byte of two bits",
         10,
         1,
         filledPixels(10, 1, kOpaque),
         0,
         24,
         {0xFF, 0x03}},
        {"alpha at or above the threshold",
         3,
         3,
         {rgba(0, 0, 0, 0), rgba(0, 0, 0, 127), rgba(0, 0, 0, 128), rgba(0, 0, 0, 129),
          rgba(0, 0, 0, 255), rgba(0, 0, 0, 1), rgba(0, 0, 0, 200), rgba(0, 0, 0, 0),
          rgba(0, 0, 0, 128)},
         128,
         24,
         {0x5C, 0x01}},
        {"green byte of an alpha file",
         2,
         2,
         {rgba(0, 255, 0, 0), rgba(255, 0, 255, 255), rgba(0, 128, 0, 0), rgba(0, 127, 0, 255)},
         128,
         8,
         {0x05}},
        {"a threshold above 255 never hits",
         2,
         1,
         filledPixels(2, 1, 0xFFFFFFFFu),
         256,
         24,
         {0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZImage image;
        if (!c.pixels.empty()) {
            uint32_t* pixels = new uint32_t[c.pixels.size()];
            std::copy(c.pixels.begin(), c.pixels.end(), pixels);
            image.setPixels(c.width, c.height, true, pixels, false, true);
        }
        std::unique_ptr<unsigned char[]> mask(
            ZManagedGraphicList::createHitMask(&image, c.threshold, c.shift));
        ASSERT_EQ(mask != nullptr, !c.mask.empty());
        if (mask) {
            EXPECT_EQ(std::vector<unsigned char>(mask.get(), mask.get() + c.mask.size()), c.mask);
        }
    }
}

TEST_F(ZManagedGraphicListTest, LoadKeepsTheHitMaskAndThresholdOfItsPicture) {
    std::vector<uint32_t> pixels = {rgba(1, 2, 3, 0), rgba(1, 2, 3, 255), rgba(1, 2, 3, 90),
                                    rgba(1, 2, 3, 91)};
    ASSERT_TRUE(writePicture(dir.file("masked.png"), 2, 2, pixels, true, ZImageFormatPng));
    write("plain.png", 2, 2);
    ZGraphic* masked = load("masked.png", 91);
    ZGraphic* plain = load("plain.png", -1);
    ASSERT_NE(masked, nullptr);
    ASSERT_NE(plain, nullptr);
    const unsigned char* mask = cache.getHitMaskByName("MASKED.png");
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask[0], 0x0A);
    EXPECT_EQ(cache.getHitMaskByRef(masked), mask);
    EXPECT_EQ(cache.getAlphaThresholdByName("masked.png"), 91);
    EXPECT_EQ(cache.getAlphaThresholdByRef(masked), 91);
    EXPECT_EQ(cache.getHitMaskByRef(plain), nullptr);
    EXPECT_EQ(cache.getAlphaThresholdByRef(plain), -1);
    EXPECT_EQ(cache.getHitMaskByName("other.png"), nullptr);
    EXPECT_EQ(cache.getAlphaThresholdByName("other.png"), 0);
    EXPECT_EQ(cache.getAlphaThresholdByRef(nullptr), 0);
}

TEST_F(ZManagedGraphicListTest, StencilMaskSourceNeverReachesPastTheGraphic) {
    struct Case {
        long width, height, threshold;
        bool made;
        float x2, y2, alphaReference;
    } cases[] = {
        {40, 30, 128, true, 40, 30, 127 / 255.0f},
        {600, 700, 1, true, 512, 512, 1 / 255.0f},
        {600, 100, 0, true, 512, 100, 0},
        {512, 512, 2, true, 512, 512, 1 / 255.0f},
        {16, 16, -1, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::string name = "stencil" + std::to_string(c.width) + "x" + std::to_string(c.height) +
                           "_" + std::to_string(c.threshold) + ".png";
        SCOPED_TRACE(name);
        write(name, c.width, c.height);
        ZGraphic* graphic = load(name.c_str(), c.threshold);
        ASSERT_NE(graphic, nullptr);
        ZGraphic* found = nullptr;
        ZRectangle byName = {-1, -1, -1, -1}, byRef = {-1, -1, -1, -1};
        const unsigned char* maskByName = nullptr;
        const unsigned char* maskByRef = nullptr;
        float referenceByName = -1, referenceByRef = -1;
        EXPECT_EQ(
            cache.getStencilMaskByName(name.c_str(), found, byName, maskByName, referenceByName),
            c.made);
        EXPECT_EQ(cache.getStencilMaskByRef(graphic, byRef, maskByRef, referenceByRef), c.made);
        if (!c.made) continue;
        EXPECT_EQ(found, graphic);
        EXPECT_EQ(maskByName, cache.getHitMaskByRef(graphic));
        EXPECT_EQ(maskByRef, maskByName);
        for (const ZRectangle& r : {byName, byRef}) {
            EXPECT_EQ(r.x1, 0);
            EXPECT_EQ(r.y1, 0);
            EXPECT_EQ(r.x2, c.x2);
            EXPECT_EQ(r.y2, c.y2);
        }
        EXPECT_FLOAT_EQ(referenceByName, c.alphaReference);
        EXPECT_FLOAT_EQ(referenceByRef, c.alphaReference);
    }
    ZGraphic* found = nullptr;
    ZRectangle source;
    const unsigned char* mask = nullptr;
    float reference = 0;
    EXPECT_FALSE(cache.getStencilMaskByName("missing.png", found, source, mask, reference));
}

TEST_F(ZManagedGraphicListTest, ReloadNeverFreesAGraphicThatOthersHold) {
    struct Case {
        const char* what;
        long holders;
        bool removeFile;
        bool reloaded;
    } cases[] = {
        {"held once", 1, false, true},
        {"held three times", 3, false, false},
        {"file gone", 1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("hero.png", 4, 4);
        ZGraphic* original = nullptr;
        for (long i = 0; i < c.holders; i++) original = load("hero.png");
        ASSERT_NE(original, nullptr);
        if (c.removeFile)
            std::remove(dir.file("hero.png").c_str());
        else
            write("hero.png", 8, 2);
        ZGraphic* reloaded = nullptr;
        std::vector<std::string> messages =
            loggedMessages([&] { reloaded = load("hero.png", -1, true); });
        EXPECT_EQ(reloaded != nullptr, c.reloaded);
        ZGraphic* cached = cache.getGraphicByName("hero.png");
        ASSERT_NE(cached, nullptr);
        // A reload adds no reference.
        EXPECT_EQ(cachedCount(cache, "hero.png"), c.holders);
        if (c.reloaded) {
            EXPECT_EQ(cached, reloaded);
            EXPECT_EQ(cached->getWidth(), 8);
        } else {
            EXPECT_EQ(cached, original);
            EXPECT_EQ(original->getWidth(), 4);
        }
        if (c.holders > 1) {
            EXPECT_TRUE(contains(messages, "not reloaded"));
        }
        cache.freeAll();
        EXPECT_EQ(liveGraphics(), baseline);
    }
}

TEST_F(ZManagedGraphicListTest, UnloadGivesOneReferenceBackAndTheLastDestroys) {
    write("a.png", 2, 2);
    write("b.png", 2, 2);
    ZGraphic* a = load("a.png");
    ASSERT_EQ(load("A.PNG"), a);
    ZGraphic* b = load("b.png");
    ASSERT_NE(b, nullptr);
    long loaded = liveGraphics();

    cache.unloadGraphicByName("missing.png");
    cache.unloadGraphicByRef(nullptr);
    int unknown = 0;
    cache.unloadGraphicByRef(reinterpret_cast<ZGraphic*>(&unknown));
    EXPECT_EQ(cachedCount(cache, "a.png"), 2);

    cache.unloadGraphicByName("a.PNG");
    EXPECT_EQ(cachedCount(cache, "a.png"), 1);
    cache.unloadGraphicByRef(a);
    EXPECT_EQ(cache.getGraphicByName("a.png"), nullptr);
    EXPECT_EQ(liveGraphics(), loaded - 1);
    // More unloads than loads change nothing further.
    cache.unloadGraphicByName("a.png");
    cache.unloadGraphicByRef(a);
    EXPECT_EQ(cachedCount(cache, "b.png"), 1);
    // A new load after the last unload reads the file again.
    ZGraphic* again = load("a.png");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(cachedCount(cache, "a.png"), 1);
}

TEST_F(ZManagedGraphicListTest, FreeAllDestroysEverythingWhateverTheCounts) {
    write("a.png", 2, 2);
    write("b.png", 3, 3);
    write("c.png", 4, 4);
    for (int i = 0; i < 3; i++) ASSERT_NE(load("a.png", 0), nullptr);
    for (int i = 0; i < 2; i++) ASSERT_NE(load("b.png"), nullptr);
    ASSERT_NE(load("c.png"), nullptr);
    EXPECT_EQ(liveGraphics(), baseline + 3);
    cache.freeAll();
    EXPECT_TRUE(cachedGraphics(cache).empty());
    EXPECT_EQ(cache.count, 0);
    EXPECT_EQ(liveGraphics(), baseline);
    EXPECT_EQ(cache.getGraphicByName("a.png"), nullptr);
    EXPECT_NE(load("a.png"), nullptr);
    EXPECT_EQ(cachedCount(cache, "a.png"), 1);
}

TEST_F(ZManagedGraphicListTest, ForEachWalksInOrderOfCreationAndMayUnloadWhatItIsGiven) {
    for (const char* name : {"c.png", "a.png", "b.png"}) {
        write(name, 2, 2);
        ASSERT_NE(load(name), nullptr);
    }
    struct Walk {
        ZManagedGraphicList* cache;
        std::vector<std::string> names;
    } walk{&cache, {}};
    cache.forEach(
        [](void* user, const char* name, long, ZGraphic* graphic) {
            Walk* w = static_cast<Walk*>(user);
            w->names.push_back(name);
            w->cache->unloadGraphicByRef(graphic);
        },
        &walk);
    EXPECT_EQ(walk.names, (std::vector<std::string>{"c.png", "a.png", "b.png"}));
    EXPECT_TRUE(cachedGraphics(cache).empty());
}

TEST_F(ZManagedGraphicListTest, DestroyingTheCacheDeletesNoEntry) {
    write("kept.png", 2, 2);
    auto* owner = new ZManagedGraphicList();
    owner->setPrefix(dir.path().c_str());
    ZGraphic* graphic =
        owner->loadGraphic("kept.png", true, true, false, 0, false, nullptr, false, nullptr, false);
    ASSERT_NE(graphic, nullptr);
    ZManagedGraphic* entry = owner->head;
    delete owner;
    EXPECT_EQ(liveGraphics(), baseline + 1);
    EXPECT_EQ(entry->object, graphic);
    delete entry->object;
    delete entry;
}

TEST_F(ZManagedGraphicListTest, NamesAndPathsThatDoNotFitFailInsteadOfBeingCut) {
    // The folder, a '/' and the name: 259 characters fit, 260 do not.
    long room = 259 - static_cast<long>(dir.path().size()) - 1;
    ASSERT_GT(room, 10);
    std::string fits = std::string(room - 4, 'f') + ".png";
    std::string over = std::string(room - 3, 'o') + ".png";
    write(fits, 2, 2);
    write(over, 2, 2);
    EXPECT_NE(load(fits.c_str()), nullptr);
    std::vector<std::string> messages;
    messages = loggedMessages([&] { EXPECT_EQ(load(over.c_str()), nullptr); });
    EXPECT_TRUE(contains(messages, "path longer than 259 characters"));

    std::string longName(260, 'n');
    messages = loggedMessages([&] { EXPECT_EQ(load(longName.c_str()), nullptr); });
    EXPECT_TRUE(contains(messages, "name longer than 259 characters"));
    EXPECT_EQ(cache.getGraphicByName(longName.c_str()), nullptr);
    cache.unloadGraphicByName(longName.c_str());
    EXPECT_EQ(cachedGraphics(cache).size(), 1u);
}

TEST_F(ZManagedGraphicListTest, IncreaseSequenceAdvancesTheNumberBeforeTheExtension) {
    struct Case {
        const char* name;
        int steps;
        const char* advanced;
        bool succeeds;
    } cases[] = {
        {"walk.png", 1, "walk2.png", true},  {"a1.png", 1, "a2.png", true},
        {"a19.png", 1, "a20.png", true},     {"a9.png", 1, "a10.png", true},
        {"a99.png", 1, "a100.png", true},    {"Walk09.PNG", 1, "Walk10.PNG", true},
        {"walk.png", 9, "walk10.png", true}, {"x.y.9.png", 1, "x.y.10.png", true},
        {"9.png", 1, "0.png", false},        {"99.png", 1, "00.png", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char name[260];
        snprintf(name, sizeof(name), "%s", c.name);
        long position = static_cast<long>(strrchr(name, '.') - name) - 1;
        bool succeeded = true;
        for (int i = 0; i < c.steps && succeeded; i++)
            succeeded = ZManagedGraphicList::increaseSequence(name, position);
        EXPECT_EQ(succeeded, c.succeeds);
        EXPECT_STREQ(name, c.advanced);
        if (succeeded) {
            EXPECT_EQ(name[position + 1], '.');
        }
    }

    // A name of 259 characters has no room for one more digit, but may change one.
    char name[260];
    std::string longest = std::string(254, 'w') + "9.png";
    ASSERT_EQ(longest.size(), 259u);
    snprintf(name, sizeof(name), "%s", longest.c_str());
    long position = 254;
    EXPECT_FALSE(ZManagedGraphicList::increaseSequence(name, position));
    longest[254] = '1';
    snprintf(name, sizeof(name), "%s", longest.c_str());
    EXPECT_TRUE(ZManagedGraphicList::increaseSequence(name, position));
    EXPECT_EQ(name[254], '2');
}

TEST_F(ZManagedGraphicListTest, SequencesLoadUntilMissingOrAllOrNothing) {
    struct Case {
        std::vector<const char*> files;
        const char* name;
        long count;
        long loaded;
        std::vector<const char*> cached;
    } cases[] = {
        {{"walk.png", "walk2.png", "walk3.png"},
         "walk.png",
         0,
         3,
         {"walk.png", "walk2.png", "walk3.png"}},
        {{"walk.png", "walk2.png", "walk3.png"}, "walk.png", 5, 0, {}},
        {{"walk.png", "walk2.png", "walk3.png"}, "walk.png", 2, 2, {"walk.png", "walk2.png"}},
        {{"walk.png", "walk2.png", "walk3.png"},
         "Walk.PNG",
         3,
         0,  // the files are opened as written: Walk.PNG is missing
         {}},
        {{"a8.png", "a9.png", "a10.png", "a12.png"},
         "a8.png",
         0,
         3,
         {"a8.png", "a9.png", "a10.png"}},
        {{"walk.png"}, "walk.png", -1, 0, {}},
        {{"walk"}, "walk", 0, 0, {}},
        {{".png"}, ".png", 0, 0, {}},
        {{}, "walk.png", 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " count " + std::to_string(c.count));
        TempDir folder;
        for (const char* file : c.files)
            ASSERT_TRUE(writePicture(folder.file(file), 2, 2, filledPixels(2, 2, kOpaque), false,
                                     ZImageFormatPng));
        ZManagedGraphicList frames;
        frames.setPrefix(folder.path().c_str());
        EXPECT_EQ(frames.loadGraphicSequence(c.name, c.count, true, true, -1, false, false, false),
                  c.loaded);
        std::vector<std::string> names;
        for (const CachedGraphic& entry : cachedGraphics(frames)) {
            names.push_back(entry.name);
            EXPECT_EQ(entry.count, 1);
        }
        EXPECT_EQ(names, std::vector<std::string>(c.cached.begin(), c.cached.end()));
        frames.freeAll();
    }
}

TEST_F(ZManagedGraphicListTest, AllOrNothingSequenceLeavesEarlierHoldersTheirReference) {
    for (const char* name : {"run.png", "run2.png"}) write(name, 2, 2);
    ZGraphic* held = load("run2.png");
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(cache.loadGraphicSequence("run.png", 3, true, true, -1, false, false, false), 0);
    EXPECT_EQ(cachedGraphics(cache).size(), 1u);
    EXPECT_EQ(cachedCount(cache, "run2.png"), 1);
    EXPECT_EQ(cache.getGraphicByName("run2.png"), held);

    // Reloaded frames gained no reference, so none is taken back from their holder.
    EXPECT_EQ(cache.loadGraphicSequence("run2.png", 2, true, true, -1, true, false, false), 0);
    EXPECT_EQ(cachedCount(cache, "run2.png"), 1);

    EXPECT_EQ(cache.loadGraphicSequence("run.png", 2, true, true, -1, false, false, false), 2);
    EXPECT_EQ(cachedCount(cache, "run2.png"), 2);
    cache.unloadGraphicSequence("RUN.png", 2);
    EXPECT_EQ(cache.getGraphicByName("run.png"), nullptr);
    EXPECT_EQ(cachedCount(cache, "run2.png"), 1);
    cache.unloadGraphicSequence("run.png", 0);
    cache.unloadGraphicSequence("run", 2);
    EXPECT_EQ(cachedCount(cache, "run2.png"), 1);
}

TEST_F(ZManagedGraphicListTest, AtlasTreeLeavesAGutterUnlessANodeSpansThePage) {
    struct Case {
        const char* what;
        float pageWidth, pageHeight;
        std::vector<ZRectangle> placed;  // expected nodes; x2 < x1 for a refusal
        std::vector<std::pair<float, float>> sizes;
        float atlasWidth, atlasHeight;
    } cases[] = {
        {"100 x 100 in a 1024 page", 1024, 1024, {{0, 0, 108, 108}}, {{100, 100}}, 108, 108},
        {"a row of three",
         1024,
         1024,
         {{0, 0, 40, 40}, {40, 0, 80, 40}, {80, 0, 120, 40}},
         {{32, 32}, {32, 32}, {32, 32}},
         120,
         40},
        {"the whole page", 100, 100, {{0, 0, 100, 100}}, {{100, 100}}, 100, 100},
        {"nearly the page's width", 1024, 1024, {{0, 0, 1024, 18}}, {{1017, 10}}, 1024, 18},
        {"too tall", 100, 50, {{0, 0, -1, 0}}, {{100, 60}}, 0, 0},
        {"full after one", 50, 50, {{0, 0, 50, 50}, {0, 0, -1, 0}}, {{45, 45}, {2, 2}}, 50, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZManagedGraphicAtlasNode root(0, 0, c.pageWidth, c.pageHeight);
        std::vector<ZManagedGraphic> entries(c.sizes.size());
        for (size_t i = 0; i < c.sizes.size(); i++) {
            ZRectangle r = {0, 0, c.sizes[i].first, c.sizes[i].second};
            ZManagedGraphicAtlasNode* node =
                ZManagedGraphicList::insertIntoAtlas(&root, r, c.pageWidth, c.pageHeight);
            const ZRectangle& expected = c.placed[i];
            if (expected.x2 < expected.x1) {
                EXPECT_EQ(node, nullptr) << i;
                continue;
            }
            ASSERT_NE(node, nullptr) << i;
            node->entry = &entries[i];
            EXPECT_EQ(node->rect.x1, expected.x1) << i;
            EXPECT_EQ(node->rect.y1, expected.y1) << i;
            EXPECT_EQ(node->rect.x2, expected.x2) << i;
            EXPECT_EQ(node->rect.y2, expected.y2) << i;
        }
        float width = 0, height = 0;
        ZManagedGraphicList::getAtlasSize(&root, width, height);
        EXPECT_EQ(width, c.atlasWidth);
        EXPECT_EQ(height, c.atlasHeight);
    }
}

TEST_F(ZManagedGraphicListTest, GraphicsLeavingAnOpenAtlasLeaveItsPagesSound) {
    for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) write(name, 32, 32);
    cache.beginAtlas(128, 64, 48, 48);
    std::vector<ZGraphic*> graphics;
    for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) {
        ZGraphic* graphic = load(name);
        ASSERT_NE(graphic, nullptr);
        // Placed in a page: no texture is made until the atlas is closed.
        cache.uploadGraphic(graphic, false);
        graphics.push_back(graphic);
    }
    long placed = liveGraphics();
    // Pages are not listed while the atlas is open.
    EXPECT_EQ(cachedGraphics(cache).size(), 4u);
    cache.unloadGraphicByRef(graphics[1]);
    cache.unloadGraphicByName("d.png");
    EXPECT_EQ(liveGraphics(), placed - 2);
    // A page that loses its last graphic goes at once, before it ever had a texture.
    cache.unloadGraphicByRef(graphics[0]);
    cache.unloadGraphicByRef(graphics[2]);
    EXPECT_TRUE(cachedGraphics(cache).empty());
    EXPECT_EQ(liveGraphics(), baseline);
    // Graphics left in an open atlas are freed with its pages.
    ASSERT_NE(load("a.png"), nullptr);
    cache.uploadGraphic(cache.getGraphicByName("a.png"), false);
    cache.freeAll();
    cache.endAtlas();
}

}  // namespace
