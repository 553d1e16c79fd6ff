// Laying out and drawing 2,000 words of text in a bitmap font into a 600-pixel-wide box on the
// real window, 300 frames each way: the layout alone (line breaking and measuring, no drawing);
// the layout with the drawing, as a text element draws; the face drawing the laid-out lines
// alone; and the same glyph quads drawn straight through the text batch, as a program that kept
// them would. One paragraph holds at most 4,094 characters, so the words come in paragraphs of
// 600. Prints the mean milliseconds per frame of each and, last, the ratio of the face's drawing
// to the batch's (target: at most 1.3). Run it on a display, e.g. under xvfb-run.
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
#include "ZBatchGL.h"
#include "ZCore.h"
#include "ZGraphic.h"
#include "ZImage.h"
#include "ZResource.h"
#include "ZText.h"
#include "ZWindowGL.h"

namespace {

const long kWidth = 768;
const long kHeight = 1024;
const long kWords = 2000;
const long kWordsPerParagraph = 600;
const float kBoxLeft = 84;
const float kBoxRight = kBoxLeft + 600;
const long kPageWidth = 256;
const long kPageHeight = 64;
const long kCellHeight = 12;
const long kLineHeight = 14;
const int kWarmUpFrames = 30;
const int kFrames = 300;
// The ways alternate in blocks of frames, so that drift of the machine's load hits all of them.
const int kBlock = 50;

struct Glyph {
    long code, x, y, width, advance;
};

// Letters of both cases, digits and punctuation, 4 to 10 pixels wide, in rows of one page.
std::vector<Glyph> makeGlyphs() {
    std::string codes = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;:'!? ";
    std::vector<Glyph> glyphs;
    long x = 0, y = 0;
    for (size_t i = 0; i < codes.size(); i++) {
        long width = 4 + static_cast<long>((i * 7) % 7);
        if (x + width + 1 > kPageWidth) {
            x = 0;
            y += kCellHeight + 1;
        }
        glyphs.push_back({static_cast<unsigned char>(codes[i]), x, y, width, width + 1});
        x += width + 1;
    }
    return glyphs;
}

std::string makeTable(const std::vector<Glyph>& glyphs) {
    const char* pairs[] = {"AV", "AT", "To", "Te", "Vo", "r.", "y,", "LT", "P.", "Wa"};
    std::string text = "%ztext 3 1 " + std::to_string(glyphs.size()) + " " +
                       std::to_string(kLineHeight) + " " +
                       std::to_string(sizeof(pairs) / sizeof(pairs[0])) + "\n";
    for (const Glyph& g : glyphs) {
        char line[128];
        snprintf(line, sizeof(line), "%ld %ld %ld %ld %ld %ld %ld 0 0 1\n", g.code, g.x, g.y,
                 g.x + g.width - 1, g.y + kCellHeight - 1, g.advance, kCellHeight - 1);
        text += line;
    }
    for (const char* pair : pairs)
        text += std::to_string(pair[0]) + " " + std::to_string(pair[1]) + " -1\n";
    return text;
}

// Soft glyph cells: coverage that varies over each cell, the space left blank.
bool writePage(const std::vector<Glyph>& glyphs, const std::string& path) {
    uint32_t* pixels = new uint32_t[kPageWidth * kPageHeight]();
    for (const Glyph& g : glyphs) {
        if (g.code == ' ') continue;
        for (long y = 0; y < kCellHeight; y++)
            for (long x = 0; x < g.width; x++) {
                uint32_t a = static_cast<uint32_t>(96 + ((x * 37 + y * 53 + g.code) & 159));
                pixels[(g.y + y) * kPageWidth + g.x + x] = 0xFFFFFFu | a << 24;
            }
    }
    ZImage image;
    image.setPixels(kPageWidth, kPageHeight, true, pixels, false, true);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!image.encodeImage(ZImageFormatPng, data, size, 94)) return false;
    FILE* file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(data, 1, size, file) == size;
    if (file) fclose(file);
    delete[] data;
    return written;
}

// Words of 1 to 9 letters, some capitalised, some followed by punctuation.
std::string makeText() {
    const char* letters = "etaoinshrdlucmfwypvbgkjqxz";
    unsigned state = 2024;
    auto next = [&state](unsigned range) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % range;
    };
    std::string text;
    for (long word = 0; word < kWords; word++) {
        if (word > 0) text += word % kWordsPerParagraph == 0 ? "\n" : " ";
        long length = 1 + static_cast<long>(next(9));
        for (long i = 0; i < length; i++) {
            char c = letters[next(26) % (i == 0 ? 26 : 12)];
            if (i == 0 && next(6) == 0) c = static_cast<char>(c - 'a' + 'A');
            text += c;
        }
        unsigned mark = next(12);
        if (mark == 0) text += ".";
        if (mark == 1) text += ",";
    }
    return text;
}

