#pragma once
// The system log: one-line messages of the application and its helpers. Each goes to
// standard error and to the machine folder's log/system.log, so what was logged can be
// read back (by a test, or by you).

#include <string_view>

#include "platform/Machine.h"

namespace norvane {

// Writes "<local time> <program>[<pid>] <message>" as one line.
void systemLog(const Machine& machine, std::string_view message);

}  // namespace norvane
