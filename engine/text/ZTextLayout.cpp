#include "ZTextLayout.h"

#include <cmath>

#include "ZCore.h"
#include "ZGraphic.h"
#include "ZTextFaceNode.h"
#include "ZWindow.h"

long ZTextLayout::g_nRunIndex[ZTextFace::kTextLineSize];

namespace {

const unsigned long kNoChar = static_cast<unsigned long>(-1);

float roundHalfUp(float value) {
    return std::floor(value + 0.5f);
}

float clampUnit(float value) {
    if (!(value > 0)) return 0;
    return value > 1 ? 1 : value;
}

// Once one of these is met in a line, the line may break after any later character.
bool isIdeographic(unsigned long code) {
    return code >= 0x1000 && code <= 0xFFFF && !(code >= 0x2000 && code <= 0x21FF) &&
           code != 0xFEFF;
}

const char* lineText(long position) {
    return reinterpret_cast<const char*>(&ZTextFace::g_szTextLine[position]);
}

// Ends the line buffer at a position for as long as it lives, so a segment is measured or
// drawn in place.
class LineCut {
public:
    explicit LineCut(long end) : m_end(end), m_saved(ZTextFace::g_szTextLine[end]) {
        ZTextFace::g_szTextLine[end] = 0;
    }
    ~LineCut() { ZTextFace::g_szTextLine[m_end] = m_saved; }
    LineCut(const LineCut&) = delete;
    LineCut& operator=(const LineCut&) = delete;

private:
    long m_end;
    unsigned long m_saved;
};

long spacesIn(long start, long end) {
    long spaces = 0;
    for (long i = start; i < end; i++)
        if (ZTextFace::g_szTextLine[i] == 32) spaces++;
    return spaces;
}

}  // namespace

ZTextLayout::ZTextLayout(long nodeCount, ZTextFaceNode* nodes)
    : m_nodeCount(nodes && nodeCount > 0 ? nodeCount : 0), m_nodes(nodes) {}

float ZTextLayout::run() {
    found = false;
    lineCount = 0;
    float pointX = left, pointY = top;
    if (mode == kCharAtPoint) charIndex = -1;
    if (m_nodeCount == 0) return mode == kMeasureWidth ? 0 : y1;
    m_pointX = pointX;
    m_pointY = pointY;
    prepare();
    m_lineTop = y1;
    m_bottom = y1;
    do {
        readParagraph();
        layoutParagraph();
    } while (!m_textEnded);
    finish();
    if (mode == kMeasureWidth) return m_widest;
    return m_bottom + (mode == kMeasureHeight ? m_lastOvershoot : 0);
}

void ZTextLayout::prepare() {
    for (long i = 0; i < m_nodeCount; i++) {
        ZTextFaceNode& node = m_nodes[i];
        float* color = node.defaultColor;
        if (node.graphic) {
            node.graphic->getBlitColor(color);
        } else if (node.face) {
            node.face->getColor(color);
        } else {
            color[0] = color[1] = color[2] = color[3] = 1;
        }
    }
    x1 = roundHalfUp(x1);
    m_x1 = static_cast<long>(x1);
    if (mode == kDrawClipped || mode == kCharBox || mode == kCharAtPoint)
        y1 = static_cast<float>(static_cast<long>(y1));
    for (float& value : multiplier) value = clampUnit(value);
    if (paramSet < 0) paramSet = 0;
    if (paramSet > 1) paramSet = 1;
    m_boxWidth = x2 - x1;
}

unsigned long ZTextLayout::nextCode(ZTextFaceNode& node) {
    // An inline graphic stands for one character, whatever its text says.
    if (node.graphic) {
        if (m_readPos != 0) return 0;
        m_readPos = 1;
        return '*';
    }
    if (!node.text) return 0;
    return ZTextFace::decodeChar(node.encoding, node.text, m_readPos, true);
}

