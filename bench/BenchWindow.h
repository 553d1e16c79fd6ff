#pragma once

// The window the display benchmarks draw in: vsync and frame pacing off, so frames cost only
// their drawing.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ZCore.h"
#include "ZGraphicGL.h"
#include "ZWindowGL.h"

// Whether there is a display to draw on; without one says so for the program.
inline bool hasBenchDisplay(const char* program) {
    const char* display = getenv("DISPLAY");
    if (display && *display) return true;
    printf("%s: no display (run it under xvfb-run); nothing measured\n", program);
    return false;
}

// A new folder under /tmp for the files the benchmark writes (topic names it), or "" after
// saying why not.
inline std::string makeBenchFolder(const char* program, const char* topic, const char* what) {
    std::string pattern = std::string("/tmp/bench-") + topic + "-XXXXXX";
    if (mkdtemp(&pattern[0])) return pattern;
    printf("%s: no folder for the %s; nothing measured\n", program, what);
    return std::string();
}

// Opens a windowed game window of the given size; without a display says so for the program
// and gives nullptr (the benchmark then measures nothing and ends with status 0).
inline ZWindowGL* openBenchWindow(const char* program, const char* title, int width, int height) {
    ZWindowGL* window =
        static_cast<ZWindowGL*>(ZCore::createZWindow(eRendererOpenGL, false, false));
    window->setMaxFrameRate(-1);
    if (window->createGameWindow(width, height, 32, true, title, 0)) return window;
    printf("%s: no display could open the window; nothing measured\n", program);
    ZCore::forgetZWindow();
    delete window;
    return nullptr;
}

// Closes what openBenchWindow opened.
inline void closeBenchWindow(ZWindowGL* window) {
    ZCore::forgetZWindow();
    delete window;
}

// A square picture of the given pixels with linear filtering, or nullptr after saying so for
// the program (what names the picture in the message).
inline std::unique_ptr<ZGraphicGL> makeBenchPicture(const char* program, const char* what,
                                                    std::vector<uint32_t>& pixels, long size) {
    std::unique_ptr<ZGraphicGL> graphic(static_cast<ZGraphicGL*>(ZCore::createZGraphic()));
    if (!graphic->makePictureFromArray(pixels.data(), size, size, true, true, false, nullptr)) {
        printf("%s: the %s could not be made; nothing measured\n", program, what);
        return nullptr;
    }
    graphic->setTextureQuality(true);
    return graphic;
}
