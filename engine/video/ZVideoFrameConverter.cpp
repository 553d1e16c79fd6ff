#include "ZVideoFrameConverter.h"

#include <cstdlib>

namespace {

// The conversion's factors in 16.16 fixed point: 255 / 219 for luma and the chroma factors
// times 255 / 224.
constexpr int32_t fixed(double value) {
    return static_cast<int32_t>(value * 65536.0 + 0.5);
}
constexpr int32_t kLuma = fixed(255.0 / 219.0);
constexpr int32_t kRedV = fixed(1.402 * 255.0 / 224.0);
constexpr int32_t kGreenU = fixed(0.34413627 * 255.0 / 224.0);
constexpr int32_t kGreenV = fixed(0.71413624 * 255.0 / 224.0);
constexpr int32_t kBlueU = fixed(1.772 * 255.0 / 224.0);

inline int32_t clampByte(int32_t value) {
    return value < 0 ? 0 : value > 255 ? 255 : value;
}

// The per-row loops, built for AVX2 as well where the loader can pick at start: eight pixels a
// step instead of four. Not under the sanitizers, whose instrumented code cannot run in the
// loader's choice before they are set up.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ROW_LOOP_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ROW_LOOP_SANITIZED 1
#endif
#if defined(__x86_64__) && defined(__GNUC__) && !defined(ROW_LOOP_SANITIZED)
#define ROW_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define ROW_LOOP
#endif

ROW_LOOP void chromaTerms(const unsigned char* __restrict u, const unsigned char* __restrict v,
                          int32_t* __restrict red, int32_t* __restrict green,
                          int32_t* __restrict blue, long width) {
    for (long c = 0; c < width; c++) {
        int32_t cb = static_cast<int32_t>(u[c]) - 128;
        int32_t cr = static_cast<int32_t>(v[c]) - 128;
        red[c] = kRedV * cr;
        green[c] = kGreenU * cb + kGreenV * cr;
        blue[c] = kBlueU * cb;
    }
}

ROW_LOOP void rowRGBA(const unsigned char* __restrict y, const int32_t* __restrict red,
                      const int32_t* __restrict green, const int32_t* __restrict blue,
                      uint32_t* __restrict row, long width, uint32_t alpha) {
    for (long c = 0; c < width; c++) {
        int32_t luma = kLuma * (static_cast<int32_t>(y[c]) - 16);
        uint32_t r = static_cast<uint32_t>(clampByte((luma + red[c]) >> 16));
        uint32_t g = static_cast<uint32_t>(clampByte((luma - green[c]) >> 16));
        uint32_t b = static_cast<uint32_t>(clampByte((luma + blue[c]) >> 16));
        row[c] = r | g << 8 | b << 16 | alpha;
    }
}

ROW_LOOP void rowUVYA(const unsigned char* __restrict y, const unsigned char* __restrict u,
                      const unsigned char* __restrict v, uint32_t* __restrict row, long width,
                      uint32_t alpha) {
    for (long c = 0; c < width; c++)
        row[c] = static_cast<uint32_t>(u[c]) | static_cast<uint32_t>(v[c]) << 8 |
                 static_cast<uint32_t>(y[c]) << 16 | alpha;
}

void rowAlpha(const unsigned char* __restrict y, const int32_t* __restrict red,
              uint32_t* __restrict row, long width, const uint32_t* table) {
    for (long c = 0; c < width; c++) {
        int32_t luma = kLuma * (static_cast<int32_t>(y[c]) - 16);
        row[c] = table[clampByte((luma + red[c]) >> 16)];
    }
}

// 1 when the chroma plane has half the luma plane's size along that side, 0 when the same; -1
// for any other size.
long subsampling(long luma, long chroma) {
    if (chroma == luma) return 0;
    if (chroma == (luma + 1) / 2) return 1;
    return -1;
}

}  // namespace

bool ZVideoFrameConverter::isValid(const ZVideoPicture& p) {
    if (!p.y || !p.u || !p.v) return false;
    if (p.width <= 0 || p.height <= 0 || p.offsetX < 0 || p.offsetY < 0) return false;
    if (p.offsetX + p.width > p.yWidth || p.offsetY + p.height > p.yHeight) return false;
    if (labs(p.yStride) < p.yWidth || labs(p.uvStride) < p.uvWidth) return false;
    return subsampling(p.yWidth, p.uvWidth) >= 0 && subsampling(p.yHeight, p.uvHeight) >= 0;
}

// The chroma of one shown row, one value per pixel: the byte planes for the shader and the
// three fixed-point terms for the conversion.
void ZVideoFrameConverter::spreadChroma(const ZVideoPicture& p, long row) {
    long xShift = subsampling(p.yWidth, p.uvWidth);
    long yShift = subsampling(p.yHeight, p.uvHeight);
    long chromaRow = (row + p.offsetY) >> yShift;
    const unsigned char* u = p.u + chromaRow * p.uvStride;
    const unsigned char* v = p.v + chromaRow * p.uvStride;
    unsigned char* su = m_u.data();
    unsigned char* sv = m_v.data();
    for (long c = 0; c < p.width; c++) {
        long x = (c + p.offsetX) >> xShift;
        su[c] = u[x];
        sv[c] = v[x];
    }
    chromaTerms(su, sv, m_red.data(), m_green.data(), m_blue.data(), p.width);
}

template <class Store>
bool ZVideoFrameConverter::convert(const ZVideoPicture& p, uint32_t* out, long stride,
                                   Store store) {
    if (!out || !isValid(p) || stride < p.width) return false;
    size_t width = static_cast<size_t>(p.width);
    if (m_u.size() < width) {
        m_u.resize(width);
        m_v.resize(width);
        m_red.resize(width);
        m_green.resize(width);
        m_blue.resize(width);
    }
    long yShift = subsampling(p.yHeight, p.uvHeight);
    long lastChromaRow = -1;
    for (long r = 0; r < p.height; r++) {
        long chromaRow = (r + p.offsetY) >> yShift;
        if (chromaRow != lastChromaRow) spreadChroma(p, r);
        lastChromaRow = chromaRow;
        const unsigned char* y = p.y + (r + p.offsetY) * p.yStride + p.offsetX;
        store(y, out + r * stride, p.width);
    }
    return true;
}

bool ZVideoFrameConverter::toRGBA(const ZVideoPicture& picture, uint32_t* out, long stride,
                                  unsigned char alpha) {
    const uint32_t a = static_cast<uint32_t>(alpha) << 24;
    return convert(picture, out, stride, [&](const unsigned char* y, uint32_t* row, long width) {
        rowRGBA(y, m_red.data(), m_green.data(), m_blue.data(), row, width, a);
    });
}

bool ZVideoFrameConverter::toUVYA(const ZVideoPicture& picture, uint32_t* out, long stride,
                                  unsigned char alpha) {
    const uint32_t a = static_cast<uint32_t>(alpha) << 24;
    return convert(picture, out, stride, [&](const unsigned char* y, uint32_t* row, long width) {
        rowUVYA(y, m_u.data(), m_v.data(), row, width, a);
    });
}

bool ZVideoFrameConverter::toAlpha(const ZVideoPicture& picture, uint32_t* out, long stride,
                                   const uint32_t* table) {
    if (!table) return false;
    return convert(picture, out, stride, [&](const unsigned char* y, uint32_t* row, long width) {
        rowAlpha(y, m_red.data(), row, width, table);
    });
}
