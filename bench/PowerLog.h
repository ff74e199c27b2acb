#pragma once
// A made-up power-management log of `lineCount` lines, shaped as weeks of a real one: each
// night a sleep, dark wakes each followed by a maintenance sleep, a full wake; the records in
// between are assertions and notifications that the reader skips.

#include <cstdio>
#include <string>

namespace norvane::bench {

inline std::string logStamp(long long seconds) {
    const long long day = seconds / 86'400, rest = seconds % 86'400;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld +0100 ", 2026 + day / 336,
                  1 + day / 28 % 12, 1 + day % 28, rest / 3600, rest / 60 % 60, rest % 60);
    return text;
}

inline std::string powerLog(int lineCount) {
    std::string text =
        "Time stamp                Domain                Message                          Duration  Delay\n"
        "==========                ======                =======                          ========  =====\n"
        "UUID: 6F1C2B9E-4D7A-4E3B-A1C5-8B2D9E0F7A64\n";
    long long t = 0;
    int lines = 3, charge = 100;
    const auto add = [&](const std::string& line) {
        text += logStamp(t) + line + "\n";
        ++lines;
    };
    while (lines < lineCount) {
        charge = charge < 20 ? 100 : charge - 1;
        const std::string using_ = " Using BATT (Charge:" + std::to_string(charge) + "%)";
        add("Sleep               \tEntering Sleep state due to 'Clamshell Sleep':TCPKeepAlive=active" + using_ +
            " 3600 secs");
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

}  // namespace norvane::bench
