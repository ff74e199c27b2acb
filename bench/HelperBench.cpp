// One request's round trip to the helper that already runs: connect to its Mach service,
// both ends check the other's signature, the request goes and its reply comes back. A
// refused energy mode measures the link alone; switching Low Power off adds the run of the
// machine's pmset. Beside it, what peers whose code pages differ from their files cost: one
// check of such a peer (the helper's first look, which may not wait, and the second), and the
// round trip while six of them ask the helper again and again.
//
// The helper accepts only a signed application, so the benchmark first puts a copy of
// itself into a signed bundle beside the built helper, in a machine folder of its own that
// trusts the signing key, and runs that copy.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/CodeSigning.h"
#include "platform/MainBundle.h"
#include "platform/PeerCode.h"
#include "platform/ProcessKernel.h"
#include "platform/ProcessTable.h"
#include "platform/ServiceManagement.h"
#include "platform/SocketXpc.h"
#include "platform/XpcSocket.h"
#include "shared/HelperProtocol.h"
#include "shared/NorvaneShared.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;
constexpr const char* team = "BENCHTEAM1";

// One request on a new connection; false when it got no reply.
bool roundTrip(XpcConnector& xpc, bool runPmset) {
    const auto connection = xpc.connectToMachService(helperBundleID);
    connection->setCodeSigningRequirement(signingRequirement(helperBundleID, team));
    connection->resume();
    auto answer = std::make_shared<std::promise<bool>>();
    auto once = std::make_shared<std::once_flag>();
    auto settle = [answer, once](bool replied) { std::call_once(*once, [&] { answer->set_value(replied); }); };
    HelperProxy proxy(*connection, [settle](const XpcError&) { settle(false); });
    const auto reply = [settle](std::optional<std::string>) { settle(true); };
    if (runPmset) proxy.setLowPower(false, reply);
    else proxy.setPowerMode(3, reply);
    const bool replied = answer->get_future().get();
    connection->invalidate();
    return replied;
}

void BM_HelperRoundTrip(benchmark::State& state) {
    const auto machine = Machine::current();
    MachineXpcConnector xpc(*machine, std::make_shared<const RecordCodeSigning>(*machine));
    if (!roundTrip(xpc, false)) return state.SkipWithError("the helper does not answer");
    for (auto _ : state)
        if (!roundTrip(xpc, state.range(0) != 0)) return state.SkipWithError("no reply");
}
BENCHMARK(BM_HelperRoundTrip)->Arg(0)->Arg(1)->ArgName("pmset")->Unit(benchmark::kMillisecond)->UseRealTime();

// The peers: the signed program itself, started again as `peer KIND`, which makes its code
// pages differ from their files and then waits for its standard input to end. `clean` changes
// nothing; `own-file` maps a file of its own as code and puts a breakpoint into each of its
// 4,096 pages; `library` puts one into each of 100 pages of libcrypto, a system library, as a
// debugger writes (through /proc/self/mem). With `ask`, it then asks the helper again and again
// and prints how long each refusal took, and why, until its input ends.
constexpr const char* peerKinds[] = {"clean", "own-file", "library"};

bool writeBreakpoint(int memory, std::uintptr_t address) {
    const unsigned char breakpoint = 0xCC;
    return ::pwrite(memory, &breakpoint, 1, static_cast<off_t>(address)) == 1;
}

