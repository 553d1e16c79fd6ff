#include <string>
#include <vector>

#include "RecordingGraphic.h"
#include "UITreeFixture.h"
#include "ZUIImage.h"

// The image element on the recording renderer: its frame and visual tables, the frame
// animation, the hit mask and the geometry of every drawing mode.
namespace {

// Counts the hooks the animation calls.
class HookedImage : public ZUIImage {
public:
    using ZUIImage::ZUIImage;
    std::vector<std::string> hooks;
    void onAnimEnded(long v) override { hooks.push_back("ended " + std::to_string(v)); }
    void onFrameReached(long v) override { hooks.push_back("reached " + std::to_string(v)); }
};

class ZUIImageTest : public UITreeFixture {
public:
    std::vector<std::string> imageMessages;
    RecordingGraphic graphic;

    void SetUp() override {
        UITreeFixture::SetUp();
        graphic.width = 256;
        graphic.height = 256;
        onMessage = [this](ZUIMessage* m) {
            if (m->type == ZUIImage::kMsgAnimEnded || m->type == ZUIImage::kMsgFrameReached)
                imageMessages.push_back(std::to_string(m->type & 0xff) + " " + m->text);
        };
    }
    // An image of size w x h at the origin showing the rectangle of the test graphic.
    ZUIImage* image(float w, float h, float x1, float y1, float x2, float y2) {
        ZUIImage* im = new ZUIImage(root());
        im->setGraphic(&graphic, x1, y1, x2, y2, nullptr, -1, -1);
        im->setSize(w, h);
        return im;
    }
    // The blits of one draw of the image, without the batch's bookkeeping.
    std::vector<std::string> blits(ZUIImage* im, const std::string& kind = "blit") {
        RecordingLog::clear();
        im->blit(1.0f, nullptr);
        ZUIElement::endBatch();
        std::vector<std::string> out;
        for (const std::string& l : RecordingLog::lines) {
            size_t at = l.find(" " + kind + " ");
            if (at != std::string::npos) out.push_back(l.substr(at + kind.size() + 2));
        }
        return out;
    }
    void frames(ZUIImage* im, long n) {
        for (long i = 0; i < n; i++) im->move();
    }
};

TEST_F(ZUIImageTest, FrameSettersGrowTheTableAndKeepTheDrawingModesExclusive) {
    ZUIImage im(nullptr);
    im.setFrameCount(3);
    ZUIImageVisual v;
    ASSERT_TRUE(im.getVisualData("default", &v) == false);  // the slot made for the frames is free
    EXPECT_EQ(im.getVisualCount(), 1);
    EXPECT_EQ(im.getCurrentVisualIndex(), -1);

    im.setFrameTiling(3, true, false);
    EXPECT_EQ(im.getFrameCount(), 4);
    im.setFrameStretching(4, true, 1, 2, false, 0, 0, false);
    EXPECT_EQ(im.getFrameCount(), 5);
    im.setFrameTiling(-1, true, true);
    EXPECT_EQ(im.getFrameCount(), 5);

    ZUIImageFrame f;
    im.setFrameMaskGraphic(3, &graphic, 0, 0, 4, 4);
    ASSERT_TRUE(im.getFrameData(3, &f));
    EXPECT_FALSE(f.tile);
    EXPECT_EQ(f.maskGraphic, &graphic);
    im.setFrameTiling(3, true, true);
    ASSERT_TRUE(im.getFrameData(3, &f));
    EXPECT_TRUE(f.tile && f.tileFromFarCorner);
    EXPECT_EQ(f.maskGraphic, nullptr);
    im.setFrameSrcCoord(3, 0, 0, 8, 0, 8, 8, 0, 8);
    ASSERT_TRUE(im.getFrameData(3, &f));
    EXPECT_TRUE(f.customQuads && f.customSrcQuad && !f.tile);
    EXPECT_FALSE(im.getFrameData(5, &f));
    EXPECT_FALSE(im.getFrameData(-1, &f));

    im.setFrameGraphic(0, &graphic, 10, 20, 50, 40, nullptr, -1, -1);
    ASSERT_TRUE(im.getFrameData(0, &f));
    EXPECT_EQ((std::vector<float>(f.dstQuad, f.dstQuad + 8)),
              (std::vector<float>{0, 0, 40, 0, 40, 20, 0, 20}));
    EXPECT_EQ(f.srcAnchor.x, 30);
    EXPECT_EQ(f.srcAnchor.y, 30);
}

TEST_F(ZUIImageTest, VisualsAreFoundByTheirFirstSlotAndNamesAreCut) {
    ZUIImage im(nullptr);
    im.addVisual("walk");
    im.addVisual("walk");
    EXPECT_EQ(im.getVisualCount(), 2);
    EXPECT_EQ(im.getVisualIndex("walk"), 0);
    im.removeVisual("walk");
    EXPECT_EQ(im.getVisualIndex("walk"), 1);
    im.addVisual("run");  // reuses the freed slot
    EXPECT_EQ(im.getVisualIndex("run"), 0);
    EXPECT_EQ(im.getVisualIndex("Run"), -1);

    std::string longName(120, 'x');
    im.setCurrentVisual(longName.c_str());
    EXPECT_EQ(std::string(im.getCurrentVisual()), std::string(99, 'x'));
    EXPECT_EQ(im.getVisualIndex(longName.c_str()), 2);

    EXPECT_EQ(im.getVisualCurrentFrame("none"), 0);
    EXPECT_FALSE(im.isVisualAnimating("none"));
    im.startVisualAnim("none");  // unknown: nothing is created
    EXPECT_EQ(im.getVisualIndex("none"), -1);

    im.setVisualSequence("run", 2, 5, 10, true, false, false);
    im.setVisualCurrentFrame("run", 9, -1, 0);
    EXPECT_EQ(im.getVisualCurrentFrame("run"), 5);
    im.setVisualCurrentFrame("run", 0, -1, 0);
    EXPECT_EQ(im.getVisualCurrentFrame("run"), 2);
    im.setVisualTriggerFrame("run", -1);
    EXPECT_EQ(im.getVisualTriggerFrame("run"), 2);
}

struct StepCase {
    const char* name;
    long first, last, start;
    bool forward, loop, pingPong;
    long steps;
    std::vector<long> frames;  // after each step
    bool animatingAfter;
};

TEST_F(ZUIImageTest, AnimationStepsByTheFrameTime) {
    const StepCase cases[] = {
        {"forward loop", 0, 2, 0, true, true, false, 4, {1, 2, 0, 1}, true},
        {"backward loop", 0, 2, 1, false, true, false, 3, {0, 2, 1}, true},
        {"ping-pong turns at the end", 2, 4, 4, true, true, true, 3, {3, 2, 3}, true},
        {"ping-pong of one frame stays", 2, 2, 2, true, true, true, 2, {2, 2}, true},
        {"stops at the end", 0, 2, 1, true, false, false, 3, {2, 2, 2}, false},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.name);
        ZUIImage im(nullptr);
        im.setFrameCount(5);
        im.setVisualSequence("a", c.first, c.last, 10, c.forward, c.loop, c.pingPong);
        im.setVisualCurrentFrame("a", c.start, -1, 0);
        im.startVisualAnim("a");
        window->frameTime = 10;
        std::vector<long> seen;
        for (long i = 0; i < c.steps; i++) {
            im.move();
            seen.push_back(im.getVisualCurrentFrame("a"));
        }
        EXPECT_EQ(seen, c.frames);
        EXPECT_EQ(im.isVisualAnimating("a"), c.animatingAfter);
    }
}

