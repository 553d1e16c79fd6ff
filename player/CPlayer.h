#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "CAmbientSound.h"
#include "CAvailableDisplayHandler.h"
#include "CGlobalVariable.h"
#include "CInsertedScene.h"
#include "CPlayerSettings.h"
#include "CQueuedLoad.h"
#include "CSavedGame.h"
#include "CScene.h"
#include "CSceneHandler.h"
#include "CSceneLoader.h"
#include "CSceneState.h"
#include "CSound.h"
#include "CStoredEvent.h"
#include "CStreamedSound.h"
#include "CUserEvent.h"
#include "ZEvent.h"
#include "ZGame.h"
#include "ZList.h"
#include "ZSysLock.h"
#include "_CSpriteAction.h"

#include "ZRectangle.h"
#include "ZVector2.h"

class CSpriteState;
class CUIEmitter;
class ZGestureArea;
class ZGraphic;
class ZSound;
class ZSysThread;
class ZUIImage;
class ZUIElement;
struct ZEvent;
struct ZUIMessage;

// The game object: opens the window with the player's settings, loads the game's configuration
// and start scenes from data.pak, and runs the frames in their fixed order, drawing the nine
// scene layers and the cursor layer between the game's hooks.
class CPlayer : public ZGame {
public:
    static constexpr long kSceneSlots = 9;
    static constexpr long kCursorLayer = 99;
    // A testing aid: with this variable set to N, the window is asked to quit after N frames.
    static constexpr const char* kQuitAfterFramesVariable = "BRAMBLE_QUIT_AFTER_FRAMES";

    typedef bool (*SpriteActionFilter)(CSprite* sprite, void* action);
    typedef void (*UserEventCallback)(void* data, const char* name);

    CPlayer();
    ~CPlayer() override;

    const char* getGameName() override;
    const char* getSafeGameName() override;
    const char* getSafeDeveloperName() override;
    const char* getGameVersion() override;
    ZWindow* createGameWindow() override;
    bool loadGame() override;
    void run() override;
    void renderFrame() override;
    void unloadGame() override;
    void destroyGameWindow(ZWindow* window) override;
    const char* getString(const char* id) override;
    void onEndFrame() override {}

    void move(double dt);
    void blit();

    // Settings.
    const char* readSetting(const char* key) const;
    long readSettingAsLong(const char* key) const;
    void writeSetting(const char* key, const char* value, bool quiet);
    void writeSettingAsLong(const char* key, long value, bool quiet);
    void saveSettings();

    // Configuration.
    void readConfig();
    void overrideConfig();
    const char* getStartScene() const { return m_startScene; }
    long getOverlayCount() const { return m_overlayCount; }
    const char* getOverlay(long i) const;
    const char* getDebugSceneName(long i) const;
    const char* getSceneSlot(long slot) const;
    const char* getGameLanguage() const { return m_language; }
    void setGameLanguage(const char* name);
    void setFontSuffix(const char* suffix);
    void setDebugFont(const char* path);
    void setSpriteActionFilterHandler(SpriteActionFilter filter) { m_actionFilter = filter; }
    void setUserEventCallback(UserEventCallback callback, void* data);
    void forceRenderCurrentFrame() { m_forceRender = true; }
    bool isGameLoaded() const { return m_gameLoaded; }
    ZUIElement* getCursorContainer() const { return m_cursorContainer; }
    long getBaseIndex() const { return m_baseIndex; }

    // Handlers.
    void registerSceneHandler(CSceneHandler* handler);
    void resetSceneHandlers();
    void registerDisplayHandler(const char* name, CDisplayHandlerFactory factory);
    // The element of the last registered handler of that name (without case) made under the
    // parent, reset and given its scene; null with a log line when no handler has the name.
    CUIDisplayHandler* createDisplayHandler(const char* name, ZUIElement* parent, CScene* scene);
    void callSceneHandlers(long method, CSprite* sprite, const char* text, uint64_t value,
                           void* data);
    // Runs a user event on its listening sprites and display handlers, then tells the scene
    // handlers and the user-event callback; true when a listener reacted.
    bool broadcastUserEvent(const char* name, bool quiet);

