#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CGame.h"
#include "CPlayer.h"
#include "CSceneLoader.h"
#include "CUIDisplayHandler.h"
#include "ZCore.h"
#include "ZGraphic.h"
#include "ZManagedGraphicList.h"
#include "ZManagedVideoList.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZResourceStat.h"
#include "ZSound.h"
#include "ZSysThread.h"
#include "ZText.h"
#include "ZUIElement.h"
#include "ZUIMessageFunction.h"
#include "ZVideo.h"
#include "ZWindow.h"

namespace {

const long kLayers = 9;

void copyText(char* target, size_t size, const char* text) {
    snprintf(target, size, "%s", text ? text : "");
}

void lowerCase(char* text) {
    for (; *text; text++) *text = static_cast<char>(tolower(static_cast<unsigned char>(*text)));
}

// The base name without the part from its last '.'.
void stem(const char* name, char* out, size_t size) {
    copyText(out, size, name);
    if (char* dot = strrchr(out, '.')) *dot = '\0';
}

bool graphicFileExists(const char* name) {
    char relative[260], path[260];
    snprintf(relative, sizeof(relative), "data/graphics/%s", name);
    ZResourceStat stat;
    return ZResource::stat(ZMiscTools::makeFilePathInBuffer(relative, path, sizeof(path)), &stat);
}

bool isLarge(ZGraphic* graphic) {
    return graphic->getWidth() > 1024 || graphic->getHeight() > 1024;
}

}  // namespace

CScene* CPlayer::findLoadedScene(const char* name) const {
    if (!name || !name[0]) return nullptr;
    const char* slash = strrchr(name, '/');
    const char* base = slash ? slash + 1 : name;
    for (CScene* scene = m_loadedScenes.head; scene; scene = ZList<CScene>::nextOf(scene))
        if (strcasecmp(scene->name, base) == 0) return scene;
    return nullptr;
}

CScene* CPlayer::getSceneByLayer(long layer) const {
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i))
        if (i->scene->layer == layer) return i->scene;
    return nullptr;
}

CScene* CPlayer::loadScene(const char* requested) {
    if (!requested || !requested[0]) return nullptr;
    char name[100];
    copyText(name, sizeof(name), requested);
    for (char* c = name; *c; c++)
        if (*c == '\\') *c = '/';

    long target = -1;
    for (CQueuedLoad* q = m_loadQueue.head; q; q = ZList<CQueuedLoad>::nextOf(q)) {
        if (strcasecmp(q->name, name) != 0) continue;
        target = q->layer;
        m_loadQueue.remove(q);
        delete q;
        break;
    }

    char relative[260], path[260];
    snprintf(relative, sizeof(relative), "data/scenes/%s.ini", name);
    lowerCase(relative);
    ZMiscTools::makeFilePathInBuffer(relative, path, sizeof(path));
    ZResourceStat stat;
    bool exists = ZResource::stat(path, &stat);
    int64_t time = exists ? stat.modificationTime : 0;

    CScene* scene = findLoadedScene(name);
    if (scene && !(exists && time <= scene->fileTime)) {
        freeScene(scene);
        delete scene;
        scene = nullptr;
    }
    if (!scene) {
        scene = new CScene();
        const char* slash = strrchr(name, '/');
        copyText(scene->name, sizeof(scene->name), slash ? slash + 1 : name);
        copyText(scene->baseName, sizeof(scene->baseName), scene->name);
        if (slash)
            snprintf(scene->skinPrefix, sizeof(scene->skinPrefix), "%.*s",
                     static_cast<int>(slash - name + 1), name);
        scene->fileTime = time;
        m_loadedScenes.addToTail(scene);
    }
    if (scene->loaderThread || scene->status > 1) return scene;

    // One loader runs at a time: a blocking load cancels the background ones first.
    if (m_pendingLoads > 0) flushLoadQueue();
    scene->targetLayer = target;
    for (CSceneHandler* h = m_sceneHandlers.head; h; h = ZList<CSceneHandler>::nextOf(h)) {
        const char* handled = h->getHandledSceneName();
        if (strcmp(handled, "*") == 0 || strcasecmp(handled, scene->name) == 0)
            h->selectSkinForScene(scene);
    }
    m_pendingLoads++;
    m_loaderError[0] = '\0';
    scene->loadError[0] = '\0';
    scene->cancel = false;
    scene->loaderThread = new ZSysThread(loaderThreadMain, scene, 0, -1);
    return scene;
}

