#pragma once

#include "ZGraphic.h"
#include "ZObjectBase.h"

class ZBatch;
class ZMatrix;
class ZPixelShader;
class ZTextFace;
class ZTextFaceNode;

// Called around the cursor character of clipped drawing: state 0 just before it is drawn, 1 just
// after, 2 once after the whole text; the box is the cursor character's visible box.
typedef void (*ZTextFaceCharCallback)(ZTextFace* face, void* userData, long state, float x1,
                                      float y1, float x2, float y2);

// The text face every font implements: callers draw, measure and hit-test text through it
// without knowing the kind of font. Positions are pixels, y downwards. An encoding of -1 means
// the face's class-wide encoding; kerning is extra space after every character; lastChar (may be
// null) carries the code point handled last, so that a text continued in a second call is
// kerned against the end of the first (-1: none).
//
// Texts come in six encodings: 0 single bytes, 1 UTF-8, 2 32-bit units (code points above
// U+FFFF as UTF-16 surrogate pairs), 3 UTF-16 little-endian, 4 UTF-16 big-endian, 5 64-bit
// units; each ends at a zero unit. The static routines below read and write them.
//
// Main thread only: the line buffer, the shaders and the batch are shared without locks.
class ZTextFace : public ZObjectBase {
public:
    static constexpr long kMaxClasses = 4;
    static constexpr long kClassNameSize = 32;
    static constexpr long kTextLineSize = 4096;
    // Code points the layout keeps of one paragraph (room stays for a terminator).
    static constexpr long kMaxParagraphChars = 4094;

    ZTextFace();
    ~ZTextFace() override;

    // A measure in whole pixels (truncated), held to the range of a long: a damaged font table
    // can give measures beyond it.
    static long toPixels(float value);

    virtual long getCompatibilityLevel() = 0;
    virtual void setCompatibilityLevel(long level) = 0;
    virtual long getTextEncoding() = 0;
    virtual long getHeightPix() = 0;
    // The baseline when one was set, else the line height.
    virtual float getBaseline();
    virtual void setBaseline(float baseline);
    // withOverhang adds the part of the last glyph that reaches beyond its advance.
    virtual float getStringWidth(const char* text, float kerning, float scale, long encoding,
                                 unsigned long* lastChar, bool withOverhang) = 0;
    virtual float getNCharWidth(const char* text, long count, float kerning, float scale) = 0;
    virtual float getCharWidth(unsigned long code, float kerning) = 0;
    virtual float getCharXOffset(unsigned long code) = 0;
    virtual float getStringHeight(const char* text, long encoding) = 0;
    virtual void getColor(float* rgba) = 0;
    virtual void setColor(float r, float g, float b, float a) = 0;
    virtual void setBlitColor(float r, float g, float b, float a) = 0;
    virtual void setBlend(float blend) = 0;
    virtual void setAlphaMode(long mode) = 0;
    virtual void setAlphaOp(eTazelAlphaOp source, eTazelAlphaOp destination) = 0;
    // endX (may be null) receives the pen after the text; matrix (may be null) transforms the
    // glyphs.
    virtual void drawStringFromLeft(const char* text, long x, long y, float kerning, long encoding,
                                    unsigned long* lastChar, long* endX, ZMatrix* matrix) = 0;
    virtual void drawStringFromRight(const char* text, long x, long y, float kerning) = 0;
    virtual void drawStringCentered(const char* text, long x1, long x2, long y, float kerning) = 0;
    // Numbers are drawn as their decimal text in the class-wide encoding. A face that
    // overrides the text forms brings these in with a using-declaration.
    virtual void drawStringFromLeft(long number, long x, long y, float kerning);
    virtual void drawStringFromRight(long number, long x, long y, float kerning);
    virtual void drawStringCentered(long number, long x1, long x2, long y, float kerning);
    // Draws at (x1 + offsetX, y1 + offsetY) cut to the window x1, y1, x2, y2, calling the
    // callback around the character at cursorIndex.
    virtual void drawStringClipped(const char* text, long x1, long y1, long x2, long y2,
                                   long offsetX, long offsetY, float kerning, long cursorIndex,
                                   ZTextFaceCharCallback callback, void* userData, long encoding,
                                   unsigned long* lastChar, long* endX, ZMatrix* matrix) = 0;
    virtual bool getClippedCharCoord(const char* text, long x1, long x2, long offsetX,
                                     float kerning, long charIndex, long& left, long& right,
                                     long encoding, bool allowEnd) = 0;
    virtual long getClippedCharPos(const char* text, long x1, long x2, long offsetX, float kerning,
                                   long x, bool clamp, long encoding) = 0;
    virtual void drawStringFromLeftF(const char* text, float x, float y, float kerning, float scale,
                                     long encoding) = 0;
    virtual void drawStringFromRightF(const char* text, float x, float y, float kerning) = 0;
    virtual void drawStringCenteredF(const char* text, float x1, float x2, float y,
                                     float kerning) = 0;
    virtual void drawStringFromLeftF(long number, float x, float y, float kerning, float scale);
    virtual void drawStringFromRightF(long number, float x, float y, float kerning);
    virtual void drawStringCenteredF(long number, float x1, float x2, float y, float kerning);
    virtual void drawStringClippedF(const char* text, float x1, float y1, float x2, float y2,
                                    float offsetX, float offsetY, float kerning, long cursorIndex,
                                    ZTextFaceCharCallback callback, void* userData,
                                    long encoding) = 0;
    virtual bool getClippedCharCoordF(const char* text, float x1, float x2, float offsetX,
                                      float kerning, long charIndex, float& left, float& right,
                                      long encoding, bool allowEnd) = 0;
    virtual long getClippedCharPosF(const char* text, float x1, float x2, float offsetX,
                                    float kerning, float x, bool clamp, long encoding) = 0;
    virtual bool doesCharExist(unsigned long code) = 0;
    virtual float getYSpacing() = 0;
    virtual void setYSpacing(float spacing) = 0;
    // Extra advance of the space character in left-aligned and clipped drawing.
    virtual void setSpaceAdjustment(float adjustment) = 0;
    virtual float getMultilineHorizPadding() = 0;
    virtual void setMultilineHorizPadding(float padding) = 0;