    // Scene lifecycle: a scene is read and its pictures decoded on a loader thread of its own,
    // uploaded and inserted on the main thread, updated each frame, removed and unloaded.
    CScene* findLoadedScene(const char* name) const;
    CScene* getSceneByName(const char* name) const { return findLoadedScene(name); }
    CScene* loadScene(const char* name);
    static void loaderThreadMain(void* scene, long parameter);
    bool loadSceneAssets(CScene* scene);
    void uploadScene(CScene* scene);
    void insertScene(CScene* scene, long layer, bool noInitialUpdate);
    bool updateScene(CScene* scene, double dt);
    void switchScene(CScene* scene, CSceneState* state, const char* target, double delay,
                     double duration);
    void willRemoveScene(CScene* scene);
    void removeScene(CScene* scene);
    void unloadScene(CScene* scene);
    void freeScene(CScene* scene);
    void freeAllScenes();
    void addSceneToLoadQueue(const char* name, long layer);
    void executeQueuedLoads();
    void flushLoadQueue();
    CScene* playScene(const char* name, long layer);
    void stopScene(CScene* scene);
    void stopAllScenes();
    void referenceScene(const char* name);
    void dereferenceScene(const char* name);
    void doResetOnNextSwitch();
    void doQuitOnNextSwitch();
    void doRestoreOnNextSwitch(const char* path);
    void setStartingScene(const char* name, long layer);
    void setFallbackScene(const char* name);
    bool hasScenes() const { return m_insertedScenes.count > 0; }
    long getPendingLoads() const { return m_pendingLoads; }
    long getQueuedLoadCount() const { return m_loadQueue.count; }
    const char* getFailedFile() const { return m_loaderError; }
    const ZList<CInsertedScene>& getInsertedScenes() const { return m_insertedScenes; }
    const ZList<CScene>& getSceneList() const { return m_loadedScenes; }
    CScene* getSceneByLayer(long layer) const;
    // Scene states: found by the scene's name, made for a loaded scene on first need.
    CSceneState* getSceneStateByName(const char* name, bool onlyExisting);
    void resetSceneState(CScene* scene, CSceneState* state);
    void freeSceneState(CSceneState* state);

    // What the scene lifecycle tells the event road and the saved state: a sprite's events,
    // the element messages of scene containers, the display handlers' state blocks.
    void elementMessageHandler(ZUIMessage* message);
    bool executeSpriteActionForEvent(CSprite* sprite, long slot);
    void registerSpriteForEvents(CSprite* sprite);
    void unregisterSpriteForEvents(CSprite* sprite);
    void serializeSceneScriptStates(CScene* scene);
    void deserializeSceneScriptStates(CScene* scene);
    void clearGameState();

    // Sprites and their elements.
    CSpriteState* getSpriteState(CSceneState* sceneState, CSprite* sprite);
    void resetSpriteState(CSprite* sprite, CSpriteState* state);
    void insertSprite(CScene* scene, CSceneState* sceneState, CSprite* sprite, long id);
    void postInsertSprite(CSprite* sprite);
    void removeSprite(CSprite* sprite);
    void removeReparentedElements(CScene* scene, ZUIElement* element);
    void freeSprite(CSprite* sprite);
    void freeSceneSpriteTree(CScene* scene, CSceneState* sceneState, CSprite* sprite);
    void changeSpriteParentNode(CSprite* sprite, CSprite* parent);
    // Copies made at run time: kind 2 with keep, else kind 1 (deleted when its track ends).
    CSprite* duplicateSprite(CSprite* sprite, CSprite* parent, bool keep, const char* name,
                             long handlerId, const char* handler);
    CSprite* copySprite(CSprite* sprite, bool keep, const char* name, long handlerId,
                        const char* handler);
    CSprite* copySpriteAt(CSprite* sprite, ZVector2 position, bool screen, bool keep,
                          const char* name, CSprite* parent, long handlerId, const char* handler);
    CSprite* cmdDuplicateSprite(CSprite* source, CSprite* parent, bool keep, unsigned long id,
                                const char* name, long number, const char* handler);
    // Deletes a copy made at run time with its tree, wherever its element hangs.
    void deleteCopiedSprite(CSprite* sprite);
    static char* allocCopyString(const char* text);
    ZGraphic* getWhiteGraphic() const { return m_whiteGraphic; }
    void setDefaultTouchMargin(float margin) { m_defaultTouchMargin = margin; }
    bool isTouchMode() const { return m_touchMode; }

