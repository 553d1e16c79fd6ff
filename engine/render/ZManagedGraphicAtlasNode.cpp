#include "ZManagedGraphicAtlasNode.h"

ZManagedGraphicAtlasNode::ZManagedGraphicAtlasNode(float x1, float y1, float x2, float y2)
    : rect{x1, y1, x2, y2} {}

ZManagedGraphicAtlasNode::~ZManagedGraphicAtlasNode() {
    delete firstChild;
    delete secondChild;
}
