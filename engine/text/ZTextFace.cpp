#include "ZTextFace.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "ZBatch.h"
#include "ZCore.h"
#include "ZPixelShader.h"
#include "ZTextFaceNode.h"
#include "ZTextLayout.h"

ZPixelShader* ZTextFace::g_lpGlyphShader = nullptr;
ZPixelShader* ZTextFace::g_lpOutlineShader = nullptr;
bool ZTextFace::g_bShadersChecked = false;
ZBatch* ZTextFace::g_lpTextBatch = nullptr;
unsigned long ZTextFace::g_szTextLine[ZTextFace::kTextLineSize];

namespace {

const unsigned long kQuestionMark = 0x3F;
const long kTextBatchQuads = 200;

// Glyph coverage is in the texture's red channel (outline coverage in green), so a glyph atlas
// can be drawn in any colour: the vertex colour with the coverage as alpha.
const char kGlyphProgram[] =
    "!!ARBfp1.0\n"
    "# Glyph shader: the glyph's coverage is the texture's red channel.\n"
    "# result.rgb = vertex colour; result.a = coverage x vertex alpha.\n"
    "TEMP R0;\n"
    "TEX R0.x, fragment.texcoord[0], texture[0], 2D;\n"
    "MOV result.color.xyz, fragment.color.primary;\n"
    "MUL result.color.w, R0.x, fragment.color.primary;\n"
    "END\n";
const char kOutlineProgram[] =
    "!!ARBfp1.0\n"
    "# Outline shader: the outline's coverage is the texture's green channel.\n"
    "# result.rgb = vertex colour; result.a = coverage x vertex alpha.\n"
    "TEMP R0;\n"
    "TEX R0.y, fragment.texcoord[0], texture[0], 2D;\n"
    "MOV result.color.xyz, fragment.color.primary;\n"
    "MUL result.color.w, R0.y, fragment.color.primary;\n"
    "END\n";

// Code units are read and written through memcpy: texts need not be aligned to their units.
int32_t load32(const char* text, long index) {
    int32_t unit;
    memcpy(&unit, text + index * 4, sizeof(unit));
    return unit;
}

void store32(char* text, long index, uint32_t unit) {
    memcpy(text + index * 4, &unit, sizeof(unit));
}

uint64_t load64(const char* text, long index) {
    uint64_t unit;
    memcpy(&unit, text + index * 8, sizeof(unit));
    return unit;
}

void store64(char* text, long index, uint64_t unit) {
    memcpy(text + index * 8, &unit, sizeof(unit));
}

unsigned byteAt(const char* text, long index) {
    return static_cast<unsigned char>(text[index]);
}

unsigned load16(const char* text, long index, bool bigEndian) {
    unsigned first = byteAt(text, index * 2), second = byteAt(text, index * 2 + 1);
    return bigEndian ? (first << 8 | second) : (second << 8 | first);
}

void store16(char* text, long index, unsigned unit, bool bigEndian) {
    unsigned char high = static_cast<unsigned char>(unit >> 8 & 0xFF);
    unsigned char low = static_cast<unsigned char>(unit & 0xFF);
    text[index * 2] = static_cast<char>(bigEndian ? high : low);
    text[index * 2 + 1] = static_cast<char>(bigEndian ? low : high);
}

bool isHighSurrogate(uint32_t unit) {
    return (unit & 0xFFFFFC00u) == 0xD800;
}

bool isLowSurrogate(uint32_t unit) {
    return (unit & 0xFFFFFC00u) == 0xDC00;
}

unsigned long joinSurrogates(unsigned long high, unsigned long low) {
    return ((high - 0xD800) << 10 | (low - 0xDC00)) + 0x10000;
}

bool isContinuation(unsigned byte) {
    return byte >= 0x80 && byte <= 0xBF;
}

unsigned long decodeUtf8(const char* text, long& pos) {
    unsigned lead = byteAt(text, pos);
    long length = 1;
    unsigned long code = lead;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    }
    if (length == 1) {
        pos++;
        return lead;
    }
    for (long i = 1; i < length; i++) {
        unsigned next = byteAt(text, pos + i);
        // A truncated sequence ends the text; nothing after the terminator is read.
        if (next == 0) {
            pos += i;
            return 0;
        }
        code = code << 6 | (next & 0x3F);
    }
    pos += length;
    return code;
}

