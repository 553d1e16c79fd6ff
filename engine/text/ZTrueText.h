#pragma once

#include <cstdint>

#include "ZFontExt.h"
#include "ZGraphic.h"
#include "ZTextFace.h"
#include "ZTrueTextGradientColor.h"

class ZResource;
class ZTextKerningEntry;
class ZTextPageBatch;

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;
typedef struct FT_StreamRec_* FT_Stream;
typedef struct FT_GlyphRec_* FT_Glyph;

// The outline-font face: a FreeType font read through the virtual file system, whose glyph set
// (one process-wide list of codes) is rasterised at the face's size into at most eight atlas
// pages. Measuring, drawing and hit tests then read only the character table, the lookup pages
// and the kerning buckets; no FreeType call is made per frame.
//
// Rendering is lazy: a change of size, top spacing or effect marks it needed, and it happens at
// once unless deferred, else before the next measure or draw.
//
// Main thread only: rendering makes OpenGL textures, and the glyph set, the library and the
// page-name buffer are process-wide without locks.
class ZTrueText : public ZTextFace {
public:
    static constexpr long kPageCount = 8;
    static constexpr long kMaxChars = 2048;
    static constexpr long kNameSize = 260;
    static constexpr long kLookupPageSize = 2048;
    static constexpr long kKerningBuckets = 4096;

    explicit ZTrueText(const char* fontFile = nullptr);
    ~ZTrueText() override;
    ZTrueText(const ZTrueText&) = delete;
    ZTrueText& operator=(const ZTrueText&) = delete;

    using ZTextFace::drawStringCentered;
    using ZTextFace::drawStringCenteredF;
    using ZTextFace::drawStringFromLeft;
    using ZTextFace::drawStringFromLeftF;
    using ZTextFace::drawStringFromRight;
    using ZTextFace::drawStringFromRightF;

    // Opening never renders. The texture flag goes to every page upload, mipmaps to every page.
    bool loadFontFile(const char* name, bool kerningPairs, bool trueColor, bool mipmaps);
    bool loadFontFileFromPtr(const unsigned char* data, unsigned long size, bool kerningPairs,
                             bool trueColor, bool mipmaps);

    // The glyph set becomes U+FFFD, 32 to 127 and every other code of the texts (at most 2048
    // codes in all, sorted); false when codes had to be dropped. Faces pick it up at their next
    // render.
    static bool initializeAsUnicode(long count, const char* const* texts, long encoding);
    static void countMaxCharPages();
    static ZTrueText* isZTrueText(ZTextFace* face);
    // Releases the font library, then the text faces' shared state.
    static void cleanup();

    void setHeightPix(long pixels);
    void setHeightPt(long points);
    long getAscenderPix();
    long getDescenderPix();
    bool getIgnoreTopSpacing() const { return m_ignoreTopSpacing; }
    bool setIgnoreTopSpacing(bool ignore);
    void setDeferredRendering(bool deferred);
    bool isRenderingNeeded();
    // Rasterises the glyph set into the pages; with an image name each page is also saved
    // (a.png, a2.png, ...) in the format. False only when a page could not be saved.
    bool render(const char* imageName, long imageFormat, bool topAligned);
    // Drops pages and tables and closes the font; the next use reopens it by name.
    void freeGraphics();
    long getCharTableIndex(unsigned long code);
    float getKerningForCharPair(unsigned long first, unsigned long second);
    long getPageCount() const { return m_pageCount; }
    ZGraphic* getPage(long page) const;
    long getCharCount() const { return m_charCount; }
    const ZFontExt* getCharTable() const { return m_chars; }
    long getKerningCount() const { return m_kerningCount; }
    long getTopOvershoot() const { return m_topOvershoot; }
    FT_Face getFace() const { return m_face; }

    // Effects baked into the pages.
    void setOutline(long size, float r, float g, float b, float a);
    void setDropShadow(long size, long distance, float angle, float r, float g, float b, float a);
    void setGradient(long count, const ZTrueTextGradientColor* stops);
    bool setShaderRendering(bool enable, float outlineRadius);
    // The pages as a bitmap font: the table file and one image per page.
    bool saveFontTableAndBitmap(const char* tablePath, const char* imagePath, long imageFormat,
                                bool topAligned);
    // Software drawing of 64-bit codes straight into an RGBA array, without the atlas.
    long getArraySizeForString(const uint64_t* codes, float kerning, long& right, long& lineHeight,
                               float& penEnd, long& bottom, bool forceAutoHint);
    void drawStringToArray(const uint64_t* codes, uint32_t* pixels, long x, long y, float kerning,
                           long width, long height, bool forceAutoHint);
    static void copyOutline(const uint32_t* source, long sx1, long sy1, long sx2, long sy2,
                            uint32_t* destination, long offsetX, long offsetY, float r, float g,
                            float b, float a, long size);
    static void blurOutline(uint32_t* buffer, long size);
    static void copyRect(const uint32_t* source, long sx1, long sy1, long sx2, long sy2,
                         uint32_t* destination, long offsetX, long offsetY, float opacity,
                         long size);

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

