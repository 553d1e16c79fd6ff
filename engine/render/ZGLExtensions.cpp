#include "ZGLExtensions.h"

#include "ZCore.h"

PFNGLBLENDFUNCSEPARATEPROC ZGLExtensions::blendFuncSeparate = nullptr;
PFNGLACTIVETEXTUREARBPROC ZGLExtensions::activeTexture = nullptr;
PFNGLCLIENTACTIVETEXTUREARBPROC ZGLExtensions::clientActiveTexture = nullptr;
PFNGLGENPROGRAMSARBPROC ZGLExtensions::genPrograms = nullptr;
PFNGLDELETEPROGRAMSARBPROC ZGLExtensions::deletePrograms = nullptr;
PFNGLBINDPROGRAMARBPROC ZGLExtensions::bindProgram = nullptr;
PFNGLPROGRAMSTRINGARBPROC ZGLExtensions::programString = nullptr;
PFNGLPROGRAMLOCALPARAMETER4FARBPROC ZGLExtensions::programLocalParameter4f = nullptr;
PFNGLGETPROGRAMIVARBPROC ZGLExtensions::getProgramiv = nullptr;
PFNGLGENBUFFERSPROC ZGLExtensions::genBuffers = nullptr;
PFNGLDELETEBUFFERSPROC ZGLExtensions::deleteBuffers = nullptr;
PFNGLBINDBUFFERPROC ZGLExtensions::bindBuffer = nullptr;
PFNGLBUFFERDATAPROC ZGLExtensions::bufferData = nullptr;
PFNGLGENFRAMEBUFFERSPROC ZGLExtensions::genFramebuffers = nullptr;
PFNGLDELETEFRAMEBUFFERSPROC ZGLExtensions::deleteFramebuffers = nullptr;
PFNGLBINDFRAMEBUFFERPROC ZGLExtensions::bindFramebuffer = nullptr;
PFNGLFRAMEBUFFERTEXTURE2DPROC ZGLExtensions::framebufferTexture2D = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSPROC ZGLExtensions::checkFramebufferStatus = nullptr;
PFNGLGENRENDERBUFFERSPROC ZGLExtensions::genRenderbuffers = nullptr;
PFNGLDELETERENDERBUFFERSPROC ZGLExtensions::deleteRenderbuffers = nullptr;
PFNGLBINDRENDERBUFFERPROC ZGLExtensions::bindRenderbuffer = nullptr;
PFNGLRENDERBUFFERSTORAGEPROC ZGLExtensions::renderbufferStorage = nullptr;
PFNGLFRAMEBUFFERRENDERBUFFERPROC ZGLExtensions::framebufferRenderbuffer = nullptr;

namespace {

// Tries the names in order: the core name first, then the extension's.
template <class Function>
bool fetch(ZGLExtensions::Loader loader, Function& target, const char* name,
           const char* extensionName) {
    target = reinterpret_cast<Function>(loader(name));
    if (!target && extensionName) target = reinterpret_cast<Function>(loader(extensionName));
    if (target) return true;
    ZCore::logMessage("OpenGL: entry point %s not found", name);
    return false;
}

}  // namespace

bool ZGLExtensions::load(Loader loader) {
    clear();
    if (!loader) return false;
    bool all = true;
    all &= fetch(loader, blendFuncSeparate, "glBlendFuncSeparate", "glBlendFuncSeparateEXT");
    all &= fetch(loader, activeTexture, "glActiveTexture", "glActiveTextureARB");
    all &= fetch(loader, clientActiveTexture, "glClientActiveTexture", "glClientActiveTextureARB");
    all &= fetch(loader, genPrograms, "glGenProgramsARB", nullptr);
    all &= fetch(loader, deletePrograms, "glDeleteProgramsARB", nullptr);
    all &= fetch(loader, bindProgram, "glBindProgramARB", nullptr);
    all &= fetch(loader, programString, "glProgramStringARB", nullptr);
    all &= fetch(loader, programLocalParameter4f, "glProgramLocalParameter4fARB", nullptr);
    all &= fetch(loader, getProgramiv, "glGetProgramivARB", nullptr);
    all &= fetch(loader, genBuffers, "glGenBuffers", "glGenBuffersARB");
    all &= fetch(loader, deleteBuffers, "glDeleteBuffers", "glDeleteBuffersARB");
    all &= fetch(loader, bindBuffer, "glBindBuffer", "glBindBufferARB");
    all &= fetch(loader, bufferData, "glBufferData", "glBufferDataARB");
    all &= fetch(loader, genFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
    all &= fetch(loader, deleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
    all &= fetch(loader, bindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
    all &=
        fetch(loader, framebufferTexture2D, "glFramebufferTexture2D", "glFramebufferTexture2DEXT");
    all &= fetch(loader, checkFramebufferStatus, "glCheckFramebufferStatus",
                 "glCheckFramebufferStatusEXT");
    all &= fetch(loader, genRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT");
    all &= fetch(loader, deleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
    all &= fetch(loader, bindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT");
    all &= fetch(loader, renderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT");
    all &= fetch(loader, framebufferRenderbuffer, "glFramebufferRenderbuffer",
                 "glFramebufferRenderbufferEXT");
    return all;
}

void ZGLExtensions::clear() {
    blendFuncSeparate = nullptr;
    activeTexture = nullptr;
    clientActiveTexture = nullptr;
    genPrograms = nullptr;
    deletePrograms = nullptr;
    bindProgram = nullptr;
    programString = nullptr;
    programLocalParameter4f = nullptr;
    getProgramiv = nullptr;
    genBuffers = nullptr;
    deleteBuffers = nullptr;
    bindBuffer = nullptr;
    bufferData = nullptr;
    genFramebuffers = nullptr;
    deleteFramebuffers = nullptr;
    bindFramebuffer = nullptr;
    framebufferTexture2D = nullptr;
    checkFramebufferStatus = nullptr;
    genRenderbuffers = nullptr;
    deleteRenderbuffers = nullptr;
    bindRenderbuffer = nullptr;
    renderbufferStorage = nullptr;
    framebufferRenderbuffer = nullptr;
}
