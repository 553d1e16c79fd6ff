#include "ZManagedGraphic.h"

#include "ZManagedGraphicAtlasNode.h"

ZManagedGraphic::~ZManagedGraphic() {
    delete[] hitMask;
    delete atlasRoot;
}