TEST_F(ZUIImageTest, ALongFrameStepsOnceAndKeepsTheRemainder) {
    ZUIImage im(nullptr);
    im.setFrameCount(10);
    im.setVisualSequence("a", 0, 9, 10, true, true, false);
    im.startVisualAnim("a");
    window->frameTime = 1e9 + 3;  // a hundred million durations: one step, no loop per duration
    im.move();
    EXPECT_EQ(im.getVisualCurrentFrame("a"), 1);
    ZUIImageVisual v;
    ASSERT_TRUE(im.getVisualData("a", &v));
    EXPECT_NEAR(v.timeLeft, 7, 1e-3);
}

TEST_F(ZUIImageTest, AVisualWithoutDurationNeverSpins) {
    ZUIImage im(nullptr);
    im.setFrameCount(3);
    im.setVisualSequence("a", 0, 2, 0, true, true, false);
    im.startVisualAnim("a");
    EXPECT_FALSE(im.isVisualAnimating("a"));
    // Made to run anyway through a current-frame change while running: stops at its first step.
    im.setVisualSequence("b", 0, 2, -5, true, true, false);
    im.setCurrentVisual("b");
    im.setVisualCurrentFrame("b", 0, -1, 0);
    im.move();
    EXPECT_FALSE(im.isVisualAnimating("b"));
}

