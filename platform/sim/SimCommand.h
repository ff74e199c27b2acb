#pragma once
// What every simulated command shares: finding its machine folder and speaking to
// standard output and error the way the real command does.

#include <optional>
#include <string_view>

#include "platform/Machine.h"

namespace norvane::sim {

// The machine folder named by NORVANE_MACHINE (set by our process runner), else the
// user's default machine; absent, after a message on standard error, when neither exists.
std::optional<Machine> machine(std::string_view command);

void writeOut(std::string_view text);
void writeError(std::string_view text);

}  // namespace norvane::sim