void CPlayer::loaderThreadMain(void* data, long) {
    CScene* scene = static_cast<CScene*>(data);
    // Buffers of this load's own: the main thread may read another scene's errors meanwhile.
    CSceneLoader loader;
    if (!loader.loadSceneDefinition(scene)) {
        copyText(scene->loadError, sizeof(scene->loadError), loader.getFailedFile());
        return;
    }
    CGame::parseGameSceneFlags(scene);
    if (g_lpPlayer) g_lpPlayer->loadSceneAssets(scene);
}

bool CPlayer::loadSceneAssets(CScene* scene) {
    if (!scene || scene->status > 1 || scene->cancel) return true;
    char base[100];
    stem(scene->baseName, base, sizeof(base));
    char file[260];

    bool hasBackground = false;
    for (long i = 0; i < scene->brushCount; i++) hasBackground |= scene->brushes[i].id == 1;
    if (hasBackground && !scene->backgroundImage && !scene->streamBackground) {
        bool found = false;
        if (scene->skin[0]) {
            snprintf(file, sizeof(file), "%sscene_%s_background_%s.jpg", scene->skinPrefix, base,
                     scene->skin);
            found = graphicFileExists(file);
        }
        if (!found)
            snprintf(file, sizeof(file), "%sscene_%s_background.jpg", scene->skinPrefix, base);
        scene->backgroundImage = m_graphics->loadGraphic(file, true, false, false, -1, false,
                                                         "_a.jem", false, nullptr, false);
        if (!scene->backgroundImage) {
            copyText(scene->loadError, sizeof(scene->loadError), file);
            return false;
        }
    }

    bool lowMemory = CGame::isLowMemoryDevice();
    for (long i = 0; i < scene->atlasCount && !scene->cancel; i++) {
        if (scene->atlases[i]) continue;
        long n = i + 1;
        bool skinned = false;
        if (scene->skin[0]) {
            snprintf(file, sizeof(file), "%sscene_%s_atlas%ld_%s.jpg", scene->skinPrefix, base, n,
                     scene->skin);
            skinned = graphicFileExists(file);
        }
        if (skinned)
            snprintf(file, sizeof(file), "%sscene_%s_atlas%ld_%s.bmp", scene->skinPrefix, base, n,
                     scene->skin);
        else
            snprintf(file, sizeof(file), "%sscene_%s_atlas%ld.bmp", scene->skinPrefix, base, n);
        bool trueColor = !(lowMemory && scene->first16BitAtlas >= 0 && i >= scene->first16BitAtlas);
        scene->atlases[i] = m_graphics->loadGraphic(file, trueColor, true, false, -1, false,
                                                    "_a.jem", false, nullptr, false);
        if (!scene->atlases[i]) {
            copyText(scene->loadError, sizeof(scene->loadError), file);
            return false;
        }
    }
    if (!scene->cancel) scene->status = 2;
    return true;
}

bool CPlayer::joinLoader(CScene* scene) {
    if (!scene->loaderThread) return false;
    scene->loaderThread->waitForCompletion();
    delete scene->loaderThread;
    scene->loaderThread = nullptr;
    if (m_pendingLoads > 0) m_pendingLoads--;
    if (!scene->loadError[0]) return false;
    // The error was written before the thread ended, and the join orders it before this read.
    copyText(m_loaderError, sizeof(m_loaderError), scene->loadError);
    scene->loadError[0] = '\0';
    if (scene->status == 0) {
        // A missing scene file fails the load cleanly; its caller decides what that means.
        ZCore::logMessage("Scene: scene '%s' not loaded, file '%s' missing", scene->name,
                          m_loaderError);
        return false;
    }
    ZCore::logMessage("Scene: picture '%s' of scene '%s' missing, ERROR", m_loaderError,
                      scene->name);
    return true;
}

