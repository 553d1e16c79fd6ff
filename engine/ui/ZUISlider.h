#pragma once

#include "ZUIElement.h"

class ZUIButton;
class ZUIImage;

enum ZUISliderType : int32_t {
    ZUISliderHorizontal = 0,
    ZUISliderVertical = 1,
};

// A slider or scroll bar: a background image and a thumb button dragged along it, or paged
// step by step with auto-repeat in scroll-bar mode. The value runs from 0 to 1.
class ZUISlider : public ZUIElement {
public:
    static constexpr long kStates = 5;
    static constexpr long kMsgValueChanged = zuiMessageCode('z', 's', 'l', 1);
    static constexpr long kMsgDown = zuiMessageCode('z', 's', 'l', 2);
    static constexpr double kRepeatDelay = 500;
    static constexpr double kRepeatInterval = 125;

    explicit ZUISlider(ZUIElement* parent);
    ~ZUISlider() override;

    static ZUISlider* isSlider(ZUIElement* e);

    void copyFromTemplate(ZUIElement* t) override;
    void setState(ZUIElementState state) override;
    void setLayer(long layer) override;
    void setSize(float width, float height) override;
    bool handleEvent(ZEvent* event) override;
    void handleMouseCaptureLoss() override;
    void move() override;
    void blit(float, ZMatrix*) override {}
    virtual void onValueChanged() { callScript("onValueChanged"); }
    virtual void onFirstDown() { callScript("onFirstDown"); }

    void setSliderType(long type);
    long getSliderType() const { return m_type; }
    void setActiveRect(bool enable, float x1, float y1, float x2, float y2);
    void setValue(float value);
    float getValue() const { return m_value; }
    void setScrollbar(float ratio);
    float getScrollbar() const { return m_ratio; }
    void setBackgroundGraphic(long state, ZGraphic* g, float x1, float y1, float x2, float y2);
    void setBackgroundColor(long state, float r, float g, float b, float a);
    void setBackgroundLightness(long state, float lightness);
    void setBackgroundStretching(long state, bool stretchX, float left, float right, bool stretchY,
                                 float top, float bottom);
    void setBackgroundOffset(long state, float x, float y);
    void setButtonGraphic(long state, ZGraphic* g, float x1, float y1, float x2, float y2);
    void setButtonColor(long state, float r, float g, float b, float a);
    void setButtonLightness(long state, float lightness);
    void setButtonStretching(long state, bool stretchX, float left, float right, bool stretchY,
                             float top, float bottom);
    void updateButtonSize(long state);
    ZUIButton* getSliderButton() const { return m_thumb; }
    ZUIImage* getBackgroundImage() const { return m_background; }
    float getButtonWidth() const;
    float getButtonHeight() const;
    void getRcDraw(float& x1, float& y1, float& x2, float& y2) const;
    bool hasValueChanged();
    bool isFirstDown();

private:
    struct BackgroundLook {
        ZGraphic* graphic = nullptr;
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        float color[4] = {1, 1, 1, 1};
        float lightness = 1;
        bool stretchX = false;
        float left = 0, right = 0;
        bool stretchY = false;
        float top = 0, bottom = 0;
        float offsetX = 0, offsetY = 0;
    };
    struct ThumbLook {
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        bool stretchX = false, stretchY = false;
    };

    bool vertical() const { return m_type == ZUISliderVertical; }
    void placeThumb();
    void applyBackground(long state);
    // The value of a drag to the point; the track less the thumb may be empty.
    float dragValue(float px, float py) const;
    void page(float px, float py);
    bool beyondThumb(float px, float py) const;

    ZUIImage* m_background;
    ZUIButton* m_thumb;
    long m_type = 0;
    float m_value = 0;
    bool m_valueChanged = false;
    bool m_firstDown = false;
    bool m_overThumb = false;
    bool m_dragging = false;
    long m_repeatDirection = 0;
    double m_repeatCountdown = 0;
    bool m_activeRect = false;
    float m_ax1 = 0, m_ay1 = 0, m_ax2 = 0, m_ay2 = 0;
    float m_ratio = 0;
    bool m_backgroundColorsSet = false;
    BackgroundLook m_backgroundLooks[kStates];
    ThumbLook m_thumbLooks[kStates];
};
