// Copies of sprites made at run time: placed on another sprite's anchor or under the pointer,
// kept on the screen, and recorded so that they come back when their scene is read again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "CSceneCommand.h"
#include "CSceneState.h"
#include "CSpriteState.h"
#include "PlayerFixture.h"
#include "ZUIElement.h"

namespace {

// A background, a plate of 40 x 40 with its pivot in the middle, and a band stretched over its
// key rectangle.
const char* const kBrushes =
    "[brush1]\nid=1\nname=background\nmode=stretched\n"
    "[brush2]\nid=2\nname=plate\ntexsrcx2=40\ntexsrcy2=40\ntexpivotx=20\ntexpivoty=20\n"
    "[brush3]\nid=3\nname=band\nmode=stretched\ntexsrcx2=40\ntexsrcy2=40\n";

std::string sprite(long n, unsigned long brush, unsigned long id, const char* name,
                   const std::string& keys) {
    char text[200];
    snprintf(text, sizeof(text), "[sprite%ld]\nbrush=%lx\nid=%lx\nname=%s\n", n, brush, id, name);
    return text + keys;
}

std::string at(float x, float y) {
    char text[80];
    snprintf(text, sizeof(text), "key1anchorx=%g\nkey1anchory=%g\n", x, y);
    return text;
}

std::string rect(float x1, float y1, float x2, float y2) {
    char text[120];
    snprintf(text, sizeof(text), "key1rectx1=%g\nkey1recty1=%g\nkey1rectx2=%g\nkey1recty2=%g\n", x1,
             y1, x2, y2);
    return text;
}

const unsigned long kTarget = 0x10, kPiece = 0x11, kBig = 0x12, kHolder = 0x13, kLeft = 0x14,
                    kRight = 0x15, kLone = 0x16, kWideBand = 0x17, kEdgeBand = 0x18;

class SpriteCopiesTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        ZUIElement* root = ZUIElement::getRootElement();
        width = root->getWidth();
        height = root->getHeight();
        add("data/brushes/objects.ini", kBrushes);
        add("data/scenes/copies.ini",
            "[scene]\nwidth=768\nheight=1024\n" +
                sprite(1, 2, kTarget, "target",
                       "keys=2\n" + at(100, 100) + "key2time=1000\nkey2anchorx=300\n" +
                           "key2anchory=500\n") +
                sprite(2, 2, kPiece, "piece", at(600, 200)) +
                sprite(3, 2, kBig, "big", at(50, 50) + "key1scalex=2\nkey1scaley=2\n") +
                sprite(4, 2, kHolder, "holder", at(200, 300)) +
                // In the holder's own space, whose origin is its top-left corner.
                sprite(5, 2, kLeft, "left", "parent=13\n" + at(-10, 20)) +
                sprite(6, 2, kRight, "right", "parent=13\n" + at(70, 20)) +
                sprite(7, 2, kLone, "lone", at(400, 400)) +
                sprite(8, 3, kWideBand, "wideband", rect(-10, 100, width + 30, 140)) +
                sprite(9, 3, kEdgeBand, "edgeband", rect(-50, -5, width - 20, 40)));
        addPicture("data/graphics/scene_copies_background.jpg", 32, 32, 0xFF204060);
        addPicture("data/graphics/scene_copies_atlas1.bmp", 64, 64, 0xFFFF8000);
        mount();
        scene = play("copies");
        ASSERT_NE(scene, nullptr);
        ASSERT_EQ(scene->status.load(), 4);
    }
    CSprite* find(unsigned long id) { return scene->findSprite(id); }
    // The scene taken out and freed, then read, uploaded and inserted afresh.
    void readAgain() {
        player->stopScene(scene);
        player->freeScene(scene);
        delete scene;
        scene = play("copies");
    }
    std::vector<CSceneCommand> duplicates() {
        std::vector<CSceneCommand> out;
        CSceneState* state = player->getSceneStateByName("copies", true);
        for (int64_t i = 0; state && i < state->commandCount; i++)
            if (state->commands[i].type == CSceneCommand::kDuplicate)
                out.push_back(state->commands[i]);
        return out;
    }
    // The screen rectangle of the sprite's element and of every element below it.
    static ZRectangle treeRect(ZUIElement* element) {
        ZRectangle r = element->getAbsBoundingRect();
        for (ZUIElement* c = element->getFirstChildElement(); c; c = c->getNextSiblingElement()) {
            ZRectangle t = treeRect(c);
            r = {std::min(r.x1, t.x1), std::min(r.y1, t.y1), std::max(r.x2, t.x2),
                 std::max(r.y2, t.y2)};
        }
        return r;
    }

    CScene* scene = nullptr;
    float width = 0, height = 0;
};