TEST_F(ZUIImageTest, EndAndTriggerAreReportedOncePerArrival) {
    HookedImage* im = new HookedImage(root());
    im->setName("hero");
    im->setFrameCount(4);
    im->setVisualSequence("jump", 0, 2, 5, true, false, false);
    im->setVisualTriggerFrame("jump", 1);
    im->startVisualAnim("jump");
    window->frameTime = 5;
    frames(im, 4);
    EXPECT_EQ(im->hooks, (std::vector<std::string>{"reached 0", "ended 0"}));
    EXPECT_EQ(imageMessages, (std::vector<std::string>{"2 jump", "1 jump"}));
    EXPECT_TRUE(im->isVisualTriggerFrameReached("jump"));
    EXPECT_FALSE(im->isVisualTriggerFrameReached("jump"));
    EXPECT_FALSE(im->isVisualAnimating("jump"));

    // A one-frame run on its trigger frame never changes frame: nothing is reported.
    im->hooks.clear();
    im->setVisualSequence("still", 3, 3, 5, true, true, false);
    im->setVisualTriggerFrame("still", 3);
    im->startVisualAnim("still");
    frames(im, 3);
    EXPECT_TRUE(im->hooks.empty());
}

TEST_F(ZUIImageTest, TheHitMaskDecidesWithinTheBounds) {
    // 16 x 2 graphic: only columns 4..7 of both rows are opaque.
    static const unsigned char mask[4] = {0xf0, 0x00, 0xf0, 0x00};
    graphic.width = 16;
    graphic.height = 2;
    ZUIImage* im = new ZUIImage(root());
    im->setGraphic(&graphic, 0, 0, 16, 2, mask, -1, -1);
    im->setSize(16, 2);
    struct Case {
        float x, y;
        bool hit;
    } cases[] = {{5, 1, true}, {1, 1, false}, {8.5f, 0, false}, {16, 1, false}, {-1, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x));
        EXPECT_EQ(im->checkMask(c.x, c.y), c.hit);
    }
    im->setFrameFlipping(0, true, false);  // x = 16 - x
    EXPECT_TRUE(im->checkMask(10, 1));
    EXPECT_FALSE(im->checkMask(5, 1));

    // A frame without a mask is hit wherever it is asked.
    im->setGraphic(&graphic, 0, 0, 16, 2, nullptr, -1, -1);
    EXPECT_TRUE(im->checkMask(1, 1));
}

TEST_F(ZUIImageTest, StretchedHitsMapBackToTheSource) {
    // 100 x 1 graphic whose mask has only columns 10, 50 and 90 set.
    static unsigned char mask[13] = {};
    for (int c : {10, 50, 90}) mask[c / 8] |= 1 << (c % 8);
    graphic.width = 100;
    graphic.height = 1;
    ZUIImage* im = new ZUIImage(root());
    im->setGraphic(&graphic, 0, 0, 100, 1, mask, -1, -1);
    im->setFrameStretching(0, true, 20, 80, false, 0, 0, false);
    im->setSize(300, 1);
    EXPECT_TRUE(im->checkMask(10, 0));
    EXPECT_TRUE(im->checkMask(150, 0));  // 20 + 60 * 130 / 260 = 50
    EXPECT_TRUE(im->checkMask(290, 0));
    EXPECT_FALSE(im->checkMask(160, 0));
    // An element no wider than its edge columns leaves the middle no room: no division by 0.
    im->setSize(40, 1);
    im->checkMask(20, 0);
    im->setSize(0, 0);
    EXPECT_FALSE(im->checkMask(0, 0));
}

