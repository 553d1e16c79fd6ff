#pragma once

// Frame pacing and the frame time of the window's buffer flip, apart from any window so that it
// runs on an injected clock. The window reads the clock once per flip with now(), may use that
// time for its own work, then hands it to onFlip(), which paces and records the interval.
class ZFrameTimer {
public:
    typedef long (*ClockFunction)(void* context);
    typedef void (*SleepFunction)(void* context);

    static constexpr long kHistorySize = 8;
    static constexpr long kMaxIntervalMs = 2000;

    // Without a clock now() is 0 and without a sleep nothing is paced.
    ZFrameTimer() = default;
    ZFrameTimer(ClockFunction now, SleepFunction sleepOneMillisecond, void* context);
    void setClock(ClockFunction now, SleepFunction sleepOneMillisecond, void* context);

    // Above 0: flips are paced to this many per second; 0 leaves it to the display's vertical
    // sync; below 0: no pacing.
    void setMaxFrameRate(long rate) { m_maxFrameRate = rate; }
    long getMaxFrameRate() const { return m_maxFrameRate; }
    // Where the display refuses to sync, its refresh rate: a rate of 0 is then paced to it here,
    // or the frame loop would run as fast as it can draw. 0: the display syncs.
    void setSoftwareSyncRate(long rate) { m_softwareSyncRate = rate; }
    // The flips per second that onFlip paces to, 0 for none.
    long getPacingRate() const;

    // Forgets the last flip and the interval history; the next flip measures nothing.
    void reset();
    // Average of the recent flip intervals in milliseconds, or 1000/60 while it is 0.
    double getFrameTime() const;

    long now() const;
    // Time of the last flip, -1 when there is none since the last reset.
    long getLastFlipTime() const { return m_hasLastFlip ? m_lastFlipTime : -1; }

    // Ends one flip at the given time (read with now()): waits for the rest of the frame period
    // when there is a pacing rate, pace is true and a last flip exists, then records the interval.
    // Returns the time of the flip after pacing.
    long onFlip(bool pace, long now);
    long onFlip(bool pace) { return onFlip(pace, now()); }

private:
    long waitForFrame(long rate, long now);

    ClockFunction m_now = nullptr;
    SleepFunction m_sleep = nullptr;
    void* m_context = nullptr;

    long m_maxFrameRate = 0;
    long m_softwareSyncRate = 0;
    // The part of the frame period not yet waited for (negative: time owed by slow frames). A
    // double, so that 60 per second runs 16, 17, 17 ms; a float's rounding makes it 16, 17, 16.
    double m_pacingCarry = 0.0;
    bool m_hasLastFlip = false;
    long m_lastFlipTime = 0;
    double m_intervals[kHistorySize] = {};  // oldest first
    long m_intervalCount = 0;
    double m_frameTime = 0.0;
};
