#pragma once
// The two text forms of a count of minutes, shared by every screen that shows a time.

#include <cstdint>
#include <string>

namespace norvane {

// "45m" below an hour (negative counts too), otherwise "1h 05m".
std::string duration(std::int64_t minutes);
// Hours and two-digit minutes: "0:45", "3:05", "27:10".
std::string clock(std::int64_t minutes);

}  // namespace norvane
