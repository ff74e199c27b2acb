#include "app/controls/ProcessSample.h"

#include <algorithm>
#include <cstring>

#include "app/controls/Agent.h"
#include "platform/Text.h"

namespace norvane {
namespace {
constexpr std::size_t shortNameBytes = 16;
constexpr std::size_t spareRoom = 64;  // for processes started between counting and listing
}  // namespace

double machTicksToSeconds(const Timebase& timebase) {
    if (timebase.denom == 0) return 0;
    return static_cast<double>(timebase.numer) / static_cast<double>(timebase.denom) / 1e9;
}

std::vector<ProcessSample> readProcesses(const ProcessKernel& kernel) {
    const int count = kernel.processCount();
    std::vector<std::int32_t> pids(static_cast<std::size_t>(std::max(count, 0)) + spareRoom);
    // The kernel may report more processes than fit; only those written can be read.
    const int listed = kernel.listProcessIds(pids);
    pids.resize(std::min(static_cast<std::size_t>(std::max(listed, 0)), pids.size()));
    const double secondsPerTick = machTicksToSeconds(kernel.timebase());

    std::vector<ProcessSample> out;
    out.reserve(pids.size());
    for (const std::int32_t pid : pids) {
        if (pid < 1) continue;
        const auto record = kernel.record(pid);
        if (!record) continue;
        ProcessSample sample;
        sample.pid = pid;
        sample.parent = record->info.parent;
        std::string_view name(record->info.name);
        name = name.substr(0, std::min({name.size(), shortNameBytes, name.find('\0')}));
        sample.name = decodeUtf8Lossy(name);
        if (const auto& ticks = record->ticks)
            sample.cpu = (static_cast<double>(ticks->user) + static_cast<double>(ticks->system)) * secondsPerTick;
        sample.path = kernel.path(pid);
        if (isInterpreter(sample.name)) sample.arguments = processArguments(pid, kernel);
        out.push_back(std::move(sample));
    }
    return out;
}

std::vector<std::string> parseArgumentArea(std::string_view area) {
    std::int32_t count = 0;
    if (area.size() < 5) return {};
    std::memcpy(&count, area.data(), sizeof count);
    // Past the executable path and the NULs that pad it.
    std::size_t at = area.find('\0', sizeof count);
    if (at == std::string_view::npos) return {};
    at = area.find_first_not_of('\0', at);
    if (at == std::string_view::npos) return {};

    std::vector<std::string> out;
    for (std::int32_t i = 0; i < count && at < area.size(); ++i) {
        const std::size_t end = std::min(area.find('\0', at), area.size());
        out.push_back(decodeUtf8Lossy(area.substr(at, end - at)));
        at = end + 1;
    }
    return out;
}

std::vector<std::string> processArguments(std::int32_t pid, const ProcessKernel& kernel) {
    const auto area = kernel.argumentArea(pid);
    return area ? parseArgumentArea(*area) : std::vector<std::string>{};
}

}  // namespace norvane
