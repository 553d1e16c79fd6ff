#include "ZUIButton.h"

#include <cmath>

#include "ZUIImage.h"
#include "ZUIText.h"
#include "ZWindow.h"

namespace {

bool validState(long state) {
    return state >= 0 && state < ZUIButton::kStates;
}

void prepareChild(ZUIElement* child, float w, float h) {
    child->disableMessages(true);
    child->setPosition(0, 0);
    child->setSize(w, h);
    child->setBlend(1.0f);
}

}  // namespace

ZUIButton::ZUIButton(ZUIElement* parent) : ZUIElement(parent) {
    addClass("ZUIButton");
    m_background = new ZUIImage(this);
    m_captionText = new ZUIText(this);
    m_captionImage = new ZUIImage(this);
    prepareChild(m_background, getWidth(), getHeight());
    prepareChild(m_captionText, getWidth(), getHeight());
    prepareChild(m_captionImage, getWidth(), getHeight());
    m_captionText->setTextFlow(ZUITextFlowCentered);
    m_captionText->setTextVertAlignMode(ZUIVertAlignCenter);
    m_captionLooks[ZUIElementStateDown].offsetX = 1;
    m_captionLooks[ZUIElementStateDown].offsetY = 1;
    enableElementInput(true);
}

// The children are the button's own: the tree deletes them with it.
ZUIButton::~ZUIButton() = default;

ZUIButton* ZUIButton::isButton(ZUIElement* e) {
    return e && e->isOfClass("ZUIButton") ? static_cast<ZUIButton*>(e) : nullptr;
}

// ---- Looks ----

void ZUIButton::applyBackground(long state) {
    if (m_captureBackground || !validState(state)) return;
    const BackgroundLook& l = m_backgroundLooks[state];
    m_background->setGraphic(l.graphic, l.x1, l.y1, l.x2, l.y2, l.hitMask, -1, -1);
    if (m_backgroundColorsSet) {
        m_background->setColor(l.color[0], l.color[1], l.color[2], l.color[3]);
        m_background->setLightness(l.lightness);
    }
    m_background->setFrameStretching(0, l.stretchX, l.left, l.right, l.stretchY, l.top, l.bottom,
                                     false);
    m_background->setPosition(l.offsetX, l.offsetY);
    float s = m_backgroundScale != 0 ? m_backgroundScale : 1;
    m_background->setCenter(l.centerX / s, l.centerY / s);
}

void ZUIButton::applyCaptionImage(long state) {
    if (m_captureCaptionImage || !validState(state)) return;
    const CaptionLook& l = m_captionLooks[state];
    m_captionImage->setGraphic(l.graphic, l.x1, l.y1, l.x2, l.y2, nullptr, -1, -1);
    m_captionImage->setSize(l.x2 - l.x1, l.y2 - l.y1);
    if (m_captionColorsSet) {
        m_captionImage->setColor(l.color[0], l.color[1], l.color[2], l.color[3]);
        m_captionImage->setLightness(l.lightness);
    }
    m_captionImage->setPosition(std::floor((getWidth() - (l.x2 - l.x1)) * 0.5f) + l.offsetX,
                                std::floor((getHeight() - (l.y2 - l.y1)) * 0.5f) + l.offsetY);
}

void ZUIButton::placeCaptionText(long state) {
    if (m_captureCaptionText || !validState(state)) return;
    const CaptionLook& l = m_captionLooks[state];
    float c = m_captionScale != 0 ? m_captionScale : 1;
    float w = getWidth(), h = getHeight();
    m_captionText->setPosition(w / 2 - (w / 2) / c + l.offsetX, h / 2 - (h / 2) / c + l.offsetY);
}

void ZUIButton::setState(ZUIElementState state) {
    applyBackground(state);
    applyCaptionImage(state);
    placeCaptionText(state);
    ZUIElement::setState(state);
}

void ZUIButton::setBackgroundGraphic(long state, ZGraphic* g, float x1, float y1, float x2,
                                     float y2, const unsigned char* hitMask) {
    if (!validState(state)) return;
    BackgroundLook& l = m_backgroundLooks[state];
    l.graphic = g;
    l.x1 = x1;
    l.y1 = y1;
    l.x2 = x2;
    l.y2 = y2;
    l.hitMask = hitMask;
    if (isCurrent(state) && !m_captureBackground)
        m_background->setGraphic(g, x1, y1, x2, y2, hitMask, -1, -1);
}

