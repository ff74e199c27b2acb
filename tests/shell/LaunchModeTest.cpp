#include "app/shell/LaunchMode.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <set>

#include "platform/ChildProcess.h"
#include "platform/CodeSigning.h"
#include "platform/Process.h"
#include "platform/ProcessKernel.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/OwnWorld.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using Arguments = std::vector<std::string>;
const std::string program = NORVANE_EXECUTABLE;

TEST(LaunchMode, TheFirstModeInOrderWinsAndOptionsMatchWhole) {
    const std::vector<std::pair<Arguments, LaunchMode>> cases = {
        {{}, ApplicationMode{}},
        {{"--lid-guard", "123"}, LidGuardMode{123}},
        {{"--lid-guard", "-5"}, LidGuardMode{-5}},
        {{"--lid-guard", "+7", "--agents"}, LidGuardMode{7}},
        {{"--agents", "--lid-guard", "12"}, LidGuardMode{12}},
        {{"--lid-guard", "abc"}, ApplicationMode{}},
        {{"--lid-guard", "abc", "--agents"}, AgentsMode{}},
        {{"--lid-guard", "2147483648"}, ApplicationMode{}},
        {{"--lid-guard", " 1"}, ApplicationMode{}},
        {{"--lid-guard"}, ApplicationMode{}},
        {{"--lid-guard", "x", "--lid-guard", "5"}, ApplicationMode{}},  // only the first is looked at
        {{"--battery-report", "/tmp/r.html"}, BatteryReportMode{"/tmp/r.html"}},
        {{"--battery-report", "--agents"}, BatteryReportMode{"--agents"}},
        {{"--battery-report"}, ApplicationMode{}},
        {{"--agents", "--update-check"}, UpdateCheckMode{}},
        {{"--agents"}, AgentsMode{}},
        {{"--agents=x"}, ApplicationMode{}},
        {{"--Agents"}, ApplicationMode{}},
        {{"-agents"}, ApplicationMode{}},
    };
    for (const auto& [arguments, mode] : cases)
        EXPECT_EQ(launchMode(arguments), mode) << ::testing::PrintToString(arguments);
}

TEST(LaunchMode, TheUrlsOfTheSchemeAmongTheArguments) {
    EXPECT_EQ(schemeUrls({"--demo", "norvane://awake", "NORVANE://open", "norvanex://a", "https://n", "norvane:"}),
              (Arguments{"norvane://awake", "NORVANE://open", "norvane:"}));
}

TEST(AgentsReport, OneLinePerAgentInTwelveCharacters) {
    std::vector<Agent> catalogue(3);
    catalogue[0].name = "Twelve chars";
    catalogue[1].name = "Thirteen char";
    catalogue[2].name = "Ünï";
    const std::vector<AgentTree> trees{{5, "Twelve chars", 0, 0, 1}, {8, "Ünï", 0, 0, 2}, {9, "Twelve chars", 0, 0, 3}};
    EXPECT_EQ(agentsReport(catalogue, {"Twelve chars", "Thirteen char"}, trees),
              "Twelve chars installed     running: pid 5 (1 processes), pid 9 (3 processes)\n"
              "Thirteen cha installed     not running\n"
              "Ünï          not installed running: pid 8 (2 processes)\n");
    EXPECT_EQ(agentsReport({}, {}, trees), "");
}

// The built executable run as a process of its own, in the test's own world.
class NorvaneProgram : public ::testing::Test {
protected:
    testing::TempMachine temp;
    testing::TempFolder home;

    void SetUp() override {
        if (const auto why = testing::sharedProcesses()) GTEST_SKIP() << *why;
    }

    Path executable(const std::string& relative) {
        const Path file = home.write(relative, "#!/bin/sh\n");
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
        return file;
    }
};

