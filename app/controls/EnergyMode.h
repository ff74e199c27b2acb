#pragma once
// The energy mode as the system's settings show it, read without privileges from
// `pmset -g`. Modes: 0 Automatic, 1 Low Power, 2 High Power.

#include <string>
#include <vector>

#include "platform/PmsetText.h"  // parsePowerMode: the mode in what `pmset -g` printed
#include "platform/Process.h"

namespace norvane {

// Runs /usr/bin/pmset with the arguments and gives what it printed (its errors are
// discarded); empty when it cannot be started. Blocks, so it belongs on a background task.
std::string pmset(const ProcessRunner& runner, const std::vector<std::string>& arguments);

}  // namespace norvane
