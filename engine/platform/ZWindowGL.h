#pragma once

#include <cstdint>

#include "ZFrameTimer.h"
#include "ZGameArea.h"
#include "ZWindow.h"

struct SDL_Window;
union SDL_Event;

// The game window: an SDL window with one OpenGL context kept across full-screen toggles, in
// one of three display states: 0 windowed, 1 full screen by switching the display mode, 2 full
// screen as a borderless window over the screen. The game area inside it may be scaled and
// letterboxed.
class ZWindowGL : public ZWindow {
public:
    ZWindowGL(bool depthBuffer, bool stencil);
    ~ZWindowGL() override;

    void setFixedAspectRatio(bool fixed) override { m_fixedAspectRatio = fixed; }
    void setRequirements(long minTextureSize, unsigned long unused, long flags) override;
    void enableFullscreenWindow(bool enable) override { m_fullscreenWindow = enable; }
    long getDesktopWidth() override;
    long getDesktopHeight() override;
    long getDesktopDisplayFrequency() override;
    bool checkWindowedMode(long width, long height) override;
    void useExistingWindow(void* hostView) override { m_hostView = hostView; }
    void setActualWindowedSize(long width, long height) override;
    void setMipMapBias(float bias) override { m_mipmapBias = bias; }
    bool createGameWindow(long width, long height, long depth, bool windowed, const char* title,
                          long unused) override;
    bool toggleFullScreen(bool fullScreen) override;
    void resizeGameWindow(long width, long height) override;
    void setTitle(const char* title) override;
    void setOrientation(long) override {}
    void enableMultiTouch(bool) override {}
    void setRectangleTexCap(bool) override {}
    void setGamma(float gamma) override { m_gamma = gamma; }
    bool isQuit() override { return m_quit; }
    void setQuit(bool quit) override { m_quit = quit; }
    void terminate() override { setQuit(true); }
    bool hasFocus() override;
    void* getWindowHandle() override { return m_window; }
    bool getAccelerationCap() override { return true; }
    bool isWidescreenAvailable() override { return m_area.isWidescreen(); }
    void minimize() override;
    void restore() override;
    long getWindowWidth() override { return m_area.getGameWidth(); }
    long getWindowHeight() override { return m_area.getGameHeight(); }
    long getActualWindowWidth() override { return m_area.getActualWidth(); }
    long getActualWindowHeight() override { return m_area.getActualHeight(); }
    long getWindowDepth() override { return m_desktopDepth; }
    long getVidMem() override { return m_videoMemoryKB; }
    long getAvailVidMem() override { return -1; }
    void getAdapterName(char* name, long size) override;
    bool getMaxTextureSize(long& width, long& height) override;
    bool getRectangleTexCap() override { return m_rectangleTextures; }

    void setMaxFrameRate(long rate) override;
    void resetFrameTime() override { m_timer.reset(); }
    double getFrameTime() override { return m_timer.getFrameTime(); }
    void setWorldView(float dx, float dy, float angle, float zoom, bool clear) override;
    void processEvents() override;
    void flipBackBuffer(bool waitWhileInactive, bool pumpEvents) override;
    void setCallBack(ZWindowCallback callback) override { m_callback = callback; }
    void setZOZCallBack(ZWindowEventCallback callback) override { m_eventCallback = callback; }

    void displayMouse(bool display) override { m_softPointer = display; }
    bool isDisplayingMouse() override { return m_softPointer; }
    bool canDisplayMouse() override;
    void enumerateDisplays(ZDisplayCallback callback) override;
    bool isTouchscreen() override { return m_touchSimulation; }
    void simulateTouchscreen(bool simulate) override;
    void forceWindowed() override;
    float getScreenScale() override { return 1.0f; }
    void handleModalViewDismissal() override;

    void handleOSQuit() override { setQuit(true); }
    void handleOSMinimize() override;
    bool handleOSFocus(bool gained) override;
    void dispatchZEvent(ZEvent* event) override;

    // Translates one SDL event for the game; true when the event should still reach the
    // application (key events only with the command key held).
    bool dispatchEvent(void* sdlEvent);

    long getDisplayState() const { return m_displayState; }
    const ZGameArea& getGameArea() const { return m_area; }

private:
    bool hasOwnWindow() const { return m_window != nullptr; }
    bool isFullScreenState() const { return m_displayState != 0; }
    void readDesktopMode();
    void checkWideScreen(long desktopWidth, long desktopHeight, long& width, long& height);
    bool setDisplayMode(long width, long height, long depth);
    void restoreDisplayMode();
    void applyGameAreaViewport(bool scissorWhenScaled);
    void setupGLState();
    void probeCapabilities();
    void initializeInput(long mouseX, long mouseY);
    void applySwapInterval();
    void cleanup();
    void handleWindowEvent(const SDL_Event& event);
    bool isConfined();
    void confinePointer();
    void drawBlackRect(float x1, float y1, float x2, float y2, float alpha);
    void drawOverlays();
    void waitWhileInactive();

    bool m_depthBuffer;
    bool m_stencil;
    bool m_fixedAspectRatio = false;
    bool m_fullscreenWindow = false;
    bool m_actualWindowedSizeSet = false;
    long m_actualWindowedWidth = 0;
    long m_actualWindowedHeight = 0;
    long m_minTextureSize = 512;
    long m_requirementFlags = 0;

    long m_desktopWidth = 0;
    long m_desktopHeight = 0;
    long m_desktopDepth = 32;
    long m_desktopRefresh = 60;

    void* m_hostView = nullptr;
    SDL_Window* m_window = nullptr;
    void* m_context = nullptr;

    ZGameArea m_area;
    long m_viewWidth = 0;
    long m_viewHeight = 0;
    float m_mipmapBias = 0;
    long m_displayState = 0;

    bool m_pointerDissociated = false;
    bool m_skipFirstCapturedMove = false;
    bool m_reenterFullScreen = false;
    bool m_skipOneInactiveWait = false;

    ZFrameTimer m_timer;

    bool m_renderTargetActive = false;
    bool m_quit = false;
    bool m_resetAfterFocus = false;

    float m_gamma = 1.0f;
    float m_clearColor[4] = {0, 0, 0, 1};

    ZWindowCallback m_callback = nullptr;
    ZWindowEventCallback m_eventCallback = nullptr;

    char m_adapterName[256];
    long m_maxTextureSize = 1024;
    long m_videoMemoryKB = 0;
    bool m_rectangleTextures = false;
    bool m_multitexturing = false;
    long m_edgeClamp = 0;
    bool m_vertexBufferObjects = false;
    bool m_pixelShaders = false;

    bool m_softPointer = false;
    bool m_pointerOutside = false;
    bool m_hidePointerOnActivation = false;
    bool m_touchSimulation = false;

    char m_title[256];

    // The virtual key and modifiers of the key whose text is being dispatched.
    long m_textKey = 0;
    uint64_t m_textModifiers = 0;
    // The height drawing coordinates are flipped against (game or whole display).
    long m_drawHeight = 0;
};
