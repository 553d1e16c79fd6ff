#include "CPlayer.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CEmitter.h"
#include "CGame.h"
#include "CUIDisplayHandler.h"
#include "ZCore.h"
#include "ZGraphic.h"
#include "ZIniReader.h"
#include "ZInput.h"
#include "ZManagedFontList.h"
#include "ZManagedGraphicList.h"
#include "ZManagedSampleList.h"
#include "ZManagedVideoList.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZResourceStat.h"
#include "ZSound.h"
#include "ZUIElement.h"
#include "ZWindow.h"

namespace {

const long kKeyReturn = 7;
const long kKeyLeftControl = 9;
const double kMaxFrameStep = 200;
const double kSceneStep = 20;

void copyText(char* target, size_t size, const char* text) {
    snprintf(target, size, "%s", text ? text : "");
}

// A file of the state folder, made absolute.
char* stateFile(const char* folder, const char* name, char* out, unsigned long size) {
    std::string path = std::string(folder) + "/" + name;
    return ZMiscTools::makeFilePathInBuffer(path.c_str(), out, size);
}

bool isGlobalMethod(long method, const char* text) {
    if (method == eSceneHandlerReset || method == eSceneHandlerNewSpriteUnderCursor) return true;
    return method == eSceneHandlerUserEvent && text && strncasecmp(text, "global:", 7) == 0;
}

}  // namespace

CPlayer* CPlayer::g_lpPlayer = nullptr;

CPlayer::CPlayer() {
    g_lpPlayer = this;
    // Known before the window exists: scene containers and the pan helper size by it.
    CGame::getScreenSize(m_designWidth, m_designHeight, m_windowWidth, m_windowHeight);
    if (const char* frames = getenv(kQuitAfterFramesVariable)) {
        long n = atol(frames);
        if (n > 0) m_framesLeftBeforeQuit = n;
    }
}

CPlayer::~CPlayer() {
    g_lpPlayer = nullptr;
    m_actionFilter = nullptr;
    releaseSounds();
    releaseEventRecords();
}

const char* CPlayer::getGameName() {
    return CGame::getGameName();
}

const char* CPlayer::getSafeGameName() {
    return CGame::getSafeGameName();
}

const char* CPlayer::getSafeDeveloperName() {
    return CGame::getSafeDeveloperName();
}

const char* CPlayer::getGameVersion() {
    return CGame::getGameVersion();
}

const char* CPlayer::getString(const char* id) {
    return ZGame::getString(CGame::swapStringId(id));
}

ZWindow* CPlayer::createGameWindow() {
    char path[260];
    ZCore::enableLog(stateFile(getStateFolder(), "log.txt", path, sizeof(path)), getGameName(),
                     getGameVersion(), true);
    m_settings.readFile(stateFile(getStateFolder(), "settings.ini", path, sizeof(path)));

    m_rendererKind = 1;
    ZWindow* window = ZCore::createZWindow(static_cast<Erenderer>(m_rendererKind), false,
                                           strcmp(readSetting("stencilbuffer"), "1") == 0);
    if (!window) return nullptr;
    CGame::getScreenSize(m_designWidth, m_designHeight, m_windowWidth, m_windowHeight);
    window->setFixedAspectRatio(strcmp(readSetting("stretch"), "0") == 0);
    window->enableFullscreenWindow(true);
    if (m_windowWidth > 0 || m_windowHeight > 0)
        window->setActualWindowedSize(
            static_cast<long>(m_windowWidth > 0 ? m_windowWidth : m_designWidth),
            static_cast<long>(m_windowHeight > 0 ? m_windowHeight : m_designHeight));
    long width = static_cast<long>(m_designWidth);
    long height = static_cast<long>(m_designHeight);
    if (strcmp(readSetting("fullscreen"), "0") == 0 && !window->checkWindowedMode(width, height))
        m_settings.set(CPlayerSettings::indexOf("fullscreen"), "1");
    bool windowed = strcmp(readSetting("fullscreen"), "0") == 0;
    if (window->createGameWindow(width, height, 32, windowed, getGameName(), 0)) {
        m_windowJustCreated = true;
        if (!m_touchMode) {
            ZInput::hidePointer();
            window->displayMouse(true);
        } else {
            window->simulateTouchscreen(true);
        }
        window->setGamma(1.0f);
        window->setZOZCallBack(staticEventHandler);
        window->setMaxFrameRate(0);
        window->enableMultiTouch(true);
        return window;
    }
    ZMiscTools::alertBox(getGameName(), "Couldn't create game window", "Ok", nullptr);
    delete window;
    ZCore::forgetZWindow();
    return nullptr;
}

