#pragma once

// The window the display benchmarks draw in: vsync and frame pacing off, so frames cost only
// their drawing.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ZCore.h"
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
