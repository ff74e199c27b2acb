#include "app/update/Updater.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "platform/ChildProcess.h"
#include "platform/Http.h"
#include "platform/Process.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"
#include "shared/NorvaneShared.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view downloadFailed = "The download did not finish. Check the connection and try again.";
constexpr std::string_view notAnnounced = "The download is not the file the website announced. Try again later.";
constexpr std::string_view notUnpacked = "The download could not be unpacked.";
constexpr std::string_view notSigned = "This copy is not signed, so an update cannot be checked against it.";
constexpr std::string_view notGenuine = "The download is not a genuine copy of Norvane. Nothing was installed.";
constexpr std::string_view notNewer = "The download is not newer than this copy. Nothing was installed.";
constexpr std::string_view notPutInPlace = "The new copy could not be put in place: ";

constexpr std::string_view archiveName = "Norvane.zip";
constexpr std::string_view bundleName = "Norvane.app";
constexpr std::string_view previousName = ".Norvane-previous.app";

[[noreturn]] void fail(std::string_view message) { throw UpdateError(std::string(message)); }

// Whether an unpacked bundle keeps to itself: it is no link, and every link in it leads to a
// place inside it, once every link on the way is followed.
bool keepsToItself(const Path& bundle) {
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(bundle, error))) return false;
    const Path root = fs::canonical(bundle, error);
    if (error) return false;
    for (auto it = fs::recursive_directory_iterator(bundle, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!it->is_symlink(error)) continue;
        const Path target = fs::weakly_canonical(it->path(), error);
        if (error) return false;
        const Path inside = target.lexically_relative(root);
        if (inside.empty() || *inside.begin() == "..") return false;
    }
    return !error;
}

// Whether a file is a program: the archive made it executable, or it starts as one does
// (an ELF header, or "#!").
bool isProgram(const Path& file, mode_t mode) {
    if ((mode & 0111) != 0) return true;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    char head[4] = {};
    const ssize_t n = fd >= 0 ? ::read(fd, head, sizeof head) : -1;
    if (fd >= 0) ::close(fd);
    return (n >= 2 && head[0] == '#' && head[1] == '!') || (n == 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0);
}

// Gives every folder and file of the unpacked tree the modes an installed bundle has,
// whatever the archive said: folders and programs 0755, other files 0644, no set-id or
// sticky bit, so no other user may change what the user will run. Links keep theirs (they
// have none that counts). False when an entry cannot be given its mode, or is of another kind.
bool fixModes(const Path& root) {
    std::vector<Path> folders{root};
    while (!folders.empty()) {
        const Path folder = std::move(folders.back());
        folders.pop_back();
        if (::chmod(folder.c_str(), 0755) != 0) return false;
        std::error_code error;
        for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
             it.increment(error)) {
            struct stat st {};
            if (::lstat(it->path().c_str(), &st) != 0) return false;
            if (S_ISDIR(st.st_mode)) folders.push_back(it->path());
            else if (S_ISREG(st.st_mode)) {
                if (::chmod(it->path().c_str(), isProgram(it->path(), st.st_mode) ? 0755 : 0644) != 0) return false;
            } else if (!S_ISLNK(st.st_mode)) {
                return false;
            }
        }
        if (error) return false;
    }
    return true;
}

// Waits for the process to end, then opens the bundle named by $0.
std::string relaunchScript(std::int32_t pid) {
    return "while /bin/kill -0 " + std::to_string(pid) + " 2>/dev/null; do /bin/sleep 0.2; done; /usr/bin/open \"$0\"";
}

}  // namespace

std::string Updater::archive() const { return system_.updates.address("--update-zip", "/Norvane.zip"); }

Path Updater::download(std::function<void(double)> progress) const {
    const Path work = workFolder();
    std::error_code ignored;
    removeTree(work);  // whatever an earlier try left, however its modes were
    fs::create_directories(work);  // its error is the file system's own
    const Path keep = work / archiveName;
    const Path partial = work / ("." + std::string(archiveName) + ".download");
    MainQueue& queue = system_.queue;
    const auto report = [&queue, &progress](std::uint64_t written, std::optional<std::uint64_t> expected) {
        if (!expected || *expected < 1 || !progress) return;
        const double fraction = std::min(1.0, static_cast<double>(written) / static_cast<double>(*expected));
        queue.post([progress, fraction] { progress(fraction); });
    };
    const auto status = httpDownload({archive(), "application/zip", system_.idleLimit, system_.deadline}, partial,
                                     report, system_.maxArchiveBytes);
    // Whatever ended the transfer, the call ends here, with the file or with the failure.
    std::error_code moved;
    if (status == 200 && moveItem(partial, keep, moved)) return keep;
    fs::remove(partial, ignored);
    fail(downloadFailed);
}

