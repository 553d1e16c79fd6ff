#pragma once

#include <type_traits>

// The easing of a tween; a value outside 0 to 3 moves linearly.
enum ZCounterFunction : long {
    ZCounterLinear = 0,
    ZCounterEaseIn = 1,
    ZCounterEaseOut = 2,
    ZCounterEaseInOut = 3,
};

// A tween: one float moving from a start to an end value over a duration, after a hold-off
// delay, along an easing curve. The owner calls move() once per frame with the frame's elapsed
// time (the engine passes milliseconds). A plain value type: owners embed it, and the play
// screen stores the record byte for byte, so the fields keep their order and 56-byte layout.
class ZCounter {
public:
    ZCounter() {}

    void startCounter(float from, float to, double holdOff, double duration,
                      ZCounterFunction function);
    void move(double dt);

    float getCurrentValue() const { return m_current; }
    bool isCompleted() const { return m_completed; }
    float getFromValue() const { return m_from; }
    float getToValue() const { return m_to; }
    double getHoldOff() const { return m_holdOff; }
    ZCounterFunction getFunction() const { return static_cast<ZCounterFunction>(m_function); }
    // While running the duration; once completed the time that was run.
    double getDuration() const { return m_completed ? m_elapsed : m_duration; }

private:
    // e(r) of the easing for a progress r from 0 to 1, in single precision.
    static float ease(long function, float r);

    float m_from = 0.0f;
    float m_to = 0.0f;
    float m_current = 0.0f;
    double m_holdOff = 0.0;
    double m_duration = 0.0;
    double m_elapsed = 0.0;
    long m_function = ZCounterLinear;
    bool m_completed = true;  // an idle counter counts as finished
};

static_assert(sizeof(ZCounter) == 56, "the stored tween record is 56 bytes");
static_assert(std::is_trivially_copyable<ZCounter>::value, "tweens are stored byte for byte");
