#pragma once
// The two texts of a summary line.

#include <string>

namespace norvane {

struct Headline {
    std::string title;
    std::string detail;
    bool operator==(const Headline&) const = default;
};

}  // namespace norvane
