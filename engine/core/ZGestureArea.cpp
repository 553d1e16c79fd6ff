#include "ZGestureArea.h"

#include <cmath>

#include "ZGestureRecognizer.h"

namespace {

ZList<ZGestureArea>& areas() {
    static ZList<ZGestureArea> list;
    return list;
}

// A scale at or below a millionth (a zero set by the caller included) divides as a millionth,
// so that no camera position becomes infinite.
const float kSmallestDivisorScale = 1e-6f;

float divisor(float scale) {
    return scale > kSmallestDivisorScale ? scale : kSmallestDivisorScale;
}

// Steps of the easing back, per flip.
const float kEaseFraction = 0.2f;
const float kScaleSnap = 0.05f;

}  // namespace

ZGestureArea::ZGestureArea(float documentWidth, float documentHeight, const ZRectangle& viewport,
                           float minScale, float hardMinScale, float maxScale, float hardMaxScale)
    : m_documentWidth(documentWidth),
      m_documentHeight(documentHeight),
      m_viewport(viewport),
      m_minScale(minScale),
      m_hardMinScale(hardMinScale),
      m_maxScale(maxScale),
      m_hardMaxScale(hardMaxScale) {
    areas().addToTail(this);
}

ZGestureArea::~ZGestureArea() {
    areas().remove(this);
}

void ZGestureArea::setDocumentSize(float width, float height) {
    m_documentWidth = width;
    m_documentHeight = height;
}

void ZGestureArea::setLimits(float minScale, float hardMinScale, float maxScale,
                             float hardMaxScale) {
    m_minScale = minScale;
    m_hardMinScale = hardMinScale;
    m_maxScale = maxScale;
    m_hardMaxScale = hardMaxScale;
}

void ZGestureArea::enableArea(bool enable) {
    if (m_enabled && !enable) m_panning = m_zooming = false;
    m_enabled = enable;
}

ZVector2 ZGestureArea::getCamera() const {
    float s = divisor(m_scale);
    return ZVector2{m_cameraX - m_viewport.x1 / s, m_cameraY - m_viewport.y1 / s};
}

void ZGestureArea::setCamera(ZVector2 camera) {
    m_cameraX = camera.x + m_viewport.x1;
    m_cameraY = camera.y + m_viewport.y1;
}

ZMatrix ZGestureArea::getMatrix() const {
    float hw = m_viewport.width() / 2, hh = m_viewport.height() / 2;
    ZVector2 c = getCamera();
    ZMatrix toCentre, scale, back;
    toCentre.translation(-(c.x + hw), c.y + hh, 0);
    scale.scaling(m_scale, m_scale, 1);
    back.translation(hw, -hh, 0);
    return toCentre * scale * back;
}

float ZGestureArea::lowestCameraX(float scale) const {
    float hw = m_viewport.width() / 2;
    return hw / divisor(scale) - hw;
}

float ZGestureArea::highestCameraX(float scale) const {
    float hw = m_viewport.width() / 2;
    return m_documentWidth - hw - hw / divisor(scale);
}

float ZGestureArea::lowestCameraY(float scale) const {
    float hh = m_viewport.height() / 2;
    return hh / divisor(scale) - hh;
}

float ZGestureArea::highestCameraY(float scale) const {
    float hh = m_viewport.height() / 2;
    return m_documentHeight - hh - hh / divisor(scale);
}

// The lower bound first: a document smaller than the view keeps the camera at the upper one.
void ZGestureArea::clampCamera(float scale, float& x, float& y) const {
    x = std::fmax(x, lowestCameraX(scale));
    x = std::fmin(x, highestCameraX(scale));
    y = std::fmax(y, lowestCameraY(scale));
    y = std::fmin(y, highestCameraY(scale));
}

bool ZGestureArea::inViewport(float x, float y) const {
    return x >= m_viewport.x1 && x < m_viewport.x2 && y >= m_viewport.y1 && y < m_viewport.y2;
}

void ZGestureArea::snapToPosition() {
    m_scale = std::fmin(std::fmax(m_scale, m_minScale), m_maxScale);
    clampCamera(m_scale, m_cameraX, m_cameraY);
    m_cameraX = std::floor(m_cameraX);
    m_cameraY = std::floor(m_cameraY);
}

void ZGestureArea::updateArea(long elapsedMs) {
    if (m_panning || m_zooming || elapsedMs < 1) return;

    float targetScale = std::fmin(std::fmax(m_scale, m_minScale), m_maxScale);
    if (std::fabs(targetScale - m_scale) > kScaleSnap)
        m_scale += (targetScale - m_scale) * kEaseFraction;
    else
        m_scale = targetScale;

    float x = m_cameraX, y = m_cameraY;
    clampCamera(m_scale, x, y);
    x = std::floor(x);
    y = std::floor(y);
    float dx = x - m_cameraX, dy = y - m_cameraY;
    if (dx * dx + dy * dy > 1.0f) {
        m_cameraX += dx * kEaseFraction;
        m_cameraY += dy * kEaseFraction;
    } else {
        m_cameraX = x;
        m_cameraY = y;
    }
}

