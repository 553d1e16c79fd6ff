#pragma once

#include <cstdint>

#include "ZGraphicHelperTriangle.h"
#include "ZGraphicSpliceStruct.h"

class ZImage;
class ZMatrix;

// Pixel helpers of the texture upload and the spliced blits: the splice list of a large picture,
// rectangle copies with and without a replicated border, the copies that take alpha from a second
// image, triangle clipping and point mapping for the arbitrary-quad blit, and a 2 x 2 downscale.
// Pixels are 32-bit values whose bytes are R, G, B, A; rows are width pixels apart.
class ZGraphicHelper {
public:
    static constexpr long kMaxClippedTriangles = 16;

    // Writes the splices of a width x height picture to out (room for 32; the built-in lists of
    // 800 x 600 and 1024 x 768 also write an all-zero record after their last splice) and returns
    // their count. When no cut is found: one splice of the whole picture into texture 0.
    static long splice(unsigned long width, unsigned long height, ZGraphicSpliceStruct* out);

    // Turns a splice list whose source rectangles overlap into rectangles that do not, for
    // drawing; each splice gives at most one. Returns the number written to out.
    static long getNonOverlappingSplices(long count, const ZGraphicSpliceStruct* splices,
                                         float width, float height, ZGraphicSpliceStruct* out);

    // Clips a triangle against the rectangle (x1, y1) - (x2, y2), edges included; writes at most
    // 16 triangles to out and returns their count.
    static long clipTriangle(float x1, float y1, float x2, float y2, float x3, float y3,
                             float clipX1, float clipY1, float clipX2, float clipY2,
                             ZGraphicHelperTriangle* out);

    // Maps point p of the source triangle (a, b, c) to the target triangle (A, B, C) by its
    // barycentric weights. determinant is twice the signed area of the source triangle:
    // bx*cy - by*cx + ax*(by - cy) + ay*(cx - bx). A degenerate source triangle (determinant 0)
    // has no such map: out is then left unchanged.
    static void interpolateTriPoint(float determinant, float ax, float ay, float bx, float by,
                                    float cx, float cy, float px, float py, float Ax, float Ay,
                                    float Bx, float By, float Cx, float Cy, float& outX,
                                    float& outY);

    // The quad of a matrix blit: the source rectangle (x1, y1) - (x2, y2) drawn to (dx1, dy1) -
    // (dx2, dy2) and transformed about its centre moved by (centerX, centerY), by the matrix
    // (null: none), the zoom, the angle in degrees and the shear, applied in that order from the
    // last. Writes the source corners (flipped as asked) and the destination corners as x, y
    // pairs from the top left, clockwise: the arguments of the arbitrary-quad blit.
    static void matrixBlitQuad(float x1, float y1, float x2, float y2, float dx1, float dy1,
                               float dx2, float dy2, const ZMatrix* matrix, float angle,
                               float zoomX, float zoomY, float shearX, float shearY, bool flipX,
                               bool flipY, float centerX, float centerY, float source[8],
                               float destination[8]);

    // Copy the source rectangle (x1, y1) - (x2, y2), x2 and y2 exclusive, so that (x1, y1) lands
    // on (destX, destY). Only pixels inside both images are read or written: a rectangle or
    // position that reaches outside either image is clipped, each pixel keeping its place.
    static void copyImageRect(const uint32_t* source, long sourceWidth, long sourceHeight, long x1,
                              long y1, long x2, long y2, uint32_t* destination, long destWidth,
                              long destHeight, long destX, long destY);
    // The same, the copied rectangle then surrounded by three pixels repeating its edges (above,
    // below, left, right) and one corner pixel at each corner, clipped to the destination.
    static void copyImageRectWithBorder(const uint32_t* source, long sourceWidth, long sourceHeight,
                                        long x1, long y1, long x2, long y2, uint32_t* destination,
                                        long destWidth, long destHeight, long destX, long destY);
    // As the two above, every written pixel taking R, G, B from source and A from the G byte of
    // alpha, an image of the same size.
    static void copyAndCombineImageRect(const uint32_t* source, const uint32_t* alpha,
                                        long sourceWidth, long sourceHeight, long x1, long y1,
                                        long x2, long y2, uint32_t* destination, long destWidth,
                                        long destHeight, long destX, long destY);
    static void copyAndCombineImageRectWithBorder(const uint32_t* source, const uint32_t* alpha,
                                                  long sourceWidth, long sourceHeight, long x1,
                                                  long y1, long x2, long y2, uint32_t* destination,
                                                  long destWidth, long destHeight, long destX,
                                                  long destY);

    // Halves the image to ((width + 1) / 2, (height + 1) / 2), each pixel the per-channel average
    // of a 2 x 2 block (the last column and row repeated where the block passes the edge). An
    // image without pixels is left alone.
    static void halveImageBilinear(ZImage* image);

    // The four copies above in one: alpha null copies source as it is, border adds the edges.
    static void copyRect(const uint32_t* source, const uint32_t* alpha, long sourceWidth,
                         long sourceHeight, long x1, long y1, long x2, long y2,
                         uint32_t* destination, long destWidth, long destHeight, long destX,
                         long destY, bool border);
};