bool ZTextLayout::readParagraph() {
    for (long i = 0; i < m_nodeCount; i++) m_nodes[i].firstIndex = m_nodes[i].endIndex = 0;
    m_length = 0;
    m_paragraphStart = m_running;
    unsigned long* line = ZTextFace::g_szTextLine;
    while (true) {
        if (m_run >= m_nodeCount) {
            m_textEnded = true;
            g_nRunIndex[m_length] = m_running;
            break;
        }
        ZTextFaceNode& node = m_nodes[m_run];
        unsigned long code = nextCode(node);
        if (code == 0) {
            node.endIndex = m_length;
            m_run++;
            m_readPos = 0;
            if (m_run < m_nodeCount) m_nodes[m_run].firstIndex = m_length;
            continue;
        }
        long index = m_running++;
        if (code == 10) {
            node.endIndex = m_length;
            g_nRunIndex[m_length] = index;
            break;
        }
        // Characters past the buffer's room are dropped, so a long paragraph is cut, not
        // written beyond it.
        if (code < 32 || code == 0xFEFF || m_length >= ZTextFace::kMaxParagraphChars) continue;
        line[m_length] = code;
        g_nRunIndex[m_length] = index;
        m_length++;
    }
    line[m_length] = 0;
    return !m_textEnded;
}

void ZTextLayout::layoutParagraph() {
    long start = 0;
    do {
        Line line = breakLine(start);
        measureLine(line);
        placeLine(line, m_lineTop);
        m_bottom = m_lineTop + line.height;
        if (mode == kMeasureHeight) m_lastOvershoot = overshoot(line);
        lineCount++;
        m_lineTop += line.height + lineSpacing;
        start = line.next;
    } while (start < m_length);
}

ZTextLayout::Line ZTextLayout::breakLine(long start) {
    Line line{start, m_length, m_length, true, 0, 0, 0};
    if (start >= m_length) return line;
    unsigned long* text = ZTextFace::g_szTextLine;
    bool everyChar = flow == 4 || flow == 5;
    bool keepSpaces = flow == 5;

    ZTextFaceNode* first = ZTextFace::getNodeForLineIndex(m_nodes, 0, m_nodeCount, start);
    float xOffset = 0;
    if (first && first->face && !first->graphic) xOffset = first->face->getCharXOffset(text[start]);
    long end = m_length;
    if (horizPadding - xOffset <= m_boxWidth) {
        long lastBreak = -1;
        bool ideographic = false;
        // A break leaves something on the line: no line of nothing but the spaces that
        // would then be dropped.
        bool content = keepSpaces;
        for (long i = start; i < m_length; i++) {
            unsigned long code = text[i];
            if (i > start && content && (everyChar || ideographic || code == 32)) lastBreak = i;
            float width =
                ZTextFace::getStringWidthForNodes(m_nodes, 0, m_nodeCount, start, i + 1, kerning);
            if (width > m_boxWidth) {
                if (keepSpaces && code == 32 && content) {
                    // Kept spaces hang past the box at the line's end rather than start the
                    // next line.
                    end = i;
                    while (end < m_length && text[end] == 32) end++;
                } else if (lastBreak > start) {
                    end = lastBreak;
                } else {
                    // A word too wide for the box is not split: it runs past the box, and the
                    // line ends at the first place to break after it.
                    end = nextBreak(start, i, content, ideographic);
                }
                break;
            }
            if (code == 32) {
                if (content) lastBreak = i + 1;
            } else {
                content = true;
            }
            if (isIdeographic(code)) ideographic = true;
        }
    }
    line.end = end;
    line.next = end;
    if (!keepSpaces) {
        while (line.end > start && text[line.end - 1] == 32) line.end--;
        while (line.next < m_length && text[line.next] == 32) line.next++;
    }
    line.lastOfParagraph = line.next >= m_length;
    return line;
}

long ZTextLayout::nextBreak(long start, long from, bool content, bool ideographic) const {
    const unsigned long* text = ZTextFace::g_szTextLine;
    bool everyChar = flow == 4 || flow == 5;
    for (long i = from; i < m_length; i++) {
        unsigned long code = text[i];
        if (i > start && content && (everyChar || ideographic || code == 32)) return i;
        if (code != 32) content = true;
        if (isIdeographic(code)) ideographic = true;
    }
    return m_length;
}

