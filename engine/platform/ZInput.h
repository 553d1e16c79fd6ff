#pragma once

class ZWindow;

// The input state the game polls between events: the pointer in game coordinates, the mouse
// buttons and wheel, the keys by portable key code, the map from virtual key codes to portable
// ones, and simulated touch. The window feeds it; everything is process-wide and for the main
// thread only.
//
// Window coordinates count y from the bottom of the window's drawable. A game position is
// x = (window x - x offset) * x scale, y = game height - (window y - y offset) * y scale.
class ZInput {
public:
    // osWindow is the SDL_Window the pointer is read and warped through (may be null); osView
    // is not used on this platform. Releases buttons and keys.
    static void initialize(ZWindow* window, void* osWindow, void* osView, long xOffset,
                           long yOffset, float xScale, float yScale, bool captured, long capturedX,
                           long capturedY);
    static void cleanup();

    // The pointer in game coordinates: -1000 while a modal system view shows, 0 without a
    // window.
    static short getMouseX();
    static short getMouseY();
    // The same, ignoring touch simulation and modal views.
    static short getRealMouseX();
    static short getRealMouseY();

    static bool getLeftButtonState();
    static bool getRightButtonState();
    static bool getMiddleButtonState();
    // Read-and-reset.
    static short getWheelValue();

    static void setMouseButton(long button, bool down);
    static void setMouseWheelValue(short value);
    static void setKeyState(long key, bool down);
    static bool isPressed(long key);
    static void waitForKeyRelease(long key);
    // The portable key code of a virtual key code; 102 for none.
    static long getZOZKey(long systemKey);

    // The game's own pointer hiding, and the system cursor's state, which the window also hides
    // and shows on its own (pointer outside the game area, modal views, focus changes).
    static void showPointer();
    static void hidePointer();
    static bool isMousePointerHidden();
    static void setMousePointerHiddenState(bool hidden);
    static bool isSystemPointerHidden();

    // Moves the pointer to a game position: the captured one while captured, else the system's.
    static void mousePointerTo(long x, long y);
    // Moves the captured pointer by a mouse movement (dy grows downwards), kept in the game area.
    static void updateCapturedMouse(long dx, long dy);
    // The captured position in window coordinates, for giving the pointer back to the system.
    static long getCapturedMouseX();
    static long getCapturedMouseY();

    // Draws the engine's own pointer at the real pointer position (the buffer flip calls it):
    // clamp keeps it inside the game size; scale stretches the image.
    static void drawSoftMousePointer(bool clamp, float scale);

    static void simulateTouchscreen(bool simulate);
    // y counts from the top, as touch events carry it. Phase 0 presses, 2 releases, others move.
    static void processSimTouchDown(long x, long y, long phase);
};
