// Prints the battery as Battery::read() sees it through the machine folder in use, the
// health figures of the system profiler, the charger and power flow, the live draw from
// the SMC and whether the charge limit can be used, and the system figures.

#include <cstdio>
#include <string>

#include "app/analysis/Duration.h"
#include "app/analysis/Forecast.h"
#include "app/readings/Battery.h"
#include "app/readings/ChargeLimit.h"
#include "app/readings/Charger.h"
#include "app/readings/PowerUIBackend.h"
#include "app/readings/SMC.h"
#include "app/readings/SleepLog.h"
#include "app/readings/SystemSensors.h"
#include "platform/DateFormatter.h"
#include "platform/Text.h"
#include "platform/VirtualQueue.h"
#include "examples/Usage.h"

using namespace norvane;

namespace {
std::string optionalText(const std::optional<std::int64_t>& value, const char* unit) {
    return value ? std::to_string(*value) + unit : std::string("—");
}

std::string wattsText(const std::optional<double>& watts) {
    return watts ? formatFixed(*watts, 1) + " W" : std::string("—");
}

std::string figureText(const std::optional<double>& value, const char* unit) {
    return value ? formatFixed(*value, 0) + unit : std::string("—");
}

std::string availabilityText(const LimitAvailability& availability) {
    if (const auto* ready = std::get_if<availability::Ready>(&availability)) {
        std::string limits;
        for (const auto limit : ready->limits) limits += (limits.empty() ? "" : ", ") + std::to_string(limit) + "%";
        return "ready, offers " + (limits.empty() ? std::string("only 100%") : limits);
    }
    if (const auto* unverified = std::get_if<availability::UnverifiedOS>(&availability))
        return "not verified on macOS " + unverified->version;
    if (const auto* unsupported = std::get_if<availability::Unsupported>(&availability))
        return "unavailable: " + unsupported->reason;
    return "needs macOS 26.4 or later";
}
}  // namespace

int main(int argc, char** argv) {
    if (!norvane::examples::takes(argc, argv, 0, "norvane_battery")) return 2;
    const auto machine = Machine::current();
    if (!machine) {
        std::fprintf(stderr, "norvane: no machine folder could be opened or created\n");
        return 1;
    }
    std::printf("Machine folder: %s\n", machine->root().c_str());
    const MachineRegistry registry(*machine);
    const auto battery = Battery::read(registry);
    if (!battery) {
        // A dump cut off in the middle is a fault to mend, not a Mac without a battery.
        if (const auto problem = registry.problem("AppleSmartBattery")) {
            std::printf("No battery reading: %s.\n", problem->c_str());
            return 1;
        }
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

    const auto charger = readCharger(MachinePowerSources(*machine));
    if (charger)
        std::printf("Charger:       %s, %s%s\n", charger->name.value_or("unnamed adapter").c_str(),
                    optionalText(charger->watts, " W").c_str(), charger->wireless ? ", wireless" : "");
    else
        std::printf("Charger:       none\n");
    const auto properties = smartBatteryProperties(registry);
    const auto flow = properties ? std::optional(powerFlow(*properties)) : std::nullopt;
    if (flow)
        std::printf("Power flow:    the Mac uses %s, the adapter gives %s\n", wattsText(flow->system).c_str(),
                    wattsText(flow->adapter).c_str());

    const auto meter = SMC::open(MachineKernelServices(*machine));
    const auto live = readLivePower(meter);
    const auto draw = liveDraw(live);
    std::printf("Live (SMC):    %s at %s, adapter %s; draw %s\n", figureText(live.batteryMilliamps, " mA").c_str(),
                figureText(live.batteryMillivolts, " mV").c_str(), wattsText(live.adapterWatts).c_str(),
                optionalText(draw, " mA").c_str());

    MachineFrameworks frameworks(*machine);
    std::shared_ptr<LimitBackend> backend;
    const auto os = operatingSystemVersion(*machine).value_or(OSVersion{});
    const auto availability = ChargeLimit::availability(os, [&] {
        backend = std::make_shared<PowerUIBackend>(frameworks, runner);
        return backend;
    });
    std::printf("Charge limit:  %s (macOS %d.%d.%d)\n", availabilityText(availability).c_str(), os.major, os.minor,
                os.patch);
    std::int64_t limit = 100;
    if (backend && std::holds_alternative<availability::Ready>(availability)) {
        try {
            const auto setting = backend->read();
            if (setting.enabled) limit = setting.limit;
        } catch (const Problem&) {
            // The limit stays unknown; the charging state then assumes none.
        }
    }
    const auto flags = properties ? chargerFlags(*properties) : ChargerFlags{};
    const auto words = chargingWords(chargingState(b, flags, flow, charger, limit));
    std::printf("Charging:      %s. %s\n", words.title.c_str(), words.detail.c_str());
    // The last stretches of sleep from the power-management log, as the Stats page lists them.
    const auto stretches = readSleepStretches(runner);
    const auto format = DateFormatter::current();
    std::printf("Sleep:         %zu %s of ten minutes or more in the power log\n", stretches.size(),
                stretches.size() == 1 ? "stretch" : "stretches");
    for (std::size_t i = stretches.size() > 5 ? stretches.size() - 5 : 0; i < stretches.size(); ++i) {
        const auto& s = stretches[i];
        std::printf("  %s %s to %s, %s: %lld%% to %lld%%, %s, brief wakes: %lld\n", format.dayMonthYear(s.start).c_str(),
                    format.shortTime(s.start).c_str(), format.shortTime(s.end).c_str(), duration(s.minutes()).c_str(),
                    static_cast<long long>(s.percentBefore), static_cast<long long>(s.percentAfter),
                    s.onBattery ? "on battery" : "on the adapter", static_cast<long long>(s.wakes));
        if (const auto summary = sleepSummary(s))
            std::printf("    %s · %s\n", summary->title.c_str(), summary->detail.c_str());
    }

    // One reading: the CPU share and the rates need a previous one, so they show "—".
    const MachineSystemControl controls(*machine);
    const MachineHostStatistics host(*machine);
    const VirtualQueue clock;
    SystemSensors sensors(MachineKernelServices(*machine), controls, host, registry, clock);
    const auto system = sensors.read();
    const auto bytes = [](const std::optional<double>& value, const char* suffix = "") {
        return value ? bytesText(*value, 1000) + suffix : std::string("—");
    };
    const auto share = [](const std::optional<double>& value) {
        return value ? formatFixed(*value * 100, 0) + "%" : std::string("—");
    };
    std::printf("System:        CPU %s at %s, GPU %s; battery %s; fans %s (at most %s)\n", share(system.cpu).c_str(),
                figureText(system.cpuTemperature, " °C").c_str(), share(system.gpu).c_str(),
                figureText(system.batteryTemperature, " °C").c_str(), figureText(system.fanRPM, " rpm").c_str(),
                figureText(system.fanMax, " rpm").c_str());
    std::printf("Memory:        %s of %s in use, pressure level %s\n", bytes(system.memoryUsed).c_str(),
                bytes(system.memoryTotal).c_str(), optionalText(system.memoryPressure, "").c_str());
    std::printf("Disk:          %s free of %s; reading %s, writing %s; network in %s, out %s\n",
                bytes(system.diskFree).c_str(), bytes(system.diskTotal).c_str(), bytes(system.diskRead, "/s").c_str(),
                bytes(system.diskWritten, "/s").c_str(), bytes(system.networkIn, "/s").c_str(),
                bytes(system.networkOut, "/s").c_str());
    return 0;
}