void CPlayer::uploadScene(CScene* scene) {
    if (!scene) return;
    if (joinLoader(scene)) {
        char failed[260];
        copyText(failed, sizeof(failed), m_loaderError);
        unloadScene(scene);
        abortOnFile(failed);
        return;
    }
    if (scene->status != 2) return;
    if (scene->backgroundImage)
        m_graphics->uploadGraphic(scene->backgroundImage, isLarge(scene->backgroundImage));
    for (long i = 0; i < scene->atlasCount; i++)
        if (scene->atlases[i])
            m_graphics->uploadGraphic(scene->atlases[i], isLarge(scene->atlases[i]));

    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite)) {
        if (sprite->brushIndex < 0 || sprite->brushIndex >= scene->brushCount) continue;
        _CBrush& brush = scene->brushes[sprite->brushIndex];
        if (brush.fontHeight >= 1) {
            if (brush.font) continue;
            char bitmap[260], table[260], path[260], tablePath[260];
            snprintf(bitmap, sizeof(bitmap), "data/graphics/font_%lx%s_1.jem", brush.id,
                     m_fontSuffix);
            snprintf(table, sizeof(table), "data/graphics/font_%lx%s.tbl", brush.id, m_fontSuffix);
            ZMiscTools::makeFilePathInBuffer(bitmap, path, sizeof(path));
            ZMiscTools::makeFilePathInBuffer(table, tablePath, sizeof(tablePath));
            ZText* font = new ZText();
            if (!font->loadFontTableAndBitmap(tablePath, path, false, false)) {
                delete font;
                abortOnFile(path);
                return;
            }
            long offset = static_cast<long>(CGame::getFontYOffset(brush.fontHeight, &brush));
            for (long page = 0; page < 8; page++) font->setYOffset(page, offset);
            brush.font = font;
        } else if (brush.video && !brush.videoPlayer) {
            char name[100];
            snprintf(name, sizeof(name), "video_%lx.ogv", brush.id);
            ZSound_register();
            ZVideo_register();
            brush.videoPlayer =
                m_videos->loadVideoInternal(name, brush.loopVideo, false, true, nullptr, -1);
            if (!brush.videoPlayer) {
                abortOnFile(name);
                return;
            }
            if (ZSound* sound = dynamic_cast<ZSound*>(brush.videoPlayer->getSoundStream()))
                sound->setVolume(std::clamp(atol(readSetting("sfxvolume")), 0l, 100l));
            brush.videoPlayer->pauseTime();
        }
    }
    scene->status = 3;
}

void CPlayer::insertScene(CScene* scene, long layer, bool noInitialUpdate) {
    if (!scene || scene->status != 3) return;
    char containerName[120];
    snprintf(containerName, sizeof(containerName), "scenecontainer_%s", scene->name);
    if (ZUIElement::getElementByName(containerName)) return;
    CSceneState* state = getSceneStateByName(scene->name, false);
    if (!state) return;

    copyText(state->musicInEffect, sizeof(state->musicInEffect),
             state->music[0] ? state->music : m_musicName);
    copyText(state->ambientInEffect, sizeof(state->ambientInEffect),
             state->ambient[0] ? state->ambient : (layer == 0 ? currentAmbientName() : ""));
    if (state->ambientInEffect[0]) referenceAmbientSound(state->ambientInEffect);

    ZUIElement* container = new ZUIElement(ZUIElement::getRootElement());
    if (layer < kLayers) container->moveToIndex(m_baseIndex + layer);
    container->setLayer(layer);
    container->setName(containerName);
    container->setPosition(0, 0);
    container->setSize(scene->width, scene->height);
    container->setBlend(1.0f);
    container->setMessageFunction(
        new ZUIMessageFunction<CPlayer>(this, &CPlayer::elementMessageHandler));
    container->setScaleXY(m_globalScaleX, m_globalScaleY);
    scene->container = container;
    scene->layer = layer;
    scene->sceneState = state;
    scene->backgroundSprite = nullptr;
    createGestureArea(layer, container);

    bool again = true;
    while (again) {
        again = false;
        bool inserted = false;
        for (CSprite* sprite = scene->sprites.head; sprite;
             sprite = ZList<CSprite>::nextOf(sprite)) {
            sprite->state = getSpriteState(state, sprite);
            if (sprite->brushId == 1) scene->backgroundSprite = sprite;
            if (sprite->element) continue;
            if (sprite->parent && !sprite->parent->element) {
                again = true;
                continue;
            }
            insertSprite(scene, state, sprite, 0);
            registerSpriteForEvents(sprite);
            scanSpritePreloads(sprite, true);
            inserted = true;
        }
        // Parents always get an element, so a pass that made none has nothing left to wait on.
        if (!inserted) break;
    }

    if (state->music[0]) playMusic(state->music, 100);
    if (state->ambient[0]) playAmbientSound(state->ambient);
    playRecordedLoopingSounds(state);
    deserializeSceneScriptStates(scene);
    state->insertedOnce = true;
    scene->status = 4;
    CInsertedScene* record = new CInsertedScene();
    record->scene = scene;
    record->layer = layer;
    m_insertedScenes.addToTail(record);
    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite))
        postInsertSprite(sprite);
    resetFrameLoop();
    if (state->replayPending) {
        state->replayPending = false;
        replayCommands(state);
    }
    if (!noInitialUpdate) updateScene(scene, 0);
    while (CStoredEvent* event = state->storedEvents.head) {
        state->storedEvents.remove(event);
        char name[100];
        memcpy(name, event->name, sizeof(name));
        delete event;
        forwardUserEvent(scene, name);
    }
}

