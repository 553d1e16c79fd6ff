#include "ZUIRichText.h"

#include <strings.h>
#include <cmath>
#include <cstring>

#include "ZCore.h"
#include "ZTextFace.h"
#include "ZWindow.h"

namespace {

float clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

void set4(float* d, float r, float g, float b, float a) {
    d[0] = r;
    d[1] = g;
    d[2] = b;
    d[3] = a;
}

long utf8Chars(const char* s) {
    long n = 0;
    for (; *s; s++)
        if ((static_cast<unsigned char>(*s) & 0xc0) != 0x80) n++;
    return n;
}

// The reader's white-space switch is process-wide: set for one parse, then put back for its
// other users.
class CondenseScope {
public:
    explicit CondenseScope(bool condense) : m_saved(TiXmlBase::IsWhiteSpaceCondensed()) {
        TiXmlBase::SetCondenseWhiteSpace(condense);
    }
    ~CondenseScope() { TiXmlBase::SetCondenseWhiteSpace(m_saved); }
    CondenseScope(const CondenseScope&) = delete;
    CondenseScope& operator=(const CondenseScope&) = delete;

private:
    bool m_saved;
};

}  // namespace

ZUIRichText::ZUIRichText(ZUIElement* parent) : ZUIElement(parent) {
    addClass("ZUIRichText");
}

ZUIRichText::~ZUIRichText() = default;

ZUIRichText* ZUIRichText::isRichText(ZUIElement* e) {
    return e && e->isOfClass("ZUIRichText") ? static_cast<ZUIRichText*>(e) : nullptr;
}

bool ZUIRichText::getFontFace(const char*, ZTextFace*&, float&, float&) {
    return false;
}

bool ZUIRichText::getImage(const char*, long, ZGraphic*&, float*, float&, bool&, bool&) {
    return false;
}

void ZUIRichText::setFlags(long bits) {
    if ((bits & kFlagShaders) && !ZTextFace::getGlyphPixelShader()) bits &= ~kFlagShaders;
    m_flags |= bits;
}

void ZUIRichText::setTextFont(ZTextFace* face, float height, float baseline) {
    m_face = face;
    m_fontHeight = height;
    m_baseline = baseline;
    measure();
}

void ZUIRichText::setTextFlow(long mode) {
    m_flow = mode;
    measure();
}

void ZUIRichText::setTextKerning(float kerning) {
    m_kerning = kerning;
    measure();
}

void ZUIRichText::setTextVertSpacing(float spacing) {
    if (spacing == m_spacing) return;
    m_spacing = spacing;
    measure();
}

void ZUIRichText::setTextOffset(float x, float y) {
    m_offsetX = x;
    m_offsetY = y;
}

void ZUIRichText::setTextMultiplierColor(float r, float g, float b, float a) {
    set4(m_multiplier, r, g, b, a);
}
void ZUIRichText::getTextMultiplierColor(float* rgba) const {
    for (int i = 0; i < 4; i++) rgba[i] = m_multiplier[i];
}
void ZUIRichText::setTextColor(float r, float g, float b, float a) {
    set4(m_color, r, g, b, a);
}
void ZUIRichText::setTextOutlineColor(float r, float g, float b, float a) {
    set4(m_outlineColor, r, g, b, a);
}
void ZUIRichText::setTextLightness(float l) {
    m_lightness = clamp01(l);
}
void ZUIRichText::setTextOutlineLightness(float l) {
    m_outlineLightness = clamp01(l);
}

float ZUIRichText::getTextFontHeight() const {
    if (m_fontHeight >= 0) return m_fontHeight;
    return m_face ? static_cast<float>(m_face->getHeightPix()) : 0;
}

void ZUIRichText::setSize(float width, float height) {
    bool changed = width != getWidth() || height != getHeight();
    ZUIElement::setSize(width, height);
    if (changed) measure();
}

// ---- Parsing ----

