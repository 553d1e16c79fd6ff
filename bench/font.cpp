// Outline fonts on the real window: the glyph set of a string table using 1,200 characters
// (Latin, Greek and Cyrillic in DejaVu Sans) built at 24 pixels, then a paragraph of 2,000
// words laid out and drawn in it for 300 frames, against the same text drawn by the bitmap face
// that the outline face exported of itself. Prints the build time, the mean milliseconds per
// frame of each and, last, the ratio of the outline face's frame to the bitmap face's (target:
// at most 1.1). Run it on a display, e.g. under xvfb-run.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "BenchWindow.h"
#include "ZCore.h"
#include "ZGame.h"
#include "ZImage.h"
#include "ZResource.h"
#include "ZText.h"
#include "ZTextFace.h"
#include "ZTrueText.h"
#include "ZWindowGL.h"

namespace {

const long kWidth = 768;
const long kHeight = 1024;
const long kTableChars = 1200;
const long kWords = 2000;
const long kPixels = 24;
const long kBoxLeft = 20;
const long kBoxRight = 748;
const int kWarmUpFrames = 30;
const int kFrames = 300;
// The two faces alternate in blocks of frames, so that drift of the machine's load hits both.
const int kBlock = 50;
const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class TableGame : public ZGame {
public:
    const char* getGameName() override { return "bench"; }
    const char* getSafeGameName() override { return "bench"; }
    const char* getSafeDeveloperName() override { return "bench"; }
    const char* getGameVersion() override { return "1"; }
    ZWindow* createGameWindow() override { return nullptr; }
    void run() override {}
    void destroyGameWindow(ZWindow*) override {}
};

std::string utf8(unsigned long code) {
    char units[4];
    long pos = 0;
    ZTextFace::encodeChar(1, units, pos, code);
    return std::string(units, static_cast<size_t>(pos));
}

// The 1,200 codes: printable Latin-1 and Latin Extended, Greek, Cyrillic.
std::vector<unsigned long> tableCodes() {
    std::vector<unsigned long> codes;
    for (unsigned long c = 0x21; c < 0x7F; c++) codes.push_back(c);
    for (unsigned long c = 0xA1; c < 0x250; c++) codes.push_back(c);
    for (unsigned long c = 0x391; c < 0x3CA; c++) codes.push_back(c);
    for (unsigned long c = 0x400; codes.size() < static_cast<size_t>(kTableChars); c++)
        codes.push_back(c);
    return codes;
}

// One key per 40 characters.
std::string makeTable(const std::vector<unsigned long>& codes) {
    std::string table = "\xEF\xBB\xBF";
    for (size_t i = 0; i < codes.size(); i += 40) {
        table += "text" + std::to_string(i / 40) + "\t";
        for (size_t j = i; j < i + 40 && j < codes.size(); j++)
            if (codes[j] != '"' && codes[j] != '#') table += utf8(codes[j]);
        table += "\r\n";
    }
    return table;
}

// Words of 1 to 9 characters, mostly Latin letters, some from the table's other scripts.
std::string makeText(const std::vector<unsigned long>& codes) {
    const char* letters = "etaoinshrdlucmfwypvbgkjqxz";
    unsigned state = 2024;
    auto next = [&state](unsigned range) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % range;
    };
    std::string text;
    for (long word = 0; word < kWords; word++) {
        if (word > 0) text += word % 600 == 0 ? "\n" : " ";
        long length = 1 + static_cast<long>(next(9));
        for (long i = 0; i < length; i++) {
            if (next(8) == 0)
                text += utf8(codes[next(static_cast<unsigned>(codes.size()))]);
            else
                text += letters[next(26)];
        }
    }
    return text;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file) fclose(file);
    return written;
}

}  // namespace

int main(int argc, char**) {
    if (argc > 1) fprintf(stderr, "bench_font: takes no options; the arguments are ignored\n");
    if (!hasBenchDisplay("bench_font")) return 0;
    std::string folder = makeBenchFolder("bench_font", "font", "files");
    if (folder.empty()) return 1;
    ZResource::initialize();
    std::vector<unsigned long> codes = tableCodes();
    std::string tablePath = folder + "/english.txt";
    if (!writeFile(tablePath, makeTable(codes))) {
        printf("bench_font: the string table could not be written; nothing measured\n");
        std::filesystem::remove_all(folder);
        return 1;
    }

    ZWindowGL* window = openBenchWindow("bench_font", "Font benchmark", kWidth, kHeight);
    if (!window) {
        std::filesystem::remove_all(folder);
        return 0;
    }
    char adapter[256];
    window->getAdapterName(adapter, sizeof(adapter));

    int result = 0;
    {
        TableGame game;
        ZTrueText* outline = nullptr;
        double buildMs = 0;
        bool read = game.readStringTable(tablePath.c_str());
        if (read) {
            buildMs = timed([&] {
                outline = new ZTrueText(kFont);
                outline->setHeightPix(kPixels);
            });
        }
        std::string fontTable = folder + "/font.txt", fontPage = folder + "/font.png";
        ZText bitmap;
        if (!read || !outline || outline->getCharCount() == 0 ||
            !outline->saveFontTableAndBitmap(fontTable.c_str(), fontPage.c_str(), ZImageFormatPng,
                                             true) ||
            !bitmap.loadFontTableAndBitmap(fontTable.c_str(), fontPage.c_str(), true, false)) {
            printf("bench_font: the glyph set or its export failed; nothing measured\n");
            result = 1;
        } else {
            std::string text = makeText(codes);
            outline->setColor(0.1f, 0.1f, 0.2f, 1);
            bitmap.setColor(0.1f, 0.1f, 0.2f, 1);
            auto frame = [&](ZTextFace& face, int i) {
                window->setWorldView(0, 0, 0, 1, true);
                face.drawMultiline(text.c_str(), kBoxLeft, kBoxRight, i % 4, 0, 0, -1);
                window->flipBackBuffer(false, true);
            };
            for (int i = 0; i < kWarmUpFrames; i++) {
                frame(*outline, i);
                frame(bitmap, i);
            }
            double outlineTotal = 0, bitmapTotal = 0;
            for (int block = 0; block < kFrames / kBlock; block++) {
                outlineTotal += timed([&] {
                    for (int i = 0; i < kBlock; i++) frame(*outline, i);
                });
                bitmapTotal += timed([&] {
                    for (int i = 0; i < kBlock; i++) frame(bitmap, i);
                });
            }
            double outlineMs = outlineTotal / kFrames, bitmapMs = bitmapTotal / kFrames;
            long lines =
                outline->getMultilineHeight(text.c_str(), kBoxLeft, kBoxRight, 0, 0, 0, -1) /
                std::max(1L, outline->getHeightPix());
            printf("%ld x %ld window on '%s'; %s at %ld px\n", kWidth, kHeight, adapter, kFont,
                   kPixels);
            printf(
                "glyph set of %lld codes (string table of %ld characters): %ld pages, built "
                "in %.1f ms\n",
                static_cast<long long>(ZTrueText::g_nCharsInMap), kTableChars,
                outline->getPageCount(), buildMs);
            printf("%ld words (%zu bytes), about %ld lines, %d frames after %d\n", kWords,
                   text.size(), lines, kFrames, kWarmUpFrames);
            printf("outline face: %.3f ms/frame\n", outlineMs);
            printf("exported bitmap face: %.3f ms/frame\n", bitmapMs);
            printf("outline / bitmap: %.3fx\n", bitmapMs > 0 ? outlineMs / bitmapMs : 0.0);
        }
        delete outline;
    }
    closeBenchWindow(window);
    std::filesystem::remove_all(folder);
    return result;
}
