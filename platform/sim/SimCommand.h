#pragma once
// What every simulated command shares: finding its machine folder and speaking to
// standard output and error the way the real command does.

#include <optional>
#include <string>
#include <string_view>

#include "platform/Machine.h"
#include "platform/Time.h"

namespace norvane::sim {

// The machine folder named by NORVANE_MACHINE (set by our process runner), else the
// user's default machine; absent, after a message on standard error, when neither exists.
std::optional<Machine> machine(std::string_view command);

void writeOut(std::string_view text);
void writeError(std::string_view text);

// A moment as the power-management log writes it, in the calendar's zone:
// "2026-12-08 22:14:05", then `beforeOffset`, then the offset from UTC as "+0100".
std::string logTimeStamp(Date date, const Calendar& calendar, std::string_view beforeOffset);

}  // namespace norvane::sim
