#pragma once

#include <cstdarg>

class ZWindow;
class ZGraphic;
class ZBatch;
class ZPixelShader;
struct ZEvent;
class ZSoundBase;
class ZVideoBase;

enum Erenderer {
    eRendererDirectX8 = 0,
    eRendererOpenGL = 1,
    eRendererDirectX9 = 3,
};

typedef ZSoundBase* (*ZSoundFactory)();
typedef ZVideoBase* (*ZVideoFactory)();

// The engine's static facade: the process-wide log, the single-instance check, the object
// factories and the entry points through which the OS layer reaches the one game window.
class ZCore {
public:
    static void enableLog(const char* path, const char* gameName, const char* gameVersion,
                          bool console);
    static void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static void vlogMessage(const char* format, va_list args);
    static void disableLog();

    static bool checkGameInstance(const char* identifier);

    static ZWindow* createZWindow(Erenderer renderer, bool depthBuffer, bool stencil);
    static Erenderer getRenderer();
    // Renderer objects of the OpenGL renderer (null for any other); owned by the caller.
    // createZGraphic may be called on any thread.
    static ZGraphic* createZGraphic();
    static ZBatch* createZBatch();
    static ZPixelShader* createZPixelShader();
    // Factories that replace the renderer's own (a recording renderer in tests); null restores
    // the renderer's.
    static void setRenderFactories(ZGraphic* (*graphic)(), ZBatch* (*batch)());

    static void registerNewZSound(ZSoundFactory factory);
    static ZSoundBase* createZSound();
    static void registerNewZVideo(ZVideoFactory factory);
    static ZVideoBase* createZVideo();

    static void cleanup();
    static void forgetZWindow();
    static ZWindow* getZWindow();

    static void handleOSQuit();
    static void handleOSMinimize();
    static void handleOSFocus(bool gained);
    static void handleModalViewDismissal();
    static void dispatchEventToWindow(ZEvent* event);
};
