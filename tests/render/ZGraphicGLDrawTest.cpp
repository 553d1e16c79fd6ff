#include <gtest/gtest.h>

#include <string>

#include "ZGraphicGL.h"

// The blend model's mapping between eTazelAlphaOp and OpenGL factors, every value in every
// position; nothing here reaches OpenGL.
namespace {

const GLenum kFactorOf[] = {
    GL_ZERO,
    GL_ONE,
    GL_DST_COLOR,
    GL_ONE_MINUS_DST_COLOR,
    GL_SRC_ALPHA,
    GL_ONE_MINUS_SRC_ALPHA,
    GL_DST_ALPHA,
    GL_ONE_MINUS_DST_ALPHA,
    GL_SRC_ALPHA_SATURATE,
    GL_SRC_COLOR,
    GL_ONE_MINUS_SRC_COLOR,
};

// What a value stands for: its own factor in the table, else source alpha for a source and one
// for a destination.
eTazelAlphaOp expectedOp(long value, bool source) {
    if (value >= 0 && value <= 10) return static_cast<eTazelAlphaOp>(value);
    return source ? eTazelAlphaOpSrcAlpha : eTazelAlphaOpOne;
}

class ZGraphicGLAlphaOpTest : public ::testing::Test {
protected:
    void SetUp() override { ZGraphicGL::setup(nullptr); }

    ZGraphicGL graphic;
};

TEST_F(ZGraphicGLAlphaOpTest, EveryValueMapsToItsFactorAndBack) {
    for (long value = 0; value <= 10; value++) {
        SCOPED_TRACE(value);
        EXPECT_EQ(ZGraphicGL::sourceFactor(value), kFactorOf[value]);
        EXPECT_EQ(ZGraphicGL::destinationFactor(value), kFactorOf[value]);
        EXPECT_EQ(ZGraphicGL::alphaOpOf(kFactorOf[value]), value);
    }
    for (long value : {-100L, -2L, -1L, 11L, 12L, 1000L}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(ZGraphicGL::sourceFactor(value), static_cast<GLenum>(GL_SRC_ALPHA));
        EXPECT_EQ(ZGraphicGL::destinationFactor(value), static_cast<GLenum>(GL_ONE));
    }
}

// Each of the four positions on its own, over the whole range and beyond; a negative alpha
// factor takes the colour factor's value, whatever that value maps to.
TEST_F(ZGraphicGLAlphaOpTest, EveryPositionMapsEveryValue) {
    const eTazelAlphaOp fixedSource = eTazelAlphaOpDstColor;
    const eTazelAlphaOp fixedDestination = eTazelAlphaOpOneMinusSrcColor;
    for (long value = -3; value <= 12; value++) {
        SCOPED_TRACE(value);
        const eTazelAlphaOp op = static_cast<eTazelAlphaOp>(value);

        graphic.setAlphaOp(op, fixedDestination, eTazelAlphaOpSameAsColor,
                           eTazelAlphaOpSameAsColor);
        EXPECT_EQ(graphic.getSrcAlphaOp(), expectedOp(value, true));
        EXPECT_EQ(graphic.getDstAlphaOp(), fixedDestination);
        EXPECT_EQ(graphic.getAlphaSrcAlphaOp(), expectedOp(value, true));
        EXPECT_EQ(graphic.getAlphaDstAlphaOp(), fixedDestination);

        graphic.setAlphaOp(fixedSource, op, eTazelAlphaOpSameAsColor, eTazelAlphaOpSameAsColor);
        EXPECT_EQ(graphic.getSrcAlphaOp(), fixedSource);
        EXPECT_EQ(graphic.getDstAlphaOp(), expectedOp(value, false));
        EXPECT_EQ(graphic.getAlphaSrcAlphaOp(), fixedSource);
        EXPECT_EQ(graphic.getAlphaDstAlphaOp(), expectedOp(value, false));

        graphic.setAlphaOp(fixedSource, fixedDestination, op, op);
        EXPECT_EQ(graphic.getSrcAlphaOp(), fixedSource);
        EXPECT_EQ(graphic.getDstAlphaOp(), fixedDestination);
        EXPECT_EQ(graphic.getAlphaSrcAlphaOp(), value < 0 ? fixedSource : expectedOp(value, true));
        EXPECT_EQ(graphic.getAlphaDstAlphaOp(),
                  value < 0 ? fixedDestination : expectedOp(value, false));

        // A negative alpha factor follows an out-of-range colour factor to its default.
        graphic.setAlphaOp(static_cast<eTazelAlphaOp>(14), static_cast<eTazelAlphaOp>(-5),
                           eTazelAlphaOpSameAsColor, eTazelAlphaOpSameAsColor);
        EXPECT_EQ(graphic.getAlphaSrcAlphaOp(), eTazelAlphaOpSrcAlpha);
        EXPECT_EQ(graphic.getAlphaDstAlphaOp(), eTazelAlphaOpOne);
    }
}

// Presets set the colour pair; every mode, known or not, leaves the alpha pair equal to it.
TEST_F(ZGraphicGLAlphaOpTest, ModesSetTheColourPairAndCopyItIntoTheAlphaPair) {
    struct Case {
        long mode;
        eTazelAlphaOp source, destination;
    } cases[] = {
        {-1, eTazelAlphaOpOneMinusDstAlpha, eTazelAlphaOpSrcColor},
        {0, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne},
        {1, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha},
        {2, eTazelAlphaOpOne, eTazelAlphaOpOneMinusSrcAlpha},
        {3, eTazelAlphaOpZero, eTazelAlphaOpOneMinusSrcAlpha},
        {4, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne},
        {5, eTazelAlphaOpZero, eTazelAlphaOpSrcColor},
        {6, eTazelAlphaOpOneMinusDstAlpha, eTazelAlphaOpSrcColor},
        {7, eTazelAlphaOpOneMinusDstAlpha, eTazelAlphaOpSrcColor},
        {8, eTazelAlphaOpOneMinusDstAlpha, eTazelAlphaOpSrcColor},
        {1000, eTazelAlphaOpOneMinusDstAlpha, eTazelAlphaOpSrcColor},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        graphic.setAlphaOp(eTazelAlphaOpOneMinusDstAlpha, eTazelAlphaOpSrcColor,
                           eTazelAlphaOpSrcAlphaSaturate, eTazelAlphaOpZero);
        graphic.setAlphaMode(c.mode);
        EXPECT_EQ(graphic.getSrcAlphaOp(), c.source);
        EXPECT_EQ(graphic.getDstAlphaOp(), c.destination);
        EXPECT_EQ(graphic.getAlphaSrcAlphaOp(), c.source);
        EXPECT_EQ(graphic.getAlphaDstAlphaOp(), c.destination);
    }
}

}  // namespace