TEST_F(NorvaneProgram, AgentsListsWhatIsInstalledInTheHomeFolderAndRunningHere) {
    executable(".local/bin/claude");
    executable(".nvm/versions/node/v22.1.0/bin/gemini");
    executable(".fnm/node-versions/v20.0.0/installation/bin/qwen");
    executable(".local/share/fnm/node-versions/v18.0.0/bin/cursor-agent");
    home.write(".npm/_npx/1a2b3c/node_modules/@deepseek-ai/dsh/package.json", "{}");
    temp.write("Applications/OpenCode.app/Contents/Info.plist",
               "<plist><dict><key>CFBundleIdentifier</key><string>ai.opencode.desktop</string></dict></plist>");
    // Impostors and things that are no command.
    executable("go/bin/goose");
    executable("homebrew/Cellar/copilot/1.0/bin/copilot");
    std::filesystem::create_directories(home / ".local/bin");
    std::filesystem::create_symlink(home / "homebrew/Cellar/copilot/1.0/bin/copilot", home / ".local/bin/copilot");
    home.write(".local/bin/codex", "not executable");
    std::filesystem::create_directories(home / ".cargo/bin/aider");
    // A running agent: a process named grok.
    std::filesystem::copy_file("/bin/sleep", home / "grok");
    auto grok = ChildProcess::start(temp.machine(), (home / "grok").string(), {"30"});
    ASSERT_TRUE(grok);

    const std::string world = std::getenv("HOME");
    ::setenv("HOME", home.path().c_str(), 1);
    const auto out = SystemProcessRunner(temp.machine()).run(program, {"--agents"});
    ::setenv("HOME", world.c_str(), 1);
    ASSERT_EQ(out.exitCode, 0) << out.error;
    const auto lines = splitNonEmpty(out.output, '\n');
    ASSERT_EQ(lines.size(), agents().size());

    const std::set<std::string> installed{"Claude Code", "Cursor", "OpenCode", "DeepSeek", "Gemini", "Qwen Code"};
    for (std::size_t i = 0; i < agents().size(); ++i) {
        const Agent& agent = agents()[i];
        const std::string_view line = lines[i];
        std::string name = agent.name;
        name.resize(12, ' ');
        EXPECT_TRUE(line.starts_with(name + " ")) << line;
        // This machine's own command folders may hold a real agent; only ours are judged.
        bool elsewhere = false;
        for (const auto& command : agent.commands)
            elsewhere =
                elsewhere || fileExists("/usr/local/bin/" + command) || fileExists("/opt/homebrew/bin/" + command);
        if (!elsewhere) {
            EXPECT_EQ(line.substr(13, 14), installed.contains(agent.name) ? "installed     " : "not installed ")
                << line;
        }
    }
    // The test's own view of the processes: grok alone runs, whatever runs on the machine.
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].ends_with(i == 12 ? "running: pid " + std::to_string(grok->pid()) + " (1 processes)"
                                               : "not running"))
            << lines[i];
}

// `Norvane --agents` run under a preload that keeps itself in every program its process runs:
// whether it ended within 5 s (it is killed then: a guard, as a loop would run on), what it
// printed, and the preload's note of each start.
struct PreloadedRun {
    bool ended = false;
    std::string output;
    std::vector<std::string> starts;
};

PreloadedRun agentsUnderKeepingPreload(const testing::TempMachine& temp, const Arguments& variables) {
    const testing::TempFolder scratch;
    const Path loads = scratch / "loads";
    Arguments environment;  // ours, but what the run sets
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view variable(*entry), name = variable.substr(0, variable.find('='));
        if (!isLoaderVariable(name) && name != "ASAN_OPTIONS") environment.emplace_back(variable);
    }
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    environment.push_back("ASAN_OPTIONS=" + std::string(sanitizer ? sanitizer : "") + ":verify_asan_link_order=0");
    environment.push_back("NORVANE_MACHINE=" + temp.root().string());
    environment.push_back("NORVANE_TEST_LOADS=" + loads.string());
    environment.push_back(std::string("LD_PRELOAD=") + NORVANE_KEEPING_PRELOAD);
    environment.insert(environment.end(), variables.begin(), variables.end());
    std::vector<char*> envp;
    for (auto& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string path = program, agents = "--agents";
    char* argv[] = {path.data(), agents.data(), nullptr};

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    PreloadedRun run;
    // A loop never ends: it is told by a third start, not by a time that a busy machine may pass.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    const auto looping = [&loads] { return splitNonEmpty(readFile(loads).value_or(""), '\n').size() > 2; };
    for (char buffer[4096];;) {
        using std::chrono::milliseconds;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || looping()) break;
        pollfd ready{out[0], POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(std::min<milliseconds::rep>(left.count(), 100)));
        if (polled == 0 || (polled < 0 && errno == EINTR)) continue;
        if (polled < 0) break;
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            run.ended = true;
            break;
        }
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    if (!run.ended) ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.ended = run.ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const std::string noted = readFile(loads).value_or("");
    for (const auto& line : splitNonEmpty(noted, '\n')) run.starts.emplace_back(line);
    return run;
}

