#include <gtest/gtest.h>

#include "ZJoystickElement.h"

namespace {

TEST(ZJoystickElementTest, AxisScalesThroughTheDeclaredRangeUntilEnoughOfItWasSeen) {
    ZJoystickElement axis(0, 255);
    struct Step {
        long raw, expected;
    } steps[] = {
        {100, 25700}, {150, 38550},  // seen 100 .. 150: less than 60 % of 255
        {0, 0},       {200, 65535},  // seen 0 .. 200: 78 %, the seen range counts
        {100, 32767}, {255, 65535},  // 0 .. 255 now
        {300, 65535}, {-5, 0},       // held to the declared range
    };
    for (const Step& s : steps) EXPECT_EQ(axis.readScaled(s.raw, 0, 65535), s.expected) << s.raw;
}

TEST(ZJoystickElementTest, SixtyPercentOfTheRangeIsEnough) {
    ZJoystickElement axis(0, 100);
    axis.readScaled(20, 0, 1000);
    EXPECT_EQ(axis.readScaled(79, 0, 1000), 790);   // 59 seen: declared range
    EXPECT_EQ(axis.readScaled(80, 0, 1000), 1000);  // 60 seen: the seen range
    EXPECT_EQ(axis.readScaled(50, 0, 1000), 500);
}

TEST(ZJoystickElementTest, SdlAxisFromEndToEnd) {
    ZJoystickElement axis(-32768, 32767);
    EXPECT_EQ(axis.readScaled(0, 0, 65535), 32768);
    EXPECT_EQ(axis.readScaled(-32768, 0, 65535), 0);
    EXPECT_EQ(axis.readScaled(32767, 0, 65535), 65535);
}

TEST(ZJoystickElementTest, ElementWithoutARangeGivesItsValue) {
    ZJoystickElement fixed(7, 7);
    EXPECT_EQ(fixed.readScaled(7, 0, 65535), 7);
    EXPECT_EQ(fixed.readScaled(20, 0, 65535), 7);
}

TEST(ZJoystickElementTest, HatInHundredthsOfADegree) {
    struct Case {
        long minimum, maximum, value, expected;
    } cases[] = {
        {0, 3, 2, 18000},  {0, 3, 0, 0},     {0, 3, 4, 65535},  // four positions
        {0, 7, 3, 13500},  {0, 7, 7, 31500}, {0, 7, 8, 65535},  // eight positions
        {0, 7, -1, 65535}, {1, 8, 2, 9000},  // the raw value, not its offset from the minimum
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZJoystickElement(c.minimum, c.maximum).pointOfView(c.value), c.expected)
            << c.minimum << ".." << c.maximum << " value " << c.value;
}

}  // namespace
