#include "platform/FileReading.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <unordered_map>

namespace norvane {
namespace file_reading {
namespace {

// Longer than any file system's step between two time stamps (two seconds on the coarsest).
constexpr std::int64_t stillFor = 2'000'000'000;

std::int64_t wallNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// The stamps looked at in the moment that lives on this thread.
struct Moment {
    int depth = 0;
    std::uint64_t id = 0;       // unique among all threads' moments
    std::uint64_t changes = 0;  // filesChanged() when the stamps were looked at
    std::unordered_map<std::string, std::optional<FileStamp>> stamps;
};
thread_local Moment moment;
std::atomic<std::uint64_t> moments{0};

// A change of our own makes a new moment: what was looked at before is looked at again.
void begin() {
    moment.stamps.clear();
    moment.changes = filesChanged();
    moment.id = ++moments;
}

}  // namespace

std::uint64_t currentMoment() {
    if (moment.depth == 0) return 0;
    if (filesChanged() != moment.changes) begin();
    return moment.id;
}

std::optional<FileStamp> stampOf(const std::string& file) {
    if (moment.depth == 0) return fileStamp(file.c_str());
    if (filesChanged() != moment.changes) begin();
    const auto [at, added] = moment.stamps.try_emplace(file);
    if (added) at->second = fileStamp(file.c_str());
    return at->second;
}

FileBytes readBytes(const std::string& file, const std::optional<FileStamp>& stamp, bool& settled) {
    // Nothing there stays nothing until a stamp appears.
    if (!stamp) {
        settled = true;
        return {};
    }
    settled = wallNanoseconds() - std::max(stamp->modified, stamp->changed) >= stillFor;
    auto read = readRegularFile(Path(file), readFileCap);
    if (auto* failure = std::get_if<ReadFailure>(&read)) return {true, std::nullopt, std::move(failure->what)};
    return {true, std::move(std::get<std::string>(read)), {}};
}

}  // namespace file_reading

FileMoment::FileMoment() {
    if (file_reading::moment.depth++ == 0) file_reading::begin();
}

FileMoment::~FileMoment() {
    if (--file_reading::moment.depth == 0) file_reading::moment.stamps.clear();
}

}  // namespace norvane