TEST_F(SpriteCopiesTest, ACopyLandsOnTheAnchorItIsGiven) {
    CSprite* target = find(kTarget);
    ASSERT_NE(target, nullptr);
    target->state->anchorOffset = {10, 20};
    player->setSpriteKeyAnchorOffset(target, 1, {5, 5});
    struct Case {
        const char* what;
        std::function<CSprite*()> copy;
        ZVector2 anchor;  // where the copy's anchor must land, on the screen
    };
    const Case cases[] = {
        {"aligned at the first key",
         [&] {
             return player->copySpriteAndAlign(find(kPiece), target, true, 0, nullptr, 0, nullptr);
         },
         {110, 120}},
        {"aligned at the second key, with its key offset",
         [&] {
             return player->copySpriteAndAlign(find(kPiece), target, true, 1, "aligned", 0,
                                               nullptr);
         },
         {315, 525}},
        {"aligned past the last key",
         [&] {
             return player->copySpriteAndAlign(find(kPiece), target, true, 9, nullptr, 0, nullptr);
         },
         {315, 525}},
        {"aligned before the first key",
         [&] {
             return player->copySpriteAndAlign(find(kPiece), target, true, -4, nullptr, 0, nullptr);
         },
         {110, 120}},
        // The copy's own scale must not shrink the move.
        {"a scaled copy aligned",
         [&] {
             return player->copySpriteAndAlign(find(kBig), target, true, 1, nullptr, 0, nullptr);
         },
         {315, 525}},
        {"a scaled copy under the pointer",
         [&] {
             return player->copySpriteAt(find(kBig), {300, 400}, true, true, nullptr, nullptr, 0,
                                         nullptr);
         },
         {300, 400}},
        {"a copy under the pointer",
         [&] {
             return player->copySpriteAt(find(kPiece), {30, 700}, true, true, nullptr, nullptr, 0,
                                         nullptr);
         },
         {30, 700}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSprite* copy = c.copy();
        ASSERT_NE(copy, nullptr);
        ASSERT_NE(copy->state, nullptr);
        player->updateScene(scene, 0);
        ZVector2 anchor = player->getSpriteAnchor(copy, 0, true);
        EXPECT_NEAR(anchor.x, c.anchor.x, 0.01);
        EXPECT_NEAR(anchor.y, c.anchor.y, 0.01);
        // The anchor is the element's pivot: its middle for these plates.
        ZRectangle r = copy->element->getAbsBoundingRect();
        EXPECT_NEAR((r.x1 + r.x2) / 2, c.anchor.x, 0.01);
        EXPECT_NEAR((r.y1 + r.y2) / 2, c.anchor.y, 0.01);
    }
    // Without a target or its keys the copy stays where its source is.
    CSprite* plain =
        player->copySpriteAndAlign(find(kPiece), nullptr, true, 0, nullptr, 0, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->state->anchorOffset.x, 0);
    EXPECT_EQ(plain->state->anchorOffset.y, 0);
    EXPECT_EQ(player->copySpriteAndAlign(nullptr, target, true, 0, nullptr, 0, nullptr), nullptr);
}

TEST_F(SpriteCopiesTest, AContainedCopyIsMovedOntoTheScreenWhereItSticksOutOnOneSide) {
    struct Case {
        const char* what;
        unsigned long source;
        bool move;  // copied at the anchor below, else where its source is
        ZVector2 anchor;
        ZVector2 shift;  // what containment adds to its anchor offset
    };
    const float w = width, h = height;
    const Case cases[] = {
        {"inside", kPiece, true, {300, 300}, {0, 0}},
        {"out on the left", kPiece, true, {5, 300}, {15, 0}},
        {"out on the right", kPiece, true, {w - 5, 300}, {-15, 0}},
        {"out in the bottom-right corner", kPiece, true, {w - 2, h - 8}, {-18, -12}},
        {"out at the top", kPiece, true, {300, -30}, {0, 50}},
        // The holder lies inside; its right child does not.
        {"a tree whose child is out", kHolder, true, {w - 50, 300}, {-20, 0}},
        {"wider than the screen, out on both sides", kWideBand, false, {}, {0, 0}},
        // Moved in only as far as its other side allows.
        {"wider than the screen, out on one side", kEdgeBand, false, {}, {20, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSprite* copy = c.move ? player->copySpriteAt(find(c.source), c.anchor, false, true,
                                                      nullptr, nullptr, 0, nullptr)
                               : player->copySprite(find(c.source), true, nullptr, 0, nullptr);
        ASSERT_NE(copy, nullptr);
        player->updateScene(scene, 0);
        ZVector2 before = copy->state->anchorOffset;
        ZRectangle out = treeRect(copy->element);
        player->containCopiedSprite(copy);
        EXPECT_NEAR(copy->state->anchorOffset.x - before.x, c.shift.x, 0.01);
        EXPECT_NEAR(copy->state->anchorOffset.y - before.y, c.shift.y, 0.01);
        // The element is placed at once, and the whole tree moved with it.
        ZRectangle in = treeRect(copy->element);
        EXPECT_NEAR(in.x1 - out.x1, c.shift.x, 0.01);
        EXPECT_NEAR(in.y2 - out.y2, c.shift.y, 0.01);
        // A second call finds nothing more to do.
        player->containCopiedSprite(copy);
        EXPECT_NEAR(copy->state->anchorOffset.x - before.x, c.shift.x, 0.01);
        EXPECT_NEAR(copy->state->anchorOffset.y - before.y, c.shift.y, 0.01);
        player->deleteCopiedSprite(copy);
    }
    player->containCopiedSprite(nullptr);
}

TEST_F(SpriteCopiesTest, ACopyIsRecordedAndComesBackWhenItsSceneIsReadAgain) {
    CSprite* twin = player->copySprite(find(kHolder), true, "twin", 7, nullptr);
    ASSERT_NE(twin, nullptr);
    CSprite* under = player->duplicateSprite(find(kLone), twin, true, nullptr, 0, "display_x");
    ASSERT_NE(under, nullptr);
    const unsigned long twinId = twin->id, underId = under->id;
    ASSERT_EQ(scene->sprites.count, 13);

    // The copy, its two children, and the lone plate's copy under it.
    std::vector<CSceneCommand> recorded = duplicates();
    ASSERT_EQ(recorded.size(), 4u);
    EXPECT_EQ(recorded[0].words[0], static_cast<int64_t>(twinId));
    EXPECT_EQ(recorded[0].words[1], static_cast<int64_t>(kHolder));
    EXPECT_EQ(recorded[0].words[2], 0);
    EXPECT_EQ(recorded[0].words[3], 1);
    EXPECT_EQ(recorded[0].words[4], 7);
    EXPECT_STREQ(recorded[0].texts[0], "twin");
    EXPECT_STREQ(recorded[0].texts[1], "");
    for (int i = 1; i < 3; i++) {
        EXPECT_EQ(recorded[i].words[2], static_cast<int64_t>(twinId));
        EXPECT_STREQ(recorded[i].texts[0], i == 1 ? "left" : "right");
    }
    EXPECT_EQ(recorded[3].words[0], static_cast<int64_t>(underId));
    EXPECT_EQ(recorded[3].words[2], static_cast<int64_t>(twinId));
    EXPECT_STREQ(recorded[3].texts[0], "lone");
    EXPECT_STREQ(recorded[3].texts[1], "display_x");

    readAgain();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->sprites.count, 13);
    // The replay records nothing of its own.
    EXPECT_EQ(duplicates().size(), 4u);
    twin = find(twinId);
    ASSERT_NE(twin, nullptr);
    EXPECT_STREQ(twin->name, "twin");
    EXPECT_EQ(twin->copyKind, 2);
    EXPECT_EQ(twin->parent, nullptr);
    ASSERT_NE(twin->element, nullptr);
    EXPECT_EQ(twin->element->getParentElement(), scene->container);
    std::vector<std::string> children;
    for (CSprite* child = twin->firstChild; child; child = child->nextSibling) {
        children.push_back(child->name);
        EXPECT_NE(child->copyKind, 0);
        ASSERT_NE(child->element, nullptr);
        EXPECT_EQ(child->element->getParentElement(), twin->element);
    }
    EXPECT_EQ(children, (std::vector<std::string>{"left", "right", "lone"}));
    under = find(underId);
    ASSERT_NE(under, nullptr);
    EXPECT_STREQ(under->displayHandler, "display_x");

    // A deleted copy takes its records along, and stays away.
    player->deleteCopiedSprite(twin);
    EXPECT_TRUE(duplicates().empty());
    readAgain();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->sprites.count, 9);
    EXPECT_EQ(find(twinId), nullptr);
}

}  // namespace