void CPlayer::scanSpritePreloads(CSprite* sprite, bool reference) {
    for (long slot = 0; slot < CSprite::kEventSlots + 2 * sprite->keyCount; slot++) {
        long type;
        const char* param;
        if (slot < CSprite::kEventSlots) {
            type = sprite->eventActionType[slot];
            param = sprite->eventActionParam[slot];
        } else {
            long k = (slot - CSprite::kEventSlots) / 2, which = (slot - CSprite::kEventSlots) % 2;
            type = sprite->keys[k].actionType[which];
            param = sprite->keys[k].actionParam[which];
        }
        if (!param || !param[0]) continue;
        char text[256];
        copyText(text, sizeof(text), param);
        if (type == 15 && reference) {
            if (char* colon = strchr(text, ':')) *colon = '\0';
            addSceneToLoadQueue(text, -2);
        } else if (type == 18 || type == 19) {
            if (char* comma = strrchr(text, ',')) *comma = '\0';
            if (reference)
                referenceSound(text, type == 19, 4);
            else
                dereferenceSound(text, type == 19);
        } else if (type == 23) {
            if (reference)
                referenceAmbientSound(text);
            else
                dereferenceAmbientSound(text);
        }
    }
}

bool CPlayer::updateScene(CScene* scene, double dt) {
    if (!scene || !scene->sceneState || scene->status < 4) return false;
    CSceneState* state = scene->sceneState;
    if (state->insertedOnce) {
        state->insertedOnce = false;
        m_notifyAgain = true;
        callSceneHandlers(eSceneHandlerEnterScene, nullptr, scene->name, 0, nullptr);
        fireSceneEvent(scene, 12, 0);
    }
    for (CSprite* sprite = scene->sprites.head; sprite;) {
        CSprite* next = ZList<CSprite>::nextOf(sprite);
        updateSprite(sprite, dt, true, false);
        sprite = next;
    }
    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite))
        applySpriteColor(sprite);

    bool wasComplete = state->fadeCounter.isCompleted();
    state->fadeCounter.move(dt);
    // A switch or close waits while an action runs: it would free the elements and sprites
    // of the event being handled.
    if (wasComplete && state->nextScene[0] && m_actionDepth == 0) {
        long layer = scene->layer;
        if (layer == 0) drawFrameDuringSwitch();
        char target[100];
        copyText(target, sizeof(target), state->nextScene);
        state->nextScene[0] = '\0';
        state->fadeCounter.startCounter(1, 1, 0, 0, ZCounterLinear);
        state->fadeCounter.move(0);
        state->closeRequested = false;
        double duration = state->fadeTime;
        removeScene(scene);
        if (scene->referenceCount < 1) {
            unloadScene(scene);
            if (CGame::isLowMemoryDevice()) freeScene(scene);
        }
        if (m_restorePath[0] && layer == 0) {
            m_restorePending = true;
        } else {
            if (layer == 0 && m_resetOnNextSwitch) {
                m_resetOnNextSwitch = false;
                clearGameState();
            }
            if (layer == 0 && m_quitOnNextSwitch) {
                m_quitOnNextSwitch = false;
                if (m_window) m_window->setQuit(true);
            }
            CScene* next = loadScene(target);
            uploadScene(next);
            if (CSceneState* nextState = next ? getSceneStateByName(next->name, false) : nullptr) {
                nextState->nextScene[0] = '\0';
                if (duration >= 0)
                    nextState->fadeCounter.startCounter(0, 1, 0, std::max(0.0, nextState->fadeTime),
                                                        ZCounterLinear);
                else {
                    nextState->fadeCounter.startCounter(1, 1, 0, 0, ZCounterLinear);
                    nextState->fadeCounter.move(0);
                }
            }
            resetFrameLoop();
            insertScene(next, layer, false);
            if (layer >= 0 && layer < kLayers)
                copyText(m_sceneSlots[layer], sizeof(m_sceneSlots[layer]), target);
            flushSounds(false);
            flushAmbientSounds(false);
        }
        moveContainersToLayers();
        return false;
    }
    if (state->closeRequested && m_actionDepth == 0) {
        state->closeRequested = false;
        long targetLayer = scene->targetLayer;
        willRemoveScene(scene);
        removeScene(scene);
        if (targetLayer != -2 && scene->referenceCount < 1) {
            unloadScene(scene);
            if (CGame::isLowMemoryDevice()) freeScene(scene);
        }
        return false;
    }
    return true;
}

