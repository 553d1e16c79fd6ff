#include "ZGraphicHelper.h"

#include <algorithm>
#include <climits>
#include <new>

#include "TextureCutter.h"
#include "ZImage.h"
#include "ZMatrix.h"

namespace {

// Fixed lists for the two common screen sizes; each ends with an all-zero record.
// clang-format off
const ZGraphicSpliceStruct kSplices800x600[] = {
    {0, 0, 512, 512, 0, 0, 0},
    {0, 511, 512, 600, 1, 0, 0},
    {511, 0, 800, 422, 1, 0, 90},
    {511, 421, 733, 600, 1, 290, 91},
    {511, 421, 733, 422, 1, 290, 90},
    {732, 421, 800, 600, 1, 290, 272},
    {732, 421, 800, 422, 1, 290, 271},
    {0, 0, 0, 0, 0, 0, 0},
};
const ZGraphicSpliceStruct kSplices1024x768[] = {
    {0, 0, 512, 512, 0, 0, 0},
    {512, 0, 1024, 512, 1, 0, 0},
    {0, 512, 512, 768, 2, 0, 0},
    {512, 512, 1024, 768, 3, 0, 0},
    {0, 0, 0, 0, 0, 0, 0},
};
// clang-format on

long copyList(const ZGraphicSpliceStruct* list, long count, ZGraphicSpliceStruct* out) {
    std::copy(list, list + count + 1, out);
    return count;
}

struct Point {
    float x;
    float y;
};

// One side of the clip rectangle: the points kept have their x (vertical line) or y at or
// beyond c, towards greater values or towards smaller ones.
struct ClipLine {
    bool vertical;
    bool keepGreater;
    float c;

    bool inside(const Point& p) const {
        float v = vertical ? p.x : p.y;
        return keepGreater ? v >= c : v <= c;
    }
    // Only called for an edge with one end inside and one outside, so the divisor is not 0.
    Point crossing(const Point& p, const Point& q) const {
        if (vertical) {
            return {c, p.y + (c - p.x) * (q.y - p.y) / (q.x - p.x)};
        }
        return {p.x + (c - p.y) * (q.x - p.x) / (q.y - p.y), c};
    }
};

ZGraphicHelperTriangle triangleOf(const Point& a, const Point& b, const Point& c) {
    return {a.x, a.y, b.x, b.y, c.x, c.y};
}

// Clips each triangle of in against one line; a triangle gives at most two, so capacity twice
// the input count always suffices, and nothing is written past it.
long clipStage(const ZGraphicHelperTriangle* in, long count, const ClipLine& line,
               ZGraphicHelperTriangle* out, long capacity) {
    long written = 0;
    for (long i = 0; i < count; i++) {
        const ZGraphicHelperTriangle& t = in[i];
        Point corners[3] = {{t.x1, t.y1}, {t.x2, t.y2}, {t.x3, t.y3}};
        // The clipped outline in the triangle's own order: 0, 3 or 4 points.
        Point outline[4];
        long points = 0;
        for (long k = 0; k < 3; k++) {
            const Point& p = corners[k];
            const Point& q = corners[(k + 1) % 3];
            bool pInside = line.inside(p);
            if (pInside) {
                outline[points++] = p;
            }
            if (pInside != line.inside(q)) {
                outline[points++] = line.crossing(p, q);
            }
        }
        for (long k = 1; k + 1 < points; k++) {
            if (written >= capacity) {
                return written;
            }
            out[written++] = triangleOf(outline[0], outline[k], outline[k + 1]);
        }
    }
    return written;
}

uint32_t averageOfFour(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF) + ((c >> shift) & 0xFF) +
                       ((d >> shift) & 0xFF);
        result |= (sum / 4) << shift;
    }
    return result;
}

}  // namespace

long ZGraphicHelper::splice(unsigned long width, unsigned long height, ZGraphicSpliceStruct* out) {
    if (out == nullptr) {
        return 0;
    }
    if (width == 800 && height == 600) {
        return copyList(kSplices800x600, 7, out);
    }
    if (width == 1024 && height == 768) {
        return copyList(kSplices1024x768, 4, out);
    }
    if (width <= static_cast<unsigned long>(LONG_MAX) &&
        height <= static_cast<unsigned long>(LONG_MAX) &&
        TextureCutter::createSplices(static_cast<long>(width), static_cast<long>(height))) {
        long count = TextureCutter::getSpliceCount();
        std::copy(TextureCutter::getSplices(), TextureCutter::getSplices() + count, out);
        return count;
    }
    out[0] = {0, 0, static_cast<float>(width), static_cast<float>(height), 0, 0, 0};
    return 1;
}

