#pragma once
// The two text forms of a count of minutes, shared by every screen that shows a time.

#include <cstdint>
#include <string>

namespace norvane {

// "45m" below an hour (negative counts too), otherwise "1h 05m".
std::string duration(std::int64_t minutes);
// Hours and two-digit minutes: "0:45", "3:05", "27:10". A negative count keeps its sign in
// front of the whole ("-0:05", "-1:05") rather than splitting it between hours and minutes
// ("0:-5"), which would not read as a time.
std::string clock(std::int64_t minutes);

}  // namespace norvane
