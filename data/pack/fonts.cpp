// Exports the bitmap fonts of a scene's font brushes with the engine's own font export:
// bramble-fonts LIST OUTDIR. Each line of the list is
//   NAME FONTFILE PIXELHEIGHT FILL OUTLINE OUTLINECOLOUR SHADOW
// (colours as RRGGBB, the outline and the shadow in pixels, 0 for none) and gives OUTDIR/NAME.tbl
// with the pages OUTDIR/NAME_1.jem, NAME_2.jem, ...: the names the scene player loads for a brush.
// The fill runs from the colour at the top of the glyphs to a little darker at the bottom.
// The face renders its pages through the renderer, so a small window is opened first; a
// build runs it on an Xvfb display of its own (data/pack/run-with-display.sh).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "ZCore.h"
#include "ZImage.h"
#include "ZTrueText.h"
#include "ZWindowGL.h"

namespace {

bool parseColour(const std::string& text, float rgb[3]) {
    if (text.size() != 6) return false;
    char* end = nullptr;
    unsigned long value = strtoul(text.c_str(), &end, 16);
    if (!end || *end) return false;
    for (int i = 0; i < 3; i++) rgb[i] = static_cast<float>((value >> (16 - 8 * i)) & 255) / 255;
    return true;
}

bool exportFont(const std::string& line, const std::string& folder) {
    std::istringstream fields(line);
    std::string name, file, fill, outlineColour;
    long height = 0, outline = 0, shadow = 0;
    fields >> name >> file >> height >> fill >> outline >> outlineColour >> shadow;
    float fillRgb[3], outlineRgb[3];
    if (fields.fail() || height <= 0 || !parseColour(fill, fillRgb) ||
        !parseColour(outlineColour, outlineRgb)) {
        fprintf(stderr, "bramble-fonts: bad line: %s\n", line.c_str());
        return false;
    }
    ZTrueText face;
    if (!face.loadFontFile(file.c_str(), true, true, false)) {
        fprintf(stderr, "bramble-fonts: cannot open the font %s\n", file.c_str());
        return false;
    }
    face.setHeightPix(height);
    const float shade = 0.82f;
    ZTrueTextGradientColor stops[2] = {
        {0, fillRgb[0], fillRgb[1], fillRgb[2], 1},
        {1, fillRgb[0] * shade, fillRgb[1] * shade, fillRgb[2] * shade, 1}};
    face.setGradient(2, stops);
    if (outline > 0) face.setOutline(outline, outlineRgb[0], outlineRgb[1], outlineRgb[2], 1);
    if (shadow > 0) face.setDropShadow(shadow, shadow, 45, 0, 0, 0, 0.45f);
    std::string table = folder + "/" + name + ".tbl";
    std::string page = folder + "/" + name + "_1.jem";
    if (!face.saveFontTableAndBitmap(table.c_str(), page.c_str(), ZImageFormatJem, true)) {
        fprintf(stderr, "bramble-fonts: cannot write %s\n", table.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: bramble-fonts LIST OUTDIR\n");
        return 2;
    }
    std::ifstream list(argv[1]);
    if (!list) {
        fprintf(stderr, "bramble-fonts: cannot read %s\n", argv[1]);
        return 1;
    }
    ZWindowGL* window =
        static_cast<ZWindowGL*>(ZCore::createZWindow(eRendererOpenGL, false, false));
    if (!window || !window->createGameWindow(64, 64, 32, true, "bramble-fonts", 0)) {
        fprintf(stderr, "bramble-fonts: no OpenGL window to render the fonts with\n");
        delete window;
        return 1;
    }
    bool ok = true;
    std::string line;
    while (ok && std::getline(list, line))
        if (!line.empty()) ok = exportFont(line, argv[2]);
    ZTrueText::cleanup();
    ZCore::forgetZWindow();
    delete window;
    return ok ? 0 : 1;
}
