#pragma once
// The version feed and the running build: what every step of an update starts from. The
// feed, version.json on the website, is a JSON object with the offered "version" and
// "build", up to three "notes" and the archive's "sha256". The running build is the bundle's
// CFBundleVersion; `--update-as N` pretends another, `--update-source URL` asks another feed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/update/UpdateStage.h"
#include "platform/MainBundle.h"

namespace norvane {

// How long the feed may send nothing before the check gives up, and how long the whole
// check may take.
inline constexpr double feedIdleLimit = 8;
inline constexpr double feedDeadline = 20;

class Updates {
public:
    static constexpr std::string_view website = "https://norvane.app";
    static constexpr std::string_view downloadPage = "https://norvane.app/download/";
    static constexpr std::string_view changelog = "https://norvane.app/changelog/";

    // `arguments` is the command line, the program's own path first; `bundle` must outlive
    // this.
    Updates(std::vector<std::string> arguments, const MainBundle& bundle, double idleLimit = feedIdleLimit,
            double deadline = feedDeadline)
        : arguments_(std::move(arguments)), bundle_(bundle), idleLimit_(idleLimit), deadline_(deadline) {}

    // The feed's offer; absent when it cannot be fetched, answers with a status other than
    // 200 or is no valid feed. Blocks while the request runs, so it belongs in a background
    // job.
    std::optional<AvailableUpdate> latest() const;
    // The value after --update-source when it is a URL, else the website's /version.json.
    std::string source() const;
    // The value after --update-as, else CFBundleVersion, when it is a decimal integer.
    std::optional<std::int64_t> runningBuild() const;
    // "1.4.2 (57)"; the short version alone without a running build; "development build"
    // without a short version.
    std::string runningVersion() const;

    // The argument after the first one equal to the flag.
    std::optional<std::string> argument(std::string_view flag) const;
    // An address given after the flag when it is a URL, else the website's `path`.
    std::string address(std::string_view flag, std::string_view path) const;
    const MainBundle& bundle() const { return bundle_; }

private:
    std::vector<std::string> arguments_;
    const MainBundle& bundle_;
    double idleLimit_;
    double deadline_;
};

// The offer in a feed's bytes; absent when they are not a valid feed. Notes and a hash that
// do not fit are dropped without making the offer invalid.
std::optional<AvailableUpdate> parseLatestRelease(std::string_view bytes);

}  // namespace norvane
