#pragma once

#include "ZObjectBase.h"

class ZModel;

// A model file reader: fills the model's counts, frames, triangles and materials from the data.
class ZModelHandler : public ZObjectBase {
public:
    ~ZModelHandler() override = default;
    virtual bool decode(const char* name, const unsigned char* data, long size, ZModel* model) = 0;
};
