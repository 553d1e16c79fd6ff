#pragma once

#include "ZModelHandler.h"

// Reads an MS3D model file (versions 3 and 4): vertices, triangles, groups, materials and the
// joint skeleton with its key frames; an animated file gives one frame of skinned positions per
// animation frame. Counts are checked against the bytes that remain; indices that point outside
// their tables are dropped with a warning.
class ZModelHandlerMs3d : public ZModelHandler {
public:
    // The reader's tables: a group lists at most this many triangles, a joint at most this many
    // keys of each kind; more is cut with a warning.
    static constexpr long kMaxGroupTriangles = 16384;
    static constexpr long kMaxKeys = 216;

    ZModelHandlerMs3d();
    ~ZModelHandlerMs3d() override;
    bool decode(const char* name, const unsigned char* data, long size, ZModel* model) override;
};
