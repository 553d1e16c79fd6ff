#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ZBatch.h"
#include "ZTextFace.h"

// A face for tests of what the text-face interface does by itself: each character it has moves
// the pen by its advance (10 pixels unless set otherwise), plus the kerning, plus the space
// adjustment after a space in the drawing and hit-test forms, as the engine's faces do; pair
// kerning between two codes can be set. It records every draw. Given a page graphic it also
// draws each glyph as a solid cell of that graphic through the shared text batch.
class FixedAdvanceFace : public ZTextFace {
public:
    struct Draw {
        std::string kind;
        std::vector<unsigned long> text;
        float x, y;
        float kerning;
        float color[4];
        float spaceAdjustment;
        long cursorIndex;
        bool hadCallback;
        unsigned long previous;  // the lastChar handed in
    };

    explicit FixedAdvanceFace(float advance = 10, long height = 20) : m_advance(advance) {
        m_height = height;
        addClass("FixedAdvanceFace");
    }

    using ZTextFace::drawStringCentered;
    using ZTextFace::drawStringCenteredF;
    using ZTextFace::drawStringFromLeft;
    using ZTextFace::drawStringFromLeftF;
    using ZTextFace::drawStringFromRight;
    using ZTextFace::drawStringFromRightF;

    // Set-up of the test.
    long encoding = 1;
    std::set<unsigned long> missing;
    std::map<unsigned long, float> advances;
    std::map<unsigned long, float> xOffsets;
    std::map<unsigned long, float> glyphHeights;
    std::map<std::pair<unsigned long, unsigned long>, float> pairs;
    float overhang = 0;
    ZGraphic* page = nullptr;

    // What the face was asked.
    std::vector<Draw> draws;
    float spaceAdjustment = 0;
    std::vector<float> spaceAdjustments;

    float advanceOf(unsigned long code) const {
        auto found = advances.find(code);
        return found == advances.end() ? m_advance : found->second;
    }
    bool has(unsigned long code) const { return code != 0 && !missing.count(code); }
    float pairOf(unsigned long previous, unsigned long code) const {
        auto found = pairs.find({previous, code});
        return found == pairs.end() ? 0 : found->second;
    }
    std::vector<unsigned long> codesOf(const char* text, long textEncoding) const {
        std::vector<unsigned long> codes;
        if (!text) return codes;
        long enc = textEncoding == -1 ? encoding : textEncoding;
        long pos = 0;
        for (unsigned long code; (code = decodeChar(enc, text, pos, true)) != 0;)
            codes.push_back(code);
        return codes;
    }

    long getCompatibilityLevel() override { return m_level; }
    void setCompatibilityLevel(long level) override { m_level = level; }
    long getTextEncoding() override { return encoding; }
    long getHeightPix() override { return m_height; }

    float getStringWidth(const char* text, float kerning, float scale, long textEncoding,
                         unsigned long* lastChar, bool withOverhang) override {
        unsigned long previous = lastChar ? *lastChar : static_cast<unsigned long>(-1);
        float width = 0;
        bool any = false;
        long enc = textEncoding == -1 ? encoding : textEncoding;
        long pos = 0;
        // Decoded in place: the layout measures long lines many times over.
        for (unsigned long code; text && (code = decodeChar(enc, text, pos, true)) != 0;) {
            if (has(code)) {
                width += pairOf(previous, code) + advanceOf(code) + kerning;
                any = true;
            }
            previous = code;
        }
        if (lastChar) *lastChar = previous;
        if (withOverhang && any && overhang > 0) width += overhang;
        return width * scale;
    }
    float getNCharWidth(const char* text, long count, float kerning, float scale) override {
        float width = 0;
        std::vector<unsigned long> codes = codesOf(text, -1);
        for (long i = 0; i < count && i < static_cast<long>(codes.size()); i++)
            if (has(codes[i])) width += advanceOf(codes[i]) + kerning;
        return width * scale;
    }
    float getCharWidth(unsigned long code, float kerning) override {
        return has(code) ? advanceOf(code) + kerning : 0;
    }
    float getCharXOffset(unsigned long code) override {
        auto found = xOffsets.find(code);
        return found == xOffsets.end() ? 0 : found->second;
    }
    float getStringHeight(const char* text, long textEncoding) override {
        float height = static_cast<float>(m_height);
        for (unsigned long code : codesOf(text, textEncoding)) {
            auto found = glyphHeights.find(code);
            if (found != glyphHeights.end() && found->second > height) height = found->second;
        }
        return height;
    }
    void getColor(float* rgba) override {
        for (int i = 0; i < 4; i++) rgba[i] = m_color[i];
    }
    void setColor(float r, float g, float b, float a) override {
        m_color[0] = r;
        m_color[1] = g;
        m_color[2] = b;
        m_color[3] = a;
        if (page) page->setBlitColor(r, g, b, a);
    }
    void setBlitColor(float r, float g, float b, float a) override { setColor(r, g, b, a); }
    void setBlend(float) override {}
    void setAlphaMode(long) override {}
    void setAlphaOp(eTazelAlphaOp, eTazelAlphaOp) override {}

