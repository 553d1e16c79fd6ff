// Takes the input as a font file, opened through the file system's stream as a game opens its
// fonts: the face must refuse what FreeType refuses and, for what it opens, build its glyph set
// (every glyph loaded, rasterised and packed; without a renderer the first page then fails
// cleanly), read the kerning pairs and draw into an array, all inside their buffers.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ZResource.h"
#include "ZTrueText.h"
#include "ZTrueTextKerningPairs.h"

namespace {

const std::string& fontPath() {
    static const std::string path = [] {
        char name[] = "/tmp/fuzz-font-XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        return std::string(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool initialized = [] {
        ZResource::initialize();
        atexit([] { unlink(fontPath().c_str()); });
        // A small glyph set keeps each run short: a few scripts, a space, U+FFFD.
        const uint32_t codes[] = {'A', 'V', 'g', 'j', ' ', '.', 0xE9, 0x3A9, 0x416, 0x4E2D, 0};
        ZTrueText::g_nCharsInMap = 0;
        for (long i = 0; codes[i]; i++)
            ZTrueText::g_nCharMap[ZTrueText::g_nCharsInMap++] = codes[i];
        ZTrueText::g_nCharMap[ZTrueText::g_nCharsInMap++] = 0xFFFD;
        ZTrueText::countMaxCharPages();
        return true;
    }();
    (void)initialized;
    FILE* file = fopen(fontPath().c_str(), "wb");
    if (!file) return 0;
    fwrite(data, 1, size, file);
    fclose(file);

    ZTrueText face;
    face.setDeferredRendering(true);
    if (!face.loadFontFile(fontPath().c_str(), true, true, false)) return 0;
    face.setHeightPix(1 + (size % 48));
    face.render(nullptr, -1, size & 1);
    if (face.getCharCount() != 0 || face.getPageCount() != 0) __builtin_trap();

    uint32_t count = 0;
    int16_t* pairs = nullptr;
    if (FT_Get_Kerning_Pairs(face.getFace(), 0, &count, &pairs) != 0) __builtin_trap();
    if ((count == 0) != (pairs == nullptr)) __builtin_trap();
    free(pairs);

    const uint64_t codes[] = {'A', 'V', 0xE9, 0x4E2D, ' ', 'g', 0};
    long right = 0, height = 0, bottom = 0;
    float pen = 0;
    face.getArraySizeForString(codes, 1, right, height, pen, bottom, size & 2);
    std::vector<uint32_t> pixels(64 * 32);
    face.drawStringToArray(codes, pixels.data(), -3, -2, 0, 64, 32, size & 2);
    return 0;
}
