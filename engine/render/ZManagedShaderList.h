#pragma once

#include "ZManagedList.h"
#include "ZManagedShader.h"
#include "ZPixelShader.h"

// The cache of pixel shaders shared by name, on the common cache design. A name selects the
// program written for the renderer in use: its file part is prefixed "gl_" under OpenGL (and
// "d3d9_" under renderer 3), so shaders/blur.txt opens shaders/gl_blur.txt. Loading compiles the
// program, which needs the OpenGL context: main thread.
class ZManagedShaderList : public ZManagedList<ZManagedShader> {
public:
    typedef void (*ForEachCallback)(void* user, const char* name, long count, ZPixelShader* shader);

    ZManagedShaderList();
    ~ZManagedShaderList() override;

    // The renderer-specific name into out (260 characters); false when the name or the result
    // does not fit in 259 characters.
    static bool composeShaderName(const char* name, char* out);

    // The cached shader of the name (count + 1), or the program loaded and compiled (count 1);
    // null on failure.
    ZPixelShader* loadShader(const char* name);
    ZPixelShader* getShaderByName(const char* name);
    void unloadShaderByRef(ZPixelShader* shader);
    void unloadShaderByName(const char* name);
    void forEach(ForEachCallback callback, void* user);
};
