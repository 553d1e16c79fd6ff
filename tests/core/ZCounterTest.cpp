#include "ZCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

TEST(ZCounterTest, EasingsAtFixedFractions) {
    // e(r) for r = 0.25, 0.5, 0.75.
    struct Case {
        const char* name;
        long function;
        float eased[3];
    } cases[] = {
        {"linear", ZCounterLinear, {0.25f, 0.5f, 0.75f}},
        {"ease-in", ZCounterEaseIn, {0.0761205f, 0.2928932f, 0.6173166f}},
        {"ease-out", ZCounterEaseOut, {0.3826834f, 0.7071068f, 0.9238795f}},
        {"ease-in-out", ZCounterEaseInOut, {0.1464466f, 0.5f, 0.8535534f}},
        {"unknown 4 is linear", 4, {0.25f, 0.5f, 0.75f}},
        {"negative is linear", -1, {0.25f, 0.5f, 0.75f}},
    };
    const double fractions[] = {0.25, 0.5, 0.75};
    for (const Case& c : cases) {
        for (int i = 0; i < 3; i++) {
            // Downwards, from 50 to -150: from + (to - from) * e(r).
            ZCounter counter;
            counter.startCounter(50.0f, -150.0f, 0.0, 800.0,
                                 static_cast<ZCounterFunction>(c.function));
            counter.move(800.0 * fractions[i]);
            EXPECT_NEAR(counter.getCurrentValue(), 50.0f - 200.0f * c.eased[i], 2e-4)
                << c.name << " at " << fractions[i];
            EXPECT_FALSE(counter.isCompleted()) << c.name;
            EXPECT_EQ(counter.getFunction(), c.function) << c.name;
        }
    }
}

TEST(ZCounterTest, StepsThroughHoldOffAndMovement) {
    struct Step {
        double dt;
        float current;
        double holdOff;
        bool completed;
    };
    struct Case {
        const char* name;
        double holdOff;
        double duration;
        std::vector<Step> steps;
    } cases[] = {
        {"four quarters",
         0,
         1000,
         {{250, 25, 0, false}, {250, 50, 0, false}, {250, 75, 0, false}, {250, 100, 0, true}}},
        {"hold-off, then the whole step moves",
         100,
         1000,
         {{60, 0, 40, false}, {60, 6, 0, false}, {100, 16, 0, false}}},
        {"hold-off equal to the step ends in it", 100, 1000, {{100, 10, 0, false}}},
        {"negative steps neither shorten the delay nor move",
         50,
         1000,
         {{-20, 0, 50, false}, {100, 10, 0, false}, {-100, 10, 0, false}, {0, 10, 0, false}}},
        {"NaN counts as no time",
         0,
         1000,
         {{std::numeric_limits<double>::quiet_NaN(), 0, 0, false}, {500, 50, 0, false}}},
        {"zero duration ends at once", 0, 0, {{0, 100, 0, true}}},
        {"zero duration ends behind its delay",
         30,
         0,
         {{20, 0, 10, false}, {-1, 0, 10, false}, {10, 100, 0, true}}},
        {"overshoot lands on the end", 0, 1000, {{400, 40, 0, false}, {5000, 100, 0, true}}},
        {"moving a finished tween keeps it finished",
         0,
         200,
         {{200, 100, 0, true}, {50, 100, 0, true}, {-5, 100, 0, true}}},
    };
    for (const Case& c : cases) {
        ZCounter counter;
        counter.startCounter(0.0f, 100.0f, c.holdOff, c.duration, ZCounterLinear);
        EXPECT_EQ(counter.getCurrentValue(), 0.0f) << c.name;
        EXPECT_FALSE(counter.isCompleted()) << c.name;
        int n = 0;
        for (const Step& step : c.steps) {
            counter.move(step.dt);
            n++;
            EXPECT_NEAR(counter.getCurrentValue(), step.current, 1e-4) << c.name << ", step " << n;
            EXPECT_DOUBLE_EQ(counter.getHoldOff(), step.holdOff) << c.name << ", step " << n;
            EXPECT_EQ(counter.isCompleted(), step.completed) << c.name << ", step " << n;
        }
    }
}