    static FT_Library g_lpLibrary;
    static uint64_t g_nCharMap[kMaxChars];
    static int64_t g_nCharsInMap;
    static long g_nZTrueTextEncoding;

private:
    struct KerningPair;

    // Reopens a font freed by freeGraphics; true when a font is open.
    bool checkFontFace();
    // checkFontFace, then renders when needed; false without a font.
    bool prepare();
    bool openStream(const char* pathName, bool kerningPairs, bool trueColor, bool mipmaps);
    void closeFace();
    void markChanged();
    float effectPadding() const;
    bool effectsOn() const;
    void effectMargins(long& mx, long& my) const;
    long loadFlags(long base) const;
    bool loadRenderedChar(unsigned long code, long flags);
    void freePages();
    void freeTables();
    void buildLookup();
    void buildKerning(const int16_t* pairs, unsigned long count);
    void buildGradient(long rows, uint32_t* column) const;
    bool savePage(long page, const uint32_t* pixels, long width, long height, long format);
    float pairAmount(unsigned long previous, unsigned long code);
    const ZFontExt* resolve(unsigned long code);
    long resolveEncoding(long encoding) const;
    void applyPageState(ZGraphic* graphic);
    void drawGlyph(ZTextPageBatch& batch, const ZFontExt& glyph, float sx1, float sy1, float sx2,
                   float sy2, float x, float y, ZMatrix* matrix);
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
    // The software path's pairs and pen walk.
    void loadSoftwarePairs(KerningPair*& pairs, long& count);

    static unsigned long userReadResource(FT_Stream stream, unsigned long offset,
                                          unsigned char* buffer, unsigned long count);
    static void userCloseResource(FT_Stream stream);
    static unsigned long userReadMemory(FT_Stream stream, unsigned long offset,
                                        unsigned char* buffer, unsigned long count);
    static void userCloseMemory(FT_Stream stream);

    // Every face alive, so that releasing the library first closes their fonts.
    static ZTrueText* g_lpFirstFace;
    ZTrueText* m_nextFace = nullptr;
    ZTrueText* m_previousFace = nullptr;

    FT_Stream m_stream = nullptr;
    FT_Face m_face = nullptr;
    ZResource* m_resource = nullptr;
    unsigned char* m_memory = nullptr;
    unsigned long m_memorySize = 0;
    bool m_fromMemory = false;
    long m_compatibilityLevel = 0;
    bool m_ignoreTopSpacing = false;
    bool m_trueColor = true;
    bool m_mipmaps = false;
    float m_blend = 1.0f;
    eTazelAlphaOp m_sourceOp = eTazelAlphaOpSrcAlpha;
    eTazelAlphaOp m_destinationOp = eTazelAlphaOpOneMinusSrcAlpha;
    float m_color[4] = {1, 1, 1, 1};
    float m_spaceAdjustment = 0;
    float m_horizPadding = 0;
    float m_ySpacing = 0;
    long m_heightSetting = 0;
    bool m_deferred = false;
    bool m_renderingNeeded = true;
    bool m_reopenNeeded = false;
    long m_topOvershoot = 0;
    long m_pageCount = 0;
    ZGraphic* m_pages[kPageCount] = {};
    // A page graphic keeps reading the array it was made from: each array lives as long as its
    // graphic.
    uint32_t* m_pagePixels[kPageCount] = {};
    long m_charCount = 0;
    ZFontExt* m_chars = nullptr;
    bool m_kerningPairs = false;
    long m_charCapacity = 0;
    long m_replacementIndex = 0;
    long m_lookupCount = 0;
    long* m_lookupKeys = nullptr;
    int64_t** m_lookupPages = nullptr;
    char m_fileName[kNameSize] = {};
    float m_effectPadding = 4.0f;
    bool m_shaderRendering = false;
    float m_shaderRadius = 0;
    long m_gradientCount = 0;
    ZTrueTextGradientColor* m_gradient = nullptr;
    long m_outlineSize = 0;
    float m_outlineColor[4] = {1, 1, 1, 0};
    long m_shadowSize = 0;
    long m_shadowDx = 0;
    long m_shadowDy = 0;
    float m_shadowColor[4] = {1, 1, 1, 0};
    ZTextKerningEntry** m_kerningBuckets = nullptr;
    long m_kerningCount = 0;
    ZTextKerningEntry* m_kerningEntries = nullptr;
};
