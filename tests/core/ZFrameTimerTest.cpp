#include "ZFrameTimer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A clock the test moves by hand; each 1 ms sleep moves it by sleepStep.
struct FakeClock {
    long time = 5000;
    long sleepStep = 1;
    long sleeps = 0;

    static long now(void* context) { return static_cast<FakeClock*>(context)->time; }
    static void sleep(void* context) {
        FakeClock* clock = static_cast<FakeClock*>(context);
        clock->sleeps++;
        clock->time += clock->sleepStep;
    }
};

class ZFrameTimerTest : public ::testing::Test {
protected:
    FakeClock clock;
    ZFrameTimer timer{&FakeClock::now, &FakeClock::sleep, &clock};

    // One frame: work milliseconds pass, then the flip. Returns the interval since the last flip.
    long frame(long work, bool pace = true) {
        long before = clock.time;
        clock.time += work;
        return timer.onFlip(pace) - before;
    }
};

constexpr double kDefaultFrameTime = 1000.0 / 60.0;

TEST_F(ZFrameTimerTest, FrameTimeAveragesAllEightSlotsOverTheFlipsSinceReset) {
    EXPECT_DOUBLE_EQ(timer.getFrameTime(), kDefaultFrameTime);
    // First flip: no interval, the 0 enters the history and the default stands in.
    timer.onFlip(true);
    EXPECT_DOUBLE_EQ(timer.getFrameTime(), kDefaultFrameTime);

    struct Step {
        long interval;
        double frameTime;
    };
    const Step steps[] = {
        {20, 10.0},          // (0 + 20) / 2: half the real interval
        {40, 20.0},          // (0 + 20 + 40) / 3
        {10, 17.5},          //
        {10, 16.0},          //
        {10, 15.0},          //
        {10, 100.0 / 7.0},   //
        {10, 110.0 / 8.0},   // all eight slots filled, the first flip's 0 still among them
        {10, 15.0},          // the 0 drops out
        {10, 110.0 / 8.0},   // the 20 drops out
        {3000, 2070.0 / 8},  // the 40 drops out; a 3000 ms stall counts as 2000
    };
    for (const Step& step : steps) {
        frame(step.interval);
        EXPECT_DOUBLE_EQ(timer.getFrameTime(), step.frameTime) << "after " << step.interval;
    }
}

TEST_F(ZFrameTimerTest, ClockJumpingBackCountsAsZeroInterval) {
    timer.onFlip(true);
    frame(30);
    EXPECT_DOUBLE_EQ(timer.getFrameTime(), 15.0);
    frame(-500);
    EXPECT_DOUBLE_EQ(timer.getFrameTime(), 10.0);
}

TEST_F(ZFrameTimerTest, ResetForgetsTheLastFlipAndTheHistory) {
    timer.setMaxFrameRate(60);
    timer.onFlip(true);
    for (int i = 0; i < 10; i++) frame(40);
    ASSERT_DOUBLE_EQ(timer.getFrameTime(), 40.0);

    timer.reset();
    EXPECT_EQ(timer.getLastFlipTime(), -1);
    EXPECT_DOUBLE_EQ(timer.getFrameTime(), kDefaultFrameTime);
    // The time spent before the reset (say, inactive) is never paced nor measured.
    clock.time += 60000;
    clock.sleeps = 0;
    timer.onFlip(true);
    EXPECT_EQ(clock.sleeps, 0);
    EXPECT_DOUBLE_EQ(timer.getFrameTime(), kDefaultFrameTime);
    frame(40);
    EXPECT_DOUBLE_EQ(timer.getFrameTime(), 20.0);
}

TEST_F(ZFrameTimerTest, SixtyPerSecondWithFiveMsOfWorkRunsSixteenSeventeenSeventeen) {
    timer.setMaxFrameRate(60);
    // The window reads the clock first and hands the same time to the flip.
    timer.onFlip(true, timer.now());
    std::vector<long> intervals;
    for (int i = 0; i < 12; i++) intervals.push_back(frame(5));
    EXPECT_EQ(intervals, (std::vector<long>{16, 17, 17, 16, 17, 17, 16, 17, 17, 16, 17, 17}));

    long start = clock.time;
    const int kFrames = 3000;
    for (int i = 0; i < kFrames; i++) frame(5);
    EXPECT_NEAR(static_cast<double>(clock.time - start) / kFrames, 1000.0 / 60.0, 0.001);
    EXPECT_NEAR(timer.getFrameTime(), 1000.0 / 60.0, 0.1);
}

