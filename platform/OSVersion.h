#pragma once
// The version of the operating system the simulated Mac runs.

#include <optional>
#include <string_view>

#include "platform/Machine.h"

namespace norvane {

struct OSVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
    bool operator==(const OSVersion&) const = default;
};

// "27.2.1", "27.2" (patch 0) or "27": up to three dot-separated decimal numbers, none
// negative; absent for anything else.
std::optional<OSVersion> parseOSVersion(std::string_view text);

// The "ProductVersion" of the machine folder's System/Library/CoreServices/SystemVersion.plist,
// the file a Mac keeps its version in; absent when it is missing or unreadable.
std::optional<OSVersion> operatingSystemVersion(const Machine& machine);

}  // namespace norvane
