// The application in a process of its own, on Qt's offscreen platform or on a virtual X
// display, with a machine, user folders and a runtime folder of the test's own, in the test's
// own world (its home, environment, session bus and view of the processes); other
// processes reach it as a second start and as the simulated Shortcuts command do.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "app/analysis/AppLedger.h"
#include "app/model/DefaultsKeys.h"
#include "app/readings/HealthTrend.h"
#include "app/readings/HistoryStore.h"
#include "app/shell/PictureAverageCache.h"
#include "app/shell/Handoff.h"
#include "platform/InstanceSocket.h"
#include "platform/ProcessKernel.h"
#include "platform/ServiceManagement.h"
#include "shared/NorvaneShared.h"
#include "platform/ChildProcess.h"
#include "platform/Process.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "platform/XpcSocket.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/OwnWorld.h"
#include "tests/support/TempMachine.h"
#include "tests/support/Xvfb.h"

namespace norvane {
namespace {

const std::string program = NORVANE_EXECUTABLE;

class RunningApplication : public ::testing::Test {
protected:
    testing::TempMachine temp;
    testing::TempFolder home;
    std::optional<ChildProcess> app;

    void SetUp() override { launch(std::nullopt); }
    // Starts the application on the X display given, else on Qt's offscreen platform.
    void launch(const std::optional<std::string>& display) {
        if (const auto why = testing::sharedProcesses()) GTEST_SKIP() << *why;
        for (const char* file : {"ioreg/AppleSmartBattery.plist", "PowerUI/SmartChargeClient.json",
                                 "System/Library/CoreServices/SystemVersion.plist"})
            temp.write(file, readFile(Machine::templateFolder() / file).value_or(""));
        const Path runtime = home / "run";
        std::filesystem::create_directories(runtime);
        ::chmod(runtime.c_str(), 0700);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", display ? "xcb" : "offscreen", 1);
        ::setenv("NORVANE_SIM_FAST", "1", 1);
        // No hot key or click of this desktop is taken.
        if (display) ::setenv("DISPLAY", display->c_str(), 1);
        else ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        app = ChildProcess::start(temp.machine(), program, {"--update-source", testing::LoopbackServer::refusedUrl()});
        ASSERT_TRUE(app);
        // It is ready once it answers an action.
        ASSERT_TRUE(eventually([&] { return shortcuts({"run", "Get Battery Level"}).exitCode == 0; }));
    }
    void TearDown() override {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR",
                                 "QT_QPA_PLATFORM", "NORVANE_SIM_FAST", "DISPLAY"})
            ::unsetenv(name);
    }

    ProcessOutput run(const std::string& path, const std::vector<std::string>& arguments) const {
        return SystemProcessRunner(temp.machine()).run(path, arguments, ErrorOutput::merge);
    }
    ProcessOutput shortcuts(const std::vector<std::string>& arguments) const {
        return run((temp.root() / "usr/bin/shortcuts").string(), arguments);
    }
    // Generous, for a loaded machine: the condition is looked at until it holds.
    static bool eventually(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return condition();
    }
    // The assertions the file holds for the application, as written: one it released is gone,
    // while one of a process that died stays in the file (readers skip it).
    bool fileHoldsAssertionOfApp() const {
        const auto byProcess = readJsonObject(temp.root() / "power/assertions.json");
        return byProcess && byProcess->find(std::to_string(app->pid()));
    }
    bool awakeAgentsStored() const {
        return UserDefaults(home / "config/app.norvane.Norvane.plist").boolean(keys::awakeAgents);
    }
    // SIGTERM, as a logout sends it: the application quits normally.
    void quit() {
        ASSERT_EQ(::kill(app->pid(), SIGTERM), 0);
        ASSERT_TRUE(app->wait(60));
        EXPECT_EQ(app->exitCode(), 0);
    }
};

TEST_F(RunningApplication, RunsTheActionsOfTheShortcutsCommand) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"run", "Get Battery Level"}, "72\n"},
        {{"run", "Set Charge Limit", "--input", R"({"percent": 101})"},
         "Error: Percent must be a whole number from 80 to 100.\n"},
        {{"run", "Get Battery Percentage"}, "Error: There is no action called \"Get Battery Percentage\".\n"},
        {{"run", "Set Charge Limit", "--input", R"({"percent": 87})"}, ""},
    };
    for (const auto& [arguments, output] : runs) {
        const auto out = shortcuts(arguments);
        EXPECT_EQ(out.output, output);
        EXPECT_EQ(out.exitCode, output.starts_with("Error") ? 1 : 0) << out.output;
    }
    // A client that ends its side of the stream right after its request, as `nc -N` does.
    const auto folder = SocketFolder::at(home / "run");
    const int fd = folder ? connectToService(*folder, "norvane.sock") : -1;
    ASSERT_TRUE(writeFrame(fd, Value::dictionary({{"intent", Value::string("Get Battery Level")}})));
    ::shutdown(fd, SHUT_WR);
    EXPECT_EQ(readFrame(fd), Value::dictionary({{"result", Value::integer(72)}}));
    ::close(fd);
    // 87 asks for 85, which the charge-limit service then holds.
    EXPECT_TRUE(eventually([&] {
        const auto service = readJsonObject(temp.root() / "PowerUI/SmartChargeClient.json");
        return service && service->find("limit") && *service->find("limit") == Value::integer(85) &&
               *service->find("enabled") == Value::boolean(true);
    }));
}

