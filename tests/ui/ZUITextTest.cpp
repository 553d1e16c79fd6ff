#include <string>
#include <vector>

#include "../text/FixedAdvanceFace.h"
#include "LoggedMessages.h"
#include "UITreeFixture.h"
#include "ZUIText.h"

// The text element against a face of fixed advances (10 pixels, lines 20 high).
namespace {

class ZUITextTest : public UITreeFixture {
public:
    FixedAdvanceFace face;
    ZUIText* text(float w, float h) {
        ZUIText* t = new ZUIText(root());
        t->setTextFont(&face, -1);
        t->setSize(w, h);
        return t;
    }
    // The y of each drawn string.
    std::vector<float> drawnY() {
        std::vector<float> out;
        for (const FixedAdvanceFace::Draw& d : face.draws) out.push_back(d.y);
        return out;
    }
};

TEST_F(ZUITextTest, TheHeightFollowsTheLayoutAndTheWidth) {
    ZUIText* t = text(100, 100);
    t->setText("aaaa bbbb cccc");
    float oneLine = t->getLaidOutHeight();
    EXPECT_GT(oneLine, 0);
    t->setSize(50, 100);  // each word on its own line
    EXPECT_GT(t->getLaidOutHeight(), oneLine);
    EXPECT_EQ(t->getLaidOutHeight(), t->getCurrentTextHeight(false));
    EXPECT_EQ(t->getCurrentTextWidth(), 40);
    float widths[4] = {};
    EXPECT_EQ(t->getCurrentTextWidthArray(4, widths), 3);
    EXPECT_EQ(widths[1], 40);
    EXPECT_EQ(t->getTextFontHeight(), 20);

    t->setText(nullptr);
    ASSERT_NE(t->getText(), nullptr);
    EXPECT_STREQ(t->getText(), "");
}

TEST_F(ZUITextTest, SettersClampAndFlowModesOutsideTheRangeLayOutLeft) {
    ZUIText* t = text(100, 40);
    t->setTextLightness(1.5f);
    EXPECT_EQ(t->getTextLightness(), 1.0f);
    t->setTextFlow(7);
    EXPECT_EQ(t->getTextFlow(), 7);
    t->setText("ab");
    float x1, y1, x2, y2;
    ASSERT_TRUE(t->getCharacterPosInCurrentText(1, x1, y1, x2, y2));
    EXPECT_EQ(x1, 10);  // laid out from the left
    EXPECT_FALSE(t->getCharacterPosInCurrentText(2, x1, y1, x2, y2));
    EXPECT_FALSE(t->getCharacterPosInCurrentText(-1, x1, y1, x2, y2));
}

TEST_F(ZUITextTest, AlignmentAndOutlineShapeTheDraws) {
    ZUIText* t = text(100, 41);
    t->setText("a");
    t->setTextVertAlignMode(ZUIVertAlignCenter);
    face.draws.clear();
    t->blit(1, nullptr);
    ASSERT_EQ(face.draws.size(), 1u);
    const float centred = face.draws[0].y;
    t->setTextVertAlignMode(ZUIVertAlignTop);
    face.draws.clear();
    t->blit(1, nullptr);
    ASSERT_EQ(face.draws.size(), 1u);
    EXPECT_EQ(centred - face.draws[0].y, 10);  // floor((41 - 20) / 2)

    t->setTextOutlineThickness(1);
    t->setTextOutlineColor(1, 0, 0, 1);
    t->setTextColor(0, 1, 0, 0.5f);
    face.draws.clear();
    t->blit(0.5f, nullptr);
    ASSERT_EQ(face.draws.size(), 9u);
    EXPECT_EQ(face.draws[0].color[1], 0);  // outline first
    EXPECT_EQ(face.draws[8].color[1], 1);
    EXPECT_EQ(face.draws[8].color[3], 0.25f);
    float rgba[4];
    face.getColor(rgba);
    EXPECT_EQ(rgba[3], 1);  // reset after drawing
}

TEST_F(ZUITextTest, WithoutAFaceTheTextIsKeptAndNothingDrawn) {
    ZUIText* t = new ZUIText(root());
    std::vector<std::string> logged = loggedMessages([&] { t->setText("abc"); });
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("UI: ZUIText::setText() called without a font set"),
              std::string::npos);
    t->blit(1, nullptr);
    // Single bytes read later as 32-bit units still end inside the buffer.
    face.encoding = 2;
    t->setTextFont(&face, -1);
    t->setSize(100, 100);
    face.draws.clear();
    t->blit(1, nullptr);
    EXPECT_LE(face.draws.size(), 1u);
}

TEST_F(ZUITextTest, ATemplateGivesItsLookAndText) {
    ZUIText* a = text(100, 40);
    a->setText("hello");
    a->setTextKerning(2);
    a->setTextVertSpacing(5);
    ZUIText* b = new ZUIText(root());
    b->copyFromTemplate(a);
    EXPECT_STREQ(b->getText(), "hello");
    EXPECT_EQ(b->getTextFont(), &face);
    EXPECT_EQ(b->getTextKerning(), 2);
    EXPECT_EQ(b->getTextVertSpacing(), 5);
    EXPECT_EQ(ZUIText::isText(b), b);
    EXPECT_EQ(ZUIText::isText(root()), nullptr);
}

}  // namespace
