#include "ZGLContextGL.h"

#include "ZFramebufferGL.h"

namespace {

void setCapability(GLenum capability, bool on) {
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

void loadIdentity(GLfloat* matrix) {
    for (int i = 0; i < 16; i++) matrix[i] = i % 5 == 0 ? 1.0f : 0.0f;
}

}  // namespace

ZGLContextGL::ZGLContextGL(ZFramebufferGL* framebuffer, long width, long height)
    : m_framebuffer(framebuffer) {
    viewport[2] = scissorBox[2] = static_cast<GLint>(width);
    viewport[3] = scissorBox[3] = static_cast<GLint>(height);
    loadIdentity(projection);
    loadIdentity(modelView);
}

GLuint ZGLContextGL::getFramebufferName() const {
    return m_framebuffer ? m_framebuffer->getFramebuffer() : 0;
}

void ZGLContextGL::capture(bool fragmentPrograms) {
    if (fragmentPrograms && ZGLExtensions::getProgramiv) {
        GLint name = 0;
        ZGLExtensions::getProgramiv(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &name);
        program = static_cast<GLuint>(name);
        programEnabled = glIsEnabled(GL_FRAGMENT_PROGRAM_ARB);
    }
    scissorTest = glIsEnabled(GL_SCISSOR_TEST);
    glGetIntegerv(GL_SCISSOR_BOX, scissorBox);
    stencilTest = glIsEnabled(GL_STENCIL_TEST);
    glGetIntegerv(GL_STENCIL_FUNC, &stencilFunc);
    glGetIntegerv(GL_STENCIL_REF, &stencilRef);
    glGetIntegerv(GL_STENCIL_VALUE_MASK, &stencilValueMask);
    glGetIntegerv(GL_STENCIL_FAIL, &stencilFail);
    glGetIntegerv(GL_STENCIL_PASS_DEPTH_FAIL, &stencilDepthFail);
    glGetIntegerv(GL_STENCIL_PASS_DEPTH_PASS, &stencilDepthPass);
    glGetIntegerv(GL_STENCIL_CLEAR_VALUE, &stencilClear);
    alphaTest = glIsEnabled(GL_ALPHA_TEST);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &alphaFunc);
    glGetFloatv(GL_ALPHA_TEST_REF, &alphaRef);
    depthTest = glIsEnabled(GL_DEPTH_TEST);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    GLboolean depthWrites = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    depthMask = depthWrites;
    cullFace = glIsEnabled(GL_CULL_FACE);
    glGetIntegerv(GL_CULL_FACE_MODE, &cullFaceMode);
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    lighting = glIsEnabled(GL_LIGHTING);
    GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    for (int i = 0; i < 4; i++) colorMask[i] = mask[i];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
}

void ZGLContextGL::apply(bool fragmentPrograms) const {
    if (fragmentPrograms && ZGLExtensions::bindProgram) {
        ZGLExtensions::bindProgram(GL_FRAGMENT_PROGRAM_ARB, program);
        setCapability(GL_FRAGMENT_PROGRAM_ARB, programEnabled);
    }
    setCapability(GL_SCISSOR_TEST, scissorTest);
    glScissor(scissorBox[0], scissorBox[1], scissorBox[2], scissorBox[3]);
    setCapability(GL_STENCIL_TEST, stencilTest);
    glStencilFunc(static_cast<GLenum>(stencilFunc), stencilRef,
                  static_cast<GLuint>(stencilValueMask));
    glStencilOp(static_cast<GLenum>(stencilFail), static_cast<GLenum>(stencilDepthFail),
                static_cast<GLenum>(stencilDepthPass));
    glClearStencil(stencilClear);
    setCapability(GL_ALPHA_TEST, alphaTest);
    glAlphaFunc(static_cast<GLenum>(alphaFunc), alphaRef);
    setCapability(GL_DEPTH_TEST, depthTest);
    glDepthFunc(static_cast<GLenum>(depthFunc));
    glDepthMask(depthMask ? GL_TRUE : GL_FALSE);
    setCapability(GL_CULL_FACE, cullFace);
    glCullFace(static_cast<GLenum>(cullFaceMode));
    glFrontFace(static_cast<GLenum>(frontFace));
    setCapability(GL_LIGHTING, lighting);
    glColorMask(colorMask[0], colorMask[1], colorMask[2], colorMask[3]);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(modelView);
    glMatrixMode(static_cast<GLenum>(matrixMode));
    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
}