// A flood of hand-offs, some of 64 KiB (thousands of URLs each): each opens at most 16 URLs,
// and one that would take the commands waiting beyond their bound is refused, as a second
// start then may say; the Shortcuts command sent meanwhile is answered, and a URL handed over
// after the flood takes effect (it used to wait behind every URL of the flood).
TEST_F(RunningApplication, AFloodOfHandOffsIsBoundedAndAUrlAfterItTakesEffect) {
    const std::string busy = "Norvane is busy with earlier URLs, so these were not opened; try again in a moment.";
    const std::string tooMany = "Norvane opens at most 16 URLs at a time, so the last 2324 were not opened.";
    const Value wide = handoffRequest(OpenUrls{std::vector<std::string>(2340, "norvane://awake/off")});
    ASSERT_LE(writeJson(wide)->size(), maximumInstanceMessage);
    const Value full = handoffRequest(OpenUrls{std::vector<std::string>(16, "norvane://awake/off")});
    std::atomic<bool> stop = false;
    std::atomic<int> refused = 0, unexpected = 0;
    std::vector<std::thread> flood;
    for (int i = 0; i < 16; ++i)
        flood.emplace_back([&, first = true]() mutable {
            while (!stop) {
                const auto reply = askInstance(home / "run/norvane.sock", first ? wide : full, 60);
                if (reply.value == errorReply(busy)) ++refused;
                else if (reply.value != answerReply(Value()) && reply.value != errorReply(tooMany)) ++unexpected;
                first = false;
            }
        });
    const auto level = shortcuts({"run", "Get Battery Level"});
    // A second start meanwhile says the busy words, or opens its URL where it found room: how
    // often each happens is the machine's timing, so a few starts are looked at once the flood
    // has been turned away.
    int secondStarts = 0, secondRefused = 0;
    std::vector<std::string> secondOutputs;
    const bool looked = eventually([&] {
        const auto second = run(program, {"norvane://awake?minutes=30"});
        ++secondStarts;
        if (second.exitCode == 1 && second.output == "Norvane: " + busy + "\n") ++secondRefused;
        else if (second.exitCode != 0 || !second.output.empty()) secondOutputs.push_back(second.output);
        return refused > 0 && (secondRefused > 0 || secondStarts >= 3);
    });
    stop = true;
    for (auto& thread : flood) thread.join();
    EXPECT_EQ(level.output, "72\n");
    EXPECT_TRUE(looked);
    EXPECT_EQ(secondOutputs, std::vector<std::string>());
    EXPECT_EQ(unexpected, 0);
    // The flood's last commands are done or dropped within moments; then a start is heard.
    EXPECT_TRUE(eventually([&] { return run(program, {"norvane://awake?minutes=30"}).exitCode == 0; }));
    EXPECT_TRUE(eventually([&] { return fileHoldsAssertionOfApp(); }));
}

// Low Power switched on outside the application, and at once asked off through Shortcuts or
// a URL, before the model's tick has read the change: the request asks for the state wanted,
// not for the opposite of the model's stale reading.
// Without the welcome tour, whose check of a helper that becomes ready re-applies the mode
// it read a moment before.
class RunningAfterTheTour : public RunningApplication {
protected:
    void SetUp() override {
        std::filesystem::create_directories(home / "config");
        UserDefaults(home / "config/app.norvane.Norvane.plist").set("onboardingDone", Value::boolean(true));
        launch(std::nullopt);
    }
};

