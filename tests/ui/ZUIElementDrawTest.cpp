#include <string>
#include <vector>

#include "RecordingGraphic.h"
#include "UITreeFixture.h"
#include "ZPixelShader.h"

namespace {

class NullShader : public ZPixelShader {
public:
    bool loadPixelShader(const char*) override { return true; }
    bool loadPixelShaderFromPtr(const char*, unsigned long) override { return true; }
    void freePixelShader() override {}
    void setPixelShaderParam(long, float*) override {}
};

class ZUIElementDrawTest : public UITreeFixture {
public:
    // The log without the batch's bookkeeping, from the first line that starts with from.
    static std::vector<std::string> drawn(const std::string& filter = "") {
        std::vector<std::string> out;
        for (const std::string& l : RecordingLog::lines)
            if (filter.empty() || l.find(filter) != std::string::npos) out.push_back(l);
        return out;
    }
    // The line just before the first one equal to line, or "" when there is none.
    static std::string before(const std::string& line) {
        const std::vector<std::string>& l = RecordingLog::lines;
        for (size_t i = 1; i < l.size(); i++)
            if (l[i] == line) return l[i - 1];
        return "";
    }
    void draw(long layer = 0) {
        RecordingLog::clear();
        ZUIElement::blitAll(layer);
    }
};

TEST_F(ZUIElementDrawTest, ChildrenDrawInListOrderUnderTheirOwnMatrices) {
    TestElement* a = new TestElement(root(), "a", 10, 20, 100, 50);
    TestElement* b = new TestElement(root(), "b", 200, 300, 10, 10);
    new TestElement(b, "b1", 5, 5, 2, 2);
    draw();
    EXPECT_EQ(drawn("blit"), (std::vector<std::string>{"a blit 100", "b blit 100", "b1 blit 100"}));
    std::vector<std::string> lines = RecordingLog::lines;
    auto at = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) - lines.begin();
    };
    EXPECT_EQ(at("world 10 20") + 1, at("a blit 100"));
    EXPECT_EQ(at("world 205 305") + 1, at("b1 blit 100"));
    EXPECT_EQ(lines.back(), "world 0 0");
    EXPECT_EQ(ZUIElement::getDrawnElementsCount(), 4);  // the root too
    (void)a;
}

TEST_F(ZUIElementDrawTest, LayersAndBlends) {
    TestElement* parent = new TestElement(root(), "parent", 0, 0, 100, 100);
    TestElement* child = new TestElement(parent, "child", 0, 0, 10, 10);
    TestElement* upper = new TestElement(root(), "upper", 0, 0, 10, 10);
    TestElement* stray = new TestElement(parent, "stray", 0, 0, 10, 10);
    upper->setLayer(2);
    stray->setLayer(2);  // its parent is on layer 0: drawn in neither pass
    parent->setBlend(0.5f);
    child->setBlend(0.5f);
    draw(0);
    EXPECT_EQ(drawn("blit"), (std::vector<std::string>{"parent blit 50", "child blit 25"}));
    draw(2);
    EXPECT_EQ(drawn("blit"), (std::vector<std::string>{"upper blit 100"}));
    parent->setBlend(0);
    draw(0);
    EXPECT_TRUE(drawn("blit").empty());
    parent->setBlend(1);
    parent->setVisibility(false);
    draw(0);
    EXPECT_TRUE(drawn("blit").empty());
}

TEST_F(ZUIElementDrawTest, SiblingsFirstDrawsEveryChildBeforeAnyGrandchild) {
    TestElement* p = new TestElement(root(), "p", 0, 0, 100, 100);
    TestElement* a = new TestElement(p, "a", 0, 0, 10, 10);
    TestElement* b = new TestElement(p, "b", 0, 0, 10, 10);
    new TestElement(a, "a1", 0, 0, 5, 5);
    new TestElement(b, "b1", 0, 0, 5, 5);
    draw();
    EXPECT_EQ(drawn("blit"), (std::vector<std::string>{"p blit 100", "a blit 100", "a1 blit 100",
                                                       "b blit 100", "b1 blit 100"}));
    p->enableDrawingSiblingsFirst(true);
    draw();
    EXPECT_EQ(drawn("blit"), (std::vector<std::string>{"p blit 100", "a blit 100", "b blit 100",
                                                       "a1 blit 100", "b1 blit 100"}));
}

