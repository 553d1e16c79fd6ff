#include "ZCounter.h"

#include <cmath>

namespace {

const float kPi = 3.1415927f;

}  // namespace

void ZCounter::startCounter(float from, float to, double holdOff, double duration,
                            ZCounterFunction function) {
    m_from = from;
    m_to = to;
    m_current = from;
    m_holdOff = holdOff;
    m_duration = duration;
    m_elapsed = 0.0;
    m_function = function;
    m_completed = false;
}

float ZCounter::ease(long function, float r) {
    switch (function) {
        case ZCounterEaseIn:
            return 1.0f + std::sin((1.0f - r) * -kPi * 0.5f);
        case ZCounterEaseOut:
            return std::sin(r * kPi * 0.5f);
        case ZCounterEaseInOut:
            return (1.0f - std::cos(r * kPi)) * 0.5f;
        default:
            return r;
    }
}

void ZCounter::move(double dt) {
    // A finished tween keeps its end value and the time it ran; moving it again would only
    // overwrite that time with the zeroed duration.
    if (m_completed) return;
    if (!(dt > 0.0)) dt = 0.0;
    if (m_holdOff > 0.0 && m_holdOff > dt) {
        m_holdOff -= dt;
        return;
    }
    // The whole step counts toward the movement, also the part that was still delay.
    m_holdOff = 0.0;
    double t = m_elapsed + dt;
    if (m_duration > t) {
        m_elapsed = t;
        float r = static_cast<float>(t / m_duration);
        m_current = m_from + (m_to - m_from) * ease(m_function, r);
        return;
    }
    m_elapsed = m_duration;
    m_completed = true;
    m_duration = 0.0;
    m_current = m_to;
}
