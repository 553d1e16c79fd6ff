#include "ZJoystickElement.h"

#include <algorithm>

namespace {

// low + offset * (high - low) / range in whole numbers, wide enough for any 32-bit ranges.
long scale(long offset, long low, long high, long range) {
    __int128 result = static_cast<__int128>(offset) * (static_cast<__int128>(high) - low) / range;
    return static_cast<long>(low + result);
}

}  // namespace

long ZJoystickElement::clamp(long value) const {
    if (m_minimum > m_maximum) return value;
    return std::min(std::max(value, m_minimum), m_maximum);
}

long ZJoystickElement::readScaled(long value, long low, long high) {
    value = clamp(value);
    if (!m_seen) {
        m_seen = true;
        m_seenMinimum = m_seenMaximum = value;
    } else {
        m_seenMinimum = std::min(m_seenMinimum, value);
        m_seenMaximum = std::max(m_seenMaximum, value);
    }

    long seenRange = m_seenMaximum - m_seenMinimum;
    long declaredRange = m_maximum - m_minimum;
    if (seenRange > 0 && seenRange >= declaredRange * 60 / 100)
        return scale(value - m_seenMinimum, low, high, seenRange);
    if (declaredRange == 0) return value;
    return scale(value - m_minimum, low, high, declaredRange);
}

long ZJoystickElement::pointOfView(long value) const {
    if (value < m_minimum || value > m_maximum) return kPovCentred;
    return value * (m_maximum - m_minimum == 3 ? 9000 : 4500);
}
