#include "ZPixelShaderGL.h"

#include <climits>
#include <memory>
#include <string>

#include "ZCore.h"
#include "ZPixelShaderSource.h"
#include "ZResource.h"
#include "ZWindowGL.h"

ZList<ZPixelShaderGL> ZPixelShaderGL::g_lGlPixelShaders;
ZWindowGL* ZPixelShaderGL::g_lpZWindow = nullptr;
ZPixelShaderGL* ZPixelShaderGL::g_lpCurPixelShader = nullptr;
long ZPixelShaderGL::g_nActiveShaderId = -1;
GLenum ZPixelShaderGL::g_nCurTexTarget = GL_TEXTURE_2D;

namespace {

// The error text ends in a line break on some drivers; the log adds its own.
std::string trimmedErrorString() {
    const char* error = reinterpret_cast<const char*>(glGetString(GL_PROGRAM_ERROR_STRING_ARB));
    std::string text = error ? error : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

}  // namespace

ZPixelShaderGL::ZPixelShaderGL() {
    g_lGlPixelShaders.addToTail(this);
}

ZPixelShaderGL::~ZPixelShaderGL() {
    releasePrograms();
    g_lGlPixelShaders.remove(this);
}

bool ZPixelShaderGL::isSupported() {
    // The table is emptied when the context goes, so it is asked before the window.
    return ZGLExtensions::genPrograms && ZGLExtensions::deletePrograms &&
           ZGLExtensions::bindProgram && ZGLExtensions::programString &&
           ZGLExtensions::programLocalParameter4f && g_lpZWindow &&
           g_lpZWindow->hasPixelShaderSupport();
}

bool ZPixelShaderGL::loadPixelShader(const char* path) {
    if (!isSupported()) {
        ZCore::logMessage("OpenGL: pixel shaders are not supported, cannot load %s, ERROR",
                          path ? path : "(null)");
        return false;
    }
    freePixelShader();
    if (!path) {
        ZCore::logMessage("OpenGL: no pixel shader path given, ERROR");
        return false;
    }
    unsigned char* data = nullptr;
    unsigned long size = 0;
    bool loaded = ZResource::loadResource(path, data, size);
    // Owned even when the file is empty: that still comes back as an array.
    std::unique_ptr<unsigned char[]> text(data);
    if (!loaded || size == 0) {
        ZCore::logMessage("OpenGL: pixel shader %s is missing or empty, ERROR", path);
        return false;
    }
    return compile(reinterpret_cast<const char*>(text.get()), size);
}

bool ZPixelShaderGL::loadPixelShaderFromPtr(const char* text, unsigned long size) {
    if (!isSupported()) {
        ZCore::logMessage("OpenGL: pixel shaders are not supported, cannot load one, ERROR");
        return false;
    }
    freePixelShader();
    return compile(text, size);
}

bool ZPixelShaderGL::compile(const char* text, unsigned long size) {
    std::string program = ZPixelShaderSource::textOf(text, size);
    if (program.empty()) {
        ZCore::logMessage("OpenGL: pixel shader text is empty, ERROR");
        return false;
    }
    if (program.size() > static_cast<size_t>(INT_MAX) / 2) {
        ZCore::logMessage("OpenGL: pixel shader text is too long, ERROR");
        return false;
    }
    bool compiled = compileProgram(program.data(), program.size(), m_program2D);
    if (compiled && ZPixelShaderSource::makeRectVariant(program) > 0)
        compiled = compileProgram(program.data(), program.size(), m_programRect);
    restoreActiveBinding();
    if (!compiled) releasePrograms();
    return compiled;
}

bool ZPixelShaderGL::compileProgram(const char* text, unsigned long length, uint32_t& program) {
    GLuint name = 0;
    ZGLExtensions::genPrograms(1, &name);
    ZGLExtensions::bindProgram(GL_FRAGMENT_PROGRAM_ARB, name);
    ZGLExtensions::programString(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB,
                                 static_cast<GLsizei>(length), text);
    GLint errorPosition = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPosition);
    if (errorPosition != -1) {
        ZCore::logMessage("OpenGL: pixel shader failed to compile at position %d: %s, ERROR",
                          static_cast<int>(errorPosition), trimmedErrorString().c_str());
        // The failed string left an invalid-operation error behind; it is this load's, not the
        // next caller's.
        glGetError();
        ZGLExtensions::deletePrograms(1, &name);
        return false;
    }
    program = name;
    return true;
}

void ZPixelShaderGL::restoreActiveBinding() {
    ZGLExtensions::bindProgram(
        GL_FRAGMENT_PROGRAM_ARB,
        g_nActiveShaderId == -1 ? 0 : static_cast<GLuint>(g_nActiveShaderId));
}

