#pragma once

#include "ZGLExtensions.h"

class ZFramebufferGL;

// A render context over the one real GL context: the framebuffer it draws into (none for the
// window's own) and the record of the draw state that a context of its own would keep. Making
// another context current saves the live state into this record (capture) and later brings it
// back (apply), so a target's drawing never disturbs the window's scissor, stencil, 3D state,
// matrices, viewport or shader, nor the other way round.
class ZGLContextGL {
public:
    // A context drawing into the buffer (null: the window's framebuffer), starting with the
    // state a fresh context has: everything off, identity matrices, viewport over the size.
    ZGLContextGL(ZFramebufferGL* framebuffer, long width, long height);

    ZFramebufferGL* getFramebuffer() const { return m_framebuffer; }
    void setFramebuffer(ZFramebufferGL* framebuffer) { m_framebuffer = framebuffer; }
    // The framebuffer object name to bind: 0 for the window's own.
    GLuint getFramebufferName() const;

    // Reads the live state into the record; the fragment program only where there are any.
    void capture(bool fragmentPrograms);
    // Sets the live state from the record.
    void apply(bool fragmentPrograms) const;

    // ---- The record ----
    GLuint program = 0;
    bool programEnabled = false;
    bool scissorTest = false;
    GLint scissorBox[4] = {0, 0, 0, 0};
    bool stencilTest = false;
    GLint stencilFunc = GL_ALWAYS;
    GLint stencilRef = 0;
    GLint stencilValueMask = -1;
    GLint stencilFail = GL_KEEP;
    GLint stencilDepthFail = GL_KEEP;
    GLint stencilDepthPass = GL_KEEP;
    GLint stencilClear = 0;
    bool alphaTest = false;
    GLint alphaFunc = GL_ALWAYS;
    GLfloat alphaRef = 0;
    bool depthTest = false;
    GLint depthFunc = GL_LESS;
    bool depthMask = true;
    bool cullFace = false;
    GLint cullFaceMode = GL_BACK;
    GLint frontFace = GL_CCW;
    bool lighting = false;
    bool colorMask[4] = {true, true, true, true};
    GLint viewport[4] = {0, 0, 0, 0};
    GLfloat projection[16];
    GLfloat modelView[16];
    GLint matrixMode = GL_MODELVIEW;
    GLfloat clearColor[4] = {0, 0, 0, 0};

private:
    ZFramebufferGL* m_framebuffer;
};
