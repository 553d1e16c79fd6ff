#pragma once

// A parameter interval of one segment with the estimate of its arc length.
struct ZBezierInterval {
    float t0;
    float t1;
    float length;
};
