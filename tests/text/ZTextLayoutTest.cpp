#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FixedAdvanceFace.h"
#include "ZTextFace.h"
#include "ZTextFaceNode.h"

// The multi-line layout with a face whose characters are 10 pixels wide and 20 high: line
// breaking in every flow, alignment and justification, the measuring modes, the clipped drawing
// with its cursor, the hit tests, runs in several faces and the line buffer's bounds.
namespace {

struct Line {
    std::string text;
    float x, y;
    float spaceAdjustment;
    float kerning;
};

std::vector<Line> linesDrawn(const FixedAdvanceFace& face) {
    std::vector<Line> lines;
    for (const FixedAdvanceFace::Draw& draw : face.draws)
        lines.push_back({FixedAdvanceFace::utf8(draw.text), draw.x, draw.y, draw.spaceAdjustment,
                         draw.kerning});
    return lines;
}

std::string describe(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& line : lines)
        out += "[" + line.text + "] at " + std::to_string(line.x) + "," + std::to_string(line.y) +
               " space " + std::to_string(line.spaceAdjustment) + " kerning " +
               std::to_string(line.kerning) + "\n";
    return out;
}

// The same paragraphs in every flow: "aa bb" (50 wide) fits the 55-pixel box, "aa bb " does
// not; "abcdefghij" has no space; the last paragraph is one short line.
TEST(ZTextLayoutTest, BreaksAlignsAndJustifiesInEveryFlow) {
    const char* text = "aa bb cc dd\nabcdefghij\nz";
    struct Case {
        long flow;
        long width;
        std::vector<Line> lines;
    };
    const Case cases[] = {
        {0,
         100,
         {{"aa bb", 0, 0, 0, 0},
          {"cc dd", 0, 20, 0, 0},
          {"abcdefghij", 0, 40, 0, 0},
          {"z", 0, 60, 0, 0}}},
        {1,
         100,
         {{"aa bb", 5, 0, 0, 0},
          {"cc dd", 5, 20, 0, 0},
          {"abcdefghij", -45, 40, 0, 0},
          {"z", 45, 60, 0, 0}}},
        // (55 - 50) / 2 rounds half up.
        {2,
         100,
         {{"aa bb", 3, 0, 0, 0},
          {"cc dd", 3, 20, 0, 0},
          {"abcdefghij", -22, 40, 0, 0},
          {"z", 23, 60, 0, 0}}},
        // The one space of the first line takes the 5 pixels left; last lines stay as they are.
        {3,
         100,
         {{"aa bb", 0, 0, 5, 0},
          {"cc dd", 0, 20, 0, 0},
          {"abcdefghij", 0, 40, 0, 0},
          {"z", 0, 60, 0, 0}}},
        // A break at any character: the 5 pixels go to the 5 characters' kerning.
        {4,
         50,
         {{"aa bb", 0, 0, 0, 1},
          {"cc dd", 0, 20, 0, 0},
          {"abcde", 0, 40, 0, 1},
          {"fghij", 0, 60, 0, 0},
          {"z", 0, 80, 0, 0}}},
        // Spaces at a line's end are kept there.
        {5,
         60,
         {{"aa bb ", 0, 0, 0, 0},
          {"cc dd", 0, 20, 0, 0},
          {"abcde", 0, 40, 0, 1},
          {"fghij", 0, 60, 0, 0},
          {"z", 0, 80, 0, 0}}},
    };
    for (const Case& c : cases) {
        FixedAdvanceFace face;
        face.drawMultiline(text, 0, 55, 0, c.flow, 0, -1);
        EXPECT_EQ(describe(linesDrawn(face)), describe(c.lines)) << "flow " << c.flow;
        EXPECT_EQ(face.spaceAdjustment, 0.0f) << "flow " << c.flow << ": adjustment left set";

        long lines = static_cast<long>(c.lines.size());
        EXPECT_EQ(face.getMultilineHeight(text, 0, 55, 0, c.flow, 0, -1), 20 * lines);
        float widths[8];
        EXPECT_EQ(face.getMultilineWidthArray(text, 0, 55, 0, c.flow, 8, widths, 0, -1), lines);
        EXPECT_EQ(face.getMultilineWidth(text, 0, 55, 0, c.flow, 0, -1), c.width);
    }
}