void ZTextLayout::measureLine(Line& line) {
    bool any = false;
    for (long i = 0; i < m_nodeCount; i++) {
        const ZTextFaceNode& node = m_nodes[i];
        if (node.firstIndex >= line.end || node.endIndex <= line.start) continue;
        if (!any || node.height > line.height) {
            line.height = node.height;
            line.baseline = node.baseline;
        }
        any = true;
    }
    if (!any) {
        line.height = m_nodes[0].height;
        line.baseline = m_nodes[0].baseline;
    }
    line.width = line.end > line.start ? ZTextFace::getStringWidthForNodes(
                                             m_nodes, 0, m_nodeCount, line.start, line.end, kerning)
                                       : 0;
}

void ZTextLayout::collectSegments(const Line& line) {
    m_segments.clear();
    for (long i = 0; i < m_nodeCount; i++) {
        ZTextFaceNode& node = m_nodes[i];
        long start = node.firstIndex > line.start ? node.firstIndex : line.start;
        long end = node.endIndex < line.end ? node.endIndex : line.end;
        if (start < end) m_segments.push_back({&node, start, end});
    }
    if (m_segments.empty()) m_segments.push_back({&m_nodes[0], line.start, line.start});
}

void ZTextLayout::placeLine(const Line& line, float lineTop) {
    if (mode == kMeasureHeight) return;
    if (mode == kMeasureWidth) {
        if (line.width > m_widest) m_widest = line.width;
        bool listed = flow == 0 || flow == 3 || flow == 4 || flow == 5;
        if (listed && widths && lineCount < widthCapacity) widths[lineCount] = line.width;
        return;
    }
    float spaceExtra = 0, charExtra = 0;
    bool justified = flow >= 3 && flow <= 5;
    if (justified && !line.lastOfParagraph && line.width < m_boxWidth) {
        if (flow == 3) {
            long spaces = spacesIn(line.start, line.end);
            if (spaces > 0) spaceExtra = (m_boxWidth - line.width) / spaces;
        } else if (line.end > line.start) {
            charExtra = (m_boxWidth - line.width) / (line.end - line.start);
        }
    }
    collectSegments(line);
    for (const Segment& segment : m_segments)
        if (segment.node->face && !segment.node->graphic)
            segment.node->face->setSpaceAdjustment(spaceExtra);
    long x = m_x1;
    if (flow == 2)
        x = static_cast<long>(roundHalfUp(x1 + (m_boxWidth - line.width) / 2));
    else if (flow == 1)
        x = static_cast<long>(roundHalfUp(x2 - line.width));
    if (mode == kDraw || mode == kDrawClipped)
        drawLine(line, lineTop, x, charExtra);
    else
        hitTestLine(line, lineTop, x, spaceExtra, charExtra);
}

float ZTextLayout::runTop(const ZTextFaceNode& node, const Line& line, float lineTop) const {
    return lineTop + (line.baseline - node.baseline);
}

void ZTextLayout::drawLine(const Line& line, float lineTop, long x, float charExtra) {
    bool clipped = mode == kDrawClipped;
    if (clipped) {
        float shown = lineTop + offsetY;
        if (!(shown > y1 - line.height && shown < y2)) return;
    }
    long pen = x + (clipped ? offsetX : 0);
    unsigned long previous = kNoChar;
    long cursor = clipped && callback ? positionInLine(charIndex, line) : -1;
    for (size_t k = 0; k < m_segments.size(); k++) {
        const Segment& segment = m_segments[k];
        ZTextFaceNode& node = *segment.node;
        float top = runTop(node, line, lineTop) + (clipped ? offsetY : 0);
        long cut = limitEnd(segment.start, segment.end);
        if (node.graphic) {
            setWindowShader(nullptr);
            applyColor(node);
            if (cut > segment.start) drawGraphic(node, static_cast<float>(pen), std::floor(top));
            pen += static_cast<long>(node.x2 - node.x1);
            previous = kNoChar;
            continue;
        }
        if (!node.face) continue;
        setWindowShader(shader);
        applyColor(node);
        LineCut end(cut);
        if (!clipped) {
            if (cut == segment.start) continue;
            long endX = pen;
            node.face->drawStringFromLeft(lineText(segment.start), pen, static_cast<long>(top),
                                          kerning + charExtra, 5, &previous, &endX, matrix);
            pen = endX;
            continue;
        }
        long relative = -1;
        if (cursor >= segment.start && cursor < segment.end)
            relative = cursor - segment.start;
        else if (cursor >= 0 && cursor == segment.end && k + 1 == m_segments.size())
            relative = segment.end - segment.start;
        if (relative > cut - segment.start) relative = -1;
        if (cut == segment.start && relative < 0) continue;
        long endX = pen - m_x1;
        node.face->drawStringClipped(
            lineText(segment.start), m_x1, static_cast<long>(y1), static_cast<long>(x2),
            static_cast<long>(y2), pen - m_x1, static_cast<long>(top - y1), kerning + charExtra,
            relative, relative >= 0 ? callback : nullptr, userData, 5, &previous, &endX, matrix);
        pen = m_x1 + endX;
    }
}