void ZPixelShaderGL::freePixelShader() {
    releasePrograms();
}

void ZPixelShaderGL::releasePrograms() {
    // Only this shader is let go: another shader that is set keeps following the texture target.
    if (g_lpCurPixelShader == this) g_lpCurPixelShader = nullptr;
    bool supported = isSupported();
    if (ownsProgram(g_nActiveShaderId)) {
        // Drawing with a deleted program bound would draw nothing, and its name can come back
        // for another program, which setPixelShader would then take as already bound.
        if (supported) glDisable(GL_FRAGMENT_PROGRAM_ARB);
        g_nActiveShaderId = -1;
    }
    if (supported) {
        if (m_programRect != kNoProgram) ZGLExtensions::deletePrograms(1, &m_programRect);
        if (m_program2D != kNoProgram) ZGLExtensions::deletePrograms(1, &m_program2D);
    }
    m_programRect = kNoProgram;
    m_program2D = kNoProgram;
}

bool ZPixelShaderGL::ownsProgram(long program) const {
    return program != -1 && (program == static_cast<long>(m_program2D) ||
                             program == static_cast<long>(m_programRect));
}

void ZPixelShaderGL::setPixelShaderParam(long index, float* values) {
    if (!isSupported() || m_program2D == kNoProgram || index < 0 || index > 6 || !values) return;
    m_parameterSet[index] = true;
    for (int i = 0; i < 4; i++) m_parameters[index][i] = values[i];
    // Program-local parameters belong to the bound program: a shader that is not bound keeps
    // them until bindVariant gives them to its program.
    if (ownsProgram(g_nActiveShaderId))
        ZGLExtensions::programLocalParameter4f(GL_FRAGMENT_PROGRAM_ARB, static_cast<GLuint>(index),
                                               values[0], values[1], values[2], values[3]);
}

uint32_t ZPixelShaderGL::variantFor(GLenum target) const {
    return target == GL_TEXTURE_RECTANGLE_ARB && m_programRect != kNoProgram ? m_programRect
                                                                             : m_program2D;
}

void ZPixelShaderGL::bindVariant(uint32_t program) {
    ZGLExtensions::bindProgram(GL_FRAGMENT_PROGRAM_ARB, program);
    g_nActiveShaderId = static_cast<long>(program);
    for (long slot = 0; slot < kParameterSlots; slot++) {
        if (!m_parameterSet[slot]) continue;
        const float* p = m_parameters[slot];
        ZGLExtensions::programLocalParameter4f(GL_FRAGMENT_PROGRAM_ARB, static_cast<GLuint>(slot),
                                               p[0], p[1], p[2], p[3]);
    }
}

void ZPixelShaderGL::setPixelShader() {
    if (!isSupported() || m_program2D == kNoProgram) return;
    g_lpCurPixelShader = this;
    uint32_t program = variantFor(g_nCurTexTarget);
    if (g_nActiveShaderId == static_cast<long>(program)) return;
    bindVariant(program);
    glEnable(GL_FRAGMENT_PROGRAM_ARB);
}

void ZPixelShaderGL::clearPixelShader() {
    if (isSupported()) glDisable(GL_FRAGMENT_PROGRAM_ARB);
    g_nActiveShaderId = -1;
    g_lpCurPixelShader = nullptr;
}

void ZPixelShaderGL::updateTexMode(GLenum target) {
    if (target == g_nCurTexTarget) return;
    g_nCurTexTarget = target;
    // Without an active program fragment programs are off; setPixelShader picks the variant.
    if (!g_lpCurPixelShader || g_nActiveShaderId == -1 || !isSupported()) return;
    uint32_t program = g_lpCurPixelShader->variantFor(target);
    if (static_cast<long>(program) != g_nActiveShaderId) g_lpCurPixelShader->bindVariant(program);
}

void ZPixelShaderGL::forgetActiveProgram() {
    g_nActiveShaderId = -1;
}

void ZPixelShaderGL::setup(ZWindowGL* window) {
    g_lpZWindow = window;
    // The window makes its context current with fragment programs off.
    g_nActiveShaderId = -1;
}

void ZPixelShaderGL::cleanup() {
    for (ZPixelShaderGL* shader : g_lGlPixelShaders) shader->freePixelShader();
    g_lpCurPixelShader = nullptr;
    g_nActiveShaderId = -1;
    // The context goes next: no shader may reach for it, nor for the window, until setup.
    g_lpZWindow = nullptr;
}
