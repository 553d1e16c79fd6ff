#include "TestGraphics.h"

#include <gtest/gtest.h>

#include "ZCore.h"

ZGraphic* TestGraphics::makeEmpty() {
    m_graphics.emplace_back(ZCore::createZGraphic());
    ZGraphic* graphic = m_graphics.back().get();
    EXPECT_NE(graphic, nullptr);
    if (graphic) graphic->setTextureQuality(false);
    return graphic;
}

ZGraphic* TestGraphics::make(const std::vector<uint32_t>& pixels, long width, long height,
                             bool alpha, bool splice, ZGraphicSpliceStruct* splices) {
    uint32_t* kept = keep(pixels);
    ZGraphic* graphic = makeEmpty();
    if (graphic) {
        EXPECT_TRUE(
            graphic->makePictureFromArray(kept, width, height, false, alpha, splice, splices));
    }
    return graphic;
}

uint32_t* TestGraphics::keep(const std::vector<uint32_t>& pixels) {
    m_arrays.push_back(pixels);
    return m_arrays.back().data();
}

void TestGraphics::clear() {
    m_graphics.clear();
    m_arrays.clear();
}
