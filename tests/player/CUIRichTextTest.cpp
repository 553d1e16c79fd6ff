#include <gtest/gtest.h>

#include <string>

#include "CUIRichText.h"
#include "PlayerFixture.h"
#include "ZMiscTools.h"

namespace {

// A text sprite over a scene that holds a font brush, a brush named like a font but without one,
// and a three-frame picture sprite named as an inline image.
class RichTextTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        add("data/brushes/objects.ini",
            "[brush1]\nid=3\nname=Letters\nfontheight=16\nfontbaseline=12\n"
            "[brush2]\nid=4\nname=plain\n"
            "[brush3]\nid=5\nname=stars\nframes=3\ntexsrcy1=4\ntexsrcy2=24\ntexpivoty=14\n");
        std::string star = "[sprite2]\nbrush=5\nid=7\nname=__TEXTTAG_STAR\nyflip=1\n";
        for (long f = 1; f <= 3; f++) {
            std::string n = std::to_string(f);
            star += "atlas" + n + "index=1\natlas" + n + "srcx1=" + std::to_string(f * 10) +
                    "\natlas" + n + "srcx2=" + std::to_string(f * 10 + 8) + "\natlas" + n +
                    "srcy2=8\n";
        }
        add("data/scenes/texts.ini",
            "[scene]\n[sprite1]\nbrush=3\nid=2a\nname=label\nkey1rectx2=200\nkey1recty2=40\n" +
                star);
        addPicture("data/graphics/scene_texts_atlas1.bmp", 64, 16, 0xFFFFFFFF);
        add("data/graphics/font_3.tbl", fontTable());
        addPicture("data/graphics/font_3_1.jem", 8, 8, 0xFFFFFFFF);
        add("data/game/english.txt",
            "SCENE_TEXTS_2A \"Hello <font face=\"\"letters\"\">there</font>\"\n");
        mount();
        char path[260];
        ASSERT_TRUE(player->readStringTable(
            ZMiscTools::makeFilePathInBuffer("data/game/english.txt", path, sizeof(path))));
        scene = play("texts");
        ASSERT_NE(scene, nullptr);
        text = dynamic_cast<CUIRichText*>(element("texts", "label"));
        ASSERT_NE(text, nullptr);
    }
    // A table of one page and one character.
    static std::string fontTable() { return "%ztext 3 1 1 8 0\n65 0 0 7 7 8 8 0 0 0\n"; }

    CScene* scene = nullptr;
    CUIRichText* text = nullptr;
};

TEST_F(RichTextTest, TheTextComesFromTheStringTableUnderTheSceneAndId) {
    EXPECT_STREQ(text->getText(), "Hello <font face=\"letters\">there</font>");
}

TEST_F(RichTextTest, FontTagsNameBrushesOfTheScene) {
    ZTextFace* face = nullptr;
    float height = 0, baseline = 0;
    ASSERT_TRUE(text->getFontFace("LETTERS", face, height, baseline));
    EXPECT_EQ(face, scene->brushes[0].font);
    EXPECT_EQ(height, 16);
    EXPECT_EQ(baseline, 12);
    // A brush of that name without a font leaves the element's own font.
    EXPECT_FALSE(text->getFontFace("plain", face, height, baseline));
    EXPECT_FALSE(text->getFontFace("", face, height, baseline));
    EXPECT_FALSE(text->getFontFace("nothing", face, height, baseline));
}

TEST_F(RichTextTest, ImageTagsDrawTheFrameOfTheirSpriteClampedToItsBrush) {
    struct Case {
        const char* tag;
        long frame;
        bool found;
        float x1;
    };
    const Case cases[] = {
        {"star", 0, true, 10},  {"STAR", 1, true, 20}, {"star", 7, true, 30},
        {"star", -3, true, 10}, {"moon", 0, false, 0}, {"", 0, false, 0},
    };
    for (const Case& c : cases) {
        ZGraphic* graphic = nullptr;
        float rect[4] = {};
        float baseline = 0;
        bool xflip = true, yflip = false;
        bool found = text->getImage(c.tag, c.frame, graphic, rect, baseline, xflip, yflip);
        EXPECT_EQ(found, c.found) << c.tag << " " << c.frame;
        if (!found) continue;
        EXPECT_EQ(graphic, scene->atlases[0]);
        EXPECT_EQ(rect[0], c.x1) << c.tag << " " << c.frame;
        EXPECT_EQ(rect[2], c.x1 + 8);
        EXPECT_EQ(baseline, 10);  // pivot 14 below a region starting at 4
        EXPECT_FALSE(xflip);
        EXPECT_TRUE(yflip);
    }
}

}  // namespace