TEST_F(RunningAfterTheTour, LowPowerAskedForOutsideIsTheStateWantedWhateverTheModelLastRead) {
    if (std::string(NORVANE_SIGNING_TEAM).empty()) GTEST_SKIP() << "the build is signed ad hoc: no helper runs";
    temp.write("pmset/settings.json", R"({"AC Power":{"lowpowermode":0},"Battery Power":{"lowpowermode":0}})");
    const Path bundle = Path(program).parent_path().parent_path().parent_path();
    ASSERT_EQ(MachineServiceManagement(temp.machine(), bundle).daemon(std::string(helperPlist))->registerService(),
              std::nullopt);
    const auto lowPower = [&] {
        const auto all = readJsonObject(temp.root() / "pmset/settings.json");
        const Value* battery = all ? all->find("Battery Power") : nullptr;
        const Value* on = battery ? battery->find("lowpowermode") : nullptr;
        return on && *on == Value::integer(1);
    };
    const std::vector<std::function<ProcessOutput()>> askedOff = {
        [&] { return shortcuts({"run", "Set Low Power Mode", "--input", R"({"on": false})"}); },
        [&] { return run(program, {"norvane://low-power/off"}); },
    };
    for (const auto& ask : askedOff) {
        const auto outside = run("/usr/bin/pmset", {"-b", "lowpowermode", "1"});
        ASSERT_EQ(outside.exitCode, 0) << outside.output;
        ASSERT_TRUE(lowPower());
        const auto asked = ask();
        EXPECT_EQ(asked.exitCode, 0);
        EXPECT_TRUE(eventually([&] { return !lowPower(); })) << asked.output;
    }
    if (const auto helper = machServiceListener(temp.machine(), helperBundleID)) {
        ::kill(*helper, SIGTERM);
        waitForProcessEnd(*helper, 10);
    }
}

TEST_F(RunningApplication, ASecondStartHandsItsUrlAndSigtermReleasesTheAssertion) {
    const auto second = run(program, {"norvane://awake?minutes=30"});
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(second.output, "");
    ASSERT_TRUE(eventually([&] { return fileHoldsAssertionOfApp(); }));
    quit();
    EXPECT_FALSE(fileHoldsAssertionOfApp());
}

TEST_F(RunningApplication, SigtermClearsAgentWatchingAsAQuitDoes) {
    ASSERT_EQ(run(program, {"norvane://awake?mode=agents"}).exitCode, 0);
    ASSERT_TRUE(eventually([&] { return awakeAgentsStored(); }));
    quit();
    EXPECT_FALSE(awakeAgentsStored());
    EXPECT_FALSE(fileHoldsAssertionOfApp());
}

