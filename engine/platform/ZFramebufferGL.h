#pragma once

#include "ZGLExtensions.h"

// The offscreen pixel buffer of a render target: a framebuffer object of a fixed size with a
// depth (and stencil) renderbuffer when asked for. Until a texture is attached it draws into a
// colour renderbuffer of its own, so what a target draws before its first end is kept: attaching
// copies that picture into the texture, which from then on is the colour image itself.
class ZFramebufferGL {
public:
    ZFramebufferGL() = default;
    ~ZFramebufferGL();
    ZFramebufferGL(const ZFramebufferGL&) = delete;
    ZFramebufferGL& operator=(const ZFramebufferGL&) = delete;

    // Makes the framebuffer and its renderbuffers (the GL context must be current); false when
    // the driver lacks framebuffer objects or refuses the size or formats. The framebuffer bound
    // before stays bound.
    bool create(long width, long height, GLenum target, GLint internalFormat, bool depth,
                bool stencil);
    // Releases the GL objects (the attached texture belongs to its graphic and stays).
    void destroy();

    // Makes the texture the colour image: gives it storage of the buffer's size and format,
    // copies the current picture into it and attaches it. Nothing when it is already attached.
    // False (with the previous colour image kept) when the framebuffer refuses it.
    bool attachTexture(GLuint texture);

    GLuint getFramebuffer() const { return m_framebuffer; }
    GLenum getTarget() const { return m_target; }

    // Whether the driver gave every framebuffer entry point.
    static bool isSupported();
    // The texture bound to target on the active texture unit.
    static GLuint boundTexture(GLenum target);

private:
    GLuint m_framebuffer = 0;
    GLuint m_colorRenderbuffer = 0;
    GLuint m_depthRenderbuffer = 0;
    GLuint m_texture = 0;
    long m_width = 0;
    long m_height = 0;
    GLenum m_target = GL_TEXTURE_2D;
    GLint m_internalFormat = GL_RGBA;
};
