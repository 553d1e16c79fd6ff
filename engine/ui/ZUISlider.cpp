#include "ZUISlider.h"

#include <algorithm>
#include <cmath>

#include "ZInput.h"
#include "ZUIButton.h"
#include "ZUIImage.h"
#include "ZWindow.h"

namespace {

bool validState(long state) {
    return state >= 0 && state < ZUISlider::kStates;
}

float clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

}  // namespace

ZUISlider::ZUISlider(ZUIElement* parent) : ZUIElement(parent) {
    addClass("ZUISlider");
    m_background = new ZUIImage(this);
    m_background->setBlend(1.0f);
    m_thumb = new ZUIButton(this);
    m_thumb->disableMessages(true);
    m_thumb->setBlend(1.0f);
    m_thumb->enableElementInput(false);
    // The slider takes the presses itself, and with them the pointer's capture while dragged.
    enableElementInput(true);
}

// The children are the slider's own: the tree deletes them with it.
ZUISlider::~ZUISlider() = default;

ZUISlider* ZUISlider::isSlider(ZUIElement* e) {
    return e && e->isOfClass("ZUISlider") ? static_cast<ZUISlider*>(e) : nullptr;
}

float ZUISlider::getButtonWidth() const {
    return m_thumb->getWidth();
}
float ZUISlider::getButtonHeight() const {
    return m_thumb->getHeight();
}

void ZUISlider::getRcDraw(float& x1, float& y1, float& x2, float& y2) const {
    if (m_activeRect) {
        x1 = std::max(0.0f, m_ax1);
        y1 = std::max(0.0f, m_ay1);
        x2 = std::min(getWidth(), m_ax2);
        y2 = std::min(getHeight(), m_ay2);
    } else {
        x1 = y1 = 0;
        x2 = getWidth();
        y2 = getHeight();
    }
}

void ZUISlider::placeThumb() {
    float l, t, r, b;
    getRcDraw(l, t, r, b);
    if (vertical())
        m_thumb->setPosition(l, std::floor((b - t - getButtonHeight()) * m_value + t));
    else
        m_thumb->setPosition(std::floor((r - l - getButtonWidth()) * m_value + l), t);
}

void ZUISlider::setSliderType(long type) {
    if (type == m_type) return;
    m_type = type;
    placeThumb();
}

void ZUISlider::setActiveRect(bool enable, float x1, float y1, float x2, float y2) {
    m_activeRect = enable;
    m_ax1 = x1;
    m_ay1 = y1;
    m_ax2 = x2;
    m_ay2 = y2;
    placeThumb();
}

void ZUISlider::setValue(float value) {
    value = clamp01(value);
    bool changed = value != m_value;
    m_value = value;
    placeThumb();
    if (!changed) return;
    m_valueChanged = true;
    onValueChanged();
    if (isDestroyed(this)) return;
    sendMessage(kMsgValueChanged, 0, 0, 0, 0, nullptr, nullptr);
}

void ZUISlider::setScrollbar(float ratio) {
    ratio = clamp01(ratio);
    if (ratio == m_ratio) return;
    m_ratio = ratio;
    updateButtonSize(getState());
}

bool ZUISlider::hasValueChanged() {
    bool v = m_valueChanged;
    m_valueChanged = false;
    return v;
}

bool ZUISlider::isFirstDown() {
    bool v = m_firstDown;
    m_firstDown = false;
    return v;
}

void ZUISlider::updateButtonSize(long state) {
    float w = 0, h = 0;
    for (const ThumbLook& l : m_thumbLooks) {
        w = std::max(w, l.x2 - l.x1);
        h = std::max(h, l.y2 - l.y1);
    }
    if (m_ratio > 0 && validState(state)) {
        const ThumbLook& s = m_thumbLooks[state];
        float l, t, r, b;
        getRcDraw(l, t, r, b);
        if (vertical() && s.stretchY) {
            h = std::max(h, b * m_ratio);
            if (s.stretchX) w = r - l;
        } else if (!vertical() && s.stretchX) {
            w = getWidth() * m_ratio;
            if (s.stretchY) h = b - t;
        }
    }
    m_thumb->setSize(w, h);
    placeThumb();
}

// ---- Looks ----

void ZUISlider::applyBackground(long state) {
    if (!validState(state)) return;
    const BackgroundLook& l = m_backgroundLooks[state];
    m_background->setGraphic(l.graphic, l.x1, l.y1, l.x2, l.y2, nullptr, -1, -1);
    if (m_backgroundColorsSet) {
        m_background->setColor(l.color[0], l.color[1], l.color[2], l.color[3]);
        m_background->setLightness(l.lightness);
    }
    m_background->setFrameStretching(0, l.stretchX, l.left, l.right, l.stretchY, l.top, l.bottom,
                                     false);
    m_background->setPosition(l.offsetX, l.offsetY);
}