TEST_F(ZUIImageTest, PlainFramesShowTheirTopLeftPartWhenLargerThanTheElement) {
    ZUIImage* im = image(150, 150, 0, 0, 200, 100);
    EXPECT_EQ(blits(im), (std::vector<std::string>{"0 0 150 100 > 0 0 150 100 @ 0 0"}));
    im->setFrameFlipping(0, true, true);
    EXPECT_EQ(blits(im), (std::vector<std::string>{"0 0 150 100 > 0 0 150 100 @ 0 0 fx fy"}));
    im->setFrameOffset(0, {5, 7});
    im->setGlobalDstOffset({1, 2});
    im->setPosition(100, 50);
    EXPECT_EQ(blits(im), (std::vector<std::string>{"0 0 150 100 > 0 0 150 100 @ 106 59 fx fy"}));
}

TEST_F(ZUIImageTest, TilesFillTheElementFromEitherCorner) {
    ZUIImage* im = image(150, 100, 0, 0, 64, 64);
    im->setFrameTiling(0, true, false);
    EXPECT_EQ(blits(im),
              (std::vector<std::string>{
                  "0 0 64 64 > 0 0 64 64 @ 0 0", "0 0 64 64 > 64 0 128 64 @ 0 0",
                  "0 0 22 64 > 128 0 150 64 @ 0 0", "0 0 64 36 > 0 64 64 100 @ 0 0",
                  "0 0 64 36 > 64 64 128 100 @ 0 0", "0 0 22 36 > 128 64 150 100 @ 0 0"}));
    im->setFrameTiling(0, true, true);
    EXPECT_EQ(blits(im), (std::vector<std::string>{
                             "0 0 64 64 > 86 36 150 100 @ 0 0", "0 0 64 64 > 22 36 86 100 @ 0 0",
                             "42 0 64 64 > 0 36 22 100 @ 0 0", "0 28 64 64 > 86 0 150 36 @ 0 0",
                             "0 28 64 64 > 22 0 86 36 @ 0 0", "42 28 64 64 > 0 0 22 36 @ 0 0"}));
    im->setFrameFlipping(0, true, false);  // each tile mirrored in place
    EXPECT_EQ(blits(im)[2], "22 0 0 64 > 0 36 22 100 @ 0 0");
}

TEST_F(ZUIImageTest, NineSliceStretchesTheMiddleAndKeepsTheCorners) {
    ZUIImage* im = image(100, 60, 0, 0, 30, 30);
    im->setFrameStretching(0, true, 10, 20, true, 10, 20, false);
    EXPECT_EQ(blits(im), (std::vector<std::string>{
                             "0 0 10 10 > 0 0 10 10 @ 0 0", "10 0 20 10 > 10 0 90 10 @ 0 0",
                             "20 0 30 10 > 90 0 100 10 @ 0 0", "0 10 10 20 > 0 10 10 50 @ 0 0",
                             "10 10 20 20 > 10 10 90 50 @ 0 0", "20 10 30 20 > 90 10 100 50 @ 0 0",
                             "0 20 10 30 > 0 50 10 60 @ 0 0", "10 20 20 30 > 10 50 90 60 @ 0 0",
                             "20 20 30 30 > 90 50 100 60 @ 0 0"}));
    // Keep middle size: a 10-pixel middle centred in the 100-wide element.
    im->setFrameStretching(0, true, 10, 20, false, 0, 0, true);
    im->setSize(100, 30);
    im->setCenter(0, 0);
    std::vector<std::string> b = blits(im);
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[1], "10 0 20 30 > 45 0 55 30 @ 0 0");
    // Edges outside the rectangle are clamped into it.
    im->setFrameStretching(0, true, -5, 50, false, 0, 0, false);
    EXPECT_EQ(blits(im), (std::vector<std::string>{"0 0 30 30 > 0 0 100 30 @ 0 0"}));
}

