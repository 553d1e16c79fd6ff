#pragma once

class ZGraphic;

// A material of a model: its texture files, how it draws and its texture once loaded.
struct ZModelMaterial {
    char name[256];
    char colorMap[260];  // colour texture file, empty for none
    char alphaMap[260];  // alpha mask file, empty for none
    bool twoSided;       // also drawn mirrored
    bool transparent;    // drawn after the opaque materials, without depth writes
    float color[3];
    bool textureOwned;  // the model made the texture and deletes it
    ZGraphic* texture;
};