// A word wider than the box is not split: it runs past the box on a line of its own, and the
// words after it wrap as usual. In flows 4 and 5 the same holds for one character wider than
// the box ('W' is 70 wide here).
TEST(ZTextLayoutTest, AWordWiderThanTheBoxEndsItsLineAtTheNextBreak) {
    struct Case {
        const char* text;
        long flow;
        std::vector<Line> lines;
    };
    const Case cases[] = {
        {"abcdefghij kl mn op",
         0,
         {{"abcdefghij", 0, 0, 0, 0}, {"kl mn", 0, 20, 0, 0}, {"op", 0, 40, 0, 0}}},
        {"abcdefghij kl mn op",
         1,
         {{"abcdefghij", -45, 0, 0, 0}, {"kl mn", 5, 20, 0, 0}, {"op", 35, 40, 0, 0}}},
        {"abcdefghij kl mn op",
         2,
         {{"abcdefghij", -22, 0, 0, 0}, {"kl mn", 3, 20, 0, 0}, {"op", 18, 40, 0, 0}}},
        // The wide line has no room to give: only the lines that fit are stretched.
        {"abcdefghij kl mn op",
         3,
         {{"abcdefghij", 0, 0, 0, 0}, {"kl mn", 0, 20, 5, 0}, {"op", 0, 40, 0, 0}}},
        // In the middle of a paragraph, after spaces of more than one.
        {"aa abcdefghij  bb",
         0,
         {{"aa", 0, 0, 0, 0}, {"abcdefghij", 0, 20, 0, 0}, {"bb", 0, 40, 0, 0}}},
        // An ideograph after the word opens a break before the character that follows it.
        {"abcdefghij中文", 0, {{"abcdefghij中", 0, 0, 0, 0}, {"文", 0, 20, 0, 0}}},
        {"Wab cd", 4, {{"W", 0, 0, 0, 0}, {"ab cd", 0, 20, 0, 0}}},
        {"Wab cd", 5, {{"W", 0, 0, 0, 0}, {"ab cd", 0, 20, 0, 0}}},
        {"abW", 4, {{"ab", 0, 0, 0, 17.5f}, {"W", 0, 20, 0, 0}}},
    };
    for (const Case& c : cases) {
        FixedAdvanceFace face;
        face.advances['W'] = 70;
        face.drawMultiline(c.text, 0, 55, 0, c.flow, 0, -1);
        EXPECT_EQ(describe(linesDrawn(face)), describe(c.lines)) << c.text << " flow " << c.flow;
        long lines = static_cast<long>(c.lines.size());
        EXPECT_EQ(face.getMultilineHeight(c.text, 0, 55, 0, c.flow, 0, -1), 20 * lines) << c.text;
        float widths[8];
        EXPECT_EQ(face.getMultilineWidthArray(c.text, 0, 55, 0, c.flow, 8, widths, 0, -1), lines)
            << c.text;
    }
}

TEST(ZTextLayoutTest, MeasuresHeightWithLineSpacingLineHeightAndOvershoot) {
    FixedAdvanceFace face;
    face.setYSpacing(4);
    EXPECT_EQ(face.getMultilineHeight("aa bb cc dd", 0, 55, 10, 0, 0, -1), 44);
    EXPECT_EQ(face.getMultilineHeight("aa bb cc dd", 0, 55, 10, 0, 0, 30), 64);
    // A glyph reaching below the last line's height adds what it overshoots.
    face.glyphHeights['g'] = 26;
    EXPECT_EQ(face.getMultilineHeight("aa bb cc gg", 0, 55, 10, 0, 0, -1), 50);
    EXPECT_EQ(face.getMultilineHeight("gg bb cc dd", 0, 55, 10, 0, 0, -1), 44);
}

TEST(ZTextLayoutTest, BreaksAfterAnIdeographAtAnyCharacter) {
    struct Case {
        const char* text;
        long flow;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"中文字体测试", 0, {"中文字", "体测试"}},
        {"中文字体测试", 2, {"中文字", "体测试"}},
        // No break before the first ideograph, only after it.
        {"ab中文字体", 0, {"ab中", "文字体"}},
        // The word too wide for the box stays whole; the ideograph after it opens a break.
        {"abcd中文", 0, {"abcd中", "文"}},
        // The punctuation block U+2000 to U+21FF does not open breaks.
        {"ab\u2014cdef", 0, {"ab\u2014cdef"}},
    };
    for (const Case& c : cases) {
        FixedAdvanceFace face;
        face.drawMultiline(c.text, 0, 35, 0, c.flow, 0, -1);
        std::vector<std::string> lines;
        for (const Line& line : linesDrawn(face)) lines.push_back(line.text);
        EXPECT_EQ(lines, c.lines) << c.text;
    }
}