bool CPlayer::loadGame() {
    for (char* slot : m_sceneSlots) slot[0] = '\0';
    m_musicName[0] = '\0';
    m_musicVolume = 100;
    m_musicMuted = m_ambientMuted = false;
    m_dragInProgress = false;
    m_restorePath[0] = '\0';
    m_restorePending = false;
    m_pointerLocked = false;
    copyText(m_systemFontPath, sizeof(m_systemFontPath), "data/sysfont.ttf");

    ZMiscTools::setFileSource(true);
    CGame::enumeratePakfiles();

    CEmitter::g_nMaxEmitters = 500;
    ZUIElement::setBatchVertexCount(1000);
    ZUIElement::initialize(m_window);
    createCursorContainer();
    makeDrawingGraphics();

    readConfig();
    readLanguageStringTable();
    char folder[260];
    m_graphics->setPrefix(
        ZMiscTools::makeFilePathInBuffer("data/graphics", folder, sizeof(folder)));
    m_fonts->setPrefix(ZMiscTools::makeFilePathInBuffer("data/fonts", folder, sizeof(folder)));
    m_samples->setPrefix(ZMiscTools::makeFilePathInBuffer("data/sfx", folder, sizeof(folder)));
    m_videos->setPrefix(ZMiscTools::makeFilePathInBuffer("data/videos", folder, sizeof(folder)));
    m_placeholderSound = new ZSound();

    overrideConfig();
    m_restartFromOverride = false;
    m_eventForwarded = false;

    m_baseIndex = ZUIElement::getRootElement()->getChildrenCount();
    ZSound::setGlobalVolumes(100, 100);
    CGame::enumerateDisplayHandlers();

    copyText(m_sceneSlots[0], sizeof(m_sceneSlots[0]), m_startScene);
    for (long i = 1; i < kSceneSlots; i++)
        copyText(m_sceneSlots[i], sizeof(m_sceneSlots[i]),
                 i <= m_overlayCount ? m_overlays[i - 1] : "");
    resetSceneHandlers();
    CGame::displayLoadingStatus(true);
    m_loadingStatusShown = true;
    insertStartScenes();

    CGame::postInit();
    resetFrameLoop();
    m_gameLoaded = true;
    return true;
}

void CPlayer::makeDrawingGraphics() {
    m_drawGraphic = ZCore::createZGraphic();
    if (m_drawGraphic) m_drawGraphic->setTextureQuality(true);
    m_whiteGraphic = ZCore::createZGraphic();
    if (m_whiteGraphic) {
        uint32_t* white = new uint32_t[64 * 64];
        memset(white, 0xFF, 64 * 64 * sizeof(uint32_t));
        m_whiteGraphic->makePictureFromArray(white, 64, 64, true, false, false, nullptr);
        delete[] white;
    }
}

void CPlayer::insertStartScenes() {
    for (long slot = kSceneSlots - 1; slot >= 0; slot--) {
        if (!m_sceneSlots[slot][0]) continue;
        CScene* scene = loadScene(m_sceneSlots[slot]);
        uploadScene(scene);
        // Nothing to show without the main scene; a missing overlay only loses its layer.
        if (slot == 0 && (!scene || scene->status < 3)) {
            abortOnFile(getFailedFile()[0] ? getFailedFile() : m_sceneSlots[0]);
            continue;
        }
        insertScene(scene, slot, false);
    }
    for (CInsertedScene* inserted = m_insertedScenes.head; inserted;
         inserted = ZList<CInsertedScene>::nextOf(inserted))
        if (inserted->scene->container)
            inserted->scene->container->moveToIndex(m_baseIndex + inserted->layer);
}