long ZGraphicHelper::getNonOverlappingSplices(long count, const ZGraphicSpliceStruct* splices,
                                              float width, float height,
                                              ZGraphicSpliceStruct* out) {
    // A graphic keeps at most kMaxSplices splices; more are not looked at.
    constexpr long kMaxSplices = TextureCutter::kMaxSplices;
    if (splices == nullptr || out == nullptr || count <= 0 || !(height > 0)) {
        return 0;
    }
    count = std::min(count, kMaxSplices);
    // Per splice, the bottom of the part already written.
    float writtenTo[kMaxSplices] = {};
    long written = 0;
    float y = 0;
    while (y < height) {
        float step = height + 1;
        float x = 0;
        while (x < width) {
            bool contained = false;
            for (long i = 0; i < count; i++) {
                const ZGraphicSpliceStruct& s = splices[i];
                if (!(s.x1 <= x && x < s.x2 && s.y1 <= y && y < s.y2)) {
                    continue;
                }
                contained = true;
                if (writtenTo[i] <= y) {
                    out[written++] = {
                        x, y, s.x2, s.y2, s.texture, s.x + (x - s.x1), s.y + (y - s.y1)};
                    writtenTo[i] = s.y2;
                }
                // A splice already written from here down still moves the walk past itself:
                // its rows below were given when it was first met.
                x = s.x2;
                step = std::min(step, s.y2 - y);
            }
            if (!contained) {
                break;
            }
        }
        if (!(step > 0)) {
            break;
        }
        y += step;
    }
    return written;
}

long ZGraphicHelper::clipTriangle(float x1, float y1, float x2, float y2, float x3, float y3,
                                  float clipX1, float clipY1, float clipX2, float clipY2,
                                  ZGraphicHelperTriangle* out) {
    if (out == nullptr) {
        return 0;
    }
    const ClipLine lines[4] = {
        {false, true, clipY1},
        {false, false, clipY2},
        {true, true, clipX1},
        {true, false, clipX2},
    };
    // Each stage at most doubles the count: 1, 2, 4, 8, then the 16 that out holds.
    ZGraphicHelperTriangle buffers[2][kMaxClippedTriangles];
    buffers[0][0] = {x1, y1, x2, y2, x3, y3};
    long count = 1;
    for (long stage = 0; stage < 4; stage++) {
        const ZGraphicHelperTriangle* in = buffers[stage % 2];
        ZGraphicHelperTriangle* next = stage == 3 ? out : buffers[(stage + 1) % 2];
        count = clipStage(in, count, lines[stage], next, kMaxClippedTriangles);
    }
    return count;
}

void ZGraphicHelper::interpolateTriPoint(float determinant, float ax, float ay, float bx, float by,
                                         float cx, float cy, float px, float py, float Ax, float Ay,
                                         float Bx, float By, float Cx, float Cy, float& outX,
                                         float& outY) {
    // A source triangle without area maps no point: out keeps what the caller put there.
    if (determinant == 0.0f) {
        return;
    }
    float wa = (bx * cy - by * cx + px * (by - cy) + py * (cx - bx)) / determinant;
    float wb = (cx * ay - cy * ax + px * (cy - ay) + py * (ax - cx)) / determinant;
    float wc = (ax * by - ay * bx + px * (ay - by) + py * (bx - ax)) / determinant;
    outX = wa * Ax + wb * Bx + wc * Cx;
    outY = wa * Ay + wb * By + wc * Cy;
}

void ZGraphicHelper::copyImageRect(const uint32_t* source, long sourceWidth, long sourceHeight,
                                   long x1, long y1, long x2, long y2, uint32_t* destination,
                                   long destWidth, long destHeight, long destX, long destY) {
    copyRect(source, nullptr, sourceWidth, sourceHeight, x1, y1, x2, y2, destination, destWidth,
             destHeight, destX, destY, false);
}

