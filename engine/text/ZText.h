#pragma once

#include <cstdint>

#include "ZFont.h"
#include "ZFontExt.h"
#include "ZFontKerningPair.h"
#include "ZGraphic.h"
#include "ZTextFace.h"

class ZTextKerningEntry;
class ZTextPageBatch;

// The bitmap-font face: glyphs are rectangles cut from up to eight page graphics, described by
// a character table read from a font table file, given as an extended table in memory, or
// converted from a legacy ZFont table. Single lines are measured, drawn and hit-tested here;
// multi-line text goes through the face interface's layout.
//
// A character is found in two steps: a linear search over the few lookup pages (one per block
// of 2048 codes the table uses), then a direct slot. Glyphs are drawn through the one batch all
// faces share, begun and ended only when the page changes.
//
// Main thread only: the shared batch, the page graphics and the class-wide encoding are used
// without locks.
class ZText : public ZTextFace {
public:
    static constexpr long kPageCount = 8;
    static constexpr long kNameSize = 260;
    // Codes per lookup page.
    static constexpr long kLookupPageSize = 2048;
    static constexpr long kKerningBuckets = 4096;
    // Far more lookup pages than all of Unicode needs (544): a table whose codes are scattered
    // wider leaves the rest out instead of taking a lookup page for each.
    static constexpr long kMaxLookupPages = 1024;

    ZText();
    // The legacy table (not extended) and the picture as page 0, in true colour.
    ZText(const char* imageName, ZFont* table);
    ~ZText() override;
    ZText(const ZText&) = delete;
    ZText& operator=(const ZText&) = delete;

    using ZTextFace::drawStringCentered;
    using ZTextFace::drawStringCenteredF;
    using ZTextFace::drawStringFromLeft;
    using ZTextFace::drawStringFromLeftF;
    using ZTextFace::drawStringFromRight;
    using ZTextFace::drawStringFromRightF;

    // The encoding of every bitmap face's texts, and extended character data (pages and
    // offsets of legacy tables) from now on.
    static void initializeAsUnicode(long encoding);
    // The face when it is a bitmap face, else null.
    static ZText* isZText(ZTextFace* face);
    // Deletes the batch all faces share; the window calls it as it goes.
    static void cleanup();
    // The name of the page after the one named (font_1.jem, font_2.jem; a.png, a2.png), in place
    // on a buffer of kNameSize characters; false, the name unchanged, when it would not fit.
    static bool incrementIndexInName(char* name);
    // A new extended copy of a legacy table, terminator included (delete[]); null for null.
    static ZFontExt* createExtendedFontTable(ZFont* table, bool extended);

    // The legacy table converted and owned; null clears the face's table.
    void setFontTable(ZFont* table, bool extended);
    // Uses the table (the caller's, ended by code 0) and copies the pairs (ended by a first code
    // of 0, may be null). A pixel height of 0 makes the first character's height the line's.
    void setFontTableExt(ZFontExt* table, const ZFontKerningPair* pairs, long heightPix);
    ZFontExt* getFontTableExt() { return m_table; }
    // Reads a font table file, which the face then owns. Any table it owned before is gone,
    // whatever the result. Page and character counts are the header's.
    bool loadFontTable(const char* name, long& pageCount, long& charCount);
    // A picture as the page graphic, owned by the face (even when the load fails). False for a
    // page outside 0 to 7, without a renderer, or when the picture cannot be read.
    bool loadFontBitmap(const char* name, long page, bool trueColor, bool mipmaps);
    // The table, then its pages: page 0 from imageName, each further one from the name before it
    // counted up. False when the table or any page fails (pages before it stay). Without an
    // image name only the table is read.
    virtual bool loadFontTableAndBitmap(const char* tableName, const char* imageName,
                                        bool trueColor, bool mipmaps);
    // A graphic of the caller's as a page; pages outside 0 to 7 are ignored.
    void setZGraphic(ZGraphic* graphic, long page);
    ZGraphic* getZGraphicPtr(long page);
    // Added to the y of every glyph of the page.
    void setYOffset(long page, long offset);
    // Added to the advance of every glyph of the page.
    void setGlobalKerning(long page, float amount);

    // The table index of a code, or -1.
    long getCharTableIndex(long code);
    // Extra space between two codes; 0 when either is -1 or the pair is not in the table.
    float getKerningForCharPair(unsigned long first, unsigned long second);

