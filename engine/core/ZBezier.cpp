#include "ZBezier.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "ZCore.h"
#include "ZIniReader.h"
#include "ZResource.h"

namespace {

const int kLast = ZBezierSegment::kTableSize - 1;  // table entry of t = 1
const float kTolerance = 0.0005f;

// Where the absolute tolerance lies below the float precision of the integrand (long or huge
// segments), halves that agree to this fraction of the whole interval's estimate are accepted.
const float kRelativeTolerance = 32.0f * FLT_EPSILON;
// A backstop: 2^-32 of a segment's parameter range is far below anything a float position shows.
const long kMaxDepth = 32;

const float kAbscissas[5] = {0.1488743390f, 0.4333953941f, 0.6794095683f, 0.8650633667f,
                             0.9739065285f};
const float kWeights[5] = {0.2955242247f, 0.2692667193f, 0.2190863625f, 0.1494513492f,
                           0.0666713443f};

// A motion path's SVG is small; a stream that inflates past this is damaged or hostile.
const size_t kMaxInflatedSize = 32u << 20;

// Drawings nest their groups a few dozen deep; the XML reader is kept from deeper documents.
const long kMaxXmlDepth = 256;

const unsigned char kGzipFlagHeaderCrc = 2;
const unsigned char kGzipFlagExtra = 4;
const unsigned char kGzipFlagName = 8;
const unsigned char kGzipFlagComment = 16;

// Lengths stay finite and non-negative, so that differences of table entries are never NaN.
float saturate(float length) {
    if (length > FLT_MAX) return FLT_MAX;
    return length >= 0.0f ? length : 0.0f;
}

// sqrt of the squared speed; rounding can push a true zero slightly below it.
float speed(const ZBezierPolynomial* poly, float t) {
    float squared = ZBezier::evaluatePolynomial(poly, t);
    return squared > 0.0f ? std::sqrt(squared) : 0.0f;
}

ZVector2 add(ZVector2 a, ZVector2 b) {
    return {a.x + b.x, a.y + b.y};
}

ZVector2 subtract(ZVector2 a, ZVector2 b) {
    return {a.x - b.x, a.y - b.y};
}

ZVector2 scale(ZVector2 a, float s) {
    return {a.x * s, a.y * s};
}

float dot(ZVector2 a, ZVector2 b) {
    return a.x * b.x + a.y * b.y;
}

void makePolynomial(const ZBezierSegment& s, ZBezierPolynomial& poly) {
    // B'(t) = 3a t^2 + 2b t + c, from the differences of neighbouring points: the same
    // coefficients, without the cancellation of large coordinates far from the origin.
    ZVector2 d0 = subtract(s.p1, s.p0);
    ZVector2 d1 = subtract(s.p2, s.p1);
    ZVector2 d2 = subtract(s.p3, s.p2);
    ZVector2 a = add(subtract(d2, scale(d1, 2.0f)), d0);
    ZVector2 b = scale(subtract(d1, d0), 3.0f);
    ZVector2 c = scale(d0, 3.0f);
    poly.c[4] = 9.0f * dot(a, a);
    poly.c[3] = 12.0f * dot(a, b);
    poly.c[2] = 4.0f * dot(b, b) + 6.0f * dot(a, c);
    poly.c[1] = 4.0f * dot(b, c);
    poly.c[0] = dot(c, c);
    poly.degree = 4;
}

// A double beyond the float range becomes an infinity rather than undefined behaviour.
float toFloat(double value) {
    if (value > FLT_MAX) return std::numeric_limits<float>::infinity();
    if (value < -FLT_MAX) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

int argumentCount(char command) {
    switch (command) {
        case 'M':
        case 'L':
        case 'l':
        case 'T':
        case 't':
            return 2;
        case 'H':
        case 'h':
        case 'V':
        case 'v':
            return 1;
        case 'C':
        case 'c':
            return 6;
        case 'S':
        case 's':
        case 'Q':
        case 'q':
            return 4;
        case 'Z':
        case 'z':
            return 0;
        default:
            return -1;
    }
}

void setLine(ZBezierSegment& s, ZVector2 end) {
    ZVector2 way = subtract(end, s.p0);
    s.p1 = add(s.p0, scale(way, 1.0f / 3.0f));
    s.p2 = add(s.p0, scale(way, 2.0f / 3.0f));
    s.p3 = end;
}

void setQuadratic(ZBezierSegment& s, ZVector2 control, ZVector2 end) {
    s.p1 = add(s.p0, scale(subtract(control, s.p0), 2.0f / 3.0f));
    s.p2 = add(s.p1, scale(subtract(end, s.p0), 1.0f / 3.0f));
    s.p3 = end;
}

// One pass over SVG path data: counts the segments, and fills them when out is given.
bool scanSvgPath(const char* data, ZBezierSegment* out, long& count) {
    ZVector2 current = {0.0f, 0.0f};
    ZVector2 reflection = {0.0f, 0.0f};
    bool preceded = false;
    count = 0;
    const char* p = data;
    ZBezier::skipSvgWhitespace(p);
    while (*p) {
        char command = *p;
        int arguments = argumentCount(command);
        if (arguments < 0) {
            if (!out) ZCore::logMessage("Bezier: SVG path command '%c' not supported", command);
            return false;
        }
        p++;
        ZBezier::skipSvgWhitespace(p);
        float v[6] = {};
        for (int i = 0; i < arguments; i++) v[i] = ZBezier::parseSvgNumber(p);

        if (command == 'M') {
            current = {v[0], v[1]};
            // A new subpath: no segment precedes its first one.
            preceded = false;
            continue;
        }
        if (command == 'Z' || command == 'z') continue;
        if (out) {
            ZBezierSegment& s = out[count];
            s.p0 = current;
            ZVector2 origin = (command >= 'a') ? current : ZVector2{0.0f, 0.0f};
            ZVector2 first = add(origin, {v[0], v[1]});
            ZVector2 second = add(origin, {v[2], v[3]});
            switch (command) {
                case 'C':
                case 'c':
                    s.p1 = first;
                    s.p2 = second;
                    s.p3 = add(origin, {v[4], v[5]});
                    break;
                case 'L':
                case 'l':
                    setLine(s, first);
                    break;
                case 'H':
                case 'h':
                    setLine(s, {origin.x + v[0], current.y});
                    break;
                case 'V':
                case 'v':
                    setLine(s, {current.x, origin.y + v[0]});
                    break;
                case 'S':
                case 's':
                    s.p1 = preceded ? reflection : current;
                    s.p2 = first;
                    s.p3 = second;
                    break;
                case 'Q':
                case 'q':
                    setQuadratic(s, first, second);
                    break;
                case 'T':
                case 't':
                    setQuadratic(s, preceded ? reflection : current, first);
                    break;
            }
            current = s.p3;
            reflection = subtract(scale(s.p3, 2.0f), s.p2);
            preceded = true;
        }
        count++;
    }
    return true;
}

uint32_t readLe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Inflates raw deflate data into a new NUL-terminated buffer. The size the trailer claims only
// sizes the first buffer: the stream must end, and within the cap.
std::unique_ptr<char[]> inflateRaw(const unsigned char* data, size_t length, uint32_t claim) {
    if (length > UINT_MAX) return nullptr;
    // Deflate expands at most 1032-fold: a larger claim is a lie, not worth reserving for.
    size_t capacity = std::min<size_t>({claim, kMaxInflatedSize, length * 1032 + 64});
    if (capacity < 64) capacity = 64;
    std::unique_ptr<char[]> out(new (std::nothrow) char[capacity + 1]);
    if (!out) return nullptr;

    z_stream stream;
    memset(&stream, 0, sizeof(stream));
    if (inflateInit2(&stream, -15) != Z_OK) return nullptr;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(length);
    stream.next_out = reinterpret_cast<Bytef*>(out.get());
    stream.avail_out = static_cast<uInt>(capacity);
    bool ended = false;
    for (;;) {
        if (stream.avail_out == 0) {
            if (capacity >= kMaxInflatedSize) break;
            size_t larger = capacity * 2 > kMaxInflatedSize ? kMaxInflatedSize : capacity * 2;
            std::unique_ptr<char[]> grown(new (std::nothrow) char[larger + 1]);
            if (!grown) break;
            memcpy(grown.get(), out.get(), capacity);
            out = std::move(grown);
            stream.next_out = reinterpret_cast<Bytef*>(out.get() + capacity);
            stream.avail_out = static_cast<uInt>(larger - capacity);
            capacity = larger;
        }
        int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            ended = true;
            break;
        }
        if (result != Z_OK && result != Z_BUF_ERROR) break;
        // Every byte taken and room left, yet no end: the stream is cut short.
        if (stream.avail_in == 0 && stream.avail_out != 0) break;
    }
    size_t produced = stream.total_out;
    inflateEnd(&stream);
    if (!ended) return nullptr;
    out[produced] = '\0';
    return out;
}

// The deflate data of a gzip file: after the header and its optional fields, before the 8-byte
// trailer. False when the fields run into the trailer.
bool findGzipData(const unsigned char* bytes, size_t size, size_t& start, size_t& end) {
    end = size - 8;
    size_t pos = 10;
    if (end < pos) return false;
    unsigned char flags = bytes[3];
    if (flags & kGzipFlagExtra) {
        if (end - pos < 2) return false;
        size_t extra = bytes[pos] | static_cast<size_t>(bytes[pos + 1]) << 8;
        pos += 2;
        if (end - pos < extra) return false;
        pos += extra;
    }
    for (unsigned char flag : {kGzipFlagName, kGzipFlagComment}) {
        if (!(flags & flag)) continue;
        const void* nul = memchr(bytes + pos, 0, end - pos);
        if (!nul) return false;
        pos = static_cast<size_t>(static_cast<const unsigned char*>(nul) - bytes) + 1;
    }
    if (flags & kGzipFlagHeaderCrc) {
        if (end - pos < 2) return false;
        pos += 2;
    }
    start = pos;
    return true;
}

// The XML reader's character classes, tested the way it tests them.
bool isXmlSpace(char c) {
    return isspace(static_cast<unsigned char>(c)) || c == '\n' || c == '\r';
}

bool isXmlNameStart(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 127 || isalpha(u) || c == '_';
}

bool isXmlNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 127 || isalnum(u) || c == '_' || c == '-' || c == '.' || c == ':';
}