void CPlayer::readLanguageStringTable() {
    if (!m_language[0]) copyText(m_language, sizeof(m_language), "english");
    char path[260];
    snprintf(path, sizeof(path), "data/game/%s.txt", m_language);
    ZResourceStat stat;
    char absolute[260];
    if (!ZResource::stat(ZMiscTools::makeFilePathInBuffer(path, absolute, sizeof(absolute)),
                         &stat)) {
        ZCore::logMessage("Game: string table for '%s' not found, using english", m_language);
        snprintf(path, sizeof(path), "data/game/english.txt");
        ZMiscTools::makeFilePathInBuffer(path, absolute, sizeof(absolute));
    }
    readStringTable(absolute);
}

void CPlayer::readConfig() {
    char path[260];
    ZMiscTools::makeFilePathInBuffer("data/game/game.ini", path, sizeof(path));
    ZIniReader reader;
    if (!reader.setIni(path)) {
        abortOnFile("game.ini");
        return;
    }
    if (!reader.getString("config", "startscene", m_startScene, 100) || !m_startScene[0])
        copyText(m_startScene, sizeof(m_startScene), "test_scene");
    m_overlayCount = 0;
    for (long i = 0; i < 8; i++) {
        char key[32];
        snprintf(key, sizeof(key), "overlay%ld", i + 1);
        if (!reader.getString("config", key, m_overlays[i], 100) || !m_overlays[i][0]) break;
        m_overlayCount++;
    }
    for (long i = 0; i < 4; i++) {
        char key[32];
        snprintf(key, sizeof(key), "jumpto%ld", i + 1);
        if (!reader.getString("debug", key, m_debugScenes[i], 100)) m_debugScenes[i][0] = '\0';
    }
}

void CPlayer::overrideConfig() {
    std::string file =
        std::string(getStateFolder()) + "/../" + CGame::getSafeGameEditorName() + "/override.ini";
    char path[260];
    snprintf(path, sizeof(path), "%s", file.c_str());
    ZMiscTools::cleanPath(path);
    ZResourceStat stat;
    int64_t time = ZResource::stat(path, &stat) ? stat.modificationTime : 0;
    if (m_overrideTime != 0 && m_overrideTime == time) return;
    ZIniReader reader;
    if (reader.setIni(path)) {
        ZMiscTools::removeFile(path);
        char previous[100];
        copyText(previous, sizeof(previous), m_startScene);
        if (!reader.getString("config", "startscene", m_startScene, 100) || !m_startScene[0])
            copyText(m_startScene, sizeof(m_startScene), previous);
        m_restartFromOverride = true;
    }
    m_overrideTime = time;
}

const char* CPlayer::getOverlay(long i) const {
    return i >= 0 && i < m_overlayCount ? m_overlays[i] : "";
}

const char* CPlayer::getDebugSceneName(long i) const {
    return i >= 1 && i <= 4 ? m_debugScenes[i - 1] : "";
}

const char* CPlayer::getSceneSlot(long slot) const {
    return slot >= 0 && slot < kSceneSlots ? m_sceneSlots[slot] : "";
}

void CPlayer::setGameLanguage(const char* name) {
    copyText(m_language, sizeof(m_language), name);
}

void CPlayer::setFontSuffix(const char* suffix) {
    copyText(m_fontSuffix, sizeof(m_fontSuffix), suffix);
}

void CPlayer::setDebugFont(const char* path) {
    copyText(m_systemFontPath, sizeof(m_systemFontPath), path);
}

void CPlayer::setUserEventCallback(UserEventCallback callback, void* data) {
    m_userEventCallback = callback;
    m_userEventData = data;
}

void CPlayer::run() {
    while (m_window && !m_window->isQuit()) renderFrame();
}

void CPlayer::renderFrame() {
    double frameTime = getFrameTime();
    beginFrame();
    if (!m_window) return;
    m_window->processEvents();
    replayDeferredEvents();
    m_window->setClearColor(0, 0, 0, 1);
    move(frameTime);
    blit();

    bool keysDown = ZInput::isPressed(kKeyLeftControl) && ZInput::isPressed(kKeyReturn);
    if (keysDown && !m_fullScreenKeysDown)
        writeSetting("fullscreen", strcmp(readSetting("fullscreen"), "0") == 0 ? "1" : "0", false);
    m_fullScreenKeysDown = keysDown;

    endFrame(!m_forceRender);

    m_restoredThisFrame = false;
    if (m_restorePending) {
        m_restorePending = false;
        if (m_restorePath[0]) {
            CGame::displayLoadingStatus(true);
            char path[260];
            copyText(path, sizeof(path), m_restorePath);
            m_restorePath[0] = '\0';
            restoreGameStateFrom(path);
            CGame::displayLoadingStatus(false);
        }
    }
    if (m_restartFromOverride) restartFromOverride();
    countFrameForQuitAid();
}