    void drawStringFromLeft(const char* text, long x, long y, float kerning, long textEncoding,
                            unsigned long* lastChar, long* endX, ZMatrix*) override {
        record("left", text, textEncoding, static_cast<float>(x), static_cast<float>(y), kerning);
        unsigned long previous = lastChar ? *lastChar : static_cast<unsigned long>(-1);
        draws.back().previous = previous;
        float pen = static_cast<float>(x);
        ZBatch* batch = page ? createTextBatch() : nullptr;
        if (batch) batch->beginBatch(page);
        for (unsigned long code : codesOf(text, textEncoding)) {
            if (has(code)) {
                pen += pairOf(previous, code);
                if (batch && code != 32)
                    batch->blitFastRectFxF(0, 0, advanceOf(code), static_cast<float>(m_height), pen,
                                           static_cast<float>(y), 1, 1, 0, 0);
                pen += advanceOf(code) + kerning;
                if (code == 32) pen += spaceAdjustment;
            }
            previous = code;
        }
        if (batch) batch->endBatch();
        if (lastChar) *lastChar = previous;
        if (endX) *endX = static_cast<long>(pen);
    }
    void drawStringFromRight(const char* text, long x, long y, float kerning) override {
        record("right", text, -1, static_cast<float>(x), static_cast<float>(y), kerning);
    }
    void drawStringCentered(const char* text, long x1, long, long y, float kerning) override {
        record("centred", text, -1, static_cast<float>(x1), static_cast<float>(y), kerning);
    }

