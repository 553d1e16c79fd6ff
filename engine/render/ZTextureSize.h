#pragma once

#include "ZGLExtensions.h"

// The size and target of a texture that must hold a picture (or the pieces of a spliced one).
// Sides are powers of two; a rectangle texture is used where the driver has them and the sides
// differ, but never when mip-maps or wrapping are wanted, which rectangle textures cannot do.
class ZTextureSize {
public:
    long width = 1;
    long height = 1;
    GLenum target = GL_TEXTURE_2D;

    // The smallest power of two at or above n; 1 for n below 1.
    static long powerOfTwo(long n);

    // A texture for a whole picture (and for atlases and render targets): with usable rectangle
    // textures each side rounded up on its own, else a square of the larger side.
    static ZTextureSize forPicture(long width, long height, bool rectangleSupport,
                                   bool mipmapsOrWrap);
    // A texture for the splices of a picture: as forPicture, but no side below 64.
    static ZTextureSize forSplices(long neededWidth, long neededHeight, bool rectangleSupport,
                                   bool mipmapsOrWrap);
};
