#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

#include "ZInput.h"

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

// The current values of an integer state, -1 where OpenGL wrote nothing.
inline std::vector<GLint> integers(GLenum name, int count) {
    std::vector<GLint> values(count, -1);
    glGetIntegerv(name, values.data());
    return values;
}

// Puts the system pointer at a game position of the window, inside it or not, and waits until
// the input reads it there (other programs on the display may move it too).
inline ::testing::AssertionResult pointAt(SDL_Window* window, long x, long y) {
    int windowX = 0, windowY = 0;
    SDL_GetWindowPosition(window, &windowX, &windowY);
    for (int attempt = 0; attempt < 10; attempt++) {
        SDL_WarpMouseGlobal(windowX + static_cast<int>(x), windowY + static_cast<int>(y));
        SDL_PumpEvents();
        if (ZInput::getRealMouseX() == x && ZInput::getRealMouseY() == y)
            return ::testing::AssertionSuccess();
        SDL_Delay(10 + 10 * attempt);
    }
    return ::testing::AssertionFailure()
           << "the pointer reads " << ZInput::getRealMouseX() << "," << ZInput::getRealMouseY()
           << " instead of " << x << "," << y;
}
