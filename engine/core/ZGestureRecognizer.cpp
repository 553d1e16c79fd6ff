#include "ZGestureRecognizer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "ZGestureArea.h"

namespace {

long steadyMilliseconds(void*) {
    using namespace std::chrono;
    return static_cast<long>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Event positions are whatever a writer put there: differences saturate instead of
// overflowing.
int64_t difference(int64_t a, int64_t b) {
    int64_t result;
    if (!__builtin_sub_overflow(a, b, &result)) return result;
    return a > b ? INT64_MAX : INT64_MIN;
}

int64_t midpoint(int64_t a, int64_t b) {
    return static_cast<int64_t>((static_cast<__int128>(a) + b) / 2);
}

double squaredDistance(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    double dx = static_cast<double>(x1) - static_cast<double>(x2);
    double dy = static_cast<double>(y1) - static_cast<double>(y2);
    return dx * dx + dy * dy;
}

// The scale change of a wheel value: 1 for the smallest steps, growing to 3 for the largest,
// signed like the wheel, a tenth of it per event.
float wheelScaleChange(int16_t wheel) {
    double magnitude = std::abs(static_cast<double>(wheel));
    double change;
    if (magnitude == 0)
        change = 0;
    else if (magnitude <= 100)
        change = 1;
    else if (magnitude <= 20000)
        change = 1 + 2 * (magnitude - 100) / 19900;
    else
        change = 3;
    if (wheel < 0) change = -change;
    return static_cast<float>(change * 0.1);
}

// Degrees from 0 to below 360.
float directionOf(double x, double y) {
    double degrees = std::atan2(y, x) * 180.0 / M_PI;
    if (degrees < 0) degrees += 360.0;
    float result = static_cast<float>(degrees);
    return result >= 360.0f ? 0.0f : result;
}

bool isSingleTouch(const ZEvent& event) {
    return event.touchCount < 2 && event.touchReported < 2 && event.touchIndex == 0;
}

bool touchEnds(const ZEvent& event) {
    return event.touchPhase == 2 || event.touchPhase == 3;
}

}  // namespace

ZGestureRecognizer::ZGestureRecognizer(AreaSink sink) : m_sink(sink), m_now(steadyMilliseconds) {
    reset();
}

ZGestureRecognizer& ZGestureRecognizer::shared() {
    static ZGestureRecognizer recognizer(ZGestureArea::dispatchEventToAllAreas);
    return recognizer;
}

void ZGestureRecognizer::setClock(ClockFunction now, void* context) {
    m_now = now ? now : steadyMilliseconds;
    m_context = now ? context : nullptr;
}

void ZGestureRecognizer::reset() {
    m_windowWidth = m_windowHeight = 0;
    m_swipeThreshold = kDefaultSwipeThreshold;
    m_flingThreshold = kDefaultFlingThreshold;
    m_swipeStarted = m_swipeInProgress = false;
    m_swipeStart = m_swipePrevious = Point();
    m_wheelInProgress = false;
    m_lastWheelTime = 0;
    memset(&m_wheelEvent, 0, sizeof(m_wheelEvent));
    m_pinchInProgress = false;
    for (int i = 0; i < 2; i++) m_pinchCurrent[i] = m_pinchPrevious[i] = Point();
    memset(&m_pinchEvent, 0, sizeof(m_pinchEvent));
    for (int i = 0; i < kFlingFingers; i++) m_flingCurrent[i] = m_flingPrevious[i] = Point();
    resetFling();
    m_lastUpdateTime = 0;
    m_lastUpdateKnown = false;
}

void ZGestureRecognizer::setWindowSize(long width, long height) {
    m_windowWidth = width;
    m_windowHeight = height;
}

long ZGestureRecognizer::now() const {
    return m_now(m_context);
}

void ZGestureRecognizer::emit(ZEvent* event, ZWindowEventCallback callback, bool toAreas) {
    // Copies: neither the game nor an area may change the record kept for the next phase.
    if (callback) {
        ZEvent copy = *event;
        callback(&copy);
    }
    if (toAreas && m_sink) {
        ZEvent copy = *event;
        m_sink(&copy);
    }
}

void ZGestureRecognizer::sendSwipe(ZWindowEventCallback callback, int64_t phase, Point movement) {
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = kZEventSwipe;
    event.gesturePhase = phase;
    event.swipeStartX = m_swipeStart.x;
    event.swipeStartY = m_swipeStart.y;
    event.swipeDeltaX = movement.x;
    event.swipeDeltaY = movement.y;
    emit(&event, callback, true);
}

void ZGestureRecognizer::swipe(const ZEvent& event, ZWindowEventCallback callback,
                               bool zeroSwipeMoves) {
    bool touch = event.type == kZEventTouch && isSingleTouch(event);
    if ((event.type == kZEventMouseDown || (touch && event.touchPhase == 0)) &&
        !m_pinchInProgress) {
        m_swipeStart = touch ? Point{event.touchX, event.touchY} : Point{event.x, event.y};
        m_swipeStarted = true;
        m_swipeInProgress = false;
        return;
    }

    bool mouseStep = event.type == kZEventMouseMove || event.type == kZEventMouseUp;
    bool touchStep = touch && event.touchPhase >= 1 && event.touchPhase <= 3;
    if (!m_swipeStarted || !(mouseStep || touchStep)) return;
    Point position = touchStep ? Point{event.touchX, event.touchY} : Point{event.x, event.y};
    bool ends = event.type == kZEventMouseUp || (touchStep && touchEnds(event));

    bool send = true;
    int64_t phase = 0;
    if (!m_swipeInProgress) {
        // The distance a swipe needs grows with the window, between 15 and 45 pixels.
        long longest = std::max(m_windowWidth, m_windowHeight);
        double threshold = std::trunc(static_cast<double>(longest) *
                                      static_cast<double>(m_swipeThreshold) / 800.0);
        double squared = std::min(std::max(threshold * threshold, 225.0), 2025.0);
        if (squaredDistance(position.x, position.y, m_swipeStart.x, m_swipeStart.y) < squared) {
            send = false;
        } else {
            m_swipeInProgress = true;
            m_swipePrevious = m_swipeStart;
        }
    } else {
        bool move = event.type == kZEventMouseMove || (touchStep && event.touchPhase == 1);
        phase = move ? 1 : 2;
    }

    if (send) {
        Point movement;
        if (!zeroSwipeMoves) {
            movement.x = difference(position.x, m_swipePrevious.x);
            movement.y = difference(position.y, m_swipePrevious.y);
        }
        sendSwipe(callback, phase, movement);
        m_swipePrevious = position;
        // A release that is the swipe's first step still closes it, or the areas would keep
        // panning.
        if (ends && phase == 0) sendSwipe(callback, 2, Point());
    }
    if (ends) {
        m_swipeStarted = false;
        m_swipeInProgress = false;
    }
}

void ZGestureRecognizer::wheel(const ZEvent& event, ZWindowEventCallback callback) {
    memset(&m_wheelEvent, 0, sizeof(m_wheelEvent));
    m_wheelEvent.type = kZEventPinch;
    m_wheelEvent.gesturePhase = m_wheelInProgress ? 1 : 0;
    m_wheelEvent.pinchScale = wheelScaleChange(event.wheel);
    m_wheelEvent.pinchCenterX = event.x;
    m_wheelEvent.pinchCenterY = event.y;
    m_wheelInProgress = true;
    m_lastWheelTime = now();
    emit(&m_wheelEvent, callback, true);
}

void ZGestureRecognizer::pinch(const ZEvent& event, ZWindowEventCallback callback) {
    if (event.touchIndex == 0 || event.touchIndex == 1)
        m_pinchCurrent[event.touchIndex] = Point{event.touchX, event.touchY};

    bool complete = event.touchCount >= 2 && event.touchReported >= 2 &&
                    event.touchIndex >= event.touchReported - 1;
    if (complete) {
        int64_t phase = 0;
        float change = 0;
        if (m_pinchInProgress) {
            phase = 1;
            double previous =
                std::sqrt(squaredDistance(m_pinchPrevious[0].x, m_pinchPrevious[0].y,
                                          m_pinchPrevious[1].x, m_pinchPrevious[1].y));
            double current = std::sqrt(squaredDistance(m_pinchCurrent[0].x, m_pinchCurrent[0].y,
                                                       m_pinchCurrent[1].x, m_pinchCurrent[1].y));
            if (previous != 0) change = static_cast<float>(current / previous - 1.0);
        } else {
            if (m_swipeInProgress) sendSwipe(callback, 2, Point());
            m_swipeStarted = m_swipeInProgress = false;
            m_swipeStart = m_swipePrevious = Point();
        }
        memset(&m_pinchEvent, 0, sizeof(m_pinchEvent));
        m_pinchEvent.type = kZEventPinch;
        m_pinchEvent.gesturePhase = phase;
        m_pinchEvent.pinchScale = change;
        m_pinchEvent.pinchCenterX = midpoint(m_pinchCurrent[0].x, m_pinchCurrent[1].x);
        m_pinchEvent.pinchCenterY = midpoint(m_pinchCurrent[0].y, m_pinchCurrent[1].y);
        m_pinchPrevious[0] = m_pinchCurrent[0];
        m_pinchPrevious[1] = m_pinchCurrent[1];
        m_pinchInProgress = true;
        emit(&m_pinchEvent, callback, true);
    } else if (!m_pinchInProgress) {
        return;
    }

    if (event.touchCount < 2 || touchEnds(event)) {
        m_pinchEvent.gesturePhase = 2;
        m_pinchEvent.pinchScale = 0;
        m_pinchInProgress = false;
        emit(&m_pinchEvent, callback, true);
    }
}

void ZGestureRecognizer::resetFling() {
    m_flingTracked = -1;
    m_flingMoveX = m_flingMoveY = 0;
    m_flingStartTime = 0;
    m_flingStartSet = false;
    m_flingInProgress = false;
    memset(&m_flingEvent, 0, sizeof(m_flingEvent));
}

void ZGestureRecognizer::endFling(ZWindowEventCallback callback) {
    if (m_flingInProgress) {
        m_flingEvent.gesturePhase = 2;
        emit(&m_flingEvent, callback, false);
    }
    resetFling();
}

void ZGestureRecognizer::addFlingMovement(double dx, double dy, ZWindowEventCallback callback) {
    m_flingMoveX += dx;
    m_flingMoveY += dy;
    long time = now();
    if (!m_flingStartSet) {
        m_flingStartTime = time;
        m_flingStartSet = true;
    }
    if (m_flingInProgress) return;
    double threshold = static_cast<double>(m_flingThreshold);
    if (m_flingMoveX * m_flingMoveX + m_flingMoveY * m_flingMoveY < threshold * threshold) return;

    m_flingInProgress = true;
    memset(&m_flingEvent, 0, sizeof(m_flingEvent));
    m_flingEvent.type = kZEventFling;
    m_flingEvent.gesturePhase = 0;
    m_flingEvent.flingTouches = m_flingTracked;
    m_flingEvent.flingDuration = time - m_flingStartTime;
    m_flingEvent.flingDirection = directionOf(m_flingMoveX, m_flingMoveY);
    emit(&m_flingEvent, callback, false);
}

void ZGestureRecognizer::mouseFling(const ZEvent& event, ZWindowEventCallback callback) {
    bool button = event.type == kZEventMouseDown || event.type == kZEventMouseUp;
    if (button && event.button != 1) return;
    if (m_flingTracked > 0) {
        addFlingMovement(static_cast<double>(event.x) - static_cast<double>(m_flingPrevious[0].x),
                         static_cast<double>(event.y) - static_cast<double>(m_flingPrevious[0].y),
                         callback);
    }
    m_flingPrevious[0] = Point{event.x, event.y};
    if (event.type == kZEventMouseDown)
        m_flingTracked = 1;
    else if (event.type == kZEventMouseUp && m_flingTracked > 0)
        endFling(callback);
}

void ZGestureRecognizer::touchFling(const ZEvent& event, ZWindowEventCallback callback) {
    if (event.touchIndex >= 0 && event.touchIndex < kFlingFingers)
        m_flingCurrent[event.touchIndex] = Point{event.touchX, event.touchY};
    // Another number of fingers is another gesture.
    if (m_flingTracked > 0 && event.touchCount != m_flingTracked) endFling(callback);

    bool complete = event.touchCount > 0 && event.touchReported == event.touchCount &&
                    event.touchIndex >= event.touchReported - 1;
    if (complete) {
        if (m_flingTracked == event.touchCount) {
            long fingers = std::min<long>(event.touchCount, kFlingFingers);
            double dx = 0, dy = 0;
            for (long i = 0; i < fingers; i++) {
                dx += static_cast<double>(m_flingCurrent[i].x) -
                      static_cast<double>(m_flingPrevious[i].x);
                dy += static_cast<double>(m_flingCurrent[i].y) -
                      static_cast<double>(m_flingPrevious[i].y);
            }
            addFlingMovement(dx / fingers, dy / fingers, callback);
        }
        for (int i = 0; i < kFlingFingers; i++) m_flingPrevious[i] = m_flingCurrent[i];
        m_flingTracked = event.touchCount;
    }
    if (touchEnds(event)) endFling(callback);
}

void ZGestureRecognizer::generateGestureEvents(ZEvent* event, ZWindowEventCallback callback,
                                               bool zeroSwipeMoves) {
    if (!event) return;
    // The steps read a copy: the callback may be handed this very record later, unchanged.
    const ZEvent input = *event;
    swipe(input, callback, zeroSwipeMoves);
    if (input.type == kZEventMouseWheel) wheel(input, callback);
    if (input.type == kZEventTouch) {
        pinch(input, callback);
        touchFling(input, callback);
    } else if (input.type == kZEventMouseMove || input.type == kZEventMouseUp ||
               input.type == kZEventMouseDown) {
        mouseFling(input, callback);
    }
}

long ZGestureRecognizer::update(ZWindowEventCallback callback) {
    long time = now();
    long elapsed = m_lastUpdateKnown ? time - m_lastUpdateTime : 0;
    if (m_wheelInProgress && time - m_lastWheelTime >= kWheelIdleMs) {
        m_wheelInProgress = false;
        m_wheelEvent.gesturePhase = 2;
        m_wheelEvent.pinchScale = 0;
        emit(&m_wheelEvent, callback, true);
        memset(&m_wheelEvent, 0, sizeof(m_wheelEvent));
    }
    m_lastUpdateTime = time;
    m_lastUpdateKnown = true;
    return elapsed;
}
