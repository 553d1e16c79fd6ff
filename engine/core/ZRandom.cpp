#include "ZRandom.h"

#include "ZMiscTools.h"

namespace {

constexpr long kStateSize = 624;
constexpr long kShift = 397;
constexpr unsigned long kLow32 = 0xFFFFFFFFul;

}  // namespace

// The generator's process-wide state: the words hold 32-bit values.
static unsigned long mt[kStateSize];
static long mti = kStateSize + 1;
static bool g_bSeeded = false;

void ZRandom::seed(unsigned long s) {
    mt[0] = s & kLow32;
    for (long i = 1; i < kStateSize; i++) {
        mt[i] = (1812433253ul * (mt[i - 1] ^ (mt[i - 1] >> 30)) + static_cast<unsigned long>(i)) &
                kLow32;
    }
    mti = kStateSize;
    g_bSeeded = true;
}

unsigned long ZRandom::getRandom() {
    if (!g_bSeeded) seed(ZMiscTools::getSeedValue());

    if (mti >= kStateSize) {
        for (long k = 0; k < kStateSize; k++) {
            unsigned long y = (mt[k] & 0x80000000ul) | (mt[(k + 1) % kStateSize] & 0x7FFFFFFFul);
            mt[k] = mt[(k + kShift) % kStateSize] ^ (y >> 1) ^ ((y & 1) ? 0x9908B0DFul : 0ul);
        }
        mti = 0;
    }

    unsigned long y = mt[mti++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680ul;
    y ^= (y << 15) & 0xEFC60000ul;
    y ^= y >> 18;
    return y & kLow32;
}

float ZRandom::getRandomFloat() {
    return static_cast<float>(getRandom()) * (1.0f / 4294967296.0f);
}

double ZRandom::getRandomDouble() {
    return static_cast<double>(getRandom()) * (1.0 / 4294967296.0);
}