void CPlayer::countFrameForQuitAid() {
    if (m_framesLeftBeforeQuit < 0) return;
    if (--m_framesLeftBeforeQuit <= 0 && m_window) m_window->setQuit(true);
}

void CPlayer::restartFromOverride() {
    for (const char* name : m_sceneSlots) {
        CScene* scene = name[0] ? findLoadedScene(name) : nullptr;
        if (!scene) continue;
        willRemoveScene(scene);
        removeScene(scene);
    }
    if (CScene* main = findLoadedScene(m_sceneSlots[0])) unloadScene(main);
    // Scene states are reset only for scenes that exist: a slot whose scene is not loaded has
    // nothing to reset.
    readLanguageStringTable();
    copyText(m_sceneSlots[0], sizeof(m_sceneSlots[0]), m_startScene);
    CScene* start = loadScene(m_sceneSlots[0]);
    if (start) uploadScene(start);
    resetFrameLoop();
    for (long slot = kSceneSlots - 1; slot >= 0; slot--) {
        if (!m_sceneSlots[slot][0]) continue;
        if (CScene* scene = findLoadedScene(m_sceneSlots[slot])) insertScene(scene, slot, false);
    }
    m_restartFromOverride = false;
}

void CPlayer::move(double dt) {
    m_playedFrameTime = dt;
    releaseSpritesFreedDuringActions();
    if (!m_pointerLocked) {
        m_pointerX = ZInput::getMouseX();
        m_pointerY = ZInput::getMouseY();
    }
    m_leftButton = ZInput::getLeftButtonState();
    for (bool& disabled : m_gesturesDisabled) disabled = false;

    double capped = std::min(dt, kMaxFrameStep);
    for (CInsertedScene* inserted = m_insertedScenes.head; inserted; inserted = m_walkNext) {
        m_walkNext = ZList<CInsertedScene>::nextOf(inserted);
        double remaining = capped;
        bool more = true;
        while (remaining > 0 && more) {
            double step = std::min(remaining, kSceneStep);
            more = updateScene(inserted->scene, step);
            remaining -= step;
        }
    }
    m_walkNext = nullptr;

    ZUIElement::moveAll();
    callSceneHandlers(eSceneHandlerMove, nullptr, nullptr, 0, nullptr);
    CGame::move();
    executeQueuedLoads();
    updateStreamedSounds(dt);

    bool loadPending = m_pendingLoads > 0;
    if (m_loadingStatusShown && !loadPending) {
        CGame::displayLoadingStatus(false);
        m_loadingStatusShown = false;
    } else if (!m_loadingStatusShown && loadPending) {
        CGame::displayLoadingStatus(true);
        m_loadingStatusShown = true;
    }

    m_dragInProgress = getFirstDraggedSprite() != nullptr;

    ZUIElement* under = ZUIElement::getMousedOverElement();
    CSprite* sprite = getSpriteForElement(under);
    uint64_t flags = flagsOfSprite(sprite);
    bool notify = m_notifyAgain;
    if (under != m_mousedOver || notify) {
        m_mousedOver = under;
        callSceneHandlers(eSceneHandlerNewSpriteUnderCursor, sprite, nullptr, 0, nullptr);
    }
    if (flags != m_flagsUnderCursor || notify) {
        m_flagsUnderCursor = flags;
        callSceneHandlers(eSceneHandlerNewFlagsUnderCursor, nullptr, nullptr, flags, nullptr);
    }
    m_notifyAgain = false;
    panAndZoomLayers();
    m_windowJustCreated = false;
}

void CPlayer::drawLayer(long layer) {
    CGame::preBlit(layer);
    ZUIElement::blitAll(layer);
    CGame::postBlit(layer);
}

