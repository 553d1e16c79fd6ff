#pragma once

// The squared speed |B'(t)|^2 of one cubic segment: c[k] is the coefficient of t^k.
struct ZBezierPolynomial {
    float c[5];
    long degree;  // always 4
};