const char* skipXmlSpace(const char* p) {
    while (*p && isXmlSpace(*p)) p++;
    return p;
}

bool startsWithNoCase(const char* p, const char* tag) {
    for (; *tag; p++, tag++)
        if (!*p || tolower(static_cast<unsigned char>(*p)) != *tag) return false;
    return true;
}

// The length of the character reference or entity at p as the reader takes it (a numeric one
// runs to the next ';' whatever lies before its last digits), or 0 where the reader gives up.
size_t xmlEntityLength(const char* p) {
    if (p[1] == '#' && p[2]) {
        bool hex = p[2] == 'x';
        if (hex && !p[3]) return 0;
        const char* end = strchr(p + (hex ? 3 : 2), ';');
        if (!end) return 0;
        for (const char* q = end - 1; *q != (hex ? 'x' : '#'); q--)
            if (!(hex ? isxdigit(static_cast<unsigned char>(*q)) : (*q >= '0' && *q <= '9')))
                return 0;
        return static_cast<size_t>(end - p) + 1;
    }
    for (const char* entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
        size_t length = strlen(entity);
        if (strncmp(p, entity, length) == 0) return length;
    }
    return 1;
}

// Text up to the first of the stop characters, with entities taken whole; null where the
// reader gives up.
const char* skipXmlText(const char* p, char stop) {
    while (*p && *p != stop) {
        size_t length = *p == '&' ? xmlEntityLength(p) : 1;
        if (!length) return nullptr;
        p += length;
    }
    return *p ? p : nullptr;
}