void ZUISlider::setBackgroundGraphic(long state, ZGraphic* g, float x1, float y1, float x2,
                                     float y2) {
    if (!validState(state)) return;
    BackgroundLook& l = m_backgroundLooks[state];
    l.graphic = g;
    l.x1 = x1;
    l.y1 = y1;
    l.x2 = x2;
    l.y2 = y2;
    if (state == getState()) applyBackground(state);
}

void ZUISlider::setBackgroundColor(long state, float r, float g, float b, float a) {
    if (!validState(state)) return;
    float* c = m_backgroundLooks[state].color;
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
    m_backgroundColorsSet = true;
    if (state == getState()) m_background->setColor(r, g, b, a);
}

void ZUISlider::setBackgroundLightness(long state, float lightness) {
    if (!validState(state)) return;
    m_backgroundLooks[state].lightness = lightness;
    m_backgroundColorsSet = true;
    if (state == getState()) m_background->setLightness(lightness);
}

void ZUISlider::setBackgroundStretching(long state, bool stretchX, float left, float right,
                                        bool stretchY, float top, float bottom) {
    if (!validState(state)) return;
    BackgroundLook& l = m_backgroundLooks[state];
    l.stretchX = stretchX;
    l.left = left;
    l.right = right;
    l.stretchY = stretchY;
    l.top = top;
    l.bottom = bottom;
    if (state == getState()) applyBackground(state);
}

void ZUISlider::setBackgroundOffset(long state, float x, float y) {
    if (!validState(state)) return;
    m_backgroundLooks[state].offsetX = x;
    m_backgroundLooks[state].offsetY = y;
    if (state == getState()) m_background->setPosition(x, y);
}

void ZUISlider::setButtonGraphic(long state, ZGraphic* g, float x1, float y1, float x2, float y2) {
    if (!validState(state)) return;
    ThumbLook& l = m_thumbLooks[state];
    l.x1 = x1;
    l.y1 = y1;
    l.x2 = x2;
    l.y2 = y2;
    m_thumb->setBackgroundGraphic(state, g, x1, y1, x2, y2, nullptr);
}

void ZUISlider::setButtonColor(long state, float r, float g, float b, float a) {
    m_thumb->setBackgroundColor(state, r, g, b, a);
}

void ZUISlider::setButtonLightness(long state, float lightness) {
    m_thumb->setBackgroundLightness(state, lightness);
}

void ZUISlider::setButtonStretching(long state, bool stretchX, float left, float right,
                                    bool stretchY, float top, float bottom) {
    if (!validState(state)) return;
    m_thumbLooks[state].stretchX = stretchX;
    m_thumbLooks[state].stretchY = stretchY;
    m_thumb->setBackgroundStretching(state, stretchX, left, right, stretchY, top, bottom);
}

void ZUISlider::setState(ZUIElementState state) {
    applyBackground(state);
    if (state == ZUIElementStateDisabled || state == ZUIElementStateNormal || m_overThumb)
        m_thumb->setState(state);
    ZUIElement::setState(state);
}

void ZUISlider::setLayer(long layer) {
    m_background->setLayer(layer);
    m_thumb->setLayer(layer);
    ZUIElement::setLayer(layer);
}

void ZUISlider::setSize(float width, float height) {
    m_background->setSize(width, height);
    ZUIElement::setSize(width, height);
}

// ---- Input ----

float ZUISlider::dragValue(float px, float py) const {
    float l, t, r, b;
    getRcDraw(l, t, r, b);
    // A thumb that fills the track leaves nothing to slide along.
    float span = vertical() ? b - t - getButtonHeight() : r - l - getButtonWidth();
    if (span <= 0) return 0;
    return vertical() ? (py - getButtonHeight() / 2 - t) / span
                      : (px - getButtonWidth() / 2 - l) / span;
}

bool ZUISlider::beyondThumb(float px, float py) const {
    return vertical() ? py >= m_thumb->getPositionY() : px >= m_thumb->getPositionX();
}

void ZUISlider::page(float px, float py) {
    long steps = static_cast<long>(1 / m_ratio) - 1;
    // A thumb of more than half the track leaves one step: from one end to the other.
    if (steps < 1) steps = 1;
    long k = static_cast<long>(m_value * steps);
    bool forward = beyondThumb(px, py);
    k += forward ? 1 : -1;
    k = std::max(0L, std::min(steps, k));
    setValue(static_cast<float>(k) / steps);
    m_repeatDirection = forward ? 1 : -1;
}