TEST(ZTextLayoutTest, EmptyParagraphsAreLinesOfTheLineHeight) {
    struct Case {
        const char* text;
        long lines;
    };
    const Case cases[] = {{"", 1},     {"a", 1},      {"a\n", 2},   {"a\n\nb", 3},
                          {"\n\n", 3}, {"a\r\nb", 2}, {"\t\x01", 1}};
    for (const Case& c : cases) {
        FixedAdvanceFace face;
        float widths[8];
        EXPECT_EQ(face.getMultilineWidthArray(c.text, 0, 100, 0, 0, 8, widths, 0, -1), c.lines)
            << c.text;
        EXPECT_EQ(face.getMultilineHeight(c.text, 0, 100, 0, 0, 0, -1), 20 * c.lines) << c.text;
    }
    // Control characters and U+FEFF take no room.
    FixedAdvanceFace face;
    EXPECT_EQ(face.getMultilineWidth("\xEF\xBB\xBF"
                                     "a\tb\r",
                                     0, 100, 0, 0, 0, -1),
              20);
}

TEST(ZTextLayoutTest, FillsTheWidthsArrayUpToItsCapacity) {
    const char* text = "aaa\nbbbbb\ncc";
    for (long flow : {0L, 1L, 2L, 3L}) {
        FixedAdvanceFace face;
        float widths[4] = {-1, -1, -1, -1};
        EXPECT_EQ(face.getMultilineWidthArray(text, 0, 100, 0, flow, 2, widths, 0, -1), 3);
        EXPECT_EQ(face.getMultilineWidth(text, 0, 100, 0, flow, 0, -1), 50);
        bool listed = flow == 0 || flow == 3;
        EXPECT_EQ(widths[0], listed ? 30.0f : -1.0f) << "flow " << flow;
        EXPECT_EQ(widths[1], listed ? 50.0f : -1.0f) << "flow " << flow;
        EXPECT_EQ(widths[2], -1.0f) << "flow " << flow;
    }
}

TEST(ZTextLayoutTest, PaddingWiderThanTheBoxKeepsTheParagraphOnOneLine) {
    FixedAdvanceFace face;
    face.setMultilineHorizPadding(60);
    face.drawMultiline("aa bb cc", 0, 55, 0, 0, 0, -1);
    ASSERT_EQ(face.draws.size(), 1u);
    EXPECT_EQ(FixedAdvanceFace::utf8(face.draws[0].text), "aa bb cc");
    // The first character's x offset counts against the padding.
    face.draws.clear();
    face.xOffsets['a'] = 10;
    face.drawMultiline("aa bb cc", 0, 55, 0, 0, 0, -1);
    EXPECT_EQ(face.draws.size(), 2u);
}

// A paragraph longer than the line buffer is cut to the buffer's room; what follows its line
// feed is laid out as usual.
TEST(ZTextLayoutTest, CutsAParagraphAtTheLineBuffersRoom) {
    // 500 words of nine letters and a space, one word a line: the buffer keeps 4094 characters,
    // 409 whole words and four letters.
    std::string text;
    for (int i = 0; i < 500; i++) text += "aaaaaaaaa ";
    text += "\nbc";
    FixedAdvanceFace face;
    face.drawMultiline(text.c_str(), 0, 100, 0, 0, 0, -1);
    ASSERT_EQ(face.draws.size(), 411u);
    size_t letters = 0;
    for (size_t i = 0; i + 2 < face.draws.size(); i++) {
        EXPECT_EQ(FixedAdvanceFace::utf8(face.draws[i].text), "aaaaaaaaa") << i;
        letters += face.draws[i].text.size();
    }
    EXPECT_EQ(FixedAdvanceFace::utf8(face.draws[409].text), "aaaa");
    EXPECT_EQ(FixedAdvanceFace::utf8(face.draws[410].text), "bc");
    EXPECT_EQ(letters + 409 + 4, static_cast<size_t>(ZTextFace::kMaxParagraphChars));

    // On one line: a wide box measures the 4094 characters kept.
    std::string line(4100, 'a');
    float widths[2];
    EXPECT_EQ(face.getMultilineWidthArray(line.c_str(), 0, 1000000, 0, 4, 2, widths, 0, -1), 1);
    EXPECT_EQ(widths[0], 10.0f * ZTextFace::kMaxParagraphChars);
}

