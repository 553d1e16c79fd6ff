#pragma once

#include <string>

#include "FakeWindow.h"
#include "RecordingLog.h"
#include "ZMatrix.h"

// The fake window, also writing the drawing state it is given to the recording log: world
// matrices by their translation, clip rectangles, stencil and shader calls.
class RecordingWindow : public FakeWindow {
public:
    void setWorldMatrix(ZMatrix* m) override {
        RecordingLog::add("world " + RecordingLog::numbers({m->m[12], -m->m[13]}));
    }
    void setClipRect(bool enable, float x1, float y1, float x2, float y2) override {
        RecordingLog::add(enable ? "clip " + RecordingLog::numbers({x1, y1, x2, y2}) : "clip off");
    }
    void beginStencil(bool first, bool write, float value, bool flag) override {
        RecordingLog::add(std::string("stencil ") + (first ? "first " : "") +
                          (write ? "write " : "test ") + std::to_string(value) +
                          (flag ? " flag" : ""));
    }
    void endStencil() override { RecordingLog::add("stencil end"); }
    void setPixelShader(ZPixelShader* shader) override {
        RecordingLog::add(shader ? "shader on" : "shader off");
    }
    void setPixelShaderParam(long index, float* v) override {
        RecordingLog::add("shader param " + std::to_string(index) + " " +
                          RecordingLog::numbers({v[0], v[1], v[2], v[3]}));
    }
};
