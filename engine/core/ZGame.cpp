#include "ZGame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ZCore.h"
#include "ZManagedBitmapFontList.h"
#include "ZManagedFontList.h"
#include "ZManagedGraphicList.h"
#include "ZManagedModelList.h"
#include "ZManagedSampleList.h"
#include "ZManagedShaderList.h"
#include "ZManagedVideoList.h"
#include "ZMiscTools.h"
#include "ZSysDebug.h"
#include "ZSysThread.h"
#include "ZWindow.h"

ZGame* ZGame::g_lpGame = nullptr;

namespace {

// A failed start or a fatal file error must not look like a clean exit to the caller.
const int kExitFailure = 1;

struct BuiltinString {
    const char* id;
    const char* text;
};

const BuiltinString kBuiltinStrings[] = {
    {"BUILTIN_ERR_FILE", "Error opening file: %s"},
    {"BUILTIN_REPORT_CAPTION", "Crash report"},
    {"BUILTIN_ASSERTION", "Assertion failed at %s:%d"},
    {"BUILTIN_CRASH", "Exception 0x%08x (%s)"},
    {"BUILTIN_CRASH_PARAM", "Exception data: 0x%08x"},
    {"BUILTIN_REPORT_BODY", "OS: %s\nRenderer: %s\n\nStack trace:"},
    {"BUILTIN_REPORT_SEND", "Report to developer"},
    {"BUILTIN_REPORT_QUIT", "Quit"},
    {"BUILTIN_REPORT_EMAIL_SUBJECT", "%s crash report"},
};

// Appends text to a NUL-terminated buffer of size bytes, cutting what does not fit.
void appendBounded(char* buffer, size_t size, const char* text) {
    size_t used = strlen(buffer);
    if (used + 1 >= size) return;
    size_t length = std::min(strlen(text), size - 1 - used);
    memcpy(buffer + used, text, length);
    buffer[used + length] = 0;
}

const char* rendererName(long renderer) {
    switch (renderer) {
        case eRendererDirectX8:
            return "DirectX8";
        case eRendererOpenGL:
            return "OpenGL";
        case eRendererDirectX9:
            return "DirectX9";
        default:
            return "Unknown";
    }
}

}  // namespace

ZGame::ZGame() {
    m_stateFolder[0] = 0;
    m_crashAddress[0] = 0;
    m_graphics = new ZManagedGraphicList();
    m_fonts = new ZManagedFontList();
    m_bitmapFonts = new ZManagedBitmapFontList();
    m_samples = new ZManagedSampleList();
    m_videos = new ZManagedVideoList();
    m_shaders = new ZManagedShaderList();
    m_models = new ZManagedModelList();
    g_lpGame = this;
}

ZGame::~ZGame() {
    if (m_window) {
        delete m_window;
        m_window = nullptr;
    }
    freeStringTable();
    g_lpGame = nullptr;
    delete m_models;
    delete m_shaders;
    delete m_videos;
    delete m_samples;
    delete m_bitmapFonts;
    delete m_fonts;
    delete m_graphics;
}

bool ZGame::initialize() {
    if (m_window) {
        delete m_window;
        m_window = nullptr;
    }

    snprintf(m_stateFolder, sizeof(m_stateFolder) - 1, "%s/%s", ZMiscTools::getPreferencesFolder(),
             getSafeDeveloperName());
    ZMiscTools::cleanPath(m_stateFolder);
    ZMiscTools::createDirectory(m_stateFolder);
    appendBounded(m_stateFolder, sizeof(m_stateFolder), "/");
    appendBounded(m_stateFolder, sizeof(m_stateFolder), getSafeGameName());
    ZMiscTools::cleanPath(m_stateFolder);
    ZMiscTools::createDirectory(m_stateFolder);
    ZCore::logMessage("Game: state path is %s", m_stateFolder);

    m_window = createGameWindow();
    if (!m_window) return false;
    if (!loadGame()) {
        freeStringTable();
        destroyGameWindow(m_window);
        m_window = nullptr;
        return false;
    }
    return true;
}

void ZGame::cleanup() {
    if (!m_window) return;
    unloadGame();
    freeStringTable();
    destroyGameWindow(m_window);
    m_window = nullptr;
}

void ZGame::main() {
    if (!initialize()) return;
    run();
    cleanup();
}

void ZGame::beginFrame() {
    if (!m_window) return;
    m_window->processEvents();
    m_frameTime = m_window->getFrameTime() * m_timeScale;
    m_tickAccumulator = std::max(-200.0, m_tickAccumulator - m_frameTime);
    if (m_tickAccumulator < 0) {
        m_tickCount = static_cast<long>(std::trunc(-m_tickAccumulator / 10.0));
        m_tickAccumulator += m_tickCount * 10.0;
    } else {
        m_tickCount = 0;
    }
}

void ZGame::endFrame(bool waitWhileInactive) {
    if (m_window) m_window->setWorldView(0, 0, 0, 1.0f, false);
    onEndFrame();
    ZSysThread::sleep(0);
    if (m_window) m_window->flipBackBuffer(waitWhileInactive, true);
}

void ZGame::resetFrameLoop() {
    if (m_window) m_window->resetFrameTime();
    m_tickAccumulator = 0;
    m_tickCount = 0;
    m_frameTime = 0;
}

void ZGame::abortOnFile(const char* path) {
    char message[1024];
    snprintf(message, sizeof(message) - 1, getBuiltinString("BUILTIN_ERR_FILE"), path);
    ZCore::logMessage("Game: error opening file: %s", path);
    ZMiscTools::alertBox(getGameName(), message, getBuiltinString("BUILTIN_REPORT_QUIT"), nullptr);
    exit(kExitFailure);
}

