#pragma once

#include <cstdint>

#include "ZGraphicSpliceStruct.h"

// Cuts a picture too large for one texture into splices placed in up to 32 textures of
// 512 x 512 pixels. Greedy: one packing tree over the picture and one over the textures; a cut
// that runs out of room starts again with one texture more. Neighbouring pieces share a pixel row
// or column, and a piece next to other content in its texture gets a one-pixel border copied from
// its own edge, so that bilinear filtering shows no seams.
//
// The tables are process-wide and unguarded: cuts run on the main thread only.
class TextureCutter {
public:
    static constexpr long kTextureSize = 512;
    static constexpr long kMaxTextures = 32;
    static constexpr long kMaxSplices = 32;
    static constexpr long kMaxSrcNodes = 64;
    static constexpr long kMaxDestNodes = 96;

    // True when the splice table holds a complete cut of a width x height picture; false, with
    // the error text set, when no cut into 32 textures was found. A picture without pixels (a
    // side of 0 or below) is cut into no splices.
    static bool createSplices(long width, long height);

    // The finished splices of the last cut; the table holds one all-zero record after the last.
    static const ZGraphicSpliceStruct* getSplices() { return m_splices; }
    static long getSpliceCount() { return m_spliceCount; }
    static long getTextureCount() { return m_textureCount; }
    // The last failure met by the last cut, "" when it met none. A cut that succeeded after a
    // restart keeps the text of the failure that caused the restart.
    static const char* getErrorText() { return m_errorText; }

private:
    struct Node {
        bool split;
        // The first of the two children; the second follows it.
        int64_t first;
        int64_t x1;
        int64_t y1;
        int64_t x2;
        int64_t y2;
        int64_t texture;
        // Source: the piece is placed. Destination: the area is filled.
        bool done;
        // Source nodes only: the piece gets a border (or padding) on that side.
        bool top;
        bool bottom;
        bool left;
        bool right;
    };

    static void initTextureCutter();
    static void initSourceRoot(long width, long height);
    static bool initFreeTexture();
    static long getLargestDestNode();
    static bool restartCutter();
    static bool addSplice(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t texture,
                          int64_t x, int64_t y);
    static bool addFitSplices(const Node& src, const Node& dest);
    static bool splitSrcNode(long node, int64_t width, int64_t height);
    static bool splitDestNode(long node, int64_t width, int64_t height);
    static int64_t getNodeArea(const Node* node);
    static void padSrcDimensions(const Node& src, const Node& dest, int64_t& width,
                                 int64_t& height);
    static bool failure(const char* text);
    static long compareNodes(const Node* a, const Node* b);
    static long findOpenSrcNode();
    static bool allSrcNodesDone();

    static Node m_srcNodes[kMaxSrcNodes];
    static Node m_destNodes[kMaxDestNodes];
    static ZGraphicSpliceStruct m_splices[kMaxSplices + 1];
    static long m_srcNodeCount;
    static long m_destNodeCount;
    static long m_textureCount;
    static long m_spliceCount;
    static long m_targetWidth;
    static long m_targetHeight;
    static const char* m_errorText;
};
