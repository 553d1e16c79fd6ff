#include "ZPixelShaderGL.h"
// Placeholder until the real implementation lands.
ZList<ZPixelShaderGL> ZPixelShaderGL::g_lGlPixelShaders;
ZWindowGL* ZPixelShaderGL::g_lpZWindow = nullptr;
ZPixelShaderGL* ZPixelShaderGL::g_lpCurPixelShader = nullptr;
long ZPixelShaderGL::g_nActiveShaderId = -1;
GLenum ZPixelShaderGL::g_nCurTexTarget = GL_TEXTURE_2D;
ZPixelShaderGL::ZPixelShaderGL() {}
ZPixelShaderGL::~ZPixelShaderGL() {}
bool ZPixelShaderGL::loadPixelShader(const char* path) { return false; }
bool ZPixelShaderGL::loadPixelShaderFromPtr(const char* text, unsigned long size) { return false; }
void ZPixelShaderGL::freePixelShader() {}
void ZPixelShaderGL::setPixelShaderParam(long index, float* values) {}
void ZPixelShaderGL::setPixelShader() {}
void ZPixelShaderGL::clearPixelShader() {}
void ZPixelShaderGL::updateTexMode(GLenum target) {}
void ZPixelShaderGL::forgetActiveProgram() {}
void ZPixelShaderGL::setup(ZWindowGL* window) {}
void ZPixelShaderGL::cleanup() {}
bool ZPixelShaderGL::isSupported() { return {}; }