long unitSize(long encoding) {
    switch (encoding) {
        case 0:
        case 1:
            return 1;
        case 2:
            return 4;
        case 3:
        case 4:
            return 2;
        case 5:
            return 8;
        default:
            return 0;
    }
}

float hexChannel(unsigned long value) {
    return static_cast<float>(value & 0xFF) / 255.0f;
}

ZPixelShader* makeShader(const char* program, const char* kind) {
    ZPixelShader* shader = ZCore::createZPixelShader();
    if (shader && shader->loadPixelShaderFromPtr(program, strlen(program))) return shader;
    delete shader;
    ZCore::logMessage("Text: the %s pixel shader could not be made, WARNING", kind);
    return nullptr;
}

}  // namespace

ZTextFace::ZTextFace() {}

ZTextFace::~ZTextFace() {}

float ZTextFace::getBaseline() {
    return m_baseline >= 0 ? m_baseline : static_cast<float>(getHeightPix());
}

void ZTextFace::setBaseline(float baseline) {
    m_baseline = baseline;
}

// ---- Class tags ----

void ZTextFace::addClass(const char* name) {
    if (!name || m_classCount >= kMaxClasses) return;
    snprintf(m_classes[m_classCount], kClassNameSize, "%s", name);
    m_classCount++;
}

bool ZTextFace::isOfClass(const char* name) const {
    if (!name) return false;
    for (long i = 0; i < m_classCount; i++)
        if (strcmp(m_classes[i], name) == 0) return true;
    return false;
}

const char* ZTextFace::getClassName(long index) const {
    if (index < 0 || index >= m_classCount) return nullptr;
    return m_classes[m_classCount - 1 - index];
}

// ---- Numbers ----

void ZTextFace::formatNumber(long number, char (&text)[kNumberTextSize]) {
    memset(text, 0, sizeof(text));
    char digits[24];
    snprintf(digits, sizeof(digits), "%ld", number);
    // The digits in the face's own encoding, which is what the text forms read with -1.
    long encoding = getTextEncoding();
    long pos = 0;
    for (const char* p = digits; *p; p++)
        encodeChar(encoding, text, pos, static_cast<unsigned char>(*p));
}

void ZTextFace::drawStringFromLeft(long number, long x, long y, float kerning) {
    char text[kNumberTextSize];
    formatNumber(number, text);
    drawStringFromLeft(text, x, y, kerning, -1, nullptr, nullptr, nullptr);
}

void ZTextFace::drawStringFromRight(long number, long x, long y, float kerning) {
    char text[kNumberTextSize];
    formatNumber(number, text);
    drawStringFromRight(text, x, y, kerning);
}

void ZTextFace::drawStringCentered(long number, long x1, long x2, long y, float kerning) {
    char text[kNumberTextSize];
    formatNumber(number, text);
    drawStringCentered(text, x1, x2, y, kerning);
}

void ZTextFace::drawStringFromLeftF(long number, float x, float y, float kerning, float scale) {
    char text[kNumberTextSize];
    formatNumber(number, text);
    drawStringFromLeftF(text, x, y, kerning, scale, -1);
}

void ZTextFace::drawStringFromRightF(long number, float x, float y, float kerning) {
    char text[kNumberTextSize];
    formatNumber(number, text);
    drawStringFromRightF(text, x, y, kerning);
}

void ZTextFace::drawStringCenteredF(long number, float x1, float x2, float y, float kerning) {
    char text[kNumberTextSize];
    formatNumber(number, text);
    drawStringCenteredF(text, x1, x2, y, kerning);
}

// ---- Multi-line text in this face ----

namespace {

struct LayoutResults {
    long index = -1;
    float left = 0, top = 0, right = 0, bottom = 0;
    bool found = false;
    long lines = 0;
};

// One text as one run of the face, in the face's encoding, line spacing and padding.
float layoutInFace(ZTextFace* face, const char* text, float lineHeight, float x1, float y1,
                   float x2, float y2, long flow, long offsetX, long offsetY, float kerning,
                   long mode, LayoutResults& results, ZTextFaceCharCallback callback = nullptr,
                   void* userData = nullptr, long widthCapacity = 0, float* widths = nullptr) {
    return ZTextFace::blitMultilineText(
        face, text, face->getTextEncoding(), lineHeight, x1, y1, x2, y2, flow, offsetX, offsetY,
        kerning, face->getYSpacing(), mode, results.index, callback, userData, results.left,
        results.top, results.right, results.bottom, results.found, face->getMultilineHorizPadding(),
        results.lines, widthCapacity, widths);
}

}  // namespace

