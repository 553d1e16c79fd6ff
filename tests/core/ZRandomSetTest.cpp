#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <type_traits>
#include <vector>

#include "ZRandom.h"
#include "ZRandomSet.h"

namespace {

static_assert(sizeof(ZRandomSet<15>) == 16 + 8 + 8 + 15 * 8, "the stored layout of the bag");
static_assert(std::is_trivially_copyable<ZRandomSet<15>>::value, "bags are stored as bytes");

// The first round draws every entry once; each later round draws every entry but the one that
// ended the round before, so no entry comes twice in a row.
TEST(ZRandomSetTest, RoundsDrawEachEntryOnceAndLeaveOutTheLastPick) {
    struct Case {
        long count;
        long seed;
    };
    for (const Case& c : {Case{15, 1}, Case{15, 7}, Case{5, 3}, Case{3, 11}, Case{2, 12}}) {
        SCOPED_TRACE("count " + std::to_string(c.count) + " seed " + std::to_string(c.seed));
        ZRandom::seed(c.seed);
        ZRandomSet<15> bag;
        bag.reset(c.count);
        long last = -1;
        for (long round = 0; round < 40; round++) {
            long size = round == 0 ? c.count : c.count - 1;
            std::set<long> seen;
            for (long i = 0; i < size; i++) {
                long pick = bag.getRandomEntry();
                ASSERT_GE(pick, 0);
                ASSERT_LT(pick, c.count);
                EXPECT_NE(pick, last) << "round " << round << " repeats the last round's end";
                EXPECT_TRUE(seen.insert(pick).second) << "drawn twice in round " << round;
                EXPECT_EQ(bag.getLastPick(), pick);
                EXPECT_FALSE(bag.isAvailable(pick));
            }
            last = bag.getLastPick();
            for (long e = 0; e < c.count; e++) EXPECT_FALSE(bag.isAvailable(e)) << "round over";
        }
    }
    // Two entries alternate.
    ZRandomSet<15> two;
    two.reset(2);
    long previous = two.getRandomEntry();
    for (long i = 0; i < 10; i++) {
        long pick = two.getRandomEntry();
        EXPECT_NE(pick, previous);
        previous = pick;
    }
}

TEST(ZRandomSetTest, EmptyAndSingleBags) {
    ZRandomSet<15> bag;
    EXPECT_EQ(bag.getCount(), 0);
    EXPECT_EQ(bag.getLastPick(), -1);
    EXPECT_EQ(bag.getRandomEntry(), 0) << "an empty bag gives 0";
    EXPECT_EQ(bag.getLastPick(), -1);
    bag.reset(1);
    for (long i = 0; i < 5; i++) EXPECT_EQ(bag.getRandomEntry(), 0) << "one entry repeats";
    bag.reset(99);
    EXPECT_EQ(bag.getCount(), 15);
}

TEST(ZRandomSetTest, ABagStoredAsBytesGoesOnWhereItWas) {
    ZRandom::seed(5);
    ZRandomSet<15> bag;
    bag.reset(15);
    for (long i = 0; i < 6; i++) bag.getRandomEntry();
    ZRandomSet<15> copy;
    memcpy(static_cast<void*>(&copy), &bag, sizeof(bag));
    std::vector<long> a, b;
    ZRandom::seed(9);
    for (long i = 0; i < 20; i++) a.push_back(bag.getRandomEntry());
    ZRandom::seed(9);
    for (long i = 0; i < 20; i++) b.push_back(copy.getRandomEntry());
    EXPECT_EQ(a, b);
}

}  // namespace
