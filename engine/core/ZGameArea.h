#pragma once

// Where the game's picture lies in the window: the size the game draws in, the size and offset
// of that picture on screen (scaled and letterboxed when the aspect ratio is fixed), and the
// whole drawable. Pure arithmetic, so the window's choices can be checked without a display.
class ZGameArea {
public:
    // Display states of the window.
    static constexpr long kWindowed = 0;
    static constexpr long kFullScreenMode = 1;
    static constexpr long kFullScreenWindow = 2;

    void setDisplaySize(long width, long height) {
        m_displayWidth = width;
        m_displayHeight = height;
    }
    // A new game size that the picture fills: no offsets, no scaling.
    void reset(long gameWidth, long gameHeight);

    // Fits the game area to the desktop for the display state. width and height come in as the
    // requested size and go out as the size of the drawable to make (the desktop when the picture
    // is letterboxed, the actual windowed size when one is set).
    void checkWideScreen(long desktopWidth, long desktopHeight, long& width, long& height,
                         long displayState, bool fixedAspectRatio, bool actualWindowedSizeSet,
                         long actualWindowedWidth, long actualWindowedHeight);

    // Whether a titled window with a width x height content area fits the desktop.
    static bool fitsWindowed(long desktopWidth, long desktopHeight, long width, long height,
                             long titleBarHeight);

    long getGameWidth() const { return m_gameWidth; }
    long getGameHeight() const { return m_gameHeight; }
    long getActualWidth() const { return m_actualWidth; }
    long getActualHeight() const { return m_actualHeight; }
    long getXOffset() const { return m_xOffset; }
    long getYOffset() const { return m_yOffset; }
    long getDisplayWidth() const { return m_displayWidth; }
    long getDisplayHeight() const { return m_displayHeight; }
    bool isScaled() const { return m_scaled; }
    bool isWidescreen() const { return m_widescreen; }

private:
    long m_gameWidth = 0;
    long m_gameHeight = 0;
    long m_actualWidth = 0;
    long m_actualHeight = 0;
    long m_xOffset = 0;
    long m_yOffset = 0;
    long m_displayWidth = 0;
    long m_displayHeight = 0;
    bool m_scaled = false;
    bool m_widescreen = false;
};