void ZUIButton::setBackgroundColor(long state, float r, float g, float b, float a) {
    if (!validState(state)) return;
    float* c = m_backgroundLooks[state].color;
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
    m_backgroundColorsSet = true;
    if (isCurrent(state) && !m_captureBackground) m_background->setColor(r, g, b, a);
}

void ZUIButton::setBackgroundLightness(long state, float lightness) {
    if (!validState(state)) return;
    m_backgroundLooks[state].lightness = lightness;
    m_backgroundColorsSet = true;
    if (isCurrent(state) && !m_captureBackground) m_background->setLightness(lightness);
}

void ZUIButton::setBackgroundStretching(long state, bool stretchX, float left, float right,
                                        bool stretchY, float top, float bottom) {
    if (!validState(state)) return;
    BackgroundLook& l = m_backgroundLooks[state];
    l.stretchX = stretchX;
    l.left = left;
    l.right = right;
    l.stretchY = stretchY;
    l.top = top;
    l.bottom = bottom;
    if (isCurrent(state) && !m_captureBackground)
        m_background->setStretching(stretchX, left, right, stretchY, top, bottom);
}

void ZUIButton::setBackgroundOffset(long state, float x, float y) {
    if (!validState(state)) return;
    m_backgroundLooks[state].offsetX = x;
    m_backgroundLooks[state].offsetY = y;
    if (isCurrent(state) && !m_captureBackground) m_background->setPosition(x, y);
}

void ZUIButton::setBackgroundCenter(long state, float x, float y) {
    if (!validState(state)) return;
    m_backgroundLooks[state].centerX = x;
    m_backgroundLooks[state].centerY = y;
    float s = m_backgroundScale != 0 ? m_backgroundScale : 1;
    if (isCurrent(state) && !m_captureBackground) m_background->setCenter(x / s, y / s);
}

void ZUIButton::setBackgroundScale(long state, float scale) {
    if (!validState(state)) return;
    m_backgroundLooks[state].scale = scale;
    m_backgroundScale = m_backgroundLooks[getState()].scale;
    if (!m_captureBackground) m_background->setScale(m_backgroundScale);
}

void ZUIButton::setCaptionGraphic(long state, ZGraphic* g, float x1, float y1, float x2, float y2) {
    if (!validState(state)) return;
    CaptionLook& l = m_captionLooks[state];
    l.graphic = g;
    l.x1 = x1;
    l.y1 = y1;
    l.x2 = x2;
    l.y2 = y2;
    if (isCurrent(state)) applyCaptionImage(state);
}

void ZUIButton::setCaptionGraphicColor(long state, float r, float g, float b, float a) {
    if (!validState(state)) return;
    float* c = m_captionLooks[state].color;
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
    m_captionColorsSet = true;
    if (isCurrent(state) && !m_captureCaptionImage) m_captionImage->setColor(r, g, b, a);
}

void ZUIButton::setCaptionGraphicLightness(long state, float lightness) {
    if (!validState(state)) return;
    m_captionLooks[state].lightness = lightness;
    m_captionColorsSet = true;
    if (isCurrent(state) && !m_captureCaptionImage) m_captionImage->setLightness(lightness);
}

void ZUIButton::setCaptionOffset(long state, float x, float y) {
    if (!validState(state)) return;
    m_captionLooks[state].offsetX = x;
    m_captionLooks[state].offsetY = y;
    if (!isCurrent(state)) return;
    applyCaptionImage(state);
    placeCaptionText(state);
}

void ZUIButton::setCaptionScale(long state, float scale) {
    if (!validState(state)) return;
    m_captionLooks[state].scale = scale;
    m_captionScale = m_captionLooks[getState()].scale;
    if (!m_captureCaptionText) {
        m_captionText->setScale(m_captionScale);
        placeCaptionText(getState());
    }
    if (!m_captureCaptionImage) m_captionImage->setScale(m_captionScale);
}

void ZUIButton::setCaptionGraphicZAngle(float angle) {
    m_captionImage->setZAngle(angle);
}

// ---- Caption text ----

void ZUIButton::setText(const char* text) {
    m_captionText->setText(text);
}
void ZUIButton::setTextFont(ZTextFace* face, float height) {
    m_captionText->setTextFont(face, height);
}
void ZUIButton::setTextFlow(long mode) {
    m_captionText->setTextFlow(mode);
}
void ZUIButton::setTextKerning(float kerning) {
    m_captionText->setTextKerning(kerning);
}
void ZUIButton::setTextVertAlignMode(long mode) {
    m_captionText->setTextVertAlignMode(mode);
}
void ZUIButton::setTextVertSpacing(float spacing) {
    m_captionText->setTextVertSpacing(spacing);
}
void ZUIButton::setTextColor(float r, float g, float b, float a) {
    m_captionText->setTextColor(r, g, b, a);
}
void ZUIButton::setTextOutlineThickness(float t) {
    m_captionText->setTextOutlineThickness(t);
}
void ZUIButton::setTextOutlineColor(float r, float g, float b, float a) {
    m_captionText->setTextOutlineColor(r, g, b, a);
}