// The part of a scale change that applies: all of it between the soft limits, a share that
// shrinks to nothing towards a hard limit (only with out-of-bounds movement), none beyond. Each
// share divides by the width of a range that the proposed scale lies inside, so equal limits
// never divide by zero.
float ZGestureArea::zoomChange(float change) const {
    float proposed = m_scale + change;
    if (!(proposed >= m_hardMinScale)) return 0;
    if (proposed < m_minScale) {
        if (!m_allowOutOfBounds) return 0;
        return change * (proposed - m_hardMinScale) / (m_minScale - m_hardMinScale);
    }
    if (proposed <= m_maxScale) return change;
    if (proposed <= m_hardMaxScale) {
        if (!m_allowOutOfBounds) return 0;
        return change * (1 - (proposed - m_maxScale) / (m_hardMaxScale - m_maxScale));
    }
    return 0;
}

// Keeps the document point under the centre in place. A screen point q shows the document point
// (q - viewport top-left - half the viewport) / scale + camera + half the viewport.
void ZGestureArea::zoomAbout(float centreX, float centreY, float newScale) {
    double hw = m_viewport.width() / 2.0, hh = m_viewport.height() / 2.0;
    double shrink = 1.0 / divisor(m_scale) - 1.0 / divisor(newScale);
    double x = m_cameraX + (centreX - m_viewport.x1 - hw) * shrink;
    double y = m_cameraY + (centreY - m_viewport.y1 - hh) * shrink;
    m_scale = newScale;
    if (std::isfinite(static_cast<float>(x)) && std::isfinite(static_cast<float>(y))) {
        m_cameraX = static_cast<float>(x);
        m_cameraY = static_cast<float>(y);
    }
}

void ZGestureArea::zoom(const ZEvent& event) {
    float change = zoomChange(event.pinchScale);
    zoomAbout(static_cast<float>(event.pinchCenterX), static_cast<float>(event.pinchCenterY),
              m_scale + change);
    if (!m_allowOutOfBounds) {
        clampCamera(m_scale, m_cameraX, m_cameraY);
        m_cameraX = std::floor(m_cameraX);
        m_cameraY = std::floor(m_cameraY);
    }
    m_zooming = event.gesturePhase != 2;
}

// Past the document's edge a movement counts less and less, up to half the document's size
// beyond it, where it stops.
float ZGestureArea::panResistance(float position, float documentSize, float viewportSize,
                                  float movement) const {
    float edge = documentSize - viewportSize;
    float half = documentSize / 2;
    if (position >= 0 && position <= edge) return movement;
    if (position > edge && position <= edge + half)
        return movement * (half - (position - edge)) / half;
    if (position < 0 && position >= -half) return movement * (half + position) / half;
    return 0;
}

void ZGestureArea::pan(const ZEvent& event) {
    float s = divisor(m_scale);
    float moveX = static_cast<float>(event.swipeDeltaX) / s;
    float moveY = static_cast<float>(event.swipeDeltaY) / s;
    float x = m_cameraX - moveX, y = m_cameraY - moveY;
    if (!m_allowOutOfBounds) {
        if (x >= lowestCameraX(m_scale) && x <= highestCameraX(m_scale)) m_cameraX = x;
        if (y >= lowestCameraY(m_scale) && y <= highestCameraY(m_scale)) m_cameraY = y;
    } else {
        m_cameraX -= panResistance(x, m_documentWidth, m_viewport.width(), moveX);
        m_cameraY -= panResistance(y, m_documentHeight, m_viewport.height(), moveY);
    }
    m_panning = event.gesturePhase != 2;
}

void ZGestureArea::processAreaEvent(ZEvent* event) {
    if (!event) return;
    if (m_enabled) {
        if (event->type == kZEventPinch && inViewport(static_cast<float>(event->pinchCenterX),
                                                      static_cast<float>(event->pinchCenterY)))
            zoom(*event);
        else if (event->type == kZEventSwipe && inViewport(static_cast<float>(event->swipeStartX),
                                                           static_cast<float>(event->swipeStartY)))
            pan(*event);
    }
    // An ending gesture ends here whatever the area's state, so that it never stays stuck.
    if (event->type == kZEventPinch && event->gesturePhase == 2) m_zooming = false;
    if (event->type == kZEventSwipe && event->gesturePhase == 2) m_panning = false;
}

void ZGestureArea::setup(ZWindow* window) {
    if (window)
        ZGestureRecognizer::shared().setWindowSize(window->getWindowWidth(),
                                                   window->getWindowHeight());
}

long ZGestureArea::getSwipeThreshold() {
    return ZGestureRecognizer::shared().getSwipeThreshold();
}

void ZGestureArea::setSwipeThreshold(long threshold) {
    ZGestureRecognizer::shared().setSwipeThreshold(threshold);
}

long ZGestureArea::getFlingThreshold() {
    return ZGestureRecognizer::shared().getFlingThreshold();
}

void ZGestureArea::setFlingThreshold(long threshold) {
    ZGestureRecognizer::shared().setFlingThreshold(threshold);
}

void ZGestureArea::generateGestureEvents(ZEvent* event, ZWindowEventCallback callback,
                                         bool zeroSwipeMoves) {
    ZGestureRecognizer::shared().generateGestureEvents(event, callback, zeroSwipeMoves);
}

void ZGestureArea::dispatchEventToAllAreas(ZEvent* event) {
    for (ZGestureArea* area : areas()) area->processAreaEvent(event);
}

void ZGestureArea::updateAllAreas(ZWindowEventCallback callback) {
    long elapsed = ZGestureRecognizer::shared().update(callback);
    for (ZGestureArea* area : areas()) area->updateArea(elapsed);
}