void CPlayer::blit() {
    CScene* main = findLoadedScene(m_sceneSlots[0]);
    if (mainSceneNeedsClear(main)) m_window->setWorldView(0, 0, 0, 1, true);
    drawLayer(0);
    drawBandAroundMainScene(main);
    for (long layer = 1; layer < kSceneSlots; layer++) drawLayer(layer);
    if (m_touchMode || m_window->canDisplayMouse()) ZUIElement::blitAll(kCursorLayer);
}

void CPlayer::unloadGame() {
    m_gameLoaded = false;
    for (const char* name : m_sceneSlots) {
        CScene* scene = name[0] ? findLoadedScene(name) : nullptr;
        if (!scene) continue;
        willRemoveScene(scene);
        removeScene(scene);
        unloadScene(scene);
    }
    flushLoadQueue();
    freeAllScenes();
    clearGameState();
    flushSounds(true);
    flushAmbientSounds(true);
    while (CAvailableDisplayHandler* handler = m_displayHandlers.head) {
        m_displayHandlers.remove(handler);
        delete handler;
    }
    releaseSounds();
    m_graphics->freeAll();
    m_fonts->freeAll();
    m_samples->freeAll();
    delete m_placeholderSound;
    m_placeholderSound = nullptr;
    delete m_whiteGraphic;
    m_whiteGraphic = nullptr;
    delete m_drawGraphic;
    m_drawGraphic = nullptr;
    for (long layer = 0; layer < kPanLayers; layer++) deleteGestureArea(layer);
    delete m_cursorContainer;
    m_cursorContainer = nullptr;
    ZUIElement::cleanup();
}

void CPlayer::destroyGameWindow(ZWindow* window) {
    delete window;
    saveSettings();
    ZSound::cleanup();
    ZCore::cleanup();
}

const char* CPlayer::readSetting(const char* key) const {
    return m_settings.get(key);
}

long CPlayer::readSettingAsLong(const char* key) const {
    return atol(readSetting(key));
}

void CPlayer::writeSetting(const char* key, const char* value, bool quiet) {
    long index = CPlayerSettings::indexOf(key);
    if (index < 0) return;
    char text[CPlayerSettings::kValueSize];
    CPlayerSettings::normalise(index, value, text, sizeof(text));
    if (strcmp(text, m_settings.get(index)) == 0) {
        applySoundVolumes(index);
        return;
    }

    bool refused = false;
    const char* label = CPlayerSettings::g_lpszSettingsLabel[index];
    if (index == 2 && m_window) {
        bool full = strcmp(text, "0") != 0;
        if (full) m_window->setFixedAspectRatio(strcmp(readSetting("stretch"), "0") == 0);
        refused = !m_window->toggleFullScreen(full);
    } else if (index == 3 && m_window && strcmp(readSetting("fullscreen"), "0") != 0) {
        m_window->setFixedAspectRatio(strcmp(text, "0") == 0);
        m_window->toggleFullScreen(false);
        m_window->toggleFullScreen(true);
    } else if ((index == 4 || index == 6) &&
               CGame::getSettingIndexForMusic(m_musicName, 4) == index && !m_musicMuted) {
        long volume = std::clamp(atol(text), 0l, 100l);
        ZMiscTools::setBackgroundMusicVolume(volume * m_musicVolume / 100);
    }
    if (refused) return;
    m_settings.set(index, text);
    char event[120];
    snprintf(event, sizeof(event), "setting:%s", label);
    broadcastUserEvent(event, quiet);
    applySoundVolumes(index);
}

void CPlayer::writeSettingAsLong(const char* key, long value, bool quiet) {
    char text[32];
    snprintf(text, sizeof(text), "%ld", value);
    writeSetting(key, text, quiet);
}

void CPlayer::saveSettings() {
    char path[260];
    m_settings.writeFile(stateFile(getStateFolder(), "settings.ini", path, sizeof(path)));
}

void CPlayer::registerSceneHandler(CSceneHandler* handler) {
    if (handler) m_sceneHandlers.addToTail(handler);
}

void CPlayer::resetSceneHandlers() {
    for (CSceneHandler* h = m_sceneHandlers.head; h; h = ZList<CSceneHandler>::nextOf(h))
        h->onReset();
}

void CPlayer::registerDisplayHandler(const char* name, CDisplayHandlerFactory factory) {
    CAvailableDisplayHandler* handler = new CAvailableDisplayHandler();
    copyText(handler->name, sizeof(handler->name), name);
    handler->factory = factory;
    m_displayHandlers.addToTail(handler);
}