void ZTextFace::drawMultiline(const char* text, long x1, long x2, long y, long flow, float kerning,
                              float lineHeight) {
    LayoutResults results;
    layoutInFace(this, text, lineHeight, x1, y, x2, y, flow, 0, 0, kerning, ZTextLayout::kDraw,
                 results);
}

long ZTextFace::getMultilineWidth(const char* text, long x1, long x2, long y, long flow,
                                  float kerning, float lineHeight) {
    LayoutResults results;
    return toPixels(layoutInFace(this, text, lineHeight, x1, y, x2, y, flow, 0, 0, kerning,
                                 ZTextLayout::kMeasureWidth, results));
}

long ZTextFace::getMultilineWidthArray(const char* text, long x1, long x2, long y, long flow,
                                       long maxLines, float* widths, float kerning,
                                       float lineHeight) {
    LayoutResults results;
    layoutInFace(this, text, lineHeight, x1, y, x2, y, flow, 0, 0, kerning,
                 ZTextLayout::kMeasureWidth, results, nullptr, nullptr, maxLines, widths);
    return results.lines;
}

long ZTextFace::toPixels(float value) {
    // 2^63 is the first float beyond a long; NaN counts as nothing.
    const float limit = 9223372036854775808.0f;
    if (!(value == value)) return 0;
    if (value >= limit) return LONG_MAX;
    if (value <= -limit) return LONG_MIN;
    return static_cast<long>(value);
}

long ZTextFace::getMultilineHeight(const char* text, long x1, long x2, long y, long flow,
                                   float kerning, float lineHeight) {
    LayoutResults results;
    float bottom = layoutInFace(this, text, lineHeight, x1, y, x2, y, flow, 0, 0, kerning,
                                ZTextLayout::kMeasureHeight, results);
    return toPixels(bottom - static_cast<float>(y));
}

void ZTextFace::drawMultilineClipped(const char* text, long x1, long y1, long x2, long y2,
                                     long flow, long offsetX, long offsetY, float kerning,
                                     long cursorIndex, ZTextFaceCharCallback callback,
                                     void* userData, float lineHeight) {
    LayoutResults results;
    results.index = cursorIndex;
    layoutInFace(this, text, lineHeight, x1, y1, x2, y2, flow, offsetX, offsetY, kerning,
                 ZTextLayout::kDrawClipped, results, callback, userData);
}

bool ZTextFace::getMultilineClippedCharCoord(const char* text, long x1, long y1, long x2, long y2,
                                             long flow, long offsetX, long offsetY, float kerning,
                                             long charIndex, long& left, long& top, long& right,
                                             long& bottom, float lineHeight) {
    LayoutResults results;
    results.index = charIndex;
    layoutInFace(this, text, lineHeight, x1, y1, x2, y2, flow, offsetX, offsetY, kerning,
                 ZTextLayout::kCharBox, results);
    if (!results.found) return false;
    left = toPixels(results.left);
    right = toPixels(results.right);
    top = toPixels(results.top) + y1;
    bottom = toPixels(results.bottom) + y1;
    return true;
}

long ZTextFace::getMultilineClippedCharPos(const char* text, long x1, long y1, long x2, long y2,
                                           long flow, long offsetX, long offsetY, float kerning,
                                           long x, long y, float lineHeight) {
    LayoutResults results;
    results.left = static_cast<float>(x);
    results.top = static_cast<float>(y);
    layoutInFace(this, text, lineHeight, x1, y1, x2, y2, flow, offsetX, offsetY, kerning,
                 ZTextLayout::kCharAtPoint, results);
    return results.index;
}

// ---- The layout ----

