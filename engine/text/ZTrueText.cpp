#include "ZTrueText.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_GLYPH_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#include FT_STROKER_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "ZBatch.h"
#include "ZCore.h"
#include "ZImage.h"
#include "ZResource.h"
#include "ZText.h"
#include "ZTextKerningEntry.h"
#include "ZTextPageBatch.h"
#include "ZTextReader.h"
#include "ZTrueTextKerningPairs.h"

FT_Library ZTrueText::g_lpLibrary = nullptr;
uint64_t ZTrueText::g_nCharMap[ZTrueText::kMaxChars];
int64_t ZTrueText::g_nCharsInMap = -1;
long ZTrueText::g_nZTrueTextEncoding = 0;
ZTrueText* ZTrueText::g_lpFirstFace = nullptr;

namespace {

const unsigned long kNoChar = static_cast<unsigned long>(-1);
const unsigned long kSpace = 32;
const unsigned long kByteOrderMark = 0xFEFF;
const unsigned long kReplacement = 0xFFFD;
const unsigned long kMaxCode = 0x10FFFF;

uint32_t packRGBA(long r, long g, long b, long a) {
    auto byte = [](long v) { return static_cast<uint32_t>(v) & 0xFF; };
    return byte(r) | byte(g) << 8 | byte(b) << 16 | byte(a) << 24;
}

long channel(uint32_t pixel, int index) {
    return static_cast<long>(pixel >> (8 * index) & 0xFF);
}

float clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

// Glyph pages double up to this size; a set that needs more loses characters.
constexpr long kLargestPage = 1024;

// Whether a glyph of this control box (26.6), grown by the margin in pixels, is larger than the
// largest page. Only a damaged face has such glyphs, and rendering one can take gigabytes.
bool largerThanAPage(const FT_BBox& box, double margin) {
    const double width = (static_cast<double>(box.xMax) - static_cast<double>(box.xMin)) / 64;
    const double height = (static_cast<double>(box.yMax) - static_cast<double>(box.yMin)) / 64;
    return width + margin > kLargestPage || height + margin > kLargestPage;
}

// The smallest power of two, at least 4, not below the value.
long powerOfTwoAtLeast(long value) {
    long size = 4;
    while (size < value) size *= 2;
    return size;
}

// The coverage of a rendered glyph's pixel, 0 to 255; one-bit bitmaps count set bits as 255.
long coverageAt(const FT_Bitmap& bitmap, unsigned row, unsigned column) {
    const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        return (line[column >> 3] & (0x80 >> (column & 7))) ? 255 : 0;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) return line[column];
    return 0;
}

FT_BitmapGlyph asBitmap(FT_Glyph glyph) {
    return reinterpret_cast<FT_BitmapGlyph>(glyph);
}

// The glyphs of one render: each code's bitmap (and stroked copy on the shader path), loaded once
// and kept across the passes that restart with a larger page.
struct GlyphSlots {
    std::vector<FT_Glyph> glyphs;
    std::vector<FT_Glyph> strokes;
    std::vector<signed char> state;  // 0 not loaded yet, 1 loaded, -1 failed

    explicit GlyphSlots(size_t count) : glyphs(count), strokes(count), state(count) {}
    ~GlyphSlots() {
        for (FT_Glyph g : glyphs)
            if (g) FT_Done_Glyph(g);
        for (FT_Glyph g : strokes)
            if (g) FT_Done_Glyph(g);
    }
    GlyphSlots(const GlyphSlots&) = delete;
    GlyphSlots& operator=(const GlyphSlots&) = delete;
};

}  // namespace

struct ZTrueText::KerningPair {
    unsigned long first, second;
    float amount;
};

// ---- Construction ----

ZTrueText::ZTrueText(const char* fontFile) {
    addClass("ZTrueText");
    m_nextFace = g_lpFirstFace;
    if (g_lpFirstFace) g_lpFirstFace->m_previousFace = this;
    g_lpFirstFace = this;
    createTextBatch();
    if (!g_lpLibrary) {
        if (FT_Init_FreeType(&g_lpLibrary) != 0) {
            g_lpLibrary = nullptr;
            ZCore::logMessage("ZTrueText: the font library could not be started, ERROR");
        } else {
            // The metrics the faces were designed with are those of the classic hinter.
            FT_UInt version = TT_INTERPRETER_VERSION_35;
            FT_Property_Set(g_lpLibrary, "truetype", "interpreter-version", &version);
        }
    }
    if (g_nCharsInMap < 0) {
        g_nCharsInMap = 0;
        g_nCharMap[g_nCharsInMap++] = kReplacement;
        for (unsigned long code = 32; code <= 255; code++) g_nCharMap[g_nCharsInMap++] = code;
        g_nZTrueTextEncoding = 0;
        countMaxCharPages();
    }
    m_charCapacity = static_cast<long>(g_nCharsInMap) + 1;
    m_chars = new ZFontExt[m_charCapacity]();
    m_stream = new FT_StreamRec();
    if (fontFile) loadFontFile(fontFile, false, true, false);
}

ZTrueText::~ZTrueText() {
    freePages();
    freeTables();
    delete[] m_chars;
    delete[] m_gradient;
    closeFace();
    delete m_stream;
    delete[] m_memory;
    delete m_resource;
    if (m_previousFace) m_previousFace->m_nextFace = m_nextFace;
    if (m_nextFace) m_nextFace->m_previousFace = m_previousFace;
    if (g_lpFirstFace == this) g_lpFirstFace = m_nextFace;
}

ZTrueText* ZTrueText::isZTrueText(ZTextFace* face) {
    return face && face->isOfClass("ZTrueText") ? static_cast<ZTrueText*>(face) : nullptr;
}

void ZTrueText::cleanup() {
    // Faces that outlive the library keep their pages and reopen their fonts by name when next
    // used (a font given in memory cannot be).
    for (ZTrueText* face = g_lpFirstFace; face; face = face->m_nextFace) {
        if (!face->m_face) continue;
        face->closeFace();
        face->m_reopenNeeded = true;
        delete[] face->m_memory;
        face->m_memory = nullptr;
        face->m_memorySize = 0;
    }
    if (g_lpLibrary) FT_Done_FreeType(g_lpLibrary);
    g_lpLibrary = nullptr;
    ZTextFace::cleanup();
}

// ---- Glyph set ----

void ZTrueText::countMaxCharPages() {
    std::sort(g_nCharMap, g_nCharMap + std::max<int64_t>(g_nCharsInMap, 0));
}

bool ZTrueText::initializeAsUnicode(long count, const char* const* texts, long encoding) {
    // Kept between calls, like the map it fills: a fresh table of every code point each time
    // costs more in page faults than the marking itself.
    static std::vector<bool> marked;
    marked.assign(kMaxCode + 1, false);
    g_nCharsInMap = 0;
    g_nCharMap[g_nCharsInMap++] = kReplacement;
    for (unsigned long code = 32; code <= 127; code++) {
        g_nCharMap[g_nCharsInMap++] = code;
        marked[code] = true;
    }
    g_nZTrueTextEncoding = encoding;
    bool complete = true;
    for (long i = 0; texts && i < count; i++) {
        if (!texts[i]) continue;
        ZTextReader reader(texts[i], encoding);
        for (unsigned long code; (code = reader.next()) != 0;) {
            if (code < 32 || code > kMaxCode || code == kByteOrderMark || code == kReplacement)
                continue;
            if (marked[code]) continue;
            marked[code] = true;
            if (g_nCharsInMap < kMaxChars)
                g_nCharMap[g_nCharsInMap++] = code;
            else
                complete = false;
        }
    }
    countMaxCharPages();
    return complete;
}

// ---- Opening ----

unsigned long ZTrueText::userReadResource(FT_Stream stream, unsigned long offset,
                                          unsigned char* buffer, unsigned long count) {
    ZTrueText* face = static_cast<ZTrueText*>(stream->descriptor.pointer);
    ZResource* resource = face ? face->m_resource : nullptr;
    bool placed = resource && offset <= 0x7FFFFFFFul &&
                  resource->seek(ZResourceWhenceSet, static_cast<int>(offset)) == ZResourceOk;
    // A seek (count 0) answers 0 for success and anything else for failure.
    if (count == 0) return placed ? 0 : 1;
    if (!placed) return 0;
    return resource->readAndCount(buffer, count);
}

void ZTrueText::userCloseResource(FT_Stream stream) {
    ZTrueText* face = static_cast<ZTrueText*>(stream->descriptor.pointer);
    if (face && face->m_resource) face->m_resource->close();
}

unsigned long ZTrueText::userReadMemory(FT_Stream stream, unsigned long offset,
                                        unsigned char* buffer, unsigned long count) {
    ZTrueText* face = static_cast<ZTrueText*>(stream->descriptor.pointer);
    if (count == 0) return face && face->m_memory && offset <= face->m_memorySize ? 0 : 1;
    if (!face || !face->m_memory || offset >= face->m_memorySize) return 0;
    unsigned long n = std::min(count, face->m_memorySize - offset);
    memcpy(buffer, face->m_memory + offset, n);
    return n;
}

