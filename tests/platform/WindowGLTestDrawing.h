#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <functional>
#include <string>

#include "TempDir.h"
#include "ZCore.h"

// Drawing with raw OpenGL under the window's default world view, in the top-down game
// coordinates the engine draws in: a flat quad of one colour, nothing textured or blended.
inline void drawFlatQuad(float height, float x1, float y1, float x2, float y2, float r, float g,
                         float b, float a) {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glDisable(GL_BLEND);
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    glVertex2f(x1, height - y1);
    glVertex2f(x2, height - y1);
    glVertex2f(x2, height - y2);
    glVertex2f(x1, height - y2);
    glEnd();
    glColor4f(1, 1, 1, 1);
}

// What the body wrote to the engine's log.
inline std::string loggedText(const std::function<void()>& body) {
    TempDir dir;
    std::string path = dir.file("log.txt");
    ZCore::enableLog(path.c_str(), "test", "1", false);
    body();
    ZCore::disableLog();
    return readFile(path);
}
