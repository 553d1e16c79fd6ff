#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// The OpenGL entry points beyond version 1.1, fetched once per context creation through the
// window layer's loader into one table. A missing entry point stays null; its feature is then
// reported unsupported by the window's capability probe, and callers check before use.
class ZGLExtensions {
public:
    typedef void* (*Loader)(const char* name);

    // Fills the table; false when any entry point is missing (the rest are still filled).
    static bool load(Loader loader);
    // Every pointer back to null (tests, and after the context is gone).
    static void clear();

    // Separate colour and alpha blend factors.
    static PFNGLBLENDFUNCSEPARATEPROC blendFuncSeparate;
    // Multitexturing.
    static PFNGLACTIVETEXTUREARBPROC activeTexture;
    static PFNGLCLIENTACTIVETEXTUREARBPROC clientActiveTexture;
    // ARB fragment programs.
    static PFNGLGENPROGRAMSARBPROC genPrograms;
    static PFNGLDELETEPROGRAMSARBPROC deletePrograms;
    static PFNGLBINDPROGRAMARBPROC bindProgram;
    static PFNGLPROGRAMSTRINGARBPROC programString;
    static PFNGLPROGRAMLOCALPARAMETER4FARBPROC programLocalParameter4f;
    static PFNGLGETPROGRAMIVARBPROC getProgramiv;
    // Vertex buffer objects.
    static PFNGLGENBUFFERSPROC genBuffers;
    static PFNGLDELETEBUFFERSPROC deleteBuffers;
    static PFNGLBINDBUFFERPROC bindBuffer;
    static PFNGLBUFFERDATAPROC bufferData;
    // Framebuffer objects, which stand in for offscreen pixel buffers.
    static PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
    static PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
    static PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
    static PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D;
    static PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
    static PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
    static PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
    static PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
    static PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
    static PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
};