// ---- Several runs ----

struct Runs {
    FixedAdvanceFace small{10, 20};
    FixedAdvanceFace large{20, 30};
    ZTextFaceNode nodes[3];

    Runs() {
        small.setBaseline(16);
        large.setBaseline(24);
        nodes[0].setFont(&small, -1, -1);
        nodes[0].setText("ab ", 1);
        nodes[1].setFont(&large, -1, -1);
        nodes[1].setText("cd ef", 1);
        nodes[2].setFont(&small, -1, -1);
        nodes[2].setText("gh", 1);
    }
};

TEST(ZTextLayoutTest, LinesUpTheBaselinesOfRunsInSeveralFaces) {
    Runs runs;
    // "ab " 30 + "cd" 40 fits 80; " ef" does not.
    ZTextFace::drawMultilineNodes(3, runs.nodes, 0, 100, 80, 0, 0, 2);
    std::vector<Line> small = linesDrawn(runs.small), large = linesDrawn(runs.large);
    // Line 1 is 30 high with the large face's baseline: the small run sits 8 lower.
    EXPECT_EQ(describe(small), describe({{"ab ", 0, 108, 0, 0}, {"gh", 40, 132 + 8, 0, 0}}));
    EXPECT_EQ(describe(large), describe({{"cd", 30, 100, 0, 0}, {"ef", 0, 132, 0, 0}}));
    EXPECT_EQ(ZTextFace::getMultilineNodesHeight(3, runs.nodes, 0, 100, 80, 0, 0, 2), 62.0f);
    EXPECT_EQ(ZTextFace::getMultilineNodesWidth(3, runs.nodes, 0, 100, 80, 0, 0, 2), 70);
    // The runs' ranges in the line buffer.
    EXPECT_EQ(runs.nodes[0].firstIndex, 0);
    EXPECT_EQ(runs.nodes[0].endIndex, 3);
    EXPECT_EQ(runs.nodes[1].endIndex, 8);
    EXPECT_EQ(runs.nodes[2].firstIndex, 8);
    EXPECT_EQ(runs.nodes[2].endIndex, 10);
}

TEST(ZTextLayoutTest, CarriesTheLastCharacterAcrossRunsForPairKerning) {
    FixedAdvanceFace face;
    face.pairs[{'A', 'V'}] = -3;
    ZTextFaceNode nodes[2];
    nodes[0].setFont(&face, -1, -1);
    nodes[0].setText("A", 1);
    nodes[1].setFont(&face, -1, -1);
    nodes[1].setText("V", 1);
    EXPECT_EQ(ZTextFace::getMultilineNodesWidth(2, nodes, 0, 0, 100, 0, 0, 0), 17);
    ZTextFace::drawMultilineNodes(2, nodes, 0, 0, 100, 0, 0, 0);
    ASSERT_EQ(face.draws.size(), 2u);
    EXPECT_EQ(face.draws[0].previous, static_cast<unsigned long>(-1));
    EXPECT_EQ(face.draws[1].previous, static_cast<unsigned long>('A'));
    EXPECT_EQ(face.draws[1].x, 10.0f);
}

TEST(ZTextLayoutTest, DrawsRunsInTheirColourSetTimesTheMultiplierAndRestoresTheFaces) {
    Runs runs;
    runs.small.setColor(0.2f, 0.4f, 0.6f, 0.8f);
    runs.nodes[0].setColor(ZTextFaceNodeParamSet0, 1, 0, 0, 1);
    runs.nodes[0].setColor(ZTextFaceNodeParamSet1, 0, 0, 1, 1);
    runs.nodes[2].setNoOp(ZTextFaceNodeParamSet1);
    runs.small.setSpaceAdjustment(0);
    // Colour set 1; multipliers are clamped to 0..1.
    ZTextFace::drawMultilineNodes(3, runs.nodes, 0, 0, 1000, 0, 0, 0, 0, 1, -1, 0.5f, 2.0f, 1, -1);
    ASSERT_EQ(runs.small.draws.size(), 2u);
    const float* first = runs.small.draws[0].color;
    EXPECT_EQ(first[0], 0.0f);
    EXPECT_EQ(first[2], 1.0f);
    EXPECT_EQ(first[3], 0.0f);
    // The last run has no colour of its own in set 1: the face keeps the colour it has.
    EXPECT_EQ(runs.small.draws[1].color[2], 1.0f);
    float color[4];
    runs.small.getColor(color);
    EXPECT_EQ(color[0], 0.2f);
    EXPECT_EQ(color[3], 0.8f);
    EXPECT_EQ(runs.nodes[0].defaultColor[1], 0.4f);
}

