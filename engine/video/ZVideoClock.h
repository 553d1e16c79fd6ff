#pragma once

#include <cstdint>

// A video's clock in milliseconds of a monotonic time source: it starts at its first reading,
// stops while paused, and skips whole lengths of a looping video when the reader stalls for
// longer than one (so that a video left alone for minutes does not race to catch up).
class ZVideoClock {
public:
    // Back to unset: the next reading starts the clock.
    void reset();
    // Seconds since the start at the time `now`. length is the video's length in seconds once it
    // has been decoded through (0 before); a length below a millisecond skips nothing.
    double read(int64_t now, double length);
    // Stops the clock at now (nothing when already paused).
    void pause(int64_t now, double length);
    // Runs it again from now, without counting the pause; false when it was not paused or never
    // started.
    bool resume(int64_t now);
    // Moves the clock back by the milliseconds (a looping video wrapped).
    void wrap(int64_t milliseconds);
    bool isPaused() const { return m_nPauseTime != -1; }
    bool isStarted() const { return m_nStart != -1; }

private:
    int64_t m_nStart = -1;
    int64_t m_nLastCall = -1;
    int64_t m_nPauseTime = -1;
};