void ZGraphicHelper::copyImageRectWithBorder(const uint32_t* source, long sourceWidth,
                                             long sourceHeight, long x1, long y1, long x2, long y2,
                                             uint32_t* destination, long destWidth, long destHeight,
                                             long destX, long destY) {
    copyRect(source, nullptr, sourceWidth, sourceHeight, x1, y1, x2, y2, destination, destWidth,
             destHeight, destX, destY, true);
}

void ZGraphicHelper::copyAndCombineImageRect(const uint32_t* source, const uint32_t* alpha,
                                             long sourceWidth, long sourceHeight, long x1, long y1,
                                             long x2, long y2, uint32_t* destination,
                                             long destWidth, long destHeight, long destX,
                                             long destY) {
    if (alpha == nullptr) {
        return;
    }
    copyRect(source, alpha, sourceWidth, sourceHeight, x1, y1, x2, y2, destination, destWidth,
             destHeight, destX, destY, false);
}

void ZGraphicHelper::copyAndCombineImageRectWithBorder(const uint32_t* source,
                                                       const uint32_t* alpha, long sourceWidth,
                                                       long sourceHeight, long x1, long y1, long x2,
                                                       long y2, uint32_t* destination,
                                                       long destWidth, long destHeight, long destX,
                                                       long destY) {
    if (alpha == nullptr) {
        return;
    }
    copyRect(source, alpha, sourceWidth, sourceHeight, x1, y1, x2, y2, destination, destWidth,
             destHeight, destX, destY, true);
}

void ZGraphicHelper::copyRect(const uint32_t* source, const uint32_t* alpha, long sourceWidth,
                              long sourceHeight, long x1, long y1, long x2, long y2,
                              uint32_t* destination, long destWidth, long destHeight, long destX,
                              long destY, bool border) {
    constexpr long kBorder = 3;
    if (source == nullptr || destination == nullptr || sourceWidth <= 0 || sourceHeight <= 0 ||
        destWidth <= 0 || destHeight <= 0) {
        return;
    }
    // The part of the rectangle that exists in the source.
    long sx1 = std::max(x1, 0L);
    long sy1 = std::max(y1, 0L);
    long sx2 = std::min(x2, sourceWidth);
    long sy2 = std::min(y2, sourceHeight);
    if (sx1 >= sx2 || sy1 >= sy2) {
        return;
    }
    // Source pixel (x, y) lands on (x + offsetX, y + offsetY). An offset that overflows, or that
    // puts even the border outside the destination, writes nothing; past this check every sum
    // below stays within a few pixels of the two images.
    long offsetX = 0;
    long offsetY = 0;
    if (__builtin_sub_overflow(destX, x1, &offsetX) ||
        __builtin_sub_overflow(destY, y1, &offsetY) || offsetX >= destWidth + kBorder ||
        offsetY >= destHeight + kBorder || offsetX <= -sourceWidth - kBorder ||
        offsetY <= -sourceHeight - kBorder) {
        return;
    }

    auto pixel = [&](long x, long y) -> uint32_t {
        long index = y * sourceWidth + x;
        if (alpha == nullptr) {
            return source[index];
        }
        return (source[index] & 0x00FFFFFFu) | ((alpha[index] & 0x0000FF00u) << 16);
    };
    // Destination columns of the rectangle that lie inside the destination.
    long left = sx1 + offsetX;
    long top = sy1 + offsetY;
    long right = sx2 + offsetX;
    long bottom = sy2 + offsetY;
    long firstX = std::max(left, 0L);
    long endX = std::min(right, destWidth);
    long firstY = std::max(top, 0L);
    long endY = std::min(bottom, destHeight);
    // Destination row y takes source row sourceY across the rectangle's width.
    auto copyRow = [&](long y, long sourceY) {
        if (y < 0 || y >= destHeight) {
            return;
        }
        uint32_t* row = destination + y * destWidth;
        for (long x = firstX; x < endX; x++) {
            row[x] = pixel(x - offsetX, sourceY);
        }
    };
    // Destination column x takes source column sourceX down the rectangle's height.
    auto copyColumn = [&](long x, long sourceX) {
        if (x < 0 || x >= destWidth) {
            return;
        }
        for (long y = firstY; y < endY; y++) {
            destination[y * destWidth + x] = pixel(sourceX, y - offsetY);
        }
    };
    auto put = [&](long x, long y, uint32_t value) {
        if (x >= 0 && x < destWidth && y >= 0 && y < destHeight) {
            destination[y * destWidth + x] = value;
        }
    };

    for (long y = firstY; y < endY; y++) {
        copyRow(y, y - offsetY);
    }
    if (!border) {
        return;
    }
    for (long k = 1; k <= kBorder; k++) {
        copyRow(top - k, sy1);
    }
    put(left - 1, top - 1, pixel(sx1, sy1));
    put(right, top - 1, pixel(sx2 - 1, sy1));
    for (long k = 1; k <= kBorder; k++) {
        copyColumn(left - k, sx1);
    }
    for (long k = 0; k < kBorder; k++) {
        copyColumn(right + k, sx2 - 1);
    }
    for (long k = 0; k < kBorder; k++) {
        copyRow(bottom + k, sy2 - 1);
    }
    put(left - 1, bottom, pixel(sx1, sy2 - 1));
    put(right, bottom, pixel(sx2 - 1, sy2 - 1));
}

