#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "ZGraphic.h"

// Graphics for drawing tests, made through the engine's factory with nearest filtering, and the
// pixel arrays they were made from (a graphic keeps its array for pollArray, so the arrays live
// as long as the graphics).
class TestGraphics {
public:
    ZGraphic* makeEmpty();
    ZGraphic* make(const std::vector<uint32_t>& pixels, long width, long height, bool alpha,
                   bool splice = false, ZGraphicSpliceStruct* splices = nullptr);
    // A copy of the pixels that lives as long as the graphics.
    uint32_t* keep(const std::vector<uint32_t>& pixels);
    void clear();

private:
    std::list<std::vector<uint32_t>> m_arrays;
    std::vector<std::unique_ptr<ZGraphic>> m_graphics;
};