float ZTextFace::blitMultilineTextNodes(
    long nodeCount, ZTextFaceNode* nodes, float x1, float y1, float x2, float y2, long flow,
    long offsetX, long offsetY, float kerning, float lineSpacing, long mode, long& charIndex,
    ZTextFaceCharCallback callback, void* userData, float& left, float& top, float& right,
    float& bottom, bool& found, float horizPadding, long& lineCount, long widthCapacity,
    float* widths, long paramSet, long charLimit, float red, float green, float blue, float alpha,
    ZPixelShader* shader, ZMatrix* matrix) {
    ZTextLayout layout(nodeCount, nodes);
    layout.x1 = x1;
    layout.y1 = y1;
    layout.x2 = x2;
    layout.y2 = y2;
    layout.flow = flow;
    layout.offsetX = offsetX;
    layout.offsetY = offsetY;
    layout.kerning = kerning;
    layout.lineSpacing = lineSpacing;
    layout.mode = mode;
    layout.charIndex = charIndex;
    layout.callback = callback;
    layout.userData = userData;
    layout.left = left;
    layout.top = top;
    layout.right = right;
    layout.bottom = bottom;
    layout.horizPadding = horizPadding;
    layout.widthCapacity = widthCapacity;
    layout.widths = widths;
    layout.paramSet = paramSet;
    layout.charLimit = charLimit;
    layout.multiplier[0] = red;
    layout.multiplier[1] = green;
    layout.multiplier[2] = blue;
    layout.multiplier[3] = alpha;
    layout.shader = shader;
    layout.matrix = matrix;
    float result = layout.run();
    charIndex = layout.charIndex;
    left = layout.left;
    top = layout.top;
    right = layout.right;
    bottom = layout.bottom;
    found = layout.found;
    lineCount = layout.lineCount;
    return result;
}

float ZTextFace::blitMultilineText(ZTextFace* face, const char* text, long encoding,
                                   float lineHeight, float x1, float y1, float x2, float y2,
                                   long flow, long offsetX, long offsetY, float kerning,
                                   float lineSpacing, long mode, long& charIndex,
                                   ZTextFaceCharCallback callback, void* userData, float& left,
                                   float& top, float& right, float& bottom, bool& found,
                                   float horizPadding, long& lineCount, long widthCapacity,
                                   float* widths) {
    ZTextFaceNode node;
    node.setFont(face, lineHeight < 0 ? -1 : lineHeight, -1);
    node.setText(text, encoding);
    return blitMultilineTextNodes(1, &node, x1, y1, x2, y2, flow, offsetX, offsetY, kerning,
                                  lineSpacing, mode, charIndex, callback, userData, left, top,
                                  right, bottom, found, horizPadding, lineCount, widthCapacity,
                                  widths, 0, -1, 1, 1, 1, 1, nullptr, nullptr);
}

float ZTextFace::getMultilineNodesHeight(long nodeCount, ZTextFaceNode* nodes, float x1, float y1,
                                         float x2, long flow, float kerning, float lineSpacing,
                                         float horizPadding) {
    LayoutResults u;
    float bottom = blitMultilineTextNodes(
        nodeCount, nodes, x1, y1, x2, y1, flow, 0, 0, kerning, lineSpacing,
        ZTextLayout::kMeasureHeight, u.index, nullptr, nullptr, u.left, u.top, u.right, u.bottom,
        u.found, horizPadding, u.lines, 0, nullptr, 0, -1, 1, 1, 1, 1, nullptr, nullptr);
    return bottom - y1;
}

void ZTextFace::drawMultilineNodes(long nodeCount, ZTextFaceNode* nodes, float x1, float y1,
                                   float x2, long flow, float kerning, float lineSpacing,
                                   float horizPadding, long paramSet, long charLimit, float red,
                                   float green, float blue, float alpha, ZPixelShader* shader,
                                   ZMatrix* matrix) {
    LayoutResults u;
    blitMultilineTextNodes(nodeCount, nodes, x1, y1, x2, y1, flow, 0, 0, kerning, lineSpacing,
                           ZTextLayout::kDraw, u.index, nullptr, nullptr, u.left, u.top, u.right,
                           u.bottom, u.found, horizPadding, u.lines, 0, nullptr, paramSet,
                           charLimit, red, green, blue, alpha, shader, matrix);
}

