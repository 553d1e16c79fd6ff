#include <gtest/gtest.h>

#include <string>

#include "ZTextureSize.h"

namespace {

TEST(ZTextureSizeTest, PowerOfTwo) {
    const long cases[][2] = {{-5, 1}, {0, 1},   {1, 1},    {2, 2},
                             {3, 4},  {64, 64}, {65, 128}, {1000, 1024}};
    for (const auto& c : cases) EXPECT_EQ(ZTextureSize::powerOfTwo(c[0]), c[1]) << c[0];
}

TEST(ZTextureSizeTest, PictureAndSpliceTextures) {
    struct Case {
        bool splices;
        long width, height;
        bool rectangles, mipmapsOrWrap;
        long textureWidth, textureHeight;
        GLenum target;
    } cases[] = {
        {false, 300, 200, true, false, 512, 256, GL_TEXTURE_RECTANGLE_ARB},
        {false, 200, 200, true, false, 256, 256, GL_TEXTURE_2D},
        {false, 1, 100, true, false, 1, 128, GL_TEXTURE_RECTANGLE_ARB},
        {false, 300, 200, false, false, 512, 512, GL_TEXTURE_2D},
        {false, 200, 200, false, false, 256, 256, GL_TEXTURE_2D},
        {false, 0, 0, true, false, 1, 1, GL_TEXTURE_2D},
        // Rectangle textures can neither mip-map nor wrap: a square 2D texture instead.
        {false, 300, 200, true, true, 512, 512, GL_TEXTURE_2D},
        {true, 10, 100, true, false, 64, 128, GL_TEXTURE_RECTANGLE_ARB},
        {true, 10, 10, true, false, 64, 64, GL_TEXTURE_2D},
        {true, 10, 100, false, false, 128, 128, GL_TEXTURE_2D},
        {true, 10, 100, true, true, 128, 128, GL_TEXTURE_2D},
        {true, 0, 0, false, false, 64, 64, GL_TEXTURE_2D},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.splices ? "splices " : "picture ") + std::to_string(c.width) +
                     "x" + std::to_string(c.height) + (c.rectangles ? " rect" : "") +
                     (c.mipmapsOrWrap ? " mip/wrap" : ""));
        ZTextureSize size =
            c.splices ? ZTextureSize::forSplices(c.width, c.height, c.rectangles, c.mipmapsOrWrap)
                      : ZTextureSize::forPicture(c.width, c.height, c.rectangles, c.mipmapsOrWrap);
        EXPECT_EQ(size.width, c.textureWidth);
        EXPECT_EQ(size.height, c.textureHeight);
        EXPECT_EQ(size.target, c.target);
    }
}

}  // namespace
