#include "ZVideoClock.h"

void ZVideoClock::reset() {
    m_nStart = -1;
    m_nLastCall = -1;
    m_nPauseTime = -1;
}

double ZVideoClock::read(int64_t now, double length) {
    if (m_nStart == -1) m_nStart = now;
    if (m_nPauseTime == -1) {
        int64_t step = static_cast<int64_t>(length * 1000.0);
        if (m_nLastCall != -1 && step > 0) {
            int64_t gap = now - m_nLastCall;
            if (gap > step) {
                int64_t skipped = gap - gap % step;
                m_nStart += skipped;
                if (m_nStart > now) m_nStart = now;
            }
        }
        m_nLastCall = now;
    } else {
        now = m_nPauseTime;
    }
    return static_cast<double>(now - m_nStart) / 1000.0;
}

void ZVideoClock::pause(int64_t now, double length) {
    if (m_nPauseTime != -1) return;
    read(now, length);
    m_nPauseTime = now;
}

bool ZVideoClock::resume(int64_t now) {
    if (m_nPauseTime == -1 || m_nStart == -1) return false;
    m_nLastCall = now;
    m_nStart += now - m_nPauseTime;
    m_nPauseTime = -1;
    return true;
}

void ZVideoClock::wrap(int64_t milliseconds) {
    m_nStart += milliseconds;
    if (m_nPauseTime != -1) m_nPauseTime += milliseconds;
}
