#include "ZGameArea.h"

#include <cmath>

#include "ZCore.h"

void ZGameArea::reset(long gameWidth, long gameHeight) {
    m_gameWidth = m_actualWidth = gameWidth;
    m_gameHeight = m_actualHeight = gameHeight;
    m_xOffset = 0;
    m_yOffset = 0;
    m_scaled = false;
}

void ZGameArea::checkWideScreen(long desktopWidth, long desktopHeight, long& width, long& height,
                                long displayState, bool fixedAspectRatio,
                                bool actualWindowedSizeSet, long actualWindowedWidth,
                                long actualWindowedHeight) {
    reset(m_gameWidth, m_gameHeight);
    m_widescreen = false;
    // No aspect ratio to compare; the window's creation reports the bad size itself.
    if (width <= 0 || height <= 0 || desktopWidth <= 0 || desktopHeight <= 0) return;

    const float gameAspect = static_cast<float>(width) / static_cast<float>(height);
    const float desktopAspect =
        static_cast<float>(desktopWidth) / static_cast<float>(desktopHeight);
    m_widescreen = desktopAspect >= gameAspect && desktopAspect < 2.0f;

    if (displayState == kWindowed) {
        if (actualWindowedSizeSet) {
            m_actualWidth = width = actualWindowedWidth;
            m_actualHeight = height = actualWindowedHeight;
            m_scaled = true;
            ZCore::logMessage("OpenGL: actual game window: %ld x %ld", m_actualWidth,
                              m_actualHeight);
        }
        return;
    }

    if (!fixedAspectRatio) {
        if (displayState == kFullScreenWindow) {
            m_actualWidth = desktopWidth;
            m_actualHeight = desktopHeight;
        }
        ZCore::logMessage("OpenGL: actual game window: %ld x %ld", m_actualWidth, m_actualHeight);
        return;
    }

    float scale;
    if (m_widescreen) {
        ZCore::logMessage("OpenGL: desktop dimensions are %ldx%ld: widescreen", desktopWidth,
                          desktopHeight);
        scale = static_cast<float>(desktopHeight) / static_cast<float>(height);
    } else if (gameAspect - 0.01f > desktopAspect && desktopAspect > 0.5f) {
        ZCore::logMessage("OpenGL: desktop dimensions are %ldx%ld: narrow", desktopWidth,
                          desktopHeight);
        scale = static_cast<float>(desktopWidth) / static_cast<float>(width);
    } else {
        ZCore::logMessage("OpenGL: desktop dimensions are %ldx%ld: 4:3 screen", desktopWidth,
                          desktopHeight);
        return;
    }
    m_actualWidth = static_cast<long>(std::floor(static_cast<float>(width) * scale));
    m_actualHeight = static_cast<long>(std::floor(static_cast<float>(height) * scale));
    if (m_widescreen)
        m_xOffset = (desktopWidth - m_actualWidth) / 2;
    else
        m_yOffset = (desktopHeight - m_actualHeight) / 2;
    m_scaled = true;
    width = desktopWidth;
    height = desktopHeight;
    ZCore::logMessage(
        "OpenGL: enabling 4:3 aspect correction, actual game window resized to %ldx%ld",
        m_actualWidth, m_actualHeight);
}

bool ZGameArea::fitsWindowed(long desktopWidth, long desktopHeight, long width, long height,
                             long titleBarHeight) {
    if (width <= 0 || height <= 0) return false;
    return width <= desktopWidth && height + titleBarHeight <= desktopHeight;
}
