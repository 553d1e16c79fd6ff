#include "ZUIText.h"

#include <cmath>
#include <cstring>

#include "ZCore.h"
#include "ZGame.h"
#include "ZManagedFontList.h"
#include "ZTextFace.h"
#include "ZTrueText.h"
#include "ZWindow.h"

namespace {

float clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

// Bytes of one code unit of an encoding: 32-bit (2), UTF-16 (3, 4), else single bytes.
long unitSize(long encoding) {
    if (encoding == 2) return 4;
    if (encoding == 3 || encoding == 4) return 2;
    return 1;
}

// The widest code unit: a text copied as single bytes may later be read by a face of 16- or
// 32-bit units, and must still end at a zero unit inside the buffer.
constexpr long kTerminatorBytes = 4;

}  // namespace

ZUIText::ZUIText(ZUIElement* parent) : ZUIElement(parent) {
    addClass("ZUIText");
}

ZUIText::ZUIText(ZUIElement* parent, float x, float y, const char* name, const char* text,
                 const char* fontFile, long fontHeight, long flow, long vertAlign)
    : ZUIText(parent) {
    ZManagedFontList* fonts = ZGame::g_lpGame ? ZGame::g_lpGame->getFontList() : nullptr;
    if (fontFile && fontFile[0] && fonts) {
        ZTrueText* face = fonts->loadFont(fontFile, fontHeight, false, 0, false, 0, true, false);
        if (face) {
            m_face = face;
            m_fontHeight = -1;
            size_t n = strlen(fontFile);
            m_fontName = new char[n + 1];
            memcpy(m_fontName, fontFile, n + 1);
            m_loadedFontHeight = fontHeight;
            if (text && text[0])
                setSize(face->getStringWidth(text, 0, 1, face->getTextEncoding(), nullptr, false),
                        static_cast<float>(face->getHeightPix()));
        }
    }
    if (name && name[0]) setName(name);
    setPosition(x, y);
    setTextFlow(flow);
    setTextVertAlignMode(vertAlign);
    if (text && text[0]) setText(text);
}

ZUIText::~ZUIText() {
    delete[] m_text;
    m_text = nullptr;
    releaseFont();
}

void ZUIText::releaseFont() {
    if (!m_fontName) return;
    ZManagedFontList* fonts = ZGame::g_lpGame ? ZGame::g_lpGame->getFontList() : nullptr;
    if (fonts) fonts->unloadFontByName(m_fontName, m_loadedFontHeight, 0);
    delete[] m_fontName;
    m_fontName = nullptr;
}

ZUIText* ZUIText::isText(ZUIElement* e) {
    return e && e->isOfClass("ZUIText") ? static_cast<ZUIText*>(e) : nullptr;
}

long ZUIText::encoding() const {
    return m_face ? m_face->getTextEncoding() : 0;
}

void ZUIText::setTextFont(ZTextFace* face, float height) {
    if (face != m_face) releaseFont();
    m_face = face;
    m_fontHeight = height;
    recomputeHeight();
}

void ZUIText::setTextFlow(long mode) {
    m_flow = mode;
    recomputeHeight();
}

void ZUIText::setTextKerning(float kerning) {
    m_kerning = kerning;
    recomputeHeight();
}

void ZUIText::setTextVertSpacing(float spacing) {
    if (spacing == m_spacing) return;
    m_spacing = spacing;
    recomputeHeight();
}

void ZUIText::setTextColor(float r, float g, float b, float a) {
    m_color[0] = r;
    m_color[1] = g;
    m_color[2] = b;
    m_color[3] = a;
}

void ZUIText::setTextOutlineColor(float r, float g, float b, float a) {
    m_outlineColor[0] = r;
    m_outlineColor[1] = g;
    m_outlineColor[2] = b;
    m_outlineColor[3] = a;
}

void ZUIText::setTextLightness(float l) {
    m_lightness = clamp01(l);
}
void ZUIText::setTextOutlineLightness(float l) {
    m_outlineLightness = clamp01(l);
}

bool ZUIText::enableTextShader(bool on) {
    if (on && !ZTextFace::getGlyphPixelShader()) return false;
    m_shader = on;
    return true;
}

void ZUIText::setText(const char* text) {
    if (!m_face) ZCore::logMessage("UI: ZUIText::setText() called without a font set");
    if (!text) text = "";
    long enc = encoding();
    long units = ZTextFace::getStringLen(enc, text);
    if (units < 0) units = 0;
    long bytes = units * unitSize(enc);
    // Whole units of the widest kind, then one zero unit of it.
    long size =
        (bytes + kTerminatorBytes - 1) / kTerminatorBytes * kTerminatorBytes + kTerminatorBytes;
    if (!m_text || size > m_capacity) {
        delete[] m_text;
        m_text = new char[size];
        m_capacity = size;
    }
    memcpy(m_text, text, static_cast<size_t>(bytes));
    memset(m_text + bytes, 0, static_cast<size_t>(size - bytes));
    recomputeHeight();
}

void ZUIText::setSize(float width, float height) {
    bool changed = width != getWidth() || height != getHeight();
    ZUIElement::setSize(width, height);
    if (changed) recomputeHeight();
}

float ZUIText::getTextFontHeight() const {
    if (m_fontHeight >= 0) return m_fontHeight;
    return m_face ? static_cast<float>(m_face->getHeightPix()) : 0;
}

void ZUIText::recomputeHeight() {
    m_textHeight = m_text ? getTextHeight(m_text, false) : 0;
}

float ZUIText::getTextWidth(const char* text) {
    if (!m_face || !text) return 0;
    return static_cast<float>(m_face->getMultilineWidth(text, 0, static_cast<long>(getWidth()), 0,
                                                        layoutMode(), m_kerning, m_fontHeight));
}

