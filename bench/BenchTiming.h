#pragma once

// Wall-clock timing shared by the benchmark programs that time whole frames themselves.
#include <chrono>

inline double millisecondsSince(std::chrono::steady_clock::time_point start) {
    std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count();
}

// The milliseconds the body takes.
template <class Body>
double timed(Body body) {
    auto start = std::chrono::steady_clock::now();
    body();
    return millisecondsSince(start);
}
