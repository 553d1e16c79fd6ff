#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"
#include "TrueTypeFonts.h"
#include "ZManagedFontList.h"
#include "ZResource.h"
#include "ZTrueText.h"

// The outline-font cache over a copy of a free font in a test folder, rendering deferred (there
// is no renderer here).
namespace {

class ZManagedFontListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        writeFile(dir.file("Sans.ttf"), readFile(truetype::dejaVuSans()));
        cache.setPrefix(dir.path().c_str());
    }
    void TearDown() override { cache.freeAll(); }

    ZTrueText* load(const char* name, long height, long extra = 0) {
        return cache.loadFont(name, height, true, extra, false, 0, true, false);
    }

    long countOf(ZTrueText* face) {
        long count = -1;
        auto pair = std::make_pair(face, &count);
        cache.forEach(
            [](void* user, const char*, long n, ZTrueText* f, long) {
                auto* p = static_cast<std::pair<ZTrueText*, long*>*>(user);
                if (f == p->first) *p->second = n;
            },
            &pair);
        return count;
    }

    TempDir dir;
    ZManagedFontList cache;
};

TEST_F(ZManagedFontListTest, SharesFacesByNameHeightAndKey) {
    ZTrueText* small = load("Sans.ttf", 12);
    ZTrueText* large = load("Sans.ttf", 24);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    EXPECT_NE(small, large);
    EXPECT_EQ(countOf(small), 1);
    EXPECT_EQ(load("SANS.TTF", 12), small);
    EXPECT_EQ(countOf(small), 2);
    // Files open under the name as written; another key makes another face.
    EXPECT_EQ(load("sans.ttf", 12, 7), nullptr);
    ZTrueText* other = load("Sans.ttf", 12, 7);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, small);
    EXPECT_EQ(small->getFace()->size->metrics.y_ppem, 12);
    EXPECT_EQ(large->getFace()->size->metrics.y_ppem, 24);
    EXPECT_EQ(cache.getFontByName("sans.TTF", 24, 0), large);
    EXPECT_EQ(cache.getFontByName("sans.ttf", 18, 0), nullptr);
    EXPECT_EQ(countOf(large), 1);

    std::vector<long> heights;
    cache.forEach(
        [](void* user, const char* name, long, ZTrueText*, long height) {
            EXPECT_STREQ(name, "sans.ttf");
            static_cast<std::vector<long>*>(user)->push_back(height);
        },
        &heights);
    EXPECT_EQ(heights, (std::vector<long>{12, 24, 12}));
}

TEST_F(ZManagedFontListTest, UnloadsByNameAndFaceUntilTheLastReference) {
    ZTrueText* face = load("Sans.ttf", 12);
    load("Sans.ttf", 12);
    cache.unloadFontByName("Sans.ttf", 18, 0);  // never loaded at 18
    cache.unloadFontByName("Sans.ttf", 12, 3);  // nor with that key
    EXPECT_EQ(countOf(face), 2);
    cache.unloadFontByName("SANS.ttf", 12, 0);
    EXPECT_EQ(countOf(face), 1);
    cache.unloadFontByRef(face);
    EXPECT_EQ(cache.getFontByName("Sans.ttf", 12, 0), nullptr);
}

TEST_F(ZManagedFontListTest, NewFacesTakeTheLevelAndTheFlags) {
    ZTrueText* face = cache.loadFont("Sans.ttf", 20, true, 0, true, 2, true, false);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->getCompatibilityLevel(), 2);
    EXPECT_TRUE(face->isRenderingNeeded());  // deferred
}

TEST_F(ZManagedFontListTest, AFontThatCannotBeOpenedLeavesTheCacheAsItWas) {
    writeFile(dir.file("bad.ttf"), "not a font");
    EXPECT_EQ(load("bad.ttf", 12), nullptr);
    EXPECT_EQ(load("missing.ttf", 12), nullptr);
    EXPECT_EQ(cache.getFontByName("bad.ttf", 12, 0), nullptr);
    long entries = 0;
    cache.forEach(
        [](void* user, const char*, long, ZTrueText*, long) { ++*static_cast<long*>(user); },
        &entries);
    EXPECT_EQ(entries, 0);
}

}  // namespace
