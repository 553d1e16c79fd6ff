#include "ZPrimitive.h"

#include <cmath>
#include <utility>

#include "ZBatch.h"
#include "ZCircle.h"
#include "ZGraphic.h"
#include "ZMatrix.h"
#include "ZPolygon.h"
#include "ZRing.h"
#include "ZUIElement.h"

namespace {

const float kCircleStep = 0.17453294f;
const float kFullTurn = 6.2831855f;

ZCircle circleOf(const ZPrimitive& p) {
    return {p.circleX, p.circleY, p.circleRadius};
}

ZRing ringOf(const ZPrimitive& p) {
    return {p.ringX, p.ringY, p.ringOuterRadius, p.ringInnerRadius};
}

ZPolygon polygonOf(const ZPrimitive& p) {
    return {static_cast<long>(p.pointCount), p.points};
}

float distance(float x1, float y1, float x2, float y2) {
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}

// The matrices of the tree work with y pointing up. The tree's matrices are affine, where the
// division by w (1) changes nothing and is left out.
ZVector2 mapPoint(const ZMatrix& m, float x, float y) {
    if (m.m[3] == 0 && m.m[7] == 0 && m.m[15] == 1)
        return {x * m.m[0] + -y * m.m[4] + m.m[12], -(x * m.m[1] + -y * m.m[5] + m.m[13])};
    ZVector2 out = m.transform2(ZVector2{x, -y});
    return {out.x, -out.y};
}

// Line segments round a circle, added to the open batch.
void circleLines(ZBatch* batch, float cx, float cy, float radius, float r, float g, float b,
                 float a) {
    for (float angle = 0; angle < kFullTurn; angle += kCircleStep) {
        float next = angle + kCircleStep;
        batch->drawLine(cx + radius * std::cos(angle), cy + radius * std::sin(angle),
                        cx + radius * std::cos(next), cy + radius * std::sin(next), r, g, b, a);
    }
}

}  // namespace

void ZPrimitive::freePoints() {
    delete[] points;
    points = nullptr;
    pointCount = 0;
}

void ZPrimitive::reservePoints(int64_t count) {
    if (count < 0) count = 0;
    if (points && pointCount == count) return;
    freePoints();
    if (count > 0) points = new ZVector2[count];
    pointCount = count;
}

void ZPrimitive::setRect(float x1, float y1, float x2, float y2) {
    freePoints();
    type = ZPrimitiveRect;
    rect = {x1, y1, x2, y2};
}

void ZPrimitive::setCircle(float x, float y, float radius) {
    freePoints();
    type = ZPrimitiveCircle;
    circleX = x;
    circleY = y;
    circleRadius = radius;
}

void ZPrimitive::setRing(float x, float y, float outerRadius, float innerRadius) {
    freePoints();
    type = ZPrimitiveRing;
    ringX = x;
    ringY = y;
    ringOuterRadius = outerRadius;
    ringInnerRadius = innerRadius;
}

void ZPrimitive::setInfinity() {
    freePoints();
    type = ZPrimitiveInfinity;
}

void ZPrimitive::setNone() {
    freePoints();
    type = ZPrimitiveNone;
}

void ZPrimitive::setPoly(int64_t count, const ZVector2* source) {
    if (type != ZPrimitivePoly) freePoints();
    type = ZPrimitivePoly;
    if (!source) count = 0;
    reservePoints(count);
    for (int64_t i = 0; i < pointCount; i++) points[i] = source[i];
}

bool ZPrimitive::contains(const ZVector2& p) const {
    switch (type) {
        case ZPrimitiveRect:
            return rect.x1 <= p.x && p.x < rect.x2 && rect.y1 <= p.y && p.y < rect.y2;
        case ZPrimitiveCircle:
            return circleOf(*this).holdsOffset(p.x - circleX, p.y - circleY);
        case ZPrimitiveRing: {
            float dx = p.x - ringX, dy = p.y - ringY;
            float d2 = dx * dx + dy * dy;
            return ringInnerRadius * ringInnerRadius <= d2 &&
                   d2 <= ringOuterRadius * ringOuterRadius;
        }
        case ZPrimitivePoly:
            return polygonOf(*this).contains(p);
        case ZPrimitiveInfinity:
            return true;
        default:
            return false;
    }
}