void ZTrueText::userCloseMemory(FT_Stream stream) {
    ZTrueText* face = static_cast<ZTrueText*>(stream->descriptor.pointer);
    if (!face) return;
    delete[] face->m_memory;
    face->m_memory = nullptr;
    face->m_memorySize = 0;
}

void ZTrueText::closeFace() {
    if (m_face) FT_Done_Face(m_face);
    m_face = nullptr;
}

bool ZTrueText::openStream(const char* pathName, bool kerningPairs, bool trueColor, bool mipmaps) {
    if (!m_stream) m_stream = new FT_StreamRec();
    FT_Open_Args args;
    memset(&args, 0, sizeof(args));
    // The name is only carried along: with the path flag FreeType would open the file itself.
    args.flags = FT_OPEN_STREAM;
    args.stream = m_stream;
    args.pathname = const_cast<char*>(pathName);
    if (!g_lpLibrary || FT_Open_Face(g_lpLibrary, &args, 0, &m_face) != 0) {
        m_face = nullptr;
        return false;
    }
    if (!m_face->charmap) FT_Select_Charmap(m_face, FT_ENCODING_APPLE_ROMAN);
    m_trueColor = trueColor;
    m_mipmaps = mipmaps;
    m_kerningPairs = kerningPairs;
    m_renderingNeeded = true;
    m_reopenNeeded = false;
    // A face opened again keeps the size it was given.
    if (m_heightSetting > 0)
        FT_Set_Pixel_Sizes(m_face, 0, static_cast<FT_UInt>(m_heightSetting));
    else if (m_heightSetting < 0)
        FT_Set_Char_Size(m_face, 0, static_cast<FT_F26Dot6>(-m_heightSetting * 64), 96, 96);
    return true;
}

bool ZTrueText::loadFontFile(const char* name, bool kerningPairs, bool trueColor, bool mipmaps) {
    closeFace();
    delete[] m_memory;
    m_memory = nullptr;
    m_memorySize = 0;
    m_trueColor = trueColor;
    m_mipmaps = mipmaps;
    if (!name) return false;
    if (!m_resource) m_resource = new ZResource();
    m_resource->close();
    if (m_resource->open(name, ZResourceModeRead) != ZResourceOk) return false;
    int size = 0;
    if (m_resource->seek(ZResourceWhenceEnd, 0) != ZResourceOk ||
        m_resource->tell(size) != ZResourceOk || size <= 0 ||
        m_resource->seek(ZResourceWhenceSet, 0) != ZResourceOk) {
        m_resource->close();
        return false;
    }
    if (!m_stream) m_stream = new FT_StreamRec();
    memset(m_stream, 0, sizeof(*m_stream));
    m_stream->size = static_cast<unsigned long>(size);
    m_stream->descriptor.pointer = this;
    m_stream->read = userReadResource;
    m_stream->close = userCloseResource;
    m_fromMemory = false;
    if (!openStream(name, kerningPairs, trueColor, mipmaps)) return false;
    snprintf(m_fileName, sizeof(m_fileName), "%s", name);
    return true;
}

bool ZTrueText::loadFontFileFromPtr(const unsigned char* data, unsigned long size,
                                    bool kerningPairs, bool trueColor, bool mipmaps) {
    closeFace();
    delete[] m_memory;
    m_memory = nullptr;
    m_memorySize = 0;
    if (m_resource) m_resource->close();
    m_fileName[0] = 0;
    if (!data || size == 0) return false;
    m_memory = new (std::nothrow) unsigned char[size];
    if (!m_memory) return false;
    memcpy(m_memory, data, size);
    m_memorySize = size;
    if (!m_stream) m_stream = new FT_StreamRec();
    memset(m_stream, 0, sizeof(*m_stream));
    m_stream->size = size;
    m_stream->descriptor.pointer = this;
    m_stream->read = userReadMemory;
    m_stream->close = userCloseMemory;
    m_fromMemory = true;
    return openStream("font.ttf", kerningPairs, trueColor, mipmaps);
}

bool ZTrueText::checkFontFace() {
    if (!m_face && m_reopenNeeded && m_fileName[0]) {
        m_reopenNeeded = false;
        delete m_stream;
        m_stream = new FT_StreamRec();
        char name[kNameSize];
        memcpy(name, m_fileName, sizeof(name));
        loadFontFile(name, false, true, false);
    }
    return m_face != nullptr;
}

bool ZTrueText::prepare() {
    if (!checkFontFace()) return false;
    if (m_renderingNeeded) render(nullptr, -1, true);
    return m_face != nullptr;
}

long ZTrueText::loadFlags(long base) const {
    if (m_fromMemory && m_compatibilityLevel <= 0) base |= FT_LOAD_FORCE_AUTOHINT;
    return base;
}

// Loads the character's glyph into the face's slot and renders it, unless it is larger than the
// largest page: the face's glyph set leaves such glyphs out, and so do the texts drawn here.
bool ZTrueText::loadRenderedChar(unsigned long code, long flags) {
    if (FT_Load_Char(m_face, code, static_cast<FT_Int32>(flags)) != 0) return false;
    FT_GlyphSlot slot = m_face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        if (largerThanAPage(box, 0)) return false;
    }
    return FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0;
}

// ---- Sizes and settings ----

void ZTrueText::markChanged() {
    m_renderingNeeded = true;
    if (!m_deferred) render(nullptr, -1, true);
}

void ZTrueText::setHeightPix(long pixels) {
    if (!checkFontFace() || pixels < 1) return;
    long before = getHeightPix();
    if (FT_Set_Pixel_Sizes(m_face, 0, static_cast<FT_UInt>(pixels)) != 0) return;
    m_heightSetting = pixels;
    if (getHeightPix() != before) markChanged();
}

void ZTrueText::setHeightPt(long points) {
    if (!checkFontFace() || points < 1) return;
    long before = getHeightPix();
    if (FT_Set_Char_Size(m_face, 0, static_cast<FT_F26Dot6>(points * 64), 96, 96) != 0) return;
    m_heightSetting = -points;
    if (getHeightPix() != before) markChanged();
}

long ZTrueText::getHeightPix() {
    if (!checkFontFace() || !m_face->size) return 0;
    return static_cast<long>(m_face->size->metrics.height >> 6) + m_topOvershoot;
}

long ZTrueText::getAscenderPix() {
    if (!checkFontFace() || !m_face->size) return 0;
    return static_cast<long>(m_face->size->metrics.ascender >> 6);
}

long ZTrueText::getDescenderPix() {
    if (!checkFontFace() || !m_face->size) return 0;
    return static_cast<long>(m_face->size->metrics.descender >> 6);
}

long ZTrueText::getCompatibilityLevel() {
    return m_compatibilityLevel;
}

void ZTrueText::setCompatibilityLevel(long level) {
    m_compatibilityLevel = level;
}

bool ZTrueText::setIgnoreTopSpacing(bool ignore) {
    bool previous = m_ignoreTopSpacing;
    m_ignoreTopSpacing = ignore;
    if (previous != ignore) markChanged();
    return previous;
}

void ZTrueText::setDeferredRendering(bool deferred) {
    m_deferred = deferred;
    if (!deferred && isRenderingNeeded()) render(nullptr, -1, true);
}

bool ZTrueText::isRenderingNeeded() {
    return checkFontFace() && m_renderingNeeded;
}

long ZTrueText::getTextEncoding() {
    return g_nZTrueTextEncoding;
}

long ZTrueText::resolveEncoding(long encoding) const {
    return encoding == -1 ? g_nZTrueTextEncoding : encoding;
}

ZGraphic* ZTrueText::getPage(long page) const {
    return page >= 0 && page < m_pageCount ? m_pages[page] : nullptr;
}

// ---- Rendering ----

bool ZTrueText::effectsOn() const {
    return !m_shaderRendering && (m_outlineSize > 0 || m_shadowSize > 0);
}

float ZTrueText::effectPadding() const {
    if (m_shaderRendering) return std::floor(m_shaderRadius + 0.99999f);
    float padding = m_effectPadding;
    if (m_outlineSize > 0 || m_shadowSize > 0) {
        long offset = std::labs(m_shadowDx) > std::labs(m_shadowDy) ? std::labs(m_shadowDx)
                                                                    : std::labs(m_shadowDy);
        long reach = std::max(m_outlineSize, offset + m_shadowSize);
        padding += static_cast<float>(std::max(0L, reach - 1));
    }
    return padding;
}

void ZTrueText::effectMargins(long& mx, long& my) const {
    mx = std::labs(m_shadowDx) + m_shadowSize;
    if (std::labs(m_shadowDx) + 2 + m_shadowSize < m_outlineSize + 2) mx = m_outlineSize;
    my = std::labs(m_shadowDy) + m_shadowSize;
    if (std::labs(m_shadowDy) + 2 + m_shadowSize < m_outlineSize + 2) my = m_outlineSize;
}

void ZTrueText::freePages() {
    for (long page = kPageCount - 1; page >= 0; page--) {
        delete m_pages[page];
        m_pages[page] = nullptr;
        // Only once its graphic is gone: the graphic reads its array again when polled.
        delete[] m_pagePixels[page];
        m_pagePixels[page] = nullptr;
    }
    m_pageCount = 0;
}