    // Walks the text as clipped drawing does: every character counts for the cursor index, the
    // end of the text is a space-wide slot.
    void drawStringClipped(const char* text, long x1, long y1, long x2, long y2, long offsetX,
                           long offsetY, float kerning, long cursorIndex,
                           ZTextFaceCharCallback callback, void* userData, long textEncoding,
                           unsigned long* lastChar, long* endX, ZMatrix*) override {
        record("clipped", text, textEncoding, static_cast<float>(x1 + offsetX),
               static_cast<float>(y1 + offsetY), kerning);
        draws.back().cursorIndex = cursorIndex;
        draws.back().hadCallback = callback != nullptr;
        unsigned long previous = lastChar ? *lastChar : static_cast<unsigned long>(-1);
        float pen = static_cast<float>(x1 + offsetX);
        float top = static_cast<float>(y1 + offsetY);
        std::vector<unsigned long> codes = codesOf(text, textEncoding);
        bool called = false;
        float box[4] = {0, 0, 0, 0};
        for (size_t i = 0; i <= codes.size(); i++) {
            unsigned long code = i < codes.size() ? codes[i] : 32;
            if (!has(code)) {
                previous = code;
                continue;
            }
            pen += pairOf(previous, code);
            if (pen >= x2) break;
            if (static_cast<long>(i) == cursorIndex && callback) {
                box[0] = pen;
                box[1] = top > y1 ? top : static_cast<float>(y1);
                box[2] = pen + advanceOf(code);
                box[3] = top + m_height < y2 ? top + m_height : static_cast<float>(y2);
                callback(this, userData, 0, box[0], box[1], box[2], box[3]);
                callback(this, userData, 1, box[0], box[1], box[2], box[3]);
                called = true;
            }
            if (i == codes.size()) break;
            pen += advanceOf(code) + kerning;
            if (code == 32) pen += spaceAdjustment;
            previous = code;
            if (endX) *endX = static_cast<long>(pen - x1);
        }
        if (lastChar) *lastChar = previous;
        if (called) callback(this, userData, 2, box[0], box[1], box[2], box[3]);
    }
    bool getClippedCharCoord(const char* text, long x1, long x2, long offsetX, float kerning,
                             long charIndex, long& left, long& right, long textEncoding,
                             bool allowEnd) override {
        float l, r;
        bool found = getClippedCharCoordF(text, x1, x2, offsetX, kerning, charIndex, l, r,
                                          textEncoding, allowEnd);
        left = static_cast<long>(l);
        right = static_cast<long>(r);
        return found;
    }
    long getClippedCharPos(const char* text, long x1, long x2, long offsetX, float kerning, long x,
                           bool clamp, long textEncoding) override {
        return getClippedCharPosF(text, x1, x2, offsetX, kerning, x, clamp, textEncoding);
    }
    void drawStringFromLeftF(const char* text, float x, float y, float kerning, float,
                             long textEncoding) override {
        record("leftF", text, textEncoding, x, y, kerning);
    }
    void drawStringFromRightF(const char* text, float x, float y, float kerning) override {
        record("rightF", text, -1, x, y, kerning);
    }
    void drawStringCenteredF(const char* text, float x1, float, float y, float kerning) override {
        record("centredF", text, -1, x1, y, kerning);
    }
    void drawStringClippedF(const char* text, float x1, float y1, float, float, float offsetX,
                            float offsetY, float kerning, long, ZTextFaceCharCallback, void*,
                            long textEncoding) override {
        record("clippedF", text, textEncoding, x1 + offsetX, y1 + offsetY, kerning);
    }
    bool getClippedCharCoordF(const char* text, float x1, float, float offsetX, float kerning,
                              long charIndex, float& left, float& right, long textEncoding,
                              bool allowEnd) override {
        float pen = x1 + offsetX;
        unsigned long previous = static_cast<unsigned long>(-1);
        std::vector<unsigned long> codes = codesOf(text, textEncoding);
        for (size_t i = 0; i < codes.size(); i++) {
            unsigned long code = codes[i];
            if (has(code)) pen += pairOf(previous, code);
            if (static_cast<long>(i) == charIndex) {
                left = pen;
                right = pen + (has(code) ? advanceOf(code) : 0);
                return true;
            }
            if (has(code)) pen += advanceOf(code) + kerning + (code == 32 ? spaceAdjustment : 0);
            previous = code;
        }
        if (allowEnd && charIndex == static_cast<long>(codes.size())) {
            left = pen;
            right = pen + advanceOf(32);
            return true;
        }
        left = right = x1;
        return false;
    }
    long getClippedCharPosF(const char* text, float x1, float, float offsetX, float kerning,
                            float x, bool clamp, long textEncoding) override {
        float pen = x1 + offsetX;
        if (clamp && x < pen) return 0;
        unsigned long previous = static_cast<unsigned long>(-1);
        std::vector<unsigned long> codes = codesOf(text, textEncoding);
        for (size_t i = 0; i < codes.size(); i++) {
            unsigned long code = codes[i];
            if (has(code)) {
                pen += pairOf(previous, code);
                float step = advanceOf(code) + kerning + (code == 32 ? spaceAdjustment : 0);
                if (x >= pen && x < pen + step) return static_cast<long>(i);
                pen += step;
            }
            previous = code;
        }
        if (x >= pen && x < pen + advanceOf(32)) return static_cast<long>(codes.size());
        return clamp ? static_cast<long>(codes.size()) : -1;
    }
    bool doesCharExist(unsigned long code) override { return has(code); }
    float getYSpacing() override { return m_ySpacing; }
    void setYSpacing(float spacing) override { m_ySpacing = spacing; }
    void setSpaceAdjustment(float adjustment) override {
        spaceAdjustment = adjustment;
        spaceAdjustments.push_back(adjustment);
    }
    float getMultilineHorizPadding() override { return m_padding; }
    void setMultilineHorizPadding(float padding) override { m_padding = padding; }

    // The text of a draw as UTF-8 (every test text is ASCII or BMP).
    static std::string utf8(const std::vector<unsigned long>& codes) {
        std::string out;
        char buffer[8];
        for (unsigned long code : codes) {
            long pos = 0;
            encodeChar(1, buffer, pos, code);
            out.append(buffer, static_cast<size_t>(pos));
        }
        return out;
    }

private:
    void record(const char* kind, const char* text, long textEncoding, float x, float y,
                float kerning) {
        Draw draw{kind,  codesOf(text, textEncoding),   x, y, kerning, {}, spaceAdjustment, -1,
                  false, static_cast<unsigned long>(-1)};
        for (int i = 0; i < 4; i++) draw.color[i] = m_color[i];
        draws.push_back(draw);
    }

    float m_advance;
    long m_height = 20;
    long m_level = 0;
    float m_color[4] = {1, 1, 1, 1};
    float m_ySpacing = 0;
    float m_padding = 0;
};
