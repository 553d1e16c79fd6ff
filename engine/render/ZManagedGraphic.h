#pragma once

#include <cstdint>

#include "ZGraphic.h"
#include "ZManagedEntry.h"
#include "ZRectangle.h"

class ZManagedGraphicAtlasNode;

// An entry of the graphic cache: a cached graphic with the flags it was decoded with, or an atlas
// page ("__atlas__@@") whose graphic is the texture that the graphics placed in it share. The
// entry owns its hit mask and, for a page, the packing tree; deleting it frees both, never the
// graphic.
class ZManagedGraphic : public ZManagedEntry<ZGraphic> {
public:
    ZManagedGraphic() = default;
    ~ZManagedGraphic() override;

    // Passed to the graphic's loads in both phases.
    bool highQuality = false;
    bool alpha = false;
    bool splice = false;
    // Decoded from a colour file and a separate alpha file.
    bool maskPair = false;
    bool uploaded = false;
    // The page whose texture holds this graphic, the graphic's place in it and the tree node
    // that holds it.
    ZManagedGraphic* atlasPage = nullptr;
    ZRectangle atlasRect = {0, 0, 0, 0};
    ZManagedGraphicAtlasNode* atlasNode = nullptr;
    int64_t alphaThreshold = 0;
    // One bit per pixel, rows from the top, least significant bit first; null for none.
    unsigned char* hitMask = nullptr;

    // Pages only: the packing tree (general atlas), whether the page is still on the open
    // atlas's page list rather than in the cache, and the number of graphics in it as count.
    ZManagedGraphicAtlasNode* atlasRoot = nullptr;
    bool isPage = false;
    bool inOpenAtlas = false;
};
