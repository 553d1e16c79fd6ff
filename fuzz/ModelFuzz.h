#pragma once

// The harness that the model fuzz targets share. Each target is one source file that includes
// this header once: it decodes the input as a model of its format without rendering work, then
// traps when the model breaks the container's rules (every index inside its table, every frame's
// arrays of the model's sizes), and orders the triangles for drawing.
#include <cstddef>
#include <cstdint>

#include "ZModel.h"

inline bool modelKeepsItsRules(const ZModel& model) {
    long vertices = model.getVertexCount(), triangles = model.getTriangleCount();
    long materials = model.getMaterialCount();
    if (model.getFrameCount() < 0 || model.getFrameCount() > ZModel::kMaxFrames) return false;
    if (triangles > 0 && materials < 1) return false;
    for (long f = 0; f < model.getFrameCount(); f++) {
        const ZModelFrame* frame = model.getFrame(f);
        if (static_cast<long>(frame->positions.size()) != vertices ||
            static_cast<long>(frame->cornerNormals.size()) != triangles * 3)
            return false;
        for (const auto& set : frame->smoothed)
            if (static_cast<long>(set.size()) != vertices) return false;
    }
    for (long t = 0; t < triangles; t++) {
        const ZModelTriangle* triangle = model.getTriangle(t);
        if (triangle->normalSet < 0 || triangle->normalSet > 3 || triangle->material < 0 ||
            triangle->material >= materials)
            return false;
        for (int64_t vertex : triangle->vertex)
            if (vertex < 0 || vertex >= vertices) return false;
    }
    return true;
}

inline int fuzzModel(const char* name, const uint8_t* data, size_t size) {
    ZModel model;
    if (!model.loadModelFromPtr(name, data, static_cast<long>(size), 1)) return 0;
    if (!modelKeepsItsRules(model)) __builtin_trap();
    long triangles = model.getTriangleCount();
    model.sortTriangles();
    if (!modelKeepsItsRules(model) || model.getTriangleCount() < triangles) __builtin_trap();
    long covered = 0;
    for (long r = 0; r < model.getRunCount(); r++) {
        const ZModelRun* run = model.getRun(r);
        if (run->first != covered || run->count <= 0) __builtin_trap();
        covered += run->count;
    }
    if (covered != model.getTriangleCount() * 3) __builtin_trap();
    return 0;
}
