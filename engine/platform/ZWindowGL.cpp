#include "ZWindowGL.h"

#include <SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "TazelApplication.h"
#include "TazelApplicationDelegate.h"
#include "TazelKeyCodes.h"
#include "TazelMainThreadQueue.h"
#include "ZBatchGL.h"
#include "ZCore.h"
#include "ZDisplayModeSearch.h"
#include "ZFramebufferGL.h"
#include "ZGLContextGL.h"
#include "ZGLExtensions.h"
#include "ZGestureArea.h"
#include "ZGraphic.h"
#include "ZGraphicGL.h"
#include "ZImage.h"
#include "ZInput.h"
#include "ZMiscTools.h"
#include "ZPixelShaderGL.h"
#include "ZScissorBox.h"
#include "ZSetting.h"
#include "ZSysMacOSX.h"
#include "ZText.h"
#include "ZTouchTranslator.h"

namespace {

const long kLastPortableKey = 101;

long monotonicMilliseconds(void*) {
    return static_cast<long>(ZMiscTools::getMilliseconds());
}

void sleepOneMillisecond(void*) {
    SDL_Delay(1);
}

void* glProcAddress(const char* name) {
    return SDL_GL_GetProcAddress(name);
}

// The names of the shared objects mapped now.
std::set<std::string> loadedLibraries() {
    std::set<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            if (info->dlpi_name && info->dlpi_name[0])
                static_cast<std::set<std::string>*>(data)->insert(info->dlpi_name);
            return 0;
        },
        &names);
    return names;
}

// The GL driver keeps caches in its own globals for the life of the process (its first draw from
// client-side arrays fills one, which the drawn pointer does). At exit SDL closes the display and
// the vendor library unloads the driver with those caches still held: the leak check that runs
// last then finds them unreachable, in a library it can no longer name. The libraries that came
// in with the window and its context stay mapped until the process ends instead.
void keepLibrariesLoaded(const std::set<std::string>& before) {
    for (const std::string& name : loadedLibraries())
        if (!before.count(name)) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

bool hasExtension(const char* extensions, const char* name) {
    if (!extensions) return false;
    size_t length = strlen(name);
    for (const char* at = strstr(extensions, name); at; at = strstr(at + 1, name)) {
        bool starts = at == extensions || at[-1] == ' ';
        bool ends = at[length] == ' ' || at[length] == 0;
        if (starts && ends) return true;
    }
    return false;
}

// Depth of an SDL pixel format in the sense of the display mode's bits per pixel: a 24-bit
// colour format stored in 32-bit pixels counts as 32.
long formatDepth(Uint32 format) {
    return SDL_BYTESPERPIXEL(format) * 8;
}

// The main display's modes; sdlIndices, when given, receives each mode's number in SDL's list.
std::vector<ZDisplayModeSearch::Mode> displayModes(std::vector<int>* sdlIndices = nullptr) {
    std::vector<ZDisplayModeSearch::Mode> modes;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; i++) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        ZDisplayModeSearch::Mode entry;
        entry.width = mode.w;
        entry.height = mode.h;
        entry.depth = formatDepth(mode.format);
        entry.refreshRate = mode.refresh_rate ? mode.refresh_rate : 60;
        // Every mode the display lists is one it can show: all count as preferred.
        entry.flags = ZDisplayModeSearch::kPreferredFlag;
        modes.push_back(entry);
        if (sdlIndices) sdlIndices->push_back(i);
    }
    return modes;
}

// The refresh rate of the display the window is on, 60 when it is not known.
long displayRefreshRate(SDL_Window* window) {
    int display = window ? SDL_GetWindowDisplayIndex(window) : 0;
    SDL_DisplayMode mode;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate <= 0)
        return 60;
    return mode.refresh_rate;
}

// The desktop can be asked about before the window exists.
bool videoReady() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    ZCore::logMessage("OpenGL: no display to open a window on (%s), ERROR", SDL_GetError());
    return false;
}

TazelApplicationDelegate* appDelegate() {
    return TazelApplication::sharedApplication().getDelegate();
}