bool ZPrimitive::intersects(const ZPrimitive& other) const {
    if (type == ZPrimitiveInfinity || other.type == ZPrimitiveInfinity) return true;
    if (type == ZPrimitiveNone || other.type == ZPrimitiveNone) return false;
    // Every pair is symmetric: order the two so that a.type <= b.type.
    const ZPrimitive* a = this;
    const ZPrimitive* b = &other;
    if (a->type > b->type) std::swap(a, b);
    switch (a->type * 8 + b->type) {
        case ZPrimitiveRect * 8 + ZPrimitiveRect:
            return !(b->rect.x1 >= a->rect.x2 || b->rect.y1 >= a->rect.y2 ||
                     a->rect.x1 >= b->rect.x2 || a->rect.y1 >= b->rect.y2);
        case ZPrimitiveRect * 8 + ZPrimitiveCircle:
            return circleOf(*b).intersects(a->rect);
        case ZPrimitiveRect * 8 + ZPrimitiveRing:
            return ringOf(*b).intersects(a->rect);
        case ZPrimitiveRect * 8 + ZPrimitivePoly:
            return polygonOf(*b).intersects(a->rect);
        case ZPrimitiveCircle * 8 + ZPrimitiveCircle: {
            float sum = a->circleRadius + b->circleRadius;
            float dx = a->circleX - b->circleX, dy = a->circleY - b->circleY;
            return sum * sum > dx * dx + dy * dy;
        }
        case ZPrimitiveCircle * 8 + ZPrimitiveRing: {
            float d = distance(a->circleX, a->circleY, b->ringX, b->ringY);
            return d + a->circleRadius > b->ringInnerRadius &&
                   a->circleRadius + b->ringOuterRadius > d;
        }
        case ZPrimitiveCircle * 8 + ZPrimitivePoly:
            return polygonOf(*b).intersects(circleOf(*a));
        case ZPrimitiveRing * 8 + ZPrimitiveRing: {
            // The first ring is this one, as the pair is asymmetric in its radii.
            const ZPrimitive& first = *this;
            const ZPrimitive& second = other;
            float d = distance(first.ringX, first.ringY, second.ringX, second.ringY);
            return d + second.ringOuterRadius > first.ringInnerRadius &&
                   first.ringOuterRadius + second.ringOuterRadius > d;
        }
        case ZPrimitiveRing * 8 + ZPrimitivePoly:
            return polygonOf(*b).intersects(ringOf(*a));
        case ZPrimitivePoly * 8 + ZPrimitivePoly:
            return polygonOf(*a).intersects(polygonOf(*b));
        default:
            return false;
    }
}

void ZPrimitive::transform(const ZMatrix& matrix, ZPrimitive& out) const {
    switch (type) {
        case ZPrimitiveRect: {
            if (out.type != ZPrimitivePoly) out.freePoints();
            out.type = ZPrimitivePoly;
            out.reservePoints(4);
            const float* m = matrix.m;
            if (m[3] == 0 && m[7] == 0 && m[15] == 1) {
                // The corners share their products: the same sums as mapPoint's, computed once.
                float ax1 = rect.x1 * m[0], ax2 = rect.x2 * m[0];
                float bx1 = rect.x1 * m[1], bx2 = rect.x2 * m[1];
                float ay1 = -rect.y1 * m[4], ay2 = -rect.y2 * m[4];
                float by1 = -rect.y1 * m[5], by2 = -rect.y2 * m[5];
                out.points[0] = {ax1 + ay1 + m[12], -(bx1 + by1 + m[13])};
                out.points[1] = {ax2 + ay1 + m[12], -(bx2 + by1 + m[13])};
                out.points[2] = {ax2 + ay2 + m[12], -(bx2 + by2 + m[13])};
                out.points[3] = {ax1 + ay2 + m[12], -(bx1 + by2 + m[13])};
                break;
            }
            out.points[0] = mapPoint(matrix, rect.x1, rect.y1);
            out.points[1] = mapPoint(matrix, rect.x2, rect.y1);
            out.points[2] = mapPoint(matrix, rect.x2, rect.y2);
            out.points[3] = mapPoint(matrix, rect.x1, rect.y2);
            break;
        }
        case ZPrimitiveCircle: {
            ZVector2 c = mapPoint(matrix, circleX, circleY);
            ZVector2 e = mapPoint(matrix, circleX + circleRadius, circleY);
            out.setCircle(c.x, c.y, distance(c.x, c.y, e.x, e.y));
            break;
        }
        case ZPrimitiveRing: {
            ZVector2 c = mapPoint(matrix, ringX, ringY);
            ZVector2 outer = mapPoint(matrix, ringX + ringOuterRadius, ringY);
            ZVector2 inner = mapPoint(matrix, ringX + ringInnerRadius, ringY);
            out.setRing(c.x, c.y, distance(c.x, c.y, outer.x, outer.y),
                        distance(c.x, c.y, inner.x, inner.y));
            break;
        }
        case ZPrimitivePoly: {
            if (out.type != ZPrimitivePoly) out.freePoints();
            out.type = ZPrimitivePoly;
            out.reservePoints(pointCount);
            for (int64_t i = 0; i < pointCount; i++)
                out.points[i] = mapPoint(matrix, points[i].x, points[i].y);
            break;
        }
        case ZPrimitiveInfinity:
            out.setInfinity();
            break;
        default:
            out.setNone();
            break;
    }
}