void ZTrueText::freeTables() {
    for (long i = 0; i < m_lookupCount; i++) delete[] m_lookupPages[i];
    delete[] m_lookupPages;
    delete[] m_lookupKeys;
    m_lookupPages = nullptr;
    m_lookupKeys = nullptr;
    m_lookupCount = 0;
    delete[] m_kerningBuckets;
    delete[] m_kerningEntries;
    m_kerningBuckets = nullptr;
    m_kerningEntries = nullptr;
    m_kerningCount = 0;
}

void ZTrueText::freeGraphics() {
    freePages();
    m_renderingNeeded = true;
    freeTables();
    if (m_chars) m_chars[0] = ZFontExt();
    m_charCount = 0;
    delete[] m_gradient;
    m_gradient = nullptr;
    m_gradientCount = 0;
    closeFace();
    m_reopenNeeded = true;
    delete m_stream;
    m_stream = nullptr;
    delete[] m_memory;
    m_memory = nullptr;
    m_memorySize = 0;
}

void ZTrueText::buildGradient(long rows, uint32_t* column) const {
    if (m_gradientCount <= 0 || !m_gradient) {
        for (long row = 0; row <= rows; row++) column[row] = 0xFFFFFFFFu;
        return;
    }
    auto pack = [](float r, float g, float b, float a) {
        return packRGBA(static_cast<long>(r * 255), static_cast<long>(g * 255),
                        static_cast<long>(b * 255), static_cast<long>(a * 255));
    };
    const ZTrueTextGradientColor* previous = &m_gradient[0];
    long start = 0;
    for (long i = 0; i < m_gradientCount; i++) {
        const ZTrueTextGradientColor& stop = m_gradient[i];
        long end = static_cast<long>(stop.position * static_cast<float>(rows));
        end = std::max(0L, std::min(rows, end));
        for (long row = start; row < end; row++) {
            float t = static_cast<float>(row - start) / static_cast<float>(end - start);
            column[row] = pack(
                previous->r + (stop.r - previous->r) * t, previous->g + (stop.g - previous->g) * t,
                previous->b + (stop.b - previous->b) * t, previous->a + (stop.a - previous->a) * t);
        }
        previous = &stop;
        if (end > start) start = end;
    }
    for (long row = start; row <= rows; row++)
        column[row] = pack(previous->r, previous->g, previous->b, previous->a);
}

