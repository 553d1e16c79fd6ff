#pragma once

#include "ZVector2.h"

class ZGraphic;
class ZUIBounds;

// One frame of an image element: a rectangle of a graphic with its drawing mode. A plain record
// copied out whole; the graphic, the hit mask and the mask graphic are not owned.
struct ZUIImageFrame {
    ZGraphic* graphic = nullptr;
    const unsigned char* hitMask = nullptr;
    // -1: the graphic's width or height.
    long hitMaskWidth = 0;
    long hitMaskHeight = 0;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    ZVector2 offset = {0, 0};
    bool tile = false;
    bool tileFromFarCorner = false;
    bool stretchX = false;
    float stretchLeft = 0, stretchRight = 0;
    bool stretchY = false;
    float stretchTop = 0, stretchBottom = 0;
    bool keepMiddleSize = false;
    bool flipX = false;
    bool flipY = false;
    bool customQuads = false;
    bool customSrcQuad = false;
    bool customDstQuad = false;
    bool normalizedAnchor = false;
    bool normalizedCenter = false;
    // Corners top-left, top-right, bottom-right, bottom-left as x, y pairs.
    float srcQuad[8] = {};
    ZVector2 srcAnchor = {0, 0};
    ZVector2 normalizedSrcAnchor = {0, 0};
    ZVector2 srcCenter = {0, 0};
    ZVector2 normalizedSrcCenter = {0, 0};
    float srcScaleX = 1, srcScaleY = 1;
    float srcZAngle = 0;
    float dstQuad[8] = {};
    ZUIBounds* bounds = nullptr;
    bool keepBounds = false;
    bool opaque = false;
    float opaqueX1 = 0, opaqueY1 = 0, opaqueX2 = 0, opaqueY2 = 0;
    ZGraphic* maskGraphic = nullptr;
    float maskX1 = 0, maskY1 = 0, maskX2 = 0, maskY2 = 0;
};
