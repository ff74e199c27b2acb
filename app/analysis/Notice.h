#pragma once
// The title and body of one notification, as the alert rules hand it to the notifier.

#include <string>

namespace norvane {

struct Notice {
    std::string title;
    std::string body;
    bool operator==(const Notice&) const = default;
};

}  // namespace norvane
