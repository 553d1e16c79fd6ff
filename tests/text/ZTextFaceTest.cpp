#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "FixedAdvanceFace.h"
#include "ZTextFace.h"
#include "ZTextFaceNode.h"

// What the text-face base holds for every face: colour strings, class tags, the baseline, the
// runs of rich text and the drawing of numbers.
namespace {

TEST(ZTextFaceTest, ParsesColourStrings) {
    struct Case {
        const char* text;
        float r, g, b, a;  // channel bytes
    };
    const Case cases[] = {
        {"#f00", 240, 0, 0, 255},        // a short digit fills the high nibble only
        {"fff", 240, 240, 240, 255},     //
        {"8f00", 240, 0, 0, 128},        // ARGB
        {"80ff0000", 255, 0, 0, 128},    // AARRGGBB
        {"  ##00ff00", 0, 255, 0, 255},  // blanks and several "#"
        {"\t#0000FF", 0, 0, 255, 255},   // a tab, upper case
        {"12345", 0x01, 0x23, 0x45, 255},
        {"1a2b3c4d5e", 0x3C, 0x4D, 0x5E, 0x2B},  // past eight digits the first fall off
        {"", 0, 0, 0, 255},                      // no digits: opaque black
        {"#", 0, 0, 0, 255},
        {"zz", 0, 0, 0, 255},
        {"ff0000 trailing", 255, 0, 0, 255},
    };
    for (const Case& c : cases) {
        float rgba[4] = {-1, -1, -1, -1};
        ZTextFace::parseColor(c.text, rgba);
        EXPECT_FLOAT_EQ(rgba[0], c.r / 255.0f) << '"' << c.text << '"';
        EXPECT_FLOAT_EQ(rgba[1], c.g / 255.0f) << '"' << c.text << '"';
        EXPECT_FLOAT_EQ(rgba[2], c.b / 255.0f) << '"' << c.text << '"';
        EXPECT_FLOAT_EQ(rgba[3], c.a / 255.0f) << '"' << c.text << '"';
    }
    float rgba[4] = {0, 0, 0, 0};
    ZTextFace::parseColor(nullptr, rgba);
    for (float channel : rgba) EXPECT_EQ(channel, 1.0f);
}

TEST(ZTextFaceTest, KeepsUpToFourClassTagsNewestFirst) {
    FixedAdvanceFace face;
    EXPECT_STREQ(face.getClassName(0), "FixedAdvanceFace");
    EXPECT_EQ(face.getClassName(1), nullptr);
    EXPECT_EQ(face.getClassName(-1), nullptr);

    std::string longName(40, 'x');
    face.addClass("Second");
    face.addClass(longName.c_str());
    face.addClass("Fourth");
    face.addClass("Fifth");
    EXPECT_STREQ(face.getClassName(0), "Fourth");
    EXPECT_EQ(std::string(face.getClassName(1)), std::string(31, 'x'));
    EXPECT_STREQ(face.getClassName(3), "FixedAdvanceFace");
    EXPECT_EQ(face.getClassName(4), nullptr);
    EXPECT_TRUE(face.isOfClass("Second"));
    EXPECT_FALSE(face.isOfClass("Fifth"));
    EXPECT_FALSE(face.isOfClass("second"));
    EXPECT_FALSE(face.isOfClass(nullptr));
}

TEST(ZTextFaceTest, BaselineIsTheLineHeightUntilSet) {
    FixedAdvanceFace face(10, 24);
    EXPECT_EQ(face.getBaseline(), 24.0f);
    face.setBaseline(18);
    EXPECT_EQ(face.getBaseline(), 18.0f);
    face.setBaseline(0);
    EXPECT_EQ(face.getBaseline(), 0.0f);
    face.setBaseline(-1);
    EXPECT_EQ(face.getBaseline(), 24.0f);
}

TEST(ZTextFaceTest, RunsTakeTheirFaceOrGraphic) {
    FixedAdvanceFace face(10, 24);
    face.encoding = 3;
    face.setBaseline(19);

    ZTextFaceNode node;
    EXPECT_EQ(node.face, nullptr);
    EXPECT_EQ(node.params[0].operation, 0);
    EXPECT_EQ(node.params[1].operation, 0);
    EXPECT_EQ(node.defaultColor[0], 1.0f);
    EXPECT_EQ(node.firstIndex, 0);
    EXPECT_EQ(node.endIndex, 0);

    node.setFont(&face, -1, -1);
    EXPECT_EQ(node.height, 24.0f);
    EXPECT_EQ(node.baseline, 19.0f);
    EXPECT_EQ(node.encoding, 3);
    node.setFont(&face, 30, 25);
    EXPECT_EQ(node.height, 30.0f);
    EXPECT_EQ(node.baseline, 25.0f);

    node.setText("abc", -1);
    EXPECT_EQ(node.encoding, 3);
    node.setText("abc", 1);
    EXPECT_EQ(node.encoding, 1);

    ZGraphic* someGraphic = reinterpret_cast<ZGraphic*>(&face);  // only stored, never used
    node.setGraphic(someGraphic, 4, 6, 20, 30, true, false, -1);
    EXPECT_EQ(node.face, nullptr);
    EXPECT_STREQ(node.text, "*");
    EXPECT_EQ(node.height, 24.0f);
    EXPECT_EQ(node.baseline, 24.0f);
    EXPECT_TRUE(node.flipX);
    EXPECT_FALSE(node.flipY);
    node.setGraphic(someGraphic, 0, 0, 8, 8, false, true, 5);
    EXPECT_EQ(node.baseline, 5.0f);

    node.setFont(nullptr, 10, 10);
    EXPECT_EQ(node.face, nullptr);
    EXPECT_EQ(node.graphic, nullptr);
    EXPECT_EQ(node.height, 0.0f);
    EXPECT_EQ(node.encoding, 0);
}

TEST(ZTextFaceTest, RunsHoldTwoColourSets) {
    ZTextFaceNode node;
    node.setColor(ZTextFaceNodeParamSet1, 0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(node.params[1].operation, 1);
    EXPECT_EQ(node.params[1].color[2], 0.3f);
    EXPECT_EQ(node.params[0].operation, 0);

    node.setColorAsText(ZTextFaceNodeParamSet0, "#80ff0000");
    EXPECT_EQ(node.params[0].operation, 1);
    EXPECT_FLOAT_EQ(node.params[0].color[0], 1.0f);
    EXPECT_FLOAT_EQ(node.params[0].color[3], 128 / 255.0f);

    node.setNoOp(ZTextFaceNodeParamSet1);
    EXPECT_EQ(node.params[1].operation, 0);

    // Other set numbers are ignored.
    ZTextFaceNode before = node;
    node.setColor(static_cast<ZTextFaceNodeParamSet>(2), 0, 0, 0, 0);
    node.setColorAsText(static_cast<ZTextFaceNodeParamSet>(-1), "000");
    node.setNoOp(static_cast<ZTextFaceNodeParamSet>(7));
    for (int set = 0; set < 2; set++) {
        EXPECT_EQ(node.params[set].operation, before.params[set].operation);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(node.params[set].color[i], before.params[set].color[i]);
    }
}

// Every long, the longest included, is drawn whole, in the face's own encoding, by the text
// form with the face's encoding.
TEST(ZTextFaceTest, DrawsNumbersAsTheirWholeDecimalText) {
    struct Case {
        long number;
        const char* text;
    };
    const Case cases[] = {{0, "0"},
                          {-42, "-42"},
                          {LONG_MAX, "9223372036854775807"},
                          {LONG_MIN, "-9223372036854775808"}};
    for (long encoding = 0; encoding <= 5; encoding++) {
        for (const Case& c : cases) {
            FixedAdvanceFace face;
            face.encoding = encoding;
            face.drawStringFromLeft(c.number, 5, 6, 1.5f);
            face.drawStringFromRight(c.number, 5, 6, 0);
            face.drawStringCentered(c.number, 0, 100, 6, 0);
            face.drawStringFromLeftF(c.number, 5, 6, 0, 2);
            face.drawStringFromRightF(c.number, 5, 6, 0);
            face.drawStringCenteredF(c.number, 0, 100, 6, 0);
            ASSERT_EQ(face.draws.size(), 6u);
            const char* kinds[] = {"left", "right", "centred", "leftF", "rightF", "centredF"};
            for (size_t i = 0; i < face.draws.size(); i++) {
                EXPECT_EQ(face.draws[i].kind, kinds[i]);
                EXPECT_EQ(FixedAdvanceFace::utf8(face.draws[i].text), c.text)
                    << "encoding " << encoding << ", " << kinds[i];
            }
            EXPECT_EQ(face.draws[0].x, 5.0f);
            EXPECT_EQ(face.draws[0].kerning, 1.5f);
        }
    }
}

// Without the OpenGL renderer there are no shaders and no batch, and the shaders are not
// tried again.
TEST(ZTextFaceTest, HasNoShadersOrBatchWithoutTheOpenGLRenderer) {
    EXPECT_EQ(ZTextFace::getGlyphPixelShader(), nullptr);
    EXPECT_EQ(ZTextFace::getOutlinePixelShader(), nullptr);
    EXPECT_TRUE(ZTextFace::g_bShadersChecked);
    ZTextFace::cleanup();
    EXPECT_EQ(ZTextFace::getGlyphPixelShader(), nullptr);
    EXPECT_EQ(ZTextFace::createTextBatch(), nullptr);
    EXPECT_EQ(ZTextFace::g_lpTextBatch, nullptr);
}

}  // namespace
