#pragma once

#include "ZUIElement.h"

class ZTextFace;
class ZUIImage;
class ZUIText;

// A push button: a background image, a caption image and a caption text as its children, a
// look for each element state, and click, double-click and first-down reports.
class ZUIButton : public ZUIElement {
public:
    static constexpr long kStates = 5;
    static constexpr long kMsgClick = zuiMessageCode('z', 'b', 't', 1);
    static constexpr long kMsgDoubleClick = zuiMessageCode('z', 'b', 't', 2);
    static constexpr long kMsgFirstDown = zuiMessageCode('z', 'b', 't', 3);

    explicit ZUIButton(ZUIElement* parent);
    ~ZUIButton() override;

    static ZUIButton* isButton(ZUIElement* e);

    void copyFromTemplate(ZUIElement* t) override;
    void setState(ZUIElementState state) override;
    void setLayer(long layer) override;
    void setSize(float width, float height) override;
    bool onHit(float x, float y) override;
    bool handleEvent(ZEvent* event) override;
    void move() override;
    void blit(float, ZMatrix*) override {}
    virtual void onClick() { callScript("onClick"); }
    virtual void onDoubleClick() { callScript("onDoubleClick"); }
    virtual void onFirstDown() { callScript("onFirstDown"); }

    ZUIImage* getBackgroundImage() const { return m_background; }
    ZUIText* getCaptionText() const { return m_captionText; }
    ZUIImage* getCaptionImage() const { return m_captionImage; }
    void captureBackgroundImage(bool capture) { m_captureBackground = capture; }
    void captureCaptionImage(bool capture) { m_captureCaptionImage = capture; }
    void captureCaptionText(bool capture) { m_captureCaptionText = capture; }

    void setBackgroundGraphic(long state, ZGraphic* g, float x1, float y1, float x2, float y2,
                              const unsigned char* hitMask);
    void setBackgroundColor(long state, float r, float g, float b, float a);
    void setBackgroundLightness(long state, float lightness);
    void setBackgroundStretching(long state, bool stretchX, float left, float right, bool stretchY,
                                 float top, float bottom);
    void setBackgroundOffset(long state, float x, float y);
    void setBackgroundCenter(long state, float x, float y);
    void setBackgroundScale(long state, float scale);
    void setCaptionGraphic(long state, ZGraphic* g, float x1, float y1, float x2, float y2);
    void setCaptionGraphicColor(long state, float r, float g, float b, float a);
    void setCaptionGraphicLightness(long state, float lightness);
    void setCaptionOffset(long state, float x, float y);
    void setCaptionScale(long state, float scale);
    void setCaptionGraphicZAngle(float angle);

    void setText(const char* text);
    void setTextFont(ZTextFace* face, float height);
    void setTextFlow(long mode);
    void setTextKerning(float kerning);
    void setTextVertAlignMode(long mode);
    void setTextVertSpacing(float spacing);
    void setTextColor(float r, float g, float b, float a);
    void setTextOutlineThickness(float t);
    void setTextOutlineColor(float r, float g, float b, float a);

    bool isDown() const { return getState() == ZUIElementStateDown; }
    bool isClicked();
    void click();
    float getBackgroundScale() const { return m_backgroundScale; }
    float getCaptionScale() const { return m_captionScale; }

private:
    struct BackgroundLook {
        ZGraphic* graphic = nullptr;
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        const unsigned char* hitMask = nullptr;
        float color[4] = {1, 1, 1, 1};
        float lightness = 1;
        bool stretchX = false;
        float left = 0, right = 0;
        bool stretchY = false;
        float top = 0, bottom = 0;
        float offsetX = 0, offsetY = 0;
        float centerX = 0, centerY = 0;
        float scale = 1;
    };
    struct CaptionLook {
        ZGraphic* graphic = nullptr;
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        float color[4] = {1, 1, 1, 1};
        float lightness = 1;
        float offsetX = 0, offsetY = 0;
        float scale = 1;
    };

    bool isCurrent(long state) const { return state == getState(); }
    void applyBackground(long state);
    void applyCaptionImage(long state);
    void placeCaptionText(long state);
    static float approach(float value, float target, float step);

    ZUIImage* m_background;
    ZUIText* m_captionText;
    ZUIImage* m_captionImage;
    bool m_captureBackground = false;
    bool m_captureCaptionImage = false;
    bool m_captureCaptionText = false;
    float m_backgroundScale = 1;
    float m_captionScale = 1;
    bool m_clicked = false;
    bool m_backgroundColorsSet = false;
    bool m_captionColorsSet = false;
    BackgroundLook m_backgroundLooks[kStates];
    CaptionLook m_captionLooks[kStates];
};
