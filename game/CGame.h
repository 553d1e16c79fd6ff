#pragma once

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
};
