#include <gtest/gtest.h>

#include "speed_text.h"

using dravlin::FormatSpeed;
using dravlin::WholePercent;

TEST(SpeedText, UnitsChangeOnlyAboveEachPowerOf1024) {
    EXPECT_EQ("0.00B", FormatSpeed(0));
    EXPECT_EQ("1024.00B", FormatSpeed(1024));
    EXPECT_EQ("1.50kB", FormatSpeed(1536));
    EXPECT_EQ("1024.00kB", FormatSpeed(1048576));
    EXPECT_EQ("1.00M", FormatSpeed(1048577));
    EXPECT_EQ("1024.00M", FormatSpeed(1073741824.0));
    EXPECT_EQ("1.50G", FormatSpeed(1610612736.0));
}

TEST(SpeedText, NonsenseSpeedsReadAsZero) {
    EXPECT_EQ("0.00B", FormatSpeed(-5));
    EXPECT_EQ("0.00B", FormatSpeed(std::numeric_limits<double>::quiet_NaN()));
}

TEST(SpeedText, PercentIsCutToItsWholePartAndKeptInRange) {
    EXPECT_EQ(99, WholePercent(99.9));
    EXPECT_EQ(0, WholePercent(0.99));
    EXPECT_EQ(100, WholePercent(100.0));
    EXPECT_EQ(100, WholePercent(250.0));
    EXPECT_EQ(0, WholePercent(-3));
    EXPECT_EQ(0, WholePercent(std::numeric_limits<double>::quiet_NaN()));
}