bool ZTrueText::render(const char* imageName, long imageFormat, bool topAligned) {
    const long padding = static_cast<long>(effectPadding());
    if (!checkFontFace()) return true;
    m_renderingNeeded = false;
    snprintf(ZText::g_szGraphicFileNameBuf, ZText::kNameSize, "%s", imageName ? imageName : "");
    freePages();
    freeTables();
    m_charCount = 0;

    // The size comes first: kerning pairs are scaled with it.
    if (m_heightSetting == 0) FT_Set_Char_Size(m_face, 0, 768, 96, 96);
    int16_t* pairs = nullptr;
    uint32_t pairCount = 0;
    if (m_kerningPairs && FT_Get_Kerning_Pairs(m_face, FT_KERNING_DEFAULT, &pairCount, &pairs)) {
        free(pairs);
        pairs = nullptr;
        pairCount = 0;
    }

    const long setSize = static_cast<long>(std::max<int64_t>(g_nCharsInMap, 0));
    if (m_charCapacity < setSize + 1) {
        ZFontExt* grown = new ZFontExt[setSize + 1]();
        if (m_chars) std::copy(m_chars, m_chars + m_charCapacity, grown);
        delete[] m_chars;
        m_chars = grown;
        m_charCapacity = setSize + 1;
    }

    const long ascender = static_cast<long>(m_face->size->metrics.ascender >> 6);
    const long lineHeight = static_cast<long>(m_face->size->metrics.height >> 6);
    long rows;
    bool noLineHeight = lineHeight == 0;
    if (noLineHeight) {
        if (loadRenderedChar('M', loadFlags(FT_LOAD_DEFAULT)))
            rows = static_cast<long>(m_face->glyph->metrics.height >> 6) - 1;
        else
            rows = 31;
    } else {
        rows = lineHeight - 1;
    }
    rows = std::max(rows, 1L);
    m_topOvershoot = 0;
    std::vector<uint32_t> gradient(static_cast<size_t>(rows) + 1);
    buildGradient(rows, gradient.data());

    long pageSize = getHeightPix() < 20 ? 256 : 512;
    GlyphSlots slots(static_cast<size_t>(setSize));
    const bool stroking = m_shaderRendering && m_shaderRadius > 0;
    const long start = padding + 2;
    std::vector<long> placedSlot(static_cast<size_t>(setSize));

    // Packing: cells left to right in rows, rows down the page, pages in order; the whole pass
    // starts again with twice the page size when eight pages (five of 256) do not hold the set.
    long placed = 0, widest = 0;
    for (;;) {
        long x = start, y = start, rowHeight = 0, page = 0;
        bool restart = false, stop = false;
        placed = 0;
        widest = 0;
        m_topOvershoot = 0;
        for (long i = 0; i < setSize && !stop; i++) {
            const unsigned long code = static_cast<unsigned long>(g_nCharMap[i]);
            if (slots.state[i] == 0) {
                slots.state[i] = -1;
                FT_UInt index;
                if (m_face->charmap) {
                    index = FT_Get_Char_Index(m_face, code);
                } else {
                    index = static_cast<FT_UInt>(code);
                    if (code >= static_cast<unsigned long>(m_face->num_glyphs)) continue;
                }
                FT_Glyph glyph = nullptr;
                if (FT_Load_Glyph(m_face, index,
                                  static_cast<FT_Int32>(loadFlags(FT_LOAD_NO_BITMAP))) != 0 ||
                    FT_Get_Glyph(m_face->glyph, &glyph) != 0)
                    continue;
                // No page holds such a glyph: it is refused before it is rendered.
                FT_BBox box;
                FT_Glyph_Get_CBox(glyph, FT_GLYPH_BBOX_SUBPIXELS, &box);
                if (largerThanAPage(box, stroking ? 2.0 * m_shaderRadius + 2 : 0)) {
                    ZCore::logMessage("ZTrueText: %s: glyph %lu is larger than a page, WARNING",
                                      m_fileName, code);
                    FT_Done_Glyph(glyph);
                    continue;
                }
                if (stroking) {
                    FT_Glyph copy = nullptr;
                    FT_Stroker stroker = nullptr;
                    if (FT_Glyph_Copy(glyph, &copy) == 0 &&
                        FT_Stroker_New(g_lpLibrary, &stroker) == 0) {
                        FT_Stroker_Set(stroker, static_cast<FT_Fixed>(m_shaderRadius * 64),
                                       FT_STROKER_LINECAP_ROUND, FT_STROKER_LINEJOIN_ROUND, 0);
                        bool stroked =
                            FT_Glyph_Stroke(&copy, stroker, 1) == 0 &&
                            FT_Glyph_To_Bitmap(&copy, FT_RENDER_MODE_NORMAL, nullptr, 1) == 0 &&
                            copy->format == FT_GLYPH_FORMAT_BITMAP;
                        FT_Stroker_Done(stroker);
                        if (stroked) {
                            slots.strokes[i] = copy;
                            copy = nullptr;
                        }
                    }
                    if (copy) FT_Done_Glyph(copy);
                }
                if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) != 0 ||
                    glyph->format != FT_GLYPH_FORMAT_BITMAP) {
                    FT_Done_Glyph(glyph);
                    if (slots.strokes[i]) FT_Done_Glyph(slots.strokes[i]);
                    slots.strokes[i] = nullptr;
                    continue;
                }
                slots.glyphs[i] = glyph;
                slots.state[i] = 1;
            }
            if (slots.state[i] != 1) continue;

            FT_BitmapGlyph bitmap = asBitmap(slots.strokes[i] ? slots.strokes[i] : slots.glyphs[i]);
            const long width = static_cast<long>(bitmap->bitmap.width);
            const long height = static_cast<long>(bitmap->bitmap.rows);
            const long yo = topAligned ? 0 : ascender - bitmap->top;
            const long cell = padding + width + 2 + padding;
            // A cell that fits no empty page of this size takes a larger page.
            if (start + cell > pageSize || start + yo + 2 + height > pageSize) {
                if (pageSize < kLargestPage) {
                    pageSize *= 2;
                    restart = true;
                    break;
                }
                ZCore::logMessage("ZTrueText: %s: glyph %lu is larger than a page, WARNING",
                                  m_fileName, code);
                continue;
            }
            if (pageSize < x + cell) {
                widest = std::max(widest, x);
                y += rowHeight + padding + 2 + padding;
                x = start;
            }
            rowHeight = std::max(rowHeight, yo + 2 + height);
            if (rowHeight + y > pageSize) {
                if (page <= 3 || (page <= 6 && pageSize > 256)) {
                    widest = std::max(widest, x);
                    page++;
                    x = y = start;
                    rowHeight = yo + 2 + height;
                } else if (page <= 6 || pageSize < kLargestPage) {
                    pageSize *= 2;
                    restart = true;
                    break;
                } else {
                    ZCore::logMessage(
                        "ZTrueText: %s: maximum graphics per font reached, some characters will "
                        "be missing, WARNING.",
                        m_fileName);
                    stop = true;
                    break;
                }
            }
            placedSlot[placed] = i;
            ZFontExt& entry = m_chars[placed++];
            entry.code = code;
            entry.page = page;
            entry.x1 = static_cast<float>(x);
            entry.x2 = static_cast<float>(x + width);
            entry.y1 = static_cast<float>(y + yo);
            entry.y2 = static_cast<float>(y + yo + height);
            entry.advance = static_cast<float>(slots.glyphs[i]->advance.x >> 16);
            entry.xOffset = static_cast<float>(bitmap->left);
            entry.yOffset = static_cast<float>(ascender - bitmap->top);
            entry.height = 0;
            entry.page = page;
            x += cell;
            long overshoot = bitmap->top - ascender;
            if (overshoot > 0 && overshoot > m_topOvershoot) m_topOvershoot = overshoot;
        }
        if (!restart) {
            widest = std::max(widest, x);
            break;
        }
    }

    m_chars[placed] = ZFontExt();
    long lowest = 0;
    // A damaged face can put a glyph's top far above its ascender: moving every glyph down by
    // that much would ask for a page of gigabytes, so the move stops at the largest page.
    for (long i = 0; i < placed; i++) lowest = std::max(lowest, static_cast<long>(m_chars[i].y2));
    const long room = std::max(0L, kLargestPage - 1 - lowest);
    if (m_topOvershoot > room) {
        ZCore::logMessage(
            "ZTrueText: %s: glyphs reach %ld pixels above the ascender, cut to %ld, WARNING",
            m_fileName, m_topOvershoot, room);
        m_topOvershoot = room;
    }
    lowest = 0;
    const long overshoot = m_topOvershoot;
    for (long i = 0; i < placed; i++) {
        ZFontExt& entry = m_chars[i];
        if (overshoot > 0) {
            entry.y1 += static_cast<float>(overshoot);
            entry.y2 += static_cast<float>(overshoot);
            if (!m_ignoreTopSpacing) entry.yOffset += static_cast<float>(overshoot);
        }
        entry.height =
            static_cast<float>(static_cast<long>(entry.y2) - static_cast<long>(entry.y1));
        lowest = std::max(lowest, static_cast<long>(entry.y2));
    }
    if (overshoot > 0 && m_ignoreTopSpacing) m_topOvershoot = 0;

    const long size = powerOfTwoAtLeast(std::max(widest, lowest + 1));
    const size_t pixelsPerPage = static_cast<size_t>(size) * static_cast<size_t>(size);
    const bool effects = effectsOn();
    bool saved = true, failed = false;

    uint32_t* pixels = placed > 0 ? new (std::nothrow) uint32_t[pixelsPerPage]() : nullptr;
    if (placed > 0 && !pixels) {
        ZCore::logMessage("ZTrueText: %s: no memory for a %ldx%ld page, ERROR", m_fileName, size,
                          size);
        failed = true;
    }
    // Writes one pixel when it lies on the page.
    auto put = [&](long px, long py) -> uint32_t* {
        if (px < 0 || py < 0 || px >= size || py >= size) return nullptr;
        return &pixels[static_cast<size_t>(py) * static_cast<size_t>(size) + px];
    };
    long pageLowest = 0;
    for (long i = 0; i < placed && !failed; i++) {
        const ZFontExt& entry = m_chars[i];
        const long slot = placedSlot[i];
        FT_BitmapGlyph glyph = asBitmap(slots.glyphs[slot]);
        FT_BitmapGlyph stroke = slots.strokes[slot] ? asBitmap(slots.strokes[slot]) : nullptr;
        const long x1 = static_cast<long>(entry.x1), y1 = static_cast<long>(entry.y1);
        if (!m_shaderRendering) {
            const long top = noLineHeight ? 0 : glyph->top;
            for (unsigned r = 0; r < glyph->bitmap.rows; r++) {
                long row = std::max(0L, std::min(rows, ascender - top + static_cast<long>(r)));
                uint32_t colour = gradient[row];
                for (unsigned c = 0; c < glyph->bitmap.width; c++) {
                    long coverage = coverageAt(glyph->bitmap, r, c);
                    if (!coverage) continue;
                    uint32_t* p = put(x1 + c, y1 + r);
                    if (!p) continue;
                    long alpha = coverage * channel(colour, 3) / 255;
                    *p = (colour & 0x00FFFFFFu) | static_cast<uint32_t>(alpha) << 24;
                }
            }
        } else {
            long gx = x1, gy = y1;
            if (stroke) {
                for (unsigned r = 0; r < stroke->bitmap.rows; r++)
                    for (unsigned c = 0; c < stroke->bitmap.width; c++)
                        if (uint32_t* p = put(x1 + c, y1 + r))
                            *p = static_cast<uint32_t>(coverageAt(stroke->bitmap, r, c)) << 8;
                gx = x1 + glyph->left - stroke->left;
                gy = y1 + stroke->top - glyph->top;
            }
            for (unsigned r = 0; r < glyph->bitmap.rows; r++)
                for (unsigned c = 0; c < glyph->bitmap.width; c++)
                    if (uint32_t* p = put(gx + c, gy + r))
                        *p |= static_cast<uint32_t>(coverageAt(glyph->bitmap, r, c));
        }
        pageLowest = std::max(pageLowest, static_cast<long>(entry.y2));
        bool lastOfPage = i + 1 == placed || m_chars[i + 1].page != entry.page;
        if (!lastOfPage) continue;

        uint32_t* image = pixels;
        if (effects) {
            uint32_t* effect = new (std::nothrow) uint32_t[pixelsPerPage]();
            if (effect) {
                if (m_shadowSize > 0)
                    for (long j = -m_shadowSize; j <= m_shadowSize; j++)
                        for (long k = -m_shadowSize; k <= m_shadowSize; k++)
                            if (j != 0 || k != 0)
                                copyOutline(pixels, 0, 0, size, size, effect, m_shadowDx + k,
                                            m_shadowDy + j, m_shadowColor[0], m_shadowColor[1],
                                            m_shadowColor[2], m_shadowColor[3], size);
                if (m_outlineSize > 0)
                    for (long j = -m_outlineSize; j <= m_outlineSize; j++)
                        for (long k = -m_outlineSize; k <= m_outlineSize; k++)
                            if (j != 0 || k != 0)
                                copyOutline(pixels, 0, 0, size, size, effect, k, j,
                                            m_outlineColor[0], m_outlineColor[1], m_outlineColor[2],
                                            m_outlineColor[3], size);
                blurOutline(effect, size);
                copyRect(pixels, 0, 0, size, size, effect, 0, 0, 1, size);
                image = effect;
            }
        }
        long pageHeight = std::min(size, powerOfTwoAtLeast(pageLowest + padding + 2));
        ZGraphic* graphic = ZCore::createZGraphic();
        if (!graphic) {
            ZCore::logMessage("ZTrueText: %s: no graphic for page %ld, ERROR", m_fileName,
                              entry.page);
            if (image != pixels) delete[] image;
            failed = true;
            break;
        }
        graphic->setTextureQuality(true);
        if (m_mipmaps) graphic->generateMipMaps(true);
        graphic->makePictureFromArray(image, size, pageHeight, m_trueColor, true, false, nullptr);
        m_pages[m_pageCount] = graphic;
        m_pagePixels[m_pageCount] = image;
        m_pageCount++;
        if (saved && ZText::g_szGraphicFileNameBuf[0]) {
            if (m_pageCount > 1 && !ZText::incrementIndexInName(ZText::g_szGraphicFileNameBuf))
                saved = false;
            else
                saved = savePage(m_pageCount - 1, image, size, pageHeight, imageFormat);
            if (!saved)
                ZCore::logMessage("ZTrueText: page %ld could not be saved to %s, ERROR",
                                  m_pageCount - 1, ZText::g_szGraphicFileNameBuf);
        }
        if (image == pixels) {
            // The graphic keeps this array: the next page composes into a fresh one.
            pixels = i + 1 < placed ? new (std::nothrow) uint32_t[pixelsPerPage]() : nullptr;
            if (i + 1 < placed && !pixels) failed = true;
        } else {
            std::fill(pixels, pixels + pixelsPerPage, 0u);
        }
        pageLowest = 0;
    }
    if (pixels && (m_pageCount == 0 || pixels != m_pagePixels[m_pageCount - 1])) delete[] pixels;

    if (failed) {
        // A face without all its pages draws nothing rather than glyphs of missing pages.
        freePages();
        m_charCount = 0;
        m_chars[0] = ZFontExt();
        free(pairs);
        return false;
    }
    m_charCount = placed;
    buildLookup();
    buildKerning(pairs, pairCount);
    free(pairs);

    if (effects) {
        long mx, my;
        effectMargins(mx, my);
        for (long i = 0; i < m_charCount; i++) {
            ZFontExt& entry = m_chars[i];
            entry.x1 -= static_cast<float>(mx + 2);
            entry.y1 -= static_cast<float>(my + 2);
            entry.x2 += static_cast<float>(mx + 2);
            entry.y2 += static_cast<float>(my + 2);
            if (m_compatibilityLevel <= 0) {
                entry.xOffset -= static_cast<float>(mx + 2);
                entry.yOffset -= static_cast<float>(my + 2);
            }
        }
    }
    return saved;
}