CUIDisplayHandler* CPlayer::createDisplayHandler(const char* name, ZUIElement* parent,
                                                 CScene* scene) {
    CUIDisplayHandler* made = nullptr;
    for (CAvailableDisplayHandler* h = m_displayHandlers.head; h;
         h = ZList<CAvailableDisplayHandler>::nextOf(h)) {
        if (strcasecmp(h->name, name) != 0 || !h->factory) continue;
        CUIDisplayHandler* element = h->factory(parent);
        // The last match stands; an earlier one made by a duplicate name must not be left over.
        delete made;
        made = element;
    }
    if (!made) {
        ZCore::logMessage("Game: display handler '%s' not found", name);
        return nullptr;
    }
    made->setScene(scene);
    made->onReset();
    return made;
}

void CPlayer::callSceneHandlers(long method, CSprite* sprite, const char* text, uint64_t value,
                                void* data) {
    if (method < 0 || method > eSceneHandlerSpriteEndHover) return;
    bool global = isGlobalMethod(method, text);
    uint64_t bit = 1ull << method;
    long count = m_sceneHandlers.count;
    uint64_t* saved = new uint64_t[count > 0 ? count : 1];
    long i = 0;
    for (CSceneHandler* h = m_sceneHandlers.head; h; h = ZList<CSceneHandler>::nextOf(h)) {
        saved[i++] = h->calledMask;
        h->calledMask = 0;
    }
    CInsertedScene* outerNext = m_walkNext;
    for (CSceneHandler* h = m_sceneHandlers.head; h; h = ZList<CSceneHandler>::nextOf(h)) {
        for (CInsertedScene* inserted = m_insertedScenes.head; inserted; inserted = m_walkNext) {
            m_walkNext = ZList<CInsertedScene>::nextOf(inserted);
            CScene* scene = inserted->scene;
            if (!global) {
                if (sprite && sprite->scene != scene && method != eSceneHandlerSpriteDuplicated &&
                    method != eSceneHandlerDropEvent)
                    continue;
                uint64_t wanted = h->getHandledSceneFlags();
                if ((scene->flags & wanted) != wanted) continue;
                const char* handled = h->getHandledSceneName();
                if (strcmp(handled, "*") != 0 && strcasecmp(handled, scene->name) != 0) continue;
            }
            const char* name = text ? text : "";
            switch (method) {
                case eSceneHandlerReset:
                    if (strcasecmp(h->getHandledSceneName(), name) == 0) h->onReset();
                    continue;
                case eSceneHandlerEnterScene:
                    if (strcasecmp(scene->name, name) == 0) h->onEnterScene(name);
                    continue;
                case eSceneHandlerLeaveScene:
                    if (strcasecmp(scene->name, name) == 0) h->onLeaveScene(name);
                    continue;
                default:
                    break;
            }
            if (h->calledMask & bit) continue;
            h->calledMask |= bit;
            CSprite* other = static_cast<CSprite*>(data);
            switch (method) {
                case eSceneHandlerMove:
                    h->move(getFrameTime());
                    break;
                case eSceneHandlerNewFlagsUnderCursor:
                    h->onNewFlagsUnderCursor(value);
                    break;
                case eSceneHandlerSpriteEnter:
                    h->onSpriteEnter(sprite);
                    break;
                case eSceneHandlerSpriteLeave:
                    h->onSpriteLeave(sprite);
                    break;
                case eSceneHandlerSpriteDown:
                    h->onSpriteDown(sprite);
                    break;
                case eSceneHandlerSpriteUp:
                    h->onSpriteUp(sprite);
                    break;
                case eSceneHandlerSpriteDuplicated:
                    h->onSpriteDuplicated(sprite, other, static_cast<long>(value));
                    break;
                case eSceneHandlerNewSpriteFlags:
                    h->onNewSpriteFlags(sprite, value);
                    break;
                case eSceneHandlerUserEvent:
                    h->onUserEvent(name);
                    break;
                case eSceneHandlerDropEvent:
                    h->onDropEvent(name, sprite);
                    break;
                case eSceneHandlerDropAccepted:
                    h->onDropAccepted(name, sprite);
                    break;
                case eSceneHandlerDropFail:
                    h->onDropFail(name, sprite);
                    break;
                case eSceneHandlerNewSpriteUnderCursor:
                    h->onNewSpriteUnderCursor(sprite);
                    break;
                case eSceneHandlerSysEvent:
                    h->onSysEvent(static_cast<ZEvent*>(data));
                    break;
                case eSceneHandlerSpritePlayToTime:
                    // The time travels as a signed whole number in the unsigned word: -1, no
                    // target, must stay -1.
                    h->onSpritePlayToTime(sprite, static_cast<double>(static_cast<int64_t>(value)));
                    break;
                case eSceneHandlerSpriteStartHover:
                    h->onSpriteStartHover(sprite, other);
                    break;
                case eSceneHandlerSpriteEndHover:
                    h->onSpriteEndHover(sprite, other);
                    break;
                default:
                    break;
            }
        }
    }
    m_walkNext = outerNext;
    i = 0;
    for (CSceneHandler* h = m_sceneHandlers.head; h && i < count;
         h = ZList<CSceneHandler>::nextOf(h))
        h->calledMask = saved[i++];
    delete[] saved;
}