const char* skipXmlName(const char* p) {
    if (!isXmlNameStart(*p)) return nullptr;
    while (*p && isXmlNameChar(*p)) p++;
    return p;
}

// name = value, the value quoted or bare.
const char* skipXmlAttribute(const char* p) {
    p = skipXmlName(skipXmlSpace(p));
    if (!p || !*p) return nullptr;
    p = skipXmlSpace(p);
    if (*p != '=') return nullptr;
    p = skipXmlSpace(p + 1);
    if (*p == '\'' || *p == '"') {
        p = skipXmlText(p + 1, *p);
        return p && p[1] ? p + 1 : nullptr;
    }
    for (; *p && !isXmlSpace(*p) && *p != '/' && *p != '>'; p++)
        if (*p == '\'' || *p == '"') return nullptr;
    return p;
}

// After "<?xml": the reader takes the version, encoding and standalone values as attributes
// and steps over anything else up to a blank or '>'.
const char* skipXmlDeclaration(const char* p) {
    while (*p) {
        if (*p == '>') return p + 1;
        p = skipXmlSpace(p);
        if (startsWithNoCase(p, "version") || startsWithNoCase(p, "encoding") ||
            startsWithNoCase(p, "standalone")) {
            p = skipXmlAttribute(p);
            if (!p) return nullptr;
        } else {
            while (*p && *p != '>' && !isXmlSpace(*p)) p++;
        }
    }
    return nullptr;
}