bool ZTrueText::savePage(long, const uint32_t* pixels, long width, long height, long format) {
    ZImage image;
    image.setPixels(static_cast<unsigned long>(width), static_cast<unsigned long>(height), true,
                    const_cast<uint32_t*>(pixels), false, true);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    bool encoded = image.encodeImage(format, data, size, 94);
    // The pixels stay the page's.
    image.setPixels(0, 0, false, nullptr, false, true);
    if (!encoded || !data) {
        delete[] data;
        return false;
    }
    ZResource file;
    bool written = file.open(ZText::g_szGraphicFileNameBuf, ZResourceModeWrite) == ZResourceOk &&
                   file.writeAndCount(data, size) == size;
    file.close();
    delete[] data;
    return written;
}

void ZTrueText::buildLookup() {
    if (m_charCount <= 0) return;
    m_lookupKeys = new long[m_charCount];
    m_lookupPages = new int64_t*[m_charCount]();
    long current = -1;
    for (long i = 0; i < m_charCount; i++) {
        const ZFontExt& entry = m_chars[i];
        long key = static_cast<long>(entry.code >> 11);
        if (current < 0 || m_lookupKeys[current] != key) {
            current = m_lookupCount++;
            m_lookupKeys[current] = key;
            m_lookupPages[current] = new int64_t[kLookupPageSize]();
        }
        m_lookupPages[current][entry.code & (kLookupPageSize - 1)] = i + 1;
        if (entry.code == kReplacement) m_replacementIndex = i;
    }
}

void ZTrueText::buildKerning(const int16_t* pairs, unsigned long count) {
    if (!pairs || count == 0 || m_face->num_glyphs < 1 || m_face->num_glyphs > 65535) return;
    const unsigned long glyphs = static_cast<unsigned long>(m_face->num_glyphs);
    std::vector<unsigned long> codes(glyphs);
    FT_UInt index = 0;
    FT_ULong code = FT_Get_First_Char(m_face, &index);
    for (unsigned long steps = 0; index != 0 && steps < glyphs; steps++) {
        if (index < glyphs) codes[index] = code;
        code = FT_Get_Next_Char(m_face, code, &index);
    }
    std::vector<ZTextKerningEntry*> kept;
    m_kerningEntries = new ZTextKerningEntry[count];
    m_kerningBuckets = new ZTextKerningEntry*[kKerningBuckets]();
    for (unsigned long i = 0; i < count; i++) {
        // Glyph indices are unsigned 16-bit numbers, checked against the face.
        unsigned left = static_cast<uint16_t>(pairs[i * 3]);
        unsigned right = static_cast<uint16_t>(pairs[i * 3 + 1]);
        int value = pairs[i * 3 + 2];
        if (value == 0 || left >= glyphs || right >= glyphs) continue;
        unsigned long first = codes[left], second = codes[right];
        // Only pairs of two placed glyphs: a code outside the set resolves to U+FFFD's entry and
        // would kern a glyph that is not its own. The set's lowest code (entry 0) is left out.
        long firstIndex = getCharTableIndex(first), secondIndex = getCharTableIndex(second);
        if (firstIndex <= 0 || secondIndex <= 0 || m_chars[firstIndex].code != first ||
            m_chars[secondIndex].code != second)
            continue;
        ZTextKerningEntry& entry = m_kerningEntries[m_kerningCount++];
        entry.first = first;
        entry.second = second;
        entry.amount = static_cast<float>(value >> 6);
        entry.bucket = static_cast<long>(((second & 63) << 6) | (first & 63));
        entry.bucketNext = m_kerningBuckets[entry.bucket];
        m_kerningBuckets[entry.bucket] = &entry;
    }
    if (m_kerningCount == 0) {
        delete[] m_kerningEntries;
        delete[] m_kerningBuckets;
        m_kerningEntries = nullptr;
        m_kerningBuckets = nullptr;
    }
}

long ZTrueText::getCharTableIndex(unsigned long code) {
    if (!m_chars || code == kByteOrderMark) return -1;
    long key = static_cast<long>(code >> 11);
    for (long i = 0; i < m_lookupCount; i++) {
        if (m_lookupKeys[i] != key) continue;
        int64_t slot = m_lookupPages[i][code & (kLookupPageSize - 1)];
        return slot ? static_cast<long>(slot - 1) : m_replacementIndex;
    }
    return m_replacementIndex;
}

float ZTrueText::getKerningForCharPair(unsigned long first, unsigned long second) {
    if (first == kNoChar || second == kNoChar || !m_kerningBuckets) return 0;
    for (const ZTextKerningEntry* entry = m_kerningBuckets[((second & 63) << 6) | (first & 63)];
         entry; entry = entry->bucketNext)
        if (entry->first == first && entry->second == second) return entry->amount;
    return 0;
}

bool ZTrueText::doesCharExist(unsigned long code) {
    checkFontFace();
    if (!m_chars || code == kByteOrderMark) return false;
    return getCharTableIndex(code) >= 0;
}

// ---- Effects ----

void ZTrueText::setOutline(long size, float r, float g, float b, float a) {
    size = std::max(0L, std::min(3L, size));
    float colour[4] = {clamp01(r), clamp01(g), clamp01(b), clamp01(a)};
    if (size == m_outlineSize && memcmp(colour, m_outlineColor, sizeof(colour)) == 0) return;
    m_outlineSize = size;
    memcpy(m_outlineColor, colour, sizeof(colour));
    float needed =
        static_cast<float>(std::max(std::max(m_shadowDx, m_shadowDy) + m_shadowSize, size) + 1);
    m_effectPadding = std::max(m_effectPadding, needed);
    markChanged();
}

void ZTrueText::setDropShadow(long size, long distance, float angle, float r, float g, float b,
                              float a) {
    size = std::max(0L, std::min(3L, size));
    distance = std::max(0L, std::min(3L, distance));
    double radians = angle * 3.1415927 / 180;
    long dx = static_cast<long>(std::cos(radians) * static_cast<double>(distance));
    long dy = static_cast<long>(std::sin(radians) * static_cast<double>(distance));
    float colour[4] = {clamp01(r), clamp01(g), clamp01(b), clamp01(a)};
    if (size == m_shadowSize && dx == m_shadowDx && dy == m_shadowDy &&
        memcmp(colour, m_shadowColor, sizeof(colour)) == 0)
        return;
    m_shadowSize = size;
    m_shadowDx = dx;
    m_shadowDy = dy;
    memcpy(m_shadowColor, colour, sizeof(colour));
    float needed = static_cast<float>(std::max(std::max(dx, dy) + size, size) + 1);
    m_effectPadding = std::max(m_effectPadding, needed);
    markChanged();
}

void ZTrueText::setGradient(long count, const ZTrueTextGradientColor* stops) {
    if (count < 0 || !stops) count = 0;
    if (count == m_gradientCount &&
        (count == 0 || memcmp(stops, m_gradient, sizeof(*stops) * static_cast<size_t>(count)) == 0))
        return;
    ZTrueTextGradientColor* copy = count > 0 ? new ZTrueTextGradientColor[count] : nullptr;
    if (copy) std::copy(stops, stops + count, copy);
    for (long pass = 0; pass < count; pass++)
        for (long i = 0; i + 1 < count; i++)
            if (copy[i].position > copy[i + 1].position) std::swap(copy[i], copy[i + 1]);
    delete[] m_gradient;
    m_gradient = copy;
    m_gradientCount = count;
    markChanged();
}

bool ZTrueText::setShaderRendering(bool enable, float outlineRadius) {
    bool previous = m_shaderRendering;
    if (enable != m_shaderRendering || outlineRadius != m_shaderRadius) {
        m_shaderRendering = enable;
        m_shaderRadius = outlineRadius;
        m_renderingNeeded = true;
    }
    return previous;
}

void ZTrueText::copyOutline(const uint32_t* source, long sx1, long sy1, long sx2, long sy2,
                            uint32_t* destination, long offsetX, long offsetY, float r, float g,
                            float b, float a, long size) {
    const long colour[3] = {static_cast<long>(clamp01(r) * 255),
                            static_cast<long>(clamp01(g) * 255),
                            static_cast<long>(clamp01(b) * 255)};
    const long alpha = static_cast<long>(clamp01(a) * 255);
    for (long y = std::max(0L, sy1); y < std::min(size, sy2); y++) {
        long dy = y + offsetY;
        if (dy < 0 || dy >= size) continue;
        for (long x = std::max(0L, sx1); x < std::min(size, sx2); x++) {
            long dx = x + offsetX;
            if (dx < 0 || dx >= size) continue;
            long t = channel(source[y * size + x], 3) * alpha >> 8;
            if (!t) continue;
            uint32_t& d = destination[dy * size + dx];
            long out[4];
            for (int c = 0; c < 3; c++) {
                long v = channel(d, c);
                out[c] = v + ((colour[c] - v) * t >> 8);
            }
            out[3] = std::max(channel(d, 3), t);
            d = packRGBA(out[0], out[1], out[2], out[3]);
        }
    }
}