bool prepare(const std::string& kind, const Path& folder) {
    const int memory = ::open("/proc/self/mem", O_RDWR | O_CLOEXEC);
    if (memory < 0) return false;
    if (kind == "own-file") {
        const Path file = folder / ("code-" + std::to_string(::getpid()));
        if (!writeFileAtomically(file, std::string(std::size_t{4096} * 4096, '\x90'))) return false;
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        void* code = ::mmap(nullptr, std::size_t{4096} * 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (code == MAP_FAILED) return false;
        for (std::size_t page = 0; page < 4096; ++page)
            if (!writeBreakpoint(memory, reinterpret_cast<std::uintptr_t>(code) + page * 4096 + 7)) return false;
    } else if (kind == "library") {
        int written = 0;
        std::ifstream maps("/proc/self/maps");
        for (std::string line; written < 100 && std::getline(maps, line);) {
            std::istringstream fields(line);
            std::string range, perms, offset, device, inode, path;
            fields >> range >> perms >> offset >> device >> inode >> path;
            if (perms.find('x') == std::string::npos || path.find("/libcrypto.so") == std::string::npos) continue;
            const auto start = std::stoull(range.substr(0, range.find('-')), nullptr, 16);
            const auto end = std::stoull(range.substr(range.find('-') + 1), nullptr, 16);
            // Pages from the end of its code, where the functions this program calls do not lie.
            for (auto page = end - 4096; written < 100 && page > start; page -= 4096 * 5, ++written)
                if (!writeBreakpoint(memory, page + 7)) return false;
        }
        if (written < 100) return false;
    }
    ::close(memory);
    return true;
}

int runPeer(const std::string& kind, bool ask) {
    const auto machine = Machine::current();
    if (!machine || !prepare(kind, machine->root())) return 1;
    std::puts("ready");
    std::fflush(stdout);
    if (!ask) {
        char byte;
        while (::read(0, &byte, 1) > 0) {
        }
        return 0;
    }
    ::fcntl(0, F_SETFL, O_NONBLOCK);
    for (char byte; ::read(0, &byte, 1) != 0;) {
        const auto folder = SocketFolder::open(*machine);
        const auto start = std::chrono::steady_clock::now();
        const int fd = folder ? connectToService(*folder, helperBundleID) : -1;
        const auto told = fd >= 0 ? readFrame(fd) : std::nullopt;
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (fd >= 0) ::close(fd);
        const Value* refused = told ? told->find("refused") : nullptr;
        std::printf("%.1f %s\n", ms, refused && refused->isString() ? refused->asString()->c_str() : "(not refused)");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

// A peer started, prepared and waiting; ended when the object goes. Its output, once ended.
class Peer {
public:
    Peer(const std::string& kind, bool ask) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        const std::string self = processPath(::getpid());
        std::vector<std::string> words{self, "peer", kind};
        if (ask) words.emplace_back("ask");
        std::vector<char*> argv;
        for (auto& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, self.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = ::fdopen(out[0], "r");
        char line[64] = {};
        ready_ = pid_ > 0 && output_ && std::fgets(line, sizeof line, output_) && std::string(line) == "ready\n";
    }
    ~Peer() { end(); }
    bool ready() const { return ready_; }
    std::int32_t pid() const { return pid_; }
    // Ends it and gives what it printed after it was ready.
    std::vector<std::string> end() {
        std::vector<std::string> lines;
        if (input_ >= 0) ::close(input_);
        input_ = -1;
        if (output_) {
            char line[4096];
            while (std::fgets(line, sizeof line, output_)) lines.emplace_back(line);
            std::fclose(output_);
            output_ = nullptr;
        }
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return lines;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    std::FILE* output_ = nullptr;
    bool ready_ = false;
};

// One check of a peer as the helper makes it: its first look, which may not wait, or the
// second one, for which it was queued again.
void BM_PeerCheck(benchmark::State& state) {
    Peer peer(peerKinds[state.range(0)], false);
    if (!peer.ready()) return state.SkipWithError("the peer could not be prepared");
    const auto machine = Machine::current();
    const RecordCodeSigning signing(*machine);
    const std::string requirement = signingRequirement(appBundleID, team);
    const CheckDepth depth{false, state.range(1) ? SecondLook::none : SecondLook::later};
    ProcessCheck check;
    for (auto _ : state) benchmark::DoNotOptimize(check = signing.checkProcess(peer.pid(), requirement, depth));
    state.SetLabel(check.result == SignatureCheck::valid ? "valid" : check.reason);
}
BENCHMARK(BM_PeerCheck)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"peer", "second"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The app's round trip, Low Power switched by pmset, while six peers of a kind ask the helper
// again and again; their refusals' median time and reason go into the label.
void BM_HelperRoundTripBesidePeers(benchmark::State& state) {
    const auto machine = Machine::current();
    MachineXpcConnector xpc(*machine, std::make_shared<const RecordCodeSigning>(*machine));
    if (!roundTrip(xpc, false)) return state.SkipWithError("the helper does not answer");
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < 6; ++i) {
        peers.push_back(std::make_unique<Peer>(peerKinds[state.range(0)], true));
        if (!peers.back()->ready()) return state.SkipWithError("a peer could not be prepared");
    }
    double slowest = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!roundTrip(xpc, true)) return state.SkipWithError("no reply");
        slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::vector<double> refusals;
    std::string reason;
    for (auto& peer : peers)
        for (const auto& line : peer->end()) {
            refusals.push_back(std::strtod(line.c_str(), nullptr));
            reason = line.substr(line.find(' ') + 1, line.size() - line.find(' ') - 2);
        }
    std::sort(refusals.begin(), refusals.end());
    state.counters["slowest_ms"] = slowest * 1000;
    state.counters["refusals"] = static_cast<double>(refusals.size());
    state.counters["refusal_median_ms"] = refusals.empty() ? 0 : refusals[refusals.size() / 2];
    state.counters["refusal_max_ms"] = refusals.empty() ? 0 : refusals.back();
    state.SetLabel(reason);
}
BENCHMARK(BM_HelperRoundTripBesidePeers)->DenseRange(1, 2)->ArgName("peer")->Unit(benchmark::kMillisecond)->UseRealTime();

// Builds the signed bundle and its machine, runs the copy in it, and cleans up.
int runInBundle(int argc, char** argv) {
    char pattern[] = "/tmp/norvane-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const Path root = pattern;
    const Machine machine(root / "machine");
    const Path app = root / "Norvane.app";
    fs::create_directories(app / "Contents/MacOS");
    fs::create_directories(app / "Contents/Library/LaunchDaemons");
    fs::copy_file(processPath(::getpid()), app / "Contents/MacOS/Norvane");
    fs::copy_file(NORVANE_BUNDLE "/Contents/MacOS/NorvaneHelper", app / "Contents/MacOS/NorvaneHelper");
    fs::copy_file(NORVANE_BUNDLE "/Contents/Info.plist", app / "Contents/Info.plist");
    fs::copy_file(NORVANE_BUNDLE "/Contents/Library/LaunchDaemons/app.norvane.helper.plist",
                  app / "Contents/Library/LaunchDaemons/app.norvane.helper.plist");
    std::string error;
    createDirectories(machine.file("pmset"));
    createDirectories(machine.file("ioreg"));
    writeFileAtomically(machine.file("pmset/settings.json"), R"({"AC Power":{},"Battery Power":{}})");
    writeFileAtomically(machine.file("ioreg/AppleSmartBattery.plist"), "<plist><dict/></plist>");
    machine.installCommands();
    // A sealed file's digest is kept only once its times lie a second in the past.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    int status = 1;
    // The machine trusts the key that signed the copy, as every machine trusts the build's.
    const auto key = teamPublicKey(team, signingKeysFolder(), error);
    if (key && trustKey(anchorsFolder(machine), team, *key) &&
        signBundle(app, "", team, {{"Contents/MacOS/NorvaneHelper", std::string(helperBundleID)}}, error) &&
        !MachineServiceManagement(machine, app).daemon(helperPlist)->registerService()) {
        auto copy = ChildProcess::start(machine, (app / "Contents/MacOS/Norvane").string(),
                                        std::vector<std::string>(argv + 1, argv + argc));
        if (copy && copy->wait(3600)) status = copy->exitCode().value_or(1);
        if (const auto helper = machServiceListener(machine, helperBundleID)) {
            ::kill(*helper, SIGTERM);
            waitForProcessEnd(*helper, 10);
        }
    } else {
        std::fprintf(stderr, "cannot make the signed bundle: %s\n", error.c_str());
    }
    fs::remove_all(root);
    return status;
}

}  // namespace
}  // namespace norvane

int main(int argc, char** argv) {
    using namespace norvane;
    if (!FolderBundle::running().bundlePath().string().ends_with(".app")) return runInBundle(argc, argv);
    if (argc >= 3 && std::string_view(argv[1]) == "peer") return runPeer(argv[2], argc > 3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
