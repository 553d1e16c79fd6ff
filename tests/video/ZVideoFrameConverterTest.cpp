// The fixed-point frame conversion against the floating-point formula it stands for, on planes
// of every subsampling, odd sizes and offsets, and bottom-up rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ZVideoFrameConverter.h"

namespace {

// The conversion in single-precision floats, truncated and clamped.
int channelOf(float value) {
    float scaled = value * 255.0f;
    int v = static_cast<int>(scaled);
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

void reference(int y, int u, int v, int& r, int& g, int& b) {
    float yp = (static_cast<float>(y) - 16.0f) / 219.0f;
    float cb = (static_cast<float>(u) - 128.0f) / 224.0f;
    float cr = (static_cast<float>(v) - 128.0f) / 224.0f;
    r = channelOf(yp + 1.402f * cr);
    g = channelOf(yp - 0.34413627f * cb - 0.71413624f * cr);
    b = channelOf(yp + 1.772f * cb);
}

// Planes of a yWidth x yHeight frame whose samples are a pattern of their own coordinates, so
// that a wrong row, column or plane shows.
struct Frame {
    long yWidth, yHeight, uvWidth, uvHeight;
    std::vector<unsigned char> y, u, v;
    Frame(long w, long h, long cw, long ch) : yWidth(w), yHeight(h), uvWidth(cw), uvHeight(ch) {
        y.resize(w * h);
        u.resize(cw * ch);
        v.resize(cw * ch);
        for (long i = 0; i < w * h; i++) y[i] = static_cast<unsigned char>((i * 37 + 11) & 0xFF);
        for (long i = 0; i < cw * ch; i++) {
            u[i] = static_cast<unsigned char>((i * 53 + 5) & 0xFF);
            v[i] = static_cast<unsigned char>((i * 29 + 200) & 0xFF);
        }
    }
    ZVideoPicture picture(long ox, long oy, long w, long h, bool bottomUp) const {
        ZVideoPicture p;
        p.yWidth = yWidth;
        p.yHeight = yHeight;
        p.uvWidth = uvWidth;
        p.uvHeight = uvHeight;
        // Bottom-up planes hand out their top row with a negative stride, as the decoder does.
        p.yStride = bottomUp ? -yWidth : yWidth;
        p.uvStride = bottomUp ? -uvWidth : uvWidth;
        p.y = bottomUp ? y.data() + (yHeight - 1) * yWidth : y.data();
        p.u = bottomUp ? u.data() + (uvHeight - 1) * uvWidth : u.data();
        p.v = bottomUp ? v.data() + (uvHeight - 1) * uvWidth : v.data();
        p.offsetX = ox;
        p.offsetY = oy;
        p.width = w;
        p.height = h;
        return p;
    }
    // Sample of the top-down row r (in the whole frame), column c.
    int ySample(long r, long c, bool bottomUp) const {
        return y[(bottomUp ? yHeight - 1 - r : r) * yWidth + c];
    }
    int uvSample(const std::vector<unsigned char>& plane, long r, long c, bool bottomUp) const {
        long xs = uvWidth == yWidth ? 0 : 1, ys = uvHeight == yHeight ? 0 : 1;
        long row = r >> ys, col = c >> xs;
        return plane[(bottomUp ? uvHeight - 1 - row : row) * uvWidth + col];
    }
};

struct Layout {
    const char* name;
    long w, h, cw, ch, ox, oy, pw, ph;
    bool bottomUp;
};

const Layout kLayouts[] = {
    {"4:2:0", 32, 16, 16, 8, 0, 0, 32, 16, false},
    {"4:2:0 odd size and offset", 48, 32, 24, 16, 3, 5, 29, 17, false},
    {"4:2:0 bottom-up", 48, 32, 24, 16, 1, 2, 45, 29, true},
    {"4:2:2", 32, 16, 16, 16, 1, 1, 27, 13, false},
    {"4:4:4", 32, 16, 32, 16, 2, 3, 25, 11, true},
};

TEST(ZVideoFrameConverterTest, RgbaFollowsTheFormulaWithinOne) {
    ZVideoFrameConverter converter;
    for (const Layout& l : kLayouts) {
        SCOPED_TRACE(l.name);
        Frame frame(l.w, l.h, l.cw, l.ch);
        ZVideoPicture p = frame.picture(l.ox, l.oy, l.pw, l.ph, l.bottomUp);
        // Rows wider than the picture: the stride is the output's own.
        long stride = l.pw + 3;
        std::vector<uint32_t> out(stride * l.ph, 0xDEADBEEF);
        ASSERT_TRUE(converter.toRGBA(p, out.data(), stride, 0x7F));
        int worst = 0;
        for (long r = 0; r < l.ph; r++) {
            for (long c = 0; c < l.pw; c++) {
                int y = frame.ySample(r + l.oy, c + l.ox, l.bottomUp);
                int u = frame.uvSample(frame.u, r + l.oy, c + l.ox, l.bottomUp);
                int v = frame.uvSample(frame.v, r + l.oy, c + l.ox, l.bottomUp);
                int er, eg, eb;
                reference(y, u, v, er, eg, eb);
                uint32_t px = out[r * stride + c];
                int got[3] = {static_cast<int>(px & 0xFF), static_cast<int>(px >> 8 & 0xFF),
                              static_cast<int>(px >> 16 & 0xFF)};
                int want[3] = {er, eg, eb};
                for (int k = 0; k < 3; k++) worst = std::max(worst, std::abs(got[k] - want[k]));
                ASSERT_EQ(px >> 24, 0x7Fu) << r << "," << c;
            }
            EXPECT_EQ(out[r * stride + l.pw], 0xDEADBEEFu) << "wrote past the row";
        }
        EXPECT_LE(worst, 1);
    }
}

TEST(ZVideoFrameConverterTest, ShaderLayoutAndAlphaTable) {
    ZVideoFrameConverter converter;
    std::vector<uint32_t> table(256);
    for (int i = 0; i < 256; i++) table[i] = static_cast<uint32_t>(255 - i) << 24;
    for (const Layout& l : kLayouts) {
        SCOPED_TRACE(l.name);
        Frame frame(l.w, l.h, l.cw, l.ch);
        ZVideoPicture p = frame.picture(l.ox, l.oy, l.pw, l.ph, l.bottomUp);
        std::vector<uint32_t> uvya(l.pw * l.ph), alpha(l.pw * l.ph);
        ASSERT_TRUE(converter.toUVYA(p, uvya.data(), l.pw, 0));
        ASSERT_TRUE(converter.toAlpha(p, alpha.data(), l.pw, table.data()));
        for (long r = 0; r < l.ph; r++) {
            for (long c = 0; c < l.pw; c++) {
                int y = frame.ySample(r + l.oy, c + l.ox, l.bottomUp);
                int u = frame.uvSample(frame.u, r + l.oy, c + l.ox, l.bottomUp);
                int v = frame.uvSample(frame.v, r + l.oy, c + l.ox, l.bottomUp);
                ASSERT_EQ(uvya[r * l.pw + c], static_cast<uint32_t>(u | v << 8 | y << 16))
                    << r << "," << c;
                int er, eg, eb;
                reference(y, u, v, er, eg, eb);
                int got = 255 - static_cast<int>(alpha[r * l.pw + c] >> 24);
                ASSERT_LE(std::abs(got - er), 1) << r << "," << c;
                ASSERT_EQ(alpha[r * l.pw + c] & 0xFFFFFFu, 0u);
            }
        }
    }
}

TEST(ZVideoFrameConverterTest, PlanesThatCannotHoldThePictureAreRefused) {
    Frame frame(32, 16, 16, 8);
    struct Bad {
        const char* name;
        void (*spoil)(ZVideoPicture&);
    } cases[] = {
        {"picture wider than the plane", [](ZVideoPicture& p) { p.width = 32; }},
        {"offset past the bottom", [](ZVideoPicture& p) { p.offsetY = 1; }},
        {"negative offset", [](ZVideoPicture& p) { p.offsetX = -1; }},
        {"chroma of a third the width", [](ZVideoPicture& p) { p.uvWidth = 11; }},
        {"stride shorter than a row", [](ZVideoPicture& p) { p.yStride = 16; }},
        {"no chroma", [](ZVideoPicture& p) { p.v = nullptr; }},
        {"empty picture", [](ZVideoPicture& p) { p.height = 0; }},
    };
    ZVideoFrameConverter converter;
    std::vector<uint32_t> out(32 * 16, 1);
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.name);
        ZVideoPicture p = frame.picture(1, 0, 30, 16, false);
        EXPECT_TRUE(ZVideoFrameConverter::isValid(p));
        b.spoil(p);
        EXPECT_FALSE(converter.toRGBA(p, out.data(), 32, 255));
    }
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint32_t v) { return v == 1; }));
}

}  // namespace