void ZTrueText::blurOutline(uint32_t* buffer, long size) {
    if (size < 1) return;
    for (long i = 0; i < size; i++) {
        buffer[i] &= 0x00FFFFFFu;
        buffer[(size - 1) * size + i] &= 0x00FFFFFFu;
        buffer[i * size] &= 0x00FFFFFFu;
        buffer[i * size + size - 1] &= 0x00FFFFFFu;
    }
    for (long y = 1; y < size - 1; y++)
        for (long x = 1; x < size - 1; x++) {
            long sum = 0;
            for (long j = -1; j <= 1; j++)
                for (long k = -1; k <= 1; k++) sum += channel(buffer[(y + j) * size + x + k], 3);
            uint32_t& p = buffer[y * size + x];
            p = (p & 0x00FFFFFFu) | static_cast<uint32_t>(sum / 9) << 24;
        }
}

void ZTrueText::copyRect(const uint32_t* source, long sx1, long sy1, long sx2, long sy2,
                         uint32_t* destination, long offsetX, long offsetY, float opacity,
                         long size) {
    const long scale = std::min(255L, static_cast<long>(opacity * 255));
    for (long y = std::max(0L, sy1); y < std::min(size, sy2); y++) {
        long dy = y + offsetY;
        if (dy < 0 || dy >= size) continue;
        for (long x = std::max(0L, sx1); x < std::min(size, sx2); x++) {
            long dx = x + offsetX;
            if (dx < 0 || dx >= size) continue;
            uint32_t s = source[y * size + x];
            long t = channel(s, 3) * scale / 255;
            uint32_t& d = destination[dy * size + dx];
            long out[4];
            for (int c = 0; c < 3; c++) {
                long v = channel(d, c);
                out[c] = v + (channel(s, c) - v) * t / 255;
            }
            out[3] = std::max(t, channel(d, 3));
            d = packRGBA(out[0], out[1], out[2], out[3]);
        }
    }
}

bool ZTrueText::saveFontTableAndBitmap(const char* tablePath, const char* imagePath,
                                       long imageFormat, bool topAligned) {
    if (!render(imagePath, imageFormat, topAligned)) return false;
    if (!tablePath) return false;
    ZResource file;
    if (file.open(tablePath, ZResourceModeWrite) != ZResourceOk) return false;
    file.print("%%ztext 3 %ld %ld %ld %ld\n", m_pageCount, m_charCount, getHeightPix(),
               m_kerningCount);
    for (long i = 0; i < m_charCount; i++) {
        const ZFontExt& e = m_chars[i];
        file.print("%ld %ld %ld %ld %ld %ld %ld %ld %ld %ld\n", static_cast<long>(e.code),
                   static_cast<long>(e.x1), static_cast<long>(e.y1), static_cast<long>(e.x2),
                   static_cast<long>(e.y2), static_cast<long>(e.advance),
                   static_cast<long>(e.y2) - static_cast<long>(e.y1), e.page,
                   static_cast<long>(e.xOffset), static_cast<long>(e.yOffset));
    }
    for (long i = 0; i < m_kerningCount; i++) {
        const ZTextKerningEntry& k = m_kerningEntries[i];
        file.print("%ld %ld %ld\n", static_cast<long>(k.first), static_cast<long>(k.second),
                   static_cast<long>(k.amount));
    }
    bool written = !file.checkError();
    file.close();
    return written;
}

// ---- Software drawing ----

void ZTrueText::loadSoftwarePairs(KerningPair*& pairs, long& count) {
    pairs = nullptr;
    count = 0;
    if (m_heightSetting == 0) FT_Set_Char_Size(m_face, 0, 768, 96, 96);
    if (!m_kerningPairs || m_face->num_glyphs < 1 || m_face->num_glyphs > 65535) return;
    int16_t* raw = nullptr;
    uint32_t rawCount = 0;
    if (FT_Get_Kerning_Pairs(m_face, FT_KERNING_DEFAULT, &rawCount, &raw) != 0 || !raw) {
        free(raw);
        return;
    }
    const unsigned long glyphs = static_cast<unsigned long>(m_face->num_glyphs);
    std::vector<unsigned long> codes(glyphs);
    FT_UInt index = 0;
    FT_ULong code = FT_Get_First_Char(m_face, &index);
    for (unsigned long steps = 0; index != 0 && steps < glyphs; steps++) {
        if (index < glyphs) codes[index] = code;
        code = FT_Get_Next_Char(m_face, code, &index);
    }
    pairs = new KerningPair[rawCount];
    for (uint32_t i = 0; i < rawCount; i++) {
        unsigned left = static_cast<uint16_t>(raw[i * 3]);
        unsigned right = static_cast<uint16_t>(raw[i * 3 + 1]);
        if (left >= glyphs || right >= glyphs) continue;
        pairs[count++] = {codes[left], codes[right], static_cast<float>(raw[i * 3 + 2] >> 6)};
    }
    free(raw);
}

long ZTrueText::getArraySizeForString(const uint64_t* codes, float kerning, long& right,
                                      long& lineHeight, float& penEnd, long& bottom,
                                      bool forceAutoHint) {
    right = lineHeight = bottom = 0;
    penEnd = 0;
    if (!checkFontFace() || !codes) return 0;
    KerningPair* pairs;
    long pairCount;
    loadSoftwarePairs(pairs, pairCount);
    const long ascender = static_cast<long>(m_face->size->metrics.ascender >> 6);
    float pen = 0;
    unsigned long previous = kNoChar;
    for (const uint64_t* p = codes; *p; p++) {
        unsigned long code = static_cast<unsigned long>(*p);
        for (long i = 0; i < pairCount; i++)
            if (pairs[i].first == previous && pairs[i].second == code) {
                pen += pairs[i].amount;
                break;
            }
        previous = code;
        if (!loadRenderedChar(code, forceAutoHint ? FT_LOAD_FORCE_AUTOHINT : FT_LOAD_DEFAULT))
            continue;
        FT_GlyphSlot slot = m_face->glyph;
        long x = static_cast<long>(roundHalfUp(pen)) + slot->bitmap_left;
        right = x + static_cast<long>(slot->bitmap.width);
        bottom =
            std::max(bottom, static_cast<long>(slot->bitmap.rows) + ascender - slot->bitmap_top);
        pen += static_cast<float>(slot->advance.x >> 6) + kerning;
        if (code == kSpace) pen += m_spaceAdjustment;
    }
    delete[] pairs;
    penEnd = pen;
    lineHeight = static_cast<long>(m_face->size->metrics.height >> 6);
    return lineHeight;
}

void ZTrueText::drawStringToArray(const uint64_t* codes, uint32_t* pixels, long x, long y,
                                  float kerning, long width, long height, bool forceAutoHint) {
    if (!checkFontFace() || !codes || !pixels) return;
    KerningPair* pairs;
    long pairCount;
    loadSoftwarePairs(pairs, pairCount);
    const long ascender = static_cast<long>(m_face->size->metrics.ascender >> 6);
    const long colour[3] = {static_cast<long>(clamp01(m_color[0]) * 255),
                            static_cast<long>(clamp01(m_color[1]) * 255),
                            static_cast<long>(clamp01(m_color[2]) * 255)};
    const long alpha = static_cast<long>(clamp01(m_color[3] * m_blend) * 255);
    float pen = static_cast<float>(x);
    unsigned long previous = kNoChar;
    for (const uint64_t* p = codes; *p; p++) {
        unsigned long code = static_cast<unsigned long>(*p);
        for (long i = 0; i < pairCount; i++)
            if (pairs[i].first == previous && pairs[i].second == code) {
                pen += pairs[i].amount;
                break;
            }
        previous = code;
        if (!loadRenderedChar(code, forceAutoHint ? FT_LOAD_FORCE_AUTOHINT : FT_LOAD_DEFAULT))
            continue;
        FT_GlyphSlot slot = m_face->glyph;
        long gx = static_cast<long>(roundHalfUp(pen)) + slot->bitmap_left;
        long gy = y + ascender - slot->bitmap_top;
        for (unsigned r = 0; r < slot->bitmap.rows; r++) {
            long py = gy + static_cast<long>(r);
            if (py < 0 || py >= height) continue;
            for (unsigned c = 0; c < slot->bitmap.width; c++) {
                long px = gx + static_cast<long>(c);
                if (px < 0 || px >= width) continue;
                long v = coverageAt(slot->bitmap, r, c);
                if (!v) continue;
                uint32_t& d = pixels[py * width + px];
                long a = v * alpha / 255;
                long w = ((255 - channel(d, 3)) * (255 - v) / 255 + v) * alpha / 255;
                long out[4];
                for (int k = 0; k < 3; k++)
                    out[k] = channel(d, k) * (255 - a) / 255 + w * colour[k] / 255;
                out[3] = std::max(channel(d, 3), a);
                d = packRGBA(out[0], out[1], out[2], out[3]);
            }
        }
        pen += static_cast<float>(slot->advance.x >> 6) + kerning;
        if (code == kSpace) pen += m_spaceAdjustment;
    }
    delete[] pairs;
}