    long getCompatibilityLevel() override;
    void setCompatibilityLevel(long level) override;
    long getTextEncoding() override;
    long getHeightPix() override;
    float getStringWidth(const char* text, float kerning, float scale, long encoding,
                         unsigned long* lastChar, bool withOverhang) override;
    float getNCharWidth(const char* text, long count, float kerning, float scale) override;
    float getCharWidth(unsigned long code, float kerning) override;
    float getCharXOffset(unsigned long code) override;
    float getStringHeight(const char* text, long encoding) override;
    void getColor(float* rgba) override;
    void setColor(float r, float g, float b, float a) override;
    void setBlitColor(float r, float g, float b, float a) override;
    void setBlend(float blend) override;
    void setAlphaMode(long mode) override;
    void setAlphaOp(eTazelAlphaOp source, eTazelAlphaOp destination) override;
    void drawStringFromLeft(const char* text, long x, long y, float kerning, long encoding,
                            unsigned long* lastChar, long* endX, ZMatrix* matrix) override;
    void drawStringFromRight(const char* text, long x, long y, float kerning) override;
    void drawStringCentered(const char* text, long x1, long x2, long y, float kerning) override;
    void drawStringClipped(const char* text, long x1, long y1, long x2, long y2, long offsetX,
                           long offsetY, float kerning, long cursorIndex,
                           ZTextFaceCharCallback callback, void* userData, long encoding,
                           unsigned long* lastChar, long* endX, ZMatrix* matrix) override;
    bool getClippedCharCoord(const char* text, long x1, long x2, long offsetX, float kerning,
                             long charIndex, long& left, long& right, long encoding,
                             bool allowEnd) override;
    long getClippedCharPos(const char* text, long x1, long x2, long offsetX, float kerning, long x,
                           bool clamp, long encoding) override;
    void drawStringFromLeftF(const char* text, float x, float y, float kerning, float scale,
                             long encoding) override;
    void drawStringFromRightF(const char* text, float x, float y, float kerning) override;
    void drawStringCenteredF(const char* text, float x1, float x2, float y, float kerning) override;
    void drawStringClippedF(const char* text, float x1, float y1, float x2, float y2, float offsetX,
                            float offsetY, float kerning, long cursorIndex,
                            ZTextFaceCharCallback callback, void* userData, long encoding) override;
    bool getClippedCharCoordF(const char* text, float x1, float x2, float offsetX, float kerning,
                              long charIndex, float& left, float& right, long encoding,
                              bool allowEnd) override;
    long getClippedCharPosF(const char* text, float x1, float x2, float offsetX, float kerning,
                            float x, bool clamp, long encoding) override;
    bool doesCharExist(unsigned long code) override;
    float getYSpacing() override;
    void setYSpacing(float spacing) override;
    void setSpaceAdjustment(float adjustment) override;
    float getMultilineHorizPadding() override;
    void setMultilineHorizPadding(float padding) override;

    static long g_nZTextEncoding;
    // The file name the next saved font page takes.
    static char g_szGraphicFileNameBuf[kNameSize];
    static bool g_bExtendedCharData;

private:
    const ZFontExt* findGlyph(unsigned long code) const;
    float pageKerning(const ZFontExt& glyph) const { return m_pageKerning[glyph.page]; }
    float pageYOffset(const ZFontExt& glyph) const { return m_pageYOffset[glyph.page]; }
    float pairKerning(unsigned long previous, unsigned long code);
    long resolveEncoding(long encoding) const;
    void releaseTable();
    void freeLookup();
    void applyPageState(ZGraphic* graphic);
    void drawGlyph(ZTextPageBatch& batch, const ZFontExt& glyph, float sx1, float sy1, float sx2,
                   float sy2, float x, float y, float zoom, float centerX, float centerY,
                   ZMatrix* matrix);
    // Clipped drawing in whole pixels (the long form) or in floats.
    void drawClipped(const char* text, float x1, float y1, float x2, float y2, float offsetX,
                     float offsetY, float kerning, long cursorIndex, ZTextFaceCharCallback callback,
                     void* userData, long encoding, unsigned long* lastChar, long* endX,
                     ZMatrix* matrix, bool wholePixels);
    bool clippedCharCoord(const char* text, float x1, float offsetX, float kerning, long charIndex,
                          float& left, float& right, long encoding, bool allowEnd,
                          bool wholePixels);
    long clippedCharPos(const char* text, float x1, float offsetX, float kerning, float x,
                        bool clamp, long encoding);
    void drawFromRight(const char* text, float x, float y, float kerning, bool wholePixels);

    bool m_tableOwned = false;
    ZFontExt* m_table = nullptr;
    long m_compatibilityLevel = 0;
    long m_heightPix = 0;
    long m_lookupCount = 0;
    long* m_lookupKeys = nullptr;
    int64_t** m_lookupPages = nullptr;
    float m_blend = 1.0f;
    eTazelAlphaOp m_sourceOp = eTazelAlphaOpSrcAlpha;
    eTazelAlphaOp m_destinationOp = eTazelAlphaOpOneMinusSrcAlpha;
    float m_color[4] = {1, 1, 1, 1};
    float m_spaceAdjustment = 0;
    float m_horizPadding = 0;
    float m_ySpacing = 0;
    ZGraphic* m_pages[kPageCount] = {};
    bool m_pageOwned[kPageCount] = {};
    float m_pageYOffset[kPageCount] = {};
    float m_pageKerning[kPageCount] = {};
    ZTextKerningEntry** m_kerningBuckets = nullptr;
    ZTextKerningEntry* m_kerningEntries = nullptr;
};
