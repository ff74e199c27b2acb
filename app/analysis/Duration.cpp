#include "app/analysis/Duration.h"

#include <cstdio>

namespace norvane {

std::string duration(std::int64_t minutes) {
    if (minutes < 60) return std::to_string(minutes) + "m";
    char rest[8];
    std::snprintf(rest, sizeof rest, "%02dm", static_cast<int>(minutes % 60));
    return std::to_string(minutes / 60) + "h " + rest;
}

std::string clock(std::int64_t minutes) {
    const std::int64_t hours = minutes / 60;
    const std::int64_t rest = minutes - hours * 60;
    char text[8];
    // A negative count keeps its sign on the hours only ("-1:05"), never "-1:-5".
    std::snprintf(text, sizeof text, "%02d", static_cast<int>(rest < 0 ? -rest : rest));
    const bool negativeUnderAnHour = minutes < 0 && hours == 0;
    return (negativeUnderAnHour ? "-" : "") + std::to_string(hours) + ":" + text;
}

}  // namespace norvane
