#include "ZCore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "ZBatchGL.h"
#include "ZGraphicGL.h"
#include "ZMiscTools.h"
#include "ZPixelShaderGL.h"
#include "ZSysDebug.h"
#include "ZSysMacOSX.h"
#include "ZWindow.h"
#include "ZWindowGL.h"

namespace {

const size_t kMessageSize = 1023;
const size_t kLineSize = 1035;
const size_t kPreOpenSize = 8192;

// One lock serialises every line, so lines from loader threads never interleave.
std::mutex g_logMutex;
FILE* g_logFile = nullptr;
bool g_logConsole = false;
bool g_logExitRegistered = false;
char g_preOpenBuffer[kPreOpenSize];
size_t g_preOpenCount = 0;

Erenderer g_renderer = eRendererDirectX8;
ZWindow* g_window = nullptr;
ZSoundFactory g_soundFactory = nullptr;
ZVideoFactory g_videoFactory = nullptr;
ZGraphic* (*g_graphicFactory)() = nullptr;
ZBatch* (*g_batchFactory)() = nullptr;

// Called with the log lock held.
void writeLogLine(const char* format, va_list args) {
    char message[kMessageSize];
    vsnprintf(message, sizeof(message), format, args);

    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char line[kLineSize];
    snprintf(line, sizeof(line), "%02d:%02d:%02d: %s\n", local.tm_hour, local.tm_min, local.tm_sec,
             message);

    if (g_logFile) {
        fputs(line, g_logFile);
        fflush(g_logFile);
    } else {
        size_t length = strlen(line);
        size_t room = kPreOpenSize - g_preOpenCount;
        if (length > room) length = room;
        memcpy(g_preOpenBuffer + g_preOpenCount, line, length);
        g_preOpenCount += length;
    }
    if (g_logConsole) {
        fputs(line, stderr);
        fflush(stderr);
    }
}

void writeLogLineF(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLogLine(format, args);
    va_end(args);
}

void closeLogAtExit() {
    ZCore::disableLog();
}

}  // namespace

// The process-wide singletons of the OS layer, constructed before main in this order.
static ZMiscTools g_miscToolsInstance;
static ZSysDebug g_sysDebugInstance;
static ZSysMacOSX g_sysMacOSXInstance;

void ZCore::enableLog(const char* path, const char* gameName, const char* gameVersion,
                      bool console) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_logConsole = console;
    if (g_logFile) return;
    g_logFile = fopen(path, "w");
    if (!g_logFile) return;

    writeLogLineF("Start log: %s %s", gameName ? gameName : "", gameVersion ? gameVersion : "");
    if (g_preOpenCount > 0) {
        fwrite(g_preOpenBuffer, 1, g_preOpenCount, g_logFile);
        fflush(g_logFile);
        if (g_logConsole) {
            fwrite(g_preOpenBuffer, 1, g_preOpenCount, stderr);
            fflush(stderr);
        }
        g_preOpenCount = 0;
    }
    if (!g_logExitRegistered) {
        g_logExitRegistered = true;
        atexit(closeLogAtExit);
    }
}

void ZCore::logMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vlogMessage(format, args);
    va_end(args);
}

void ZCore::vlogMessage(const char* format, va_list args) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    writeLogLine(format, args);
}

void ZCore::disableLog() {
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (!g_logFile) return;
    writeLogLineF("End log");
    fclose(g_logFile);
    g_logFile = nullptr;
}

bool ZCore::checkGameInstance(const char*) {
    return false;
}

ZWindow* ZCore::createZWindow(Erenderer renderer, bool depthBuffer, bool stencil) {
    if (renderer != eRendererOpenGL) return nullptr;
    g_renderer = renderer;
    g_window = new ZWindowGL(depthBuffer, stencil);
    return g_window;
}

Erenderer ZCore::getRenderer() {
    return g_renderer;
}

void ZCore::setRenderFactories(ZGraphic* (*graphic)(), ZBatch* (*batch)()) {
    g_graphicFactory = graphic;
    g_batchFactory = batch;
}

ZGraphic* ZCore::createZGraphic() {
    if (g_graphicFactory) return g_graphicFactory();
    return g_renderer == eRendererOpenGL ? new ZGraphicGL() : nullptr;
}

ZBatch* ZCore::createZBatch() {
    if (g_batchFactory) return g_batchFactory();
    return g_renderer == eRendererOpenGL ? new ZBatchGL() : nullptr;
}

ZPixelShader* ZCore::createZPixelShader() {
    return g_renderer == eRendererOpenGL ? new ZPixelShaderGL() : nullptr;
}

void ZCore::registerNewZSound(ZSoundFactory factory) {
    g_soundFactory = factory;
}

ZSoundBase* ZCore::createZSound() {
    return g_soundFactory ? g_soundFactory() : nullptr;
}

void ZCore::registerNewZVideo(ZVideoFactory factory) {
    g_videoFactory = factory;
}

ZVideoBase* ZCore::createZVideo() {
    return g_videoFactory ? g_videoFactory() : nullptr;
}

void ZCore::cleanup() {
    g_window = nullptr;
    ZMiscTools::cleanup();
}

void ZCore::forgetZWindow() {
    g_window = nullptr;
}

ZWindow* ZCore::getZWindow() {
    return g_window;
}

void ZCore::handleOSQuit() {
    if (g_window) g_window->handleOSQuit();
}

void ZCore::handleOSMinimize() {
    if (g_window) g_window->handleOSMinimize();
}

void ZCore::handleOSFocus(bool gained) {
    if (g_window) g_window->handleOSFocus(gained);
}

void ZCore::handleModalViewDismissal() {
    if (g_window) g_window->handleModalViewDismissal();
}

void ZCore::dispatchEventToWindow(ZEvent* event) {
    if (g_window) g_window->dispatchZEvent(event);
}
