#pragma once

#include "ZDisplay.h"
#include "ZEvent.h"
#include "ZObjectBase.h"
#include "ZWindow3dLight.h"

class ZMatrix;
class ZPixelShader;

typedef bool (*ZWindowCallback)(void* osEvent);
typedef bool (*ZWindowEventCallback)(ZEvent* event);
typedef bool (*ZDisplayCallback)(ZDisplay* display);

// The abstract game window. ZWindowGL is its one implementation; the game creates it through
// ZCore::createZWindow and owns it.
class ZWindow : public ZObjectBase {
public:
    virtual void setFixedAspectRatio(bool fixed) = 0;
    virtual void setRequirements(long minTextureSize, unsigned long unused, long flags) = 0;
    virtual void enableFullscreenWindow(bool enable) = 0;
    virtual long getDesktopWidth() = 0;
    virtual long getDesktopHeight() = 0;
    virtual long getDesktopDisplayFrequency() = 0;
    virtual bool checkWindowedMode(long width, long height) = 0;
    virtual void useExistingWindow(void* hostView) = 0;
    virtual void setActualWindowedSize(long width, long height) = 0;
    virtual void setMipMapBias(float bias) = 0;
    virtual bool createGameWindow(long width, long height, long depth, bool windowed,
                                  const char* title, long unused) = 0;
    virtual bool toggleFullScreen(bool fullScreen) = 0;
    virtual void resizeGameWindow(long width, long height) = 0;
    virtual void setTitle(const char* title) = 0;
    virtual void setOrientation(long orientation) = 0;
    virtual void enableMultiTouch(bool enable) = 0;
    virtual void setRectangleTexCap(bool enable) = 0;
    virtual void setGamma(float gamma) = 0;
    virtual bool isQuit() = 0;
    virtual void setQuit(bool quit) = 0;
    virtual void terminate() = 0;
    virtual bool hasFocus() = 0;
    virtual void* getWindowHandle() = 0;
    virtual bool getAccelerationCap() = 0;
    virtual bool isWidescreenAvailable() = 0;
    virtual void minimize() = 0;
    virtual void restore() = 0;
    virtual long getWindowWidth() = 0;
    virtual long getWindowHeight() = 0;
    virtual long getActualWindowWidth() = 0;
    virtual long getActualWindowHeight() = 0;
    virtual long getWindowDepth() = 0;
    virtual long getVidMem() = 0;
    virtual long getAvailVidMem() = 0;
    virtual void getAdapterName(char* name, long size) = 0;
    virtual bool getMaxTextureSize(long& width, long& height) = 0;
    virtual bool getRectangleTexCap() = 0;

    virtual void setMaxFrameRate(long rate) = 0;
    virtual void resetFrameTime() = 0;
    virtual double getFrameTime() = 0;
    virtual void setClearColor(float r, float g, float b, float a) = 0;
    // The 2D camera: offset, rotation in degrees and zoom about the view's centre; clear also
    // clears the colour, depth and stencil buffers. Drops any clip rectangle.
    virtual void setWorldView(float dx, float dy, float angle, float zoom, bool clear) = 0;
    virtual void setDefaultWorldView() = 0;
    // A model-view matrix in the top-down coordinates that drawing uses.
    virtual void setWorldMatrix(ZMatrix* matrix) = 0;
    virtual void setProjectionMatrix(ZMatrix* matrix) = 0;
    // View coordinates, y downwards.
    virtual void setClipRect(bool enable, float x1, float y1, float x2, float y2) = 0;
    virtual void beginStencil(bool clear, bool write, float alphaReference, bool invert) = 0;
    virtual void endStencil() = 0;
    virtual void begin3d(bool clearDepth, bool writeDepth, ZWindow3dCulling culling,
                         bool flag) = 0;
    virtual void setBlitDepth(float depth) = 0;
    // which: 0 projection, 1 view, 2 model.
    virtual void set3dMatrix(long which, ZMatrix* matrix) = 0;
    virtual void set3dAmbientLight(float r, float g, float b, float a) = 0;
    // A null light switches light number index off.
    virtual void set3dLight(long index, ZWindow3dLight* light) = 0;
    virtual void set3dMatColor(float r, float g, float b, float a) = 0;
    virtual void end3d() = 0;
    // Puts the window's GL state back after foreign code used OpenGL.
    virtual void restoreState() = 0;
    virtual void processEvents() = 0;
    virtual void flipBackBuffer(bool waitWhileInactive, bool pumpEvents) = 0;
    virtual void setCallBack(ZWindowCallback callback) = 0;
    virtual void setZOZCallBack(ZWindowEventCallback callback) = 0;

    virtual void displayMouse(bool display) = 0;
    virtual bool isDisplayingMouse() = 0;
    virtual bool canDisplayMouse() = 0;
    // Writes the game area as an image file of w x h (0: the game size) in an image format id.
    virtual bool saveBackBuffer(const char* path, long format, long width, long height) = 0;
    // Null clears the shader.
    virtual void setPixelShader(ZPixelShader* shader) = 0;
    virtual void setPixelShaderParam(long index, float* values) = 0;
    virtual void enumerateDisplays(ZDisplayCallback callback) = 0;
    virtual bool isTouchscreen() = 0;
    virtual void simulateTouchscreen(bool simulate) = 0;
    virtual void forceWindowed() = 0;
    virtual float getScreenScale() = 0;
    virtual void handleModalViewDismissal() = 0;

    // Reached from the operating-system layer through ZCore.
    virtual void handleOSQuit() = 0;
    virtual void handleOSMinimize() = 0;
    virtual bool handleOSFocus(bool gained) = 0;
    virtual void dispatchZEvent(ZEvent* event) = 0;
};
