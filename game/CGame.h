#pragma once

class CScene;
class CSprite;

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
    // The default of player setting index; the fallback unless the game has its own.
    static const char* getDefaultSettingValue(long index, const char* fallback);
    // May rewrite the scene file path (size bytes) in place before the file is read.
    static void swapScenePath(char* path, unsigned long size);
    // Told of each sprite read from a scene file, after the sprite tree is linked.
    static void parseSprite(CScene* scene, CSprite* sprite);
};
