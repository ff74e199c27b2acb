#include "platform/CommandLine.h"

#include <algorithm>

namespace norvane {

std::optional<std::string> argumentAfter(const std::vector<std::string>& arguments, std::string_view flag) {
    const auto found = std::find(arguments.begin(), arguments.end(), flag);
    if (found == arguments.end() || std::next(found) == arguments.end()) return std::nullopt;
    return *std::next(found);
}

bool hasArgument(const std::vector<std::string>& arguments, std::string_view option) {
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
}

}  // namespace norvane
