#include "ZText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "ZBatch.h"
#include "ZCore.h"
#include "ZFontTableReader.h"
#include "ZTextKerningEntry.h"
#include "ZTextPageBatch.h"
#include "ZTextReader.h"

long ZText::g_nZTextEncoding = 0;
bool ZText::g_bExtendedCharData = false;
char ZText::g_szGraphicFileNameBuf[ZText::kNameSize] = {};

namespace {

const unsigned long kNoChar = static_cast<unsigned long>(-1);
const unsigned long kSpace = 32;

}  // namespace

// ---- Construction ----

ZText::ZText() {
    addClass("ZText");
}

ZText::ZText(const char* imageName, ZFont* table) {
    addClass("ZText");
    setFontTable(table, false);
    loadFontBitmap(imageName, 0, true, false);
    createTextBatch();
}

ZText::~ZText() {
    for (long page = kPageCount - 1; page >= 0; page--) {
        if (m_pageOwned[page]) delete m_pages[page];
        m_pages[page] = nullptr;
        m_pageOwned[page] = false;
    }
    releaseTable();
    setFontTableExt(nullptr, nullptr, 0);
}

void ZText::initializeAsUnicode(long encoding) {
    g_nZTextEncoding = encoding;
    g_bExtendedCharData = true;
}

ZText* ZText::isZText(ZTextFace* face) {
    return face && face->isOfClass("ZText") ? static_cast<ZText*>(face) : nullptr;
}

void ZText::cleanup() {
    delete g_lpTextBatch;
    g_lpTextBatch = nullptr;
}

bool ZText::incrementIndexInName(char* name) {
    return ZFontTableReader::incrementIndexInName(name);
}

// ---- Tables ----

ZFontExt* ZText::createExtendedFontTable(ZFont* table, bool extended) {
    if (!table) return nullptr;
    long count = 0;
    while (table[count].code != 0) count++;
    ZFontExt* converted = new (std::nothrow) ZFontExt[count + 1]();
    if (!converted) {
        ZCore::logMessage("Text: no memory for a font table of %ld characters, ERROR", count);
        return nullptr;
    }
    for (long i = 0; i < count; i++) {
        const ZFont& from = table[i];
        ZFontExt& to = converted[i];
        to.code = static_cast<unsigned long>(from.code);
        to.x1 = from.x1;
        to.y1 = from.y1;
        to.x2 = from.x2;
        to.y2 = from.y2;
        to.advance = from.advance;
        to.height = from.height;
        if (extended) {
            to.page = from.page;
            to.xOffset = static_cast<float>(from.xOffset);
            to.yOffset = static_cast<float>(from.yOffset);
        }
    }
    return converted;
}

void ZText::setFontTable(ZFont* table, bool extended) {
    if (!table) {
        setFontTableExt(nullptr, nullptr, 0);
        return;
    }
    releaseTable();
    setFontTableExt(createExtendedFontTable(table, extended || g_bExtendedCharData), nullptr, 0);
    m_tableOwned = m_table != nullptr;
}

void ZText::releaseTable() {
    if (m_tableOwned) delete[] m_table;
    m_table = nullptr;
    m_tableOwned = false;
}

void ZText::freeLookup() {
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
}