// The limit counts every character of the text, dropped ones included.
TEST(ZTextLayoutTest, CharacterLimitStopsDrawingButNotMeasuring) {
    struct Case {
        long limit;
        std::vector<std::string> lines;
    };
    const Case cases[] = {{-1, {"ab cd", "ef"}}, {0, {}}, {3, {"ab "}}, {7, {"ab cd", "e"}}};
    for (const Case& c : cases) {
        FixedAdvanceFace face;
        ZTextFaceNode node;
        node.setFont(&face, -1, -1);
        node.setText("ab cd\nef", 1);
        ZTextFace::drawMultilineNodes(1, &node, 0, 0, 100, 0, 0, 0, 0, 0, c.limit);
        std::vector<std::string> lines;
        for (const Line& line : linesDrawn(face)) lines.push_back(line.text);
        EXPECT_EQ(lines, c.lines) << "limit " << c.limit;

        long index = -1, lineCount = 0;
        float l = 0, t = 0, r = 0, b = 0;
        bool found = false;
        float bottom = ZTextFace::blitMultilineTextNodes(
            1, &node, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0, index, nullptr, nullptr, l, t, r, b, found, 0,
            lineCount, 0, nullptr, 0, c.limit, 1, 1, 1, 1, nullptr, nullptr);
        EXPECT_EQ(bottom, 40.0f) << "limit " << c.limit;
        EXPECT_EQ(lineCount, 2) << "limit " << c.limit;
    }
}

TEST(ZTextLayoutTest, RunsWithoutFaceOrGraphicTakeNoRoom) {
    FixedAdvanceFace face;
    ZTextFaceNode nodes[3];
    nodes[0].setFont(&face, -1, -1);
    nodes[0].setText("ab", 1);
    nodes[1].setText("xyz", 1);
    nodes[2].setFont(&face, -1, -1);
    nodes[2].setText("cd", 1);
    EXPECT_EQ(ZTextFace::getMultilineNodesWidth(3, nodes, 0, 0, 100, 0, 0, 0), 40);
    ZTextFace::drawMultilineNodes(3, nodes, 0, 0, 100, 0, 0, 0);
    ASSERT_EQ(face.draws.size(), 2u);
    EXPECT_EQ(face.draws[1].x, 20.0f);
    EXPECT_EQ(ZTextFace::getMultilineNodesWidth(0, nodes, 0, 0, 100, 0, 0, 0), 0);
}

// ---- Clipped drawing and hit tests ----

struct CallbackLog {
    std::vector<long> states;
    float box[4] = {0, 0, 0, 0};
};

void logCallback(ZTextFace*, void* data, long state, float x1, float y1, float x2, float y2) {
    CallbackLog* log = static_cast<CallbackLog*>(data);
    log->states.push_back(state);
    log->box[0] = x1;
    log->box[1] = y1;
    log->box[2] = x2;
    log->box[3] = y2;
}

TEST(ZTextLayoutTest, ClippedDrawingPlacesTheCursorOnItsLine) {
    // "aa bb" / "cc dd" in a 55-wide box at (10, 100); characters 0 to 10, the stripped space is 5.
    const char* text = "aa bb cc dd";
    struct Case {
        long cursor;
        float left;  // -1: no callback
        float top;
    };
    const Case cases[] = {{0, 10, 100}, {4, 50, 100},  {5, 60, 100},
                          {7, 20, 120}, {11, 60, 120}, {12, -1, 0}};
    for (const Case& c : cases) {
        FixedAdvanceFace face;
        CallbackLog log;
        face.drawMultilineClipped(text, 10, 100, 65, 200, 0, 0, 0, 0, c.cursor, logCallback, &log,
                                  -1);
        ASSERT_EQ(face.draws.size(), 2u) << c.cursor;
        EXPECT_EQ(face.draws[0].x, 10.0f);
        EXPECT_EQ(face.draws[1].y, 120.0f);
        if (c.left < 0) {
            EXPECT_TRUE(log.states.empty()) << c.cursor;
            continue;
        }
        EXPECT_EQ(log.states, (std::vector<long>{0, 1, 2})) << c.cursor;
        EXPECT_EQ(log.box[0], c.left) << c.cursor;
        EXPECT_EQ(log.box[1], c.top) << c.cursor;
    }
}

