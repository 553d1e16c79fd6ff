// The video clock's arithmetic, step by step on a time source the table gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ZVideoClock.h"

namespace {

// One step: at now (ms), with the video's decoded length, do something and read the clock.
struct Step {
    enum Kind { Read, Pause, Resume, Wrap } kind;
    int64_t now;
    double length;
    double expected;  // seconds read after the step
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};

TEST(ZVideoClockTest, ArithmeticTable) {
    const Case cases[] = {
        {"starts at its first reading", {{Step::Read, 5000, 0, 0}, {Step::Read, 5250, 0, 0.25}}},
        {"a pause holds the time and the resume skips the pause",
         {{Step::Read, 1000, 0, 0},
          {Step::Pause, 1400, 0, 0.4},
          {Step::Read, 3000, 0, 0.4},
          {Step::Resume, 3000, 0, 0.4},
          {Step::Read, 3100, 0, 0.5}}},
        {"a gap longer than the length skips whole lengths",
         {{Step::Read, 0, 2.0, 0}, {Step::Read, 500, 2.0, 0.5}, {Step::Read, 5600, 2.0, 1.6}}},
        {"a gap shorter than the length skips nothing",
         {{Step::Read, 0, 2.0, 0}, {Step::Read, 1900, 2.0, 1.9}}},
        {"a length below a millisecond never divides",
         {{Step::Read, 0, 0.0004, 0}, {Step::Read, 7000, 0.0004, 7.0}}},
        {"no length yet skips nothing", {{Step::Read, 0, 0, 0}, {Step::Read, 90000, 0, 90.0}}},
        {"a wrap moves the clock back by the length",
         {{Step::Read, 0, 1.0, 0}, {Step::Read, 900, 1.0, 0.9}, {Step::Wrap, 1000, 1.0, 0.0}}},
        {"a paused wrap keeps the time",
         {{Step::Read, 0, 1.0, 0}, {Step::Pause, 300, 1.0, 0.3}, {Step::Wrap, 1000, 1.0, 0.3}}},
        {"a second pause keeps the first pause time",
         {{Step::Read, 0, 0, 0}, {Step::Pause, 200, 0, 0.2}, {Step::Pause, 800, 0, 0.2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZVideoClock clock;
        for (size_t i = 0; i < c.steps.size(); i++) {
            const Step& s = c.steps[i];
            SCOPED_TRACE(i);
            switch (s.kind) {
                case Step::Read:
                    break;
                case Step::Pause:
                    clock.pause(s.now, s.length);
                    break;
                case Step::Resume:
                    EXPECT_TRUE(clock.resume(s.now));
                    break;
                case Step::Wrap:
                    clock.wrap(static_cast<int64_t>(s.length * 1000));
                    break;
            }
            EXPECT_DOUBLE_EQ(clock.read(s.now, s.length), s.expected);
        }
    }
}

TEST(ZVideoClockTest, ResumeNeedsAStartedPausedClock) {
    ZVideoClock clock;
    EXPECT_FALSE(clock.resume(100));
    clock.read(100, 0);
    EXPECT_FALSE(clock.resume(200));
    clock.pause(300, 0);
    EXPECT_TRUE(clock.isPaused());
    EXPECT_TRUE(clock.resume(400));
    EXPECT_FALSE(clock.isPaused());
    clock.reset();
    EXPECT_FALSE(clock.isStarted());
}

}  // namespace
