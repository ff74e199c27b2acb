#pragma once
// The energy mode as the system's settings show it, read without privileges from
// `pmset -g`. Modes: 0 Automatic, 1 Low Power, 2 High Power.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Process.h"

namespace norvane {

// Runs /usr/bin/pmset with the arguments and gives what it printed (its errors are
// discarded); empty when it cannot be started. Blocks, so it belongs on a background task.
std::string pmset(const ProcessRunner& runner, const std::vector<std::string>& arguments);

// The mode of the first "powermode" line, or 1 for a "lowpowermode 1" line before it;
// absent when the first "powermode" line holds no mode from 0 to 2. Without either, a
// "lowpowermode 0" line gives 0 (Automatic), so Low Power switched off is read as such;
// absent when no line says anything.
std::optional<std::int64_t> parsePowerMode(std::string_view text);

}  // namespace norvane