// What a user's folder may hold at the place of a file the application reads at its start: a
// named pipe (a reader opened the usual way waits for a writer), a sparse file that claims
// 64 GiB, a folder, a link leading nowhere.
struct UnfitFile {
    const char* what;
    void (*make)(const Path& file);
};
const UnfitFile unfitFiles[] = {
    {"a named pipe", [](const Path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
    {"a sparse file of 64 GiB",
     [](const Path& file) {
         ASSERT_TRUE(writeFileAtomically(file, "{"));
         ASSERT_EQ(::truncate(file.c_str(), std::int64_t{64} << 30), 0);
     }},
    {"a folder", [](const Path& file) { ASSERT_TRUE(createDirectories(file / "inside")); }},
    {"a link leading nowhere", [](const Path& file) { std::filesystem::create_symlink("nowhere", file); }},
};

bool present(const Path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Each state file in each unfit state: read without waiting or taking it whole, it gives what a
// missing one gives; the state files and the preferences are moved aside, the picture's cache
// (which the next keep replaces) is left; either way one line in the log tells of it.
TEST(UnfitFiles, EachStateFileIsSetAsideOrLeftWithOneLineAndReadsAsMissing) {
    struct Reader {
        const char* name;
        bool setAside;
        bool (*readsNothing)(const Path& file, const FileLog& log);
    };
    const Reader readers[] = {
        {"history.csv", true,
         [](const Path& file, const FileLog& log) {
             return HistoryStore(file, Date{1'796'724'000}, log).samples.empty();
         }},
        {"apps.json", true,
         [](const Path& file, const FileLog& log) { return AppLedger::load(file, log).days.empty(); }},
        {"health.json", true,
         [](const Path& file, const FileLog& log) { return HealthTrend::load(file, log).points.empty(); }},
        {"app.norvane.Norvane.plist", true,
         [](const Path& file, const FileLog& log) { return !UserDefaults(file, log).object("onboardingDone"); }},
        {"desktop-picture.json", false, [](const Path& file, const FileLog& log) {
             return !PictureAverageCache(file, log).find("/desktop.png", FileStamp{});
         }},
    };
    for (const auto& state : unfitFiles)
        for (const auto& reader : readers) {
            SCOPED_TRACE(std::string(reader.name) + " as " + state.what);
            testing::TempFolder folder;
            const Path file = folder / reader.name;
            state.make(file);
            std::vector<std::string> told;
            EXPECT_TRUE(reader.readsNothing(file, [&](std::string_view line) { told.emplace_back(line); }));
            ASSERT_EQ(told.size(), 1u);
            EXPECT_TRUE(told[0].starts_with("Norvane: " + file.string() + " is ")) << told[0];
            EXPECT_EQ(present(file), !reader.setAside);
            EXPECT_EQ(present(Path(file.string() + ".unreadable-1")), reader.setAside);
        }
}

// The application started beside one such file of each state and each kind comes up, sets
// them aside with a line each in the system log, keeps the picture's average again, and ends
// on SIGTERM.
class StartingBesideUnfitFiles : public RunningApplication {
protected:
    std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";

    void SetUp() override {
        ::setenv("HOME", (home / "home").c_str(), 1);
        const std::pair<const char*, int> files[] = {
            {"config/app.norvane.Norvane.plist", 0}, {"cache/Norvane/desktop-picture.json", 1},
            {"data/Norvane/health.json", 2},         {"data/Norvane/history.csv", 3},
            {"data/Norvane/apps.json", 0},
        };
        for (const auto& [file, state] : files) {
            ASSERT_TRUE(createDirectories((home / file).parent_path()));
            unfitFiles[state].make(home / file);
        }
        temp.write("pictures/desktop.png", "no image");
        temp.write("workspace/desktop.json", R"({"screens": [{"desktopPicture": "pictures/desktop.png"}]})");
        launch(std::nullopt);
    }
    void TearDown() override {
        RunningApplication::TearDown();
        ::setenv("HOME", savedHome.c_str(), 1);
    }
};

TEST_F(StartingBesideUnfitFiles, TheApplicationComesUpAndEndsOnSigterm) {
    const std::string log = readFile(temp.root() / "log/system.log").value_or("");
    for (const char* file : {"config/app.norvane.Norvane.plist", "data/Norvane/health.json",
                             "data/Norvane/history.csv", "data/Norvane/apps.json"}) {
        const Path path = home / file;
        EXPECT_TRUE(present(path.string() + ".unreadable-1")) << file;
        EXPECT_NE(log.find("Norvane: " + path.string() + " is "), std::string::npos) << log;
    }
    EXPECT_TRUE(eventually([&] {
        const auto cache = fileStamp(home / "cache/Norvane/desktop-picture.json");
        return cache && cache->size < std::int64_t{PictureAverageCache::maximumFileBytes};
    }));
    quit();
}

// On an X display without a window manager, where a click on the desktop moves no focus, and
// on the world's bus, where no status-notifier watcher takes the item from the menu-bar strip.
class OnADesktop : public RunningApplication {
protected:
    testing::Xvfb xvfb;

    void SetUp() override {
        if (!xvfb.display()) GTEST_SKIP() << "Xvfb is not installed or did not start";
        if (!testing::xdotool(*xvfb.display(), {"version"})) GTEST_SKIP() << "xdotool is not installed";
        launch(xvfb.display());
    }
    void TearDown() override {
        app.reset();  // before its display goes
        RunningApplication::TearDown();
    }
    // The application's windows on show: the menu-bar strip, and the panel while it is open.
    std::size_t windowsShown() const {
        const auto found = testing::xdotool(*xvfb.display(), {"search", "--onlyvisible", "--name", "^Norvane$"});
        return found ? static_cast<std::size_t>(std::count(found->begin(), found->end(), '\n')) : 0;
    }
};

TEST_F(OnADesktop, AClickOnTheDesktopClosesThePanel) {
    ASSERT_EQ(run(program, {"norvane://open"}).exitCode, 0);
    ASSERT_TRUE(eventually([&] { return windowsShown() == 2; }));
    ASSERT_TRUE(testing::xdotool(*xvfb.display(), {"mousemove", "100", "600", "click", "1"}));
    EXPECT_TRUE(eventually([&] { return windowsShown() == 1; }));
}

TEST(ShortcutsCommand, SaysWhenNoApplicationRunsAndRefusesOtherUsage) {
    testing::TempMachine temp;
    testing::TempFolder runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"run", "Get Battery Level"}, "Error: Norvane is not running.\n"},
        {{"run", "Set Charge Limit", "--input", "85"}, "Error: Norvane is not running.\n"},
        {{"run", "Set Charge Limit", "--input", "{percent"}, "Error: the input is not JSON.\n"},
        {{"list"}, "Error: this machine answers only: shortcuts run \"ACTION TITLE\" [--input JSON]\n"},
    };
    for (const auto& [arguments, output] : runs) {
        const auto out = SystemProcessRunner(temp.machine())
                             .run((temp.root() / "usr/bin/shortcuts").string(), arguments, ErrorOutput::merge);
        EXPECT_EQ(out.exitCode, 1);
        EXPECT_EQ(out.output, output);
    }
    ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace norvane
