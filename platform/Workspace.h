#pragma once
// The workspace's knowledge of installed applications: the bundles in the machine
// folder's Applications/ folder, each known by the CFBundleIdentifier of its
// Contents/Info.plist.

#include <optional>
#include <string_view>

#include "platform/Machine.h"

namespace norvane {

class Workspace {
public:
    explicit Workspace(Machine machine) : machine_(std::move(machine)) {}
    // The bundle of the application with that identifier; absent when none is installed.
    std::optional<Path> urlForApplication(std::string_view bundleIdentifier) const;

private:
    Machine machine_;
};

}  // namespace norvane
