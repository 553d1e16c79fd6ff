#include <string>
#include <vector>

#include "../text/FixedAdvanceFace.h"
#include "LoggedMessages.h"
#include "RecordingGraphic.h"
#include "UITreeFixture.h"
#include "ZUIRichText.h"

// Rich-text markup parsed and laid out against faces of fixed advances.
namespace {

// Resolves the face "big" and the image "star".
class HookedRichText : public ZUIRichText {
public:
    using ZUIRichText::ZUIRichText;
    FixedAdvanceFace* big = nullptr;
    RecordingGraphic* star = nullptr;
    bool getFontFace(const char* name, ZTextFace*& face, float& height, float& baseline) override {
        if (std::string(name) != "big") return false;
        face = big;
        height = 30;
        baseline = 25;
        return true;
    }
    bool getImage(const char* name, long, ZGraphic*& graphic, float* rect, float& scale, bool&,
                  bool&) override {
        if (std::string(name) != "star") return false;
        graphic = star;
        rect[0] = rect[1] = 0;
        rect[2] = rect[3] = 8;
        scale = 1;
        return true;
    }
};

class ZUIRichTextTest : public UITreeFixture {
public:
    FixedAdvanceFace face, big{20, 30};
    RecordingGraphic star;
    HookedRichText* rich = nullptr;
    void SetUp() override {
        UITreeFixture::SetUp();
        rich = new HookedRichText(root());
        rich->big = &big;
        rich->star = &star;
        rich->setSize(300, 100);
        rich->setTextFont(&face, -1, -1);
    }
};

TEST_F(ZUIRichTextTest, PlainTextIsOneRun) {
    ASSERT_TRUE(rich->setText("hello"));
    EXPECT_EQ(rich->getNodeCount(), 1);
    EXPECT_EQ(rich->getTotalTextChars(), 5);
    EXPECT_EQ(rich->getCurrentTextWidth(), 50);
    EXPECT_STREQ(rich->getText(), "hello");
}

TEST_F(ZUIRichTextTest, NestedFontsInheritAndImagesTakeOneCharacter) {
    ASSERT_TRUE(rich->setText(
        "a<font face=\"big\" color=\"#ff0000\">b<font outline=\"#00ff00\">c</font></font>"
        "<img name=\"star\"/><img name=\"none\"/>d"));
    ASSERT_EQ(rich->getNodeCount(), 5);
    const ZTextFaceNode* n = rich->getNodes();
    EXPECT_EQ(n[0].face, &face);
    EXPECT_EQ(n[1].face, &big);
    EXPECT_EQ(n[1].height, 30);
    EXPECT_EQ(n[1].params[0].color[1], 0);  // red text
    EXPECT_EQ(n[2].face, &big);             // inherited
    EXPECT_EQ(n[2].params[0].color[1], 0);
    EXPECT_EQ(n[2].params[1].color[0], 0);  // green outline
    EXPECT_EQ(n[3].graphic, &star);
    EXPECT_EQ(rich->getTotalTextChars(), 5);
    EXPECT_EQ(rich->getCurrentTextWidth(), 10 + 20 + 20 + 8 + 10);
}

TEST_F(ZUIRichTextTest, AFontTheHookDoesNotFindStillColours) {
    ASSERT_TRUE(rich->setText("<FONT face=\"missing\" color=\"#0000ff\">x</FONT>"));
    ASSERT_EQ(rich->getNodeCount(), 1);
    EXPECT_EQ(rich->getNodes()[0].face, &face);
    EXPECT_EQ(rich->getNodes()[0].params[0].color[0], 0);
}

TEST_F(ZUIRichTextTest, MalformedMarkupFailsAndKeepsTheLayout) {
    ASSERT_TRUE(rich->setText("ok"));
    const char* bad[] = {"<font>open", "a</font>", "<img name=\"star\"",
                         "<font color=\"#fff\">a</img>"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        std::vector<std::string> logged;
        bool parsed = true;
        logged = loggedMessages([&] { parsed = rich->setText(text); });
        EXPECT_FALSE(parsed);
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_NE(logged[0].find("UI: error parsing text in ZUIRichText::setText(): "),
                  std::string::npos);
        EXPECT_EQ(rich->getNodeCount(), 1);
        EXPECT_EQ(rich->getTotalTextChars(), 2);
    }
}

TEST_F(ZUIRichTextTest, WhiteSpaceIsKeptAndTheReadersSwitchRestored) {
    TiXmlBase::SetCondenseWhiteSpace(true);
    ASSERT_TRUE(rich->setText("a  <font color=\"#fff\">  b</font>"));
    EXPECT_TRUE(TiXmlBase::IsWhiteSpaceCondensed());
    ASSERT_EQ(rich->getNodeCount(), 2);
    EXPECT_STREQ(rich->getNodes()[0].text, "a  ");
    EXPECT_STREQ(rich->getNodes()[1].text, "  b");
    TiXmlBase::SetCondenseWhiteSpace(false);
    ASSERT_TRUE(rich->setText("x"));
    EXPECT_FALSE(TiXmlBase::IsWhiteSpaceCondensed());
}

TEST_F(ZUIRichTextTest, TheMeasuredHeightTakesTheSpacingFromLevelOne) {
    rich->setSize(30, 100);
    ASSERT_TRUE(rich->setText("aa bb cc"));
    float level0 = rich->getCurrentTextHeight();
    rich->setTextVertSpacing(10);
    EXPECT_EQ(rich->getCurrentTextHeight(), level0);
    rich->setCompatibilityLevel(1);
    ASSERT_TRUE(rich->setText("aa bb cc"));
    EXPECT_GT(rich->getCurrentTextHeight(), level0);
}

TEST_F(ZUIRichTextTest, DrawingHonoursTheCharacterLimitAndTheOutline) {
    ASSERT_TRUE(rich->setText("hello"));
    rich->setMaxTextChars(3);
    face.draws.clear();
    rich->blit(1, nullptr);
    std::string drawn;
    for (const FixedAdvanceFace::Draw& d : face.draws)
        for (unsigned long c : d.text) drawn += static_cast<char>(c);
    EXPECT_EQ(drawn, "hel");
    rich->setMaxTextChars(-1);
    rich->setTextOutlineThickness(1);
    face.draws.clear();
    rich->blit(1, nullptr);
    EXPECT_EQ(face.draws.size(), 9u);
}

TEST_F(ZUIRichTextTest, WithoutAFaceNothingIsLaidOut) {
    ZUIRichText* bare = new ZUIRichText(root());
    std::vector<std::string> logged = loggedMessages([&] { bare->setText("abc"); });
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("called without a font set"), std::string::npos);
    EXPECT_EQ(bare->getNodeCount(), 0);
    bare->blit(1, nullptr);
    bare->setFlags(ZUIRichText::kFlagShaders);  // no glyph shader without a renderer
    EXPECT_EQ(bare->getFlags(), 0);
    EXPECT_EQ(ZUIRichText::isRichText(bare), bare);
}

}  // namespace