TEST(ZCounterTest, IdleUntilStartedAndRestartable) {
    ZCounter counter;
    EXPECT_TRUE(counter.isCompleted());
    counter.move(100);
    EXPECT_EQ(counter.getCurrentValue(), 0.0f);
    EXPECT_TRUE(counter.isCompleted());

    counter.startCounter(1.0f, 3.0f, 0, 100, ZCounterEaseInOut);
    counter.move(150);
    ASSERT_TRUE(counter.isCompleted());
    EXPECT_EQ(counter.getCurrentValue(), 3.0f);

    // Restarting from the finished state, mid-way through a delay.
    counter.startCounter(-2.0f, 2.0f, 40, 100, ZCounterLinear);
    EXPECT_FALSE(counter.isCompleted());
    EXPECT_EQ(counter.getCurrentValue(), -2.0f);
    EXPECT_EQ(counter.getFromValue(), -2.0f);
    EXPECT_EQ(counter.getToValue(), 2.0f);
    counter.move(20);
    counter.startCounter(5.0f, 6.0f, 0, 100, ZCounterLinear);
    EXPECT_DOUBLE_EQ(counter.getHoldOff(), 0.0);
    counter.move(50);
    EXPECT_FLOAT_EQ(counter.getCurrentValue(), 5.5f);
}

TEST(ZCounterTest, DurationWhileRunningAndTheTimeRunOnceDone) {
    ZCounter counter;
    counter.startCounter(0.0f, 1.0f, 20, 300, ZCounterEaseOut);
    EXPECT_DOUBLE_EQ(counter.getDuration(), 300);
    counter.move(100);
    EXPECT_DOUBLE_EQ(counter.getDuration(), 300);
    counter.move(250);
    ASSERT_TRUE(counter.isCompleted());
    EXPECT_DOUBLE_EQ(counter.getDuration(), 300);
    // Owners move idle tweens every frame: the time run must survive that.
    for (int frame = 0; frame < 3; frame++) counter.move(16.7);
    EXPECT_DOUBLE_EQ(counter.getDuration(), 300);
}

template <typename T>
T fieldAt(const ZCounter& counter, size_t offset) {
    T value;
    memcpy(&value, reinterpret_cast<const unsigned char*>(&counter) + offset, sizeof(T));
    return value;
}

TEST(ZCounterTest, RecordLayoutThatStateBlocksStore) {
    ZCounter counter;
    counter.startCounter(1.5f, 9.5f, 10, 400, ZCounterEaseOut);
    counter.move(5);
    counter.move(205);  // delay over: elapsed 205 of 400
    ASSERT_EQ(sizeof(ZCounter), 56u);
    EXPECT_EQ(fieldAt<float>(counter, 0), 1.5f);
    EXPECT_EQ(fieldAt<float>(counter, 4), 9.5f);
    EXPECT_EQ(fieldAt<float>(counter, 8), counter.getCurrentValue());
    EXPECT_EQ(fieldAt<double>(counter, 16), 0.0);
    EXPECT_EQ(fieldAt<double>(counter, 24), 400.0);
    EXPECT_EQ(fieldAt<double>(counter, 32), 205.0);
    EXPECT_EQ(fieldAt<int64_t>(counter, 40), 2);
    EXPECT_EQ(fieldAt<bool>(counter, 48), false);

    // A record copied byte for byte goes on where the original stood.
    ZCounter copy;
    memcpy(static_cast<void*>(&copy), &counter, sizeof(ZCounter));
    copy.move(195);
    EXPECT_TRUE(copy.isCompleted());
    EXPECT_EQ(copy.getCurrentValue(), 9.5f);
    EXPECT_EQ(fieldAt<double>(copy, 24), 0.0);
    EXPECT_EQ(fieldAt<double>(copy, 32), 400.0);
    EXPECT_EQ(fieldAt<bool>(copy, 48), true);
}

}  // namespace