// Whether the XML reader, in its single-byte mode, will nest elements deeper than the limit
// over this text. The reader descends one call per element and slows with the square of the
// depth, so it must not see such a text. This walks the text as the reader does; where the
// reader stops at an error, so does the walk.
bool nestsDeeperThan(const char* p, long limit) {
    long depth = 0;
    while (p && *(p = skipXmlSpace(p))) {
        if (*p != '<') {
            // Outside every element the reader stops at text.
            p = depth > 0 ? skipXmlText(p, '<') : nullptr;
        } else if (depth > 0 && p[1] == '/') {
            p = strchr(p + 2, '>');
            if (p) p++;
            depth--;
        } else if (startsWithNoCase(p, "<?xml")) {
            p = skipXmlDeclaration(p + 5);
        } else if (strncmp(p, "<!--", 4) == 0) {
            p = strstr(p + 4, "-->");
            if (p) p += 3;
        } else if (strncmp(p, "<![CDATA[", 9) == 0) {
            p = strstr(p + 9, "]]>");
            if (p) p += 3;
        } else if (!isXmlNameStart(p[1])) {
            p = strchr(p + 1, '>');
            if (p) p++;
        } else {
            // An element: its name and attributes, then "/>" or '>' and its content.
            p = skipXmlName(skipXmlSpace(p + 1));
            while (p && *(p = skipXmlSpace(p))) {
                if (*p == '/') {
                    p = p[1] == '>' ? p + 2 : nullptr;
                    break;
                }
                if (*p == '>') {
                    if (++depth > limit) return true;
                    p++;
                    break;
                }
                p = skipXmlAttribute(p);
            }
        }
    }
    return false;
}

}  // namespace

ZBezier::ZBezier() {}

ZBezier::~ZBezier() {
    freeBezier();
}

void ZBezier::freeBezier() {
    delete[] m_segments;
    m_segments = nullptr;
    m_segmentCount = 0;
}

void ZBezier::setSegments(long count, const ZVector2* points, bool skipTables) {
    if (count < 0 || !points) count = 0;
    if (count != m_segmentCount) {
        freeBezier();
        if (count > 0) {
            m_segments = new (std::nothrow) ZBezierSegment[count]();
            if (m_segments) m_segmentCount = count;
        }
    }
    m_tablesBuilt = false;
    for (long i = 0; i < m_segmentCount; i++) {
        ZBezierSegment& s = m_segments[i];
        s.p0 = points[3 * i];
        s.p1 = points[3 * i + 1];
        s.p2 = points[3 * i + 2];
        s.p3 = points[3 * i + 3];
    }
    if (!skipTables) createArcLengthTables();
}

