#pragma once

#include "ZWindow.h"

// Turns mouse input into the touch events of a touch screen while touch simulation is on, and
// after the game has seen a touch feeds the matching mouse events back, so that code written
// for the mouse keeps working. The window's event dispatch and buffer flip drive the one
// process-wide translator through the free functions below; main thread only.
class ZTouchTranslator {
public:
    typedef long (*ClockFunction)(void* context);

    // Two presses closer together than this make a double tap.
    static constexpr long kDoubleTapMs = 500;
    // The mouse-up that follows a touch waits this long in flip time.
    static constexpr long kMouseUpDelayMs = 20;

    ZTouchTranslator();

    static ZTouchTranslator& shared();

    // Milliseconds of a monotonic clock; null restores the steady clock.
    void setClock(ClockFunction now, void* context);
    // Forgets any touch, delayed mouse-up, tap time and pending double tap.
    void reset();

    // Rewrites a mouse event into a touch event (type 100), or clears it (type 0).
    void convertToTouchEvent(ZEvent* event, ZWindowEventCallback callback);
    // Sends the mouse events that match a touch event, and the pending double clicks.
    void simulateMouseEvent(ZEvent* event, ZWindowEventCallback callback);
    // Counts the delayed mouse-up down by the elapsed flip time and sends it when it is due.
    void simulateMouseUp(long elapsedMs, ZWindowEventCallback callback);

    bool isTouching() const { return m_touching; }
    bool isMouseUpPending() const { return m_mouseUpDelay >= 0; }

private:
    long now() const;
    void beginTouch(ZEvent* event, ZWindowEventCallback callback);
    void sendMouseUp(ZWindowEventCallback callback);

    ClockFunction m_now = nullptr;
    void* m_context = nullptr;

    bool m_touching = false;
    long m_touchX = -1;
    long m_touchY = -1;
    long m_mouseUpDelay = -1;
    long m_mouseUpX = 0;
    long m_mouseUpY = 0;
    long m_lastBeginTime = -1;
    long m_pendingDoubleTaps = 0;
};

// The process-wide translator's operations, as the window calls them.
void convertToTouchEvent(ZEvent* event, ZWindowEventCallback callback);
void simulateMouseEvent(ZEvent* event, ZWindowEventCallback callback);
void simulateMouseUp(long elapsedMs, ZWindowEventCallback callback);
