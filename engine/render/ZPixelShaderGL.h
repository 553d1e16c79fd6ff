#pragma once

#include <cstdint>

#include "ZGLExtensions.h"
#include "ZList.h"
#include "ZPixelShader.h"

class ZWindowGL;

// The OpenGL pixel shader: an ARB fragment program compiled twice, as written for 2D textures
// and rewritten for rectangle textures; the variant follows the renderer's texture target.
class ZPixelShaderGL : public ZPixelShader {
public:
    static constexpr uint32_t kNoProgram = 0xFFFFFFFFu;
    static constexpr long kParameterSlots = 8;

    ZPixelShaderGL();
    ~ZPixelShaderGL() override;

    bool loadPixelShader(const char* path) override;
    bool loadPixelShaderFromPtr(const char* text, unsigned long size) override;
    void freePixelShader() override;
    void setPixelShaderParam(long index, float* values) override;

    void setPixelShader();
    uint32_t getProgram2D() const { return m_program2D; }
    uint32_t getProgramRect() const { return m_programRect; }

    static void clearPixelShader();
    // The renderer switched texture targets: binds the variant that samples the new target.
    static void updateTexMode(GLenum target);
    // Fragment programs were disabled behind the shaders' back: the next setPixelShader binds
    // and enables again.
    static void forgetActiveProgram();
    static void setup(ZWindowGL* window);
    static void cleanup();
    // Whether the window reports fragment-program support.
    static bool isSupported();

    static ZList<ZPixelShaderGL> g_lGlPixelShaders;
    static ZWindowGL* g_lpZWindow;
    static ZPixelShaderGL* g_lpCurPixelShader;
    static long g_nActiveShaderId;
    static GLenum g_nCurTexTarget;

private:
    // The program that samples the target: the RECT variant for rectangle textures when there is
    // one, else the 2D one.
    uint32_t variantFor(GLenum target) const;
    // Binds one of this shader's programs as the active one and gives it the cached parameters,
    // which were kept back while another program was bound.
    void bindVariant(uint32_t program);
    bool ownsProgram(long program) const;
    bool compile(const char* text, unsigned long size);
    // Gives a new program the text; false (program deleted) when it does not compile.
    static bool compileProgram(const char* text, unsigned long length, uint32_t& program);
    // Deletes both programs; a shader that was set or bound is let go first.
    void releasePrograms();
    // Loading binds programs of its own: the active one goes back afterwards.
    static void restoreActiveBinding();

    uint32_t m_program2D = kNoProgram;
    uint32_t m_programRect = kNoProgram;
    bool m_parameterSet[kParameterSlots] = {};
    float m_parameters[kParameterSlots][4] = {};
};
