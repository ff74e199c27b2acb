#pragma once
// One update, step by step: download the archive into the work folder `Norvane-update` in
// the user's Caches folder, prove it is the announced file, unpack it with the machine's
// ditto and accept the bundle inside only when it is signed by our own team, is this
// application and is newer than the running copy; then swap the bundles and relaunch.
// Every step that fails throws an UpdateError with the sentence the user reads; file-system
// and process-start errors pass on as they are, for the caller to word.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/update/UpdateStage.h"
#include "app/update/Updates.h"
#include "platform/CodeSigning.h"
#include "platform/MainQueue.h"
#include "platform/Machine.h"

namespace norvane {

// How long the archive may send nothing before the download gives up, and how long the
// whole download may take.
inline constexpr double downloadIdleLimit = 30;
inline constexpr double downloadDeadline = 20 * 60;
// No archive is larger (a release is well under 100 MB); an answer that announces a length
// is held to it.
inline constexpr std::uint64_t maximumArchiveBytes = std::uint64_t{1} << 30;
// What unpacking may write at most: ditto refuses a larger archive before writing any of it.
inline constexpr std::uint64_t maximumUnpackedBytes = std::uint64_t{2} << 30;
inline constexpr std::uint64_t maximumUnpackedEntries = 10000;

// Everything an update touches besides the feed. What it refers to must outlive the updater.
struct UpdaterSystem {
    const Updates& updates;           // the command line, the running bundle and build
    const CodeSigning& signing;
    MainQueue& queue;                 // progress reports go there
    Machine machine;                  // ditto, the shell and open
    Path caches;                      // the user's Caches folder
    std::int32_t pid;                 // this process: the relaunch waits for it to end
    std::function<void()> terminate;  // the application's terminate request
    double idleLimit = downloadIdleLimit;
    double deadline = downloadDeadline;
    std::uint64_t maxArchiveBytes = maximumArchiveBytes;
    std::uint64_t maxUnpackedBytes = maximumUnpackedBytes;
    std::uint64_t maxUnpackedEntries = maximumUnpackedEntries;
};

class Updater {
public:
    explicit Updater(UpdaterSystem system) : system_(std::move(system)) {}

    // The value after --update-zip when it is a URL, else the website's /Norvane.zip.
    std::string archive() const;
    Path workFolder() const { return system_.caches / "Norvane-update"; }

    // Downloads the archive into a fresh work folder and gives the stored file, within the
    // deadline and the size limit. Each fraction received is posted to the main queue for
    // `progress` (none while the length is unknown).
    // Blocks while it runs: a background job's work.
    Path download(std::function<void(double)> progress) const;
    // Checks the archive against the offer's hash, unpacks it into the work folder's `new`
    // (ditto refusing one that would write more than the limits) and gives the new bundle
    // once `check` accepts it against the running build. Blocks while
    // ditto runs: a background job of user-initiated priority.
    Path unpackAndCheck(const Path& archive, const AvailableUpdate& expected) const;
    // Accepts a bundle signed by the running copy's team for this application, with a build
    // above `newerThan`; throws otherwise.
    void check(const Path& bundle, std::int64_t newerThan) const;

    // Why this copy cannot update itself, or nothing.
    std::optional<std::string> blocker() const;
    // Puts the new bundle in place of the running one, keeping the old one aside until that
    // succeeded, starts the relaunch and asks the application to terminate. On the main queue.
    void install(const Path& bundle) const;

private:
    UpdaterSystem system_;
};

struct BundleDescription {
    std::string identifier;
    std::int64_t build = 0;
    bool operator==(const BundleDescription&) const = default;
};
// The identifier and the integer build of an Info.plist (XML); absent when it has no such.
std::optional<BundleDescription> describeBundle(std::string_view infoPlist);

// The first reason, in a fixed order, why a copy cannot update itself: not a bundle, run
// from a disk image or a translocated place, unsigned, in a folder it cannot write.
std::optional<std::string> updateBlocker(std::string_view bundlePath, bool parentWritable, bool isSigned);

}  // namespace norvane