void ZUIRichText::walk(const TiXmlNode* node, Style style, bool outlinePass,
                       std::vector<ZTextFaceNode>& out, long& chars) {
    for (const TiXmlNode* c = node->FirstChild(); c; c = c->NextSibling()) {
        Style s = style;
        if (const TiXmlElement* e = c->ToElement()) {
            const char* tag = e->Value();
            if (tag && strcasecmp(tag, "font") == 0) {
                ZTextFace* face = nullptr;
                float h = -1, b = -1;
                const char* name = e->Attribute("face");
                if (name && getFontFace(name, face, h, b) && face) {
                    s.face = face;
                    s.height = h;
                    s.baseline = b;
                }
                if (const char* color = e->Attribute("color"))
                    ZTextFace::parseColor(color, s.color);
                if (const char* outline = e->Attribute("outline"))
                    ZTextFace::parseColor(outline, s.outline);
            } else if (tag && strcasecmp(tag, "img") == 0) {
                const char* name = e->Attribute("name");
                int frame = 0;
                e->QueryIntAttribute("frame", &frame);
                ZGraphic* g = nullptr;
                float rect[4] = {0, 0, 0, 0}, scale = 1;
                bool fx = false, fy = false;
                if (name && getImage(name, frame, g, rect, scale, fx, fy) && g) {
                    ZTextFaceNode n;
                    n.setFont(s.face, s.height, s.baseline);
                    n.setGraphic(g, rect[0], rect[1], rect[2], rect[3], fx, fy, -1);
                    float color[4] = {1, 1, 1, 1};
                    if (const char* cs = e->Attribute("color")) ZTextFace::parseColor(cs, color);
                    const float* c0 = outlinePass ? s.outline : color;
                    n.setColor(ZTextFaceNodeParamSet0, c0[0], c0[1], c0[2], c0[3]);
                    if (outlinePass)
                        n.setColor(ZTextFaceNodeParamSet1, c0[0], c0[1], c0[2], c0[3]);
                    else
                        n.setColor(ZTextFaceNodeParamSet1, 0, 0, 0, 0);
                    out.push_back(n);
                    chars++;
                }
            }
        } else if (const TiXmlText* t = c->ToText()) {
            const char* text = t->Value();
            if (text && text[0]) {
                ZTextFaceNode n;
                n.setFont(s.face, s.height, s.baseline);
                n.setText(text, 1);
                const float* c0 = outlinePass ? s.outline : s.color;
                n.setColor(ZTextFaceNodeParamSet0, c0[0], c0[1], c0[2], c0[3]);
                n.setColor(ZTextFaceNodeParamSet1, s.outline[0], s.outline[1], s.outline[2],
                           s.outline[3]);
                out.push_back(n);
                chars += utf8Chars(text);
            }
        }
        walk(c, s, outlinePass, out, chars);
    }
}

bool ZUIRichText::setText(const char* text) {
    m_source = text ? text : "";
    std::string wrapped = "<text>" + m_source + "</text>";
    ZTiXmlDocument document;
    {
        CondenseScope keepWhiteSpace(false);
        document.Parse(wrapped.c_str(), nullptr, TIXML_ENCODING_UTF8);
    }
    if (document.Error()) {
        ZCore::logMessage("UI: error parsing text in ZUIRichText::setText(): %s",
                          document.ErrorDesc());
        return false;
    }
    if (!m_face) {
        ZCore::logMessage("UI: ZUIRichText::setText() called without a font set");
        return true;
    }
    if ((m_flags & kFlagOutlineFont) && !m_outlineFace)
        ZCore::logMessage(
            "UI: ZUIRichText::setText() called with Z_UIRICHTEXT_FLAG_USE_OUTLINE_FONT set and "
            "without an outline font");
    // The nodes point into the parsed texts: they are built over the document that is kept.
    m_document = document;
    std::vector<ZTextFaceNode> nodes;
    long chars = 0;
    Style style = {m_face, m_fontHeight, m_baseline, {}, {}};
    memcpy(style.color, m_color, sizeof style.color);
    memcpy(style.outline, m_outlineColor, sizeof style.outline);
    const TiXmlElement* root = m_document.RootElement();
    if (root) walk(root, style, false, nodes, chars);
    long textNodes = static_cast<long>(nodes.size());
    if ((m_flags & kFlagOutlineFont) && m_outlineFace && root) {
        long outlineChars = 0;
        style.face = m_outlineFace;
        walk(root, style, true, nodes, outlineChars);
    }
    m_nodes.swap(nodes);
    m_textNodeCount = textNodes;
    m_totalChars = chars;
    measure();
    return true;
}

// ---- Measures ----

void ZUIRichText::measure() {
    if (!m_face || m_textNodeCount == 0) {
        m_textHeight = 0;
        return;
    }
    float spacing = m_compatibility > 0 ? m_spacing : 0;
    m_textHeight = ZTextFace::getMultilineNodesHeight(m_textNodeCount, m_nodes.data(), 0, 0,
                                                      getWidth(), layoutMode(), m_kerning, spacing);
}

float ZUIRichText::getCurrentTextWidth() {
    if (!m_face || m_textNodeCount == 0) return 0;
    return static_cast<float>(ZTextFace::getMultilineNodesWidth(
        m_textNodeCount, m_nodes.data(), 0, 0, getWidth(), layoutMode(), m_kerning, m_spacing));
}

long ZUIRichText::getCurrentTextWidthArray(long count, float* widths) {
    if (!m_face || m_textNodeCount == 0 || !widths) return 0;
    return ZTextFace::getMultilineNodesWidthArray(m_textNodeCount, m_nodes.data(), 0, 0, getWidth(),
                                                  layoutMode(), m_kerning, m_spacing, count,
                                                  widths);
}

