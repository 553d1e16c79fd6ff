#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"
#include "TestBitmapFont.h"
#include "ZManagedBitmapFontList.h"
#include "ZResource.h"
#include "ZText.h"

// The bitmap-font cache on tables alone (page pictures need a display; see the GL test): names
// in any letter case, the faces' heights, reference counts, unloading and failures.
namespace {

struct Entry {
    std::string name;
    long count;
    ZText* face;
};

std::vector<Entry> entries(ZManagedBitmapFontList& cache) {
    std::vector<Entry> out;
    cache.forEach(
        [](void* user, const char* name, long count, ZText* face) {
            static_cast<std::vector<Entry>*>(user)->push_back({name, count, face});
        },
        &out);
    return out;
}

class ZManagedBitmapFontListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        // Two tables of different line heights: the header's 16, and version 1's first
        // character height, 9.
        writeFile(dir.file("Title.TXT"), testfont::table(3));
        writeFile(dir.file("small.txt"), testfont::table(1));
        cache.setPrefix(dir.path().c_str());
    }

    void TearDown() override { cache.freeAll(); }

    ZText* load(const char* name, long level = 0, ZManagedBitmapFontFactory factory = nullptr) {
        return cache.loadFont(name, nullptr, level, factory, true, false);
    }

    TempDir dir;
    ZManagedBitmapFontList cache;
};

TEST_F(ZManagedBitmapFontListTest, SharesAFaceByNameInAnyLetterCase) {
    ZText* title = load("Title.TXT");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->getHeightPix(), 16);
    // No file title.txt exists: a second name in another case is the same entry, not a load.
    EXPECT_EQ(load("title.txt"), title);
    EXPECT_EQ(cache.getFontByName("TITLE.txt"), title);
    ZText* small = load("small.txt");
    ASSERT_NE(small, nullptr);
    EXPECT_NE(small, title);
    EXPECT_EQ(small->getHeightPix(), 9);

    std::vector<Entry> listed = entries(cache);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "title.txt");
    EXPECT_EQ(listed[0].count, 2);
    EXPECT_EQ(listed[0].face, title);
    EXPECT_EQ(listed[1].name, "small.txt");
    EXPECT_EQ(listed[1].count, 1);
}

TEST_F(ZManagedBitmapFontListTest, UnloadsByNameAndByFaceUntilTheLastReference) {
    ZText* title = load("Title.TXT");
    ASSERT_NE(title, nullptr);
    load("TITLE.TXT");
    load("title.txt");
    cache.unloadFontByName("tItLe.TxT");
    cache.unloadFontByName("unknown.txt");
    cache.unloadFontByRef(nullptr);
    ASSERT_EQ(entries(cache).size(), 1u);
    EXPECT_EQ(entries(cache)[0].count, 2);
    cache.unloadFontByRef(title);
    EXPECT_EQ(entries(cache)[0].count, 1);
    cache.unloadFontByName("Title.TXT");
    EXPECT_TRUE(entries(cache).empty());
    EXPECT_EQ(cache.getFontByName("Title.TXT"), nullptr);
    // Gone for good: the next load reads the table again.
    ZText* again = load("Title.TXT");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(entries(cache)[0].count, 1);
}

ZText* g_lpMadeFace = nullptr;

ZText* makeFace() {
    g_lpMadeFace = new ZText();
    return g_lpMadeFace;
}

TEST_F(ZManagedBitmapFontListTest, NewFacesTakeTheFactorysObjectAndTheLevel) {
    ZText* plain = load("small.txt");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->getCompatibilityLevel(), 0);
    ZText* made = load("Title.TXT", 1, makeFace);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made, g_lpMadeFace);
    EXPECT_EQ(made->getCompatibilityLevel(), 1);
    // A cached face is handed back as it is.
    EXPECT_EQ(load("title.txt", 2), made);
    EXPECT_EQ(made->getCompatibilityLevel(), 1);
}

TEST_F(ZManagedBitmapFontListTest, AFailedLoadLeavesTheCacheAsItWas) {
    ASSERT_NE(load("small.txt"), nullptr);
    writeFile(dir.file("broken.txt"), "%ztext 9 1 0 12 0\n");
    EXPECT_EQ(load("missing.txt"), nullptr);
    EXPECT_EQ(load("broken.txt"), nullptr);
    EXPECT_EQ(load("missing.txt", 0, makeFace), nullptr);
    // A page picture that cannot be loaded fails the font as well.
    EXPECT_EQ(cache.loadFont("Title.TXT", "title_1.png", 0, nullptr, true, false), nullptr);
    std::string tooLong(300, 'a');
    EXPECT_EQ(load(tooLong.c_str()), nullptr);
    std::vector<Entry> listed = entries(cache);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "small.txt");
    EXPECT_EQ(listed[0].count, 1);
}

}  // namespace