TEST_F(ZUIImageTest, FreeQuadsSubdivideIntoAGrid) {
    ZUIImage* im = image(64, 64, 0, 0, 64, 64);
    im->setFrameDstQuad(0, 0, 0, 64, 0, 64, 64, 0, 64);
    EXPECT_EQ(blits(im, "quad"),
              (std::vector<std::string>{"0 0 64 0 64 64 0 64 > 0 0 64 0 64 64 0 64"}));
    const long counts[] = {1, 4, 4, 16, 64, 256, 256};
    for (long n = 0; n <= 6; n++) {
        SCOPED_TRACE(n);
        im->setQuadSubdivisions(n);
        std::vector<std::string> q = blits(im, "quad");
        EXPECT_EQ(static_cast<long>(q.size()), counts[n]);
        if (n == 1) {
            EXPECT_EQ(q[2], "32 32 64 32 64 64 32 64 > 32 32 64 32 64 64 32 64");
        }
    }
    // A source turned a quarter about its centre, and mirrored.
    im->setQuadSubdivisions(0);
    im->setFrameSrcZAngle(0, 90);
    std::vector<std::string> q = blits(im, "quad");
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].substr(0, q[0].find(" >")), "64 0 64 64 0 64 0 0");
}

TEST_F(ZUIImageTest, MaskedAndSplicedFramesDrawDirectlyAndRestoreTheGraphic) {
    RecordingGraphic mask;
    ZUIImage* im = image(32, 32, 0, 0, 64, 64);
    im->setFrameMaskGraphic(0, &mask, 0, 0, 8, 8);
    im->setAlphaMode(2);
    im->setColor(1, 0.5f, 1, 1);
    im->setPosition(10, 20);
    EXPECT_EQ(blits(im, "masked"), (std::vector<std::string>{"0 0 64 64 > 0 0 32 32"}));
    std::vector<std::string> world = RecordingLog::matching("world");
    ASSERT_EQ(world.size(), 3u);
    EXPECT_EQ(world[1], "world 10 20");
    EXPECT_EQ(world[2], "world 0 0");
    EXPECT_EQ(graphic.ops[1], eTazelAlphaOpOneMinusSrcAlpha);
    EXPECT_EQ(graphic.color[1], 1.0f);  // restored

    graphic.spliced = true;
    im->setFrameTiling(0, false, false);
    EXPECT_EQ(blits(im), (std::vector<std::string>{"0 0 32 32 > 0 0 32 32 @ 10 20"}));
    EXPECT_TRUE(RecordingLog::matching("batch begin").empty());
    EXPECT_EQ(graphic.color[1], 1.0f);
}

TEST_F(ZUIImageTest, ColourBlendFrameAndOverBrightnessMakeTheirPasses) {
    ZUIImage* im = image(64, 64, 0, 0, 64, 64);
    im->setFrameGraphic(3, &graphic, 0, 0, 8, 8, nullptr, -1, -1);
    EXPECT_EQ(blits(im).size(), 1u);
    EXPECT_TRUE(RecordingLog::matching(graphic.tag() + " color").empty());  // colour never set

    im->setVisualCurrentFrame("default", 0, 3, 0.25f);
    im->setVisualSequence("default", 0, 3, 0, true, false, false);
    im->setVisualCurrentFrame("default", 0, 3, 0.25f);
    im->setColor(1, 1, 1, 0.8f);
    RecordingLog::clear();
    im->blit(1.0f, nullptr);
    EXPECT_NEAR(graphic.color[3], 0.2f, 1e-6);  // the blend frame's, until the batch moves on
    ZUIElement::endBatch();
    std::vector<std::string> b = RecordingLog::matching("batch blit");
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[1], "batch blit 0 0 8 8 > 0 0 8 8 @ 0 0");

    im->setVisualCurrentFrame("default", 0, 3, 0);
    im->setLightness(0.5f);
    im->setOverBrightness(0.5f);
    RecordingLog::clear();
    im->blit(1.0f, nullptr);
    EXPECT_EQ(graphic.ops[1], eTazelAlphaOpOne);
    EXPECT_NEAR(graphic.color[0], 0.5f, 1e-6);
    EXPECT_NEAR(graphic.color[3], 0.5f * 0.8f, 1e-6);
    ZUIElement::endBatch();
    EXPECT_EQ(RecordingLog::matching("batch blit").size(), 2u);
    EXPECT_EQ(RecordingLog::matching("batch begin").size(), 2u);  // the additive pass changes ops
    EXPECT_EQ(graphic.color[0], 1.0f);                            // restored with the batch

    im->setColor(1, 1, 1, 0);
    im->setOverBrightness(0);
    EXPECT_TRUE(blits(im).empty());
}