    // Multi-line text in the face's encoding, line spacing and horizontal padding, laid out by
    // blitMultilineTextNodes in the box from x1 to x2 starting at y. flow: 0 left, 1 right,
    // 2 centred, 3 justified, 4 justified with a break allowed at every character, 5 as 4
    // keeping spaces at line ends. A negative lineHeight means getHeightPix().
    virtual void drawMultiline(const char* text, long x1, long x2, long y, long flow, float kerning,
                               float lineHeight);
    virtual long getMultilineWidth(const char* text, long x1, long x2, long y, long flow,
                                   float kerning, float lineHeight);
    // Writes the width of line i to widths[i] for i below maxLines; returns the number of lines.
    virtual long getMultilineWidthArray(const char* text, long x1, long x2, long y, long flow,
                                        long maxLines, float* widths, float kerning,
                                        float lineHeight);
    virtual long getMultilineHeight(const char* text, long x1, long x2, long y, long flow,
                                    float kerning, float lineHeight);
    virtual void drawMultilineClipped(const char* text, long x1, long y1, long x2, long y2,
                                      long flow, long offsetX, long offsetY, float kerning,
                                      long cursorIndex, ZTextFaceCharCallback callback,
                                      void* userData, float lineHeight);
    // The box of a character of the laid-out text; false when it is not in it.
    virtual bool getMultilineClippedCharCoord(const char* text, long x1, long y1, long x2, long y2,
                                              long flow, long offsetX, long offsetY, float kerning,
                                              long charIndex, long& left, long& top, long& right,
                                              long& bottom, float lineHeight);
    // The index of the character under the point, or -1.
    virtual long getMultilineClippedCharPos(const char* text, long x1, long y1, long x2, long y2,
                                            long flow, long offsetX, long offsetY, float kerning,
                                            long x, long y, float lineHeight);

