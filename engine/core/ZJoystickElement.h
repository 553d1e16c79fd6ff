#pragma once

#include <cstdint>

// One control of a joystick (an axis or a hat switch) as the device declares it, with the range
// of values seen so far, which calibrates the axes of devices that never reach their declared
// ends. Portable: the platform reads the raw values.
class ZJoystickElement {
public:
    static constexpr long kPovCentred = 65535;

    ZJoystickElement() = default;
    ZJoystickElement(long minimum, long maximum) : m_minimum(minimum), m_maximum(maximum) {}

    long getMinimum() const { return m_minimum; }
    long getMaximum() const { return m_maximum; }

    // The value held to the declared range.
    long clamp(long value) const;
    // The value scaled from low to high: through the seen range once it spans at least 60 % of
    // the declared one, else through the declared range. Widens the seen range.
    long readScaled(long value, long low, long high);
    // A hat switch's value in hundredths of a degree: a four-position hat (range 3) counts
    // 9000 a step, others 4500; a value outside the range (no direction) is 65535.
    long pointOfView(long value) const;

private:
    long m_minimum = 0;
    long m_maximum = 0;
    bool m_seen = false;
    long m_seenMinimum = 0;
    long m_seenMaximum = 0;
};
