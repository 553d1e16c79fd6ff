#pragma once

#include "ZModelHandler.h"

// Reads a 3DS chunk file: all its triangle meshes joined into one, their materials, and,
// with a keyframer section, one frame of positions per animation frame from the node hierarchy's
// position, rotation and scale tracks. Chunks it does not take are skipped by their lengths; a
// chunk that runs past its parent ends the reading of that parent.
class ZModelHandler3ds : public ZModelHandler {
public:
    ZModelHandler3ds();
    ~ZModelHandler3ds() override;
    bool decode(const char* name, const unsigned char* data, long size, ZModel* model) override;

private:
    struct State;
    State* m_state = nullptr;
};
