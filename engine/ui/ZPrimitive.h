#pragma once
#include <cstdint>

#include "ZRectangle.h"
#include "ZVector2.h"

class ZMatrix;

enum ZPrimitiveType : int32_t {
    ZPrimitiveNone = 0,
    ZPrimitiveRect = 1,
    ZPrimitiveCircle = 2,
    ZPrimitiveRing = 3,
    ZPrimitivePoly = 4,
    ZPrimitiveInfinity = 5,
};

// One 2D hit shape. Only the fields of the current type mean anything; the polygon's points are
// owned and freed when the shape becomes another type.
struct ZPrimitive {
    int32_t type = ZPrimitiveNone;
    ZRectangle rect = {0, 0, 0, 0};
    float circleX = 0, circleY = 0, circleRadius = 0;
    float ringX = 0, ringY = 0, ringOuterRadius = 0, ringInnerRadius = 0;
    int64_t pointCount = 0;
    ZVector2* points = nullptr;

    ZPrimitive() = default;
    ~ZPrimitive() { freePoints(); }
    // A copy would share the owned points.
    ZPrimitive(const ZPrimitive&) = delete;
    ZPrimitive& operator=(const ZPrimitive&) = delete;

    void setRect(float x1, float y1, float x2, float y2);
    void setCircle(float x, float y, float radius);
    void setRing(float x, float y, float outerRadius, float innerRadius);
    void setInfinity();
    void setNone();
    // Copies the points; a polygon of the same count keeps its buffer.
    void setPoly(int64_t count, const ZVector2* source);

    bool contains(const ZVector2& p) const;
    bool intersects(const ZPrimitive& other) const;
    // out = this shape mapped through the matrix in the y-up space of the element tree.
    void transform(const ZMatrix& matrix, ZPrimitive& out) const;
    ZRectangle getBoundingBox() const;
    // Debug outline with the element tree's shared box graphic and batch.
    void blit(float r, float g, float b, float a) const;

private:
    void freePoints();
    // Makes room for count points, keeping the buffer when the count is the same.
    void reservePoints(int64_t count);
};
