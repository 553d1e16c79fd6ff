#pragma once

#include <cstdint>

#include "ZWindow.h"

// Watches every event of the window and makes the gesture events of it: swipes (111), pinches
// and wheel scales (112) and flings (117). Each gesture event goes to the event callback and,
// except flings, to the area sink (the gesture areas). The one process-wide recogniser is the
// static part of ZGestureArea; main thread only.
class ZGestureRecognizer {
public:
    typedef long (*ClockFunction)(void* context);
    typedef void (*AreaSink)(ZEvent* event);

    static constexpr long kDefaultSwipeThreshold = 24;
    static constexpr long kDefaultFlingThreshold = 50;
    // A wheel gesture ends after this long without wheel events.
    static constexpr long kWheelIdleMs = 250;
    static constexpr int kFlingFingers = 8;

    explicit ZGestureRecognizer(AreaSink sink = nullptr);

    static ZGestureRecognizer& shared();

    // Milliseconds of a monotonic clock; null restores the steady clock.
    void setClock(ClockFunction now, void* context);
    // Back to the state at start: thresholds, window size and every gesture forgotten.
    void reset();

    void setWindowSize(long width, long height);
    long getSwipeThreshold() const { return m_swipeThreshold; }
    void setSwipeThreshold(long threshold) { m_swipeThreshold = threshold; }
    long getFlingThreshold() const { return m_flingThreshold; }
    void setFlingThreshold(long threshold) { m_flingThreshold = threshold; }

    // zeroSwipeMoves sends swipes without their movement.
    void generateGestureEvents(ZEvent* event, ZWindowEventCallback callback, bool zeroSwipeMoves);
    // The once-per-flip step: ends a wheel gesture that went idle and returns the milliseconds
    // since the previous call (0 the first time).
    long update(ZWindowEventCallback callback);

private:
    struct Point {
        int64_t x = 0, y = 0;
    };

    long now() const;
    void emit(ZEvent* event, ZWindowEventCallback callback, bool toAreas);
    void sendSwipe(ZWindowEventCallback callback, int64_t phase, Point movement);
    void swipe(const ZEvent& event, ZWindowEventCallback callback, bool zeroSwipeMoves);
    void wheel(const ZEvent& event, ZWindowEventCallback callback);
    void pinch(const ZEvent& event, ZWindowEventCallback callback);
    void mouseFling(const ZEvent& event, ZWindowEventCallback callback);
    void touchFling(const ZEvent& event, ZWindowEventCallback callback);
    void addFlingMovement(double dx, double dy, ZWindowEventCallback callback);
    void endFling(ZWindowEventCallback callback);
    void resetFling();

    AreaSink m_sink;
    ClockFunction m_now = nullptr;
    void* m_context = nullptr;

    long m_windowWidth = 0;
    long m_windowHeight = 0;
    long m_swipeThreshold = kDefaultSwipeThreshold;
    long m_flingThreshold = kDefaultFlingThreshold;

    bool m_swipeStarted = false;
    bool m_swipeInProgress = false;
    Point m_swipeStart;
    Point m_swipePrevious;

    bool m_wheelInProgress = false;
    long m_lastWheelTime = 0;
    ZEvent m_wheelEvent;

    bool m_pinchInProgress = false;
    Point m_pinchCurrent[2];
    Point m_pinchPrevious[2];
    ZEvent m_pinchEvent;

    long m_flingTracked = -1;
    Point m_flingCurrent[kFlingFingers];
    Point m_flingPrevious[kFlingFingers];
    double m_flingMoveX = 0;
    double m_flingMoveY = 0;
    long m_flingStartTime = 0;
    bool m_flingStartSet = false;
    bool m_flingInProgress = false;
    ZEvent m_flingEvent;

    long m_lastUpdateTime = 0;
    bool m_lastUpdateKnown = false;
};
