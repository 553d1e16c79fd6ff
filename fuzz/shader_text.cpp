// Takes the input as the text of a pixel shader and rewrites it for rectangle textures: the
// rewrite must stay within its limit, grow the text by exactly two bytes a place, and leave no
// 2D sampling behind unless it stopped at the limit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ZPixelShaderSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // libFuzzer hands an exact-size buffer without a terminator: a read past its end shows.
    std::string text = ZPixelShaderSource::textOf(reinterpret_cast<const char*>(data), size);
    std::string input(reinterpret_cast<const char*>(data), size);
    if (text.size() > size || text.find('\0') != std::string::npos) __builtin_trap();
    if (text != input.substr(0, text.size())) __builtin_trap();
    if (text.size() < size && input[text.size()] != '\0') __builtin_trap();

    std::string rect = text;
    int rewrites = ZPixelShaderSource::makeRectVariant(rect);
    if (rewrites < 0 || rewrites > ZPixelShaderSource::kMaxRectRewrites) __builtin_trap();
    if (rect.size() != text.size() + 2 * static_cast<size_t>(rewrites)) __builtin_trap();
    if (rewrites < ZPixelShaderSource::kMaxRectRewrites &&
        (rect.find("sampler2D") != std::string::npos || rect.find("2D;") != std::string::npos)) {
        __builtin_trap();
    }
    if (rewrites == 0 && rect != text) __builtin_trap();
    return 0;
}
