#pragma once

#include "ZObjectBase.h"
#include "ZRectangle.h"

class ZManagedGraphic;

// One node of an atlas page's packing tree, in page pixels. A leaf is free or holds one graphic
// entry; an inner node has both children, which split its rectangle. Deleting a node deletes
// its subtree, children first; the entries are not its own.
class ZManagedGraphicAtlasNode : public ZObjectBase {
public:
    ZManagedGraphicAtlasNode(float x1, float y1, float x2, float y2);
    ~ZManagedGraphicAtlasNode() override;
    ZManagedGraphicAtlasNode(const ZManagedGraphicAtlasNode&) = delete;
    ZManagedGraphicAtlasNode& operator=(const ZManagedGraphicAtlasNode&) = delete;

    ZManagedGraphicAtlasNode* firstChild = nullptr;
    ZManagedGraphicAtlasNode* secondChild = nullptr;
    ZRectangle rect;
    ZManagedGraphic* entry = nullptr;
};