// ---- Element behaviour ----

void ZUIButton::setLayer(long layer) {
    m_background->setLayer(layer);
    m_captionText->setLayer(layer);
    m_captionImage->setLayer(layer);
    ZUIElement::setLayer(layer);
}

void ZUIButton::setSize(float width, float height) {
    m_background->setSize(width, height);
    m_captionText->setSize(width, height);
    m_captionImage->setSize(width, height);
    ZUIElement::setSize(width, height);
}

bool ZUIButton::onHit(float x, float y) {
    return ZUIElement::onHit(x, y) && m_background->checkMask(x, y);
}

bool ZUIButton::isClicked() {
    bool clicked = m_clicked;
    m_clicked = false;
    return clicked;
}

void ZUIButton::click() {
    m_clicked = true;
    onClick();
    sendMessage(kMsgClick, 0, 0, 0, 0, nullptr, nullptr);
}

bool ZUIButton::handleEvent(ZEvent* event) {
    int64_t type = event->type;
    bool touch = type == kZEventTouch;
    if ((type == kZEventMouseDown && event->button == 1) || (touch && event->touchPhase == 0)) {
        onFirstDown();
        if (isDestroyed(this)) return true;
        sendMessage(kMsgFirstDown, 0, 0, 0, 0, nullptr, nullptr);
    } else if (isDown() && ((type == kZEventMouseUp && event->button == 1) ||
                            (touch && event->touchPhase == 2))) {
        click();
    } else if (type == kZEventDoubleClick || type == kZEventDoubleTap) {
        onDoubleClick();
        if (isDestroyed(this)) return true;
        sendMessage(kMsgDoubleClick, 0, 0, 0, 0, nullptr, nullptr);
    }
    // The element's own handling (states, capture) follows.
    return isDestroyed(this);
}

float ZUIButton::approach(float value, float target, float step) {
    if (std::fabs(target - value) <= step) return target;
    return value < target ? value + step : value - step;
}

void ZUIButton::move() {
    long s = getState();
    if (!validState(s)) return;
    ZWindow* w = getZWindow();
    float step = static_cast<float>((w ? w->getFrameTime() : 0) * 0.0006);
    float width = getWidth(), height = getHeight();
    m_backgroundScale = approach(m_backgroundScale, m_backgroundLooks[s].scale, step);
    if (!m_captureBackground) {
        float b = m_backgroundScale != 0 ? m_backgroundScale : 1;
        m_background->setScale(m_backgroundScale);
        m_background->setSize(width / b, height / b);
        m_background->setCenter(m_backgroundLooks[s].centerX / b, m_backgroundLooks[s].centerY / b);
    }
    m_captionScale = approach(m_captionScale, m_captionLooks[s].scale, step);
    float c = m_captionScale != 0 ? m_captionScale : 1;
    if (!m_captureCaptionText) {
        placeCaptionText(s);
        m_captionText->setSize(width / c - m_captionLooks[s].offsetX,
                               height / c - m_captionLooks[s].offsetY);
        m_captionText->setScale(m_captionScale);
    }
    if (!m_captureCaptionImage) m_captionImage->setScale(m_captionScale);
}

void ZUIButton::copyFromTemplate(ZUIElement* tmpl) {
    ZUIButton* t = isButton(tmpl);
    if (t && t != this) {
        m_captureBackground = t->m_captureBackground;
        m_captureCaptionImage = t->m_captureCaptionImage;
        m_captureCaptionText = t->m_captureCaptionText;
        for (long i = 0; i < kStates; i++) {
            m_backgroundLooks[i] = t->m_backgroundLooks[i];
            m_captionLooks[i] = t->m_captionLooks[i];
        }
        m_backgroundColorsSet = t->m_backgroundColorsSet;
        m_captionColorsSet = t->m_captionColorsSet;
    }
    ZUIElement::copyFromTemplate(tmpl);
    if (t && t != this) {
        applyBackground(getState());
        applyCaptionImage(getState());
        placeCaptionText(getState());
    }
}