bool ZUISlider::handleEvent(ZEvent* event) {
    int64_t type = event->type;
    int phase = -1;  // 0 begin, 1 move, 2 end
    float px, py, margin = 0;
    if (type == kZEventTouch) {
        phase = static_cast<int>(event->touchPhase);
        if (phase < 0 || phase > 2) return false;
        px = static_cast<float>(event->touchX);
        py = static_cast<float>(event->touchY);
        margin = getTouchMargin();
    } else {
        if (type == kZEventMouseDown && event->button == 1)
            phase = 0;
        else if (type == kZEventMouseUp && event->button == 1)
            phase = 2;
        else if (type == kZEventMouseMove)
            phase = 1;
        else
            return false;
        px = static_cast<float>(event->x);
        py = static_cast<float>(event->y);
    }
    float tx = m_thumb->getPositionX(), ty = m_thumb->getPositionY();
    m_overThumb = tx - margin <= px && px < tx + getButtonWidth() + margin && ty - margin <= py &&
                  py < ty + getButtonHeight() + margin;
    if (m_overThumb) {
        if (m_repeatCountdown == 0)
            m_thumb->setState(m_dragging ? ZUIElementStateDown : ZUIElementStateHovered);
    } else if (m_thumb->getState() > ZUIElementStateNormal) {
        m_thumb->setState(ZUIElementStateNormal);
    }
    float l, t, r, b;
    getRcDraw(l, t, r, b);
    bool inside = l <= px && px < r && t <= py && py < b;
    if (phase == 0 && inside) {
        onDown();
        if (isDestroyed(this)) return true;
        sendMessage(kMsgDown, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return true;
    }
    if (phase == 0 || phase == 1) {
        if (m_ratio == 0 || m_overThumb || m_dragging) {
            if (phase == 0 || m_dragging || m_ratio == 0) {
                // A plain slider follows a move only while dragged.
                if (phase == 1 && !m_dragging) return false;
                setValue(dragValue(px, py));
                if (isDestroyed(this)) return true;
                m_dragging = true;
                m_repeatDirection = 0;
                m_repeatCountdown = 0;
                m_thumb->setState(!vertical() && !inside ? ZUIElementStateNormal
                                                         : ZUIElementStateDown);
            }
        } else if (phase == 0 && inside) {
            page(px, py);
            if (isDestroyed(this)) return true;
            m_repeatCountdown = kRepeatDelay;
            m_dragging = false;
        }
    } else if (phase == 2) {
        m_dragging = false;
        m_repeatDirection = 0;
        m_repeatCountdown = 0;
        m_thumb->setState(ZUIElementStateNormal);
    }
    return false;
}

void ZUISlider::handleMouseCaptureLoss() {
    m_thumb->setState(ZUIElementStateNormal);
    m_dragging = false;
    m_repeatDirection = 0;
    m_repeatCountdown = 0;
}

void ZUISlider::move() {
    if (m_repeatCountdown <= 0) return;
    ZWindow* w = getZWindow();
    m_repeatCountdown -= w ? w->getFrameTime() : 0;
    if (m_repeatCountdown > 0 || m_repeatCountdown < -1000) return;
    m_repeatCountdown = 0;
    float mx = static_cast<float>(ZInput::getMouseX()),
          my = static_cast<float>(ZInput::getMouseY());
    float x = mx, y = my;
    if (pickElement(getRootElement(), x, y, false) != this) return;
    float lx, ly;
    // The pointer in the slider's own space.
    const ZMatrix& m = getAbsMatrix();
    ZMatrix inv = m.inverse();
    ZVector2 p = inv.transform2(ZVector2{mx, -my});
    lx = p.x;
    ly = -p.y;
    bool forward = beyondThumb(lx, ly);
    if ((m_repeatDirection > 0) != forward || m_repeatDirection == 0) return;
    page(lx, ly);
    m_repeatCountdown = kRepeatInterval;
}

void ZUISlider::copyFromTemplate(ZUIElement* tmpl) {
    ZUISlider* t = isSlider(tmpl);
    if (t && t != this) {
        m_type = t->m_type;
        m_activeRect = t->m_activeRect;
        m_ax1 = t->m_ax1;
        m_ay1 = t->m_ay1;
        m_ax2 = t->m_ax2;
        m_ay2 = t->m_ay2;
        m_value = t->m_value;
        m_ratio = t->m_ratio;
        m_backgroundColorsSet = t->m_backgroundColorsSet;
        for (long i = 0; i < kStates; i++) {
            m_backgroundLooks[i] = t->m_backgroundLooks[i];
            m_thumbLooks[i] = t->m_thumbLooks[i];
        }
        m_thumb->copyFromTemplate(t->m_thumb);
    }
    ZUIElement::copyFromTemplate(tmpl);
    if (t && t != this) {
        applyBackground(getState());
        updateButtonSize(getState());
    }
}
