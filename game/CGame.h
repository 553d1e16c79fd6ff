#pragma once

class CScene;
class CSprite;
struct ZEvent;
struct ZRectangle;
struct ZVector2;
struct _CBrush;

// The game's configuration hooks, called by the game object at fixed points of its life.
class CGame {
public:
    static const char* getGameName();
    static const char* getSafeGameName();
    static const char* getSafeDeveloperName();
    static const char* getSafeGameEditorName();
    static const char* getGameVersion();
    static void getScreenSize(float& width, float& height, float& windowedWidth,
                              float& windowedHeight);
    // Mounts "data.pak" beside the executable; the mount's result.
    static long enumeratePakfiles();
    // Registers the game's display handlers with the player.
    static void enumerateDisplayHandlers();
    // The default of player setting index; the fallback unless the game has its own.
    static const char* getDefaultSettingValue(long index, const char* fallback);
    static long getSettingIndexForMusic(const char* musicName, long defaultIndex);
    static long getSettingIndexForSound(const char* soundName, long kind, long streamIndex,
                                        long defaultIndex);
    static void getTouchDragOffset(CSprite* sprite, ZVector2& offset);
    static void getVideoSpriteRect(CSprite* sprite, ZRectangle& rect);
    static float getFontYOffset(long pixelHeight, _CBrush* brush);
    static const char* swapStringId(const char* id);
    // May rewrite the scene file path (size bytes) in place before the file is read.
    static void swapScenePath(char* path, unsigned long size);
    static void parseGameSceneFlags(CScene* scene);
    // Told of each sprite read from a scene file, after the sprite tree is linked.
    static void parseSprite(CScene* scene, CSprite* sprite);
    static void doCustomSpriteCommand(CSprite* sprite, long a, long b, const char* text);
    static void postInit();
    static void move();
    static void preBlit(long layer);
    static void postBlit(long layer);
    static void displayLoadingStatus(bool shown);
    static bool handleGameEvent(ZEvent* event);
    static bool isPhoneDevice();
    static bool isLowMemoryDevice();
    static bool shouldAutosave();
    static bool isAchievementUnlocked(long number);
    static void unlockAchievement(long number);
};
