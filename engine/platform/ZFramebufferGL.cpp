#include "ZFramebufferGL.h"

#include "ZCore.h"

bool ZFramebufferGL::isSupported() {
    return ZGLExtensions::genFramebuffers && ZGLExtensions::deleteFramebuffers &&
           ZGLExtensions::bindFramebuffer && ZGLExtensions::framebufferTexture2D &&
           ZGLExtensions::checkFramebufferStatus && ZGLExtensions::genRenderbuffers &&
           ZGLExtensions::deleteRenderbuffers && ZGLExtensions::bindRenderbuffer &&
           ZGLExtensions::renderbufferStorage && ZGLExtensions::framebufferRenderbuffer;
}

namespace {

GLuint boundFramebuffer() {
    GLint name = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &name);
    return static_cast<GLuint>(name);
}

// Renderbuffers take sized formats only.
GLenum colorRenderbufferFormat(GLint internalFormat) {
    return internalFormat == GL_RGB || internalFormat == GL_RGB8 ? GL_RGB8 : GL_RGBA8;
}

}  // namespace

ZFramebufferGL::~ZFramebufferGL() {
    destroy();
}

GLuint ZFramebufferGL::boundTexture(GLenum target) {
    GLenum binding = target == GL_TEXTURE_RECTANGLE_ARB ? GL_TEXTURE_BINDING_RECTANGLE_ARB
                                                        : GL_TEXTURE_BINDING_2D;
    GLint name = 0;
    glGetIntegerv(binding, &name);
    return static_cast<GLuint>(name);
}

bool ZFramebufferGL::create(long width, long height, GLenum target, GLint internalFormat,
                            bool depth, bool stencil) {
    destroy();
    if (width <= 0 || height <= 0 || !isSupported()) return false;
    m_width = width;
    m_height = height;
    m_target = target;
    m_internalFormat = internalFormat;

    GLuint previous = boundFramebuffer();
    ZGLExtensions::genFramebuffers(1, &m_framebuffer);
    ZGLExtensions::bindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);

    GLsizei w = static_cast<GLsizei>(width), h = static_cast<GLsizei>(height);
    ZGLExtensions::genRenderbuffers(1, &m_colorRenderbuffer);
    ZGLExtensions::bindRenderbuffer(GL_RENDERBUFFER, m_colorRenderbuffer);
    ZGLExtensions::renderbufferStorage(GL_RENDERBUFFER, colorRenderbufferFormat(internalFormat), w,
                                       h);
    ZGLExtensions::framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                           m_colorRenderbuffer);
    if (depth || stencil) {
        // Drivers that have a stencil buffer for framebuffer objects have it packed with depth.
        ZGLExtensions::genRenderbuffers(1, &m_depthRenderbuffer);
        ZGLExtensions::bindRenderbuffer(GL_RENDERBUFFER, m_depthRenderbuffer);
        ZGLExtensions::renderbufferStorage(
            GL_RENDERBUFFER, stencil ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT16, w, h);
        ZGLExtensions::framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                               m_depthRenderbuffer);
        if (stencil)
            ZGLExtensions::framebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT,
                                                   GL_RENDERBUFFER, m_depthRenderbuffer);
    }
    ZGLExtensions::bindRenderbuffer(GL_RENDERBUFFER, 0);
    bool complete =
        ZGLExtensions::checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete) {
        // A new buffer starts transparent black, as a new pixel buffer would.
        GLfloat clearColor[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
        GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
        if (scissor) glEnable(GL_SCISSOR_TEST);
    }
    ZGLExtensions::bindFramebuffer(GL_FRAMEBUFFER, previous);
    if (!complete) destroy();
    return complete;
}

void ZFramebufferGL::destroy() {
    if (m_framebuffer && ZGLExtensions::deleteFramebuffers) {
        if (boundFramebuffer() == m_framebuffer) ZGLExtensions::bindFramebuffer(GL_FRAMEBUFFER, 0);
        ZGLExtensions::deleteFramebuffers(1, &m_framebuffer);
    }
    if (ZGLExtensions::deleteRenderbuffers) {
        if (m_colorRenderbuffer) ZGLExtensions::deleteRenderbuffers(1, &m_colorRenderbuffer);
        if (m_depthRenderbuffer) ZGLExtensions::deleteRenderbuffers(1, &m_depthRenderbuffer);
    }
    m_framebuffer = 0;
    m_colorRenderbuffer = 0;
    m_depthRenderbuffer = 0;
    m_texture = 0;
}

bool ZFramebufferGL::attachTexture(GLuint texture) {
    if (!m_framebuffer || texture == 0) return false;
    if (texture == m_texture) return true;

    GLuint previous = boundFramebuffer();
    ZGLExtensions::bindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    GLsizei w = static_cast<GLsizei>(m_width), h = static_cast<GLsizei>(m_height);
    glTexImage2D(m_target, 0, m_internalFormat, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    // What was drawn before the texture came goes into it (reads the current colour image).
    glCopyTexSubImage2D(m_target, 0, 0, 0, 0, 0, w, h);
    ZGLExtensions::framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, m_target, texture, 0);
    GLenum status = ZGLExtensions::checkFramebufferStatus(GL_FRAMEBUFFER);
    bool complete = status == GL_FRAMEBUFFER_COMPLETE;
    if (complete) {
        m_texture = texture;
        if (m_colorRenderbuffer) {
            ZGLExtensions::deleteRenderbuffers(1, &m_colorRenderbuffer);
            m_colorRenderbuffer = 0;
        }
    } else {
        ZCore::logMessage("OpenGL: render target texture refused by its framebuffer (0x%X), ERROR",
                          static_cast<unsigned>(status));
        if (m_colorRenderbuffer)
            ZGLExtensions::framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                                   GL_RENDERBUFFER, m_colorRenderbuffer);
        else
            ZGLExtensions::framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, m_target,
                                                m_texture, 0);
    }
    ZGLExtensions::bindFramebuffer(GL_FRAMEBUFFER, previous);
    return complete;
}
