#pragma once

#include "ZUIElement.h"

class ZTextFace;

enum ZUITextFlowMode : int32_t {
    ZUITextFlowLeft = 0,
    ZUITextFlowRight = 1,
    ZUITextFlowCentered = 2,
    ZUITextFlowJustified = 3,
    ZUITextFlowJustifiedAnywhere = 4,
};

enum ZUIVertAlignMode : int32_t {
    ZUIVertAlignTop = 0,
    ZUIVertAlignBottom = 1,
    ZUIVertAlignCenter = 2,
};

// Draws one text laid out in the element's rectangle with a text face: flow, vertical
// alignment, kerning, line spacing, colour and an outline.
class ZUIText : public ZUIElement {
public:
    explicit ZUIText(ZUIElement* parent);
    ZUIText(ZUIElement* parent, float x, float y, const char* name, const char* text,
            const char* fontFile, long fontHeight, long flow, long vertAlign);
    ~ZUIText() override;

    static ZUIText* isText(ZUIElement* e);

    void copyFromTemplate(ZUIElement* t) override;
    void setSize(float width, float height) override;
    void blit(float blend, ZMatrix* m) override;
    virtual void setText(const char* text);

    void setTextFont(ZTextFace* face, float height);
    void setTextFlow(long mode);
    void setTextVertAlignMode(long mode) { m_vertAlign = mode; }
    void setTextKerning(float kerning);
    void setTextVertSpacing(float spacing);
    void setTextColor(float r, float g, float b, float a);
    void setTextOutlineColor(float r, float g, float b, float a);
    void setTextLightness(float l);
    void setTextOutlineLightness(float l);
    void setTextOutlineThickness(float t) { m_outlineThickness = t; }
    bool enableTextShader(bool on);

    const char* getText() const { return m_text; }
    ZTextFace* getTextFont() const { return m_face; }
    long getTextFlow() const { return m_flow; }
    float getTextKerning() const { return m_kerning; }
    long getTextVertAlignMode() const { return m_vertAlign; }
    float getTextVertSpacing() const { return m_spacing; }
    float getTextLightness() const { return m_lightness; }
    float getTextFontHeight() const;
    float getTextWidth(const char* text);
    float getCurrentTextWidth() { return getTextWidth(m_text); }
    float getTextHeight(const char* text, bool withSpacing);
    float getCurrentTextHeight(bool withSpacing) { return getTextHeight(m_text, withSpacing); }
    float getLaidOutHeight() const { return m_textHeight; }
    long getTextWidthArray(const char* text, long count, float* widths);
    long getCurrentTextWidthArray(long count, float* widths) {
        return getTextWidthArray(m_text, count, widths);
    }
    bool getCharacterPosInText(const char* text, long index, float& x1, float& y1, float& x2,
                               float& y2);
    bool getCharacterPosInCurrentText(long index, float& x1, float& y1, float& x2, float& y2) {
        return getCharacterPosInText(m_text, index, x1, y1, x2, y2);
    }

private:
    long layoutMode() const { return m_flow >= 1 && m_flow <= 4 ? m_flow : 0; }
    long encoding() const;
    void recomputeHeight();
    void releaseFont();
    void drawOnce(long dx, long dy);

    ZTextFace* m_face = nullptr;
    bool m_shader = false;
    float m_fontHeight = -1;
    long m_flow = 0;
    float m_kerning = 0;
    long m_vertAlign = 0;
    float m_spacing = 2.0f;
    float m_color[4] = {1, 1, 1, 1};
    float m_lightness = 1.0f;
    float m_outlineThickness = 0;
    float m_outlineColor[4] = {1, 1, 1, 1};
    float m_outlineLightness = 1.0f;
    char* m_text = nullptr;
    long m_capacity = 0;
    float m_textHeight = 0;
    char* m_fontName = nullptr;
    long m_loadedFontHeight = 0;
};