void ZTextFace::drawMultilineNodesClipped(long nodeCount, ZTextFaceNode* nodes, float x1, float y1,
                                          float x2, float y2, long flow, long offsetX, long offsetY,
                                          float kerning, float lineSpacing, long cursorIndex,
                                          ZTextFaceCharCallback callback, void* userData,
                                          float horizPadding, long paramSet, long charLimit,
                                          float red, float green, float blue, float alpha,
                                          ZPixelShader* shader, ZMatrix* matrix) {
    LayoutResults u;
    u.index = cursorIndex;
    blitMultilineTextNodes(nodeCount, nodes, x1, y1, x2, y2, flow, offsetX, offsetY, kerning,
                           lineSpacing, ZTextLayout::kDrawClipped, u.index, callback, userData,
                           u.left, u.top, u.right, u.bottom, u.found, horizPadding, u.lines, 0,
                           nullptr, paramSet, charLimit, red, green, blue, alpha, shader, matrix);
}

bool ZTextFace::getMultilineNodesClippedCharCoord(long nodeCount, ZTextFaceNode* nodes, float x1,
                                                  float y1, float x2, float y2, long flow,
                                                  long offsetX, long offsetY, float kerning,
                                                  float lineSpacing, long charIndex, long& left,
                                                  long& top, long& right, long& bottom,
                                                  float horizPadding) {
    LayoutResults u;
    u.index = charIndex;
    blitMultilineTextNodes(nodeCount, nodes, x1, y1, x2, y2, flow, offsetX, offsetY, kerning,
                           lineSpacing, ZTextLayout::kCharBox, u.index, nullptr, nullptr, u.left,
                           u.top, u.right, u.bottom, u.found, horizPadding, u.lines, 0, nullptr, 0,
                           -1, 1, 1, 1, 1, nullptr, nullptr);
    if (!u.found) return false;
    // The layout gives the box's top relative to the box; y1 is cut to whole pixels there.
    long top0 = static_cast<long>(y1);
    left = toPixels(u.left);
    right = toPixels(u.right);
    top = toPixels(u.top) + top0;
    bottom = toPixels(u.bottom) + top0;
    return true;
}

long ZTextFace::getMultilineNodesClippedCharPos(long nodeCount, ZTextFaceNode* nodes, float x1,
                                                float y1, float x2, float y2, long flow,
                                                long offsetX, long offsetY, float kerning,
                                                float lineSpacing, long x, long y,
                                                float horizPadding) {
    LayoutResults u;
    u.left = static_cast<float>(x);
    u.top = static_cast<float>(y);
    blitMultilineTextNodes(nodeCount, nodes, x1, y1, x2, y2, flow, offsetX, offsetY, kerning,
                           lineSpacing, ZTextLayout::kCharAtPoint, u.index, nullptr, nullptr,
                           u.left, u.top, u.right, u.bottom, u.found, horizPadding, u.lines, 0,
                           nullptr, 0, -1, 1, 1, 1, 1, nullptr, nullptr);
    return u.index;
}

long ZTextFace::getMultilineNodesWidth(long nodeCount, ZTextFaceNode* nodes, float x1, float y1,
                                       float x2, long flow, float kerning, float lineSpacing,
                                       float horizPadding) {
    LayoutResults u;
    return toPixels(blitMultilineTextNodes(
        nodeCount, nodes, x1, y1, x2, y1, flow, 0, 0, kerning, lineSpacing,
        ZTextLayout::kMeasureWidth, u.index, nullptr, nullptr, u.left, u.top, u.right, u.bottom,
        u.found, horizPadding, u.lines, 0, nullptr, 0, -1, 1, 1, 1, 1, nullptr, nullptr));
}

long ZTextFace::getMultilineNodesWidthArray(long nodeCount, ZTextFaceNode* nodes, float x1,
                                            float y1, float x2, long flow, float kerning,
                                            float lineSpacing, long capacity, float* widths,
                                            float horizPadding) {
    LayoutResults u;
    blitMultilineTextNodes(nodeCount, nodes, x1, y1, x2, y1, flow, 0, 0, kerning, lineSpacing,
                           ZTextLayout::kMeasureWidth, u.index, nullptr, nullptr, u.left, u.top,
                           u.right, u.bottom, u.found, horizPadding, u.lines, capacity, widths, 0,
                           -1, 1, 1, 1, 1, nullptr, nullptr);
    return u.lines;
}

