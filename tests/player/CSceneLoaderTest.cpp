#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "CScene.h"
#include "CSceneLoader.h"
#include "LoggedMessages.h"
#include "TempDir.h"
#include "ZIniReader.h"
#include "ZMiscTools.h"

namespace {

// Writes scene and brush files where the loader looks for them (beside the test program) and
// removes them again.
class SceneFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ZMiscTools::initMiscTools();
        std::string root = ZMiscTools::getGameFolder();
        ZMiscTools::createDirectory((root + "/data").c_str());
        ZMiscTools::createDirectory((root + "/data/scenes").c_str());
        ZMiscTools::createDirectory((root + "/data/brushes").c_str());
    }
    void TearDown() override {
        for (const std::string& path : m_written) ZMiscTools::removeFile(path.c_str());
    }

    void write(const std::string& relative, const std::string& text) {
        std::string path = std::string(ZMiscTools::getGameFolder()) + "/" + relative;
        writeFile(path, text);
        m_written.push_back(path);
    }
    // A scene of this test's own name whose brush file has that name too unless the text names
    // another.
    bool load(CScene& scene, const std::string& sceneText, const std::string& brushText) {
        write("data/scenes/" + m_name + ".ini", sceneText);
        write("data/brushes/" + m_name + ".ini", brushText);
        snprintf(scene.name, sizeof(scene.name), "%s", m_name.c_str());
        return m_loader.loadSceneDefinition(&scene);
    }
    std::string sceneHead() const { return "[scene]\nbrushes=" + m_name + "\n"; }

    // Tests run at once in processes of their own: each writes files of its own name.
    const std::string m_name = "loadertest" + std::to_string(getpid());
    CSceneLoader m_loader;
    std::vector<std::string> m_written;
};

TEST_F(SceneFiles, SceneSectionDefaultsAndValues) {
    CScene plain;
    ASSERT_TRUE(load(plain, sceneHead(), "[brush1]\nid=1\n"));
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.width, 1024);
    EXPECT_EQ(plain.height, 768);
    EXPECT_EQ(plain.flags, 0u);
    EXPECT_EQ(plain.first16BitAtlas, -1);
    EXPECT_FALSE(plain.streamBackground);
    EXPECT_STREQ(plain.defaultMusic, "");
    EXPECT_STREQ(plain.baseName, m_name.c_str());
    EXPECT_EQ(plain.layer, -1);

    CScene set;
    ASSERT_TRUE(load(set,
                     sceneHead() + "width=1600\nheight=900.7\nflags=A0\nfirst16bppatlas=1\n"
                                   "streambackground=2\ndefaultmusic=music/one.ogg\n",
                     "[brush1]\nid=1\n"));
    EXPECT_EQ(set.width, 1600);
    EXPECT_EQ(set.height, 900);
    EXPECT_EQ(set.flags, 0xa0u);
    EXPECT_EQ(set.first16BitAtlas, 0);
    EXPECT_TRUE(set.streamBackground);
    EXPECT_STREQ(set.defaultMusic, "music/one.ogg");

    // A scene already read is left as it is.
    EXPECT_TRUE(m_loader.loadSceneDefinition(&set));
    EXPECT_TRUE(m_loader.loadSceneDefinition(nullptr));
}

TEST_F(SceneFiles, MissingFilesFailWithTheirPathNamed) {
    CScene scene;
    snprintf(scene.name, sizeof(scene.name), "no_such_scene");
    std::vector<std::string> lines =
        loggedMessages([&] { EXPECT_FALSE(m_loader.loadSceneDefinition(&scene)); });
    EXPECT_NE(strstr(m_loader.getFailedFile(), "data/scenes/no_such_scene.ini"), nullptr);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("no_such_scene.ini"), std::string::npos);
    EXPECT_EQ(scene.status, 0);

    CScene noBrushes;
    write("data/scenes/" + m_name + ".ini", "[scene]\nbrushes=NoSuchBrushes\n");
    snprintf(noBrushes.name, sizeof(noBrushes.name), "LoaderTest%d", static_cast<int>(getpid()));
    EXPECT_FALSE(m_loader.loadSceneDefinition(&noBrushes));
    EXPECT_NE(strstr(m_loader.getFailedFile(), "data/brushes/nosuchbrushes.ini"), nullptr);
    EXPECT_EQ(noBrushes.brushCount, 0);
}

