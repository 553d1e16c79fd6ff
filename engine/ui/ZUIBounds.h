#pragma once
#include "ZList.h"
#include "ZObjectListable.h"
#include "ZPrimitive.h"

class ZMatrix;

// A tree of hit shapes under an element. Each node keeps its shape in element space and the same
// shape mapped to the screen; children refine their parent: a node matches only when its own
// shape matches and, if it has children, one of them matches too.
class ZUIBounds : public ZObjectListable {
public:
    explicit ZUIBounds(ZUIBounds* parent = nullptr);
    ~ZUIBounds() override;
    ZUIBounds(const ZUIBounds&) = delete;
    ZUIBounds& operator=(const ZUIBounds&) = delete;

    int32_t getType() const { return m_elemShape.type; }
    void setColor(float r, float g, float b, float a);
    void getColor(float* rgba) const;
    void setRect(float x1, float y1, float x2, float y2) { m_elemShape.setRect(x1, y1, x2, y2); }
    void setCircle(float x, float y, float radius) { m_elemShape.setCircle(x, y, radius); }
    void setRing(float x, float y, float outerRadius, float innerRadius) {
        m_elemShape.setRing(x, y, outerRadius, innerRadius);
    }
    void setInfinity() { m_elemShape.setInfinity(); }
    void setPoly(long count, const ZVector2* points) { m_elemShape.setPoly(count, points); }

    ZUIBounds* getParent() const { return m_parent; }
    ZUIBounds* getFirstChild() const { return m_children.head; }
    ZUIBounds* getNextSibling() const;
    const ZPrimitive& getElemShape() const { return m_elemShape; }
    const ZPrimitive& getScrShape() const { return m_scrShape; }

    bool elemContains(const ZVector2& point) const;
    bool elemIntersects(const ZPrimitive& shape) const;
    // Children first, then this node: the screen shapes become the element shapes mapped
    // through the matrix.
    void transform(const ZMatrix& matrix);
    // Whether the whole other tree matches this tree's screen shapes.
    bool scrIntersects(const ZUIBounds* other) const;
    // Children first, then this node's element shape, in its colour times (r, g, b, a).
    void elemBlit(float r, float g, float b, float a) const;

private:
    // The other tree matches one screen shape: its node does and, with children, one child does.
    static bool treeMatchesShape(const ZUIBounds* tree, const ZPrimitive& shape);

    ZPrimitive m_elemShape;
    ZPrimitive m_scrShape;
    ZUIBounds* m_parent = nullptr;
    float m_color[4] = {1, 1, 1, 1};
    ZList<ZUIBounds> m_children;
};