void CPlayer::drawFrameDuringSwitch() {
    // The frame shows the fade's end while the next scene loads. Nested inside an event or
    // another switch frame it is skipped: its event pump would re-enter the one running.
    if (m_drawingSwitchFrame || m_eventDepth > 0 || !m_window) return;
    m_drawingSwitchFrame = true;
    blit();
    endFrame(true);
    beginFrame();
    m_drawingSwitchFrame = false;
}

void CPlayer::moveContainersToLayers() {
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i))
        if (i->scene->container && i->layer < kLayers)
            i->scene->container->moveToIndex(m_baseIndex + i->layer);
}

void CPlayer::switchScene(CScene* scene, CSceneState* state, const char* target, double delay,
                          double duration) {
    if (!scene || !state || !target) return;
    if (!state->fadeCounter.isCompleted() && strcasecmp(state->nextScene, target) == 0) return;
    if (!(scene->layer == 0 && CGame::isLowMemoryDevice())) addSceneToLoadQueue(target, -1);
    if (scene->status >= 4) willRemoveScene(scene);
    copyText(state->nextScene, sizeof(state->nextScene), target);
    state->fadeTime = duration;
    state->fadeCounter.startCounter(1, 0, delay, std::max(0.0, duration), ZCounterLinear);
}

void CPlayer::willRemoveScene(CScene* scene) {
    if (!scene || scene->status < 4) return;
    if (scene->container) scene->container->enableTreeInput(false);
    fireSceneEvent(scene, 14, 2);
}

void CPlayer::removeScene(CScene* scene) {
    if (!scene || scene->status < 4 || !scene->sceneState) return;
    fireSceneEvent(scene, 13, 1);
    callSceneHandlers(eSceneHandlerLeaveScene, nullptr, scene->name, 0, nullptr);
    serializeSceneScriptStates(scene);
    releaseSceneCursorsAndDrags(scene);
    for (CInsertedScene* i = m_insertedScenes.head; i;) {
        CInsertedScene* next = ZList<CInsertedScene>::nextOf(i);
        if (i->scene == scene) {
            if (m_walkNext == i) m_walkNext = next;
            m_insertedScenes.remove(i);
            delete i;
        }
        i = next;
    }
    if (scene->container) {
        for (CSprite* sprite = scene->sprites.head; sprite;
             sprite = ZList<CSprite>::nextOf(sprite)) {
            unregisterSpriteForEvents(sprite);
            scanSpritePreloads(sprite, false);
            removeSprite(sprite);
        }
        removeReparentedElements(scene, scene->container);
        if (scene->layer >= 0 && scene->layer < kPanLayers &&
            m_gestureContainers[scene->layer] == scene->container)
            deleteGestureArea(scene->layer);
        delete scene->container;
    }
    if (scene->sceneState->ambientInEffect[0])
        dereferenceAmbientSound(scene->sceneState->ambientInEffect);
    scene->layer = -1;
    scene->sceneState = nullptr;
    scene->container = nullptr;
    scene->backgroundSprite = nullptr;
    scene->status = 3;
}