    // Class tags for typed downcasts: each face constructor adds its class name.
    void addClass(const char* name);
    bool isOfClass(const char* name) const;
    // Index 0 is the tag added last; null outside the tags held.
    const char* getClassName(long index) const;

    // Encodings.
    // Looks for a byte-order mark at the start of a buffer; false (encoding untouched) for an
    // empty buffer, else true with 0 when no mark is found. The mark is not skipped.
    static bool detectEncoding(const char* buffer, long size, long& encoding);
    // The code point at the code-unit position pos, which moves past it (forward) or back to its
    // start (backward). 0 at the end of the text, for an unknown encoding, and backward from
    // the start of the text.
    static unsigned long decodeChar(long encoding, const char* text, long& pos, bool forward);
    // Writes the code point at pos, which advances by the units written; code points the
    // encoding cannot hold become "?".
    static void encodeChar(long encoding, char* buffer, long& pos, unsigned long code);
    static long countChars(long encoding, const char* text);
    // Code units before the terminator (0 for encoding 5).
    static long getStringLen(long encoding, const char* text);
    // The code-unit index at which character charPos begins; -1 outside 0 to the length.
    static long getIndexFromCharPos(long encoding, const char* text, long charPos);
    // bufferSize is in bytes; nothing happens when the character does not fit with room to
    // spare, or charPos lies outside 0 to the length.
    static void insertCharAtPos(long encoding, char* buffer, long bufferSize, long charPos,
                                unsigned long code);
    static void deleteCharAtPos(long encoding, char* buffer, long charPos);

    // Colour strings: blanks, tabs and "#" skipped, then 3 (RGB), 4 (ARGB), 6 (RRGGBB) or 8
    // (AARRGGBB) hexadecimal digits. A short digit fills the high nibble of its channel only.
    // Opaque white for a null text.
    static void parseColor(const char* text, float* rgba);
    // The blend factors of an alpha-mode preset (0 and 4 additive, 1 blended, 2 premultiplied,
    // 3 erase, 5 multiply); other modes leave them as they are.
    static void alphaModeFactors(long mode, eTazelAlphaOp& source, eTazelAlphaOp& destination);
    // The nearest whole pixel, halves up.
    static float roundHalfUp(float value);

    // The shared glyph and outline shaders: ARB fragment programs that draw the texture's red
    // (glyph) or green (outline) channel as coverage in the vertex colour. Made on the first
    // request under the OpenGL renderer, never retried; null when there are none.
    static ZPixelShader* getGlyphPixelShader();
    static ZPixelShader* getOutlinePixelShader();
    static void loadShaders();
    // Deletes the shaders; they are not made again.
    static void cleanup();
    // The one batch all faces draw glyphs through, made on the first call (with room for 200
    // quads); null under a renderer without batches. Deleted by the bitmap face's cleanup.
    static ZBatch* createTextBatch();

    // The layout of rich text: runs of text in faces, or inline graphics, in the box x1 to x2
    // from y1 (y2 bounds the clipped modes only). mode: 0 measure the height, 1 draw, 2 draw
    // clipped with the cursor callback, 3 box of the character at charIndex (into left, top,
    // right, bottom; top relative to y1; found), 4 character under the point (left, top) into
    // charIndex, 5 measure the width (per-line widths into widths up to widthCapacity).
    // paramSet picks the runs' colour set; charLimit (-1: all) stops drawing at that character;
    // the colour multipliers are clamped to 0..1. Returns the widest line in mode 5, else the
    // y just below the last line.
    static float blitMultilineTextNodes(
        long nodeCount, ZTextFaceNode* nodes, float x1, float y1, float x2, float y2, long flow,
        long offsetX, long offsetY, float kerning, float lineSpacing, long mode, long& charIndex,
        ZTextFaceCharCallback callback, void* userData, float& left, float& top, float& right,
        float& bottom, bool& found, float horizPadding, long& lineCount, long widthCapacity,
        float* widths, long paramSet, long charLimit, float red, float green, float blue,
        float alpha, ZPixelShader* shader, ZMatrix* matrix);
    // One text in one face as a single run.
    static float blitMultilineText(ZTextFace* face, const char* text, long encoding,
                                   float lineHeight, float x1, float y1, float x2, float y2,
                                   long flow, long offsetX, long offsetY, float kerning,
                                   float lineSpacing, long mode, long& charIndex,
                                   ZTextFaceCharCallback callback, void* userData, float& left,
                                   float& top, float& right, float& bottom, bool& found,
                                   float horizPadding, long& lineCount, long widthCapacity,
                                   float* widths);

