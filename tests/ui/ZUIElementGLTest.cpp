#include <gtest/gtest.h>

#include "GLTestWindow.h"
#include "PixelWords.h"
#include "ZGraphic.h"
#include "ZUIElement.h"
#include "ZWindowGL.h"

// The tree drawn on a real window and read back: layers, clipping and a stencil mask.
namespace {

const long kSize = 256;

// Fills its own rectangle in one colour with the tree's plain graphic, in element space under
// the world matrix the tree sets for it.
class FilledElement : public ZUIElement {
public:
    FilledElement(ZUIElement* parent, float x, float y, float w, float h, float r, float g, float b)
        : ZUIElement(parent), m_r(r), m_g(g), m_b(b) {
        setPosition(x, y);
        setSize(w, h);
    }
    void blit(float absBlend, ZMatrix*) override {
        if (ZGraphic* box = getBoxGraphic())
            box->drawRect(0, 0, getWidth(), getHeight(), m_r, m_g, m_b, absBlend);
    }

private:
    float m_r, m_g, m_b;
};

class ZUIElementGLTest : public ::testing::Test {
protected:
    GLTestWindow window{kSize, kSize};
    void SetUp() override {
        ASSERT_TRUE(window.isOpen());
        ZUIElement::initialize(window.window());
        window.clear(0, 0, 0);
    }
    void TearDown() override { ZUIElement::cleanup(); }
    uint32_t pixel(long x, long y) { return readFramebuffer(x, y, 1, 1, kSize).at(0, 0); }
    ZUIElement* root() { return ZUIElement::getRootElement(); }
};

TEST_F(ZUIElementGLTest, LayersDrawInTheirOwnPassesAndRotationFollowsTheFootprint) {
    new FilledElement(root(), 10, 10, 50, 50, 1, 0, 0);
    FilledElement* upper = new FilledElement(root(), 40, 40, 50, 50, 0, 1, 0);
    upper->setLayer(1);
    FilledElement* turned = new FilledElement(root(), 150, 150, 80, 20, 0, 0, 1);
    turned->setZAngle(90);  // now 20 wide and 80 high about (190, 160)
    ZUIElement::blitAll(1);
    ZUIElement::blitAll(0);  // drawn after: over the upper layer
    EXPECT_EQ(pixel(15, 15), rgba(255, 0, 0));
    EXPECT_EQ(pixel(50, 50), rgba(255, 0, 0));
    EXPECT_EQ(pixel(80, 80), rgba(0, 255, 0));
    EXPECT_EQ(pixel(190, 125), rgba(0, 0, 255));
    EXPECT_EQ(pixel(160, 160), rgba(0, 0, 0));
    ZRectangle r = turned->getAbsBoundingRect();
    EXPECT_NEAR(r.x1, 180, 1e-3);
    EXPECT_NEAR(r.y1, 120, 1e-3);
}

TEST_F(ZUIElementGLTest, ClippingCutsTheSubtreeToTheParentsRectangle) {
    FilledElement* frame = new FilledElement(root(), 50, 50, 100, 100, 0.5f, 0.5f, 0.5f);
    frame->enableClipping(true);
    new FilledElement(frame, -40, -40, 300, 300, 0, 0, 1);
    ZUIElement::blitAll(0);
    EXPECT_EQ(pixel(60, 60), rgba(0, 0, 255));
    EXPECT_EQ(pixel(149, 149), rgba(0, 0, 255));
    EXPECT_EQ(pixel(30, 30), rgba(0, 0, 0));
    EXPECT_EQ(pixel(160, 100), rgba(0, 0, 0));
}

TEST_F(ZUIElementGLTest, AStencilMaskShowsItsChildrenOnlyWhereItDrew) {
    FilledElement* mask = new FilledElement(root(), 100, 100, 40, 40, 1, 1, 1);
    mask->setAsStencilMask(true, 0.5f, false);
    new FilledElement(mask, -100, -100, 256, 256, 0, 1, 0);
    new FilledElement(root(), 0, 0, 20, 20, 1, 0, 0);  // after the mask: drawn anywhere
    ZUIElement::blitAll(0);
    EXPECT_EQ(pixel(120, 120), rgba(0, 255, 0));
    EXPECT_EQ(pixel(50, 50), rgba(0, 0, 0));
    EXPECT_EQ(pixel(200, 200), rgba(0, 0, 0));
    EXPECT_EQ(pixel(10, 10), rgba(255, 0, 0));
}

}  // namespace
