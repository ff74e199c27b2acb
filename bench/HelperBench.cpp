// One request's round trip to the helper that already runs: connect to its Mach service,
// both ends check the other's signature, the request goes and its reply comes back. A
// refused energy mode measures the link alone; switching Low Power off adds the run of the
// machine's pmset.
//
// The helper accepts only a signed application, so the benchmark first puts a copy of
// itself into a signed bundle beside the built helper, in a machine folder of its own that
// trusts the signing key, and runs that copy.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <signal.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/CodeSigning.h"
#include "platform/MainBundle.h"
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
