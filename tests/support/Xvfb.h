#pragma once
// A virtual X server of a test's own, and xdotool to press keys and click on it.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace norvane::testing {

class Xvfb {
public:
    // Starts Xvfb on the first free display; `display()` is absent when it could not start.
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    const std::optional<std::string>& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::optional<std::string> display_;
};

// Runs xdotool with the arguments on the display: what it printed when it ended with
// status 0, absent when it failed or could not run.
std::optional<std::string> xdotool(const std::string& display, std::vector<std::string> arguments);

}  // namespace norvane::testing