ZRectangle ZPrimitive::getBoundingBox() const {
    switch (type) {
        case ZPrimitiveRect:
            return rect;
        case ZPrimitiveCircle:
            return {circleX - circleRadius, circleY - circleRadius, circleX + circleRadius,
                    circleY + circleRadius};
        case ZPrimitiveRing:
            return {ringX - ringOuterRadius, ringY - ringOuterRadius, ringX + ringOuterRadius,
                    ringY + ringOuterRadius};
        case ZPrimitivePoly: {
            if (pointCount <= 0) return {0, 0, 0, 0};
            ZRectangle box = {points[0].x, points[0].y, points[0].x, points[0].y};
            for (int64_t i = 1; i < pointCount; i++) {
                const ZVector2& p = points[i];
                if (p.x < box.x1) box.x1 = p.x;
                if (p.y < box.y1) box.y1 = p.y;
                if (p.x > box.x2) box.x2 = p.x;
                if (p.y > box.y2) box.y2 = p.y;
            }
            return box;
        }
        default:
            return {0, 0, 0, 0};
    }
}

void ZPrimitive::blit(float r, float g, float b, float a) const {
    ZGraphic* box = ZUIElement::getBoxGraphic();
    ZBatch* batch = ZUIElement::getBatch();
    if (!box) return;
    switch (type) {
        case ZPrimitiveRect:
            box->drawLine(rect.x1, rect.y1, rect.x2, rect.y1, r, g, b, a);
            box->drawLine(rect.x2, rect.y1, rect.x2, rect.y2, r, g, b, a);
            box->drawLine(rect.x2, rect.y2, rect.x1, rect.y2, r, g, b, a);
            box->drawLine(rect.x1, rect.y2, rect.x1, rect.y1, r, g, b, a);
            break;
        case ZPrimitiveCircle:
            if (!batch) return;
            batch->beginBatch(box);
            circleLines(batch, circleX, circleY, circleRadius, r, g, b, a);
            batch->endBatch();
            break;
        case ZPrimitiveRing:
            if (!batch) return;
            batch->beginBatch(box);
            circleLines(batch, ringX, ringY, ringInnerRadius, r * 0.5f, g * 0.5f, b * 0.5f, a);
            circleLines(batch, ringX, ringY, ringOuterRadius, r, g, b, a);
            batch->endBatch();
            break;
        case ZPrimitivePoly:
            if (pointCount <= 0) return;
            if (batch) batch->beginBatch(box);
            for (int64_t i = 0; i < pointCount; i++) {
                const ZVector2& p = points[i];
                const ZVector2& q = points[(i + 1) % pointCount];
                box->drawLine(p.x, p.y, q.x, q.y, r, g, b, a);
            }
            if (batch) batch->endBatch();
            break;
        default:
            break;
    }
}
