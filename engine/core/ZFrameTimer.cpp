#include "ZFrameTimer.h"

#include <algorithm>
#include <cmath>

ZFrameTimer::ZFrameTimer(ClockFunction now, SleepFunction sleepOneMillisecond, void* context)
    : m_now(now), m_sleep(sleepOneMillisecond), m_context(context) {}

void ZFrameTimer::setClock(ClockFunction now, SleepFunction sleepOneMillisecond, void* context) {
    m_now = now;
    m_sleep = sleepOneMillisecond;
    m_context = context;
}

void ZFrameTimer::reset() {
    m_hasLastFlip = false;
    m_lastFlipTime = 0;
    std::fill(m_intervals, m_intervals + kHistorySize, 0.0);
    m_intervalCount = 0;
    m_frameTime = 0.0;
}

double ZFrameTimer::getFrameTime() const {
    return m_frameTime > 0.0 ? m_frameTime : 1000.0 / 60.0;
}

long ZFrameTimer::now() const {
    return m_now ? m_now(m_context) : 0;
}

long ZFrameTimer::getPacingRate() const {
    if (m_maxFrameRate > 0) return m_maxFrameRate;
    return m_maxFrameRate == 0 && m_softwareSyncRate > 0 ? m_softwareSyncRate : 0;
}

long ZFrameTimer::waitForFrame(long rate, long now) {
    const double period = 1000.0 / static_cast<double>(rate);
    const long target = static_cast<long>(std::trunc(period + m_pacingCarry));
    long elapsed = std::max(1L, now - m_lastFlipTime);
    // A working clock reaches the target within target sleeps of 1 ms; the bound keeps a clock
    // that stands still or jumps back from holding the game.
    for (long sleeps = 0; elapsed < target && sleeps < target; sleeps++) {
        m_sleep(m_context);
        now = this->now();
        elapsed = std::max(1L, now - m_lastFlipTime);
    }
    // Bounded to one period either way: a single long frame (a load) must not leave a debt that
    // unpaces the dozens of frames after it.
    m_pacingCarry =
        std::clamp(m_pacingCarry + period - static_cast<double>(elapsed), -period, period);
    return now;
}

long ZFrameTimer::onFlip(bool pace, long now) {
    long rate = getPacingRate();
    if (pace && rate > 0 && m_hasLastFlip && m_now && m_sleep) now = waitForFrame(rate, now);

    double interval = 0.0;
    if (m_hasLastFlip)
        interval = static_cast<double>(std::clamp(now - m_lastFlipTime, 0L, kMaxIntervalMs));
    m_lastFlipTime = now;
    m_hasLastFlip = true;

    std::copy(m_intervals + 1, m_intervals + kHistorySize, m_intervals);
    m_intervals[kHistorySize - 1] = interval;
    if (m_intervalCount < kHistorySize) m_intervalCount++;
    double sum = 0.0;
    for (double value : m_intervals) sum += value;
    m_frameTime = sum / static_cast<double>(m_intervalCount);
    return now;
}
