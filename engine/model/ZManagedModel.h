#pragma once

#include "ZManagedEntry.h"
#include "ZModel.h"

// An entry of the model cache: a decoded model under its lower-cased name, with what its upload
// needs.
class ZManagedModel : public ZManagedEntry<ZModel> {
public:
    char path[kNameSize] = {0};
    char textureFolder[kNameSize] = {0};
    bool uploaded = false;
};