TEST_F(ZFrameTimerTest, NoPacingWithoutARateAboveZeroOrWhenTheWindowAsksNone) {
    struct Case {
        const char* name;
        long rate;
        bool pace;
    };
    const Case cases[] = {
        {"vertical sync", 0, true},
        {"unlimited", -1, true},
        {"no own window", 60, false},
    };
    for (const Case& c : cases) {
        ZFrameTimer unpaced(&FakeClock::now, &FakeClock::sleep, &clock);
        unpaced.setMaxFrameRate(c.rate);
        clock.sleeps = 0;
        unpaced.onFlip(c.pace);
        clock.time += 5;
        EXPECT_EQ(unpaced.onFlip(c.pace), clock.time) << c.name;
        EXPECT_EQ(clock.sleeps, 0) << c.name;
        EXPECT_DOUBLE_EQ(unpaced.getFrameTime(), 2.5) << c.name;
    }
}

TEST_F(ZFrameTimerTest, RefusedVerticalSyncPacesToTheRefreshOnlyWhenSyncWasAsked) {
    struct Case {
        const char* name;
        long rate;
        long refusedSyncRefresh;
        long pacedTo;
    };
    const Case cases[] = {
        {"sync refused", 0, 60, 60}, {"sync refused at 75 Hz", 0, 75, 75},
        {"sync honoured", 0, 0, 0},  {"the game's own rate", 30, 60, 30},
        {"unlimited", -1, 60, 0},
    };
    for (const Case& c : cases) {
        ZFrameTimer paced(&FakeClock::now, &FakeClock::sleep, &clock);
        paced.setMaxFrameRate(c.rate);
        paced.setSoftwareSyncRate(c.refusedSyncRefresh);
        EXPECT_EQ(paced.getPacingRate(), c.pacedTo) << c.name;
        paced.onFlip(true);
        long start = clock.time;
        const int kFrames = 300;
        for (int i = 0; i < kFrames; i++) {
            clock.time += 5;
            paced.onFlip(true);
        }
        double mean = static_cast<double>(clock.time - start) / kFrames;
        EXPECT_NEAR(mean, c.pacedTo ? 1000.0 / c.pacedTo : 5.0, 0.05) << c.name;
    }
}

TEST_F(ZFrameTimerTest, LongFrameLeavesAtMostOnePeriodOfDebt) {
    timer.setMaxFrameRate(60);
    timer.onFlip(true);
    for (int i = 0; i < 6; i++) frame(5);
    EXPECT_EQ(frame(1000), 1000);  // a load
    // The debt is one period: the next frame goes unpaced, the one after waits less, and then
    // the rate holds again instead of running free for the next eighty frames.
    EXPECT_EQ(frame(5), 5);
    EXPECT_EQ(frame(5), 11);
    for (int i = 0; i < 30; i++) {
        long interval = frame(5);
        EXPECT_TRUE(interval == 16 || interval == 17) << "frame " << i << ": " << interval;
    }
}

TEST_F(ZFrameTimerTest, ClockThatStandsStillNeitherHangsNorBuildsUpWaiting) {
    timer.setMaxFrameRate(60);
    timer.onFlip(true);
    clock.sleepStep = 0;
    for (int i = 0; i < 20; i++) {
        clock.sleeps = 0;
        frame(0);
        // At most the period plus a carry of one period.
        EXPECT_LE(clock.sleeps, 33) << "frame " << i;
    }
    clock.sleepStep = 1;
    EXPECT_LE(frame(0), 33);
    EXPECT_LE(frame(0), 17);
}

TEST_F(ZFrameTimerTest, ClockJumpingBackWaitsAtMostOneFrame) {
    timer.setMaxFrameRate(60);
    timer.onFlip(true);
    frame(5);
    clock.sleeps = 0;
    frame(-10000);
    EXPECT_LE(clock.sleeps, 17);
}

TEST(ZFrameTimerNoClockTest, WithoutClockOrSleepNothingIsPacedOrMeasured) {
    ZFrameTimer timer;
    timer.setMaxFrameRate(60);
    EXPECT_EQ(timer.now(), 0);
    for (int i = 0; i < 3; i++) EXPECT_EQ(timer.onFlip(true), 0);
    EXPECT_DOUBLE_EQ(timer.getFrameTime(), kDefaultFrameTime);

    FakeClock clock;
    ZFrameTimer noSleep(&FakeClock::now, nullptr, &clock);
    noSleep.setMaxFrameRate(60);
    noSleep.onFlip(true);
    clock.time += 5;
    EXPECT_EQ(noSleep.onFlip(true), clock.time);
}

}  // namespace