void ZGraphicHelper::halveImageBilinear(ZImage* image) {
    if (image == nullptr || image->getPixels() == nullptr || image->getImageWidth() <= 0 ||
        image->getImageHeight() <= 0) {
        return;
    }
    long width = image->getImageWidth();
    long height = image->getImageHeight();
    const uint32_t* pixels = image->getPixels();
    long newWidth = (width + 1) / 2;
    long newHeight = (height + 1) / 2;
    uint32_t* halved = new (std::nothrow) uint32_t[newWidth * newHeight];
    if (halved == nullptr) {
        return;
    }
    for (long j = 0; j < newHeight; j++) {
        const uint32_t* row0 = pixels + 2 * j * width;
        const uint32_t* row1 = pixels + std::min(2 * j + 1, height - 1) * width;
        for (long i = 0; i < newWidth; i++) {
            long x0 = 2 * i;
            long x1 = std::min(2 * i + 1, width - 1);
            halved[j * newWidth + i] = averageOfFour(row0[x0], row0[x1], row1[x0], row1[x1]);
        }
    }
    bool hasAlpha = image->hasAlphaChannel();
    bool greyscale = image->isGreyscale();
    bool hiQuality = image->isHiQuality();
    image->freeImage();
    image->setPixels(static_cast<unsigned long>(newWidth), static_cast<unsigned long>(newHeight),
                     hasAlpha, halved, greyscale, hiQuality);
}

void ZGraphicHelper::matrixBlitQuad(float x1, float y1, float x2, float y2, float dx1, float dy1,
                                    float dx2, float dy2, const ZMatrix* matrix, float angle,
                                    float zoomX, float zoomY, float shearX, float shearY,
                                    bool flipX, bool flipY, float centerX, float centerY,
                                    float source[8], float destination[8]) {
    float px = (x2 - x1) / 2 + centerX + dx1;
    float py = (y2 - y1) / 2 + centerY + dy1;
    // Built in GL space (y up) from the last operation back: the pivot moves to the origin first.
    ZMatrix transform = ZMatrix::applyTranslation2d(px, -py, matrix ? *matrix : ZMatrix());
    if (zoomX != 1 || zoomY != 1) transform = ZMatrix::applyScaling2d(zoomX, zoomY, transform);
    if (angle != 0) transform = ZMatrix::applyRotationZ(angle * (3.1415927f / 180.0f), transform);
    if (shearX != 0 || shearY != 0) transform = ZMatrix::applyShear2d(shearX, shearY, transform);
    transform = ZMatrix::applyTranslation2d(-px, py, transform);

    const ZVector2 corners[4] = {{dx1, -dy1}, {dx2, -dy1}, {dx2, -dy2}, {dx1, -dy2}};
    for (int i = 0; i < 4; i++) {
        ZVector2 d = transform.transform2(corners[i]);
        destination[i * 2] = d.x;
        destination[i * 2 + 1] = -d.y;
    }
    float left = flipX ? x2 : x1, right = flipX ? x1 : x2;
    float top = flipY ? y2 : y1, bottom = flipY ? y1 : y2;
    const float corner[8] = {left, top, right, top, right, bottom, left, bottom};
    for (int i = 0; i < 8; i++) source[i] = corner[i];
}
