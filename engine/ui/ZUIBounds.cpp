#include "ZUIBounds.h"

#include <algorithm>

namespace {

float clampUnit(float v) {
    return std::min(1.0f, std::max(0.0f, v));
}

}  // namespace

ZUIBounds::ZUIBounds(ZUIBounds* parent) : m_parent(parent) {
    if (parent) parent->m_children.addToTail(this);
}

ZUIBounds::~ZUIBounds() {
    if (m_parent) m_parent->m_children.remove(this);
    while (ZUIBounds* child = m_children.head) {
        m_children.remove(child);
        child->m_parent = nullptr;
        delete child;
    }
}

void ZUIBounds::setColor(float r, float g, float b, float a) {
    m_color[0] = clampUnit(r);
    m_color[1] = clampUnit(g);
    m_color[2] = clampUnit(b);
    m_color[3] = clampUnit(a);
}

void ZUIBounds::getColor(float* rgba) const {
    std::copy(m_color, m_color + 4, rgba);
}

ZUIBounds* ZUIBounds::getNextSibling() const {
    return m_parent ? ZList<ZUIBounds>::nextOf(this) : nullptr;
}

bool ZUIBounds::elemContains(const ZVector2& point) const {
    if (!m_elemShape.contains(point)) return false;
    if (!m_children.head) return true;
    for (const ZUIBounds* child : m_children)
        if (child->elemContains(point)) return true;
    return false;
}

bool ZUIBounds::elemIntersects(const ZPrimitive& shape) const {
    if (!m_elemShape.intersects(shape)) return false;
    if (!m_children.head) return true;
    for (const ZUIBounds* child : m_children)
        if (child->elemIntersects(shape)) return true;
    return false;
}

void ZUIBounds::transform(const ZMatrix& matrix) {
    for (ZUIBounds* child : m_children) child->transform(matrix);
    m_elemShape.transform(matrix, m_scrShape);
}

bool ZUIBounds::treeMatchesShape(const ZUIBounds* tree, const ZPrimitive& shape) {
    if (!tree->m_scrShape.intersects(shape)) return false;
    if (!tree->m_children.head) return true;
    for (const ZUIBounds* child : tree->m_children)
        if (treeMatchesShape(child, shape)) return true;
    return false;
}

bool ZUIBounds::scrIntersects(const ZUIBounds* other) const {
    if (!other || !treeMatchesShape(other, m_scrShape)) return false;
    if (!m_children.head) return true;
    for (const ZUIBounds* child : m_children)
        if (child->scrIntersects(other)) return true;
    return false;
}

void ZUIBounds::elemBlit(float r, float g, float b, float a) const {
    for (const ZUIBounds* child : m_children) child->elemBlit(r, g, b, a);
    m_elemShape.blit(m_color[0] * r, m_color[1] * g, m_color[2] * b, m_color[3] * a);
}