ZBezierSegment ZBezier::getSegment(long i) const {
    if (i < 0 || i >= m_segmentCount) return ZBezierSegment{};
    return m_segments[i];
}

float ZBezier::getTotalLength() const {
    if (m_segmentCount <= 0 || !m_tablesBuilt) return 0.0f;
    return m_segments[m_segmentCount - 1].lengthTable[kLast];
}

float ZBezier::getLengthFromSegment(long i) const {
    if (!m_tablesBuilt || i < 1 || i > m_segmentCount) return 0.0f;
    return m_segments[i - 1].lengthTable[kLast];
}

bool ZBezier::getWeightFromLength(float length, long& segment, float& weight) const {
    segment = 0;
    weight = 0.0f;
    if (m_segmentCount <= 0 || !m_tablesBuilt) return false;

    float total = getTotalLength();
    if (!(length >= 0.0f)) length = 0.0f;
    if (length > total) length = total;

    long first = 0;
    long last = m_segmentCount - 1;
    if (m_segmentCount >= 2) {
        long half = m_segmentCount / 2;
        if (m_segments[half - 1].lengthTable[kLast] >= length) {
            last = half - 1;
        } else {
            first = half;
        }
    }
    for (long s = first; s <= last; s++) {
        const float* table = m_segments[s].lengthTable;
        if (!(table[kLast] >= length)) continue;

        // The block of ten entries, by a three-level choice.
        int block;
        if (table[40] > length) {
            if (table[20] > length) {
                block = table[10] > length ? 0 : 1;
            } else {
                block = table[30] > length ? 2 : 3;
            }
        } else if (table[60] > length) {
            block = table[50] > length ? 4 : 5;
        } else {
            block = table[70] > length ? 6 : 7;
        }
        int begin = block * 10;
        int end = block == 7 ? kLast : begin + 9;
        int k = end;
        for (int i = begin; i < end; i++) {
            if (table[i + 1] > length) {
                k = i;
                break;
            }
        }

        weight = static_cast<float>(k) / kLast;
        if (k < kLast && table[k] != table[k + 1]) {
            float fraction = (length - table[k]) / (table[k + 1] - table[k]);
            if (fraction < 0.0f) fraction = 0.0f;
            if (fraction > 1.0f) fraction = 1.0f;
            weight += fraction / kLast;
        }
        if (weight > 1.0f) weight = 1.0f;
        segment = s;
        return true;
    }
    return false;
}

void ZBezier::computeFromLength(float length, ZVector2& position, ZVector2& tangent,
                                long& segment) const {
    float weight = 0.0f;
    if (!getWeightFromLength(length, segment, weight)) {
        position = {0.0f, 0.0f};
        tangent = {1.0f, 1.0f};
        segment = 0;
        return;
    }
    computeFromWeight(segment, weight, position, tangent);
}

void ZBezier::computeFromWeight(long segment, float t, ZVector2& position,
                                ZVector2& tangent) const {
    if (segment < 0 || segment >= m_segmentCount) {
        position = {0.0f, 0.0f};
        tangent = {1.0f, 1.0f};
        return;
    }
    const ZBezierSegment& s = m_segments[segment];
    computeCubic(position, tangent, s.p0, s.p1, s.p2, s.p3, t);
}

void ZBezier::computeCubic(ZVector2& position, ZVector2& tangent, const ZVector2& p0,
                           const ZVector2& p1, const ZVector2& p2, const ZVector2& p3, float t) {
    ZVector2 q0, q1, q2, r0, r1;
    computeLinear(q0, p0, p1, t);
    computeLinear(q1, p1, p2, t);
    computeLinear(q2, p2, p3, t);
    computeLinear(r0, q0, q1, t);
    computeLinear(r1, q1, q2, t);
    computeLinear(position, r0, r1, t);
    tangent = subtract(r0, r1);
}

