#pragma once

#include <vector>

#include "ZTextFace.h"

class ZTextFaceNode;

// One call of the multi-line layout: reads the runs' text paragraph by paragraph into the
// shared line buffer, breaks each paragraph into lines, places the lines and then measures,
// draws or hit-tests them by mode. The caller fills the public inputs, runs it and reads the
// outputs.
class ZTextLayout {
public:
    enum Mode {
        kMeasureHeight = 0,
        kDraw = 1,
        kDrawClipped = 2,
        kCharBox = 3,
        kCharAtPoint = 4,
        kMeasureWidth = 5,
    };

    ZTextLayout(long nodeCount, ZTextFaceNode* nodes);

    float run();

    // Inputs.
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    long flow = 0;
    long offsetX = 0, offsetY = 0;
    float kerning = 0;
    float lineSpacing = 0;
    long mode = kMeasureHeight;
    ZTextFaceCharCallback callback = nullptr;
    void* userData = nullptr;
    float horizPadding = 0;
    long widthCapacity = 0;
    float* widths = nullptr;
    long paramSet = 0;
    long charLimit = -1;
    float multiplier[4] = {1, 1, 1, 1};
    ZPixelShader* shader = nullptr;
    ZMatrix* matrix = nullptr;

    // In and out: the cursor (mode 2) or the character asked for (mode 3) in; the character
    // found (mode 4) out, -1 when none.
    long charIndex = -1;
    // Mode 3: the character's box, top and bottom relative to y1. Mode 4: left and top carry
    // the point asked for.
    float left = 0, top = 0, right = 0, bottom = 0;
    bool found = false;
    long lineCount = 0;

private:
    // One line of a paragraph: positions start to end of the line buffer, and where the next
    // line starts (after the spaces at the break).
    struct Line {
        long start;
        long end;
        long next;
        bool lastOfParagraph;
        float height;
        float baseline;
        float width;
    };
    // The part of a line inside one run.
    struct Segment {
        ZTextFaceNode* node;
        long start;
        long end;
    };

    void prepare();
    // False when the text has no further paragraph.
    bool readParagraph();
    unsigned long nextCode(ZTextFaceNode& node);
    void layoutParagraph();
    Line breakLine(long start);
    // The first place to break a line that starts at start, from the character at from on,
    // given whether the line so far has other characters than spaces and an ideograph.
    long nextBreak(long start, long from, bool content, bool ideographic) const;
    void measureLine(Line& line);
    // The line's segments into m_segments; an empty line gets one empty segment of the first
    // run, so that a cursor can sit on it.
    void collectSegments(const Line& line);
    void placeLine(const Line& line, float lineTop);
    void drawLine(const Line& line, float lineTop, long x, float charExtra);
    void hitTestLine(const Line& line, float lineTop, long x, float spaceExtra, float charExtra);
    // How far the pen moves over a segment in modes 3 and 4.
    float segmentWidth(const Segment& segment, unsigned long& previous, float spaceExtra,
                       float charExtra);
    float overshoot(const Line& line);
    void setWindowShader(ZPixelShader* wanted);
    void drawGraphic(ZTextFaceNode& node, float x, float y);
    void applyColor(ZTextFaceNode& node);
    // Where in the line the character with running index index sits: start to end, or -1
    // when it belongs to another line.
    long positionInLine(long index, const Line& line) const;
    long runningIndexAt(long position) const;
    long limitEnd(long start, long end) const;
    float runTop(const ZTextFaceNode& node, const Line& line, float lineTop) const;
    void finish();

    long m_nodeCount;
    ZTextFaceNode* m_nodes;
    float m_boxWidth = 0;
    long m_x1 = 0;
    float m_pointX = 0, m_pointY = 0;

    // Reading position in the runs.
    long m_run = 0;
    long m_readPos = 0;
    long m_running = 0;
    bool m_textEnded = false;

    // The paragraph in the line buffer.
    long m_length = 0;
    long m_paragraphStart = 0;
    std::vector<Segment> m_segments;

    float m_lineTop = 0;
    float m_bottom = 0;
    float m_widest = 0;
    float m_lastOvershoot = 0;
    ZPixelShader* m_windowShader = nullptr;

    // Running index (counted over the whole text, dropped characters included) of each position
    // of the line buffer; the entry after the paragraph's last holds the index of what ended it.
    static long g_nRunIndex[ZTextFace::kTextLineSize];
};