void ZTextLayout::drawGraphic(ZTextFaceNode& node, float x, float y) {
    float sx1 = node.x1, sy1 = node.y1, sx2 = node.x2, sy2 = node.y2;
    float width = sx2 - sx1, height = sy2 - sy1;
    if (mode == kDrawClipped) {
        float cutLeft = x < x1 ? x1 - x : 0;
        float cutRight = x + width > x2 ? x + width - x2 : 0;
        float cutTop = y < y1 ? y1 - y : 0;
        float cutBottom = y + height > y2 ? y + height - y2 : 0;
        if (cutLeft + cutRight >= width || cutTop + cutBottom >= height) return;
        // A mirrored graphic shows its source's right (or bottom) at the window's left (top).
        sx1 += node.flipX ? cutRight : cutLeft;
        sx2 -= node.flipX ? cutLeft : cutRight;
        sy1 += node.flipY ? cutBottom : cutTop;
        sy2 -= node.flipY ? cutTop : cutBottom;
        x += cutLeft;
        y += cutTop;
        width = sx2 - sx1;
        height = sy2 - sy1;
    }
    if (matrix)
        node.graphic->blitAlphaRectMatrixF(sx1, sy1, sx2, sy2, x, y, x + width, y + height, matrix,
                                           0, 1, 1, 0, 0, 1, node.flipX, node.flipY, 0, 0);
    else
        node.graphic->blitAlphaRectFxF(sx1, sy1, sx2, sy2, x, y, 0, 1, 1, node.flipX, node.flipY, 0,
                                       0);
}

float ZTextLayout::segmentWidth(const Segment& segment, unsigned long& previous, float spaceExtra,
                                float charExtra) {
    ZTextFaceNode& node = *segment.node;
    if (node.graphic) {
        previous = kNoChar;
        return node.x2 - node.x1;
    }
    if (!node.face || segment.end <= segment.start) return 0;
    LineCut end(segment.end);
    return node.face->getStringWidth(lineText(segment.start), kerning + charExtra, 1, 5, &previous,
                                     false) +
           spaceExtra * spacesIn(segment.start, segment.end);
}