float ZUIText::getTextHeight(const char* text, bool withSpacing) {
    if (!m_face || !text) return 0;
    float saved = m_face->getYSpacing();
    if (withSpacing) m_face->setYSpacing(m_spacing);
    long h = m_face->getMultilineHeight(text, 0, static_cast<long>(getWidth()), 0, layoutMode(),
                                        m_kerning, m_fontHeight);
    if (withSpacing) m_face->setYSpacing(saved);
    return static_cast<float>(h);
}

long ZUIText::getTextWidthArray(const char* text, long count, float* widths) {
    if (!m_face || !text || !widths) return 0;
    return m_face->getMultilineWidthArray(text, 0, static_cast<long>(getWidth()), 0, layoutMode(),
                                          count, widths, m_kerning, m_fontHeight);
}

bool ZUIText::getCharacterPosInText(const char* text, long index, float& x1, float& y1, float& x2,
                                    float& y2) {
    if (!m_face || !text) return false;
    if (index < 0 || index >= ZTextFace::countChars(encoding(), text)) return false;
    long dy = 0;
    if (m_vertAlign != ZUIVertAlignTop) {
        float off = getHeight() - getTextHeight(text, false);
        if (m_vertAlign == ZUIVertAlignCenter) off /= 2;
        dy = static_cast<long>(std::floor(off));
    }
    long l = 0, t = 0, r = 0, b = 0;
    float saved = m_face->getYSpacing();
    m_face->setYSpacing(m_spacing);
    bool found = m_face->getMultilineClippedCharCoord(
        text, 0, 0, static_cast<long>(getWidth()), static_cast<long>(getHeight()), layoutMode(), 0,
        dy, m_kerning, index, l, t, r, b, m_fontHeight);
    m_face->setYSpacing(saved);
    if (!found) return false;
    x1 = static_cast<float>(l);
    y1 = static_cast<float>(t);
    x2 = static_cast<float>(r);
    y2 = static_cast<float>(b);
    return true;
}

void ZUIText::copyFromTemplate(ZUIElement* tmpl) {
    ZUIText* t = isText(tmpl);
    if (t && t != this) {
        // The template's face is borrowed: only a font loaded here is released here.
        setTextFont(t->m_face, t->m_fontHeight);
        m_flow = t->m_flow;
        m_kerning = t->m_kerning;
        m_spacing = t->m_spacing;
        memcpy(m_color, t->m_color, sizeof m_color);
        m_lightness = t->m_lightness;
        m_outlineThickness = t->m_outlineThickness;
        memcpy(m_outlineColor, t->m_outlineColor, sizeof m_outlineColor);
        m_outlineLightness = t->m_outlineLightness;
        if (t->m_fontName) {
            ZManagedFontList* fonts = ZGame::g_lpGame ? ZGame::g_lpGame->getFontList() : nullptr;
            if (fonts && fonts->loadFont(t->m_fontName, t->m_loadedFontHeight, false, 0, false, 0,
                                         true, false)) {
                size_t n = strlen(t->m_fontName);
                m_fontName = new char[n + 1];
                memcpy(m_fontName, t->m_fontName, n + 1);
                m_loadedFontHeight = t->m_loadedFontHeight;
            }
        }
        setText(t->m_text);
    }
    ZUIElement::copyFromTemplate(tmpl);
}

void ZUIText::drawOnce(long dx, long dy) {
    m_face->drawMultilineClipped(m_text, 0, 0, static_cast<long>(getWidth()),
                                 static_cast<long>(getHeight()), layoutMode(), dx, dy, m_kerning,
                                 -1, nullptr, nullptr, m_fontHeight);
}

void ZUIText::blit(float blend, ZMatrix*) {
    if (!m_face || !m_text) return;
    long dy = 0;
    if (m_vertAlign != ZUIVertAlignTop) {
        float off = getHeight() - m_textHeight;
        if (m_vertAlign == ZUIVertAlignCenter) off /= 2;
        dy = static_cast<long>(std::floor(off));
    }
    float saved = m_face->getYSpacing();
    m_face->setYSpacing(m_spacing);
    long mode = layoutMode();
    long dx = mode == 0   ? static_cast<long>(m_outlineThickness)
              : mode == 1 ? -static_cast<long>(m_outlineThickness)
                          : 0;
    const float* o = m_outlineColor;
    float ol = m_outlineLightness, tl = m_lightness;
    if (!m_shader) {
        long t = static_cast<long>(m_outlineThickness);
        if (m_outlineThickness > 0) {
            m_face->setColor(o[0] * ol, o[1] * ol, o[2] * ol, o[3] * blend);
            for (long y = -t; y <= t; y++)
                for (long x = -t; x <= t; x++)
                    if (x || y) drawOnce(dx + x, dy + y);
        }
        m_face->setColor(m_color[0] * tl, m_color[1] * tl, m_color[2] * tl, m_color[3] * blend);
        drawOnce(dx, dy);
        m_face->setColor(1, 1, 1, 1);
    } else {
        ZWindow* w = getZWindow();
        if (o[3] * blend > 0 && w) {
            w->setPixelShader(ZTextFace::getOutlinePixelShader());
            m_face->setColor(o[0] * ol, o[1] * ol, o[2] * ol, o[3] * blend);
            drawOnce(dx, dy);
        }
        if (w) w->setPixelShader(ZTextFace::getGlyphPixelShader());
        m_face->setColor(m_color[0] * tl, m_color[1] * tl, m_color[2] * tl, m_color[3] * blend);
        drawOnce(dx, dy);
        m_face->setColor(1, 1, 1, 1);
        if (w) w->setPixelShader(nullptr);
    }
    m_face->setYSpacing(saved);
}