TEST(AgentsProgram, StartsAgainWithoutTheLoadersVariablesAtMostOnce) {
    // The variables besides the preload's, and the starts it notes (with LD_LIBRARY_PATH or not).
    const std::vector<std::pair<Arguments, Arguments>> cases = {
        {{}, {"-", "-"}},                          // the preload is back at the start again: on with it
        {{"NORVANE_TEST_LOADS_HIDDEN=1"}, {"-"}},  // no variable shows: no start again
        {{"NORVANE_TEST_LOADS_HIDDEN=1", "LD_LIBRARY_PATH=/usr/local/cuda/lib64"}, {"LD_LIBRARY_PATH", "-"}},
    };
    for (const auto& [variables, starts] : cases) {
        SCOPED_TRACE(::testing::PrintToString(variables));
        testing::TempMachine temp;
        const auto run = agentsUnderKeepingPreload(temp, variables);
        EXPECT_TRUE(run.ended);
        EXPECT_EQ(splitNonEmpty(run.output, '\n').size(), agents().size());
        EXPECT_EQ(run.starts.size(), starts.size());
        if (run.starts.size() == starts.size()) {
            EXPECT_EQ(run.starts, starts);
        }
    }
}

class LidGuardProgram : public NorvaneProgram {
protected:
    const RegistryService root{"IOPMrootDomain", 0};
    MachineRegistry registry{temp.machine()};

    void SetUp() override {
        NorvaneProgram::SetUp();
        holdLidSleep();
    }
    // Lid-close sleep is held off, as the application leaves it while it holds.
    void holdLidSleep() {
        temp.write("ioreg/IOPMrootDomain.plist",
                   "<plist><dict><key>AppleClamshellCausesSleep</key><false/></dict></plist>");
    }
    bool lidSleeps() const { return registry.property(root, "AppleClamshellCausesSleep") == Value::boolean(true); }
    std::string log() const { return readFile(temp.root() / "log/system.log").value_or(""); }
    void expectLogged(const std::string& line) const { EXPECT_NE(log().find(line), std::string::npos) << log(); }
    // Runs a guard that should end by itself; gives its exit status.
    std::optional<int> guard(std::int32_t pid) {
        auto process = ChildProcess::start(temp.machine(), program, {"--lid-guard", std::to_string(pid)});
        if (!process) return std::nullopt;
        if (!process->wait(20)) ADD_FAILURE() << "the guard for pid " << pid << " did not end";
        process->terminate();
        return process->exitCode();
    }
};

TEST_F(LidGuardProgram, GivesLidCloseSleepBackWhenTheAppEnds) {
    auto app = ChildProcess::start(temp.machine(), "/bin/sh", {"-c", "exec sleep 30"});
    ASSERT_TRUE(app);
    auto guard = ChildProcess::start(temp.machine(), program, {"--lid-guard", std::to_string(app->pid())});
    ASSERT_TRUE(guard);
    EXPECT_FALSE(guard->wait(0.5));  // it watches while the app runs
    EXPECT_FALSE(lidSleeps());

    const std::int32_t pid = app->pid();
    app->terminate();
    ASSERT_TRUE(guard->wait(20));
    EXPECT_EQ(guard->exitCode(), 0);
    EXPECT_TRUE(lidSleeps());
    expectLogged("Norvane lid guard: the app (pid " + std::to_string(pid) +
                 ") is gone, lid-close sleep given back: yes");
}