// The text batch that also keeps every glyph quad it is given, to be drawn again directly.
class RecordingBatch : public ZBatchGL {
public:
    struct Quad {
        float sx1, sy1, sx2, sy2, dx, dy;
    };
    std::vector<Quad> quads;
    ZGraphic* page = nullptr;

    void beginBatch(ZGraphic* graphic) override {
        page = graphic;
        ZBatchGL::beginBatch(graphic);
    }
    void blitFastRectFxF(float sx1, float sy1, float sx2, float sy2, float dx, float dy, float zoom,
                         float blend, float centerX, float centerY) override {
        quads.push_back({sx1, sy1, sx2, sy2, dx, dy});
        ZBatchGL::blitFastRectFxF(sx1, sy1, sx2, sy2, dx, dy, zoom, blend, centerX, centerY);
    }
};

// The face that also keeps every line the layout has it draw, to be drawn again without the
// layout.
class RecordingText : public ZText {
public:
    using ZText::drawStringFromLeft;

    struct Line {
        std::vector<unsigned long> text;
        long x, y;
        float kerning;
        unsigned long previous;
    };
    std::vector<Line> lines;
    bool recording = false;

    void drawStringFromLeft(const char* text, long x, long y, float kerning, long encoding,
                            unsigned long* lastChar, long* endX, ZMatrix* matrix) override {
        if (recording && encoding == 5) {
            Line line{{}, x, y, kerning, lastChar ? *lastChar : static_cast<unsigned long>(-1)};
            const unsigned long* units = reinterpret_cast<const unsigned long*>(text);
            for (long i = 0; units[i]; i++) line.text.push_back(units[i]);
            line.text.push_back(0);
            lines.push_back(line);
        }
        ZText::drawStringFromLeft(text, x, y, kerning, encoding, lastChar, endX, matrix);
    }
};

class Bench {
public:
    Bench(ZWindowGL* window, RecordingText& face, const std::string& text)
        : m_window(window), m_face(face), m_text(text) {}

    // Lays the text out once through a recording batch, so the direct frames draw what the
    // face drew; false when nothing was drawn.
    bool record() {
        ZBatch* shared = ZTextFace::g_lpTextBatch;
        RecordingBatch recorder;
        recorder.allocateBuffer(200);
        ZTextFace::g_lpTextBatch = &recorder;
        m_face.recording = true;
        faceFrame(0);
        m_face.recording = false;
        ZTextFace::g_lpTextBatch = shared;
        m_quads = recorder.quads;
        m_page = recorder.page;
        return !m_quads.empty() && m_page;
    }

    long quads() const { return static_cast<long>(m_quads.size()); }

    void layoutOnly() {
        m_face.getMultilineHeight(m_text.c_str(), static_cast<long>(kBoxLeft),
                                  static_cast<long>(kBoxRight), 0, 0, 0, -1);
    }

    void faceFrame(int frame) {
        m_window->setWorldView(0, 0, 0, 1, true);
        m_face.drawMultiline(m_text.c_str(), static_cast<long>(kBoxLeft),
                             static_cast<long>(kBoxRight), frame % 4, 0, 0, -1);
        m_window->flipBackBuffer(false, true);
    }

    void linesFrame(int frame) {
        m_window->setWorldView(0, 0, 0, 1, true);
        long shift = frame % 4;
        for (const RecordingText::Line& line : m_face.lines) {
            unsigned long previous = line.previous;
            long endX = 0;
            m_face.drawStringFromLeft(reinterpret_cast<const char*>(line.text.data()), line.x,
                                      line.y + shift, line.kerning, 5, &previous, &endX, nullptr);
        }
        m_window->flipBackBuffer(false, true);
    }

    void batchFrame(int frame) {
        m_window->setWorldView(0, 0, 0, 1, true);
        float shift = static_cast<float>(frame % 4);
        ZBatch* batch = ZTextFace::g_lpTextBatch;
        batch->beginBatch(m_page);
        for (const RecordingBatch::Quad& q : m_quads)
            batch->blitFastRectFxF(q.sx1, q.sy1, q.sx2, q.sy2, q.dx, q.dy + shift, 1, 1, 0, 0);
        batch->endBatch();
        m_window->flipBackBuffer(false, true);
    }

private:
    ZWindowGL* m_window;
    RecordingText& m_face;
    const std::string& m_text;
    std::vector<RecordingBatch::Quad> m_quads;
    ZGraphic* m_page = nullptr;
};

}  // namespace