const char* CPlayer::getStringForFlags(uint64_t flags) {
    static char text[40];
    long n = 0;
    for (int bit = 0; bit < 26; bit++)
        if (flags & (1ull << bit)) text[n++] = static_cast<char>('A' + bit);
    for (int bit = 26; bit < 31; bit++)
        if (flags & (1ull << bit)) text[n++] = static_cast<char>('0' + bit - 26);
    if (flags >> 31) text[n++] = '5';
    text[n] = '\0';
    return text;
}

char* CPlayer::allocCopyIniString(ZIniReader& reader, const char* section, const char* key) {
    char value[256];
    if (!reader.getString(section, key, value, sizeof(value))) value[0] = '\0';
    return ZIniReader::allocCopyString(value);
}

bool CPlayer::staticEventHandler(ZEvent* event) {
    return g_lpPlayer ? g_lpPlayer->eventHandler(event) : false;
}

bool CPlayer::eventHandler(ZEvent* event) {
    if (!event) return true;
    // Events pumped by the frame a switch draws in the middle of an update wait for the next
    // frame: handling them now would run actions inside the update that asked for the switch.
    if (m_drawingSwitchFrame) {
        m_deferredEvents.push_back(*event);
        return true;
    }
    m_eventDepth++;
    if (!m_pointerLocked) {
        m_pointerX = ZInput::getMouseX();
        m_pointerY = ZInput::getMouseY();
    }
    tellHandlersOfEvent(event);

    long type = static_cast<long>(event->type);
    bool touch = type == kZEventTouch;
    if (type == kZEventFocusLost) {
        if (m_gameLoaded) {
            ZSound::suspend();
            ZMiscTools::setBackgroundMusicVolume(0);
        }
        releaseDraggedSprites(true, false, true, nullptr);
    } else if (type == kZEventFocusGained && m_gameLoaded) {
        ZSound::resume();
        // The volume music plays at, so that muted music stays silent.
        ZMiscTools::setBackgroundMusicVolume(musicVolume());
    }
    if (type == kZEventMouseUp || (touch && event->touchPhase == 2))
        releaseDraggedSprites(false, true, false, nullptr);
    bool pressed = m_touchMode ? touch && event->touchPhase == 0 : type == kZEventMouseDown;
    bool endedDrag = pressed && releaseDraggedSprites(true, true, false, nullptr);

    bool handled = false;
    bool pointer = (type >= kZEventMouseMove && type <= kZEventMouseDown) || touch;
    if (!m_windowJustCreated && !endedDrag && !(m_pointerLocked && pointer))
        handled = ZUIElement::dispatchEvent(event);
    if (!endedDrag && !handled) {
        if (type == kZEventFocusGained)
            overrideConfig();
        else if (type == kZEventFocusLost)
            saveSettings();
    }
    CGame::handleGameEvent(event);
    m_eventDepth--;
    return true;
}

void CPlayer::replayDeferredEvents() {
    std::vector<ZEvent> events;
    events.swap(m_deferredEvents);
    for (ZEvent& event : events) eventHandler(&event);
}
