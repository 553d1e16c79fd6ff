#pragma once

#include <vector>

#include "ZTextFaceNode.h"
#include "ZTiXmlDocument.h"
#include "ZUIElement.h"

class ZTextFace;

#define Z_UIRICHTEXT_FLAG_USE_OUTLINE_FONT 4

// Marked-up text: runs in several faces and colours, outlines and inline images, laid out
// together over several lines. The markup is XML with the tags "font" and "img" inside an
// implied root; face and image names are resolved by two hooks, which find nothing here.
class ZUIRichText : public ZUIElement {
public:
    static constexpr long kFlagBaseline = 1;
    static constexpr long kFlagShaders = 2;
    static constexpr long kFlagOutlineFont = Z_UIRICHTEXT_FLAG_USE_OUTLINE_FONT;

    explicit ZUIRichText(ZUIElement* parent);
    ~ZUIRichText() override;

    static ZUIRichText* isRichText(ZUIElement* e);

    void copyFromTemplate(ZUIElement* t) override;
    void setSize(float width, float height) override;
    void blit(float blend, ZMatrix* m) override;
    // Parses and lays out the markup; false (the previous layout kept) when it is malformed.
    virtual bool setText(const char* text);
    virtual bool getFontFace(const char* name, ZTextFace*& face, float& height, float& baseline);
    virtual bool getImage(const char* name, long frame, ZGraphic*& graphic, float* rect,
                          float& scale, bool& flipX, bool& flipY);

    void setCompatibilityLevel(long level) { m_compatibility = level; }
    long getCompatibilityLevel() const { return m_compatibility; }
    void setFlags(long bits);
    void clearFlags(long bits) { m_flags &= ~bits; }
    long getFlags() const { return m_flags; }
    void setTextFont(ZTextFace* face, float height, float baseline);
    void setOutlineFont(ZTextFace* face) { m_outlineFace = face; }
    void setTextFlow(long mode);
    void setTextKerning(float kerning);
    void setTextVertSpacing(float spacing);
    void setTextVertAlignMode(long mode) { m_vertAlign = mode; }
    void setTextOffset(float x, float y);
    void setMaxTextChars(long n) { m_maxChars = n; }
    void setTextMultiplierColor(float r, float g, float b, float a);
    void getTextMultiplierColor(float* rgba) const;
    void setTextColor(float r, float g, float b, float a);
    void setTextOutlineThickness(float t) { m_outlineThickness = t; }
    void setTextOutlineColor(float r, float g, float b, float a);
    void setTextLightness(float l);
    void setTextOutlineLightness(float l);

    const char* getText() const { return m_source.c_str(); }
    ZTextFace* getTextFont() const { return m_face; }
    ZTextFace* getOutlineFont() const { return m_outlineFace; }
    long getTextFlow() const { return m_flow; }
    float getTextKerning() const { return m_kerning; }
    long getTextVertAlignMode() const { return m_vertAlign; }
    float getTextVertSpacing() const { return m_spacing; }
    long getMaxTextChars() const { return m_maxChars; }
    long getTotalTextChars() const { return m_totalChars; }
    float getTextLightness() const { return m_lightness; }
    float getTextFontHeight() const;
    long getNodeCount() const { return static_cast<long>(m_nodes.size()); }
    const ZTextFaceNode* getNodes() const { return m_nodes.data(); }
    float getCurrentTextWidth();
    long getCurrentTextWidthArray(long count, float* widths);
    float getCurrentTextHeight() const { return m_textHeight; }
    bool getCharacterPosInCurrentText(long index, float& x1, float& y1, float& x2, float& y2);

private:
    struct Style {
        ZTextFace* face;
        float height, baseline;
        float color[4];
        float outline[4];
    };
    long layoutMode() const { return m_flow >= 1 && m_flow <= 4 ? m_flow : 0; }
    void walk(const TiXmlNode* node, Style style, bool outlinePass, std::vector<ZTextFaceNode>& out,
              long& chars);
    void measure();
    long verticalOffset() const;
    long horizontalOffset() const;
    void drawNodes(ZTextFaceNode* nodes, long count, long set, long dx, long dy, float blend,
                   ZPixelShader* shader);

    long m_compatibility = 0;
    long m_flags = 0;
    ZTextFace* m_face = nullptr;
    ZTextFace* m_outlineFace = nullptr;
    float m_fontHeight = -1;
    float m_baseline = -1;
    long m_flow = 0;
    float m_kerning = 0;
    long m_vertAlign = 0;
    float m_spacing = 2.0f;
    float m_offsetX = 0, m_offsetY = 0;
    long m_maxChars = -1;
    long m_totalChars = 0;
    float m_multiplier[4] = {1, 1, 1, 1};
    float m_color[4] = {1, 1, 1, 1};
    float m_lightness = 1;
    float m_outlineThickness = 0;
    float m_outlineColor[4] = {1, 1, 1, 1};
    float m_outlineLightness = 1;
    std::string m_source;
    // The nodes point into the document's texts: both are replaced together.
    ZTiXmlDocument m_document;
    // One growable array: the text runs, then (with the outline face) their outline copies.
    std::vector<ZTextFaceNode> m_nodes;
    long m_textNodeCount = 0;
    float m_textHeight = 0;
};