void ZText::setFontTableExt(ZFontExt* table, const ZFontKerningPair* pairs, long heightPix) {
    freeLookup();
    // Given its own table again, the face keeps it, and keeps owning it.
    bool keepOwned = table && table == m_table && m_tableOwned;
    if (!keepOwned) releaseTable();
    m_table = table;
    m_tableOwned = keepOwned;
    m_heightPix = heightPix < 0 ? 0 : heightPix;
    if (!table) return;

    // Drawing picks a glyph's page graphic among eight slots: a glyph of another page is left
    // out, as if it were not in the table.
    long count = 0, badPages = 0;
    std::vector<unsigned long> keys;
    for (; table[count].code != 0; count++) {
        if (table[count].page < 0 || table[count].page >= kPageCount)
            badPages++;
        else
            keys.push_back(table[count].code >> 11);
    }
    if (badPages > 0)
        ZCore::logMessage(
            "Text: %ld characters of a font table name a page outside 0 to 7 and are left out, "
            "WARNING",
            badPages);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    if (static_cast<long>(keys.size()) > kMaxLookupPages) {
        ZCore::logMessage(
            "Text: the codes of a font table spread over %ld blocks of %ld; characters past the "
            "first %ld blocks are left out, WARNING",
            static_cast<long>(keys.size()), kLookupPageSize, kMaxLookupPages);
        keys.resize(kMaxLookupPages);
    }

    long pages = static_cast<long>(keys.size());
    if (pages > 0) {
        m_lookupKeys = new (std::nothrow) long[pages];
        m_lookupPages = new (std::nothrow) int64_t*[pages]();
        if (!m_lookupKeys || !m_lookupPages) {
            ZCore::logMessage("Text: no memory to look up the characters of a font, ERROR");
            freeLookup();
            pages = 0;
        }
    }
    for (long i = 0; i < pages; i++) {
        m_lookupPages[i] = new (std::nothrow) int64_t[kLookupPageSize]();
        if (!m_lookupPages[i]) {
            ZCore::logMessage("Text: no memory to look up the characters of a font, ERROR");
            break;
        }
        m_lookupKeys[i] = static_cast<long>(keys[i]);
        m_lookupCount++;
    }
    // From the last entry to the first, so that of two entries of one code the first wins.
    for (long i = count - 1; i >= 0; i--) {
        const ZFontExt& entry = table[i];
        if (entry.page < 0 || entry.page >= kPageCount) continue;
        long key = static_cast<long>(entry.code >> 11);
        const long* lookup = m_lookupKeys;
        const long* lookupEnd = lookup + m_lookupCount;
        const long* found = std::lower_bound(lookup, lookupEnd, key);
        if (found != lookupEnd && *found == key)
            m_lookupPages[found - lookup][entry.code & (kLookupPageSize - 1)] = i + 1;
    }

    long pairCount = 0;
    if (pairs)
        while (pairs[pairCount].first != 0) pairCount++;
    if (pairCount == 0) return;
    m_kerningBuckets = new (std::nothrow) ZTextKerningEntry*[kKerningBuckets]();
    m_kerningEntries = new (std::nothrow) ZTextKerningEntry[pairCount];
    if (!m_kerningBuckets || !m_kerningEntries) {
        ZCore::logMessage("Text: no memory for the %ld kerning pairs of a font, ERROR", pairCount);
        delete[] m_kerningBuckets;
        delete[] m_kerningEntries;
        m_kerningBuckets = nullptr;
        m_kerningEntries = nullptr;
        return;
    }
    // Each pair goes to the head of its bucket: of two equal pairs the later one is found.
    for (long i = 0; i < pairCount; i++) {
        ZTextKerningEntry& entry = m_kerningEntries[i];
        entry.first = static_cast<unsigned long>(pairs[i].first);
        entry.second = static_cast<unsigned long>(pairs[i].second);
        entry.amount = pairs[i].amount;
        entry.bucket = static_cast<long>(((entry.second & 63) << 6) | (entry.first & 63));
        entry.bucketNext = m_kerningBuckets[entry.bucket];
        m_kerningBuckets[entry.bucket] = &entry;
    }
}

bool ZText::loadFontTable(const char* name, long& pageCount, long& charCount) {
    if (m_tableOwned) setFontTableExt(nullptr, nullptr, m_heightPix);
    ZFontTableReader reader;
    if (!reader.readFile(name)) return false;
    long height = reader.hasHeightPix() ? reader.getHeightPix() : m_heightPix;
    setFontTableExt(reader.releaseTable(), reader.getPairs(), height);
    m_tableOwned = m_table != nullptr;
    pageCount = reader.getPageCount();
    charCount = reader.getCharCount();
    return true;
}

