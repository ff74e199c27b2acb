#include <gtest/gtest.h>

#include "app/analysis/Duration.h"

namespace norvane {
namespace {

TEST(Duration, MinutesBelowAnHourThenHoursAndPaddedMinutes) {
    EXPECT_EQ(duration(0), "0m");
    EXPECT_EQ(duration(45), "45m");
    EXPECT_EQ(duration(59), "59m");
    EXPECT_EQ(duration(60), "1h 00m");
    EXPECT_EQ(duration(65), "1h 05m");
    EXPECT_EQ(duration(750), "12h 30m");
    EXPECT_EQ(duration(6000), "100h 00m");
    EXPECT_EQ(duration(-5), "-5m");
    EXPECT_EQ(duration(-125), "-125m");  // any negative count keeps the minute form
}

TEST(Clock, HoursWithoutPaddingAndTwoDigitMinutes) {
    EXPECT_EQ(clock(45), "0:45");
    EXPECT_EQ(clock(60), "1:00");
    EXPECT_EQ(clock(185), "3:05");
    EXPECT_EQ(clock(1630), "27:10");
    EXPECT_EQ(clock(0), "0:00");
    // Negative counts keep one sign.
    EXPECT_EQ(clock(-65), "-1:05");
    EXPECT_EQ(clock(-5), "-0:05");
}

}  // namespace
}  // namespace norvane
