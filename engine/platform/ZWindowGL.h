#pragma once

#include <cstdint>
#include <vector>

#include "ZFrameTimer.h"
#include "ZGameArea.h"
#include "ZMatrix.h"
#include "ZWindow.h"

struct SDL_Window;
class ZFramebufferGL;
class ZGLContextGL;
class ZPixelShader;

// GLenum and GLint without the GL headers.
typedef unsigned int GLenumValue;
typedef int GLintValue;
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
    void setClearColor(float r, float g, float b, float a) override;
    void setWorldView(float dx, float dy, float angle, float zoom, bool clear) override;
    void setDefaultWorldView() override { setWorldView(0, 0, 0, 1, false); }
    void setWorldMatrix(ZMatrix* matrix) override;
    void setProjectionMatrix(ZMatrix* matrix) override;
    void setClipRect(bool enable, float x1, float y1, float x2, float y2) override;
    void beginStencil(bool clear, bool write, float alphaReference, bool invert) override;
    void endStencil() override;
    void begin3d(bool clearDepth, bool writeDepth, ZWindow3dCulling culling, bool flag) override;
    void setBlitDepth(float depth) override { m_blitDepth = -depth; }
    void set3dMatrix(long which, ZMatrix* matrix) override;
    void set3dAmbientLight(float r, float g, float b, float a) override;
    void set3dLight(long index, ZWindow3dLight* light) override;
    void set3dMatColor(float r, float g, float b, float a) override;
    void end3d() override;
    void restoreState() override;
    void processEvents() override;
    void flipBackBuffer(bool waitWhileInactive, bool pumpEvents) override;
    void setCallBack(ZWindowCallback callback) override { m_callback = callback; }
    void setZOZCallBack(ZWindowEventCallback callback) override { m_eventCallback = callback; }

    void displayMouse(bool display) override { m_softPointer = display; }
    bool isDisplayingMouse() override { return m_softPointer; }
    bool canDisplayMouse() override;
    bool saveBackBuffer(const char* path, long format, long width, long height) override;
    void setPixelShader(ZPixelShader* shader) override;
    void setPixelShaderParam(long index, float* values) override;
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

    // ---- What the renderer reads and sets ----
    bool hasPixelShaderSupport() const { return m_pixelShaders; }
    bool hasMultitextureSupport() const { return m_multitexturing; }
    bool hasVertexBufferObjects() const { return m_vertexBufferObjects; }
    float getMipMapBias() const { return m_mipmapBias; }
    // The z of every blit: the negation of what setBlitDepth was given.
    float getBlitDepth() const { return m_blitDepth; }
    // The flag of begin3d; blending is off while it is set.
    bool get3dFlag() const { return m_3dFlag; }
    bool isClipEnabled() const { return m_clipEnabled; }
    void getClearColor(float* rgba) const;
    // The size the 2D projection spans, and whether a render target is being drawn into.
    void setViewSize(long width, long height);
    long getViewWidth() const { return m_viewWidth; }
    long getViewHeight() const { return m_viewHeight; }
    void setRenderTargetActive(bool active) { m_renderTargetActive = active; }
    bool isRenderTargetActive() const { return m_renderTargetActive; }
    // The viewport over the game area; the scissor box over it too when the area is scaled.
    void applyGameAreaViewport(bool scissorWhenScaled);

    // ---- Render-target contexts ----
    // A target is a framebuffer object whose colour attachment is the target's texture, with a
    // depth (and, with the window's stencil flag, stencil) renderbuffer. Its "context" is a
    // record of the draw state that a context of its own would keep (shader, scissor, stencil,
    // 3D state, matrices, viewport): making a context current saves the live state into the
    // current context's record and loads the new one's, and binds its framebuffer.
    void* getMainGLContext() const { return m_mainContext; }
    void* getBackBufferRenderContext() const { return m_currentContext; }
    bool makeGLContextCurrent(void* context);
    bool createGLContextAndPBuffer(long width, long height, bool alpha, bool depth,
                                   GLenumValue target, GLintValue internalFormat, void** context,
                                   void** buffer);
    // Makes the texture bound in that context the buffer's colour image (attaches it once).
    void updateGLTexture(void* context, void* buffer);
    void destroyGLContext(void* context);
    void destroyGLPBuffer(void* buffer);

private:
    bool hasOwnWindow() const { return m_window != nullptr; }
    bool isFullScreenState() const { return m_displayState != 0; }
    void readDesktopMode();
    void checkWideScreen(long desktopWidth, long desktopHeight, long& width, long& height);
    bool setDisplayMode(long width, long height, long depth);
    void restoreDisplayMode();
    void setupGLState();
    void resetFixedFunctionState();
    void probeCapabilities();
    // The scissor box over the game area when whenScaled is set and the area is scaled, else
    // no scissor test.
    void applyGameAreaScissor(bool whenScaled);
    void initializeInput(long mouseX, long mouseY);
    void applySwapInterval();
    void cleanup();
    void handleWindowEvent(const SDL_Event& event);
    // The record's way to the game: touch conversion, gestures, the callback, double click
    // and the mouse events of a touch.
    void deliverEvent(ZEvent& record, long clicks);
    bool isConfined();
    void confinePointer();
    void drawBlackRect(float x1, float y1, float x2, float y2, float alpha);
    void drawSoftPointer(bool confined);
    void drawOverlays();
    void setupRenderer();
    ZGLContextGL* findContext(void* context) const;
    ZFramebufferGL* findFramebuffer(void* buffer) const;
    void bindContextFramebuffer(const ZGLContextGL* context);
    void destroyRenderContexts();
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
    bool m_softwareSyncLogged = false;

    bool m_renderTargetActive = false;
    bool m_quit = false;
    bool m_resetAfterFocus = false;

    float m_gamma = 1.0f;
    float m_clearColor[4] = {0, 0, 0, 1};
    bool m_clipEnabled = false;
    float m_blitDepth = 0;
    bool m_3dFlag = false;
    ZMatrix m_3dProjection;
    ZMatrix m_3dView;
    ZPixelShader* m_pixelShader = nullptr;
    // The main context's record and the one current now (see the render-target contexts), and
    // the targets' contexts and buffers that live.
    ZGLContextGL* m_mainContext = nullptr;
    ZGLContextGL* m_currentContext = nullptr;
    std::vector<ZGLContextGL*> m_targetContexts;
    std::vector<ZFramebufferGL*> m_framebuffers;

    ZWindowCallback m_callback = nullptr;
    ZWindowEventCallback m_eventCallback = nullptr;

    char m_adapterName[256];
    long m_maxTextureSize = 1024;
    long m_maxLights = 8;
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
};