// ---- Pages ----

void ZText::applyPageState(ZGraphic* graphic) {
    graphic->setBlitColor(m_color[0], m_color[1], m_color[2], m_color[3]);
    graphic->setAlphaOp(m_sourceOp, m_destinationOp, eTazelAlphaOpSameAsColor,
                        eTazelAlphaOpSameAsColor);
}

bool ZText::loadFontBitmap(const char* name, long page, bool trueColor, bool mipmaps) {
    if (page < 0 || page >= kPageCount) return false;
    if (m_pageOwned[page]) delete m_pages[page];
    m_pages[page] = nullptr;
    m_pageOwned[page] = false;
    if (!name) return false;
    ZGraphic* graphic = ZCore::createZGraphic();
    if (!graphic) {
        ZCore::logMessage("Text: no renderer to load the font page %s with, ERROR", name);
        return false;
    }
    if (mipmaps) graphic->generateMipMaps(true);
    graphic->setTextureQuality(true);
    bool loaded = graphic->loadPicture(name, trueColor, true, false, 0, nullptr);
    applyPageState(graphic);
    m_pages[page] = graphic;
    m_pageOwned[page] = true;
    createTextBatch();
    return loaded;
}

bool ZText::loadFontTableAndBitmap(const char* tableName, const char* imageName, bool trueColor,
                                   bool mipmaps) {
    long pages = 0, characters = 0;
    if (!loadFontTable(tableName, pages, characters)) return false;
    if (!imageName) return true;
    char name[kNameSize];
    snprintf(name, sizeof(name), "%s", imageName);
    long count = pages > 1 ? pages : 1;
    for (long page = 0; page < count; page++) {
        if (page > 0 && !incrementIndexInName(name)) {
            ZCore::logMessage("Text: no name for page %ld of the font %s after %s, ERROR", page,
                              tableName, name);
            return false;
        }
        if (page >= kPageCount) {
            ZCore::logMessage("Text: the font %s has %ld pages, more than %ld, ERROR", tableName,
                              pages, kPageCount);
            return false;
        }
        if (!loadFontBitmap(name, page, trueColor, mipmaps)) {
            ZCore::logMessage("Text: page %ld of the font %s could not be loaded from %s, ERROR",
                              page, tableName, name);
            return false;
        }
    }
    return true;
}

void ZText::setZGraphic(ZGraphic* graphic, long page) {
    if (page < 0 || page >= kPageCount) return;
    if (graphic != m_pages[page]) {
        if (m_pageOwned[page]) delete m_pages[page];
        m_pages[page] = graphic;
        m_pageOwned[page] = false;
    }
    if (!graphic) return;
    applyPageState(graphic);
    createTextBatch();
}

ZGraphic* ZText::getZGraphicPtr(long page) {
    return page >= 0 && page < kPageCount ? m_pages[page] : nullptr;
}

void ZText::setYOffset(long page, long offset) {
    if (page >= 0 && page < kPageCount) m_pageYOffset[page] = static_cast<float>(offset);
}

void ZText::setGlobalKerning(long page, float amount) {
    if (page >= 0 && page < kPageCount) m_pageKerning[page] = amount;
}

// ---- Lookups ----

const ZFontExt* ZText::findGlyph(unsigned long code) const {
    long key = static_cast<long>(code >> 11);
    for (long i = 0; i < m_lookupCount; i++) {
        if (m_lookupKeys[i] != key) continue;
        int64_t slot = m_lookupPages[i][code & (kLookupPageSize - 1)];
        return slot ? &m_table[slot - 1] : nullptr;
    }
    return nullptr;
}

long ZText::getCharTableIndex(long code) {
    const ZFontExt* glyph = findGlyph(static_cast<unsigned long>(code));
    return glyph ? static_cast<long>(glyph - m_table) : -1;
}

bool ZText::doesCharExist(unsigned long code) {
    return findGlyph(code) != nullptr;
}