TEST_F(ZUIElementDrawTest, OffScreenParentsSkipOnlyTheirOwnDrawing) {
    TestElement* far = new TestElement(root(), "far", 2000, 0, 100, 100);
    new TestElement(far, "near", -1900, 10, 10, 10);
    draw();
    EXPECT_EQ(drawn("blit"), (std::vector<std::string>{"near blit 100"}));
}

TEST_F(ZUIElementDrawTest, NestedClipsIntersectAndRestore) {
    TestElement* outer = new TestElement(root(), "outer", 100, 100, 200, 200);
    TestElement* inner = new TestElement(outer, "inner", 150, 150, 100, 100);  // 250..350
    new TestElement(inner, "leaf", 0, 0, 10, 10);
    new TestElement(outer, "after", 0, 0, 10, 10);
    outer->enableClipping(true);
    inner->enableClipping(true);
    draw();
    EXPECT_EQ(drawn("clip"),
              (std::vector<std::string>{"clip 100 100 300 300", "clip 250 250 300 300",
                                        "clip 100 100 300 300", "clip off"}));
    std::vector<std::string> lines = RecordingLog::lines;
    auto at = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) - lines.begin();
    };
    EXPECT_LT(at("leaf blit 100"), at("clip 100 100 300 300") + 100);
    EXPECT_GT(at("after blit 100"), at("leaf blit 100"));
    ZRectangle r;
    EXPECT_TRUE(inner->getClippingRect(r));
    inner->enableScreenSpaceClipping(true, 0, 0, 260, 260);
    draw();
    EXPECT_EQ(drawn("clip")[1], "clip 100 100 260 260");
    inner->enableElementSpaceClipping(true, 0, 0, 50, 50);
    draw();
    EXPECT_EQ(drawn("clip")[1], "clip 250 250 300 300");
}

TEST_F(ZUIElementDrawTest, NestedStencilMasksClearOnceAndEndOnce) {
    TestElement* outer = new TestElement(root(), "outer", 0, 0, 100, 100);
    TestElement* inner = new TestElement(outer, "inner", 0, 0, 50, 50);
    new TestElement(inner, "leaf", 0, 0, 10, 10);
    outer->setAsStencilMask(true, 0.5f, true);
    inner->setAsStencilMask(true, 0.25f, false);
    draw();
    EXPECT_EQ(drawn("stencil"),
              (std::vector<std::string>{"stencil first write 0.500000",
                                        "stencil test 0.000000 flag", "stencil write 0.250000",
                                        "stencil test 0.000000", "stencil end"}));
    std::vector<std::string> order = drawn(" blit");
    EXPECT_EQ(order,
              (std::vector<std::string>{"outer blit 100", "inner blit 100", "leaf blit 100"}));
}

TEST_F(ZUIElementDrawTest, PixelShadersStayForTheSubtreeOrTheElementAlone) {
    NullShader shader;
    TestElement* own = new TestElement(root(), "own", 0, 0, 10, 10);
    new TestElement(own, "ownChild", 0, 0, 5, 5);
    own->setPixelShader(&shader, false);
    own->setPixelShaderParam(1, 1, 2, 3, 4);
    own->setPixelShaderParam(7, 9, 9, 9, 9);  // ignored
    draw();
    std::vector<std::string> lines = drawn();
    auto at = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) - lines.begin();
    };
    EXPECT_LT(at("shader on"), at("own blit 100"));
    EXPECT_LT(at("own blit 100"), at("shader off"));
    EXPECT_LT(at("shader off"), at("ownChild blit 100"));
    EXPECT_NE(at("shader param 1 1 2 3 4"), static_cast<long>(lines.size()));
    own->setPixelShader(&shader, true);
    draw();
    lines = drawn();
    EXPECT_LT(at("ownChild blit 100"), at("shader off"));
}

