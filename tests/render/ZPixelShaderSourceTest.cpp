#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "ZPixelShaderSource.h"

// The pixel shader's program text and its rewrite for rectangle textures.
namespace {

struct RewriteCase {
    const char* name;
    std::string text;
    std::string expected;
    int rewrites;
};

void PrintTo(const RewriteCase& c, std::ostream* out) {
    *out << c.name;
}

class RectRewriteTest : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(RectRewriteTest, RewritesEachTwoDimensionalSampling) {
    const RewriteCase& c = GetParam();
    std::string text = c.text;
    EXPECT_EQ(ZPixelShaderSource::makeRectVariant(text), c.rewrites);
    EXPECT_EQ(text, c.expected);
}

const char kTex2D[] = "TEX r, fragment.texcoord[0], texture[0], 2D;\n";
const char kTexRect[] = "TEX r, fragment.texcoord[0], texture[0], RECT;\n";

INSTANTIATE_TEST_SUITE_P(
    Programs, RectRewriteTest,
    ::testing::Values(
        RewriteCase{"TextureTarget", kTex2D, kTexRect, 1},
        RewriteCase{"EveryTextureInstruction", std::string(kTex2D) + "MOV t, r;\n" + kTex2D,
                    std::string(kTexRect) + "MOV t, r;\n" + kTexRect, 2},
        RewriteCase{"SamplerDeclarationsBeforeTargets",
                    std::string("# sampler2D base;\n") + kTex2D + "# sampler2D mask;\n",
                    std::string("# samplerRECT base;\n") + kTexRect + "# samplerRECT mask;\n", 3},
        RewriteCase{"SamplerFollowedBySemicolon", "uniform sampler2D;", "uniform samplerRECT;", 1},
        RewriteCase{"TwoDigitsBeforeTarget", "x 2D2D;", "x 2DRECT;", 1},
        RewriteCase{"OtherTargetsStay", "TEX r, t, texture[0], 3D;\nTXP r, t, texture[1], CUBE;\n",
                    "TEX r, t, texture[0], 3D;\nTXP r, t, texture[1], CUBE;\n", 0},
        RewriteCase{"TargetNotEndedBySemicolonStays", "TEX r, t, texture[0], 2D ;",
                    "TEX r, t, texture[0], 2D ;", 0},
        RewriteCase{"NoSampling", "!!ARBfp1.0\nMOV result.color, program.local[0];\nEND\n",
                    "!!ARBfp1.0\nMOV result.color, program.local[0];\nEND\n", 0},
        RewriteCase{"Empty", "", "", 0}),
    [](const ::testing::TestParamInfo<RewriteCase>& info) { return info.param.name; });

TEST(RectRewriteLimitTest, StopsAfterSixtyFourRewrites) {
    std::string text;
    for (int i = 0; i < 100; i++) text += kTex2D;
    const size_t length = text.size();

    EXPECT_EQ(ZPixelShaderSource::makeRectVariant(text), ZPixelShaderSource::kMaxRectRewrites);

    EXPECT_EQ(text.size(), length + 2 * ZPixelShaderSource::kMaxRectRewrites);
    std::string rewritten, kept;
    for (int i = 0; i < ZPixelShaderSource::kMaxRectRewrites; i++) rewritten += kTexRect;
    for (int i = ZPixelShaderSource::kMaxRectRewrites; i < 100; i++) kept += kTex2D;
    EXPECT_EQ(text, rewritten + kept);
}

TEST(ProgramTextTest, EndsAtTheSizeOrTheFirstZeroByte) {
    // Exact-size heap copies without a terminator: the sanitizer sees any read past the end.
    const std::string program = "!!ARBfp1.0\nEND\n";
    std::unique_ptr<char[]> exact(new char[program.size()]);
    memcpy(exact.get(), program.data(), program.size());
    EXPECT_EQ(ZPixelShaderSource::textOf(exact.get(), program.size()), program);
    EXPECT_EQ(ZPixelShaderSource::textOf(exact.get(), 4), "!!AR");

    const char withZero[] = {'A', 'B', '\0', 'C'};
    std::unique_ptr<char[]> zero(new char[sizeof(withZero)]);
    memcpy(zero.get(), withZero, sizeof(withZero));
    EXPECT_EQ(ZPixelShaderSource::textOf(zero.get(), sizeof(withZero)), "AB");

    EXPECT_EQ(ZPixelShaderSource::textOf(nullptr, 10), "");
}

}  // namespace