float ZText::getKerningForCharPair(unsigned long first, unsigned long second) {
    if (first == kNoChar || second == kNoChar || !m_kerningBuckets) return 0;
    for (const ZTextKerningEntry* entry = m_kerningBuckets[((second & 63) << 6) | (first & 63)];
         entry; entry = entry->bucketNext)
        if (entry->first == first && entry->second == second) return entry->amount;
    return 0;
}

float ZText::pairKerning(unsigned long previous, unsigned long code) {
    return m_kerningBuckets ? getKerningForCharPair(previous, code) : 0;
}

long ZText::resolveEncoding(long encoding) const {
    return encoding == -1 ? g_nZTextEncoding : encoding;
}

long ZText::getHeightPix() {
    if (!m_table) return 0;
    if (m_heightPix > 0) return m_heightPix;
    return toPixels(m_table[0].height);
}

float ZText::getCharWidth(unsigned long code, float kerning) {
    const ZFontExt* glyph = code ? findGlyph(code) : nullptr;
    return glyph ? kerning + glyph->advance + pageKerning(*glyph) : 0;
}

float ZText::getCharXOffset(unsigned long code) {
    const ZFontExt* glyph = code ? findGlyph(code) : nullptr;
    return glyph ? glyph->xOffset : 0;
}

// ---- Measuring ----

float ZText::getStringWidth(const char* text, float kerning, float scale, long encoding,
                            unsigned long* lastChar, bool withOverhang) {
    unsigned long previous = lastChar ? *lastChar : kNoChar;
    float width = 0, overhang = 0;
    bool any = false;
    auto add = [&](unsigned long code) {
        const ZFontExt* glyph = findGlyph(code);
        if (glyph) {
            width += previous == kNoChar ? glyph->xOffset : pairKerning(previous, code);
            width += glyph->advance + kerning + pageKerning(*glyph);
            overhang = (glyph->x2 - glyph->x1) - glyph->advance;
            any = true;
        }
        previous = code;
    };
    long resolved = resolveEncoding(encoding);
    if (resolved == 5) {
        // The layout measures its lines in 64-bit units over and over: read them in place.
        for (long i = 0; text; i++) {
            uint64_t code;
            memcpy(&code, text + i * 8, sizeof(code));
            if (!code) break;
            add(code);
        }
    } else {
        ZTextReader reader(text, resolved);
        for (unsigned long code; (code = reader.next()) != 0;) add(code);
    }
    if (lastChar) *lastChar = previous;
    if (withOverhang && any && overhang > 0) width += overhang;
    return width * scale;
}

float ZText::getNCharWidth(const char* text, long count, float kerning, float scale) {
    if (count < 1) return 0;
    ZTextReader reader(text, g_nZTextEncoding);
    unsigned long previous = kNoChar;
    float width = 0;
    for (long i = 0; i < count; i++) {
        unsigned long code = reader.next();
        if (!code) break;
        if (const ZFontExt* glyph = findGlyph(code)) {
            width += previous == kNoChar ? glyph->xOffset : pairKerning(previous, code);
            width += glyph->advance + kerning + pageKerning(*glyph);
        }
        previous = code;
    }
    return width * scale;
}

float ZText::getStringHeight(const char* text, long encoding) {
    float height = static_cast<float>(getHeightPix());
    if (m_compatibilityLevel < 1) return height;
    long resolved = resolveEncoding(encoding);
    // Texts of 64-bit units count the glyph's bottom row as well.
    float extra = resolved == 5 ? 1.0f : 0.0f;
    ZTextReader reader(text, resolved);
    for (unsigned long code; (code = reader.next()) != 0;)
        if (const ZFontExt* glyph = findGlyph(code))
            height = std::max(height, glyph->y2 + extra - glyph->y1 + glyph->yOffset);
    return height;
}

// ---- Settings ----

long ZText::getCompatibilityLevel() {
    return m_compatibilityLevel;
}

void ZText::setCompatibilityLevel(long level) {
    m_compatibilityLevel = level;
}