// UTF-8 text into UTF-16 code units.
std::vector<uint16_t> utf16Units(const char* text) {
    std::vector<uint16_t> units;
    const unsigned char* c = reinterpret_cast<const unsigned char*>(text);
    while (*c) {
        uint32_t code;
        int extra;
        if (*c < 0x80) {
            code = *c;
            extra = 0;
        } else if ((*c & 0xE0) == 0xC0) {
            code = *c & 0x1F;
            extra = 1;
        } else if ((*c & 0xF0) == 0xE0) {
            code = *c & 0x0F;
            extra = 2;
        } else if ((*c & 0xF8) == 0xF0) {
            code = *c & 0x07;
            extra = 3;
        } else {
            c++;
            continue;
        }
        c++;
        bool valid = true;
        for (int i = 0; i < extra; i++, c++) {
            if ((*c & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = (code << 6) | (*c & 0x3F);
        }
        if (!valid) continue;
        if (code >= 0x10000) {
            code -= 0x10000;
            units.push_back(static_cast<uint16_t>(0xD800 + (code >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(code));
        }
    }
    return units;
}

}  // namespace

ZWindowGL::ZWindowGL(bool depthBuffer, bool stencil)
    : m_depthBuffer(depthBuffer), m_stencil(stencil) {
    m_adapterName[0] = 0;
    m_title[0] = 0;
    m_timer.setClock(monotonicMilliseconds, sleepOneMillisecond, nullptr);
}

ZWindowGL::~ZWindowGL() {
    // The renderer's objects live in this window's context; a window that never made one
    // leaves them to the window that did. The text faces' batch goes before the batches do.
    if (m_context) ZText::cleanup();
    ZInput::cleanup();
    if (m_context) {
        ZBatchGL::cleanup();
        ZGraphicGL::cleanup();
    }
    cleanup();
}

void ZWindowGL::setRequirements(long minTextureSize, unsigned long, long flags) {
    m_minTextureSize = minTextureSize;
    m_requirementFlags = flags;
}

long ZWindowGL::getDesktopWidth() {
    if (!videoReady()) return 0;
    SDL_DisplayMode mode;
    return SDL_GetCurrentDisplayMode(0, &mode) == 0 ? mode.w : 0;
}

long ZWindowGL::getDesktopHeight() {
    if (!videoReady()) return 0;
    SDL_DisplayMode mode;
    return SDL_GetCurrentDisplayMode(0, &mode) == 0 ? mode.h : 0;
}

long ZWindowGL::getDesktopDisplayFrequency() {
    if (m_displayState == 1) return m_desktopRefresh;
    SDL_DisplayMode mode;
    if (!videoReady() || SDL_GetCurrentDisplayMode(0, &mode) != 0 || mode.refresh_rate == 0)
        return 60;
    return mode.refresh_rate;
}

bool ZWindowGL::checkWindowedMode(long width, long height) {
    SDL_Rect usable;
    if (!videoReady() || SDL_GetDisplayUsableBounds(0, &usable) != 0) return false;
    int top = 0;
    if (m_window) SDL_GetWindowBordersSize(m_window, &top, nullptr, nullptr, nullptr);
    return ZGameArea::fitsWindowed(usable.w, usable.h, width, height, top);
}

void ZWindowGL::setActualWindowedSize(long width, long height) {
    m_actualWindowedSizeSet = true;
    m_actualWindowedWidth = width;
    m_actualWindowedHeight = height;
}

void ZWindowGL::setTitle(const char* title) {
    strncpy(m_title, title ? title : "", sizeof(m_title) - 1);
    m_title[sizeof(m_title) - 1] = 0;
    if (m_window) SDL_SetWindowTitle(m_window, m_title);
}

bool ZWindowGL::hasFocus() {
    if (!m_window) return true;
    return (SDL_GetWindowFlags(m_window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void ZWindowGL::minimize() {
    if (m_window) SDL_MinimizeWindow(m_window);
}

void ZWindowGL::restore() {
    if (m_window && (SDL_GetWindowFlags(m_window) & SDL_WINDOW_MINIMIZED))
        SDL_RestoreWindow(m_window);
}

void ZWindowGL::getAdapterName(char* name, long size) {
    if (!name || size <= 0) return;
    strncpy(name, m_adapterName, size - 1);
    name[size - 1] = 0;
}

bool ZWindowGL::getMaxTextureSize(long& width, long& height) {
    width = height = m_maxTextureSize;
    return true;
}

void ZWindowGL::setMaxFrameRate(long rate) {
    m_timer.setMaxFrameRate(rate);
    if (m_context) applySwapInterval();
}

void ZWindowGL::applySwapInterval() {
    int interval = m_timer.getMaxFrameRate() < 0 ? 0 : 1;
    bool refused = SDL_GL_SetSwapInterval(interval) != 0;
    if (interval == 0) {
        if (refused)
            ZCore::logMessage("OpenGL: swap interval 0 refused (%s), WARNING", SDL_GetError());
        return;
    }
    // Without the display's sync the loop would draw as fast as it can (thousands of frames a
    // second, a core and the display server kept busy): the flip paces to the refresh instead.
    long rate = refused ? displayRefreshRate(m_window) : 0;
    m_timer.setSoftwareSyncRate(rate);
    if (refused && !m_softwareSyncLogged) {
        m_softwareSyncLogged = true;
        ZCore::logMessage("OpenGL: swap interval 1 refused (%s), frames paced to %ld Hz, WARNING",
                          SDL_GetError(), rate);
    }
}

bool ZWindowGL::canDisplayMouse() {
    if (m_quit) return false;
    if (m_displayState == 0 && m_pointerOutside && !isConfined()) return false;
    return !ZSysMacOSX::isModalViewDisplayed();
}

void ZWindowGL::enumerateDisplays(ZDisplayCallback callback) {
    if (!callback || !videoReady()) return;
    for (const ZDisplayModeSearch::Mode& mode : displayModes()) {
        if (mode.depth < 16) continue;
        ZDisplay display = {mode.width, mode.height, mode.depth, mode.refreshRate};
        if (!callback(&display)) break;
    }
}

void ZWindowGL::simulateTouchscreen(bool simulate) {
    m_touchSimulation = simulate;
    ZInput::simulateTouchscreen(simulate);
}

void ZWindowGL::forceWindowed() {
    if (!isFullScreenState()) return;
    toggleFullScreen(false);
    m_reenterFullScreen = true;
}

void ZWindowGL::handleModalViewDismissal() {
    if (m_displayState == 2 && m_window)
        SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void ZWindowGL::handleOSMinimize() {
    if (isFullScreenState() && hasOwnWindow()) forceWindowed();
}

// ---- Creation, full screen and clean-up ----

void ZWindowGL::readDesktopMode() {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return;
    m_desktopWidth = mode.w;
    m_desktopHeight = mode.h;
    m_desktopDepth = formatDepth(mode.format);
    m_desktopRefresh = mode.refresh_rate ? mode.refresh_rate : 60;
}

void ZWindowGL::checkWideScreen(long desktopWidth, long desktopHeight, long& width, long& height) {
    m_area.checkWideScreen(desktopWidth, desktopHeight, width, height, m_displayState,
                           m_fixedAspectRatio, m_actualWindowedSizeSet, m_actualWindowedWidth,
                           m_actualWindowedHeight);
}

bool ZWindowGL::createGameWindow(long width, long height, long depth, bool windowed,
                                 const char* title, long) {
    cleanup();

    bool asWindow = windowed || m_hostView;
    ZCore::logMessage("OpenGL: creating %dx%d game window (%s mode)", static_cast<int>(width),
                      static_cast<int>(height), asWindow ? "windowed" : "fullscreen");
    m_area.reset(width, height);
    m_displayState = asWindow ? 0 : (m_fullscreenWindow ? 2 : 1);
    m_pointerDissociated = false;
    m_reenterFullScreen = false;
    m_skipOneInactiveWait = false;
    m_hidePointerOnActivation = false;
    setTitle(title);

    if (!videoReady()) return false;
    readDesktopMode();
    int mouseX = 0, mouseY = 0;
    SDL_GetGlobalMouseState(&mouseX, &mouseY);
    long w = width, h = height;
    checkWideScreen(m_desktopWidth, m_desktopHeight, w, h);
    m_area.setDisplaySize(w, h);

    // The pixel format: double buffered, the desktop's colour depth, a 16-bit depth buffer
    // when asked for and a stencil buffer when asked for.
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    int channel = depth >= 24 ? 8 : 5;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, m_depthBuffer ? 16 : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, m_stencil ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (m_displayState == 2) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    if (m_displayState == 1) x = y = 0;
    std::set<std::string> librariesBefore = loadedLibraries();
    m_window = SDL_CreateWindow(m_title, x, y, static_cast<int>(w), static_cast<int>(h), flags);
    const char* kind = m_displayState == 0 ? "windowed" : "fullscreen";
    if (!m_window) {
        ZCore::logMessage(
            "OpenGL: couldn't find suitable pixel format for %d bpp doublebuffer, %s, %s, ERROR",
            static_cast<int>(depth), m_depthBuffer ? "depth buffer" : "no depth buffer", kind);
        cleanup();
        return false;
    }
    m_context = SDL_GL_CreateContext(m_window);
    if (!m_context) {
        ZCore::logMessage("OpenGL: couldn't create context for %d bpp doublebuffer, %s, ERROR",
                          static_cast<int>(depth), kind);
        cleanup();
        return false;
    }
    keepLibrariesLoaded(librariesBefore);
    ZCore::logMessage("OpenGL: %s doublebuffer context created", kind);
    ZGLExtensions::load(glProcAddress);
    m_mainContext = new (std::nothrow) ZGLContextGL(nullptr, w, h);
    m_currentContext = m_mainContext;
    if (!m_mainContext) {
        ZCore::logMessage("OpenGL: couldn't create context for %d bpp doublebuffer, %s, ERROR",
                          static_cast<int>(depth), kind);
        cleanup();
        return false;
    }

    if (m_displayState == 1 && !setDisplayMode(w, h, depth)) {
        ZCore::logMessage("OpenGL: failed to switch to fullscreen, continuing in windowed mode");
        m_displayState = 0;
        m_area.reset(width, height);
        m_area.setDisplaySize(width, height);
        SDL_SetWindowSize(m_window, static_cast<int>(width), static_cast<int>(height));
        SDL_SetWindowPosition(m_window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    if (SDL_GL_MakeCurrent(m_window, m_context) != 0) {
        cleanup();
        return false;
    }

    SDL_ShowWindow(m_window);
    SDL_RaiseWindow(m_window);
    SDL_StartTextInput();
    m_viewWidth = m_area.getGameWidth();
    m_viewHeight = m_area.getGameHeight();

    setupGLState();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    flipBackBuffer(true, true);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    flipBackBuffer(true, true);

    ZCore::logMessage("OpenGL: game window successfully created, actual size is %dx%d",
                      static_cast<int>(m_area.getActualWidth()),
                      static_cast<int>(m_area.getActualHeight()));
    probeCapabilities();

    m_renderTargetActive = false;
    setupRenderer();
    // The captured pointer counts from the bottom of the window, which sits at 0, 0 while the
    // display is captured.
    initializeInput(mouseX, m_area.getDisplayHeight() - mouseY);
    if (m_pointerDissociated) ZInput::updateCapturedMouse(0, 0);
    ZMiscTools::setZWindow(this);
    ZGestureArea::setup(this);

    if (m_maxTextureSize < m_minTextureSize) {
        ZCore::logMessage("OpenGL: minimum requirement of %dx%d textures not met, ERROR",
                          static_cast<int>(m_minTextureSize), static_cast<int>(m_minTextureSize));
        cleanup();
        return false;
    }
    if (m_requirementFlags & 1) {
        ZGraphic* probe = ZCore::createZGraphic();
        bool made = probe && probe->makeRenderTarget(256, 256, true, true, false);
        delete probe;
        if (!made) {
            ZCore::logMessage("OpenGL: render target test failed");
            ZCore::logMessage(
                "OpenGL: minimum requirement of render targets support not met, ERROR");
            cleanup();
            return false;
        }
    }

    applySwapInterval();
    if (m_depthBuffer) {
        GLint bits = 0;
        glGetIntegerv(GL_DEPTH_BITS, &bits);
        ZCore::logMessage("OpenGL: %d depth buffer bits", static_cast<int>(bits));
    }
    if (m_stencil) {
        GLint bits = 0;
        glGetIntegerv(GL_STENCIL_BITS, &bits);
        ZCore::logMessage("OpenGL: %d stencil buffer bits", static_cast<int>(bits));
    }
    resetFrameTime();
    processEvents();
    return true;
}

void ZWindowGL::setupGLState() {
    resetFixedFunctionState();
    applyGameAreaViewport(true);
}

// Smooth shading, no depth test, culling, lighting or texture-coordinate generation, and the
// orthographic projection over the game size.
void ZWindowGL::resetFixedFunctionState() {
    glShadeModel(GL_SMOOTH);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, m_area.getGameWidth(), 0, m_area.getGameHeight(), 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void ZWindowGL::applyGameAreaViewport(bool scissorWhenScaled) {
    glViewport(static_cast<GLint>(m_area.getXOffset()), static_cast<GLint>(m_area.getYOffset()),
               static_cast<GLsizei>(m_area.getActualWidth()),
               static_cast<GLsizei>(m_area.getActualHeight()));
    applyGameAreaScissor(scissorWhenScaled);
}

void ZWindowGL::applyGameAreaScissor(bool whenScaled) {
    if (whenScaled && m_area.isScaled()) {
        glScissor(static_cast<GLint>(m_area.getXOffset()), static_cast<GLint>(m_area.getYOffset()),
                  static_cast<GLsizei>(m_area.getActualWidth()),
                  static_cast<GLsizei>(m_area.getActualHeight()));
        glEnable(GL_SCISSOR_TEST);
    } else {
        glDisable(GL_SCISSOR_TEST);
    }
}

void ZWindowGL::probeCapabilities() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    double number = version ? strtod(version, nullptr) : 0;
    if (number <= 0) number = 1.0;
    ZCore::logMessage("OpenGL: system supports version %g", number);

    const char* vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    strncpy(m_adapterName, renderer ? renderer : "", sizeof(m_adapterName) - 1);
    m_adapterName[sizeof(m_adapterName) - 1] = 0;
    ZCore::logMessage("OpenGL: display adapter is '%s' '%s'", vendor ? vendor : "", m_adapterName);

    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    m_maxTextureSize = maxTexture > 0 ? maxTexture : 1024;
    ZCore::logMessage("OpenGL: display adapter supports %dx%d textures",
                      static_cast<int>(m_maxTextureSize), static_cast<int>(m_maxTextureSize));
    GLint maxLights = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
    m_maxLights = maxLights;

    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    // The drivers report their memory through one of two extensions, in kilobytes or megabytes.
    m_videoMemoryKB = 0;
    if (hasExtension(extensions, "GL_NVX_gpu_memory_info")) {
        GLint kilobytes = 0;
        glGetIntegerv(0x9048, &kilobytes);  // total available memory
        m_videoMemoryKB = kilobytes;
    } else {
        typedef int (*QueryRenderer)(int attribute, unsigned int* value);
        QueryRenderer query = reinterpret_cast<QueryRenderer>(
            SDL_GL_GetProcAddress("glXQueryCurrentRendererIntegerMESA"));
        unsigned int megabytes = 0;
        if (query && query(0x8187, &megabytes))
            m_videoMemoryKB = static_cast<long>(megabytes) * 1024;
    }
    ZCore::logMessage("OpenGL: %d MB of VRAM detected",
                      static_cast<int>((m_videoMemoryKB + 1023) / 1024));

    m_rectangleTextures = hasExtension(extensions, "GL_NV_texture_rectangle") ||
                          hasExtension(extensions, "GL_EXT_texture_rectangle");
    m_multitexturing = hasExtension(extensions, "GL_ARB_multitexture");
    if (hasExtension(extensions, "GL_SGIS_texture_edge_clamp"))
        m_edgeClamp = 1;
    else if (number >= 1.2 || hasExtension(extensions, "GL_EXT_texture_edge_clamp"))
        m_edgeClamp = 2;
    else
        m_edgeClamp = 0;
    // A feature counts only when its entry points came too.
    m_multitexturing =
        m_multitexturing && ZGLExtensions::activeTexture && ZGLExtensions::clientActiveTexture;
    m_vertexBufferObjects = hasExtension(extensions, "GL_ARB_vertex_buffer_object") &&
                            ZGLExtensions::genBuffers && ZGLExtensions::deleteBuffers &&
                            ZGLExtensions::bindBuffer && ZGLExtensions::bufferData;
    // The shaders are ARB fragment programs: that extension, not the shading language, says
    // whether they run.
    m_pixelShaders = hasExtension(extensions, "GL_ARB_fragment_program") &&
                     ZGLExtensions::genPrograms && ZGLExtensions::deletePrograms &&
                     ZGLExtensions::bindProgram && ZGLExtensions::programString &&
                     ZGLExtensions::programLocalParameter4f && ZGLExtensions::getProgramiv;

    auto supported = [](bool flag) { return flag ? "supported" : "NOT supported"; };
    ZCore::logMessage("OpenGL: non-square textures are %s", supported(m_rectangleTextures));
    ZCore::logMessage("OpenGL: multitexturing is %s", supported(m_multitexturing));
    ZCore::logMessage("OpenGL: clamp to edge is %s", supported(m_edgeClamp != 0));
    ZCore::logMessage("OpenGL: VBOs are %s", supported(m_vertexBufferObjects));
    ZCore::logMessage("OpenGL: pixel shaders are %s", supported(m_pixelShaders));
    if (!m_rectangleTextures || !m_multitexturing || !m_edgeClamp || !m_pixelShaders)
        ZCore::logMessage("OpenGL: gl extensions: %s", extensions ? extensions : "");
    if (m_pixelShaders) glDisable(GL_FRAGMENT_PROGRAM_ARB);
}

void ZWindowGL::initializeInput(long mouseX, long mouseY) {
    float scaleX = m_area.getActualWidth()
                       ? static_cast<float>(m_area.getGameWidth()) / m_area.getActualWidth()
                       : 1.0f;
    float scaleY = m_area.getActualHeight()
                       ? static_cast<float>(m_area.getGameHeight()) / m_area.getActualHeight()
                       : 1.0f;
    // The pointer is read through the SDL window in every state; while the display is captured
    // the input layer reads its own captured position anyway.
    ZInput::initialize(this, m_window, nullptr, m_area.getXOffset(), m_area.getYOffset(), scaleX,
                       scaleY, m_pointerDissociated, mouseX, mouseY);
}

bool ZWindowGL::setDisplayMode(long width, long height, long depth) {
    std::vector<int> sdlIndices;
    std::vector<ZDisplayModeSearch::Mode> modes = displayModes(&sdlIndices);
    long found = ZDisplayModeSearch::find(modes, width, height, depth);
    if (found < 0) {
        ZCore::logMessage("OpenGL: no suitable mode found for %dx%dx%d, ERROR",
                          static_cast<int>(width), static_cast<int>(height),
                          static_cast<int>(depth));
        return false;
    }
    SDL_DisplayMode mode;
    SDL_GetDisplayMode(0, sdlIndices[found], &mode);
    int result = SDL_SetWindowDisplayMode(m_window, &mode);
    if (result == 0) result = SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN);
    if (result != 0) {
        ZCore::logMessage("OpenGL: CGDisplaySwitchToMode for %dx%dx%d returned %d, ERROR",
                          static_cast<int>(width), static_cast<int>(height),
                          static_cast<int>(depth), result);
        SDL_SetWindowFullscreen(m_window, 0);
        return false;
    }
    if (m_displayState == 1) {
        // The display belongs to the game: the pointer moves by relative motion from the centre.
        SDL_SetRelativeMouseMode(SDL_TRUE);
        SDL_WarpMouseInWindow(m_window, static_cast<int>(width / 2), static_cast<int>(height / 2));
        m_pointerDissociated = true;
        m_skipFirstCapturedMove = true;
    }
    ZCore::logMessage("OpenGL: switched to %dx%dx%d", static_cast<int>(width),
                      static_cast<int>(height), static_cast<int>(depth));
    return true;
}

void ZWindowGL::restoreDisplayMode() {
    if (m_pointerDissociated) {
        // The system pointer reappears where the game's captured pointer was.
        SDL_SetRelativeMouseMode(SDL_FALSE);
        m_pointerDissociated = false;
        long x = ZInput::getCapturedMouseX();
        long y = m_area.getDisplayHeight() - ZInput::getCapturedMouseY();
        if (m_window) SDL_WarpMouseInWindow(m_window, static_cast<int>(x), static_cast<int>(y));
    }
    if (m_window) SDL_SetWindowFullscreen(m_window, 0);
    ZCore::logMessage("OpenGL: switched back to windowed mode");
    SDL_ShowCursor(SDL_ENABLE);
}

bool ZWindowGL::toggleFullScreen(bool fullScreen) {
    if (fullScreen && isFullScreenState()) return true;
    if ((!fullScreen || !hasOwnWindow()) && m_displayState == 0) return true;

    long mouseX = ZInput::getRealMouseX(), mouseY = ZInput::getRealMouseY();
    long w = m_area.getGameWidth(), h = m_area.getGameHeight();
    long previous = m_displayState;
    // The window's own framebuffer is what changes size.
    if (m_mainContext) makeGLContextCurrent(m_mainContext);
    if (fullScreen) {
        m_displayState = m_fullscreenWindow && !m_hostView ? 2 : 1;
        m_area.reset(w, h);
        readDesktopMode();
        checkWideScreen(m_desktopWidth, m_desktopHeight, w, h);
        if (m_displayState == 2) {
            SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN_DESKTOP);
            ZCore::logMessage("OpenGL: toggled to fullscreen window, %dx%dx%d", static_cast<int>(w),
                              static_cast<int>(h), static_cast<int>(m_desktopDepth));
        } else if (setDisplayMode(w, h, m_desktopDepth)) {
            ZCore::logMessage("OpenGL: toggled to fullscreen mode, %dx%dx%d", static_cast<int>(w),
                              static_cast<int>(h), static_cast<int>(m_desktopDepth));
        } else {
            ZCore::logMessage(
                "OpenGL: failed to switch to fullscreen, continuing in windowed mode");
            m_displayState = 0;
            w = m_area.getGameWidth();
            h = m_area.getGameHeight();
            m_area.reset(w, h);
        }
        m_area.setDisplaySize(w, h);
        applyGameAreaViewport(true);
    } else {
        m_displayState = 0;
        m_area.reset(w, h);
        m_area.setDisplaySize(w, h);
        checkWideScreen(m_desktopWidth, m_desktopHeight, w, h);
        if (previous == 2) {
            SDL_SetWindowFullscreen(m_window, 0);
            SDL_SetWindowBordered(m_window, SDL_TRUE);
            SDL_SetWindowTitle(m_window, m_title);
        } else if (previous == 1) {
            restoreDisplayMode();
        }
        SDL_SetWindowSize(m_window, static_cast<int>(w), static_cast<int>(h));
        SDL_SetWindowPosition(m_window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        applyGameAreaViewport(false);
        if (previous == 2) SDL_RaiseWindow(m_window);
    }

    m_viewWidth = m_area.getGameWidth();
    m_viewHeight = m_area.getGameHeight();
    m_renderTargetActive = false;
    setupRenderer();
    initializeInput(0, 0);
    ZInput::mousePointerTo(mouseX, mouseY);
    ZMiscTools::setZWindow(this);
    ZGestureArea::setup(this);
    if (m_displayState == 0 && mouseX >= 0 && mouseY >= 0 && mouseX < m_area.getGameWidth() &&
        mouseY < m_area.getGameHeight() && m_pointerOutside && !m_resetAfterFocus && hasFocus()) {
        if (ZInput::isMousePointerHidden()) ZInput::setMousePointerHiddenState(true);
        m_pointerOutside = false;
    }

    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    flipBackBuffer(true, true);
    glClear(GL_COLOR_BUFFER_BIT);
    if (m_area.isScaled()) applyGameAreaViewport(true);
    applySwapInterval();
    resetFrameTime();
    processEvents();
    return true;
}

// Drawing into a view the host owns needs a window system handle that this platform's window
// layer does not take, so the game always has its own window and there is nothing to resize.
void ZWindowGL::resizeGameWindow(long, long) {}

void ZWindowGL::cleanup() {
    bool hadWindow = m_window != nullptr;
    // Programs are deleted while their context still exists.
    if (m_context) ZPixelShaderGL::cleanup();
    destroyRenderContexts();
    if (m_context) {
        SDL_GL_MakeCurrent(m_window, nullptr);
        SDL_GL_DeleteContext(m_context);
        m_context = nullptr;
        ZGLExtensions::clear();
    }
    if (m_displayState == 1 && m_window) restoreDisplayMode();
    if (m_window) {
        SDL_StopTextInput();
        SDL_DestroyWindow(m_window);
        m_window = nullptr;
    }
    if (hadWindow) {
        ZCore::logMessage("OpenGL: cleaned up");
        ZMiscTools::setZWindow(nullptr);
    }
}

// ---- View ----

void ZWindowGL::setWorldView(float dx, float dy, float angle, float zoom, bool clear) {
    if (!m_context) return;
    if (m_clipEnabled) setClipRect(false, 0, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (m_renderTargetActive)
        glOrtho(0, m_viewWidth, m_viewHeight, 0, 0, 1);
    else
        glOrtho(0, m_viewWidth, 0, m_viewHeight, 0, 1);
    if (clear) {
        glClearColor(m_clearColor[0], m_clearColor[1], m_clearColor[2], m_clearColor[3]);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (m_renderTargetActive) {
        long gameWidth = m_area.getGameWidth(), gameHeight = m_area.getGameHeight();
        glTranslatef(0, static_cast<float>(m_viewHeight - gameHeight), 0);
        glTranslatef(dx, dy, 0);
        glTranslatef(static_cast<float>(gameWidth / 2), static_cast<float>(gameHeight / 2), 0);
        glRotatef(angle, 0, 0, 1);
        glScalef(zoom, zoom, 1);
        glTranslatef(-static_cast<float>(gameWidth / 2), -static_cast<float>(gameHeight / 2), 0);
        glTranslatef(0, static_cast<float>(gameHeight), 0);
    } else {
        glTranslatef(static_cast<float>(m_viewWidth / 2) + dx,
                     static_cast<float>(m_viewHeight / 2) + dy, 0);
        glRotatef(angle, 0, 0, 1);
        glScalef(zoom, zoom, 1);
        glTranslatef(-static_cast<float>(m_viewWidth / 2), -static_cast<float>(m_viewHeight / 2),
                     0);
    }
}

// ---- Events ----

void ZWindowGL::processEvents() {
    if (!hasOwnWindow()) return;
    SDL_Event event;
    while (!m_quit && SDL_PollEvent(&event)) {
        // A key's text arrives as its own event right after the key; the game sees the text
        // first, then the key.
        if (event.type == SDL_KEYDOWN) {
            SDL_Event next;
            if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
                next.type == SDL_TEXTINPUT && SDL_PollEvent(&next)) {
                m_textKey = TazelKeyCodes::virtualKeyFromScancode(event.key.keysym.scancode);
                m_textModifiers =
                    TazelKeyCodes::modifierFlags(static_cast<SDL_Keymod>(event.key.keysym.mod));
                dispatchEvent(&next);
                m_textKey = 0;
                m_textModifiers = 0;
            }
        }
        dispatchEvent(&event);
    }
    // Results of other threads whose wake-up did not make it into the event queue.
    if (!m_quit) TazelMainThreadQueue::runQueued();
}

bool ZWindowGL::isConfined() {
    return m_displayState == 2 && m_fixedAspectRatio && hasOwnWindow() && hasFocus();
}

void ZWindowGL::confinePointer() {
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    int left = static_cast<int>(m_area.getXOffset());
    int top = static_cast<int>(m_area.getYOffset());
    int right = left + static_cast<int>(m_area.getActualWidth()) - 1;
    int bottom = top + static_cast<int>(m_area.getActualHeight()) - 1;
    int cx = std::min(std::max(x, left), right), cy = std::min(std::max(y, top), bottom);
    bool wasOutside = cx != x || cy != y;
    if (wasOutside) SDL_WarpMouseInWindow(m_window, cx, cy);
    if (m_softPointer && m_pointerOutside) {
        ZInput::setMousePointerHiddenState(true);
        m_pointerOutside = false;
    }
}

void ZWindowGL::handleWindowEvent(const SDL_Event& event) {
    TazelApplicationDelegate* delegate = appDelegate();
    if (event.type == SDL_QUIT) {
        if (delegate)
            delegate->applicationShouldTerminate();
        else
            ZCore::handleOSQuit();
        return;
    }
    if (event.type != SDL_WINDOWEVENT) return;
    switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            if (delegate)
                delegate->windowShouldClose();
            else
                ZCore::handleOSQuit();
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (delegate)
                delegate->applicationDidBecomeActive();
            else
                ZCore::handleOSFocus(true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (delegate)
                delegate->applicationWillResignActive();
            else
                ZCore::handleOSFocus(false);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            if (delegate)
                delegate->windowWillMiniaturize();
            else
                ZCore::handleOSMinimize();
            break;
        case SDL_WINDOWEVENT_ENTER:
            if (m_displayState != 1 && !m_resetAfterFocus && hasFocus()) {
                if (ZInput::isMousePointerHidden()) ZInput::setMousePointerHiddenState(true);
                m_pointerOutside = false;
            }
            break;
        case SDL_WINDOWEVENT_LEAVE:
            if (ZInput::isSystemPointerHidden() && !isConfined())
                ZInput::setMousePointerHiddenState(false);
            m_pointerOutside = true;
            break;
        default:
            break;
    }
}

bool ZWindowGL::dispatchEvent(void* sdlEvent) {
    const SDL_Event& event = *static_cast<SDL_Event*>(sdlEvent);

    // Another thread's result is waiting (an HTTP answer): it is the engine's, not the game's.
    if (TazelMainThreadQueue::isWakeEvent(sdlEvent)) {
        TazelMainThreadQueue::runQueued();
        return false;
    }
    // Joysticks come and go whatever the window shows, modal views included.
    if (event.type == SDL_JOYDEVICEADDED) ZInput::deviceMatchCallback(event.jdevice.which);
    if (event.type == SDL_JOYDEVICEREMOVED) ZInput::deviceTerminateCallback(event.jdevice.which);

    if (ZSysMacOSX::isModalViewDisplayed()) {
        if (m_softPointer && ZInput::isSystemPointerHidden())
            ZInput::setMousePointerHiddenState(false);
        return true;
    }
    if (m_displayState == 2 && m_fixedAspectRatio && hasOwnWindow()) {
        if (isConfined())
            confinePointer();
        else if (ZInput::isSystemPointerHidden() && m_pointerOutside)
            ZInput::setMousePointerHiddenState(false);
    }
    if (m_callback) m_callback(sdlEvent);

    if (m_pointerDissociated && event.type == SDL_MOUSEMOTION) {
        if (m_skipFirstCapturedMove)
            m_skipFirstCapturedMove = false;
        else
            ZInput::updateCapturedMouse(event.motion.xrel, event.motion.yrel);
    }

    ZEvent record;
    memset(&record, 0, sizeof(record));
    if (hasOwnWindow()) {
        record.x = ZInput::getRealMouseX();
        record.y = ZInput::getRealMouseY();
    }

    bool keyEvent = false;
    bool commandHeld = false;
    long clicks = 0;
    switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            long button = 0;
            if (event.button.button == SDL_BUTTON_LEFT)
                button = 1;
            else if (event.button.button == SDL_BUTTON_RIGHT)
                button = 2;
            else if (event.button.button == SDL_BUTTON_MIDDLE)
                button = 3;
            if (!button) break;
            bool down = event.type == SDL_MOUSEBUTTONDOWN;
            record.type = down ? kZEventMouseDown : kZEventMouseUp;
            record.button = button;
            clicks = event.button.clicks;
            ZInput::setMouseButton(button, down);
            break;
        }
        case SDL_MOUSEMOTION:
            record.type = kZEventMouseMove;
            break;
        case SDL_TEXTINPUT: {
            ZEvent character = record;
            character.virtualKey = m_textKey;
            character.modifiers = m_textModifiers;
            for (uint16_t unit : utf16Units(event.text.text)) {
                ZEvent unicode = character;
                unicode.type = kZEventUnicodeChar;
                unicode.unicode = unit;
                if (m_eventCallback) m_eventCallback(&unicode);
                if (unit < 256) {
                    ZEvent latin = character;
                    latin.type = kZEventChar;
                    latin.character = static_cast<uint8_t>(unit);
                    if (m_eventCallback) m_eventCallback(&latin);
                }
            }
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            bool down = event.type == SDL_KEYDOWN;
            keyEvent = true;
            commandHeld = (event.key.keysym.mod & KMOD_GUI) != 0;
            record.type = down ? kZEventKeyDown : kZEventKeyUp;
            record.virtualKey = TazelKeyCodes::virtualKeyFromScancode(event.key.keysym.scancode);
            record.key = static_cast<int32_t>(ZInput::getZOZKey(record.virtualKey));
            record.modifiers =
                TazelKeyCodes::modifierFlags(static_cast<SDL_Keymod>(event.key.keysym.mod));
            ZInput::setKeyState(record.key, down);
            break;
        }
        case SDL_MOUSEWHEEL: {
            float delta = event.wheel.preciseY;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
            // Clamped before it is narrowed, so a fast scroll never turns into the other way.
            double value = std::trunc(static_cast<double>(delta) * 1000.0);
            value = std::min(std::max(value, static_cast<double>(SHRT_MIN)),
                             static_cast<double>(SHRT_MAX));
            record.type = kZEventMouseWheel;
            record.wheel = static_cast<int16_t>(value);
            ZInput::setMouseWheelValue(record.wheel);
            break;
        }
        case SDL_QUIT:
        case SDL_WINDOWEVENT:
            handleWindowEvent(event);
            break;
        default:
            break;
    }

    if (record.type != 0) deliverEvent(record, clicks);
    return keyEvent ? commandHeld : true;
}

// Touch simulation turns the mouse into touches, the gestures come before the event they grow
// from, and the mouse events matching a touch follow it unless the game refused the touch.
void ZWindowGL::deliverEvent(ZEvent& record, long clicks) {
    if (m_touchSimulation) {
        convertToTouchEvent(&record, m_eventCallback);
        if (record.type == kZEventTouch)
            ZInput::processSimTouchDown(record.touchX, record.touchY, record.touchPhase);
    }
    bool accepted = true;
    if (record.type != 0) {
        ZGestureArea::generateGestureEvents(&record, m_eventCallback, false);
        if (m_eventCallback) accepted = m_eventCallback(&record);
    }
    if (record.type == kZEventMouseDown && clicks >= 2 && clicks % 2 == 0) {
        ZEvent doubleClick = record;
        doubleClick.type = kZEventDoubleClick;
        if (m_eventCallback) m_eventCallback(&doubleClick);
    }
    if (m_touchSimulation && (accepted || !m_eventCallback || record.type == 0))
        simulateMouseEvent(&record, m_eventCallback);
}

void ZWindowGL::dispatchZEvent(ZEvent* event) {
    if (m_callback) m_callback(event);
    if (m_eventCallback) m_eventCallback(event);
}

bool ZWindowGL::handleOSFocus(bool gained) {
    ZEvent event;
    memset(&event, 0, sizeof(event));
    if (gained) {
        event.type = kZEventFocusGained;
        if (hasOwnWindow() && ZInput::isMousePointerHidden()) m_hidePointerOnActivation = true;
        m_pointerOutside = false;
    } else {
        ZSetting::saveSettings();
        event.type = kZEventFocusLost;
        m_resetAfterFocus = true;
        if (hasOwnWindow() && ZInput::isSystemPointerHidden())
            ZInput::setMousePointerHiddenState(false);
        m_pointerOutside = true;
        if (m_displayState == 0) m_skipOneInactiveWait = true;
    }
    return m_eventCallback ? m_eventCallback(&event) : false;
}

// ---- The flip ----

void ZWindowGL::drawBlackRect(float x1, float y1, float x2, float y2, float alpha) {
    ZGraphicGL::drawStatelessRect(x1, y1, x2, y2, 0, 0, 0, alpha);
}

void ZWindowGL::drawSoftPointer(bool confined) {
    if (!m_softPointer || ZSysMacOSX::isModalViewDisplayed() || m_quit) return;
    // Outside the view and not held in the game area, the system pointer shows instead.
    if (m_displayState != 1 && m_pointerOutside && !confined) return;
    long displayWidth = m_area.getDisplayWidth();
    float scale = isFullScreenState() && displayWidth > 1200 ? displayWidth / 1200.0f : 1.0f;
    ZInput::drawSoftMousePointer(confined, scale);
}

void ZWindowGL::drawOverlays() {
    float gameWidth = static_cast<float>(m_area.getGameWidth());
    float gameHeight = static_cast<float>(m_area.getGameHeight());
    if (!m_area.isScaled()) {
        if (m_gamma < 1.0f) drawBlackRect(-1, -1, gameWidth + 1, gameHeight + 1, 1.0f - m_gamma);
        return;
    }
    // Hide the half-pixel seams that scaling leaves at the game area's far edges.
    drawBlackRect(gameWidth - 0.5f, -1, gameWidth + 2, gameHeight + 1, 1.0f);
    drawBlackRect(-1, gameHeight - 0.5f, gameWidth + 1, gameHeight + 2, 1.0f);
    if (m_area.getXOffset() <= 0 && m_area.getYOffset() <= 0) return;

    float displayWidth = static_cast<float>(m_area.getDisplayWidth());
    float displayHeight = static_cast<float>(m_area.getDisplayHeight());
    glViewport(0, 0, static_cast<GLsizei>(m_area.getDisplayWidth()),
               static_cast<GLsizei>(m_area.getDisplayHeight()));
    glDisable(GL_SCISSOR_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, displayWidth, 0, displayHeight, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // The bars are drawn in display coordinates, flipped against the display's height.
    ZGraphicGL::g_fCurWindowHeight = displayHeight;

    float actualWidth = static_cast<float>(m_area.getActualWidth());
    float actualHeight = static_cast<float>(m_area.getActualHeight());
    if (m_area.getYOffset() > 0) {
        float yOffset = static_cast<float>(m_area.getYOffset());
        drawBlackRect(-1, -1, actualWidth + 1, yOffset, 1.0f);
        drawBlackRect(-1, actualHeight + yOffset, actualWidth + 1, 2 * yOffset + actualHeight + 1,
                      1.0f);
    }
    if (m_area.getXOffset() > 0) {
        float xOffset = static_cast<float>(m_area.getXOffset());
        drawBlackRect(-1, -1, xOffset, actualHeight + 1, 1.0f);
        drawBlackRect(actualWidth + xOffset, -1, 2 * xOffset + actualWidth + 1, actualHeight + 1,
                      1.0f);
    }
    ZEvent bars;
    memset(&bars, 0, sizeof(bars));
    bars.type = kZEventLetterbox;
    if (m_eventCallback) m_eventCallback(&bars);
    if (m_gamma < 1.0f) drawBlackRect(-1, -1, displayWidth + 1, displayHeight + 1, 1.0f - m_gamma);

    applyGameAreaViewport(false);
    glScissor(static_cast<GLint>(m_area.getXOffset()), static_cast<GLint>(m_area.getYOffset()),
              static_cast<GLsizei>(m_area.getActualWidth()),
              static_cast<GLsizei>(m_area.getActualHeight()));
    glEnable(GL_SCISSOR_TEST);
    setWorldView(0, 0, 0, 1.0f, false);
    ZGraphicGL::g_fCurWindowHeight = gameHeight;
}

void ZWindowGL::waitWhileInactive() {
    if (m_skipOneInactiveWait) {
        m_skipOneInactiveWait = false;
        return;
    }
    if (hasFocus()) return;
    // A quit request while inactive ends the wait too, or the game could never end unfocused.
    SDL_Event event;
    while (!hasFocus() && !m_quit && SDL_WaitEvent(&event)) dispatchEvent(&event);
    m_resetAfterFocus = true;
}

void ZWindowGL::flipBackBuffer(bool waitWhileInactiveFlag, bool pumpEvents) {
    if (m_clipEnabled) setClipRect(false, 0, 0, 0, 0);
    bool confined = isConfined();
    if (m_context) drawSoftPointer(confined);
    setWorldView(0, 0, 0, 1.0f, false);
    if (m_context) drawOverlays();
    if (m_window) SDL_GL_SwapWindow(m_window);
    if (m_context) {
        ZGraphicGL::buffersFlipped();
        ZBatchGL::buffersFlipped();
    }
    ZSetting::saveSettings();

    if (pumpEvents) processEvents();
    ZGestureArea::updateAllAreas(m_eventCallback);
    if (hasOwnWindow() && waitWhileInactiveFlag) waitWhileInactive();

    if (m_resetAfterFocus) {
        resetFrameTime();
        for (long key = 0; key <= kLastPortableKey; key++) ZInput::setKeyState(key, false);
        for (long button = 1; button <= 3; button++) ZInput::setMouseButton(button, false);
        m_resetAfterFocus = false;
    }

    long now = m_timer.now();
    if (m_touchSimulation && m_eventCallback) {
        // The first flip since a reset has no interval: the delayed mouse-up waits one more.
        long last = m_timer.getLastFlipTime();
        simulateMouseUp(last >= 0 ? now - last : 0, m_eventCallback);
    }
    m_timer.onFlip(hasOwnWindow(), now);

    if (m_reenterFullScreen) {
        m_reenterFullScreen = false;
        toggleFullScreen(true);
    }
    if (m_hidePointerOnActivation) {
        m_hidePointerOnActivation = false;
        if (m_displayState != 1) ZInput::setMousePointerHiddenState(true);
        ZCore::logMessage("OpenGL: hide OS mouse pointer upon activation");
    }
}

// ---- View, clipping, stencil and 3D state ----

void ZWindowGL::setClearColor(float r, float g, float b, float a) {
    m_clearColor[0] = r;
    m_clearColor[1] = g;
    m_clearColor[2] = b;
    m_clearColor[3] = a;
}

void ZWindowGL::getClearColor(float* rgba) const {
    for (int i = 0; i < 4; i++) rgba[i] = m_clearColor[i];
}

void ZWindowGL::setViewSize(long width, long height) {
    m_viewWidth = width;
    m_viewHeight = height;
}

void ZWindowGL::setWorldMatrix(ZMatrix* matrix) {
    if (!m_context || !matrix) return;
    // The matrix works in the top-down coordinates that drawing sends.
    float height = ZGraphicGL::g_fCurWindowHeight;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (m_renderTargetActive) glTranslatef(0, static_cast<float>(m_viewHeight), 0);
    glTranslatef(0, height, 0);
    glMultMatrixf(matrix->m);
    glTranslatef(0, -height, 0);
}

void ZWindowGL::setProjectionMatrix(ZMatrix* matrix) {
    if (!m_context || !matrix) return;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(matrix->m);
    glMatrixMode(GL_MODELVIEW);
}

void ZWindowGL::setClipRect(bool enable, float x1, float y1, float x2, float y2) {
    if (!m_context) return;
    if (!enable) {
        if (!m_clipEnabled) return;
        // A scaled game area keeps its own scissor against the letterbox; a render target has
        // no letterbox, and the window's box would clip the target's picture.
        applyGameAreaScissor(!m_renderTargetActive);
        m_clipEnabled = false;
        return;
    }
    ZScissorBox box = ZScissorBox::forClipRect(x1, y1, x2, y2, m_viewWidth, m_viewHeight,
                                               m_renderTargetActive, m_area);
    glScissor(static_cast<GLint>(box.x), static_cast<GLint>(box.y), static_cast<GLsizei>(box.width),
              static_cast<GLsizei>(box.height));
    glEnable(GL_SCISSOR_TEST);
    m_clipEnabled = true;
}

void ZWindowGL::beginStencil(bool clear, bool write, float alphaReference, bool invert) {
    if (!m_context) return;
    if (write) {
        float reference = alphaReference > 0 ? std::min(alphaReference, 1.0f) : 0.0f;
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(invert ? GL_LESS : GL_GEQUAL, reference);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 0, ~0u);
        glStencilOp(GL_KEEP, GL_KEEP, invert ? GL_DECR : GL_INCR);
    } else {
        glEnable(GL_STENCIL_TEST);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        // The reference 0 against the stored value: LESS passes where the value is above 0.
        glStencilFunc(invert ? GL_EQUAL : GL_LESS, 0, ~0u);
        glDisable(GL_ALPHA_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    glClearStencil(0);
    if (clear) glClear(GL_STENCIL_BUFFER_BIT);
}

void ZWindowGL::endStencil() {
    if (!m_context) return;
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_ALPHA_TEST);
    // Ending right after writing the mask would otherwise leave every later drawing invisible.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void ZWindowGL::begin3d(bool clearDepth, bool writeDepth, ZWindow3dCulling culling, bool flag) {
    m_3dFlag = flag;
    if (!m_context) return;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(writeDepth ? GL_TRUE : GL_FALSE);
    if (culling == eZWindow3dCullClockwise || culling == eZWindow3dCullCounterClockwise) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(culling == eZWindow3dCullClockwise ? GL_CW : GL_CCW);
    } else {
        glDisable(GL_CULL_FACE);
    }
    glClearDepth(1.0);
    if (clearDepth) glClear(GL_DEPTH_BUFFER_BIT);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void ZWindowGL::set3dMatrix(long which, ZMatrix* matrix) {
    if (!matrix || which < 0 || which > 2) return;
    if (which == 0) m_3dProjection = *matrix;
    if (which == 1) m_3dView = *matrix;
    if (!m_context) return;
    if (which == 2) {
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(matrix->m);
        return;
    }
    // Projection times view: the view applies to the points first.
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(m_3dProjection.m);
    glMultMatrixf(m_3dView.m);
    glMatrixMode(GL_MODELVIEW);
}

void ZWindowGL::set3dAmbientLight(float r, float g, float b, float a) {
    if (!m_context) return;
    GLfloat color[4] = {r, g, b, a};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, color);
}

void ZWindowGL::set3dLight(long index, ZWindow3dLight* light) {
    if (!m_context) return;
    if (index < 0 || index >= m_maxLights) return;
    GLenum id = GL_LIGHT0 + static_cast<GLenum>(index);
    if (!light) {
        glDisable(id);
        return;
    }
    // Positions and directions are given in world space, untouched by the current model-view.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const GLfloat none[4] = {0, 0, 0, 0};
    const GLfloat white[4] = {1, 1, 1, 1};
    glLightfv(id, GL_AMBIENT, none);
    glLightfv(id, GL_DIFFUSE, light->color);
    glLightfv(id, GL_SPECULAR, white);
    GLfloat position[4];
    if (light->type == 1) {
        position[0] = light->direction[0];
        position[1] = light->direction[1];
        position[2] = light->direction[2];
        position[3] = 0;
    } else {
        position[0] = light->position[0];
        position[1] = light->position[1];
        position[2] = light->position[2];
        position[3] = 1;
    }
    glLightfv(id, GL_POSITION, position);
    glLightf(id, GL_CONSTANT_ATTENUATION, light->constantAttenuation);
    glLightf(id, GL_LINEAR_ATTENUATION, light->linearAttenuation);
    glLightf(id, GL_QUADRATIC_ATTENUATION, light->quadraticAttenuation);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glEnable(id);
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

void ZWindowGL::set3dMatColor(float r, float g, float b, float a) {
    if (!m_context) return;
    GLfloat color[4] = {r, g, b, a};
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, color);
}

void ZWindowGL::end3d() {
    m_3dFlag = false;
    if (!m_context) return;
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    const GLfloat none[4] = {0, 0, 0, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
}

void ZWindowGL::setupRenderer() {
    ZGraphicGL::setup(this);
    ZBatchGL::setup(this);
    ZPixelShaderGL::setup(this);
}

void ZWindowGL::restoreState() {
    if (!m_context) return;
    SDL_GL_MakeCurrent(m_window, m_context);
    bindContextFramebuffer(m_currentContext);
    resetFixedFunctionState();
    setupRenderer();
    glViewport(static_cast<GLint>(m_area.getXOffset()), static_cast<GLint>(m_area.getYOffset()),
               static_cast<GLsizei>(m_area.getActualWidth()),
               static_cast<GLsizei>(m_area.getActualHeight()));
    setWorldView(0, 0, 0, 1, false);
}

// ---- Back buffer to a file ----

bool ZWindowGL::saveBackBuffer(const char* path, long format, long width, long height) {
    if (!m_context || !path) return false;
    SDL_GL_MakeCurrent(m_window, m_context);
    long areaWidth = m_area.getActualWidth(), areaHeight = m_area.getActualHeight();
    if (areaWidth <= 0 || areaHeight <= 0) return false;

    // The back buffer belongs to the main context, also while a render target is drawn into.
    ZGLContextGL* previous = m_currentContext;
    if (m_mainContext && previous != m_mainContext) makeGLContextCurrent(m_mainContext);
    uint32_t* pixels = ZGraphicGL::readBackBuffer(m_area.getXOffset(), m_area.getYOffset(),
                                                  areaWidth, areaHeight, nullptr);
    if (previous && previous != m_currentContext) makeGLContextCurrent(previous);
    if (!pixels) return false;
    ZImage image;
    image.setPixels(areaWidth, areaHeight, false, pixels, false, true);
    long outWidth = width > 0 ? width : m_area.getGameWidth();
    long outHeight = height > 0 ? height : m_area.getGameHeight();
    image.resampleImage(outWidth, outHeight, 0);
    return ZGraphicGL::writeImageFile(image, format, path, "saveBackBuffer");
}

// ---- Pixel shaders ----

void ZWindowGL::setPixelShader(ZPixelShader* shader) {
    m_pixelShader = shader;
    if (!shader)
        ZPixelShaderGL::clearPixelShader();
    else
        static_cast<ZPixelShaderGL*>(shader)->setPixelShader();
}

void ZWindowGL::setPixelShaderParam(long index, float* values) {
    if (!m_pixelShader) return;
    // The game may delete the shader it set; a deleted one is forgotten, never called.
    for (ZPixelShaderGL* live : ZPixelShaderGL::g_lGlPixelShaders) {
        if (static_cast<ZPixelShader*>(live) == m_pixelShader) {
            live->setPixelShaderParam(index, values);
            return;
        }
    }
    m_pixelShader = nullptr;
}

// ---- Render-target contexts ----

ZGLContextGL* ZWindowGL::findContext(void* context) const {
    if (!context) return nullptr;
    if (context == m_mainContext) return m_mainContext;
    for (ZGLContextGL* candidate : m_targetContexts)
        if (candidate == context) return candidate;
    return nullptr;
}

ZFramebufferGL* ZWindowGL::findFramebuffer(void* buffer) const {
    if (!buffer) return nullptr;
    for (ZFramebufferGL* candidate : m_framebuffers)
        if (candidate == buffer) return candidate;
    return nullptr;
}

void ZWindowGL::bindContextFramebuffer(const ZGLContextGL* context) {
    if (context && ZGLExtensions::bindFramebuffer)
        ZGLExtensions::bindFramebuffer(GL_FRAMEBUFFER, context->getFramebufferName());
}

bool ZWindowGL::makeGLContextCurrent(void* context) {
    ZGLContextGL* next = findContext(context);
    if (!m_context || !next) return false;
    if (next == m_currentContext) return true;
    if (next != m_mainContext && !next->getFramebuffer()) {
        ZCore::logMessage("OpenGL: render target context without pbuffer, ERROR");
        return false;
    }
    if (m_currentContext) m_currentContext->capture(m_pixelShaders);
    bindContextFramebuffer(next);
    next->apply(m_pixelShaders);
    // The switch rebinds the fragment program behind the shaders' back.
    ZPixelShaderGL::g_nActiveShaderId =
        m_pixelShaders && next->programEnabled ? static_cast<long>(next->program) : -1;
    m_currentContext = next;
    return true;
}

bool ZWindowGL::createGLContextAndPBuffer(long width, long height, bool, bool depth,
                                          GLenumValue target, GLintValue internalFormat,
                                          void** context, void** buffer) {
    if (context) *context = nullptr;
    if (buffer) *buffer = nullptr;
    if (!context || !buffer || !m_context) return false;
    int bits = static_cast<int>(m_desktopDepth);
    if (!ZFramebufferGL::isSupported()) {
        ZCore::logMessage(
            "OpenGL: couldn't find suitable pixel format for render target, %d bpp, %s, ERROR",
            bits, depth ? "depth buffer" : "no depth buffer");
        return false;
    }
    ZFramebufferGL* framebuffer = new (std::nothrow) ZFramebufferGL();
    if (!framebuffer ||
        !framebuffer->create(width, height, target, internalFormat, depth, m_stencil)) {
        ZCore::logMessage("OpenGL: couldn't create pbuffer for render target, %d bpp, ERROR", bits);
        delete framebuffer;
        return false;
    }
    ZGLContextGL* record = new (std::nothrow) ZGLContextGL(framebuffer, width, height);
    if (!record) {
        ZCore::logMessage("OpenGL: couldn't create context for render target, %d bpp, ERROR", bits);
        delete framebuffer;
        return false;
    }
    m_framebuffers.push_back(framebuffer);
    m_targetContexts.push_back(record);
    *context = record;
    *buffer = framebuffer;
    return true;
}

void ZWindowGL::updateGLTexture(void* context, void* buffer) {
    ZFramebufferGL* framebuffer = findFramebuffer(buffer);
    if (!m_context || !findContext(context) || !framebuffer) return;
    GLuint texture = ZFramebufferGL::boundTexture(framebuffer->getTarget());
    if (texture == 0) {
        ZCore::logMessage("OpenGL: no texture bound to take the render target's picture, ERROR");
        return;
    }
    framebuffer->attachTexture(texture);
}

void ZWindowGL::destroyGLContext(void* context) {
    ZGLContextGL* record = findContext(context);
    if (!record || record == m_mainContext) return;
    if (record == m_currentContext) makeGLContextCurrent(m_mainContext);
    m_targetContexts.erase(std::find(m_targetContexts.begin(), m_targetContexts.end(), record));
    delete record;
}

void ZWindowGL::destroyGLPBuffer(void* buffer) {
    ZFramebufferGL* framebuffer = findFramebuffer(buffer);
    if (!framebuffer) return;
    if (m_currentContext && m_currentContext->getFramebuffer() == framebuffer)
        makeGLContextCurrent(m_mainContext);
    // A context left without its buffer can no longer be made current.
    for (ZGLContextGL* record : m_targetContexts)
        if (record->getFramebuffer() == framebuffer) record->setFramebuffer(nullptr);
    m_framebuffers.erase(std::find(m_framebuffers.begin(), m_framebuffers.end(), framebuffer));
    delete framebuffer;
}

void ZWindowGL::destroyRenderContexts() {
    if (m_mainContext && m_currentContext != m_mainContext) makeGLContextCurrent(m_mainContext);
    for (ZGLContextGL* record : m_targetContexts) delete record;
    m_targetContexts.clear();
    for (ZFramebufferGL* framebuffer : m_framebuffers) delete framebuffer;
    m_framebuffers.clear();
    delete m_mainContext;
    m_mainContext = nullptr;
    m_currentContext = nullptr;
}
