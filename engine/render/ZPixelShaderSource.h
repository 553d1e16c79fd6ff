#pragma once

#include <string>

// The text of an ARB fragment program and its rewrite for rectangle textures. Pure text work,
// kept apart from OpenGL so that it can be checked without a context.
class ZPixelShaderSource {
public:
    // A program never gets more rewrites than this; later 2D samplings stay as written.
    static constexpr int kMaxRectRewrites = 64;

    // The program text held in size bytes: up to the first zero byte, never past size.
    static std::string textOf(const char* text, unsigned long size);

    // Turns the program's 2D sampling into rectangle sampling, in place: each "sampler2D" becomes
    // "samplerRECT", then each texture target "2D;" becomes "RECT;". Returns how many places
    // were rewritten; 0 means the program samples no 2D texture and needs no rectangle variant.
    static int makeRectVariant(std::string& text);
};