TEST_F(ZUIImageTest, AlphaModesMapToTheirFactors) {
    struct Case {
        long mode;
        int src, dst;
    } cases[] = {{0, 4, 1}, {4, 4, 1}, {2, 1, 5}, {3, 0, 5}, {5, 0, 9}, {1, 4, 5}, {9, 4, 5}};
    for (const Case& c : cases) {
        ZUIImage im(nullptr);
        im.setAlphaMode(c.mode);
        EXPECT_EQ(im.getSrcAlphaOp(), c.src) << c.mode;
        EXPECT_EQ(im.getDstAlphaOp(), c.dst) << c.mode;
        EXPECT_EQ(im.getAlphaSrcAlphaOp(), c.src) << c.mode;
        EXPECT_EQ(im.getAlphaDstAlphaOp(), c.dst) << c.mode;
    }
}

TEST_F(ZUIImageTest, NothingIsDrawnWithoutAValidFrame) {
    ZUIImage* im = new ZUIImage(root());
    EXPECT_TRUE(blits(im).empty());
    im->setFrameCount(2);
    EXPECT_TRUE(blits(im).empty());  // no current visual
    im->setGraphic(&graphic, 5, 5, 5, 9, nullptr, -1, -1);
    EXPECT_TRUE(blits(im).empty());  // empty rectangle
    im->setGraphic(&graphic, 0, 0, 4, 4, nullptr, -1, -1);
    im->setVisualCurrentFrame(nullptr, 0, 7, 1.0f);  // blend frame out of range
    im->setSize(4, 4);
    EXPECT_EQ(blits(im).size(), 1u);
}

TEST_F(ZUIImageTest, ATemplateCopiesFramesAndVisualsButNotOffsets) {
    ZUIImage* t = image(64, 64, 0, 0, 32, 32);
    t->setFrameTiling(0, true, true);
    t->setFrameOffset(0, {3, 3});
    t->setColor(0.5f, 0.5f, 0.5f, 1);
    t->setVisualSequence("walk", 0, 0, 20, true, true, false);
    t->setCurrentVisual("walk");
    ZUIImage* c = new ZUIImage(root());
    c->copyFromTemplate(t);
    ZUIImageFrame f;
    ASSERT_TRUE(c->getFrameData(0, &f));
    EXPECT_TRUE(f.tile && f.tileFromFarCorner);
    EXPECT_EQ(f.offset.x, 0);
    EXPECT_EQ(f.graphic, &graphic);
    EXPECT_STREQ(c->getCurrentVisual(), "walk");
    float rgba[4];
    c->getColor(rgba);
    EXPECT_EQ(rgba[0], 0.5f);
    EXPECT_EQ(c->getWidth(), 64);
}

TEST_F(ZUIImageTest, TheCurrentFramesBoundsBecomeTheElements) {
    ZUIImage* im = image(10, 10, 0, 0, 10, 10);
    im->setFrameCount(2);
    ZUIBounds* b0 = new ZUIBounds();
    ZUIBounds* b1 = new ZUIBounds();
    im->setFrameBounds(0, b0, false);
    im->setFrameBounds(1, b1, false);
    EXPECT_EQ(im->ZUIElement::getBounds(), b0);
    im->setVisualSequence("default", 0, 1, 0, true, false, false);
    im->setVisualCurrentFrame("default", 1, -1, 0);
    im->move();
    EXPECT_EQ(im->ZUIElement::getBounds(), b1);
    EXPECT_EQ(im->getBounds(), b0);
    // Shrinking, then growing over the frame, frees its bounds: the element lets go of them.
    im->setFrameCount(1);
    im->setFrameCount(2);
    EXPECT_EQ(im->ZUIElement::getBounds(), nullptr);
    im->setFrameBounds(0, new ZUIBounds(), false);  // replaces b0, which is deleted
    delete im;  // the frames' bounds go with it, once (the sanitizer watches)
}

TEST_F(ZUIImageTest, IsImageTellsImagesApart) {
    ZUIImage* im = new ZUIImage(root());
    EXPECT_EQ(ZUIImage::isImage(im), im);
    EXPECT_EQ(ZUIImage::isImage(root()), nullptr);
    EXPECT_EQ(ZUIImage::isImage(nullptr), nullptr);
}

}  // namespace