ZTextFaceNode* ZTextFace::getNodeForLineIndex(ZTextFaceNode* nodes, long firstNode, long nodeCount,
                                              long index) {
    if (!nodes) return nullptr;
    for (long i = firstNode < 0 ? 0 : firstNode; i < nodeCount; i++)
        if (nodes[i].firstIndex <= index && index < nodes[i].endIndex) return &nodes[i];
    return nullptr;
}

float ZTextFace::getStringWidthForNodes(ZTextFaceNode* nodes, long firstNode, long nodeCount,
                                        long start, long end, float kerning) {
    if (!nodes || start < 0) return 0;
    if (end > kMaxParagraphChars) end = kMaxParagraphChars;
    float width = 0;
    unsigned long previous = static_cast<unsigned long>(-1);
    long position = start;
    for (long i = firstNode < 0 ? 0 : firstNode; i < nodeCount && position < end; i++) {
        ZTextFaceNode& node = nodes[i];
        if (node.endIndex <= position || node.firstIndex > position) continue;
        long shareEnd = node.endIndex < end ? node.endIndex : end;
        if (node.graphic) {
            width += node.x2 - node.x1;
            previous = static_cast<unsigned long>(-1);
        } else if (node.face) {
            unsigned long saved = g_szTextLine[shareEnd];
            g_szTextLine[shareEnd] = 0;
            width +=
                node.face->getStringWidth(reinterpret_cast<const char*>(&g_szTextLine[position]),
                                          kerning, 1, 5, &previous, shareEnd == end);
            g_szTextLine[shareEnd] = saved;
        }
        position = shareEnd;
    }
    return width;
}

// ---- Encodings ----

bool ZTextFace::detectEncoding(const char* buffer, long size, long& encoding) {
    if (!buffer || size < 1) return false;
    encoding = 0;
    if (size < 3) return true;
    unsigned b0 = byteAt(buffer, 0), b1 = byteAt(buffer, 1), b2 = byteAt(buffer, 2);
    if (b0 == 0xFF && b1 == 0xFE)
        encoding = 3;
    else if (b0 == 0xFE && b1 == 0xFF)
        encoding = 4;
    else if (b0 == 0xEF && b1 == 0xBB && b2 == 0xBF && size >= 4)
        encoding = 1;
    return true;
}

unsigned long ZTextFace::decodeChar(long encoding, const char* text, long& pos, bool forward) {
    if (!text || encoding < 0 || encoding > 5 || pos < 0) return 0;
    // Nothing lies before the start of the text.
    if (!forward && pos == 0) return 0;
    switch (encoding) {
        case 0:
            return forward ? byteAt(text, pos++) : byteAt(text, --pos);
        case 1: {
            if (forward) return decodeUtf8(text, pos);
            long lead = pos - 1;
            while (lead > 0 && isContinuation(byteAt(text, lead))) lead--;
            pos = lead;
            return decodeUtf8(text, lead);
        }
        case 2: {
            if (!forward) return static_cast<unsigned long>(static_cast<long>(load32(text, --pos)));
            int32_t unit = load32(text, pos++);
            uint32_t bits = static_cast<uint32_t>(unit);
            if (isHighSurrogate(bits)) {
                uint32_t next = static_cast<uint32_t>(load32(text, pos));
                if (isLowSurrogate(next)) {
                    pos++;
                    return joinSurrogates(bits, next);
                }
            }
            return static_cast<unsigned long>(static_cast<long>(unit));
        }
        case 3:
        case 4: {
            bool bigEndian = encoding == 4;
            if (forward) {
                unsigned unit = load16(text, pos++, bigEndian);
                if (isHighSurrogate(unit)) {
                    unsigned next = load16(text, pos, bigEndian);
                    if (isLowSurrogate(next)) {
                        pos++;
                        return joinSurrogates(unit, next);
                    }
                }
                return unit;
            }
            unsigned unit = load16(text, --pos, bigEndian);
            if (isLowSurrogate(unit) && pos > 0) {
                unsigned before = load16(text, pos - 1, bigEndian);
                if (isHighSurrogate(before)) {
                    pos--;
                    return joinSurrogates(before, unit);
                }
            }
            return unit;
        }
        default:
            return forward ? load64(text, pos++) : load64(text, --pos);
    }
}