void CPlayer::unloadScene(CScene* scene) {
    if (!scene) return;
    if (scene->loaderThread) {
        scene->cancel = true;
        if (joinLoader(scene)) {
            char failed[260];
            copyText(failed, sizeof(failed), m_loaderError);
            unloadScene(scene);
            abortOnFile(failed);
            return;
        }
    }
    if (scene->status < 2 && !scene->cancel) return;
    scene->cancel = false;
    willRemoveScene(scene);
    removeScene(scene);
    for (long i = 0; i < scene->brushCount; i++) {
        _CBrush& brush = scene->brushes[i];
        if (brush.videoPlayer) m_videos->unloadVideoByRef(brush.videoPlayer);
        brush.videoPlayer = nullptr;
        delete brush.font;
        brush.font = nullptr;
    }
    for (long i = scene->atlasCount - 1; i >= 0; i--) {
        if (scene->atlases[i]) m_graphics->unloadGraphicByRef(scene->atlases[i]);
        scene->atlases[i] = nullptr;
    }
    if (scene->backgroundImage) m_graphics->unloadGraphicByRef(scene->backgroundImage);
    scene->backgroundImage = nullptr;
    // A load cancelled before its definition was read has none to keep.
    scene->status = scene->status >= 1 ? 1 : 0;
}

void CPlayer::freeScene(CScene* scene) {
    if (!scene) return;
    unloadScene(scene);
    for (CSceneState* s = m_sceneStates.head; s; s = ZList<CSceneState>::nextOf(s))
        if (strcasecmp(s->name, scene->name) == 0) s->replayPending = true;
    scene->freeDefinition();
    scene->name[0] = '\0';
    scene->status = 0;
    m_loadedScenes.remove(scene);
}

void CPlayer::freeAllScenes() {
    while (CScene* scene = m_loadedScenes.tail) {
        freeScene(scene);
        delete scene;
    }
}

void CPlayer::addSceneToLoadQueue(const char* name, long layer) {
    if (!name || !name[0]) return;
    for (CQueuedLoad* q = m_loadQueue.head; q; q = ZList<CQueuedLoad>::nextOf(q))
        if (strcasecmp(q->name, name) == 0) return;
    CScene* loaded = findLoadedScene(name);
    if (loaded && loaded->status > 1) return;
    CQueuedLoad* q = new CQueuedLoad();
    copyText(q->name, sizeof(q->name), name);
    q->layer = layer;
    m_loadQueue.addToTail(q);
}

void CPlayer::executeQueuedLoads() {
    if (m_pendingLoads == 0 && m_loadQueue.head) {
        char name[100];
        copyText(name, sizeof(name), m_loadQueue.head->name);
        loadScene(name);
    }
    for (CScene* scene = m_loadedScenes.head; scene;) {
        CScene* next = ZList<CScene>::nextOf(scene);
        long layer = scene->targetLayer;
        if (layer < 0 || scene->status != 2) {
            scene = next;
            continue;
        }
        if (CScene* old = getSceneByLayer(layer)) {
            willRemoveScene(old);
            removeScene(old);
            unloadScene(old);
            if (CGame::isLowMemoryDevice()) {
                if (old == next) next = ZList<CScene>::nextOf(old);
                freeScene(old);
                delete old;
            }
        }
        uploadScene(scene);
        resetFrameLoop();
        insertScene(scene, layer, false);
        if (layer < kLayers)
            copyText(m_sceneSlots[layer], sizeof(m_sceneSlots[layer]), scene->name);
        scene->targetLayer = -1;
        flushSounds(false);
        flushAmbientSounds(false);
        char event[120];
        snprintf(event, sizeof(event), "sceneloaded:%s", scene->name);
        broadcastUserEvent(event, false);
        scene = next;
    }
}

