#pragma once
// Options of the command line, matched as whole arguments, exactly.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// The argument after the first one equal to `flag`; absent when no argument equals it or
// it is the last. A later repetition of the flag is not looked at.
std::optional<std::string> argumentAfter(const std::vector<std::string>& arguments, std::string_view flag);

// Whether one of the arguments is the option.
bool hasArgument(const std::vector<std::string>& arguments, std::string_view option);

}  // namespace norvane
