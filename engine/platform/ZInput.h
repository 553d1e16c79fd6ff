#pragma once

class ZWindow;

// The input state the game polls between events: the pointer in game coordinates, the mouse
// buttons and wheel, the keys by portable key code, the map from virtual key codes to portable
// ones, simulated touch and the joysticks. The window feeds it; everything is process-wide and
// for the main thread only.
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
    // Pumps the window's events until the key is up; also ends when the window quits or loses
    // the focus (the release would then never arrive) and at once without a window.
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

    // ---- Joysticks and game pads, 0 to 15 ----
    // A joystick outside the slots in use, in an empty slot or not enabled reads as nothing:
    // false, 32767 for an axis, 65535 for the hat.

    // Scans on first use; false for a joystick outside the slots in use.
    static bool joyEnable(long joy);
    static void joyDisable(long joy);
    static bool joyUp(long joy);
    static bool joyDown(long joy);
    static bool joyLeft(long joy);
    static bool joyRight(long joy);
    // A stick's axis, 0 to 65535 with 32767 in the middle.
    static long joyX(long joy, bool second);
    static long joyY(long joy, bool second);
    static bool joyButtonN(long joy, long button);
    // Hundredths of a degree clockwise from up; 65535 when centred.
    static long joyPOV(long joy);
    // Pumps the window's events until the button is up, as waitForKeyRelease does.
    static void joyWaitForJoyButtonUp(long joy, long button);
    static void initJoysticks();
    static void cleanupJoysticks();
    // SDL's device events, from the window's event pump: a device index arrives, a joystick
    // instance leaves.
    static void deviceMatchCallback(long deviceIndex);
    static void deviceTerminateCallback(long instanceId);
    // Devices come and go through their events: nothing to do.
    static void RescanJoysticks();
};