long ZText::getTextEncoding() {
    return g_nZTextEncoding;
}

void ZText::getColor(float* rgba) {
    if (!rgba) return;
    for (int i = 0; i < 4; i++) rgba[i] = m_color[i];
}

void ZText::setColor(float r, float g, float b, float a) {
    m_color[0] = r;
    m_color[1] = g;
    m_color[2] = b;
    m_color[3] = a;
    for (ZGraphic* page : m_pages)
        if (page) page->setBlitColor(r, g, b, a);
}

void ZText::setBlitColor(float r, float g, float b, float a) {
    setColor(r, g, b, a);
}

void ZText::setBlend(float blend) {
    m_blend = blend;
}

void ZText::setAlphaOp(eTazelAlphaOp source, eTazelAlphaOp destination) {
    m_sourceOp = source;
    m_destinationOp = destination;
    for (ZGraphic* page : m_pages)
        if (page)
            page->setAlphaOp(source, destination, eTazelAlphaOpSameAsColor,
                             eTazelAlphaOpSameAsColor);
}

void ZText::setAlphaMode(long mode) {
    eTazelAlphaOp source = m_sourceOp, destination = m_destinationOp;
    alphaModeFactors(mode, source, destination);
    setAlphaOp(source, destination);
}

float ZText::getYSpacing() {
    return m_ySpacing;
}

void ZText::setYSpacing(float spacing) {
    m_ySpacing = spacing;
}

void ZText::setSpaceAdjustment(float adjustment) {
    m_spaceAdjustment = adjustment;
}

float ZText::getMultilineHorizPadding() {
    return m_horizPadding;
}

void ZText::setMultilineHorizPadding(float padding) {
    m_horizPadding = padding;
}

// ---- Drawing ----

void ZText::drawGlyph(ZTextPageBatch& batch, const ZFontExt& glyph, float sx1, float sy1, float sx2,
                      float sy2, float x, float y, float zoom, float centerX, float centerY,
                      ZMatrix* matrix) {
    ZBatch* open = batch.begin(glyph.page);
    if (!open) return;
    if (matrix)
        open->blitAlphaRectMatrixF(sx1, sy1, sx2, sy2, x, y, x + (sx2 - sx1), y + (sy2 - sy1),
                                   matrix, 0, 1, 1, 0, 0, m_blend, false, false, 0, 0);
    else
        open->blitFastRectFxF(sx1, sy1, sx2, sy2, x, y, zoom, m_blend, centerX, centerY);
}

void ZText::drawStringFromLeft(const char* text, long x, long y, float kerning, long encoding,
                               unsigned long* lastChar, long* endX, ZMatrix* matrix) {
    ZTextReader reader(text, resolveEncoding(encoding));
    ZTextPageBatch batch(m_pages, kPageCount);
    unsigned long previous = lastChar ? *lastChar : kNoChar;
    float pen = static_cast<float>(x);
    const float top = static_cast<float>(y);
    for (unsigned long code; (code = reader.next()) != 0; previous = code) {
        const ZFontExt* glyph = findGlyph(code);
        if (!glyph) continue;
        pen += pairKerning(previous, code);
        drawGlyph(batch, *glyph, glyph->x1, glyph->y1, glyph->x2 + 1, glyph->y2 + 1,
                  roundHalfUp(pen) + glyph->xOffset, top + glyph->yOffset + pageYOffset(*glyph), 1,
                  0, 0, matrix);
        pen += glyph->advance + kerning + pageKerning(*glyph);
        if (code == kSpace) pen += m_spaceAdjustment;
    }
    batch.end();
    if (lastChar) *lastChar = previous;
    if (endX) *endX = toPixels(pen);
}

