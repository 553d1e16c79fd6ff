#include <gtest/gtest.h>

#include <string>

#include "SpriteFixture.h"
#include "ZUIRichText.h"

// Colours, texts, rectangles and drop checks of hand-built sprites.
namespace {

using AppearanceTest = SpriteFixture;

TEST_F(AppearanceTest, ColourMultipliesDownTheSpriteTree) {
    CSprite* parent = addSprite({makeKey(0, 0, 0)});
    CSprite* s = addSprite({makeKey(0, 0, 0)});
    parent->appendChild(s);
    parent->state->color[3] = 0.5f;
    parent->state->lightness = 0.5f;
    parent->state->lightnessFactor = 4;  // a parent's lightness counts without its factor
    s->state->color[3] = 0.5f;
    s->state->color[0] = 0.8f;
    s->state->colorFactors[0] = 0.5f;
    player.applySpriteColor(s);
    EXPECT_FLOAT_EQ(s->state->effectiveColor[3], 0.25f);
    EXPECT_FLOAT_EQ(s->state->effectiveColor[0], 0.4f);
    EXPECT_FLOAT_EQ(s->state->effectiveLightness, 0.5f);
    float rgba[4];
    s->image->getColor(rgba);
    EXPECT_FLOAT_EQ(rgba[3], 0.25f);

    // A dragged sprite keeps its own colour; a dragged parent ends the walk after itself.
    s->state->dragging = true;
    player.applySpriteColor(s);
    EXPECT_FLOAT_EQ(s->state->effectiveColor[3], 0.5f);
    s->state->dragging = false;
    CSprite* grand = addSprite({makeKey(0, 0, 0)});
    grand->appendChild(parent);
    grand->state->color[3] = 0.1f;
    parent->state->dragging = true;
    player.applySpriteColor(s);
    EXPECT_FLOAT_EQ(s->state->effectiveColor[3], 0.25f);
}

TEST_F(AppearanceTest, AParentWithoutStateLeavesTheColourAlone) {
    CSprite* parent = addSprite({makeKey(0, 0, 0)});
    CSprite* s = addSprite({makeKey(0, 0, 0)});
    parent->appendChild(s);
    sceneState->detachSpriteState(parent->state);
    delete parent->state;
    parent->state = nullptr;
    s->state->color[3] = 0.5f;
    player.applySpriteColor(s);
    EXPECT_FLOAT_EQ(s->state->effectiveColor[3], 0);
    float rgba[4];
    s->image->getColor(rgba);
    EXPECT_FLOAT_EQ(rgba[3], 1);
}

TEST_F(AppearanceTest, LightnessAboveOneBecomesOverBrightness) {
    CSprite* s = addSprite({makeKey(0, 0, 0)});
    s->state->lightness = 1.5f;
    player.applySpriteColor(s);
    EXPECT_FLOAT_EQ(s->image->getLightness(), 1);
    EXPECT_FLOAT_EQ(s->image->getOverBrightness(), 0.5f);
    s->state->lightness = 0.75f;
    player.applySpriteColor(s);
    EXPECT_FLOAT_EQ(s->image->getLightness(), 0.75f);
    EXPECT_FLOAT_EQ(s->image->getOverBrightness(), 0);
}

struct FadeCase {
    const char* what;
    long layer;
    double fadeTime;
    float lightness, alpha;
};

TEST_F(AppearanceTest, ASwitchDarkensTheMainSceneAndFadesOverlays) {
    const FadeCase cases[] = {
        {"main scene darkens", 0, 500, 0.25f, 1},
        {"main scene switched without a cross-fade", 0, -1, 1, 1},
        {"overlay fades", 3, 500, 1, 0.25f},
    };
    for (const FadeCase& c : cases) {
        SCOPED_TRACE(c.what);
        scene->layer = c.layer;
        sceneState->fadeTime = c.fadeTime;
        sceneState->fadeCounter.startCounter(0.25f, 0.25f, 0, 0, ZCounterLinear);
        CSprite* s = addSprite({makeKey(0, 0, 0)});
        player.applySpriteColor(s);
        EXPECT_FLOAT_EQ(s->state->effectiveLightness, c.lightness);
        EXPECT_FLOAT_EQ(s->state->effectiveColor[3], c.alpha);
    }
}

TEST_F(AppearanceTest, ColoursOfAnAnimatedSpriteAtFixedTimes) {
    CSpriteKey a = makeKey(0, 0, 0), b = makeKey(1000, 0, 0);
    a.g = 0;
    b.g = 1;
    a.lightness = 2;
    b.lightness = 1;
    CSprite* s = addSprite({a, b});
    for (double t : {0.0, 400.0, 1000.0}) {
        SCOPED_TRACE(t);
        s->state->time = t;
        player.updateSprite(s, 0, false, false);
        player.applySpriteColor(s);
        float rgba[4];
        s->image->getColor(rgba);
        EXPECT_NEAR(rgba[1], t / 1000, 1e-5);
        EXPECT_NEAR(s->image->getOverBrightness(), 1 - t / 1000, 1e-5);
    }
}

class TextTest : public SpriteFixture {
protected:
    CSprite* textSprite() {
        CSprite* s = addSprite({makeKey(0, 0, 0)}, 0, false);
        text = new ZUIRichText(scene->container);
        s->element = text;
        return s;
    }
    ZUIRichText* text = nullptr;
};

TEST_F(TextTest, TextsAndLabelsFillTheRichText) {
    CSprite* s = textSprite();
    player.applySpriteText(s, "plain words", true);
    EXPECT_STREQ(text->getText(), "plain words");
    player.applySpriteText(s, nullptr, true);
    EXPECT_STREQ(text->getText(), "");

    player.setString("SCORE", "%s meters, best %s");
    player.applySpriteTextLabel(s, "SCORE", "120", true, "300", nullptr);
    EXPECT_STREQ(text->getText(), "120 meters, best 300");
    // A label missing from the table is its own format.
    player.applySpriteTextLabel(s, "NO_SUCH %s", "x", true, nullptr, nullptr);
    EXPECT_STREQ(text->getText(), "NO_SUCH x");
    // Placeholders of printf that the table's text carries are not handed to printf.
    player.setString("ODD", "%d %n %s");
    player.applySpriteTextLabel(s, "ODD", "a", true, nullptr, nullptr);
    EXPECT_STREQ(text->getText(), "%d %n a");
    player.applySpriteTextLabel(s, nullptr, nullptr, true, nullptr, nullptr);
    EXPECT_STREQ(text->getText(), "");
}

TEST_F(TextTest, TextSpritesMoveWithTheirKeyRectangle) {
    scene->brushes[0].fontHeight = 12;
    CSpriteKey a = makeKey(0, 100, 100), b = makeKey(1000, 200, 100);
    CSprite* s = addSprite({a, b}, 0, false);
    text = new ZUIRichText(scene->container);
    s->element = text;
    s->state->time = 500;
    player.updateSprite(s, 0, false, false);
    EXPECT_FLOAT_EQ(text->getPositionX(), 150 - 10);
    EXPECT_FLOAT_EQ(text->getPositionY(), 100 - 5);
    EXPECT_FLOAT_EQ(text->getWidth(), 20);
}

TEST_F(TextTest, LongLabelsAreCut) {
    CSprite* s = textSprite();
    std::string longText(3000, 'w');
    player.setString("LONG", "%s");
    player.applySpriteTextLabel(s, "LONG", longText.c_str(), true, nullptr, nullptr);
    EXPECT_EQ(strlen(text->getText()), 2047u);
}

TEST_F(TextTest, SpritesWithoutTextElementOrStateIgnoreTexts) {
    CSprite* image = addSprite({makeKey(0, 0, 0)});
    player.applySpriteText(image, "x", true);
    CSprite* s = textSprite();
    sceneState->detachSpriteState(s->state);
    delete s->state;
    s->state = nullptr;
    player.applySpriteText(s, "x", true);
    player.applySpriteTextLabel(s, "x", nullptr, true, nullptr, nullptr);
    EXPECT_STREQ(text->getText(), "");
}

TEST_F(AppearanceTest, RectanglesOfKeysWithTheOffsets) {
    CSpriteKey k = makeKey(0, 100, 100);
    CSprite* s = addSprite({k});
    s->state->anchorOffset = {5, 6};
    s->state->rectOffsetTopLeft = {-1, -1};
    s->state->rectOffsetBottomRight = {2, 2};
    ZRectangle r = player.getSpriteRect(s, 0, false);
    EXPECT_FLOAT_EQ(r.x1, 90 + 5 - 1);
    EXPECT_FLOAT_EQ(r.y1, 95 + 6 - 1);
    EXPECT_FLOAT_EQ(r.x2, 110 + 5 + 2);
    EXPECT_FLOAT_EQ(r.y2, 105 + 6 + 2);
    r = player.getSpriteRect(s, 1, false);
    EXPECT_FLOAT_EQ(r.x2, 0);

    // Plain brush: the region placed by its pivot (10, 10), and the pivot offset.
    s->state->pivotOffset = {2, 0};
    r = player.getSpriteBoundingRect(s, 0);
    EXPECT_FLOAT_EQ(r.x1, 100 - 12 + 5);
    EXPECT_FLOAT_EQ(r.x2, 100 - 12 + 5 + 40);
    EXPECT_FLOAT_EQ(r.y1, 100 - 10 + 6);

    // Stretched: the key's rectangle.
    CSprite* t = addSprite({k}, 1);
    r = player.getSpriteBoundingRect(t, 0);
    EXPECT_FLOAT_EQ(r.x1, 90);
    EXPECT_FLOAT_EQ(r.y2, 105);

    // The 1 x 1 placeholder.
    CSprite* tiny = addSprite({k}, -1);
    tiny->id = 0xFFFFFFFFul;
    r = player.getSpriteBoundingRect(tiny, 0);
    EXPECT_FLOAT_EQ(r.x1, 100);
    EXPECT_FLOAT_EQ(r.x2, 101);
}

TEST_F(AppearanceTest, ScreenRectanglesPassThroughTheElement) {
    CSprite* s = addSprite({makeKey(0, 100, 100)}, 1);
    scene->container->setPosition(10, 20);
    player.updateSprite(s, 0, false, false);
    ZRectangle r = player.getSpriteRect(s, 0, true);
    EXPECT_NEAR(r.x1, 100, 1e-3);
    EXPECT_NEAR(r.y1, 115, 1e-3);
    EXPECT_NEAR(r.x2, 120, 1e-3);
}

TEST_F(AppearanceTest, ASpriteIsClickableWhenItIsTopmostAtItsAnchor) {
    CSprite* s = addSprite({makeKey(0, 100, 100)});
    player.updateSprite(s, 0, false, false);
    EXPECT_TRUE(player.isSpriteClickable(s));
    ZUIElement* cover = new ZUIElement(ZUIElement::getRootElement());
    cover->setSize(768, 1024);
    cover->enableElementInput(true);
    ZUIElement::moveAll();
    EXPECT_FALSE(player.isSpriteClickable(s));
    CSprite none;
    EXPECT_FALSE(player.isSpriteClickable(&none));
}

TEST_F(AppearanceTest, DropsAreAcceptedByNameWithoutCase) {
    CSprite* s = addSprite({makeKey(0, 0, 0)});
    s->userEventNames[0] = ownedText("DROP:coin");
    s->eventActionType[4] = 5;
    s->userEventNames[5] = ownedText("hello; drop:star ;drop:moon ");
    s->eventActionType[19] = 5;
    s->userEventNames[6] = ownedText("drop:gem");  // no action in its slot
    EXPECT_TRUE(player.doesSpriteAcceptDrop(s, "Coin"));
    EXPECT_TRUE(player.doesSpriteAcceptDrop(s, "star"));
    EXPECT_FALSE(player.doesSpriteAcceptDrop(s, "moon"));  // blanks after the last name stay
    EXPECT_FALSE(player.doesSpriteAcceptDrop(s, "gem"));
    EXPECT_FALSE(player.doesSpriteAcceptDrop(s, "coi"));
    EXPECT_FALSE(player.doesSpriteAcceptDrop(s, nullptr));
    EXPECT_FALSE(player.doesSpriteAcceptDrop(nullptr, "coin"));
}

TEST_F(AppearanceTest, ABrushSwapNeedsTwoBrushesOfOneScene) {
    CSprite* s = addSprite({makeKey(0, 0, 0)}, 0);
    CSprite* source = addSprite({makeKey(0, 0, 0)}, 1);
    CSprite* bare = addSprite({makeKey(0, 0, 0)}, -1);
    player.applySpriteBrush(s, bare, true);
    player.applySpriteBrush(s, s, true);
    EXPECT_FLOAT_EQ(s->state->anchorOffset.x, 0);
    // Keeping the anchor moves it by the difference of the pivots' places: (0, 0) - (10, 10).
    player.applySpriteBrush(s, source, true);
    EXPECT_FLOAT_EQ(s->state->anchorOffset.x, -10);
    EXPECT_FLOAT_EQ(s->state->anchorOffset.y, -10);
}

}  // namespace