// ---- Measuring ----

const ZFontExt* ZTrueText::resolve(unsigned long code) {
    long index = getCharTableIndex(code);
    return index >= 0 && index < m_charCount ? &m_chars[index] : nullptr;
}

float ZTrueText::pairAmount(unsigned long previous, unsigned long code) {
    return m_kerningBuckets ? getKerningForCharPair(previous, code) : 0;
}

float ZTrueText::getStringWidth(const char* text, float kerning, float scale, long encoding,
                                unsigned long* lastChar, bool withOverhang) {
    if (!prepare()) return 0;
    unsigned long previous = lastChar ? *lastChar : kNoChar;
    float width = 0, overhang = 0;
    ZTextReader reader(text, resolveEncoding(encoding));
    for (unsigned long code; (code = reader.next()) != 0; previous = code) {
        if (code == kByteOrderMark) continue;
        const ZFontExt* glyph = resolve(code);
        if (!glyph) continue;
        width += pairAmount(previous, code) + glyph->advance + kerning;
        overhang = (glyph->x2 - glyph->x1) - glyph->advance;
    }
    if (lastChar) *lastChar = previous;
    if (overhang > 0 && withOverhang && m_compatibilityLevel >= 1) width += overhang;
    if (!lastChar && m_compatibilityLevel >= 1 && effectsOn()) {
        long mx, my;
        effectMargins(mx, my);
        width += static_cast<float>(mx + 2);
    }
    return width * scale;
}

float ZTrueText::getNCharWidth(const char* text, long count, float kerning, float scale) {
    if (!prepare() || count < 1) return 0;
    float width = 0;
    unsigned long previous = kNoChar;
    ZTextReader reader(text, g_nZTrueTextEncoding);
    long n = 0;
    for (unsigned long code; n < count && (code = reader.next()) != 0; previous = code) {
        if (code == kByteOrderMark) continue;
        const ZFontExt* glyph = resolve(code);
        if (!glyph) continue;
        width += pairAmount(previous, code) + glyph->advance + kerning;
        n++;
    }
    return width * scale;
}

float ZTrueText::getCharWidth(unsigned long code, float kerning) {
    if (!prepare() || code == 0 || code == kByteOrderMark) return 0;
    const ZFontExt* glyph = resolve(code);
    return glyph ? glyph->advance + kerning : 0;
}

float ZTrueText::getCharXOffset(unsigned long) {
    return 0;
}

float ZTrueText::getStringHeight(const char* text, long encoding) {
    if (!prepare()) return 0;
    if (m_compatibilityLevel <= 0) return static_cast<float>(getHeightPix());
    long resolved = resolveEncoding(encoding);
    float height = m_compatibilityLevel == 1 ? static_cast<float>(getHeightPix()) : 0;
    ZTextReader reader(text, resolved);
    for (unsigned long code; (code = reader.next()) != 0;) {
        if (code == kByteOrderMark) continue;
        const ZFontExt* glyph = resolve(code);
        if (!glyph) continue;
        float h = glyph->y2 - glyph->y1 + glyph->yOffset + (resolved == 5 ? 1 : 0);
        height = std::max(height, h);
    }
    return height;
}

// ---- Colour and blending ----

void ZTrueText::applyPageState(ZGraphic* graphic) {
    graphic->setBlitColor(m_color[0], m_color[1], m_color[2], m_color[3]);
}

void ZTrueText::getColor(float* rgba) {
    if (rgba) memcpy(rgba, m_color, sizeof(m_color));
}

void ZTrueText::setColor(float r, float g, float b, float a) {
    setBlitColor(r, g, b, a);
}

void ZTrueText::setBlitColor(float r, float g, float b, float a) {
    m_color[0] = r;
    m_color[1] = g;
    m_color[2] = b;
    m_color[3] = a;
    for (long page = 0; page < m_pageCount; page++)
        if (m_pages[page]) applyPageState(m_pages[page]);
}

void ZTrueText::setBlend(float blend) {
    m_blend = blend;
}

void ZTrueText::setAlphaMode(long mode) {
    eTazelAlphaOp source = m_sourceOp, destination = m_destinationOp;
    alphaModeFactors(mode, source, destination);
    setAlphaOp(source, destination);
}

void ZTrueText::setAlphaOp(eTazelAlphaOp source, eTazelAlphaOp destination) {
    m_sourceOp = source;
    m_destinationOp = destination;
    for (long page = 0; page < m_pageCount; page++)
        if (m_pages[page])
            m_pages[page]->setAlphaOp(source, destination, eTazelAlphaOpSameAsColor,
                                      eTazelAlphaOpSameAsColor);
}

float ZTrueText::getYSpacing() {
    return m_ySpacing;
}

void ZTrueText::setYSpacing(float spacing) {
    m_ySpacing = spacing;
}

void ZTrueText::setSpaceAdjustment(float adjustment) {
    m_spaceAdjustment = adjustment;
}

float ZTrueText::getMultilineHorizPadding() {
    return m_horizPadding;
}

void ZTrueText::setMultilineHorizPadding(float padding) {
    m_horizPadding = padding;
}

// ---- Drawing ----

void ZTrueText::drawGlyph(ZTextPageBatch& batch, const ZFontExt& glyph, float sx1, float sy1,
                          float sx2, float sy2, float x, float y, ZMatrix* matrix) {
    ZBatch* open = batch.begin(glyph.page);
    if (!open) return;
    if (matrix)
        open->blitAlphaRectMatrixF(sx1, sy1, sx2, sy2, x, y, x + (sx2 - sx1), y + (sy2 - sy1),
                                   matrix, 0, 1, 1, 0, 0, m_blend, false, false, 0, 0);
    else
        open->blitFastRectFxF(sx1, sy1, sx2, sy2, x, y, 1, m_blend, 0, 0);
}

void ZTrueText::drawStringFromLeft(const char* text, long x, long y, float kerning, long encoding,
                                   unsigned long* lastChar, long* endX, ZMatrix* matrix) {
    if (!prepare()) return;
    ZTextReader reader(text, resolveEncoding(encoding));
    ZTextPageBatch batch(m_pages, m_pageCount);
    unsigned long previous = lastChar ? *lastChar : kNoChar;
    float pen = static_cast<float>(x);
    const float top = static_cast<float>(y);
    for (unsigned long code; (code = reader.next()) != 0; previous = code) {
        if (code == kByteOrderMark) continue;
        const ZFontExt* glyph = resolve(code);
        if (!glyph) continue;
        float amount = pairAmount(previous, code);
        float dx = roundHalfUp(pen + amount);
        drawGlyph(batch, *glyph, glyph->x1, glyph->y1, glyph->x2 + 1, glyph->y2 + 1,
                  dx + glyph->xOffset, top + glyph->yOffset, matrix);
        pen += amount + glyph->advance + kerning;
        if (code == kSpace) pen += m_spaceAdjustment;
    }
    batch.end();
    if (lastChar) *lastChar = previous;
    if (endX) *endX = static_cast<long>(pen);
}

void ZTrueText::drawFromRight(const char* text, float x, float y, float kerning, bool wholePixels) {
    if (!prepare()) return;
    std::vector<unsigned long> codes;
    ZTextReader reader(text, g_nZTrueTextEncoding);
    for (unsigned long code; (code = reader.next()) != 0;) codes.push_back(code);
    ZTextPageBatch batch(m_pages, m_pageCount);
    unsigned long next = kNoChar;
    float pen = x;
    for (size_t i = codes.size(); i-- > 0; next = codes[i]) {
        unsigned long code = codes[i];
        if (code == kByteOrderMark) continue;
        const ZFontExt* glyph = resolve(code);
        if (!glyph) continue;
        pen -= pairAmount(code, next);
        pen -= glyph->advance + kerning;
        float gx = wholePixels ? std::floor(pen) : pen;
        drawGlyph(batch, *glyph, glyph->x1, glyph->y1, glyph->x2 + 1, glyph->y2 + 1,
                  gx + glyph->xOffset, y + glyph->yOffset, nullptr);
    }
}

void ZTrueText::drawStringFromRight(const char* text, long x, long y, float kerning) {
    drawFromRight(text, static_cast<float>(x), static_cast<float>(y), kerning, true);
}

void ZTrueText::drawStringFromRightF(const char* text, float x, float y, float kerning) {
    drawFromRight(text, x, y, kerning, true);
}

void ZTrueText::drawStringCentered(const char* text, long x1, long x2, long y, float kerning) {
    long width = static_cast<long>(getStringWidth(text, kerning, 1, -1, nullptr, true));
    drawStringFromLeft(text, x1 + ((x2 - x1) - width) / 2, y, kerning, -1, nullptr, nullptr,
                       nullptr);
}