void ZText::drawFromRight(const char* text, float x, float y, float kerning, bool wholePixels) {
    std::vector<unsigned long> codes;
    ZTextReader reader(text, g_nZTextEncoding);
    for (unsigned long code; (code = reader.next()) != 0;) codes.push_back(code);
    ZTextPageBatch batch(m_pages, kPageCount);
    unsigned long next = kNoChar;
    float pen = x;
    for (size_t i = codes.size(); i-- > 0; next = codes[i]) {
        unsigned long code = codes[i];
        const ZFontExt* glyph = findGlyph(code);
        if (!glyph) continue;
        pen -= pairKerning(code, next);
        pen -= glyph->advance + kerning + pageKerning(*glyph);
        float gx = wholePixels ? std::floor(pen) : pen;
        drawGlyph(batch, *glyph, glyph->x1, glyph->y1, glyph->x2 + 1, glyph->y2 + 1,
                  gx + glyph->xOffset, y + glyph->yOffset + pageYOffset(*glyph), 1, 0, 0, nullptr);
    }
}

void ZText::drawStringFromRight(const char* text, long x, long y, float kerning) {
    drawFromRight(text, static_cast<float>(x), static_cast<float>(y), kerning, true);
}

void ZText::drawStringCentered(const char* text, long x1, long x2, long y, float kerning) {
    long width = toPixels(getStringWidth(text, kerning, 1, -1, nullptr, true));
    drawStringFromLeft(text, x1 + ((x2 - x1) - width) / 2, y, kerning, -1, nullptr, nullptr,
                       nullptr);
}

void ZText::drawStringFromLeftF(const char* text, float x, float y, float kerning, float scale,
                                long encoding) {
    ZTextReader reader(text, resolveEncoding(encoding));
    ZTextPageBatch batch(m_pages, kPageCount);
    unsigned long previous = kNoChar;
    float pen = x;
    for (unsigned long code; (code = reader.next()) != 0; previous = code) {
        const ZFontExt* glyph = findGlyph(code);
        if (!glyph) continue;
        pen += pairKerning(previous, code) * scale;
        float width = glyph->x2 + 1 - glyph->x1, height = glyph->y2 + 1 - glyph->y1;
        // Centred at minus half its size, a glyph grows from its top-left corner.
        drawGlyph(batch, *glyph, glyph->x1, glyph->y1, glyph->x2 + 1, glyph->y2 + 1,
                  pen + glyph->xOffset * scale, y + (glyph->yOffset + pageYOffset(*glyph)) * scale,
                  scale, -width / 2, -height / 2, nullptr);
        pen += (glyph->advance + kerning + pageKerning(*glyph)) * scale;
        if (code == kSpace) pen += m_spaceAdjustment * scale;
    }
}

void ZText::drawStringFromRightF(const char* text, float x, float y, float kerning) {
    drawFromRight(text, x, y, kerning, false);
}

void ZText::drawStringCenteredF(const char* text, float x1, float x2, float y, float kerning) {
    float width = getStringWidth(text, kerning, 1, -1, nullptr, true);
    drawStringFromLeftF(text, x1 + ((x2 - x1) - width) * 0.5f, y, kerning, 1, -1);
}

