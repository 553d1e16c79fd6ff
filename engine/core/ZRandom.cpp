#include "ZRandom.h"

#include <cstdint>
#include <random>

#include "ZMiscTools.h"

namespace {

// Made on first use, so no other unit's static initialiser can draw before it exists.
std::mt19937& generator() {
    static std::mt19937 engine;
    return engine;
}

bool g_bSeeded = false;

}  // namespace

void ZRandom::seed(unsigned long s) {
    generator().seed(static_cast<uint32_t>(s));
    g_bSeeded = true;
}

unsigned long ZRandom::getRandom() {
    if (!g_bSeeded) seed(ZMiscTools::getSeedValue());
    return generator()();
}

float ZRandom::getRandomFloat() {
    return static_cast<float>(getRandom()) * (1.0f / 4294967296.0f);
}

double ZRandom::getRandomDouble() {
    return static_cast<double>(getRandom()) * (1.0 / 4294967296.0);
}
