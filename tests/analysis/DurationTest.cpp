#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/analysis/Duration.h"

namespace norvane {
namespace {

using Cases = std::vector<std::pair<std::int64_t, std::string>>;

TEST(Duration, MinutesBelowAnHourThenHoursAndPaddedMinutes) {
    // Any negative count keeps the minute form.
    for (const auto& [minutes, text] : Cases{{0, "0m"}, {45, "45m"}, {59, "59m"}, {60, "1h 00m"}, {65, "1h 05m"},
                                             {750, "12h 30m"}, {6000, "100h 00m"}, {-5, "-5m"}, {-125, "-125m"}})
        EXPECT_EQ(duration(minutes), text) << minutes;
}

TEST(Clock, HoursWithoutPaddingAndTwoDigitMinutes) {
    // Negative counts keep one sign.
    for (const auto& [minutes, text] : Cases{{45, "0:45"}, {60, "1:00"}, {185, "3:05"}, {1630, "27:10"},
                                             {0, "0:00"}, {-65, "-1:05"}, {-5, "-0:05"}})
        EXPECT_EQ(clock(minutes), text) << minutes;
}

}  // namespace
}  // namespace norvane