void ZTextLayout::hitTestLine(const Line& line, float lineTop, long x, float spaceExtra,
                              float charExtra) {
    float pen = static_cast<float>(x + offsetX);
    unsigned long previous = kNoChar;
    if (mode == kCharBox) {
        if (found) return;
        long position = positionInLine(charIndex, line);
        if (position < 0) return;
        for (size_t k = 0; k < m_segments.size() && !found; k++) {
            const Segment& segment = m_segments[k];
            ZTextFaceNode& node = *segment.node;
            bool here = (position >= segment.start && position < segment.end) ||
                        (position == segment.end && k + 1 == m_segments.size());
            if (!here) {
                pen += segmentWidth(segment, previous, spaceExtra, charExtra);
                continue;
            }
            if (node.graphic) {
                // At the line's end after a graphic, the box sits after it.
                left = pen + (position == segment.end ? node.x2 - node.x1 : 0);
                right = position == segment.end ? left : pen + (node.x2 - node.x1);
            } else if (node.face) {
                LineCut end(segment.end);
                float l = pen, r = pen;
                if (!node.face->getClippedCharCoordF(lineText(segment.start), x1, x2, pen - x1,
                                                     kerning + charExtra, position - segment.start,
                                                     l, r, 5, true))
                    l = r = pen;
                left = l;
                right = r;
            } else {
                left = right = pen;
            }
            top = static_cast<float>(static_cast<long>(lineTop + offsetY - y1));
            bottom = top + line.height;
            found = true;
        }
        return;
    }
    // A character under the point.
    if (charIndex >= 0) return;
    float spanTop = lineTop + offsetY - y1;
    float pointY = m_pointY - y1;
    if (!(pointY >= spanTop && pointY < spanTop + line.height + lineSpacing)) return;
    for (size_t k = 0; k < m_segments.size(); k++) {
        const Segment& segment = m_segments[k];
        ZTextFaceNode& node = *segment.node;
        long length = segment.end - segment.start;
        long hit = -1;
        if (node.graphic) {
            if (length > 0 && m_pointX >= pen && m_pointX < pen + (node.x2 - node.x1))
                hit = segment.start;
        } else if (node.face) {
            LineCut end(segment.end);
            long index = node.face->getClippedCharPosF(lineText(segment.start), x1, x2, pen - x1,
                                                       kerning + charExtra, m_pointX, false, 5);
            // The slot after a segment's last character belongs to the next segment's first.
            if (index >= 0 && (index < length || (index == length && k + 1 == m_segments.size())))
                hit = segment.start + index;
        }
        if (hit >= 0) {
            charIndex = runningIndexAt(hit);
            return;
        }
        pen += segmentWidth(segment, previous, spaceExtra, charExtra);
    }
}

float ZTextLayout::overshoot(const Line& line) {
    collectSegments(line);
    float most = 0;
    for (const Segment& segment : m_segments) {
        ZTextFaceNode& node = *segment.node;
        if (node.graphic || !node.face || segment.end <= segment.start) continue;
        LineCut end(segment.end);
        float over = node.face->getStringHeight(lineText(segment.start), 5) - node.height;
        if (over > most) most = over;
    }
    return most;
}

void ZTextLayout::setWindowShader(ZPixelShader* wanted) {
    if (m_windowShader == wanted) return;
    if (ZWindow* window = ZCore::getZWindow()) window->setPixelShader(wanted);
    m_windowShader = wanted;
}

void ZTextLayout::applyColor(ZTextFaceNode& node) {
    const ZTextFaceNode::Param& param = node.params[paramSet];
    if (param.operation != ZTextFaceNode::kColorOperation) return;
    float r = param.color[0] * multiplier[0], g = param.color[1] * multiplier[1];
    float b = param.color[2] * multiplier[2], a = param.color[3] * multiplier[3];
    if (node.graphic)
        node.graphic->setBlitColor(r, g, b, a);
    else if (node.face)
        node.face->setColor(r, g, b, a);
}

long ZTextLayout::positionInLine(long index, const Line& line) const {
    if (index < 0) return -1;
    long first = line.start == 0 ? m_paragraphStart : g_nRunIndex[line.start];
    long after = line.next < m_length ? g_nRunIndex[line.next] : g_nRunIndex[m_length] + 1;
    if (index < first || index >= after) return -1;
    long position = line.start;
    while (position < line.end && g_nRunIndex[position] < index) position++;
    return position;
}

long ZTextLayout::runningIndexAt(long position) const {
    return g_nRunIndex[position < m_length ? position : m_length];
}

long ZTextLayout::limitEnd(long start, long end) const {
    if (charLimit < 0) return end;
    long position = start;
    while (position < end && g_nRunIndex[position] < charLimit) position++;
    return position;
}

void ZTextLayout::finish() {
    setWindowShader(nullptr);
    for (long i = 0; i < m_nodeCount; i++) {
        ZTextFaceNode& node = m_nodes[i];
        const float* color = node.defaultColor;
        if (node.graphic) {
            node.graphic->setBlitColor(color[0], color[1], color[2], color[3]);
        } else if (node.face) {
            node.face->setSpaceAdjustment(0);
            node.face->setColor(color[0], color[1], color[2], color[3]);
        }
    }
}