    // Key-frame animation and sprite appearance.
    bool updateSprite(CSprite* sprite, double frameTime, bool mayDelete, bool forceDelete);
    CSpriteKey interpolateKey(CSprite* sprite);
    float interpolateBrushFrame(CSprite* sprite, CSpriteKey* key);
    float getSpriteBrushFrame(CSprite* sprite);
    float getSpriteBrushAnimRate(CSprite* sprite);
    void playSpriteKeys(CSprite* sprite, long from, long to, long mode);
    void playSpriteTime(CSprite* sprite, double from, double to);
    void stopSprite(CSprite* sprite);
    void setSpriteKeyOffset(CSprite* sprite, long offset);
    long getSpriteKeyForTime(CSprite* sprite, double time);
    long getCurrentSpriteKey(CSprite* sprite);
    float amortizeProgress(CSprite* sprite, float progress);
    ZVector2 getSpriteAnchor(CSprite* sprite, long key, bool screen);
    ZVector2 getSpriteAnchorForTime(CSprite* sprite, double time, bool screen);
    ZVector2 getSpriteScreenSpaceAnchor(CSprite* sprite, long key);
    void setSpriteAnchor(CSprite* sprite, long key, ZVector2 position, bool screen);
    void resetSpriteAnchor(CSprite* sprite, long key);
    ZVector2 getSpriteKeyAnchorOffset(CSprite* sprite, long key);
    float getSpriteKeyAnchorOffsetX(CSprite* sprite, long key);
    float getSpriteKeyAnchorOffsetY(CSprite* sprite, long key);
    void setSpriteKeyAnchorOffset(CSprite* sprite, long key, ZVector2 offset);
    void setSpriteKeyAnchorOffsetX(CSprite* sprite, long key, float x);
    void setSpriteKeyAnchorOffsetY(CSprite* sprite, long key, float y);
    void setSpriteKeyAnchorOffsetCount(CSprite* sprite, long count);
    void updateSpriteBezier(CSprite* sprite);
    void applySpriteColor(CSprite* sprite);
    void applySpriteBrush(CSprite* sprite, CSprite* source, bool keepAnchor);
    void applySpriteText(CSprite* sprite, const char* text, bool replace);
    void applySpriteTextLabel(CSprite* sprite, const char* label, const char* a1, bool replace,
                              const char* a2, const char* a3);
    ZRectangle getSpriteRect(CSprite* sprite, long key, bool screen);
    ZRectangle getSpriteBoundingRect(CSprite* sprite, long key);
    bool isSpriteClickable(CSprite* sprite);
    bool doesSpriteAcceptDrop(CSprite* sprite, const char* name);
    bool isPaused() const { return m_paused; }
    void setPaused(bool paused) { m_paused = paused; }
    bool isDebug() const { return m_debug; }
    void setDebug(bool debug) { m_debug = debug; }
    bool isRunningKeyActions() const { return m_keyActionRunning; }
    // While a drop is delivered, finished copies wait in a list instead of being freed.
    void beginDeferredSpriteDeletes() { m_deferredDeleteDepth++; }
    void endDeferredSpriteDeletes();
    long getDeferredSpriteDeleteCount() const { return m_deferredDeletes.count; }
    // The action interpreter (after the action filter) and the recorded scene commands.
    void executeSpriteAction(CSprite* sprite, _CSpriteAction* action);
    void addSceneCommand(CScene* scene, long type, long w1, long w2, long w3, long w4, long w5,
                         const char* t1, float f1, float f2, const char* t2, const char* t3,
                         const char* t4);
    void removeSceneCommands(CScene* scene, long spriteId);
    void removeSceneCommandsOfType(CScene* scene, long spriteId, long type);
    void cmdApplySpriteBrush(CSprite* sprite, CSprite* source);

