#pragma once

#include "ZObjectListable.h"

// A pixel shader: an ARB fragment program applied to everything drawn while it is set. Made only
// through ZCore::createZPixelShader.
class ZPixelShader : public ZObjectListable {
public:
    ~ZPixelShader() override = default;

    virtual bool loadPixelShader(const char* path) = 0;
    virtual bool loadPixelShaderFromPtr(const char* text, unsigned long size) = 0;
    virtual void freePixelShader() = 0;
    // Program-local parameter index (0 to 6) of four floats.
    virtual void setPixelShaderParam(long index, float* values) = 0;
};
