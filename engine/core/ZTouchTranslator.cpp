#include "ZTouchTranslator.h"

#include <chrono>
#include <cstring>

namespace {

const long kOffscreen = -1000;

long steadyMilliseconds(void*) {
    using namespace std::chrono;
    return static_cast<long>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void send(ZWindowEventCallback callback, int64_t type, int64_t x, int64_t y, int64_t button) {
    if (!callback) return;
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = type;
    event.x = x;
    event.y = y;
    event.button = button;
    callback(&event);
}

// A touch record of the one simulated finger.
void makeTouch(ZEvent* event, int64_t phase, int64_t x, int64_t y, int64_t prevX, int64_t prevY) {
    memset(event, 0, sizeof(*event));
    event->type = kZEventTouch;
    event->touchPhase = phase;
    event->touchCount = 1;
    event->touchIndex = 0;
    event->touchReported = 1;
    event->touchX = x;
    event->touchY = y;
    event->touchPrevX = prevX;
    event->touchPrevY = prevY;
}

void clear(ZEvent* event) {
    memset(event, 0, sizeof(*event));
}

}  // namespace

ZTouchTranslator::ZTouchTranslator() : m_now(steadyMilliseconds) {}

ZTouchTranslator& ZTouchTranslator::shared() {
    static ZTouchTranslator translator;
    return translator;
}

void ZTouchTranslator::setClock(ClockFunction now, void* context) {
    m_now = now ? now : steadyMilliseconds;
    m_context = now ? context : nullptr;
}

void ZTouchTranslator::reset() {
    m_touching = false;
    m_touchX = m_touchY = -1;
    m_mouseUpDelay = -1;
    m_mouseUpX = m_mouseUpY = 0;
    m_lastBeginTime = -1;
    m_pendingDoubleTaps = 0;
}

long ZTouchTranslator::now() const {
    return m_now(m_context);
}

void ZTouchTranslator::sendMouseUp(ZWindowEventCallback callback) {
    send(callback, kZEventMouseUp, m_mouseUpX, m_mouseUpY, 1);
    send(callback, kZEventMouseMove, kOffscreen, kOffscreen, 1);
}

void ZTouchTranslator::beginTouch(ZEvent* event, ZWindowEventCallback callback) {
    if (m_touching || m_mouseUpDelay >= 0) {
        // A touch still open has had no release yet: its mouse-up goes where it was last seen,
        // not where an earlier touch ended.
        if (m_touching && m_mouseUpDelay < 0) {
            m_mouseUpX = m_touchX;
            m_mouseUpY = m_touchY;
        }
        m_mouseUpDelay = -1;
        m_touching = false;
        m_touchX = m_touchY = -1;
        sendMouseUp(callback);
    }

    int64_t x = event->x, y = event->y;
    makeTouch(event, 0, x, y, -1, -1);
    m_touching = true;
    m_touchX = x;
    m_touchY = y;

    long time = now();
    long sinceLast = time - m_lastBeginTime;
    if (m_lastBeginTime >= 0 && sinceLast >= 0 && sinceLast < kDoubleTapMs) {
        ZEvent tap;
        memset(&tap, 0, sizeof(tap));
        tap.type = kZEventDoubleTap;
        tap.touchX = x;
        tap.touchY = y;
        if (callback) callback(&tap);
        m_pendingDoubleTaps++;
        // Forgotten, so that a third quick press starts a new pair instead of a second tap.
        m_lastBeginTime = -1;
    } else {
        m_lastBeginTime = time;
    }
}

void ZTouchTranslator::convertToTouchEvent(ZEvent* event, ZWindowEventCallback callback) {
    if (!event) return;
    switch (event->type) {
        case kZEventMouseDown:
        case kZEventDoubleClick:
            if (event->button != 1)
                clear(event);
            else
                beginTouch(event, callback);
            break;
        case kZEventMouseMove:
            if (!m_touching) {
                clear(event);
            } else {
                int64_t x = event->x, y = event->y;
                makeTouch(event, 1, x, y, m_touchX, m_touchY);
                m_touchX = x;
                m_touchY = y;
            }
            break;
        case kZEventMouseUp:
        case kZEventFocusLost:
            if (!m_touching) {
                if (event->type == kZEventMouseUp) clear(event);
            } else if (event->type == kZEventMouseUp && event->button != 1) {
                clear(event);
            } else {
                int64_t x = event->x, y = event->y;
                makeTouch(event, 2, x, y, m_touchX, m_touchY);
                m_touching = false;
                m_touchX = m_touchY = -1;
            }
            break;
        default:
            break;
    }
}

void ZTouchTranslator::simulateMouseEvent(ZEvent* event, ZWindowEventCallback callback) {
    if (!callback || !event) return;
    if (event->type == kZEventTouch) {
        if (event->touchPhase == 0)
            send(callback, kZEventMouseDown, event->touchX, event->touchY, 1);
        if (event->touchPhase == 0 || event->touchPhase == 1)
            send(callback, kZEventMouseMove, event->touchX, event->touchY, 0);
        if (event->touchPhase == 2 || event->touchPhase == 3) {
            m_mouseUpX = event->touchX;
            m_mouseUpY = event->touchY;
            m_mouseUpDelay = kMouseUpDelayMs;
        }
    }
    for (; m_pendingDoubleTaps > 0; m_pendingDoubleTaps--)
        send(callback, kZEventDoubleClick, event->touchX, event->touchY, 1);
}

void ZTouchTranslator::simulateMouseUp(long elapsedMs, ZWindowEventCallback callback) {
    if (m_mouseUpDelay < 0) return;
    // A clock that steps back passes no time.
    if (elapsedMs < 0) elapsedMs = 0;
    if (m_mouseUpDelay <= elapsedMs) {
        m_mouseUpDelay = -1;
        sendMouseUp(callback);
    } else {
        m_mouseUpDelay -= elapsedMs;
    }
}

void convertToTouchEvent(ZEvent* event, ZWindowEventCallback callback) {
    ZTouchTranslator::shared().convertToTouchEvent(event, callback);
}

void simulateMouseEvent(ZEvent* event, ZWindowEventCallback callback) {
    ZTouchTranslator::shared().simulateMouseEvent(event, callback);
}

void simulateMouseUp(long elapsedMs, ZWindowEventCallback callback) {
    ZTouchTranslator::shared().simulateMouseUp(elapsedMs, callback);
}
