#pragma once

// The scene player the player's fuzz targets drive: on the tests' fake window and recording
// renderer, with the game folder's scene and brush folders made. Each target is one source file
// that includes this header once.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CPlayer.h"
#include "FakeWindow.h"
#include "RecordingBatch.h"
#include "RecordingGraphic.h"
#include "ZCore.h"
#include "ZMiscTools.h"
#include "ZUIElement.h"

class FuzzPlayer : public CPlayer {
public:
    explicit FuzzPlayer(ZWindow* window) { m_window = window; }

    // A missing file ends nothing here.
    void abortOnFile(const char*) override {}

    // The game folder, with data/scenes and data/brushes in it, and the player.
    static FuzzPlayer* start(std::string* gameFolder) {
        ZMiscTools::initMiscTools();
        *gameFolder = ZMiscTools::getGameFolder();
        for (const char* folder : {"/data", "/data/scenes", "/data/brushes"})
            ZMiscTools::createDirectory((*gameFolder + folder).c_str());
        ZCore::setRenderFactories([]() -> ZGraphic* { return new RecordingGraphic(); },
                                  []() -> ZBatch* { return new RecordingBatch(); });
        static FakeWindow window;
        ZUIElement::initialize(&window);
        return new FuzzPlayer(&window);
    }

    static void writeFile(const std::string& path, const char* data, size_t size) {
        FILE* file = fopen(path.c_str(), "wb");
        if (!file) abort();
        if (size) fwrite(data, 1, size, file);
        fclose(file);
    }
};