int main(int argc, char**) {
    // A plain program, not one of the library's: its flags mean nothing here.
    if (argc > 1) fprintf(stderr, "bench_text: takes no options; the arguments are ignored\n");
    if (!hasBenchDisplay("bench_text")) return 0;
    std::string folder = makeBenchFolder("bench_text", "text", "font");
    if (folder.empty()) return 1;
    ZResource::initialize();
    std::vector<Glyph> glyphs = makeGlyphs();
    std::string tablePath = folder + "/font.txt", pagePath = folder + "/font.png";
    FILE* table = fopen(tablePath.c_str(), "wb");
    std::string tableText = makeTable(glyphs);
    bool written =
        table && fwrite(tableText.data(), 1, tableText.size(), table) == tableText.size();
    if (table) fclose(table);
    if (!written || !writePage(glyphs, pagePath)) {
        printf("bench_text: the font could not be written; nothing measured\n");
        std::filesystem::remove_all(folder);
        return 1;
    }

    ZWindowGL* window = openBenchWindow("bench_text", "Text benchmark", kWidth, kHeight);
    if (!window) {
        std::filesystem::remove_all(folder);
        return 0;
    }
    char adapter[256];
    window->getAdapterName(adapter, sizeof(adapter));

    int result = 0;
    {
        RecordingText face;
        std::string text = makeText();
        if (!face.loadFontTableAndBitmap(tablePath.c_str(), pagePath.c_str(), true, false)) {
            printf("bench_text: the font could not be loaded; nothing measured\n");
            result = 1;
        } else {
            face.setColor(0.1f, 0.1f, 0.2f, 1);
            ZText::g_nZTextEncoding = 1;
            Bench bench(window, face, text);
            if (!bench.record()) {
                printf("bench_text: the text drew nothing; nothing measured\n");
                result = 1;
            } else {
                float widths[1];
                long lines = face.getMultilineWidthArray(text.c_str(), static_cast<long>(kBoxLeft),
                                                         static_cast<long>(kBoxRight), 0, 0, 1,
                                                         widths, 0, -1);
                for (int i = 0; i < kWarmUpFrames; i++) {
                    bench.layoutOnly();
                    bench.faceFrame(i);
                    bench.linesFrame(i);
                    bench.batchFrame(i);
                }
                double layoutTotal = 0, faceTotal = 0, linesTotal = 0, batchTotal = 0;
                for (int block = 0; block < kFrames / kBlock; block++) {
                    layoutTotal += timed([&] {
                        for (int i = 0; i < kBlock; i++) bench.layoutOnly();
                    });
                    faceTotal += timed([&] {
                        for (int i = 0; i < kBlock; i++) bench.faceFrame(i);
                    });
                    linesTotal += timed([&] {
                        for (int i = 0; i < kBlock; i++) bench.linesFrame(i);
                    });
                    batchTotal += timed([&] {
                        for (int i = 0; i < kBlock; i++) bench.batchFrame(i);
                    });
                }
                double layoutMs = layoutTotal / kFrames, faceMs = faceTotal / kFrames;
                double linesMs = linesTotal / kFrames, batchMs = batchTotal / kFrames;
                printf(
                    "%ld x %ld window on '%s', %ld words (%zu characters) in a %.0f-pixel box: "
                    "%ld lines, %ld glyph quads, %d frames after %d\n",
                    kWidth, kHeight, adapter, kWords, text.size(), kBoxRight - kBoxLeft, lines,
                    bench.quads(), kFrames, kWarmUpFrames);
                printf("layout alone: %.3f ms/frame\n", layoutMs);
                printf("layout + draw: %.3f ms/frame\n", faceMs);
                printf("the laid-out lines drawn by the face: %.3f ms/frame\n", linesMs);
                printf("the same quads straight through the batch: %.3f ms/frame\n", batchMs);
                printf("layout + draw / batch: %.3fx\n", batchMs > 0 ? faceMs / batchMs : 0.0);
                printf("face drawing / batch: %.3fx\n", batchMs > 0 ? linesMs / batchMs : 0.0);
            }
        }
    }
    closeBenchWindow(window);
    std::filesystem::remove_all(folder);
    return result;
}