void ZText::drawClipped(const char* text, float x1, float y1, float x2, float y2, float offsetX,
                        float offsetY, float kerning, long cursorIndex,
                        ZTextFaceCharCallback callback, void* userData, long encoding,
                        unsigned long* lastChar, long* endX, ZMatrix* matrix, bool wholePixels) {
    if (x2 < x1) x2 = x1;
    if (y2 < y1) y2 = y1;
    float pen = x1 + offsetX;
    const float top = y1 + offsetY;
    const float visibleTop = std::max(y1, top);
    const float visibleBottom = std::min(top + static_cast<float>(getHeightPix()), y2);
    ZTextReader reader(text, resolveEncoding(encoding));
    ZTextPageBatch batch(m_pages, kPageCount);
    unsigned long previous = lastChar ? *lastChar : kNoChar;
    bool called = false;
    float box[4] = {0, 0, 0, 0};
    for (long index = 0;; index++) {
        unsigned long code = reader.next();
        bool atEnd = code == 0;
        const ZFontExt* glyph;
        if (atEnd) {
            // The space after the text, never drawn, places a cursor after its last character.
            glyph = findGlyph(kSpace);
            if (!glyph) break;
        } else {
            glyph = findGlyph(code);
            if (!glyph) {
                previous = code;
                continue;
            }
            pen += pairKerning(previous, code);
        }
        float gx;
        if (!wholePixels) {
            gx = pen + glyph->xOffset;
        } else if (m_compatibilityLevel >= 1) {
            gx = roundHalfUp(pen) + glyph->xOffset;
        } else {
            gx = std::floor(pen) + glyph->xOffset;
            if (pen - gx >= 0.5f) gx += 1;
        }
        if (gx >= x2) break;

        float w = glyph->x2 + 1 - glyph->x1, h = glyph->y2 + 1 - glyph->y1;
        float sx = 0, sy = 0;
        float gy = top + glyph->yOffset + pageYOffset(*glyph);
        bool considered = false;
        if (gx + w > x1 && gy < y2 && gy >= y1 - h) {
            if (gx + w > x2) w = x2 - gx;
            if (gx < x1) {
                sx = x1 - gx;
                gx = x1;
            }
            if (gy + h > y2) h = y2 - gy;
            if (gy < y1) {
                sy = y1 - gy;
                gy = y1;
            }
            considered = true;
        }
        bool cursor = considered && callback && index == cursorIndex;
        if (cursor) {
            box[0] = gx;
            box[1] = visibleTop;
            box[2] = gx + w - sx;
            box[3] = visibleBottom;
            batch.end();
            callback(this, userData, 0, box[0], box[1], box[2], box[3]);
            called = true;
        }
        if (considered && !atEnd && w > sx && h > sy) {
            float sx1 = glyph->x1 + sx, sy1 = glyph->y1 + sy;
            drawGlyph(batch, *glyph, sx1, sy1, glyph->x1 + w, glyph->y1 + h, gx, gy, 1, 0, 0,
                      wholePixels ? matrix : nullptr);
        }
        if (cursor) {
            batch.end();
            callback(this, userData, 1, box[0], box[1], box[2], box[3]);
        }
        if (atEnd) break;
        pen += glyph->advance + kerning + pageKerning(*glyph);
        if (code == kSpace) pen += m_spaceAdjustment;
        previous = code;
        if (endX) *endX = toPixels(pen - x1);
    }
    batch.end();
    if (called) callback(this, userData, 2, box[0], box[1], box[2], box[3]);
    if (lastChar) *lastChar = previous;
}

void ZText::drawStringClipped(const char* text, long x1, long y1, long x2, long y2, long offsetX,
                              long offsetY, float kerning, long cursorIndex,
                              ZTextFaceCharCallback callback, void* userData, long encoding,
                              unsigned long* lastChar, long* endX, ZMatrix* matrix) {
    drawClipped(text, static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                static_cast<float>(y2), static_cast<float>(offsetX), static_cast<float>(offsetY),
                kerning, cursorIndex, callback, userData, encoding, lastChar, endX, matrix, true);
}

void ZText::drawStringClippedF(const char* text, float x1, float y1, float x2, float y2,
                               float offsetX, float offsetY, float kerning, long cursorIndex,
                               ZTextFaceCharCallback callback, void* userData, long encoding) {
    drawClipped(text, x1, y1, x2, y2, offsetX, offsetY, kerning, cursorIndex, callback, userData,
                encoding, nullptr, nullptr, nullptr, false);
}

// ---- Hit tests ----