    // Sounds and music: effects, background music, ambient and streamed sounds.
    void referenceSound(const char* file, bool loop, long voices);
    void dereferenceSound(const char* file, bool loop);
    void playSound(const char* file, bool loop, long volume);
    void stopSound(const char* file);
    bool isSoundPlaying(const char* file);
    void setSoundVolume(const char* file, bool loop, long volume);
    void stopAllSounds();
    void flushSounds(bool force);
    void referenceSoundF(bool loop, long voices, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    void dereferenceSoundF(bool loop, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    void playSoundF(bool loop, long volume, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    void playMusic(const char* file, long volume);
    void stopMusic();
    void muteMusic(bool mute);
    void setCurrentMusicVolume(long volume);
    const char* getCurrentMusicFilename() const { return m_musicName; }
    void referenceMusic(const char* file);
    void dereferenceMusic(const char* file);
    void flushMusic(bool force);
    void referenceAmbientSound(const char* file);
    void dereferenceAmbientSound(const char* file);
    void playAmbientSound(const char* file);
    void stopAmbientSound();
    void muteAmbientSounds(bool mute);
    void flushAmbientSounds(bool force);
    const char* getCurrentAmbientSoundFilename() const { return m_ambientName; }
    void streamSound(const char* file, double delay, long volume, long index);
    // A negative index stops every streamed sound.
    void stopStreamedSounds(long index);
    bool isStreamedSoundPlaying(long index);
    void updateStreamedSounds(double elapsed);
    // Re-applies the volume of setting index to the sounds that follow it.
    void applySoundVolumes(long index);

    // Saved games: the whole state written to a file, read back at the start of a frame; the
    // header read alone and two of its fields patched in place.
    void saveGameStateTo(const char* path);
    // False, with the game left as it was, for a file that is missing or refused.
    bool restoreGameStateFrom(const char* path);
    bool checkSavedGameState(const char* path, char* sceneName, unsigned long sceneNameSize,
                             long* fastValues);
    void saveFastGameSpecificValues(const char* path);
    void saveSceneName(const char* path, const char* name);
    const char* getSavedGameFilename(long slot);
    static unsigned long xorBuffer(void* buffer, unsigned long length);
    // Set for the rest of the frame that ran a restore.
    bool hasRestoredThisFrame() const { return m_restoredThisFrame; }

    // Event road: touch mode, cursor sprites, the pointer lock, the global scale, drag and drop.
    void setTouchMode(bool on);
    // A null sprite unsets the cursor.
    void setSpriteAsCursor(CSprite* sprite);
    void setSpriteAsSecondaryCursor(CSprite* sprite);
    CSprite* getCursorSprite() const { return m_cursorSprite; }
    CSprite* getSecondaryCursorSprite() const { return m_secondaryCursorSprite; }
    void lockPointer(bool on);
    bool isPointerLocked() const { return m_pointerLocked; }
    float getGlobalScaleX() const { return m_globalScaleX; }
    float getGlobalScaleY() const { return m_globalScaleY; }
    // Taken by the cursor container at load and by scene containers at insertion only.
    void setGlobalScale(float x, float y);
    static CSprite* getSpriteForElement(ZUIElement* element);
    void handleDebugKeys() {}
    void dragSprite(CSprite* sprite, const char* name);
    // Ends the drags of every dragged sprite, or of only that one; true when one was released.
    bool releaseDraggedSprites(bool force, bool drop, bool all, CSprite* only);
    CSprite* getFirstDraggedSprite();
    CSprite* getNextDraggedSprite(CSprite* sprite);
    bool isDraggingSprites() const { return m_dragInProgress; }
    void acceptNativeDrop() { m_nativeDropAccepted = true; }
    void flagDropSuccess() { m_dropSuccess = true; }
    ZVector2 getSpriteDropAnchor() const { return m_dropAnchor; }
    // The sprite whose drop is being delivered, null otherwise.
    CSprite* getDropSourceSprite() const { return m_dropSource; }

    // User events, sprite-event broadcasts, stored events and the action interpreter.
    bool broadcastUserEventF(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void forwardUserEvent(CScene* scene, const char* name);
    bool isEventForwarded() const { return m_eventForwarded; }
    void broadcastSceneFlagsEvent(unsigned long flags, long slot);
    void storeUserEvent(const char* name);
    void removeStoredEvent(const char* name, bool prefix);
    bool doesStoredEventExist(const char* name, bool prefix);
    // The global stored events, which the saved game writes and reads.
    ZList<CStoredEvent>& getStoredEvents() { return m_storedEvents; }
    // Gives a new scene state a copy of every global stored event.
    void copyStoredEventsTo(CSceneState* state);
    // Deletes every global stored event, from the last to the first.
    void freeStoredEvents();
    const ZList<CUserEvent>& getUserEventList() const { return m_userEvents; }
    const ZList<CUserEventListener>& getBroadcastListeners(long slot) const {
        return m_broadcastListeners[slot >= 0 && slot < CSprite::kEventSlots ? slot : 0];
    }
    // Actions and events nested deeper than this are dropped with a log line.
    static constexpr long kMaxActionDepth = 16;
    long getActionDepth() const { return m_actionDepth; }
    // Whether the sprite is registered for events, that is, alive in an inserted scene.
    bool isSpriteRegistered(const CSprite* sprite) const;
    // Frees the sprites kept while actions ran; nothing while one runs.
    void releaseSpritesFreedDuringActions();
    // Frees every user event, listener and stored event, and the sprites kept for actions.
    void releaseEventRecords();
    // A copy whose anchor lands on the target's anchor at the key (clamped to its keys).
    CSprite* copySpriteAndAlign(CSprite* sprite, CSprite* target, bool keep, long key,
                                const char* name, long handlerId, const char* handler);
    // Moves a copy so that its element tree lies on the screen, on each axis where it sticks
    // out on one side only.
    void containCopiedSprite(CSprite* sprite);

    // Scene commands, scene state, global variables, fast values and the game's sprite services.
    void removeSceneCommandsForSound(CScene* scene, const char* file);
    // Runs a copy of the state's commands in order: commands recorded meanwhile wait.
    void replayCommands(CSceneState* state);
    // Starts each recorded looping sound of the state that is not playing.
    void playRecordedLoopingSounds(CSceneState* state);
    CSprite* getSpriteById(CScene* scene, long id);
    void cmdApplySpriteKeys(CSprite* sprite, CSprite* source);
    void cmdApplySpriteText(CSprite* sprite, const char* text);
    void cmdApplySpriteTextLabel(CSprite* sprite, const char* label, const char* a1, const char* a2,
                                 const char* a3);
    void cmdApplySpriteActionForEvent(CSprite* sprite, long slot, long type, const char* parameter,
                                      const char* names);
    void cmdApplySpriteActionForKey(CSprite* sprite, long key, long which, long type,
                                    const char* parameter);
    void cmdSetSpriteScale(CSprite* sprite, long key, float x, float y);
    void cmdPlaySoundLoop(const char* file, long volume);
    void setSpriteParent(CSprite* sprite, CSprite* parent);
    void cmdSetSpriteParent(CSprite* sprite, long parentId);
    const ZList<CSceneState>& getSceneStateList() const { return m_sceneStates; }
    long getSceneGameFlagsInt(CScene* scene);
    long getSceneScriptValue(CScene* scene, long index);
    void setSceneScriptValue(CScene* scene, long index, long value);
    long getSceneScriptValueFromState(CSceneState* state, long index);
    void setSceneScriptValueFromState(CSceneState* state, long index, long value);
    const char* getSceneScriptStringValue(CScene* scene, long index);
    const char* getSceneScriptStringValueFromState(CSceneState* state, long index);
    void setSceneScriptStringValue(CScene* scene, long index, const char* text);
    void setSceneScriptStringValueFromState(CSceneState* state, long index, const char* text);
    bool doesGlobalVariableExist(const char* name);
    const char* readGlobalVariable(const char* name);
    long readGlobalVariableAsLong(const char* name);
    void writeGlobalVariable(const char* name, const char* value);
    void writeGlobalVariableAsLong(const char* name, long value);
    const ZList<CGlobalVariable>& getGlobalVariableList() const { return m_globalVariables; }
    void freeGlobalVariables();
    long getFastGameSpecificValue(long index);
    // The value comes first.
    void setFastGameSpecificValue(long value, long index);
    void resetGameState();
    void refreshGameState();
    void resetGameStateForScene(const char* name);
    // Scene states reset while this is set remember that a restore made them.
    bool isRestoringGameState() const { return m_restoringGameState; }
    void setRestoringGameState(bool restoring) { m_restoringGameState = restoring; }
    CSprite* getSpriteByName(CScene* scene, const char* name);
    CSprite* getSpriteByNameNoCase(CScene* scene, const char* name);
    CSprite* getSpriteByNameF(CScene* scene, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    CSprite* getChildSpriteByName(CSprite* sprite, const char* name);
    CSprite* getChildSpriteByNameF(CSprite* sprite, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    const char* getSpriteName(CSprite* sprite);
    long getSpriteId(CSprite* sprite);
    long getSpriteGameFlagsInt(CSprite* sprite);
    const char* getSpriteGameFlags(CSprite* sprite);
    const char* getSpriteGameValue(CSprite* sprite, long index);
    long getSpriteScriptValue(CSprite* sprite, long index);
    void setSpriteScriptValue(CSprite* sprite, long index, long value);
    void setSpriteScale(CSprite* sprite, long key, float x, float y);
    void moveSpriteToFront(CSprite* sprite, bool replace);
    void moveSpriteToBack(CSprite* sprite, bool replace);
    void moveSpriteBehindSibling(CSprite* sprite, CSprite* sibling, bool replace);
    void moveSpriteInFrontOfSibling(CSprite* sprite, CSprite* sibling, bool replace);
    void doCustomSpriteCommand(CSprite* sprite, long a, long b, const char* text, bool replace);
    void applySpriteKeys(CSprite* sprite, CSprite* source);
    void applySpriteActionForEvent(CSprite* sprite, long slot, long type, const char* param,
                                   const char* extra);
    void applySpriteActionForKey(CSprite* sprite, long key, long which, long type,
                                 const char* param);
    bool doesSpriteUserEventContain(CSprite* sprite, long index, const char* name);
    void executeScriptForSprite(CSprite* sprite, const char* script);
    void setTouchDragOffset(ZVector2 offset, bool enabled);
    ZVector2 getTouchDragOffsetForSprite(CSprite* sprite);

    static const char* getStringForFlags(uint64_t flags);
    static char* allocCopyIniString(ZIniReader& reader, const char* section, const char* key);

    static bool staticEventHandler(ZEvent* event);
    bool eventHandler(ZEvent* event);

    static CPlayer* g_lpPlayer;

protected:
    // The root's children kept before the scene containers; loadGame counts them.
    void setBaseIndex(long index) { m_baseIndex = index; }

public:
    // Pan and zoom of the two lowest scene layers (0 and 1); other layers are ignored.
    static constexpr long kPanLayers = 2;
    void disableGestures(long layer);
    void setZoomedSpriteOffset(long layer, float x, float y);
    void setZoomedSpriteSize(long layer, float width, float height);
    // Moves the layer's camera so that the target rectangle comes into view, unless it is wholly
    // visible already.
    void panAreaToTarget(long layer, ZRectangle target);
    ZGestureArea* getGestureArea(long layer) const;
    // The gesture area of a layer, bound to the container of the scene inserted in it (a new
    // scene of the layer takes over the area); and its removal with the scene.
    void createGestureArea(long layer, ZUIElement* container);
    void deleteGestureArea(long layer);

private:
    // Drawing of the main scene: whether its background covers the screen, and the black band
    // around it where a pan or zoom leaves the screen uncovered.
    bool mainSceneNeedsClear(CScene* main);
    void drawBandAroundMainScene(CScene* main);

    // The flags under the pointer: the sprite's own and those of its current key.
    static uint64_t flagsOfSprite(CSprite* sprite);

    void panAndZoomLayers();
    void applyPanMatrix(long layer);
    ZGestureArea* m_gestureAreas[kPanLayers] = {};
    ZUIElement* m_gestureContainers[kPanLayers] = {};
    ZVector2 m_zoomedOffset[kPanLayers] = {};
    ZVector2 m_zoomedNegatedOffset[kPanLayers] = {};
    ZVector2 m_zoomedSize[kPanLayers] = {{-1, -1}, {-1, -1}};
    bool m_gesturesDisabled[kPanLayers] = {};

public:
    // The sprite a pan layer zooms on: its element, and the layer's offset.
    void setZoomedSprite(long area, CSprite* sprite, float x, float y);
    ZUIElement* getZoomedElement(long area) const;
    ZVector2 getZoomedSpriteOffset(long area) const;

private:
    // A sprite element leaving the display is zoomed on no more.
    void forgetZoomedElement(const ZUIElement* element);
    ZUIElement* m_zoomedElements[kPanLayers] = {};

private:
    void insertStartScenes();
    void makeDrawingGraphics();
    void replayDeferredEvents();
    void restartFromOverride();
    void readLanguageStringTable();
    void drawLayer(long layer);
    void countFrameForQuitAid();

    CPlayerSettings m_settings;
    long m_rendererKind = 1;
    float m_designWidth = 0, m_designHeight = 0, m_windowWidth = 0, m_windowHeight = 0;
    float m_globalScaleX = 1, m_globalScaleY = 1;
    char m_language[100] = "english";
    char m_fontSuffix[100] = {};
    SpriteActionFilter m_actionFilter = nullptr;
    UserEventCallback m_userEventCallback = nullptr;
    void* m_userEventData = nullptr;
    ZSound* m_placeholderSound = nullptr;
    ZUIElement* m_cursorContainer = nullptr;
    long m_baseIndex = 0;

    bool m_gameLoaded = false;
    bool m_loadingStatusShown = false;
    bool m_restartFromOverride = false;
    bool m_windowJustCreated = false;
    bool m_eventForwarded = false;
    bool m_pointerLocked = false;
    bool m_touchMode = false;
    bool m_dragInProgress = false;
    bool m_forceRender = false;
    bool m_fullScreenKeysDown = false;

    float m_pointerX = -10000, m_pointerY = -10000;
    bool m_leftButton = false;
    ZUIElement* m_mousedOver = nullptr;
    uint64_t m_flagsUnderCursor = 0;
    bool m_notifyAgain = false;

    char m_sceneSlots[kSceneSlots][100] = {};
    char m_musicName[260] = {};
    long m_musicVolume = 100;
    char m_startScene[100] = {};
    char m_fallbackScene[100] = {};
    char m_overlays[8][100] = {};
    long m_overlayCount = 0;
    char m_debugScenes[4][100] = {};
    int64_t m_overrideTime = 0;
    char m_restorePath[260] = {};
    bool m_restorePending = false;
    char m_systemFontPath[260] = "data/sysfont.ttf";

    ZList<CAvailableDisplayHandler> m_displayHandlers;
    ZList<CScene> m_loadedScenes;
    ZList<CInsertedScene> m_insertedScenes;
    ZList<CSceneHandler> m_sceneHandlers;
    CInsertedScene* m_walkNext = nullptr;
    long m_framesLeftBeforeQuit = -1;

    // Key-frame animation and sprite appearance.
    bool m_paused = false;
    bool m_debug = false;
    bool m_keyActionRunning = false;
    long m_deferredDeleteDepth = 0;
    ZList<CSprite> m_deferredDeletes;
    void discardSprite(CSprite* sprite);
    static constexpr long kMaxKeyAnchorOffsets = 65536;
    bool growKeyAnchorOffsets(CSpriteState* state, long count);
    void emitSpriteParticles(CSprite* sprite, _CBrush* brush, CUIEmitter* element);
    bool isSpriteEmitterDone(CSprite* sprite);
    static bool takesDropsOnly(const CSprite* sprite);
    // The event slot of a user-event name index (0 to 15).
    static long userEventSlot(long index) {
        return index < 4 ? index + 4 : (index < 10 ? index + 14 : index + 30);
    }
    // Whether one of the ";"-separated names of a user-event text is the prefix followed by the
    // name (any name for null), without case.
    static bool userEventNamesMatch(const char* names, const char* prefix, const char* name);
    static _CBrush* getSpriteBrush(const CSprite* sprite);
    // A point of the element's parent space on the screen, and a screen point in an element's
    // space.
    static ZVector2 spriteToScreen(ZUIElement* element, const ZVector2& p);
    static ZVector2 screenToElement(ZUIElement* element, const ZVector2& screen);

    // Sprite copies: the element that places a sprite (video, slider, image, else rich text),
    // and the anchor offset that moves the sprite's element by a distance on the screen.
    static ZUIElement* placingElement(const CSprite* sprite);
    static ZVector2 screenShiftToAnchorOffset(ZUIElement* element, const ZVector2& from,
                                              const ZVector2& to);

    // Sounds and music.
    static void soundStreamerThreadMain(void* request, long parameter);
    long soundSettingVolume(long index) const;
    long musicVolume() const;
    long ambientVolume(const CAmbientSound* ambient) const;
    // Frees every effect, ambient and streamed sound after waiting for the streamer thread.
    void releaseSounds();
    ZList<CSound> m_sounds;
    ZList<CAmbientSound> m_ambientSounds;
    ZList<CStreamedSound> m_streamedSounds;
    char m_ambientName[260] = {};
    ZSound* m_currentAmbient = nullptr;
    bool m_musicMuted = false;
    bool m_ambientMuted = false;
    ZSysThread* m_streamerThread = nullptr;
    // Bumped whenever streamed sounds are stopped: a streamer thread of an older request drops
    // its record instead of adding it to the list.
    uint64_t m_streamGeneration = 0;
    long m_streamingIndex = -1;
    ZSysLock m_lock;

    // User events, sprite-event broadcasts, stored events and the action interpreter.
    struct ListenerCall {
        CSprite* sprite;
        uint64_t serial;
        int64_t slot;
    };
    bool runListenerCalls(const std::vector<ListenerCall>& calls, const char* name, bool forwarded);
    void collectListenerCalls(const char* name, CScene* onlyScene,
                              std::vector<ListenerCall>& calls) const;
    bool isCallAlive(const ListenerCall& call) const;
    bool runHoverRule(CSprite* target, const char* prefix);
    void runBroadcastSlot(CSprite* sprite, long slot);
    static CUIDisplayHandler* nearestDisplayHandler(CSprite* sprite);
    bool enterAction(const char* what);
    void leaveAction();
    void runSpriteAction(CSprite* sprite, _CSpriteAction* action);
    void playSpriteToKeyIndex(CSprite* sprite, long index, bool cut);
    void finishSpriteAction(CSprite* sprite);
    long actionKeyIndex(CSprite* sprite, long key) const;
    long actionCurrentKey(CSprite* sprite);
    void actionCopySprite(CSprite* sprite, const char* param, bool underPointer);
    void actionInsertScene(CSprite* sprite, const char* param, bool queued);
    void actionSound(CSprite* sprite, long type, const char* param);
    ZList<CUserEvent> m_userEvents;
    ZList<CUserEventListener> m_broadcastListeners[CSprite::kEventSlots];
    ZList<CStoredEvent> m_storedEvents;
    // Registered sprites with the serial of their registration, so a walk over listeners taken
    // before an action ran can tell a sprite that went away (or a new one at its address).
    std::unordered_map<const CSprite*, uint64_t> m_registeredSprites;
    uint64_t m_registrationSerial = 0;
    long m_actionDepth = 0;
    // Sprites freed while actions ran: their memory waits for the next frame, as the callers
    // of the actions may still read them.
    std::vector<CSprite*> m_spritesFreedDuringActions;

    // Scene lifecycle and sprites.
    void insertSpriteElement(CScene* scene, CSceneState* sceneState, CSprite* sprite, long id);
    ZUIImage* createEmitterElement(ZUIElement* parent, const _CBrush* brush);
    ZUIImage* createStreamedBackground(ZUIElement* parent, CScene* scene);
    void setUpImageFrames(CScene* scene, CSprite* sprite, CSpriteState* state, ZUIImage* image,
                          ZUIElement* element);
    void scanSpritePreloads(CSprite* sprite, bool reference);
    bool joinLoader(CScene* scene);
    void fireSceneEvent(CScene* scene, long slot, long mask);
    const char* currentAmbientName() const { return m_ambientName; }
    void moveContainersToLayers();
    void drawFrameDuringSwitch();
    ZList<CSceneState> m_sceneStates;
    ZList<CQueuedLoad> m_loadQueue;
    long m_pendingLoads = 0;
    char m_loaderError[260] = {};
    bool m_resetOnNextSwitch = false;
    bool m_quitOnNextSwitch = false;
    bool m_drawingSwitchFrame = false;
    long m_eventDepth = 0;
    std::vector<ZEvent> m_deferredEvents;
    ZGraphic* m_whiteGraphic = nullptr;
    ZGraphic* m_drawGraphic = nullptr;
    float m_defaultTouchMargin = 10.0f;

    // Scene commands, scene state, global variables, fast values and the game's sprite services.
    static constexpr long kFastValues = 6;
    void growSceneCommands(CSceneState* state);
    void replayCommand(CScene* scene, const CSceneCommand& command);
    // The sprite's current keys become copies of count keys.
    static void replaceSpriteKeys(CSprite* sprite, const CSpriteKey* keys, long count);
    // A scene's sprites as a reset of its state leaves them: copies gone, keys as loaded.
    void resetSceneSprites(CScene* scene, CSceneState* state);
    // Carries out a drawing-order command (4, 5, 13 or 14) without recording it.
    void moveSpriteElement(CSprite* sprite, long type, CSprite* sibling);
    void moveSpriteInOrder(CSprite* sprite, long type, CSprite* sibling, bool replace);
    void removeCustomSceneCommands(CScene* scene, long spriteId, long a);
    ZList<CGlobalVariable> m_globalVariables;
    int64_t m_fastValues[kFastValues] = {};
    bool m_restoringGameState = false;
    ZVector2 m_touchDragOffset{40, 40};
    bool m_touchDragOffsetEnabled = false;
    // Saved games.
    long sceneHandlerStateSize();
    void gatherSavedGame(CSavedGame& game);
    void gatherSavedGlobals(CSavedGame& game);
    void gatherSavedSceneRecords(CSceneState* state, CSavedGame::Scene& scene);
    void commitSavedGame(CSavedGame& game);
    void commitSavedGlobals(CSavedGame& game);
    void commitSavedSceneRecords(CSavedGame::Scene& scene, CSceneState* state);
    // Puts the layers' scenes back after a restore; true when one was loaded anew.
    bool relayerAfterRestore(const char (&previous)[kSceneSlots][100]);
    bool patchSavedGameHeader(const char* path, void (*change)(CSavedGame::Header&, void*),
                              void* data);
    char m_savedGameFilename[260] = {};
    bool m_restoredThisFrame = false;

    // Event road, cursors and drag and drop.
    // Steps of the event road before the tree: the scene handlers and the display handlers.
    void tellHandlersOfEvent(ZEvent* event);
    static bool isDraggedSprite(const CSprite* sprite);
    // Where a sprite's element belongs: its parent sprite's element, or its scene's container.
    static ZUIElement* homeElement(const CSprite* sprite);
    void giveBackCursor(CSprite* sprite, bool update);
    bool takeCursor(CSprite* sprite, bool secondary);
    // A sprite about to be freed is no cursor or drop source any more.
    void forgetPointerSprite(const CSprite* sprite);
    // A scene being removed gives back its cursors and drops its dragged sprites.
    void releaseSceneCursorsAndDrags(CScene* scene);
    // Sends an element message to the sprite under the pointer, if any.
    void sendPointerMessage(long type);
    void releaseSprite(CSprite* sprite, bool drop);
    void deliverDrop(CSprite* sprite, bool drop, const char* name);
    void dropOnNothing(CSprite* sprite, const char* name);
    CSprite* m_cursorSprite = nullptr;
    CSprite* m_secondaryCursorSprite = nullptr;
    CSprite* m_dropSource = nullptr;
    ZVector2 m_dropAnchor{};
    bool m_dropSuccess = false;
    bool m_nativeDropAccepted = false;

public:
    // The play screen's: the frame time that move is playing, which its element's move lacks.
    double getPlayedFrameTime() const { return m_playedFrameTime; }

private:
    double m_playedFrameTime = 1000.0 / 60.0;

protected:
    // The parent of cursor sprites and dragged sprites, above every scene layer.
    void createCursorContainer();
    // For a game object made without loadGame, as tools and tests make it.
    void setGameLoaded(bool loaded) { m_gameLoaded = loaded; }
};