void ZTextFace::encodeChar(long encoding, char* buffer, long& pos, unsigned long code) {
    if (!buffer) return;
    switch (encoding) {
        case 0:
            buffer[pos++] = static_cast<char>(code > 255 ? kQuestionMark : code);
            break;
        case 1:
            if (code <= 0x7F) {
                buffer[pos++] = static_cast<char>(code);
            } else if (code <= 0x7FF) {
                buffer[pos++] = static_cast<char>(0xC0 | (code >> 6 & 0x1F));
                buffer[pos++] = static_cast<char>(0x80 | (code & 0x3F));
            } else if (code <= 0xFFFF) {
                buffer[pos++] = static_cast<char>(0xE0 | (code >> 12 & 0x0F));
                buffer[pos++] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
                buffer[pos++] = static_cast<char>(0x80 | (code & 0x3F));
            } else if (code <= 0x10FFFF) {
                buffer[pos++] = static_cast<char>(0xF0 | (code >> 18 & 0x07));
                buffer[pos++] = static_cast<char>(0x80 | (code >> 12 & 0x3F));
                buffer[pos++] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
                buffer[pos++] = static_cast<char>(0x80 | (code & 0x3F));
            } else {
                buffer[pos++] = static_cast<char>(kQuestionMark);
            }
            break;
        case 2:
        case 3:
        case 4: {
            uint32_t units[2];
            long count = 1;
            if (code < 0x10000) {
                units[0] = static_cast<uint32_t>(code);
            } else if (code > 0x10FFFF) {
                units[0] = kQuestionMark;
            } else {
                units[0] = 0xD800 | ((code - 0x10000) >> 10 & 0x3FF);
                units[1] = 0xDC00 | (code & 0x3FF);
                count = 2;
            }
            for (long i = 0; i < count; i++) {
                if (encoding == 2)
                    store32(buffer, pos++, units[i]);
                else
                    store16(buffer, pos++, units[i], encoding == 4);
            }
            break;
        }
        case 5:
            store64(buffer, pos++, code);
            break;
        default:
            break;
    }
}

long ZTextFace::countChars(long encoding, const char* text) {
    if (!text) return 0;
    long count = 0;
    switch (encoding) {
        case 0:
            return static_cast<long>(strlen(text));
        case 1:
            for (long i = 0; text[i]; i++)
                if (!isContinuation(byteAt(text, i))) count++;
            return count;
        case 2:
            for (long i = 0; load32(text, i) != 0; i++)
                if (!isHighSurrogate(static_cast<uint32_t>(load32(text, i)))) count++;
            return count;
        case 3:
        case 4:
            for (long i = 0;; i++) {
                unsigned unit = load16(text, i, encoding == 4);
                if (unit == 0) break;
                if (!isHighSurrogate(unit)) count++;
            }
            return count;
        case 5:
            while (load64(text, count) != 0) count++;
            return count;
        default:
            return 0;
    }
}

long ZTextFace::getStringLen(long encoding, const char* text) {
    if (!text) return 0;
    long length = 0;
    switch (encoding) {
        case 0:
        case 1:
            return static_cast<long>(strlen(text));
        case 2:
            while (load32(text, length) != 0) length++;
            return length;
        case 3:
        case 4:
            while (load16(text, length, false) != 0) length++;
            return length;
        default:
            return 0;
    }
}

long ZTextFace::getIndexFromCharPos(long encoding, const char* text, long charPos) {
    if (!text || charPos < 0 || encoding < 0 || encoding > 5) return -1;
    long pos = 0;
    for (long i = 0; i < charPos; i++)
        if (decodeChar(encoding, text, pos, true) == 0) return -1;
    return pos;
}

void ZTextFace::insertCharAtPos(long encoding, char* buffer, long bufferSize, long charPos,
                                unsigned long code) {
    // Texts of 64-bit units are not edited.
    if (!buffer || encoding < 0 || encoding > 4) return;
    long index = getIndexFromCharPos(encoding, buffer, charPos);
    if (index < 0) return;
    char scratch[8];
    long units = 0;
    encodeChar(encoding, scratch, units, code);
    long unit = unitSize(encoding);
    long added = units * unit;
    long size = (getStringLen(encoding, buffer) + 1) * unit;
    if (size + added >= bufferSize) return;
    long at = index * unit;
    memmove(buffer + at + added, buffer + at, static_cast<size_t>(size - at));
    memcpy(buffer + at, scratch, static_cast<size_t>(added));
}