bool ZText::clippedCharCoord(const char* text, float x1, float offsetX, float kerning,
                             long charIndex, float& left, float& right, long encoding,
                             bool allowEnd, bool wholePixels) {
    ZTextReader reader(text, resolveEncoding(encoding));
    unsigned long previous = kNoChar;
    float pen = x1 + offsetX;
    // Where a glyph of the given offset starts at the pen.
    auto place = [&pen, wholePixels](float xOffset) {
        if (!wholePixels) return pen + xOffset;
        float g = std::floor(pen) + xOffset;
        return pen - g >= 0.5f ? g + 1 : g;
    };
    for (long index = 0;; index++) {
        unsigned long code = reader.next();
        if (code == 0) {
            if (!allowEnd || index != charIndex) break;
            // After the text: the space that would follow it, or a slot of no width.
            const ZFontExt* space = findGlyph(kSpace);
            left = place(space ? space->xOffset : 0);
            right = left + (space ? space->advance : 0);
            return true;
        }
        const ZFontExt* glyph = findGlyph(code);
        if (!glyph) {
            // A character the font lacks takes no room where it stands.
            if (index == charIndex) {
                left = right = place(0);
                return true;
            }
            previous = code;
            continue;
        }
        pen += pairKerning(previous, code);
        if (index == charIndex) {
            left = place(glyph->xOffset);
            right = left + glyph->advance;
            return true;
        }
        pen += glyph->advance + kerning + pageKerning(*glyph);
        if (code == kSpace) pen += m_spaceAdjustment;
        previous = code;
    }
    left = right = x1;
    return false;
}

bool ZText::getClippedCharCoord(const char* text, long x1, long, long offsetX, float kerning,
                                long charIndex, long& left, long& right, long encoding,
                                bool allowEnd) {
    float l = 0, r = 0;
    bool found = clippedCharCoord(text, static_cast<float>(x1), static_cast<float>(offsetX),
                                  kerning, charIndex, l, r, encoding, allowEnd, true);
    left = toPixels(l);
    right = toPixels(r);
    return found;
}

bool ZText::getClippedCharCoordF(const char* text, float x1, float, float offsetX, float kerning,
                                 long charIndex, float& left, float& right, long encoding,
                                 bool allowEnd) {
    return clippedCharCoord(text, x1, offsetX, kerning, charIndex, left, right, encoding, allowEnd,
                            false);
}

long ZText::clippedCharPos(const char* text, float x1, float offsetX, float kerning, float x,
                           bool clamp, long encoding) {
    float pen = x1 + offsetX;
    if (clamp && x < pen) return 0;
    ZTextReader reader(text, resolveEncoding(encoding));
    unsigned long previous = kNoChar;
    // A character covers its own advance and, up to where the next one starts, the extra space
    // of kerning or justification after it; where two overlap, the first has the column.
    long last = -1;
    float lastStart = 0, lastEnd = 0;
    auto inLast = [&](float nextStart) {
        return last >= 0 && x >= lastStart && x < std::max(lastEnd, nextStart);
    };
    long index = 0;
    for (;; index++) {
        unsigned long code = reader.next();
        if (code == 0) break;
        const ZFontExt* glyph = findGlyph(code);
        if (!glyph) {
            previous = code;
            continue;
        }
        pen += pairKerning(previous, code);
        float start = pen + glyph->xOffset;
        if (inLast(start)) return last;
        last = index;
        lastStart = start;
        lastEnd = start + glyph->advance;
        pen += glyph->advance + kerning + pageKerning(*glyph);
        if (code == kSpace) pen += m_spaceAdjustment;
        previous = code;
    }
    // The space after the text stands for the end slot.
    const ZFontExt* space = findGlyph(kSpace);
    float endStart = pen + (space ? space->xOffset : 0);
    if (inLast(endStart)) return last;
    if (space && x >= endStart && x < endStart + space->advance) return index;
    return clamp ? index : -1;
}

long ZText::getClippedCharPos(const char* text, long x1, long, long offsetX, float kerning, long x,
                              bool clamp, long encoding) {
    return clippedCharPos(text, static_cast<float>(x1), static_cast<float>(offsetX), kerning,
                          static_cast<float>(x), clamp, encoding);
}

long ZText::getClippedCharPosF(const char* text, float x1, float, float offsetX, float kerning,
                               float x, bool clamp, long encoding) {
    return clippedCharPos(text, x1, offsetX, kerning, x, clamp, encoding);
}
