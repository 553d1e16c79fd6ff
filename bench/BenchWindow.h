#pragma once

// The window the display benchmarks draw in: vsync and frame pacing off, so frames cost only
// their drawing.
#include <cstdio>

#include "ZCore.h"
#include "ZWindowGL.h"

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
