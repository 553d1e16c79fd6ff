#pragma once

#include "ZBezierInterval.h"
#include "ZBezierPolynomial.h"
#include "ZBezierSegment.h"
#include "ZObjectBase.h"
#include "ZTiXmlDocument.h"
#include "ZVector2.h"

// A path of cubic Bezier segments joined end to start. Answers where on the path, and in which
// direction, a point lies after travelling a given length from the start, through a table of
// cumulative arc lengths per segment. Given as points, or read from the first path element of
// an SVG file (plain or gzip-compressed) through the virtual file system.
//
// Tangents point backward along the path (towards the start) with a third of the derivative's
// length, unnormalised: the scene player turns sprites by atan2(tangent.y, tangent.x).
class ZBezier : public ZObjectBase {
public:
    ZBezier();
    ~ZBezier() override;
    ZBezier(const ZBezier&) = delete;
    ZBezier& operator=(const ZBezier&) = delete;

    void freeBezier();
    // Takes 3 * count + 1 points: segment i is points 3i to 3i + 3.
    void setSegments(long count, const ZVector2* points, bool skipTables);
    long getSegmentCount() const { return m_segmentCount; }
    // A zeroed record for an index outside 0 to count - 1.
    ZBezierSegment getSegment(long i) const;

    float getTotalLength() const;
    // The length from the path start to the start of segment i, for i from 1 to count.
    float getLengthFromSegment(long i) const;
    bool getWeightFromLength(float length, long& segment, float& weight) const;
    void computeFromLength(float length, ZVector2& position, ZVector2& tangent,
                           long& segment) const;
    void computeFromWeight(long segment, float t, ZVector2& position, ZVector2& tangent) const;
    static void computeCubic(ZVector2& position, ZVector2& tangent, const ZVector2& p0,
                             const ZVector2& p1, const ZVector2& p2, const ZVector2& p3, float t);
    static void computeLinear(ZVector2& position, const ZVector2& a, const ZVector2& b, float t);

    // Arc length of one segment between two parameters; never negative, NaN or infinite.
    float computeArcLength(long segment, float t0, float t1) const;
    void createArcLengthTables();

    bool loadFromFile(const char* path);
    static bool loadSvg(const char* path, ZTiXmlDocument* document);
    bool parseSvgPathData(const char* data);
    static void skipSvgWhitespace(const char*& p);
    static float parseSvgNumber(const char*& p);

    static float evaluatePolynomial(const ZBezierPolynomial* poly, float t);
    static float doIntegrate(const ZBezierPolynomial* poly, const ZBezierInterval* interval);
    static float subdivide(const ZBezierInterval* interval, const ZBezierPolynomial* poly,
                           float total, float tolerance, long depth = 0);

private:
    long m_segmentCount = 0;
    ZBezierSegment* m_segments = nullptr;
    bool m_tablesBuilt = false;
};