TEST(ZTextLayoutTest, ClippedDrawingSkipsLinesOutsideTheBoxAndScrolls) {
    FixedAdvanceFace face;
    // Lines at 100, 120, 140, 160 scrolled up by 30: the one at 70 lies above the window's top
    // minus a line (80); 90, 110 and 130 show.
    face.drawMultilineClipped("a\nb\nc\nd", 0, 100, 50, 140, 0, 5, -30, 0, -1, nullptr, nullptr,
                              -1);
    std::vector<Line> lines = linesDrawn(face);
    EXPECT_EQ(describe(lines),
              describe({{"b", 5, 90, 0, 0}, {"c", 5, 110, 0, 0}, {"d", 5, 130, 0, 0}}));
}

TEST(ZTextLayoutTest, FindsTheBoxOfACharacter) {
    const char* text = "aa bb cc dd\n\nef";
    struct Case {
        long index;
        bool found;
        long left, top, right, bottom;
    };
    // Box at (10, 100), 55 wide: "aa bb" / "cc dd" / "" / "ef".
    const Case cases[] = {
        {0, true, 10, 100, 20, 120},  {4, true, 50, 100, 60, 120},
        {5, true, 60, 100, 70, 120},  // the space at the break: the end of its line
        {7, true, 20, 120, 30, 140},  {11, true, 60, 120, 70, 140},
        {12, true, 10, 140, 20, 160},  // the empty paragraph
        {14, true, 20, 160, 30, 180}, {15, true, 30, 160, 40, 180},
        {16, false, 0, 0, 0, 0},      {-1, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        FixedAdvanceFace face;
        long left = 0, top = 0, right = 0, bottom = 0;
        bool found = face.getMultilineClippedCharCoord(text, 10, 100, 65, 300, 0, 0, 0, 0, c.index,
                                                       left, top, right, bottom, -1);
        EXPECT_EQ(found, c.found) << c.index;
        if (!c.found) continue;
        EXPECT_EQ(left, c.left) << c.index;
        EXPECT_EQ(top, c.top) << c.index;
        EXPECT_EQ(right, c.right) << c.index;
        EXPECT_EQ(bottom, c.bottom) << c.index;
    }
}

TEST(ZTextLayoutTest, FindsTheCharacterUnderAPoint) {
    const char* text = "aa bb cc dd\n\nef";
    struct Case {
        long x, y;
        long index;
    };
    const Case cases[] = {
        {10, 100, 0}, {25, 105, 1},  {55, 119, 4},  {62, 110, 5},  // the end slot of the first line
        {25, 125, 7}, {15, 145, 12}, {35, 170, 15}, {5, 110, -1}, {90, 110, -1},
        {20, 99, -1}, {20, 180, -1},
    };
    for (const Case& c : cases) {
        FixedAdvanceFace face;
        EXPECT_EQ(face.getMultilineClippedCharPos(text, 10, 100, 65, 300, 0, 0, 0, 0, c.x, c.y, -1),
                  c.index)
            << c.x << "," << c.y;
    }
    // Justified: the widened space moves what follows it.
    FixedAdvanceFace face;
    EXPECT_EQ(face.getMultilineClippedCharPos(text, 10, 100, 65, 300, 3, 0, 0, 0, 42, 110, -1), 2);
    EXPECT_EQ(face.getMultilineClippedCharPos(text, 10, 100, 65, 300, 3, 0, 0, 0, 47, 110, -1), 3);
}

TEST(ZTextLayoutTest, RoundsTheLeftEdgeHalfUp) {
    FixedAdvanceFace face;
    ZTextFaceNode node;
    node.setFont(&face, -1, -1);
    node.setText("ab", 1);
    ZTextFace::drawMultilineNodes(1, &node, 10.5f, 0, 100, 0, 0, 0);
    ZTextFace::drawMultilineNodes(1, &node, 10.49f, 0, 100, 0, 0, 0);
    ASSERT_EQ(face.draws.size(), 2u);
    EXPECT_EQ(face.draws[0].x, 11.0f);
    EXPECT_EQ(face.draws[1].x, 10.0f);
}

}  // namespace