TEST_F(ZUIElementDrawTest, TheSharedBatchRunsOnAcrossAnAtlas) {
    RecordingGraphic atlas, first, second, other;
    first.atlas = second.atlas = &atlas;
    ZUIElement::resetBatchingOpsCount();
    RecordingLog::clear();
    ZUIElement::setBatchedTexture(&first, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha,
                                  true, true);
    ZUIElement::setBatchedTexture(&first, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha,
                                  true, true);
    ZUIElement::setBatchedTexture(&second, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha,
                                  true, true);
    EXPECT_EQ(RecordingLog::matching("batch begin").size(), 1u);
    EXPECT_EQ(RecordingLog::matching("batch end").size(), 0u);
    ZUIElement::setBatchedTexture(&other, eTazelAlphaOpOne, eTazelAlphaOpOne, true, false);
    EXPECT_EQ(RecordingLog::matching("batch end").size(), 1u);
    EXPECT_EQ(RecordingLog::matching("batch begin").size(), 2u);
    EXPECT_EQ(other.ops[0], eTazelAlphaOpOne);
    ZUIElement::endBatch();
    EXPECT_EQ(other.ops[0], eTazelAlphaOpSrcAlpha);  // its own factors put back
    EXPECT_EQ(ZUIElement::getBatchingOpsCount(), 2);
    EXPECT_EQ(RecordingLog::matching("world 0 0").size(), 1u);  // once, when the batch opened
}

TEST_F(ZUIElementDrawTest, FrozenElementsDrawButNeitherMoveNorTakeInput) {
    TestElement* frozen = new TestElement(root(), "frozen", 100, 100, 100, 100);
    int moves = 0;
    frozen->action = [&](TestElement*, const std::string& what) {
        if (what == "move") moves++;
    };
    frozen->freeze(true);
    ZUIElement::moveAll();
    EXPECT_EQ(moves, 0);
    send(mouse(kZEventMouseMove, 150, 150));
    EXPECT_EQ(frozen->getState(), ZUIElementStateNormal);
    draw();
    EXPECT_EQ(drawn("blit"), (std::vector<std::string>{"frozen blit 100"}));
    frozen->freeze(false);
    ZUIElement::moveAll();
    EXPECT_EQ(moves, 1);
}

TEST_F(ZUIElementDrawTest, BoundsOutlinesDrawInElementSpaceAfterTheElement) {
    TestElement* e = new TestElement(root(), "e", 10, 10, 20, 30);
    e->enableDrawingBounds(true, 2, 0.5f, 0, 1);
    draw();
    std::vector<std::string> outline = RecordingLog::matching("g");
    ASSERT_EQ(outline.size(), 4u);  // the box graphic's four lines
    EXPECT_EQ(outline[0].substr(outline[0].find(' ')), " line 0 0 20 0");
    EXPECT_EQ(before(outline[0]), "world 10 10");
}

TEST_F(ZUIElementDrawTest, BlitElementsDrawsASubtreeUnderAGivenMatrix) {
    new TestElement(root(), "e", 10, 10, 20, 30);
    ZUIElement::blitAll(0);
    ZMatrix shift;
    shift.translation(100, -200, 0);
    RecordingLog::clear();
    ZUIElement::getElementByName("e")->blitElements(0, &shift);
    EXPECT_EQ(before("e blit 100"), "world 110 210");
    EXPECT_EQ(RecordingLog::lines.back(), "world 0 0");
    draw();
    EXPECT_EQ(before("e blit 100"), "world 10 10");
}

}  // namespace