void ZTrueText::drawStringFromLeftF(const char* text, float x, float y, float kerning, float scale,
                                    long encoding) {
    if (!prepare()) return;
    ZTextReader reader(text, resolveEncoding(encoding));
    ZTextPageBatch batch(m_pages, m_pageCount);
    unsigned long previous = kNoChar;
    float pen = x;
    for (unsigned long code; (code = reader.next()) != 0; previous = code) {
        if (code == kByteOrderMark) continue;
        const ZFontExt* glyph = resolve(code);
        if (!glyph) continue;
        float amount = pairAmount(previous, code);
        drawGlyph(batch, *glyph, glyph->x1, glyph->y1, glyph->x2 + 1, glyph->y2 + 1,
                  pen + amount + glyph->xOffset, y + glyph->yOffset, nullptr);
        pen += (glyph->advance + kerning) * scale + amount;
        if (code == kSpace) pen += m_spaceAdjustment * scale;
    }
}

void ZTrueText::drawStringCenteredF(const char* text, float x1, float x2, float y, float kerning) {
    float width = getStringWidth(text, kerning, 1, -1, nullptr, true);
    drawStringFromLeftF(text, x1 + ((x2 - x1) - width) * 0.5f, y, kerning, 1, -1);
}

void ZTrueText::drawClipped(const char* text, float left, float top, float right, float bottom,
                            float offsetX, float offsetY, float kerning, long cursorIndex,
                            ZTextFaceCharCallback callback, void* userData, long encoding,
                            unsigned long* lastChar, long* endX, ZMatrix* matrix,
                            bool wholePixels) {
    if (!prepare()) return;
    if (right < left) right = left;
    if (bottom < top) bottom = top;
    float pen = left + offsetX;
    const float lineTop = top + offsetY;
    const float cursorTop = std::max(top, lineTop);
    ZTextReader reader(text, resolveEncoding(encoding));
    ZTextPageBatch batch(m_pages, m_pageCount);
    unsigned long previous = lastChar ? *lastChar : kNoChar;
    bool reached = false;
    float box[4] = {0, 0, 0, 0};
    // Ends and begins the batch around a callback, so that the callback may draw.
    auto call = [&](long phase) {
        long page = batch.open();
        batch.end();
        callback(this, userData, phase, box[0], box[1], box[2], box[3]);
        if (page >= 0) batch.begin(page);
    };
    for (long index = 0;; index++) {
        unsigned long code = reader.next();
        const bool atEnd = code == 0;
        if (code == kByteOrderMark) {
            previous = code;
            index--;
            continue;
        }
        const ZFontExt* glyph = resolve(atEnd ? kSpace : code);
        if (!glyph) break;
        if (!atEnd) pen += pairAmount(previous, code);
        float dx = wholePixels ? roundHalfUp(pen + glyph->xOffset) : pen + glyph->xOffset;
        if (dx >= right) break;
        float sw = glyph->x2 + 1 - glyph->x1, sh = glyph->y2 + 1 - glyph->y1;
        float sx = 0, sy = 0;
        float dy = lineTop + glyph->yOffset;
        if (dy + sh > bottom) sh = bottom - dy;
        bool invisible = dy >= bottom || dy < top - sh || dx + glyph->advance <= left;
        float cw = glyph->advance;
        if (!invisible) {
            if (dy < top) {
                sy = top - dy;
                dy = top;
            }
            cw = std::min(cw, right - dx);
            sw = std::min(sw, right - dx);
            if (dx < left) {
                sx = left - dx;
                dx = left;
            }
        }
        bool cursorHere = index == cursorIndex && callback;
        if (cursorHere && !invisible) {
            box[0] = dx;
            box[1] = cursorTop;
            box[2] = dx + std::max(cw, sw) - sx;
            box[3] = std::min(bottom, lineTop + static_cast<float>(getHeightPix()));
            call(0);
            reached = true;
        }
        if (!invisible && !atEnd)
            drawGlyph(batch, *glyph, glyph->x1 + sx, glyph->y1 + sy, glyph->x1 + sw, glyph->y1 + sh,
                      dx, dy, wholePixels ? matrix : nullptr);
        if (atEnd) {
            if (cursorHere && reached) call(1);
            previous = 0;
            break;
        }
        pen += glyph->advance + kerning;
        if (code == kSpace) pen += m_spaceAdjustment;
        if (endX) *endX = static_cast<long>(pen - left);
        if (cursorHere && reached) call(1);
        previous = code;
    }
    if (lastChar) *lastChar = previous;
    batch.end();
    if (reached) callback(this, userData, 2, box[0], box[1], box[2], box[3]);
}

void ZTrueText::drawStringClipped(const char* text, long x1, long y1, long x2, long y2,
                                  long offsetX, long offsetY, float kerning, long cursorIndex,
                                  ZTextFaceCharCallback callback, void* userData, long encoding,
                                  unsigned long* lastChar, long* endX, ZMatrix* matrix) {
    drawClipped(text, static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                static_cast<float>(y2), static_cast<float>(offsetX), static_cast<float>(offsetY),
                kerning, cursorIndex, callback, userData, encoding, lastChar, endX, matrix, true);
}

void ZTrueText::drawStringClippedF(const char* text, float x1, float y1, float x2, float y2,
                                   float offsetX, float offsetY, float kerning, long cursorIndex,
                                   ZTextFaceCharCallback callback, void* userData, long encoding) {
    drawClipped(text, x1, y1, x2, y2, offsetX, offsetY, kerning, cursorIndex, callback, userData,
                encoding, nullptr, nullptr, nullptr, false);
}

// ---- Hit tests ----

bool ZTrueText::clippedCharCoord(const char* text, float x1, float offsetX, float kerning,
                                 long charIndex, float& left, float& right, long encoding,
                                 bool allowEnd, bool wholePixels) {
    left = right = x1;
    if (!prepare()) return false;
    ZTextReader reader(text, resolveEncoding(encoding));
    unsigned long previous = kNoChar;
    float pen = x1 + offsetX;
    for (long index = 0;; index++) {
        unsigned long code = reader.next();
        if (code == kByteOrderMark) {
            previous = code;
            index--;
            continue;
        }
        if (code == 0) {
            const ZFontExt* space = resolve(kSpace);
            if (!allowEnd || index != charIndex || !space) break;
            left = wholePixels ? roundHalfUp(pen) : pen;
            right = wholePixels ? left + std::trunc(space->advance) : pen + space->advance;
            return true;
        }
        const ZFontExt* glyph = resolve(code);
        if (!glyph) break;
        pen += pairAmount(previous, code);
        if (index == charIndex) {
            left = wholePixels ? roundHalfUp(pen) : pen;
            right = wholePixels ? left + std::trunc(glyph->advance) : pen + glyph->advance;
            return true;
        }
        pen += glyph->advance + kerning;
        if (code == kSpace) pen += m_spaceAdjustment;
        previous = code;
    }
    left = right = x1;
    return false;
}

bool ZTrueText::getClippedCharCoord(const char* text, long x1, long, long offsetX, float kerning,
                                    long charIndex, long& left, long& right, long encoding,
                                    bool allowEnd) {
    float l = 0, r = 0;
    bool found = clippedCharCoord(text, static_cast<float>(x1), static_cast<float>(offsetX),
                                  kerning, charIndex, l, r, encoding, allowEnd, true);
    left = static_cast<long>(l);
    right = static_cast<long>(r);
    return found;
}

bool ZTrueText::getClippedCharCoordF(const char* text, float x1, float, float offsetX,
                                     float kerning, long charIndex, float& left, float& right,
                                     long encoding, bool allowEnd) {
    return clippedCharCoord(text, x1, offsetX, kerning, charIndex, left, right, encoding, allowEnd,
                            false);
}

long ZTrueText::clippedCharPos(const char* text, float x1, float offsetX, float kerning, float x,
                               bool clamp, long encoding) {
    if (!prepare()) return -1;
    float pen = x1 + offsetX;
    if (clamp && x < pen) return 0;
    ZTextReader reader(text, resolveEncoding(encoding));
    unsigned long previous = kNoChar;
    long index = 0;
    for (unsigned long code; (code = reader.next()) != 0; previous = code) {
        if (code == kByteOrderMark) continue;
        const ZFontExt* glyph = resolve(code);
        if (!glyph) continue;
        pen += pairAmount(previous, code);
        float extra = std::max(kerning, 0.0f);
        if (code == kSpace && m_spaceAdjustment > 0) extra += m_spaceAdjustment;
        if (x >= pen && x < pen + glyph->advance + extra) return index;
        pen += glyph->advance + kerning;
        if (code == kSpace) pen += m_spaceAdjustment;
        index++;
    }
    const ZFontExt* space = resolve(kSpace);
    if (space && x >= pen && x < pen + space->advance) return index;
    return clamp ? index : -1;
}

long ZTrueText::getClippedCharPos(const char* text, long x1, long, long offsetX, float kerning,
                                  long x, bool clamp, long encoding) {
    return clippedCharPos(text, static_cast<float>(x1), static_cast<float>(offsetX), kerning,
                          static_cast<float>(x), clamp, encoding);
}

long ZTrueText::getClippedCharPosF(const char* text, float x1, float, float offsetX, float kerning,
                                   float x, bool clamp, long encoding) {
    return clippedCharPos(text, x1, offsetX, kerning, x, clamp, encoding);
}
