// A restored saved game puts every scene back in the layer the save names, scenes that changed
// layers included, and starts the restored particles, texts and videos unseen until their next
// update.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "../text/TestBitmapFont.h"
#include "CUIEmitter.h"
#include "PlayerFixture.h"
#include "TempDir.h"
#include "ZImage.h"
#include "ZUIImage.h"
#include "ZUIRichText.h"

namespace {

const char* const kBrushes =
    "[brush1]\nid=1\nname=background\nmode=stretched\n"
    "[brush2]\nid=2\nname=plate\ntexsrcx2=40\ntexsrcy2=40\n"
    "[brush3]\nid=3\nname=letters\nfontheight=16\n"
    "[brush4]\nid=4\nname=sparks\ntexsrcx2=8\ntexsrcy2=8\nparticles=4\n";

std::string sprite(long n, unsigned long brush, unsigned long id, const char* name) {
    char text[300];
    snprintf(text, sizeof(text),
             "[sprite%ld]\nbrush=%lx\nid=%lx\nname=%s\nkey1anchorx=100\nkey1anchory=100\n"
             "key1rectx2=200\nkey1recty2=20\nkey1color=FFFFFFFF\n",
             n, brush, id, name);
    return text;
}

typedef std::vector<std::string> Layers;

class RestoreTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        add("data/brushes/objects.ini", kBrushes);
        add("data/graphics/font_3.tbl", testfont::table(3));
        add("data/graphics/font_3_1.jem", testfont::pageBytes(0, ZImageFormatJem));
        add("data/graphics/font_3_2.jem", testfont::pageBytes(1, ZImageFormatJem));
        addScene("meadow", sprite(1, 2, 1, "hero") + sprite(2, 2, 2, "tree"));
        addScene("hud", sprite(1, 2, 1, "coins"));
        addScene("cave", sprite(1, 2, 5, "bat"));
        addScene("show",
                 sprite(1, 2, 1, "plate") + sprite(2, 3, 2, "title") + sprite(3, 4, 3, "sparks"));
        mount();
        path = dir.file("game02.sav");
    }
    void addScene(const std::string& name, const std::string& sprites) {
        add("data/scenes/" + name + ".ini", "[scene]\nwidth=768\nheight=1024\n" + sprites);
        addPicture("data/graphics/scene_" + name + "_background.jpg", 32, 32, 0xFF204060);
        addPicture("data/graphics/scene_" + name + "_atlas1.bmp", 64, 64, 0xFFFF8000);
    }
    // A fresh player with the scenes of the layers inserted, layer 0 first.
    void playLayers(const Layers& layers) {
        delete player;
        // The player's end took the tree with it.
        ZUIElement::initialize(&window);
        player = new TestPlayer(playerWindow());
        for (size_t layer = 0; layer < layers.size(); layer++)
            if (!layers[layer].empty()) {
                ASSERT_NE(play(layers[layer].c_str(), static_cast<long>(layer)), nullptr);
            }
    }
    CSprite* spriteOf(CScene* scene, const char* name) {
        for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s))
            if (strcmp(s->name, name) == 0) return s;
        return nullptr;
    }

    static long rootIndex(ZUIElement* element) {
        long index = 0;
        for (ZUIElement* e = ZUIElement::getRootElement()->getFirstChildElement(); e;
             e = e->getNextSiblingElement(), index++)
            if (e == element) return index;
        return -1;
    }

    TempDir dir;
    std::string path;
};

TEST_F(RestoreTest, EveryScenesComesBackInTheLayerTheSaveNames) {
    struct Case {
        const char* what;
        Layers saved, before;
    };
    const Case cases[] = {
        {"unchanged", {"meadow", "hud"}, {"meadow", "hud"}},
        {"two scenes swap layers", {"hud", "meadow"}, {"meadow", "hud"}},
        {"a scene moves up, another takes its place", {"cave", "meadow"}, {"meadow"}},
        {"a scene moves up into a free layer", {"meadow", "", "hud"}, {"meadow", "hud"}},
        {"three scenes turn round", {"cave", "meadow", "hud"}, {"meadow", "hud", "cave"}},
        {"a scene moves down, its old layer freed", {"hud"}, {"meadow", "hud"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        playLayers(c.saved);
        player->saveGameStateTo(path.c_str());
        playLayers(c.before);
        ASSERT_TRUE(player->restoreGameStateFrom(path.c_str()));

        long expected = 0, lastIndex = -1;
        for (long layer = 0; layer < CPlayer::kSceneSlots; layer++) {
            SCOPED_TRACE(layer);
            const std::string name =
                layer < static_cast<long>(c.saved.size()) ? c.saved[layer] : "";
            CScene* scene = player->getSceneByLayer(layer);
            if (name.empty()) {
                EXPECT_EQ(scene, nullptr);
                continue;
            }
            expected++;
            ASSERT_NE(scene, nullptr);
            EXPECT_EQ(std::string(scene->name), name);
            EXPECT_EQ(scene->status.load(), 4);
            ASSERT_NE(scene->container, nullptr);
            EXPECT_EQ(scene->container->getParentElement(), ZUIElement::getRootElement());
            // Containers stand in the order of their layers.
            long index = rootIndex(scene->container);
            EXPECT_GT(index, lastIndex);
            lastIndex = index;
            for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s)) {
                ASSERT_NE(s->element, nullptr) << s->name;
                EXPECT_EQ(s->element->getParentElement(), scene->container) << s->name;
                EXPECT_NE(s->state, nullptr) << s->name;
            }
        }
        EXPECT_EQ(player->getInsertedScenes().count, expected);
        frames(2);
        EXPECT_EQ(player->getInsertedScenes().count, expected);
    }
}

TEST_F(RestoreTest, RestoredParticlesAndTextsStartUnseenUntilTheirNextUpdate) {
    playLayers({"show"});
    player->saveGameStateTo(path.c_str());
    ASSERT_TRUE(player->restoreGameStateFrom(path.c_str()));
    CScene* scene = player->getSceneByLayer(0);
    ASSERT_NE(scene, nullptr);
    ZUIRichText* title = ZUIRichText::isRichText(spriteOf(scene, "title")->element);
    CUIEmitter* sparks = CUIEmitter::isUIEmitter(spriteOf(scene, "sparks")->element);
    ZUIImage* plate = spriteOf(scene, "plate")->image;
    ASSERT_TRUE(title && sparks && plate);

    auto textColor = [&] {
        std::vector<float> c(4);
        title->getTextMultiplierColor(c.data());
        return c;
    };
    auto imageColor = [](ZUIImage* image) {
        std::vector<float> c(4);
        image->getColor(c.data());
        return c;
    };
    const std::vector<float> unseen{1, 1, 1, 0};
    EXPECT_EQ(textColor(), unseen);
    EXPECT_EQ(imageColor(sparks), unseen);
    // Plain images keep their colours.
    EXPECT_EQ(imageColor(plate)[3], 1);

    frames(1);
    EXPECT_EQ(textColor()[3], 1);
    EXPECT_EQ(imageColor(sparks)[3], 1);

    // A refused file changes nothing.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "not a saved game";
    EXPECT_FALSE(player->restoreGameStateFrom(path.c_str()));
    EXPECT_EQ(textColor()[3], 1);
    EXPECT_EQ(imageColor(sparks)[3], 1);
}

}  // namespace
