// The panel on a simulated Mac made from the template, drawn by Qt's offscreen platform:
// opening it on the Now page and on the Stats page (from the click on the item to its first
// painted frame, the panel made at launch as the application makes it), opening it once
// more with making it, and one redraw after a tick that brought a new battery reading (from
// the model's change to the painted frame). Times are wall-clock, measured around exactly
// that work. Under `valgrind --tool=callgrind --collect-atstart=no` only that work is
// counted too, so instruction counts (steadier than time on a busy machine) can stand
// beside the times; the iterations run are in `--benchmark_out`.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <chrono>
#include <filesystem>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#endif

#include "app/shell/qt/StatusPanel.h"
#include "platform/VirtualQueue.h"

using namespace norvane;

namespace {

struct NoHotkeys final : HotkeyRegistry {
    bool set(const std::optional<Hotkey>&, HotkeyAction) override { return true; }
};
struct FixedTint final : TintSource {
    Known knownTint() const override { return {wallpaperTint(), true}; }
    Color wallpaperTint() const override { return {0.86, 0.75, 0.93, 1}; }
};
// The item at the top right of a 1440 × 900 screen.
struct Item final : StatusItem {
    void show(const StatusItemLook&) override {}
    void setHighlighted(bool) override {}
    std::optional<Rect> frame() const override { return Rect{1300, 0, 80, 24}; }
    std::optional<Rect> visibleFrame() const override { return Rect{0, 24, 1440, 876}; }
};

// Whether a widget was painted since the last look.
struct PaintWatch final : QObject {
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
    // Runs Qt's events until a frame has been painted.
    void untilPainted() {
        painted = false;
        while (!painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
};

QApplication& application() {
    static int argc = 1;
    static char name[] = "panel_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

// A model of a fresh machine from the template, started and settled, and the status panel
// that the application makes at launch.
struct Bench {
    std::filesystem::path folder;
    VirtualQueue queue;
    std::unique_ptr<AppModel> model;
    PaintWatch watch;

    Bench() {
        application();
        ::setenv("NORVANE_SIM_FAST", "1", 1);  // `top` answers at once
        std::string pattern = (std::filesystem::temp_directory_path() / "norvane-panel-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder = pattern;
        Machine::createFromTemplate(folder / "machine");
        const Machine machine(folder / "machine");
        System system = System::onMachine(machine, {}, std::make_shared<FolderBundle>(folder / "Norvane.app"),
                                          std::make_shared<UserDefaults>(folder / "defaults.plist"),
                                          std::make_shared<NoHotkeys>(), std::make_shared<FixedTint>());
        system.applicationSupport = folder / "support";
        system.caches = folder / "caches";
        system.formatter = DateFormatter("en_US", "UTC");
        system.localeText = LocaleText("en_US");
        queue.announceSleepTo(system.workspaceEvents);
        model = std::make_unique<AppModel>(std::move(system), queue);
        model->start();
        queue.advance(30);  // the draws and the first sampler pass are in
        QApplication::instance()->installEventFilter(&watch);
    }
    ~Bench() {
        QApplication::instance()->removeEventFilter(&watch);
        model.reset();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    // The panel, on the page that `arguments` ask for (the Now page without any).
    std::unique_ptr<StatusPanel> panel(std::vector<std::string> arguments = {}) {
        return std::make_unique<StatusPanel>(
            *model, queue, std::make_unique<Item>(), PanelLook{Backdrop::forSystem(26), false},
            PanelContext{std::make_shared<MachineWorkspace>(Machine(folder / "machine")),
                         DateFormatter("en_US", "UTC"),
                         LocaleText("en_US"),
                         std::move(arguments)},
            false);
    }
    // Closes the panel and lets what its opening started finish, untimed.
    void close(StatusPanel& panel) {
        panel.toggle();
        queue.advance(1);  // past the guard against reopening at once
        QCoreApplication::processEvents();
    }
};

// The work of one iteration, timed and, under callgrind, counted.
class Measured {
public:
    explicit Measured(benchmark::State& state) : state_(state) { CALLGRIND_TOGGLE_COLLECT; }
    ~Measured() {
        const auto end = std::chrono::steady_clock::now();
        CALLGRIND_TOGGLE_COLLECT;
        state_.SetIterationTime(std::chrono::duration<double>(end - start_).count());
    }

private:
    benchmark::State& state_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Opens the panel made at launch, on the page the arguments ask for, and closes it again;
// once untimed first, so that every iteration (and the only one under callgrind) is alike.
void open(benchmark::State& state, std::vector<std::string> arguments) {
    Bench bench;
    const auto panel = bench.panel(std::move(arguments));
    panel->toggle();
    bench.watch.untilPainted();
    bench.close(*panel);
    for (auto _ : state) {
        {
            const Measured measured(state);
            panel->toggle();
            bench.watch.untilPainted();
        }
        bench.close(*panel);
    }
}

void BM_OpenNowPage(benchmark::State& state) { open(state, {}); }
BENCHMARK(BM_OpenNowPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly();

void BM_OpenStatsPage(benchmark::State& state) { open(state, {"--stats"}); }
BENCHMARK(BM_OpenStatsPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly();

void BM_MakeAndOpenPanel(benchmark::State& state) {
    Bench bench;
    for (auto _ : state) {
        std::unique_ptr<StatusPanel> panel;
        {
            const Measured measured(state);
            panel = bench.panel();
            panel->toggle();
            bench.watch.untilPainted();
        }
        bench.close(*panel);
    }
}
BENCHMARK(BM_MakeAndOpenPanel)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly();

void BM_RedrawAfterTick(benchmark::State& state) {
    Bench bench;
    const auto panel = bench.panel();
    panel->toggle();
    bench.watch.untilPainted();
    bench.queue.drain();  // what opening started (a sampler pass, the limit, the health) is in
    QCoreApplication::processEvents();
    const auto file = bench.folder / "machine/ioreg/AppleSmartBattery.plist";
    const std::string original = readFile(file).value_or("");
    const std::string lower = [&] {
        std::string text = original;
        const std::string from = "<key>CurrentCapacity</key>\n\t\t<integer>72</integer>";
        if (const auto at = text.find(from); at != std::string::npos)
            text.replace(at, from.size(), "<key>CurrentCapacity</key>\n\t\t<integer>71</integer>");
        return text;
    }();
    bool low = false;
    for (auto _ : state) {
        // The tick reads a new charge: the model's work, untimed.
        low = !low;
        writeFileAtomically(file, low ? lower : original);
        bench.queue.setWall(bench.queue.now() + 5);
        bench.model->tick();
        const Measured measured(state);
        bench.queue.drain();  // the views' refreshes, posted by the model's change
        bench.watch.untilPainted();
    }
}
BENCHMARK(BM_RedrawAfterTick)->UseManualTime()->Unit(benchmark::kMicrosecond)->Repetitions(5)->DisplayAggregatesOnly();

}  // namespace