Path Updater::unpackAndCheck(const Path& archive, const AvailableUpdate& expected) const {
    if (expected.sha256) {
        // An archive that cannot be read cannot be shown to be the announced one.
        const auto digest = fileDigest(archive);
        if (!digest || *digest != *expected.sha256) fail(notAnnounced);
    }
    const Path unpacked = workFolder() / "new";
    std::error_code ignored;
    removeTree(unpacked);
    const auto ditto =
        SystemProcessRunner(system_.machine)
            .run("/usr/bin/ditto", {"-x", "-k", "--max-bytes", std::to_string(system_.maxUnpackedBytes), "--max-entries",
                                    std::to_string(system_.maxUnpackedEntries), archive.string(), unpacked.string()});
    if (!ditto.started) throw std::runtime_error(ditto.error);
    const Path bundle = unpacked / bundleName;
    if (!ditto.succeeded() || !fixModes(unpacked) || !fs::exists(bundle, ignored) || !keepsToItself(bundle))
        fail(notUnpacked);
    check(bundle, system_.updates.runningBuild().value_or(std::numeric_limits<std::int64_t>::max()));
    return bundle;
}

void Updater::check(const Path& bundle, std::int64_t newerThan) const {
    const auto team = ownTeamID(system_.signing);
    if (!team) fail(notSigned);
    if (system_.signing.checkValidity(bundle, signingRequirement(appBundleID, *team)) != SignatureCheck::valid)
        fail(notGenuine);
    const auto info = readFile(bundle / "Contents/Info.plist");
    const auto description = info ? describeBundle(*info) : std::nullopt;
    if (!description || description->identifier != appBundleID || description->build <= newerThan) fail(notNewer);
}

std::optional<std::string> Updater::blocker() const {
    const Path bundle = system_.updates.bundle().bundlePath();
    const bool writable = ::access(bundle.parent_path().c_str(), W_OK) == 0;
    return updateBlocker(bundle.string(), writable, ownTeamID(system_.signing).has_value());
}

void Updater::install(const Path& bundle) const {
    if (auto reason = blocker()) throw UpdateError(std::move(*reason));
    const Path current = system_.updates.bundle().bundlePath();
    const Path previous = current.parent_path() / previousName;
    std::error_code error;
    // With nothing at the bundle's path, the kept-aside copy of an install whose restoring
    // move failed may be the only one left: it stays.
    if (fs::exists(fs::symlink_status(current, error))) fs::remove_all(previous, error);
    if (!moveItem(current, previous, error)) fail(std::string(notPutInPlace) + error.message());
    if (!moveItem(bundle, current, error)) {
        std::error_code ignored;
        moveItem(previous, current, ignored);
        fail(std::string(notPutInPlace) + error.message());
    }
    fs::remove_all(previous, error);
    fs::remove_all(workFolder(), error);
    // The path goes to the script as $0, never into its text.
    ChildProcess::startDetached(system_.machine, "/bin/sh", {"-c", relaunchScript(system_.pid), current.string()},
                                ChildProcess::Output::discard);
    if (system_.terminate) system_.terminate();
}

std::optional<BundleDescription> describeBundle(std::string_view infoPlist) {
    const auto root = parsePropertyList(infoPlist);
    if (!root || !root->isDictionary() || root->asDictionary()->empty()) return std::nullopt;
    const Value* identifier = root->find("CFBundleIdentifier");
    const Value* version = root->find("CFBundleVersion");
    if (!identifier || !identifier->isString() || !version || !version->isString()) return std::nullopt;
    const auto build = parseInt64(*version->asString());
    if (!build) return std::nullopt;
    return BundleDescription{*identifier->asString(), *build};
}

std::optional<std::string> updateBlocker(std::string_view bundlePath, bool parentWritable, bool isSigned) {
    if (!bundlePath.ends_with(".app")) return "This copy is not an app bundle.";
    if (bundlePath.find("/AppTranslocation/") != std::string_view::npos || bundlePath.starts_with("/Volumes/"))
        return "Move Norvane to the Applications folder first, then it can update itself.";
    if (!isSigned) return std::string(notSigned);
    if (!parentWritable) return "Norvane cannot write to the folder it is in.";
    return std::nullopt;
}

}  // namespace norvane