void ZTextFace::deleteCharAtPos(long encoding, char* buffer, long charPos) {
    if (!buffer || encoding < 0 || encoding > 4) return;
    long index = getIndexFromCharPos(encoding, buffer, charPos);
    if (index < 0) return;
    long next = index;
    if (decodeChar(encoding, buffer, next, true) == 0) return;
    long unit = unitSize(encoding);
    long size = (getStringLen(encoding, buffer) + 1) * unit;
    memmove(buffer + index * unit, buffer + next * unit, static_cast<size_t>(size - next * unit));
}

// ---- Colours ----

void ZTextFace::parseColor(const char* text, float* rgba) {
    if (!rgba) return;
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 1;
    if (!text) return;
    while (*text == ' ' || *text == '\t') text++;
    while (*text == '#') text++;
    long digits = 0;
    // Past eight digits the earlier ones fall off the top.
    uint32_t value = 0;
    for (;; text++, digits++) {
        char c = *text;
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        value = value << 4 | digit;
    }
    unsigned long argb;
    if (digits < 4)
        argb =
            0xFF000000ul | (value >> 8 & 0xF) << 20 | (value >> 4 & 0xF) << 12 | (value & 0xF) << 4;
    else if (digits == 4)
        argb = (value >> 12 & 0xF) << 28 | (value >> 8 & 0xF) << 20 | (value >> 4 & 0xF) << 12 |
               (value & 0xF) << 4;
    else if (digits <= 6)
        argb = 0xFF000000ul | (value & 0xFFFFFF);
    else
        argb = value;
    rgba[0] = hexChannel(argb >> 16);
    rgba[1] = hexChannel(argb >> 8);
    rgba[2] = hexChannel(argb);
    rgba[3] = hexChannel(argb >> 24);
}

// ---- Shared shaders and batch ----

void ZTextFace::loadShaders() {
    if (g_bShadersChecked) return;
    g_bShadersChecked = true;
    if (ZCore::getRenderer() != eRendererOpenGL) return;
    g_lpGlyphShader = makeShader(kGlyphProgram, "glyph");
    g_lpOutlineShader = makeShader(kOutlineProgram, "outline");
}

ZPixelShader* ZTextFace::getGlyphPixelShader() {
    loadShaders();
    return g_lpGlyphShader;
}

ZPixelShader* ZTextFace::getOutlinePixelShader() {
    loadShaders();
    return g_lpOutlineShader;
}

void ZTextFace::cleanup() {
    delete g_lpGlyphShader;
    delete g_lpOutlineShader;
    g_lpGlyphShader = nullptr;
    g_lpOutlineShader = nullptr;
}

void ZTextFace::alphaModeFactors(long mode, eTazelAlphaOp& source, eTazelAlphaOp& destination) {
    switch (mode) {
        case 0:
        case 4:
            source = eTazelAlphaOpSrcAlpha;
            destination = eTazelAlphaOpOne;
            break;
        case 1:
            source = eTazelAlphaOpSrcAlpha;
            destination = eTazelAlphaOpOneMinusSrcAlpha;
            break;
        case 2:
            source = eTazelAlphaOpOne;
            destination = eTazelAlphaOpOneMinusSrcAlpha;
            break;
        case 3:
            source = eTazelAlphaOpZero;
            destination = eTazelAlphaOpOneMinusSrcAlpha;
            break;
        case 5:
            source = eTazelAlphaOpZero;
            destination = eTazelAlphaOpSrcColor;
            break;
        default:
            break;
    }
}

float ZTextFace::roundHalfUp(float value) {
    float whole = std::floor(value);
    return value - whole >= 0.5f ? whole + 1 : whole;
}

ZBatch* ZTextFace::createTextBatch() {
    if (g_lpTextBatch) return g_lpTextBatch;
    ZBatch* batch = ZCore::createZBatch();
    if (batch && !batch->allocateBuffer(kTextBatchQuads)) {
        delete batch;
        batch = nullptr;
    }
    g_lpTextBatch = batch;
    return batch;
}
