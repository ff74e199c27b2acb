// Prints the battery as Battery::read() sees it through the machine folder in use, and
// the health figures of the system profiler.

#include <cstdio>
#include <string>

#include "app/analysis/Duration.h"
#include "app/readings/Battery.h"
#include "app/readings/SleepLog.h"
#include "platform/DateFormatter.h"

using namespace norvane;

namespace {
std::string optionalText(const std::optional<std::int64_t>& value, const char* unit) {
    return value ? std::to_string(*value) + unit : std::string("—");
}
}  // namespace

int main() {
    const auto machine = Machine::current();
    if (!machine) {
        std::fprintf(stderr, "norvane: no machine folder could be opened or created\n");
        return 1;
    }
    std::printf("Machine folder: %s\n", machine->root().c_str());
    const MachineRegistry registry(*machine);
    const auto battery = Battery::read(registry);
    if (!battery) {
        std::printf("No battery: this Mac has no AppleSmartBattery service.\n");
        return 0;
    }
    const auto& b = *battery;
    std::printf("Charge:        %lld%%%s%s\n", static_cast<long long>(b.percent), b.charging ? ", charging" : "",
                b.plugged ? ", on the adapter" : ", on battery");
    std::printf("Current:       %lld mA at %lld mV\n", static_cast<long long>(b.milliamps),
                static_cast<long long>(b.millivolts));
    std::printf("Capacity:      %lld mAh full, %lld mAh nominal, %lld mAh design\n", static_cast<long long>(b.rawMax),
                static_cast<long long>(b.nominal), static_cast<long long>(b.design));
    std::printf("Health:        %s after %lld cycles\n", optionalText(b.health(), "%").c_str(),
                static_cast<long long>(b.cycles));
    std::printf("System says:   %s %s\n", b.systemMinutes ? duration(*b.systemMinutes).c_str() : "—",
                b.charging ? "to full" : "left");

    const SystemProcessRunner runner(*machine);
    const auto report = systemBatteryReport(runner);
    std::printf("Profiler:      maximum capacity %s, %s\n", optionalText(report.capacity, "%").c_str(),
                report.serviceRecommended ? "service recommended" : "no service recommended");

    // The last stretches of sleep from the power-management log, as the Stats page lists them.
    const auto stretches = parseSleepLog(readSleepLog(runner));
    const auto format = DateFormatter::current();
    std::printf("Sleep:         %zu stretches of ten minutes or more in the power log\n", stretches.size());
    for (std::size_t i = stretches.size() > 5 ? stretches.size() - 5 : 0; i < stretches.size(); ++i) {
        const auto& s = stretches[i];
        std::printf("  %s %s to %s, %s: %lld%% to %lld%%, %s, brief wakes: %lld\n", format.dayMonthYear(s.start).c_str(),
                    format.shortTime(s.start).c_str(), format.shortTime(s.end).c_str(), duration(s.minutes()).c_str(),
                    static_cast<long long>(s.percentBefore), static_cast<long long>(s.percentAfter),
                    s.onBattery ? "on battery" : "on the adapter", static_cast<long long>(s.wakes));
        if (const auto summary = sleepSummary(s))
            std::printf("    %s · %s\n", summary->title.c_str(), summary->detail.c_str());
    }
    return 0;
}