TEST_F(LidGuardProgram, AnAppAlreadyGoneOrNoRealPidEndsTheGuardAtOnce) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    // 0 and -1 would name our process group and every process: never one app that runs.
    for (const std::int32_t pid : {static_cast<std::int32_t>(gone), 0, -1}) {
        holdLidSleep();
        EXPECT_EQ(guard(pid), 0) << pid;
        EXPECT_TRUE(lidSleeps()) << pid;
        expectLogged("(pid " + std::to_string(pid) + ") is gone, lid-close sleep given back: yes");
    }
    // Without a root domain nothing can be given back, and the log says so.
    std::filesystem::remove(temp.root() / "ioreg/IOPMrootDomain.plist");
    EXPECT_EQ(guard(gone), 0);
    expectLogged("lid-close sleep given back: NO");
}

TEST_F(NorvaneProgram, UpdateCheckPrintsTheRunningBuildAndWhatTheWebsiteOffers) {
    testing::LoopbackServer server;
    server.answer("/version.json", testing::LoopbackServer::Answer(200, R"({"version":"1.5","build":60})"));
    const std::string feed = server.url("/version.json");
    // A copy outside any bundle has no running build.
    const Path loose = home / "Norvane";
    std::filesystem::copy_file(program, loose);
    const std::string refused = testing::LoopbackServer::refusedUrl();
    const std::vector<std::tuple<std::string, Arguments, std::string>> cases = {
        {program, {feed, "--update-as", "57"}, "running build: 57 | website: 1.5 (60) | offered: 1.5\n"},
        {program, {feed, "--update-as", "60"}, "running build: 60 | website: 1.5 (60) | offered: nothing\n"},
        {loose.string(), {feed}, "running build: none | website: 1.5 (60) | offered: nothing\n"},
        {program, {refused, "--update-as", "57"}, "running build: 57 | website: no answer | offered: nothing\n"},
    };
    for (const auto& [executable, options, line] : cases) {
        Arguments arguments{"--update-check", "--update-source"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const auto out = SystemProcessRunner(temp.machine()).run(executable, arguments);
        EXPECT_EQ(out.exitCode, 0) << out.error;
        EXPECT_EQ(out.output, line);
    }
}

TEST_F(NorvaneProgram, TheBatteryReportIsWrittenOrTheReasonGivenWithStatusOne) {
    temp.write("ioreg/AppleSmartBattery.plist",
               readFile(Machine::templateFolder() / "ioreg/AppleSmartBattery.plist").value_or(""));
    // The model of the report reads and writes the user's folders: these are the test's.
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        ::setenv(name, home.path().c_str(), 1);
    ::setenv("NORVANE_SIM_FAST", "1", 1);  // the model's sampler runs `top`, which the process waits for
    const auto report = [&](const Path& path) {
        return SystemProcessRunner(temp.machine())
            .run(program, {"--battery-report", path.string(), "--update-source", testing::LoopbackServer::refusedUrl()},
                 ErrorOutput::merge);
    };
    const auto written = report(home / "report.html");
    const auto refused = report(home / "no such folder/report.html");
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "NORVANE_SIM_FAST"})
        ::unsetenv(name);

    EXPECT_EQ(written.exitCode, 0) << written.output;
    EXPECT_EQ(written.output, "");
    const std::string page = readFile(home / "report.html").value_or("");
    EXPECT_TRUE(page.starts_with("<!doctype html>")) << page.substr(0, 80);
    EXPECT_NE(page.find(">187<"), std::string::npos);  // the battery's cycles

    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(std::count(refused.output.begin(), refused.output.end(), '\n'), 1) << refused.output;
    EXPECT_NE(refused.output.find("could not be written to " + (home / "no such folder/report.html").string() +
                                  ": No such file or directory"),
              std::string::npos)
        << refused.output;
}

}  // namespace
}  // namespace norvane
