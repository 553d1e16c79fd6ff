#pragma once

#include <cstdint>

#include "CAvailableDisplayHandler.h"
#include "CInsertedScene.h"
#include "CPlayerSettings.h"
#include "CScene.h"
#include "CSceneHandler.h"
#include "CSceneLoader.h"
#include "ZGame.h"
#include "ZList.h"
#include "ZRectangle.h"
#include "ZVector2.h"

class ZGestureArea;
class ZGraphic;
class ZSound;
class ZUIElement;
struct ZEvent;

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
    // Tells the scene handlers and the user-event callback of a user event.
    void broadcastUserEvent(const char* name, bool quiet);

    // Scenes: the definition is read at once on this thread; textures and sprite elements are
    // built by the scene lifecycle.
    CScene* findLoadedScene(const char* name) const;
    CScene* loadScene(const char* name);
    void uploadScene(CScene* scene);
    void insertScene(CScene* scene, long layer, bool flag);
    void willRemoveScene(CScene* scene);
    void removeScene(CScene* scene);
    void unloadScene(CScene* scene);
    bool updateScene(CScene* scene, double step);
    bool hasScenes() const { return m_insertedScenes.count > 0; }
    const char* getFailedFile() const { return m_loader.getFailedFile(); }

    static const char* getStringForFlags(uint64_t flags);
    static char* allocCopyIniString(ZIniReader& reader, const char* section, const char* key);

    static bool staticEventHandler(ZEvent* event);
    bool eventHandler(ZEvent* event);

    static CPlayer* g_lpPlayer;

    // Pan and zoom of the two lowest scene layers (0 and 1); other layers are ignored.
    static constexpr long kPanLayers = 2;
    void disableGestures(long layer);
    void setZoomedSpriteOffset(long layer, float x, float y);
    void setZoomedSpriteSize(long layer, float width, float height);
    // Moves the layer's camera so that the target rectangle comes into view, unless it is wholly
    // visible already.
    void panAreaToTarget(long layer, ZRectangle target);
    ZGestureArea* getGestureArea(long layer) const;
    // The gesture area of a layer without one, bound to the container of the scene inserted in
    // it; and its removal with the scene.
    void createGestureArea(long layer, ZUIElement* container);
    void deleteGestureArea(long layer);

private:
    // Drawing of the main scene: whether its background covers the screen, and the black band
    // around it where a pan or zoom leaves the screen uncovered.
    bool mainSceneNeedsClear(CScene* main);
    void drawBandAroundMainScene(CScene* main);
    ZGraphic* m_drawingGraphic = nullptr;

    // The pointer: the sprite an element stands for (null for other elements), the flags under
    // the pointer, and whether a sprite is being dragged in the cursor container.
    static CSprite* spriteOfElement(ZUIElement* element);
    static uint64_t flagsOfSprite(CSprite* sprite);
    bool isSpriteDragInProgress() const;

    void panAndZoomLayers();
    void applyPanMatrix(long layer);
    ZGestureArea* m_gestureAreas[kPanLayers] = {};
    ZUIElement* m_gestureContainers[kPanLayers] = {};
    ZVector2 m_zoomedOffset[kPanLayers] = {};
    ZVector2 m_zoomedNegatedOffset[kPanLayers] = {};
    ZVector2 m_zoomedSize[kPanLayers] = {{-1, -1}, {-1, -1}};
    bool m_gesturesDisabled[kPanLayers] = {};

private:
    void insertStartScenes();
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
    char m_musicName[100] = {};
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
    CSceneLoader m_loader;
    long m_framesLeftBeforeQuit = -1;
};