const char* ZGame::getBuiltinString(const char* id) {
    for (const BuiltinString& entry : kBuiltinStrings) {
        if (strcmp(entry.id, id) == 0) return entry.text;
    }
    ZCore::logMessage("Game: unknown built-in string ID '%s'", id);
    return nullptr;
}

const char* ZGame::getString(const char* key) {
    for (long i = 0; i < m_stringCount; i++) {
        if (strcmp(m_stringKeys[i], key) == 0) return m_stringValues[i];
    }
    return nullptr;
}

const char* ZGame::getStringByIndex(long index) {
    if (index < 0 || index >= m_stringCount) return nullptr;
    return m_stringValues[index];
}

const char* ZGame::getStringId(long index) {
    if (index < 0 || index >= m_stringCount) return nullptr;
    return m_stringKeys[index];
}

void ZGame::freeStringTable() {
    for (long i = 0; i < m_stringCount; i++) {
        if (m_stringOwned && m_stringOwned[i]) free(m_stringValues[i]);
        if (i >= m_stringFileCount) free(m_stringKeys[i]);
    }
    free(m_stringKeys);
    free(m_stringValues);
    free(m_stringOwned);
    free(m_stringKeyBlock);
    free(m_stringValueBlock);
    m_stringKeys = m_stringValues = nullptr;
    m_stringOwned = nullptr;
    m_stringKeyBlock = m_stringValueBlock = nullptr;
    m_stringCount = m_stringFileCount = 0;
}

void ZGame::enableCrashReporter(bool enable, const char* address) {
    if (enable) {
        strncpy(m_crashAddress, address ? address : "", sizeof(m_crashAddress) - 1);
        m_crashAddress[sizeof(m_crashAddress) - 1] = 0;
        ZSysDebug::catchExceptions(crashHandler);
    } else {
        m_crashAddress[0] = 0;
        ZSysDebug::catchExceptions(nullptr);
    }
}

void ZGame::composePath(const char* prefix, const char* name, char* out, unsigned long size) {
    if (size == 0) return;
    if (*name == ':' || *name == '\\') name++;
    out[0] = 0;
    if (*name != '/') {
        appendBounded(out, size, prefix);
        size_t length = strlen(prefix);
        if (length > 0 && prefix[length - 1] != '/' && prefix[length - 1] != '\\')
            appendBounded(out, size, "/");
    }
    appendBounded(out, size, name);
    ZMiscTools::cleanPath(out);
}

void ZGame::enquoteMessage(const char* src, char* dst, unsigned long size) {
    if (size == 0) return;
    static const char kHex[] = "0123456789abcdef";
    unsigned long used = 0;
    for (; *src && used + 3 < size; src++) {
        unsigned char c = static_cast<unsigned char>(*src);
        if (c < 32 || c > 127) {
            dst[used++] = '%';
            dst[used++] = kHex[c >> 4];
            dst[used++] = kHex[c & 15];
        } else {
            dst[used++] = static_cast<char>(c);
        }
    }
    dst[used] = 0;
}

void ZGame::crashHandler(bool assertion, unsigned long code, const char* name, bool hasParameter,
                         unsigned long parameter, const char* file, long line, long stackDepth,
                         const unsigned long* stackAddresses, const char* const* stackSymbols) {
    ZGame* game = g_lpGame;
    if (!game) exit(kExitFailure);
    if (game->m_window) {
        game->m_window->setCallBack(nullptr);
        game->m_window->setZOZCallBack(nullptr);
    }

    char message[1024] = {0};
    char piece[256];
    if (assertion) {
        snprintf(piece, sizeof(piece), game->getBuiltinString("BUILTIN_ASSERTION"), file,
                 static_cast<int>(line));
        appendBounded(message, sizeof(message), piece);
        appendBounded(message, sizeof(message), "\n");
    } else {
        snprintf(piece, sizeof(piece), game->getBuiltinString("BUILTIN_CRASH"),
                 static_cast<unsigned>(code), name);
        appendBounded(message, sizeof(message), piece);
        appendBounded(message, sizeof(message), "\n");
        if (hasParameter) {
            snprintf(piece, sizeof(piece), game->getBuiltinString("BUILTIN_CRASH_PARAM"),
                     static_cast<unsigned>(parameter));
            appendBounded(message, sizeof(message), piece);
            appendBounded(message, sizeof(message), "\n");
        }
    }
    snprintf(piece, sizeof(piece), game->getBuiltinString("BUILTIN_REPORT_BODY"),
             ZMiscTools::getOSVersion(), rendererName(ZCore::getRenderer()));
    appendBounded(message, sizeof(message), piece);
    appendBounded(message, sizeof(message), "\n");
    for (long i = 0; i < stackDepth; i++) {
        snprintf(piece, sizeof(piece), "%ld: 0x%08lx (%s)\n", i, stackAddresses[i],
                 stackSymbols[i]);
        appendBounded(message, sizeof(message), piece);
    }
    ZCore::logMessage("Game: crash\n\n%s", message);

    if (ZMiscTools::alertBox(game->getBuiltinString("BUILTIN_REPORT_CAPTION"), message,
                             game->getBuiltinString("BUILTIN_REPORT_SEND"),
                             game->getBuiltinString("BUILTIN_REPORT_QUIT")) == 1)
        exit(kExitFailure);

    char subject[256];
    snprintf(subject, sizeof(subject), game->getBuiltinString("BUILTIN_REPORT_EMAIL_SUBJECT"),
             game->getGameName());
    char mail[4096];
    snprintf(mail, sizeof(mail), "mailto:%s?subject=%s&body=%s", game->m_crashAddress, subject,
             message);
    char url[4096 * 3];
    enquoteMessage(mail, url, sizeof(url));
    ZMiscTools::launchURL(url, false);
    exit(kExitFailure);
}