    // The layout's modes on arrays of runs.
    static float getMultilineNodesHeight(long nodeCount, ZTextFaceNode* nodes, float x1, float y1,
                                         float x2, long flow, float kerning, float lineSpacing,
                                         float horizPadding = 0);
    static void drawMultilineNodes(long nodeCount, ZTextFaceNode* nodes, float x1, float y1,
                                   float x2, long flow, float kerning, float lineSpacing,
                                   float horizPadding = 0, long paramSet = 0, long charLimit = -1,
                                   float red = 1, float green = 1, float blue = 1, float alpha = 1,
                                   ZPixelShader* shader = nullptr, ZMatrix* matrix = nullptr);
    static void drawMultilineNodesClipped(
        long nodeCount, ZTextFaceNode* nodes, float x1, float y1, float x2, float y2, long flow,
        long offsetX, long offsetY, float kerning, float lineSpacing, long cursorIndex,
        ZTextFaceCharCallback callback, void* userData, float horizPadding = 0, long paramSet = 0,
        long charLimit = -1, float red = 1, float green = 1, float blue = 1, float alpha = 1,
        ZPixelShader* shader = nullptr, ZMatrix* matrix = nullptr);
    static bool getMultilineNodesClippedCharCoord(long nodeCount, ZTextFaceNode* nodes, float x1,
                                                  float y1, float x2, float y2, long flow,
                                                  long offsetX, long offsetY, float kerning,
                                                  float lineSpacing, long charIndex, long& left,
                                                  long& top, long& right, long& bottom,
                                                  float horizPadding = 0);
    static long getMultilineNodesClippedCharPos(long nodeCount, ZTextFaceNode* nodes, float x1,
                                                float y1, float x2, float y2, long flow,
                                                long offsetX, long offsetY, float kerning,
                                                float lineSpacing, long x, long y,
                                                float horizPadding = 0);
    static long getMultilineNodesWidth(long nodeCount, ZTextFaceNode* nodes, float x1, float y1,
                                       float x2, long flow, float kerning, float lineSpacing,
                                       float horizPadding = 0);
    // Writes the width of line i to widths[i] for i below capacity; returns the number of lines.
    static long getMultilineNodesWidthArray(long nodeCount, ZTextFaceNode* nodes, float x1,
                                            float y1, float x2, long flow, float kerning,
                                            float lineSpacing, long capacity, float* widths,
                                            float horizPadding = 0);

    // The first run from firstNode on whose line-buffer range holds index, or null.
    static ZTextFaceNode* getNodeForLineIndex(ZTextFaceNode* nodes, long firstNode, long nodeCount,
                                              long index);
    // The width of line-buffer positions start to end over the runs that hold them.
    static float getStringWidthForNodes(ZTextFaceNode* nodes, long firstNode, long nodeCount,
                                        long start, long end, float kerning);

    static ZPixelShader* g_lpGlyphShader;
    static ZPixelShader* g_lpOutlineShader;
    static bool g_bShadersChecked;
    static ZBatch* g_lpTextBatch;
    // One paragraph of the layout, in 64-bit code points.
    static unsigned long g_szTextLine[kTextLineSize];

protected:
    // Room for any long's digits in any encoding, with the terminator.
    static constexpr long kNumberTextSize = 192;
    // A number's decimal text, whatever its size, in the face's class-wide encoding.
    void formatNumber(long number, char (&text)[kNumberTextSize]);

    float m_baseline = -1.0f;
    long m_classCount = 0;
    char m_classes[kMaxClasses][kClassNameSize] = {};
};
