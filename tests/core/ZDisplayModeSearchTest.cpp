#include "ZDisplayModeSearch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Mode = ZDisplayModeSearch::Mode;

constexpr unsigned long kPreferred = 0x800;
constexpr unsigned long kOther = 0x7;  // flag bits that do not mark a preferred mode

Mode mode(long width, long height, long depth, unsigned long flags) {
    return Mode{width, height, depth, 60, flags};
}
// Modes of the requested 1024 x 768 size, preferred or not.
Mode preferred(long depth) {
    return mode(1024, 768, depth, kPreferred | kOther);
}
Mode plain(long depth) {
    return mode(1024, 768, depth, kOther);
}

struct Case {
    const char* name;
    long depth;  // of a 1024 x 768 request
    long expected;
    std::vector<Mode> modes;
};

TEST(ZDisplayModeSearchTest, ChoosesByPassAndDepth) {
    // clang-format off
    const Case cases[] = {
        {"exact depth wins over a deeper earlier one",   24,  2, {preferred(16), preferred(32), preferred(24)}},
        {"exact depth stops the search",                 24,  1, {preferred(16), preferred(24), preferred(24)}},
        {"deepest below the request",                    32,  1, {preferred(16), preferred(24), preferred(16)}},
        {"the first of equal depths stays",              32,  0, {preferred(24), preferred(24)}},
        {"a shallow first candidate yields to any deeper one", 24, 1, {preferred(16), preferred(32)}},
        {"a first candidate at or above the request stays", 16, 0, {preferred(24), preferred(32)}},
        {"a preferred mode of another depth beats an exact plain one", 32, 1, {plain(32), preferred(16)}},
        {"second pass when only other sizes are preferred", 32, 2, {mode(800, 600, 32, kPreferred), plain(16), plain(32)}},
        {"second pass prefers depth the same way",       32,  1, {plain(16), plain(24), plain(16)}},
        {"below 16 bits never counts, even exact",        8, -1, {preferred(8), preferred(15)}},
        {"below 16 bits gives way to the second pass",    8,  1, {preferred(8), plain(16)}},
        {"wrong height never",                           32, -1, {mode(1024, 600, 32, kPreferred), mode(1024, 800, 32, 0)}},
        {"wrong width never",                            32, -1, {mode(1280, 768, 32, kPreferred), mode(800, 768, 32, 0)}},
        {"no modes",                                     32, -1, {}},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(ZDisplayModeSearch::find(c.modes, 1024, 768, c.depth), c.expected) << c.name;
}

}  // namespace
