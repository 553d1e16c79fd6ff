#include "ZWindowGL.h"

#include <algorithm>
#include <cstring>

#include "ZMiscTools.h"

ZWindowGL::ZWindowGL(bool depthBuffer, bool stencil)
    : m_depthBuffer(depthBuffer), m_stencil(stencil) {}

ZWindowGL::~ZWindowGL() {}

bool ZWindowGL::hasFocus() {
    return true;
}

void ZWindowGL::setMaxFrameRate(long rate) {
    m_maxFrameRate = rate;
}

void ZWindowGL::resetFrameTime() {
    m_lastFlipTime = -1;
    std::fill(m_intervals, m_intervals + kIntervalHistory, 0.0);
    m_intervalCount = 0;
    m_frameTime = 0;
}

double ZWindowGL::getFrameTime() {
    return m_frameTime > 0 ? m_frameTime : 1000.0 / 60.0;
}

void ZWindowGL::setWorldView(float, float, float, float, bool) {}

void ZWindowGL::processEvents() {}

void ZWindowGL::flipBackBuffer(bool, bool pumpEvents) {
    if (pumpEvents) processEvents();

    if (m_resetAfterFocus) {
        resetFrameTime();
        m_resetAfterFocus = false;
    }

    long now = static_cast<long>(ZMiscTools::getMilliseconds());
    double interval = 0;
    if (m_lastFlipTime >= 0) interval = std::min(std::max(0L, now - m_lastFlipTime), 2000L);
    m_lastFlipTime = now;

    // The history always averages over all eight slots; unfilled ones are 0 after a reset.
    std::memmove(m_intervals, m_intervals + 1, sizeof(double) * (kIntervalHistory - 1));
    m_intervals[kIntervalHistory - 1] = interval;
    if (m_intervalCount < kIntervalHistory) m_intervalCount++;
    double sum = 0;
    for (double value : m_intervals) sum += value;
    m_frameTime = sum / m_intervalCount;
}

void ZWindowGL::forceWindowed() {
    if (m_displayState == 0) return;
    m_reenterFullScreen = true;
}

void ZWindowGL::handleModalViewDismissal() {}

void ZWindowGL::handleOSMinimize() {
    if (m_displayState != 0) forceWindowed();
}

bool ZWindowGL::handleOSFocus(bool gained) {
    ZEvent event;
    memset(&event, 0, sizeof(event));
    if (gained) {
        event.type = kZEventFocusGained;
        m_pointerOutside = false;
    } else {
        event.type = kZEventFocusLost;
        m_resetAfterFocus = true;
        m_pointerOutside = true;
        if (m_displayState == 0) m_skipOneInactiveWait = true;
    }
    return m_eventCallback ? m_eventCallback(&event) : false;
}

void ZWindowGL::dispatchZEvent(ZEvent* event) {
    if (m_callback) m_callback(event);
    if (m_eventCallback) m_eventCallback(event);
}
