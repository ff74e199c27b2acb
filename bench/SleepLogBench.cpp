// Reading the power-management log after a wake: weeks of sleeps, dark wakes and the
// log's other records, 50,000 lines in all.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "app/readings/SleepLog.h"

using namespace norvane;

namespace {

constexpr int lineCount = 50'000;

std::string stamp(long long seconds) {
    const long long day = seconds / 86'400, rest = seconds % 86'400;
    char text[48];
    std::snprintf(text, sizeof text, "2026-%02lld-%02lld %02lld:%02lld:%02lld +0100 ", 1 + day / 28, 1 + day % 28,
                  rest / 3600, rest / 60 % 60, rest % 60);
    return text;
}

// Each night: a sleep, dark wakes each followed by a maintenance sleep, a full wake; the
// records in between are assertions and notifications that the reader skips.
std::string powerLog() {
    std::string text =
        "Time stamp                Domain                Message                          Duration  Delay\n"
        "==========                ======                =======                          ========  =====\n"
        "UUID: 6F1C2B9E-4D7A-4E3B-A1C5-8B2D9E0F7A64\n";
    long long t = 0;
    int lines = 3, charge = 100;
    const auto add = [&](const std::string& line) {
        text += stamp(t) + line + "\n";
        ++lines;
    };
    while (lines < lineCount) {
        charge = charge < 20 ? 100 : charge - 1;
        const std::string using_ = " Using BATT (Charge:" + std::to_string(charge) + "%)";
        add("Sleep               \tEntering Sleep state due to 'Clamshell Sleep':TCPKeepAlive=active" + using_ + " 3600 secs");
        for (int k = 0; k < 6 && lines < lineCount; ++k) {
            t += 3600;
            add("DarkWake            \tDarkWake from Deep Idle [CDNP] : due to rtc/Maintenance" + using_ + " 45 secs");
            t += 45;
            add("Sleep               \tEntering Sleep state due to 'Maintenance Sleep':TCPKeepAlive=active" + using_);
            add("Assertions          \tPID 318(coreaudiod) Released PreventUserIdleSystemSleep 00:01:12 id:0x0x900001a3b");
        }
        t += 3600;
        add("Wake                \tWake from Deep Idle [CDNVA] : due to EC.LidOpen/Lid Open" + using_);
        add("Notification        \tDisplay is turned on");
        t += 12 * 3600;
    }
    return text;
}

void BM_ParseFiftyThousandLineSleepLog(benchmark::State& state) {
    const std::string text = powerLog();
    for (auto _ : state) {
        auto stretches = parseSleepLog(text);
        benchmark::DoNotOptimize(stretches.data());
        if (stretches.size() < 1000) state.SkipWithError("too few stretches");
    }
    state.SetItemsProcessed(state.iterations() * lineCount);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseFiftyThousandLineSleepLog)->Unit(benchmark::kMillisecond);

}  // namespace
