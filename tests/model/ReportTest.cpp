#include <gtest/gtest.h>

#include <filesystem>

#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

struct FixedPlace final : SavePanel {
    std::optional<Path> place;
    std::vector<std::string> offered;
    std::optional<Path> ask(const std::string& suggestedName) override {
        offered.push_back(suggestedName);
        return place;
    }
};

TEST(ModelReport, TheFactsComeFromTheModelAndTheReportGoesWhereTheUserSays) {
    ModelBench bench;
    bench.machine.write("sysctl.txt", "hw.model: Mac15,6\nmachdep.cpu.brand_string: Apple M3 Pro\n");
    bench.machine.write("System/Library/CoreServices/SystemVersion.plist",
                        "<plist><dict><key>ProductVersion</key><string>26.1.2</string></dict></plist>");
    const Path dbus = bench.machine.write("usr/bin/dbus-send", "#!/bin/sh\n");
    std::filesystem::permissions(dbus, std::filesystem::perms::owner_all);
    const auto panel = std::make_shared<FixedPlace>();
    AppModel& m = bench.start({}, [&](System& system) { system.savePanel = panel; });
    ModelProbe probe(m);
    Battery b = onBattery(50);
    b.nominal = 4800, b.design = 5000, b.cycles = 80;
    probe.battery(b);
    probe.limit(80);
    probe.health(HealthTrend{{{"2026-11-03", 4900, std::nullopt, 70}, {"2026-12-08", 4800, 96, 80}}});

    const BatteryReportFacts facts = m.batteryReportFacts();
    EXPECT_EQ(facts.mac + " | " + facts.system, "Mac15,6 \u00B7 Apple M3 Pro | macOS 26.1.2");
    EXPECT_EQ(facts.health, 96);  // the battery's own figure while the system's is unknown
    EXPECT_EQ(std::tie(facts.capacity, facts.design, facts.cycles, facts.limit), std::make_tuple(4800, 5000, 80, 80));
    EXPECT_TRUE(facts.since == "2026-11-03" && facts.months.size() == 2);

    m.saveBatteryReport();  // cancelled
    panel->place = bench.home / "missing/report.html";
    m.saveBatteryReport();
    EXPECT_EQ(m.lowPowerNote(), "The report could not be saved: No such file or directory");
    panel->place = bench.home / "report.html";
    m.saveBatteryReport();
    EXPECT_TRUE(readFile(bench.home / "report.html").value_or("").starts_with("<!doctype html>"));
    EXPECT_EQ(bench.records("workspace/selected.jsonl").size(), 1u);
    EXPECT_EQ(panel->offered, std::vector<std::string>(3, "Norvane battery report 2026-12-08.html"));
}

}  // namespace
}  // namespace norvane