long ZUIRichText::verticalOffset() const {
    if (m_vertAlign == 0) return 0;
    float off = getHeight() - m_textHeight;
    if (m_vertAlign == 2) off /= 2;
    return static_cast<long>(std::floor(off));
}

long ZUIRichText::horizontalOffset() const {
    long t = static_cast<long>(m_outlineThickness);
    return layoutMode() == 0 ? t : (layoutMode() == 1 ? -t : 0);
}

bool ZUIRichText::getCharacterPosInCurrentText(long index, float& x1, float& y1, float& x2,
                                               float& y2) {
    if (!m_face || m_textNodeCount == 0 || index < 0 || index >= m_totalChars) return false;
    long l = 0, t = 0, r = 0, b = 0;
    if (!ZTextFace::getMultilineNodesClippedCharCoord(
            m_textNodeCount, m_nodes.data(), 0, 0, getWidth(), getHeight(), layoutMode(),
            horizontalOffset(), verticalOffset(), m_kerning, m_spacing, index, l, t, r, b))
        return false;
    x1 = static_cast<float>(l);
    y1 = static_cast<float>(t);
    x2 = static_cast<float>(r);
    y2 = static_cast<float>(b);
    return true;
}

// ---- Drawing ----

void ZUIRichText::drawNodes(ZTextFaceNode* nodes, long count, long set, long dx, long dy,
                            float blend, ZPixelShader* shader) {
    ZTextFace::drawMultilineNodesClipped(
        count, nodes, 0, 0, getWidth(), getHeight(), layoutMode(),
        static_cast<long>(m_offsetX) + dx, static_cast<long>(m_offsetY) + dy, m_kerning, m_spacing,
        -1, nullptr, nullptr, 0, set, m_maxChars, m_multiplier[0], m_multiplier[1], m_multiplier[2],
        m_multiplier[3] * blend, shader, nullptr);
}

void ZUIRichText::blit(float blend, ZMatrix*) {
    if (!m_face || m_textNodeCount == 0) return;
    long dy = verticalOffset();
    if (m_flags & kFlagBaseline) {
        float b = m_baseline >= 0 ? m_baseline : m_face->getBaseline();
        dy += static_cast<long>(b - getTextFontHeight());
    }
    float saved = m_face->getYSpacing();
    float savedOutline = m_outlineFace ? m_outlineFace->getYSpacing() : 0;
    m_face->setYSpacing(m_spacing);
    if (m_outlineFace) m_outlineFace->setYSpacing(m_spacing);
    long dx = horizontalOffset();
    bool outlineVisible = m_outlineColor[3] > 0 && blend > 0;
    if (m_flags & kFlagShaders) {
        if (outlineVisible)
            drawNodes(m_nodes.data(), m_textNodeCount, 1, dx, dy, blend,
                      ZTextFace::getOutlinePixelShader());
        drawNodes(m_nodes.data(), m_textNodeCount, 0, dx, dy, blend,
                  ZTextFace::getGlyphPixelShader());
    } else if (m_flags & kFlagOutlineFont) {
        long outlineNodes = static_cast<long>(m_nodes.size()) - m_textNodeCount;
        if (m_outlineFace && outlineVisible && outlineNodes > 0)
            drawNodes(m_nodes.data() + m_textNodeCount, outlineNodes, 1, dx, dy, blend, nullptr);
        drawNodes(m_nodes.data(), m_textNodeCount, 0, dx, dy, blend, nullptr);
    } else {
        long t = static_cast<long>(m_outlineThickness);
        if (m_outlineThickness > 0)
            for (long y = -t; y <= t; y++)
                for (long x = -t; x <= t; x++)
                    if (x || y)
                        drawNodes(m_nodes.data(), m_textNodeCount, 1, dx + x, dy + y, blend,
                                  nullptr);
        drawNodes(m_nodes.data(), m_textNodeCount, 0, dx, dy, blend, nullptr);
    }
    m_face->setYSpacing(saved);
    if (m_outlineFace) m_outlineFace->setYSpacing(savedOutline);
}

void ZUIRichText::copyFromTemplate(ZUIElement* tmpl) {
    ZUIRichText* t = isRichText(tmpl);
    if (t && t != this) {
        m_compatibility = t->m_compatibility;
        m_face = t->m_face;
        m_outlineFace = t->m_outlineFace;
        m_fontHeight = t->m_fontHeight;
        m_baseline = t->m_baseline;
        m_flow = t->m_flow;
        m_kerning = t->m_kerning;
        m_vertAlign = t->m_vertAlign;
        m_spacing = t->m_spacing;
        m_offsetX = t->m_offsetX;
        m_offsetY = t->m_offsetY;
        m_maxChars = t->m_maxChars;
        m_lightness = t->m_lightness;
        m_outlineLightness = t->m_outlineLightness;
        m_outlineThickness = t->m_outlineThickness;
    }
    ZUIElement::copyFromTemplate(tmpl);
    if (t && t != this) setText(t->getText());
}