void CPlayer::flushLoadQueue() {
    while (CQueuedLoad* q = m_loadQueue.head) {
        m_loadQueue.remove(q);
        delete q;
    }
    for (CScene* scene = m_loadedScenes.head; scene; scene = ZList<CScene>::nextOf(scene))
        if (scene->loaderThread) unloadScene(scene);
}

CScene* CPlayer::playScene(const char* name, long layer) {
    if (layer >= 0 && layer < kLayers)
        copyText(m_sceneSlots[layer], sizeof(m_sceneSlots[layer]), name);
    CScene* scene = loadScene(name);
    uploadScene(scene);
    insertScene(scene, layer, false);
    return scene;
}

void CPlayer::stopScene(CScene* scene) {
    if (!scene) return;
    willRemoveScene(scene);
    removeScene(scene);
    unloadScene(scene);
}

void CPlayer::stopAllScenes() {
    for (const char* name : m_sceneSlots)
        if (name[0]) stopScene(findLoadedScene(name));
}

void CPlayer::referenceScene(const char* name) {
    CScene* scene = loadScene(name);
    uploadScene(scene);
    if (scene) scene->referenceCount++;
}

void CPlayer::dereferenceScene(const char* name) {
    CScene* scene = findLoadedScene(name);
    if (!scene || scene->referenceCount < 1) return;
    if (--scene->referenceCount > 0) return;
    willRemoveScene(scene);
    removeScene(scene);
    unloadScene(scene);
    if (CGame::isLowMemoryDevice()) {
        freeScene(scene);
        delete scene;
    }
}

void CPlayer::doResetOnNextSwitch() {
    m_resetOnNextSwitch = true;
    m_quitOnNextSwitch = false;
    m_restorePath[0] = '\0';
}

void CPlayer::doQuitOnNextSwitch() {
    m_quitOnNextSwitch = true;
}

void CPlayer::doRestoreOnNextSwitch(const char* path) {
    copyText(m_restorePath, sizeof(m_restorePath), path);
    m_resetOnNextSwitch = false;
    m_quitOnNextSwitch = false;
}

void CPlayer::setStartingScene(const char* name, long layer) {
    if (layer == 0)
        copyText(m_startScene, sizeof(m_startScene), name);
    else if (layer >= 1 && layer <= 8)
        copyText(m_overlays[layer - 1], sizeof(m_overlays[layer - 1]), name);
}

void CPlayer::setFallbackScene(const char* name) {
    copyText(m_fallbackScene, sizeof(m_fallbackScene), name);
}

CSceneState* CPlayer::getSceneStateByName(const char* name, bool onlyExisting) {
    if (!name) return nullptr;
    for (CSceneState* s = m_sceneStates.head; s; s = ZList<CSceneState>::nextOf(s))
        if (strcasecmp(s->name, name) == 0) return s;
    if (onlyExisting) return nullptr;
    CScene* scene = findLoadedScene(name);
    if (!scene) return nullptr;
    CSceneState* state = new CSceneState();
    copyText(state->name, sizeof(state->name), name);
    resetSceneState(scene, state);
    copyStoredEventsTo(state);
    m_sceneStates.addToTail(state);
    return state;
}

void CPlayer::resetSceneState(CScene* scene, CSceneState* state) {
    if (!scene || !state) return;
    state->fadeTime = 500;
    state->fadeCounter.startCounter(1, 1, 0, 0, ZCounterLinear);
    state->fadeCounter.move(0);
    state->replayPending = false;
    state->closeRequested = false;
    state->nextScene[0] = '\0';
    state->createdDuringRestore = m_restoringGameState;
    state->insertedOnce = true;
    for (int64_t& v : state->scriptValues) v = 0;
    copyText(state->music, sizeof(state->music), scene->defaultMusic);
    state->ambient[0] = state->musicInEffect[0] = state->ambientInEffect[0] = '\0';
    resetSceneSprites(scene, state);
    state->freeSpriteStates();
    state->freeStoredEvents();
    state->freeScriptStrings();
    state->freeCommands();
}

void CPlayer::freeSceneState(CSceneState* state) {
    if (!state) return;
    if (CScene* scene = findLoadedScene(state->name)) {
        if (scene->sceneState == state) scene->sceneState = nullptr;
        resetSceneSprites(scene, state);
    }
    m_sceneStates.remove(state);
    delete state;
}
