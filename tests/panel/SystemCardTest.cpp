#include "app/panel/SystemCard.h"
#include "app/panel/SystemRefresh.h"

#include <functional>
#include <limits>

#include "app/visuals/ChargeTone.h"
#include "platform/Text.h"
#include "platform/VirtualQueue.h"
#include "tests/panel/PanelBench.h"

namespace norvane {
namespace {

constexpr Color accent{0.2, 0.8, 0.5, 1};
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double GiB = 1024.0 * 1024 * 1024;

// A row as one line: label, value, detail, the bar's fraction, and "hot" in red.
std::string line(const SystemCard::Row& r) {
    const bool red = r.bar.color == signalRed;
    EXPECT_EQ(red, r.hot) << r.label;  // bar and value turn red together
    return r.label + " | " + r.value + " | " + r.detail.value_or("") + " | " + formatFixed(r.bar.fraction, 3) +
           (r.hot ? " | hot" : "");
}

std::vector<std::string> lines(const SystemCard& card) {
    std::vector<std::string> out;
    for (const auto& row : card.rows) out.push_back(line(row));
    return out;
}

TEST(SystemCardRows, AFullReadingAndNoReadingYet) {
    SystemReading r;
    r.cpu = 0.125, r.gpu = 0.5;
    r.memoryUsed = 11 * GiB, r.memoryTotal = 16 * GiB, r.memoryPressure = 2;
    r.diskFree = 200e9, r.diskTotal = 500e9;
    r.diskRead = 1.2e6, r.diskWritten = 35e3;
    r.networkIn = 500, r.networkOut = 0;
    r.cpuTemperature = 94.6, r.batteryTemperature = 31;
    r.fanRPM = 1234.9, r.fanMax = 5000;
    const SystemCard card = SystemCard::make(r, "Apple M3 <b>Pro</b>", accent);
    EXPECT_EQ(card.chip, "Apple M3 <b>Pro</b>");
    EXPECT_EQ(lines(card), (std::vector<std::string>{
                               "CPU load | 13% |  | 0.125",
                               "GPU load | 50% |  | 0.500",
                               "Memory | 11 GB | of 16 GB, pressure high | 0.688 | hot",
                               "Disk | 60% | 200 GB free of 500 GB | 0.600",
                               "Disk activity | 1.2 MB/s | R 1.2 MB · W 35 KB | 0.515",
                               "Network | 500 B/s | ↓ 500 B · ↑ 0 B | 0.000",
                               "CPU temperature | 95° |  | 0.923",  // rounded up, but not hot
                               "Battery | 31° |  | 0.533",
                               "Fans | 1234 rpm |  | 0.247",
                           }));
    EXPECT_EQ(card.rows[2].accessibility, "Memory 11 GB, of 16 GB, pressure high");

    const SystemCard none = SystemCard::make(std::nullopt, "", accent);
    EXPECT_EQ(lines(none), (std::vector<std::string>{"CPU load | — |  | 0.000", "Disk activity | — |  | 0.000",
                                                     "Network | — |  | 0.000"}));
    for (const auto& row : none.rows)
        EXPECT_TRUE(row.accessibility.ends_with(" not measured yet")) << row.accessibility;
}

TEST(SystemCardRows, ThresholdsScalesAndFiguresThatAreNotNumbers) {
    struct Row {
        std::function<void(SystemReading&)> set;
        std::string label;
        std::optional<std::string> line;  // none: the row is left out
    };
    const auto memory = [](std::optional<std::int64_t> level) {
        return [level](SystemReading& r) { r.memoryUsed = 4 * GiB, r.memoryTotal = 16 * GiB, r.memoryPressure = level; };
    };
    const auto disk = [](double free) { return [free](SystemReading& r) { r.diskFree = free, r.diskTotal = 1e12; }; };
    const auto fans = [](double rpm, double max) { return [=](SystemReading& r) { r.fanRPM = rpm, r.fanMax = max; }; };
    const auto network = [](std::optional<double> in, std::optional<double> out) {
        return [=](SystemReading& r) { r.networkIn = in, r.networkOut = out; };
    };
    const Row rows[] = {
        {memory(std::nullopt), "Memory", "Memory | 4.0 GB | of 16 GB | 0.250"},
        {memory(3), "Memory", "Memory | 4.0 GB | of 16 GB, pressure high | 0.250 | hot"},
        {memory(4), "Memory", "Memory | 4.0 GB | of 16 GB, pressure critical | 0.250 | hot"},
        {[](SystemReading& r) { r.memoryUsed = 1, r.memoryTotal = 0; }, "Memory", std::nullopt},
        {[](SystemReading& r) { r.memoryUsed = inf, r.memoryTotal = 16 * GiB; }, "Memory",
         "Memory | — | of 16 GB | 0.000"},
        {disk(10e9), "Disk", "Disk | 99% | 10 GB free of 1.0 TB | 0.990"},
        {disk(10e9 - 1), "Disk", "Disk | 99% | 10 GB free of 1.0 TB | 0.990 | hot"},
        {[](SystemReading& r) { r.cpuTemperature = 95.0; }, "CPU temperature", "CPU temperature | 95° |  | 0.929 | hot"},
        {[](SystemReading& r) { r.cpuTemperature = 25; }, "CPU temperature", "CPU temperature | 25° |  | 0.000"},
        {[](SystemReading& r) { r.cpuTemperature = 120; }, "CPU temperature", "CPU temperature | 120° |  | 1.000 | hot"},
        {[](SystemReading& r) { r.cpuTemperature = nan; }, "CPU temperature", "CPU temperature | — |  | 0.000"},
        {[](SystemReading& r) { r.batteryTemperature = 40.0; }, "Battery", "Battery | 40° |  | 0.833 | hot"},
        {[](SystemReading& r) { r.batteryTemperature = 39.9; }, "Battery", "Battery | 40° |  | 0.830"},
        {fans(0.5, 5000), "Fans", "Fans | Off |  | 0.000"},
        {fans(6000, 5000), "Fans", "Fans | 6000 rpm |  | 1.000"},
        {fans(1000, 0), "Fans", std::nullopt},
        {fans(nan, 5000), "Fans", "Fans | — |  | 0.000"},
        {fans(1e300, 5000), "Fans", "Fans | — |  | 1.000"},  // past any integer
        {[](SystemReading& r) { r.cpu = 1.3; }, "CPU load", "CPU load | 130% |  | 1.000"},
        {[](SystemReading& r) { r.cpu = nan; }, "CPU load", "CPU load | — |  | 0.000"},
        {[](SystemReading& r) { r.gpu = -inf; }, "GPU load", "GPU load | — |  | 0.000"},
        // The traffic bar: 1 kB/s or less empty, 1 GB/s or more full, log-scaled between.
        {network(1000, 0), "Network", "Network | 1.0 KB/s | ↓ 1.0 KB · ↑ 0 B | 0.000"},
        {network(31'622, 0), "Network", "Network | 32 KB/s | ↓ 32 KB · ↑ 0 B | 0.250"},
        {network(1e9, 0), "Network", "Network | 1.0 GB/s | ↓ 1.0 GB · ↑ 0 B | 1.000"},
        {network(4e12, 1e12), "Network", "Network | 5.0 TB/s | ↓ 4.0 TB · ↑ 1.0 TB | 1.000"},
        {network(5e5, std::nullopt), "Network", "Network | — |  | 0.000"},
        {network(nan, 5), "Network", "Network | — |  | 0.000"},
    };
    for (const auto& row : rows) {
        SystemReading reading;
        row.set(reading);
        const SystemCard card = SystemCard::make(reading, "", accent);
        std::optional<std::string> found;
        for (const auto& r : card.rows)
            if (r.label == row.label) found = line(r);
        EXPECT_EQ(found, row.line) << row.line.value_or(row.label + " left out");
    }
}

// A read that ends only when the test says so, as a slow sensor would.
struct SlowReads {
    VirtualQueue& queue;
    std::vector<double> started;  // on the continuous clock
    std::function<void()> pending;
    SystemRefresh::Read read() {
        return [this](std::function<void()> done) {
            EXPECT_FALSE(static_cast<bool>(pending)) << "two reads at once";
            started.push_back(queue.continuous());
            pending = std::move(done);
        };
    }
    void end() { std::exchange(pending, {})(); }
};

TEST(SystemCardRefresh, ReadsNeverOverlapAndWaitThreeSecondsAfterOneEnds) {
    VirtualQueue queue;
    SlowReads reads{queue, {}, {}};
    bool open = true;
    const double t0 = queue.continuous();
    auto loop = std::make_unique<SystemRefresh>(queue, [&] { return open; }, reads.read());
    loop->show();
    queue.drain();
    EXPECT_EQ(reads.started, std::vector{t0});  // at once
    queue.advance(20);                          // a slow read: none other meanwhile
    reads.end();
    queue.advance(2.9);
    EXPECT_EQ(reads.started.size(), 1u);
    queue.advance(0.1);
    EXPECT_EQ(reads.started, (std::vector{t0, t0 + 23}));
    reads.end();

    // Closed, the loop reads nothing; opened again, it reads on its next pass.
    open = false;
    queue.advance(30);
    EXPECT_EQ(reads.started.size(), 2u);
    open = true;
    queue.advance(3);
    EXPECT_EQ(reads.started.size(), 3u);

    // The page left while a read is under way: the read ends and nothing follows.
    loop->hide();
    reads.end();
    queue.advance(60);
    EXPECT_EQ(std::pair(reads.started.size(), queue.pendingTimers()), std::pair(std::size_t{3}, std::size_t{0}));
    // Shown again: at once, and twice shown is still one loop.
    loop->show();
    loop->show();
    queue.drain();
    EXPECT_EQ(reads.started.size(), 4u);
    // Shown again while its read is under way: that read goes on with the loop.
    loop->hide();
    loop->show();
    queue.drain();
    reads.end();
    queue.advance(3);
    EXPECT_EQ(reads.started.size(), 5u);
    // Gone while a read is under way: its end finds nothing.
    loop.reset();
    reads.end();
    queue.advance(60);
    EXPECT_EQ(std::pair(reads.started.size(), queue.pendingTimers()), std::pair(std::size_t{5}, std::size_t{0}));
}

using SystemCardModel = testing::PanelBench;

TEST_F(SystemCardModel, TheLoopReadsTheModelsSensors) {
    probe.panelOpen(true);
    SystemRefresh loop(bench.queue, [&] { return m.panelOpen(); }, [&](auto done) { m.refreshSystem(std::move(done)); });
    const auto cpu = [&] { return SystemCard::make(m.system(), m.chip(), accent).rows.front().value; };
    // The machine's CPU ticks: busy, then idle. The load is the change between two passes.
    bench.machine.write("proc/stat", "cpu 100 0 0 900\n");
    loop.show();
    bench.queue.drain();
    ASSERT_TRUE(m.system());
    EXPECT_EQ(cpu(), "—");
    EXPECT_EQ(bench.queue.pendingTimers(), 1u);  // the next pass
    bench.machine.write("proc/stat", "cpu 150 0 0 950\n");
    bench.queue.advance(3);
    EXPECT_EQ(cpu(), "50%");
}

}  // namespace
}  // namespace norvane
