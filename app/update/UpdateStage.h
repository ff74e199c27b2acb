#pragma once
// The values the self-update passes around: the feed's offer, the progress of one update
// and the one error its steps throw.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Files.h"

namespace norvane {

// One offer read from the version feed.
struct AvailableUpdate {
    std::string version;             // 1 to 20 characters of numbers and full stops
    std::int64_t build = 0;          // at least 1; the only value compared with the running build
    std::vector<std::string> notes;  // at most 3, each at most 240 characters
    std::optional<std::string> sha256;  // lower-case hexadecimal of the archive
    bool operator==(const AvailableUpdate&) const = default;
};

namespace update_stage {
struct Idle {
    bool operator==(const Idle&) const = default;
};
struct Downloading {
    double fraction = 0;  // 0.0 to 1.0
    bool operator==(const Downloading&) const = default;
};
struct Checking {
    bool operator==(const Checking&) const = default;
};
// Verified and waiting for the user to install: the unpacked new bundle.
struct Ready {
    Path bundle;
    bool operator==(const Ready&) const = default;
};
struct Installing {
    bool operator==(const Installing&) const = default;
};
// The last download, check or install failed; the message is shown as it stands.
struct Failed {
    std::string message;
    bool operator==(const Failed&) const = default;
};
}  // namespace update_stage

using UpdateStage = std::variant<update_stage::Idle, update_stage::Downloading, update_stage::Checking,
                                 update_stage::Ready, update_stage::Installing, update_stage::Failed>;

// What the updater's steps throw: a sentence for the user, shown unchanged.
struct UpdateError : std::exception {
    std::string message;
    explicit UpdateError(std::string text) : message(std::move(text)) {}
    const char* what() const noexcept override { return message.c_str(); }
    bool operator==(const UpdateError& other) const { return message == other.message; }
};

}  // namespace norvane
