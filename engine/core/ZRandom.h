#pragma once

// The engine's one stream of pseudo-random numbers: a process-wide MT19937 generator, seeded from
// the clock on the first draw unless seed() came first. Every draw advances the stream for all
// users. No lock: draw from the main thread, or bring a lock.
class ZRandom {
public:
    // Seeds with the low 32 bits of s, as the reference MT19937 initialisation does.
    static void seed(unsigned long s);
    // The next 32-bit output, 0 to 4294967295.
    static unsigned long getRandom();
    // getRandom() * 2^-32 in single precision: in [0, 1], and exactly 1.0 for outputs of
    // 2^32 - 128 and above, so callers that index with it wrap the result.
    static float getRandomFloat();
    // getRandom() * 2^-32 in double precision: in [0, 1).
    static double getRandomDouble();
};