void ZBezier::computeLinear(ZVector2& position, const ZVector2& a, const ZVector2& b, float t) {
    position = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

float ZBezier::computeArcLength(long segment, float t0, float t1) const {
    if (segment < 0 || segment >= m_segmentCount) return 0.0f;
    if (std::isnan(t0) || std::isnan(t1)) return 0.0f;
    if (t1 < t0) std::swap(t0, t1);

    // Integrated at a power-of-two scale that puts the largest coordinate in [0.5, 1): exact,
    // and the squared speed then neither overflows for huge paths nor underflows for tiny ones.
    ZBezierSegment scaled = m_segments[segment];
    ZVector2* points[4] = {&scaled.p0, &scaled.p1, &scaled.p2, &scaled.p3};
    float largest = 0.0f;
    for (ZVector2* p : points)
        largest = std::fmax(largest, std::fmax(std::fabs(p->x), std::fabs(p->y)));
    int exponent = 0;
    if (largest > 0.0f && std::isfinite(largest)) std::frexp(largest, &exponent);
    for (ZVector2* p : points) *p = {std::ldexp(p->x, -exponent), std::ldexp(p->y, -exponent)};

    ZBezierPolynomial poly;
    makePolynomial(scaled, poly);
    ZBezierInterval whole = {t0, t1, 0.0f};
    whole.length = doIntegrate(&poly, &whole);
    float tolerance =
        std::fmax(std::ldexp(kTolerance, -exponent), kRelativeTolerance * whole.length);
    float length = subdivide(&whole, &poly, 0.0f, tolerance);
    return saturate(std::ldexp(length, exponent));
}

void ZBezier::createArcLengthTables() {
    float base = 0.0f;
    for (long s = 0; s < m_segmentCount; s++) {
        ZBezierSegment& seg = m_segments[s];
        float previous = computeArcLength(s, 0.0f, 0.0f);
        seg.lengthTable[0] = saturate(base + previous);
        ZVector2 previousPoint, tangent;
        computeCubic(previousPoint, tangent, seg.p0, seg.p1, seg.p2, seg.p3, 0.0f);
        for (int k = 1; k <= kLast; k++) {
            float t = static_cast<float>(k) / kLast;
            float length = computeArcLength(s, 0.0f, t);
            ZVector2 point;
            computeCubic(point, tangent, seg.p0, seg.p1, seg.p2, seg.p3, t);
            ZVector2 chordVector = subtract(point, previousPoint);
            float chord = std::hypot(chordVector.x, chordVector.y);
            // The table never advances by less than the chord.
            float step = length - previous;
            if (step < chord) base = saturate(base + (chord - step));
            seg.lengthTable[k] = saturate(base + length);
            previous = length;
            previousPoint = point;
        }
        base = seg.lengthTable[kLast];
    }
    m_tablesBuilt = true;
}

bool ZBezier::loadFromFile(const char* path) {
    freeBezier();
    m_tablesBuilt = false;
    ZTiXmlDocument document;
    if (!loadSvg(path, &document)) return false;
    TiXmlElement* svg = document.FirstChildElement("svg");
    TiXmlElement* element = svg ? svg->FirstChildElement("path") : nullptr;
    const char* data = element ? element->Attribute("d") : nullptr;
    if (!data || !parseSvgPathData(data)) return false;
    createArcLengthTables();
    return true;
}

bool ZBezier::loadSvg(const char* path, ZTiXmlDocument* document) {
    if (!path || !document) return false;
    document->Clear();

    ZResource file;
    if (file.open(path, ZResourceModeRead) != ZResourceOk) return false;
    int size = 0;
    if (file.seek(ZResourceWhenceEnd, 0) != ZResourceOk || file.tell(size) != ZResourceOk ||
        size < 0 || file.seek(ZResourceWhenceSet, 0) != ZResourceOk) {
        return false;
    }
    std::unique_ptr<char[]> text(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
    if (!text) return false;
    if (size > 0 && file.read(text.get(), static_cast<unsigned long>(size)) != ZResourceOk)
        return false;
    text[size] = '\0';
    file.close();

    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.get());
    if (size >= 17 && bytes[0] == 0x1F && bytes[1] == 0x8B && bytes[2] == 0x08) {
        size_t start = 0;
        size_t end = 0;
        if (!findGzipData(bytes, static_cast<size_t>(size), start, end)) return false;
        std::unique_ptr<char[]> inflated =
            inflateRaw(bytes + start, end - start, readLe32(bytes + size - 4));
        if (!inflated) return false;
        text = std::move(inflated);
    }
    // The reader's single-byte mode: the path data is ASCII whatever the file's encoding, and
    // the nesting check then reads the text exactly as the reader will. That mode takes no
    // byte-order mark.
    const char* xml = text.get();
    if (strncmp(xml, "\xEF\xBB\xBF", 3) == 0) xml += 3;
    if (nestsDeeperThan(xml, kMaxXmlDepth)) return false;
    document->Parse(xml, nullptr, TIXML_ENCODING_LEGACY);
    return !document->Error();
}

bool ZBezier::parseSvgPathData(const char* data) {
    freeBezier();
    m_tablesBuilt = false;
    if (!data) return false;
    long count = 0;
    if (!scanSvgPath(data, nullptr, count)) return false;
    if (count == 0) return true;
    m_segments = new (std::nothrow) ZBezierSegment[count]();
    if (!m_segments) return false;
    m_segmentCount = count;
    long filled = 0;
    if (!scanSvgPath(data, m_segments, filled) || filled != count) {
        freeBezier();
        return false;
    }
    return true;
}

void ZBezier::skipSvgWhitespace(const char*& p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') p++;
}

float ZBezier::parseSvgNumber(const char*& p) {
    float value = toFloat(ZIniReader::atofNoLocale(p));
    if (*p == '-') p++;
    while ((*p >= '0' && *p <= '9') || *p == '.') p++;
    if (*p == ',') p++;
    skipSvgWhitespace(p);
    return value;
}

float ZBezier::evaluatePolynomial(const ZBezierPolynomial* poly, float t) {
    // Summed in double: near a stationary point the terms cancel, and their float rounding
    // would come out of the square root as a length.
    double sum = 0.0;
    double power = 1.0;
    for (int k = 0; k <= 4; k++) {
        sum += static_cast<double>(poly->c[k]) * power;
        power *= t;
    }
    return toFloat(sum);
}

float ZBezier::doIntegrate(const ZBezierPolynomial* poly, const ZBezierInterval* interval) {
    float middle = interval->t0 * 0.5f + interval->t1 * 0.5f;
    float half = interval->t1 * 0.5f - interval->t0 * 0.5f;
    // An empty interval, also where the integrand overflows (0 * inf).
    if (half == 0.0f) return 0.0f;
    float sum = 0.0f;
    for (int i = 0; i < 5; i++) {
        float offset = half * kAbscissas[i];
        sum += kWeights[i] * (speed(poly, middle + offset) + speed(poly, middle - offset));
    }
    return sum * half;
}

float ZBezier::subdivide(const ZBezierInterval* interval, const ZBezierPolynomial* poly,
                         float total, float tolerance, long depth) {
    float middle = interval->t0 * 0.5f + interval->t1 * 0.5f;
    ZBezierInterval left = {interval->t0, middle, 0.0f};
    ZBezierInterval right = {middle, interval->t1, 0.0f};
    left.length = doIntegrate(poly, &left);
    right.length = doIntegrate(poly, &right);
    float halves = left.length + right.length;

    bool canHalve = middle > interval->t0 && middle < interval->t1 && depth < kMaxDepth;
    if (!canHalve || !std::isfinite(halves) || std::fabs(interval->length - halves) <= tolerance)
        return saturate(total + halves);
    float afterLeft = subdivide(&left, poly, total, tolerance, depth + 1);
    return subdivide(&right, poly, afterLeft, tolerance, depth + 1);
}