TEST_F(SceneFiles, BrushTableTakesTheBrushFileFirstAndStopsAtABadId) {
    struct Case {
        const char* what;
        std::string scene;
        std::string brushes;
        std::vector<unsigned long> ids;
    };
    const Case cases[] = {
        {"three shared, none of its own",
         sceneHead(),
         "[brush1]\nid=10\n[brush2]\nid=11\n[brush3]\nid=12\n",
         {0x10, 0x11, 0x12}},
        {"own brushes after the shared ones",
         sceneHead() + "[brush1]\nid=20\n[brush2]\nid=21\n",
         "[brush1]\nid=10\n",
         {0x10, 0x20, 0x21}},
        {"a gap ends the list", sceneHead(), "[brush1]\nid=10\n[brush3]\nid=12\n", {0x10}},
        {"an empty id ends the list", sceneHead(), "[brush1]\nid=10\n[brush2]\nid=\n", {0x10}},
        {"id 0 in the middle stops that file only",
         sceneHead() + "[brush1]\nid=20\n",
         "[brush1]\nid=10\n[brush2]\nid=0\n[brush3]\nid=12\n",
         {0x10, 0x20}},
        {"a word that is not hex", sceneHead(), "[brush1]\nid=zz\n[brush2]\nid=12\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CScene scene;
        ASSERT_TRUE(load(scene, c.scene, c.brushes));
        ASSERT_EQ(scene.brushCount, static_cast<long>(c.ids.size()));
        for (size_t i = 0; i < c.ids.size(); i++) EXPECT_EQ(scene.brushes[i].id, c.ids[i]);
    }
}

TEST_F(SceneFiles, BrushFieldsDefaultsWordsAndClamps) {
    struct Case {
        const char* what;
        std::string keys;
        void (*check)(const _CBrush&);
    };
    const Case cases[] = {
        {"defaults", "",
         [](const _CBrush& b) {
             EXPECT_EQ(b.frameCount, 1);
             EXPECT_EQ(b.mode, 0);
             EXPECT_EQ(b.srcAlphaOp, eTazelAlphaOpSrcAlpha);
             EXPECT_EQ(b.dstAlphaOp, eTazelAlphaOpOneMinusSrcAlpha);
             EXPECT_TRUE(b.loopVideo);
             EXPECT_EQ(b.stretchX1, -1);
             EXPECT_EQ(b.stretchY2, -1);
             EXPECT_EQ(b.emitterPeriod, 50);
             EXPECT_EQ(b.emitterSpeedMul, 1.0f);
             EXPECT_EQ(b.emitMaxRadius2, 30);
             EXPECT_EQ(b.videoStartTime, -1);
             EXPECT_EQ(b.shapes[0][0].kind, 0);
         }},
        {"blend words without case", "srcalphaop=ONE\ndstalphaop=not_a_factor\n",
         [](const _CBrush& b) {
             EXPECT_EQ(b.srcAlphaOp, eTazelAlphaOpOne);
             EXPECT_EQ(b.dstAlphaOp, eTazelAlphaOpOneMinusSrcAlpha);
         }},
        {"tile brush of three frames gets rectangle slots", "frames=3\nmode=Tile\n",
         [](const _CBrush& b) {
             EXPECT_EQ(b.mode, 2);
             ASSERT_EQ(b.frameCount, 3);
             for (long f = 0; f < 3; f++)
                 for (const CCollisionShape& c : b.shapes[f]) {
                     EXPECT_EQ(c.kind, 1);
                     EXPECT_EQ(c.rectX1, 0);
                     EXPECT_EQ(c.rectY1, 0);
                     EXPECT_EQ(c.rectX2, -1);
                     EXPECT_EQ(c.rectY2, -1);
                     EXPECT_EQ(c.ringOuterRadius, -2);
                 }
         }},
        {"a negative font height is 0 and the baseline follows it", "fontheight=-4\n",
         [](const _CBrush& b) {
             EXPECT_EQ(b.fontHeight, 0);
             EXPECT_EQ(b.fontBaseline, 0);
         }},
        {"frame counts below 1 and above the cap are clamped", "frames=0\nanimrate=12\n",
         [](const _CBrush& b) {
             EXPECT_EQ(b.frameCount, 1);
             EXPECT_EQ(b.animRate, 0);
         }},
        {"a huge frame count", "frames=99999999999\n",
         [](const _CBrush& b) { EXPECT_EQ(b.frameCount, CSceneLoader::kMaxFrames); }},
        {"polygon of more than 12 points keeps 12",
         "frame1collision1=POLY\nframe1col1polypoints=40\nframe1col1polyx12=7.5\n"
         "frame1col1polypoints2=-3\n",
         [](const _CBrush& b) {
             EXPECT_EQ(b.shapes[0][0].kind, 4);
             EXPECT_EQ(b.shapes[0][0].polyPointCount, 12);
             EXPECT_EQ(b.shapes[0][0].polyPoints[11].x, 7.5f);
         }},
        {"shape parents are found among the frame's slots",
         "col1id=5\ncol2id=6\ncol2parent=5\ncol3parent=77\nframe1collision2=circle\n"
         "frame1collision3=ring\nframe1col2circleradius=3.5\n",
         [](const _CBrush& b) {
             EXPECT_EQ(b.shapes[0][1].kind, 2);
             EXPECT_EQ(b.shapes[0][1].parentSlot, 0);
             EXPECT_EQ(b.shapes[0][1].circleRadius, 3.5f);
             EXPECT_EQ(b.shapes[0][2].parentSlot, -1);
         }},
        {"emitter behaviour in file order",
         "particles=20\nblend4=0.5\nscaleaccel=2\n"
         "colormaxalpha=0.25\nparticleemittershape=9\n",
         [](const _CBrush& b) {
             EXPECT_EQ(b.particleCount, 20);
             EXPECT_EQ(b.behavior.blend[4], 0.5f);
             EXPECT_EQ(b.behavior.scaleAccel, 2);
             EXPECT_EQ(b.behavior.angleAccel, 0);
             EXPECT_EQ(b.behavior.colorMax[3], 0.25f);
             EXPECT_EQ(b.emissionShape, 2);
         }},
        {"long names are cut to 98 characters", "name=" + std::string(150, 'n') + "\n",
         [](const _CBrush& b) { EXPECT_EQ(strlen(b.name), 98u); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZIniReader reader;
        std::string text = "[brush1]\nid=1\n" + c.keys;
        reader.setIni(text.data(), static_cast<long>(text.size()), nullptr, 0);
        _CBrush brush{};
        ASSERT_TRUE(m_loader.loadBrush(reader, 1, brush));
        c.check(brush);
        brush.release();
    }
}

TEST_F(SceneFiles, SpritesKeysAndTheirDefaults) {
    std::string scene = sceneHead() +
                        "[sprite1]\nbrush=1\nid=100\nname=Back\nkeys=0\ntexthflowmode=Center\n"
                        "[sprite2]\nbrush=2\nid=101\nparent=100\nkeys=2\nanchorpathtype=BEZIER\n"
                        "key1anchorx=0\nkey1ctrl1x=10\nkey1ctrl2x=20\nkey2anchorx=30\n"
                        "key1color=80FF0000\nkey2actiontype=3\nkey2actionparam=go\n"
                        "[sprite3]\nbrush=99\nid=102\nparent=555\nkeys=-7\n"
                        "[sprite5]\nbrush=1\nid=104\n";
    CScene s;
    ASSERT_TRUE(load(s, scene, "[brush1]\nid=1\n[brush2]\nid=2\nframes=2\n"));
    ASSERT_EQ(s.sprites.count, 3);

    CSprite* back = s.findSprite(0x100);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->name, "Back");
    EXPECT_EQ(back->keyCount, 1);
    EXPECT_EQ(back->loadedKeyCount, 1);
    EXPECT_EQ(back->textFlow, 2);
    EXPECT_EQ(back->textVAlign, 2);
    const CSpriteKey& k = back->keys[0];
    EXPECT_EQ(k.scaleX, 1.0f);
    EXPECT_EQ(k.lightness, 1.0f);
    EXPECT_EQ(k.startBrushFrame, -1);
    EXPECT_EQ(k.brushAnimRate, -1);
    EXPECT_TRUE(k.emitParticles);
    EXPECT_TRUE(k.clickable);
    EXPECT_EQ(k.r + k.g + k.b + k.a, 0);
    EXPECT_EQ(k.ctrl1.x, -10);
    EXPECT_EQ(k.ctrl2.y, 10);
    EXPECT_STREQ(back->userEventNames[15], "");

    CSprite* moving = s.findSprite(0x101);
    ASSERT_NE(moving, nullptr);
    EXPECT_EQ(moving->parent, back);
    EXPECT_EQ(back->firstChild, moving);
    EXPECT_EQ(moving->brushIndex, 1);
    ASSERT_NE(moving->atlasIndexes, nullptr);
    EXPECT_EQ(moving->atlasIndexes[1], -1);
    EXPECT_EQ(moving->anchorPathType, 1);
    EXPECT_EQ(moving->anchorPath.getSegmentCount(), 1);
    EXPECT_NEAR(moving->pathLength, 30, 0.01);
    EXPECT_NEAR(moving->keys[0].a, 128 / 255.0f, 1e-6);
    EXPECT_EQ(moving->keys[0].r, 1.0f);
    ASSERT_NE(moving->loadedKeys[1].actionParam[0], nullptr);
    EXPECT_STREQ(moving->loadedKeys[1].actionParam[0], "go");
    EXPECT_NE(moving->loadedKeys[1].actionParam[0], moving->keys[1].actionParam[0]);
    EXPECT_EQ(moving->keys[0].actionParam[0], nullptr);

    CSprite* orphan = s.findSprite(0x102);
    ASSERT_NE(orphan, nullptr);
    EXPECT_EQ(orphan->brushIndex, -1);
    EXPECT_EQ(orphan->atlasIndexes, nullptr);
    EXPECT_EQ(orphan->parent, nullptr);
    EXPECT_EQ(orphan->keyCount, 1);
    EXPECT_EQ(s.findSprite(0x104), nullptr);
}

TEST_F(SceneFiles, AtlasNumbersAndParentLoops) {
    std::string scene = sceneHead() +
                        "[sprite1]\nbrush=1\nid=1\nparent=2\natlas1index=3\natlas2index=-4\n"
                        "atlas1srcx2=64\natlas1offsy=5\n"
                        "[sprite2]\nbrush=1\nid=2\nparent=1\natlas1index=999999\n"
                        "[sprite3]\nbrush=1\nid=3\nparent=3\n";
    CScene s;
    ASSERT_TRUE(load(s, scene, "[brush1]\nid=1\nframes=2\n"));
    CSprite* one = s.findSprite(1);
    CSprite* two = s.findSprite(2);
    CSprite* three = s.findSprite(3);
    ASSERT_TRUE(one && two && three);
    EXPECT_EQ(s.atlasCount, 3);
    EXPECT_EQ(one->atlasIndexes[0], 2);
    EXPECT_EQ(one->atlasIndexes[1], -1);
    EXPECT_EQ(one->atlasRegions[0].x2, 64);
    EXPECT_EQ(one->atlasOffsets[0].y, 5);
    EXPECT_EQ(two->atlasIndexes[0], -1);
    // The first link stands; the one that would close the loop is refused.
    EXPECT_EQ(one->parent, two);
    EXPECT_EQ(two->parent, nullptr);
    EXPECT_EQ(three->parent, nullptr);
}

TEST_F(SceneFiles, VideoBrushKeepsTheEarliestFirstKey) {
    std::string scene = sceneHead() +
                        "[sprite1]\nbrush=7\nkey1time=500\n"
                        "[sprite2]\nbrush=7\nkey1time=200\n"
                        "[sprite3]\nbrush=7\nkey1time=900\n";
    CScene s;
    ASSERT_TRUE(load(s, scene, "[brush1]\nid=7\nvideo=1\n"));
    EXPECT_EQ(s.brushes[0].videoStartTime, 200);
}

}  // namespace
