// The application and the helper as real processes: a stand-in for the application inside
// a signed bundle asks the real helper, which launchd's stand-in starts on demand, to run
// the machine's pmset.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cstring>

#include <atomic>
#include <chrono>
#include <future>
#include <iostream>
#include <set>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/CodeSigning.h"
#include "platform/MainBundle.h"
#include "platform/Process.h"
#include "platform/ProcessKernel.h"
#include "platform/ProcessTable.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"
#include "platform/XpcListener.h"
#include "platform/XpcSocket.h"
#include "shared/NorvaneShared.h"
#include "tests/support/OwnWorld.h"
#include "tests/support/TempMachine.h"
#include "tests/support/Uprobe.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

// Seconds on a quiet machine, stretched as the journeys stretch theirs: by the load of the last
// minute per processor where that is above 1, and threefold in the sanitizers' build.
std::chrono::duration<double> stretched(double seconds) {
    double load = 0;
    cpu_set_t processors;
    if (::getloadavg(&load, 1) == 1 && ::sched_getaffinity(0, sizeof processors, &processors) == 0)
        seconds *= std::max(1.0, load / CPU_COUNT(&processors));
#ifdef __SANITIZE_ADDRESS__
    seconds *= 3;
#endif
    return std::chrono::duration<double>(seconds);
}

class HelperEndToEnd : public ::testing::Test {
protected:
    testing::TempMachine temp;
    SystemProcessRunner runner{temp.machine()};
    std::vector<std::int32_t> helpers;

    void SetUp() override {
        temp.trust("TEAMONE001");
        temp.write("ioreg/AppleSmartBattery.plist", "<plist><dict><key>ExternalConnected</key><false/></dict></plist>");
        temp.write("pmset/settings.json", R"({"AC Power":{"lowpowermode":0,"powermode":0},"Battery Power":{"lowpowermode":0,"powermode":0}})");
        temp.write("pmset/capabilities.txt", "Capabilities for Battery Power:\n highpowermode\n");  // shows powermode
        // The machine's pmset, noting each call.
        fs::remove(temp.root() / "usr/bin/pmset");
        const Path pmset = temp.write("usr/bin/pmset", "#!/bin/sh\necho \"$@\" >> \"$NORVANE_MACHINE/pmset-calls\"\nexec \"" +
                                                           (Machine::commandsFolder() / "usr/bin/pmset").string() + "\" \"$@\"\n");
        fs::permissions(pmset, fs::perms::owner_all);
    }
    void TearDown() override {
        // The helpers started on demand are not our children; end those this test started.
        for (const auto pid : helpers) {
            if (processPath(pid).starts_with(temp.root().string())) ::kill(pid, SIGTERM);
            waitForProcessEnd(pid, 10);
        }
        // A helper that a sanitizer ended left its report in the machine's log folder.
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(temp.root() / "log", error))
            if (entry.path().filename().string().starts_with("NorvaneHelper."))
                ADD_FAILURE() << "a helper ended on a sanitizer's report:\n" << readFile(entry.path()).value_or("");
        // What the helpers said of the connections they ended, for a failure seen once.
        if (HasFailure()) std::cerr << "--- the machine's system log ---\n" << systemLog();
    }
    std::string systemLog() const { return readFile(temp.root() / "log/system.log").value_or(""); }

    // A bundle with the probe as its application and `helper` as its helper, signed by the
    // signing tool for `team` ("-": ad hoc) with the key of `keys`.
    Path bundle(const std::string& name, const std::string& team,
                const std::string& helper = NORVANE_BUNDLE "/Contents/MacOS/NorvaneHelper",
                const Path& keys = testing::signingKeys()) {
        const Path app = temp.root() / name / "Norvane.app";
        fs::create_directories(app / "Contents/MacOS");
        fs::create_directories(app / "Contents/Library/LaunchDaemons");
        fs::copy_file(NORVANE_HELPER_PROBE, app / "Contents/MacOS/Norvane");
        fs::copy_file(helper, app / "Contents/MacOS/NorvaneHelper");
        fs::copy_file(NORVANE_BUNDLE "/Contents/Info.plist", app / "Contents/Info.plist");
        fs::copy_file(NORVANE_BUNDLE "/Contents/Library/LaunchDaemons/app.norvane.helper.plist",
                      app / "Contents/Library/LaunchDaemons/app.norvane.helper.plist");
        const auto signedBy = runner.run(NORVANE_CODESIGN,
                                         {"--sign", team, "--code", "Contents/MacOS/NorvaneHelper=app.norvane.helper",
                                          "--keychain", keys.string(), app.string()},
                                         ErrorOutput::merge);
        EXPECT_EQ(signedBy.exitCode, 0) << signedBy.output;
        // Its files settle before a helper looks at them, so that the digests it takes are kept: a
        // file changed within the last second is hashed anew at each check, which on a busy
        // machine can take the sanitizers' build past the app's wait for an answer.
        const auto signedAt = fs::last_write_time(app / "Contents/_CodeSignature");
        for (int i = 0; i < 100 && signedAt > fs::file_time_type::clock::now() - std::chrono::seconds(2); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return app;
    }
    // Runs the app's probe, with `variables` ("NAME=value") added to its environment alone, as
    // the user running the tests or (`ordinary`) as nobody, when the tests run as root.
    std::string probe(const Path& app, std::vector<std::string> arguments, std::vector<std::string> variables = {},
                      bool ordinary = false) {
        std::vector<std::string> command;
        if (ordinary && ::geteuid() == 0)
            command = {"--reuid=65534", "--regid=65534", "--clear-groups", "--", "/usr/bin/env"};
        command.insert(command.end(), variables.begin(), variables.end());
        command.push_back((app / "Contents/MacOS/Norvane").string());
        command.insert(command.end(), arguments.begin(), arguments.end());
        // The machine's own programs, for the tests' use.
        for (const char* program : {"/usr/bin/env", "/usr/bin/setpriv"})
            if (!fs::exists(fs::symlink_status(temp.root() / Path(program).relative_path())))
                fs::create_symlink(program, temp.root() / Path(program).relative_path());
        const std::string program = ordinary && ::geteuid() == 0 ? "/usr/bin/setpriv" : "/usr/bin/env";
        const auto out = runner.run(program, command, ErrorOutput::inherit);
        EXPECT_EQ(out.exitCode, 0) << out.error;
        return trimmed(out.output);
    }
    // The machine and its bundles become nobody's, for an ordinary user to run them.
    void giveToNobody() const {
        if (::geteuid() != 0) return;
        for (const auto& entry : fs::recursive_directory_iterator(temp.root()))
            ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0) << entry.path();
        ASSERT_EQ(::chown(temp.root().c_str(), 65534, 65534), 0);
    }
    // The variables of the attack's preloaded library, which leaves no file of its own mapped as code.
    static std::vector<std::string> evictingPreload() {
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        // The sanitizer's runtime comes second.
        return {std::string("LD_PRELOAD=") + NORVANE_EVICTING_PRELOAD,
                "ASAN_OPTIONS=" + std::string(sanitizer ? sanitizer : "") + ":verify_asan_link_order=0"};
    }
    static std::string trimmed(std::string text) {
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    Value setting(const char* source, const char* name) const {
        const auto all = parseJson(readFile(temp.root() / "pmset/settings.json").value_or(""));
        const Value* found = all ? all->find(source) : nullptr;
        found = found ? found->find(name) : nullptr;
        return found ? *found : Value();
    }
    std::string calls() const { return readFile(temp.root() / "pmset-calls").value_or(""); }
    std::optional<std::int32_t> helperPid() {
        const auto pid = machServiceListener(temp.machine(), helperBundleID);
        if (pid) helpers.push_back(*pid);
        return pid;
    }
};

TEST_F(HelperEndToEnd, TheSignedAppSwitchesTheEnergyModeThroughTheHelperStartedOnDemand) {
    const Path app = bundle("A", "TEAMONE001");
    EXPECT_EQ(probe(app, {"state"}), "notInstalled");
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"state"}), "ready");

    EXPECT_EQ(probe(app, {"low-power", "on"}), "ok");
    EXPECT_EQ(setting("Battery Power", "lowpowermode"), Value::integer(1));
    const auto pid = helperPid();
    ASSERT_TRUE(pid);
    EXPECT_EQ(processPath(*pid), (app / "Contents/MacOS/NorvaneHelper").string());
    // Started as launchd starts a daemon: nothing of the app's environment but its machine.
    EXPECT_EQ(processEnvironmentNames(*pid), (std::vector<std::string>{"NORVANE_MACHINE", "PATH"}));

    EXPECT_EQ(probe(app, {"power-mode", "2"}), "ok");
    EXPECT_EQ(setting("Battery Power", "powermode"), Value::integer(2));
    EXPECT_EQ(setting("AC Power", "powermode"), Value::integer(0));
    EXPECT_EQ(probe(app, {"power-mode", "3"}), "failed: unknown energy mode 3");
    EXPECT_EQ(probe(app, {"confirm"}), "ok");
    // A client that ends its side of the stream right after its request is answered.
    EXPECT_EQ(probe(app, {"closing-power-mode", "2"}), "answered");
    EXPECT_EQ(calls(), "-b lowpowermode 1\n-b powermode 2\n-g\n-b powermode 2\n-b powermode 2\n");
    EXPECT_EQ(helperPid(), pid);  // one helper served them all

    // A program of another team is dropped by the helper before it is heard.
    const Path other = bundle("B", "TEAMTWO002");
    EXPECT_EQ(probe(other, {"raw-power-mode", "1"}).substr(0, 7), "error: ");
    EXPECT_EQ(setting("Battery Power", "powermode"), Value::integer(2));

    // A file of the application changed after signing: it is no longer the signed app.
    fs::resize_file(app / "Contents/Info.plist", fs::file_size(app / "Contents/Info.plist") - 1);
    EXPECT_EQ(probe(app, {"raw-power-mode", "1"}).substr(0, 7), "error: ");
    EXPECT_EQ(calls(), "-b lowpowermode 1\n-b powermode 2\n-g\n-b powermode 2\n-b powermode 2\n");
}

// The attack: any program, with the built Info.plist beside it, signed by the signing tool
// in the team's name (readable from any signed bundle) but with a key of the attacker's.
TEST_F(HelperEndToEnd, AProgramSignedInTheTeamsNameWithAnotherKeyIsNotHeard) {
    const Path app = bundle("A", "TEAMONE001");
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"power-mode", "1"}), "ok");  // the helper runs
    const testing::TempFolder attackersKeys;
    const Path forged = bundle("F", "TEAMONE001", NORVANE_BUNDLE "/Contents/MacOS/NorvaneHelper", attackersKeys.path());
    EXPECT_EQ(probe(forged, {"raw-power-mode", "2"}).substr(0, 7), "error: ");
    EXPECT_EQ(setting("Battery Power", "powermode"), Value::integer(1));
    EXPECT_EQ(calls(), "-b powermode 1\n");
}

// The exec race: a program connects, sends its request and then executes the signed
// application, so that the process that sent it runs the signed code once it is looked at.
// What a process sent before its check is never heard.
TEST_F(HelperEndToEnd, AProgramThatSendsAndThenExecutesTheSignedAppIsNotHeard) {
    const Path app = bundle("A", "TEAMONE001");
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"power-mode", "1"}), "ok");  // the helper runs
    const auto race = [&] {
        return runner.run(NORVANE_EXEC_RACE, {(app / "Contents/MacOS/Norvane").string(), "wait", "300"}, ErrorOutput::merge);
    };
    for (int i = 0; i < 8; ++i) {
        auto out = race();
        // No helper listens (3): on a busy machine it may have quit meanwhile, 20 s after the last
        // request that ran pmset. A refused mode starts it again and runs none.
        if (out.exitCode == 3) {
            EXPECT_EQ(probe(app, {"power-mode", "3"}), "failed: unknown energy mode 3");
            out = race();
        }
        EXPECT_EQ(out.exitCode, 0) << out.output;
    }
    EXPECT_EQ(setting("Battery Power", "powermode"), Value::integer(1));
    EXPECT_EQ(calls(), "-b powermode 1\n");
}

// Credentials forged in namespaces of the attacker's own: its child connects and runs the
// signed app by the time its check ends (slow peers holding the workers would see to that),
// and the unsigned parent sends in the child's name. A peer in another user or pid namespace
// than the listener's is refused.
TEST_F(HelperEndToEnd, CredentialsForgedInNamespacesOfTheAttackersOwnAreRefused) {
    const Path code = fs::canonical(bundle("A", "TEAMONE001") / "Contents/MacOS/Norvane");
    struct Slow final : CodeSigning {
        RecordCodeSigning records;
        Path code;
        mutable std::atomic<bool> waited = false;
        Slow(const Machine& machine, Path code) : records(machine), code(std::move(code)) {}
        std::optional<Path> selfCode() const override { return records.selfCode(); }
        std::optional<Path> processCode(std::int32_t pid) const override { return records.processCode(pid); }
        std::optional<Value::Dictionary> signingInformation(const Path& c) const override {
            return records.signingInformation(c);
        }
        SignatureCheck checkValidity(const Path& c, std::string_view r) const override { return records.checkValidity(c, r); }
        ProcessCheck checkProcess(std::int32_t pid, std::string_view requirement, const CheckDepth& depth) const override {
            for (int i = 0; !waited.exchange(true) && i < 400 && processPath(pid) != code.string(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            return records.checkProcess(pid, requirement, depth);
        }
    } slow(temp.machine(), code);
    std::atomic<int> handled = 0;
    XpcListener listener(temp.machine(), "test.forge", slow);
    listener.setCodeSigningRequirement(signingRequirement(appBundleID, "TEAMONE001"));
    listener.setDelegate([&handled](XpcListener::Connection& connection) {
        connection.exported = [&handled](const Value&, std::function<void(Value)> reply) {
            ++handled;
            reply(Value());
            return true;
        };
        return true;
    });
    ASSERT_EQ(listener.resume(), std::nullopt);
    const auto out = runner.run(NORVANE_NAMESPACE_FORGE, {"test.forge", code.string(), "wait", "5000"}, ErrorOutput::merge);
    if (out.exitCode == 77) GTEST_SKIP() << "the kernel lets no user make namespaces: " << out.output;
    EXPECT_EQ(out.exitCode, 0) << out.output;
    EXPECT_EQ(out.output, "refused\n");
    EXPECT_EQ(handled, 0);
}

// Code put into the signed app at its start: a library preloaded from elsewhere that stays
// mapped, one that copies its payload into anonymous memory, hides its name and unmaps itself,
// or only a loader variable that could bring one. The helper refuses each.
TEST_F(HelperEndToEnd, ASignedAppWithForeignCodeOrAWayToInsertItIsNotHeard) {
    const Path app = bundle("A", "TEAMONE001");
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"power-mode", "1"}), "ok");
    // A copy, elsewhere, of a system library every C++ program loads.
    std::optional<Path> library;
    for (const auto& mapped : mappedCode(::getpid()).value_or(std::vector<MappedCode>{}))
        if (Path(mapped.path).filename() == "libstdc++.so.6" || Path(mapped.path).filename().string().starts_with("libstdc++.so.6."))
            library = mapped.path;
    ASSERT_TRUE(library);
    const Path preloaded = temp.root() / "lib/libstdc++.so.6";
    fs::create_directories(preloaded.parent_path());
    fs::copy_file(*library, preloaded);
    auto copied = evictingPreload();
    copied[0] = "LD_PRELOAD=" + preloaded.string();
    for (const auto& [what, variables] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"a copied library", copied},
             {"a library that unmaps itself", evictingPreload()},
             {"a library path", {"LD_LIBRARY_PATH=" + temp.root().string()}}})
        EXPECT_EQ(probe(app, {"raw-power-mode", "2"}, variables).substr(0, 7), "error: ") << what;
    EXPECT_EQ(setting("Battery Power", "powermode"), Value::integer(1));
    EXPECT_EQ(calls(), "-b powermode 1\n");
    // The client is told that the helper refused it, and why, as a failure of the helper: no
    // repair, and both logs say so.
    const std::string why = "it runs foreign code: a loader variable in its environment (LD_LIBRARY_PATH)";
    EXPECT_EQ(probe(app, {"power-mode", "2"}, {"LD_LIBRARY_PATH=" + temp.root().string()}),
              "failed: the helper refused this copy of Norvane: " + why);
    const std::string log = systemLog();
    EXPECT_NE(log.find("Norvane: the helper refused this copy of Norvane: " + why), std::string::npos) << log;
    EXPECT_NE(log.find("Norvane helper: refused " + (app / "Contents/MacOS/Norvane").string()), std::string::npos) << log;
    EXPECT_EQ(log.find("did not answer"), std::string::npos) << log;
}

// A function of libc as libc itself has it (not a sanitizer's stand-in of the same name).
const void* libcFunction(const char* name) {
    void* libc = ::dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
    return libc ? ::dlsym(libc, name) : nullptr;
}

// Code written into the signed app's memory, as a debugger writes it (through /proc/<pid>/mem):
// a byte of libc's code other than the file's, or a breakpoint. The app is not heard.
TEST_F(HelperEndToEnd, AnAppWhoseCodeWasWrittenInMemoryIsNotHeard) {
    const Path app = bundle("A", "TEAMONE001");
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"power-mode", "1"}), "ok");
    // A function no one calls, so the change runs nowhere.
    const auto where = testing::Uprobe::of(libcFunction("strfry"));
    ASSERT_TRUE(where);
    const auto& [library, offset] = *where;
    const auto original = readFile(library).value_or("").substr(offset, 1);
    ASSERT_EQ(original.size(), 1u);
    for (const unsigned char byte : {static_cast<unsigned char>(original[0] ^ 1), static_cast<unsigned char>(0xCC)}) {
        const Path go = temp.root() / ("go-" + std::to_string(byte));
        auto asked = std::async(std::launch::async, [&] { return probe(app, {"after", go.string(), "raw-power-mode", "2"}); });
        std::optional<std::int32_t> pid;
        for (int i = 0; i < 3000 && !pid; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
            pid = parseInt32(readFile(go.string() + ".pid").value_or(""));
        ASSERT_TRUE(pid);
        // Where the probe maps that byte of libc.
        std::optional<std::uint64_t> address;
        const std::string maps = readFile(procFile(*pid, "maps")).value_or("");
        for (const auto line : splitNonEmpty(maps, '\n')) {
            std::uint64_t start = 0, end = 0, from = 0;
            char path[4096] = {};
            if (std::sscanf(std::string(line).c_str(), "%lx-%lx %*s %lx %*s %*s %4095s", &start, &end, &from, path) == 4 &&
                library == path && offset >= from && offset - from < end - start)
                address = start + (offset - from);
        }
        ASSERT_TRUE(address);
        const int memory = ::open(procFile(*pid, "mem").c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(memory, 0);
        EXPECT_EQ(::pwrite(memory, &byte, 1, static_cast<off_t>(*address)), 1);
        ::close(memory);
        ASSERT_TRUE(writeFileAtomically(go, ""));
        // Refused for what was written, wherever the helper may read the app's memory.
        const std::string answer = asked.get();
        EXPECT_EQ(answer.substr(0, 7), "error: ") << std::hex << int(byte);
        EXPECT_NE(answer.find("it runs foreign code: code written in memory (" + library.string() + ")"), std::string::npos)
            << answer;
    }
    EXPECT_EQ(calls(), "-b powermode 1\n");
}

// A tracing tool's probe on libc: the kernel writes a breakpoint into a copy of that code page in
// every process that maps libc. That is no code of the app's or anyone's, and the app is heard.
TEST_F(HelperEndToEnd, ABreakpointTheKernelPlacedInLibcIsNoForeignCode) {
    const auto where = testing::Uprobe::of(libcFunction("getpid"));
    ASSERT_TRUE(where);
    auto placed = testing::Uprobe::place(where->file, where->offset);
    if (const auto* why = std::get_if<std::string>(&placed)) GTEST_SKIP() << *why;
    const Path app = bundle("A", "TEAMONE001");
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"low-power", "on"}), "ok");
    EXPECT_EQ(setting("Battery Power", "lowpowermode"), Value::integer(1));
}

// An ordinary user's app cannot forbid its user's debugger without hiding from its helper, so it
// stays open to the helper: the helper hears it, and refuses it with code put into it.
TEST_F(HelperEndToEnd, AnOrdinaryUsersAppIsHeardAndRefusedWithForeignCode) {
    if (const auto why = ::geteuid() == 0 ? testing::cannotBecomeNobody() : std::nullopt) GTEST_SKIP() << *why;
    const Path app = bundle("A", "TEAMONE001");
    giveToNobody();
    EXPECT_EQ(probe(app, {"install"}, {}, true), "ok");
    EXPECT_EQ(probe(app, {"power-mode", "1"}, {}, true), "ok");
    const auto pid = helperPid();
    ASSERT_TRUE(pid);
    struct stat helper {};
    ASSERT_EQ(::stat(("/proc/" + std::to_string(*pid)).c_str(), &helper), 0);
    EXPECT_EQ(helper.st_uid, ::geteuid() == 0 ? 65534u : ::geteuid());
    EXPECT_EQ(probe(app, {"raw-power-mode", "2"}, evictingPreload(), true).substr(0, 7), "error: ");
    EXPECT_EQ(probe(app, {"power-mode", "0"}, {}, true), "ok");
    EXPECT_EQ(calls(), "-b powermode 1\n-b powermode 0\n");
}

// A sealed file changed through a shared mapping, whose descriptor is closed at once: once the
// mapping has dirtied a page, later writes into it move none of the file's times, so a digest
// kept by them would hide them.
TEST_F(HelperEndToEnd, ABundleChangedThroughASharedMappingIsNoLongerTheSignedApp) {
    const Path app = bundle("A", "TEAMONE001");
    EXPECT_EQ(probe(app, {"install"}), "ok");
    const Path plist = app / "Contents/Info.plist";
    const int fd = ::open(plist.c_str(), O_RDWR | O_CLOEXEC);
    ::fsync(fd);  // on disk first: what follows is the mapping's alone
    const auto size = static_cast<std::size_t>(fs::file_size(plist));
    auto* page = static_cast<char*>(::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    ASSERT_NE(page, MAP_FAILED);
    ::close(fd);  // the mapping alone writes from here on
    static_cast<volatile char*>(page)[0] = page[0];  // dirtied, unchanged: the times move now, and not again
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    // A refused mode: the checks are all that runs.
    EXPECT_EQ(probe(app, {"raw-power-mode", "3"}), "failed: unknown energy mode 3");
    char* line = static_cast<char*>(std::memchr(page, '\n', size));
    ASSERT_TRUE(line);
    *line = ' ';  // still the same plist, but not the sealed file
    EXPECT_EQ(probe(app, {"raw-power-mode", "3"}).substr(0, 7), "error: ");
    ::munmap(page, size);
}

// Peers whose bundles hold a FIFO or a sparse 64 GiB file as their signature record: four
// of the first would park every worker for good, the second would end the helper when read
// whole. Each is refused at once; the helper lives on and answers the signed app meanwhile.
TEST_F(HelperEndToEnd, RecordsThatAreFifosOrHugeNeitherStallNorEndTheHelper) {
    // The peers' bundles are made before the helper starts: on a busy machine making them can
    // outlast its idle time, and a helper that quit idle is no helper that a peer ended.
    const Path app = bundle("A", "TEAMONE001");
    const Path fifo = bundle("F", "TEAMONE001"), huge = bundle("H", "TEAMONE001");
    fs::remove(fifo / signatureRecordPath);
    ASSERT_EQ(::mkfifo((fifo / signatureRecordPath).c_str(), 0600), 0);
    fs::resize_file(huge / signatureRecordPath, std::uint64_t{64} << 30);
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"power-mode", "1"}), "ok");
    const auto pid = helperPid();
    std::vector<ChildProcess> peers;
    for (const Path& peer : {fifo, fifo, fifo, fifo, huge}) {
        peers.push_back(*ChildProcess::start(temp.machine(), (peer / "Contents/MacOS/Norvane").string(),
                                             {"raw-power-mode", "2"}));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(probe(app, {"power-mode", "0"}), "ok");
    for (auto& peer : peers) EXPECT_TRUE(peer.wait(20));  // each told no at once
    EXPECT_EQ(helperPid(), pid);
    EXPECT_EQ(calls(), "-b powermode 1\n-b powermode 0\n");
}

// Peers of the same user whose bundles are the app's with a sealed file grown (sparse) to fill
// the 1 GiB a check hashes at most, touched before each time they ask: each check of theirs
// must hash it.
// Those checks wait for the hashing workers, three of the four, in a short queue; the rest are
// refused at once. The app's own request, whose bundle the helper checked at its start, hashes
// nothing and is answered meanwhile. The flood is 48 peers, each with one connection at a time:
// on a busy machine their refusals lag, but with the app's they stay within the connections the
// helper holds at once (64), beyond which a new one is closed unheard, whoever it is.
TEST_F(HelperEndToEnd, AFloodOfPeersWithHugeBundlesDoesNotHoldTheAppsRequest) {
    const Path app = bundle("A", "TEAMONE001");
    // On a memory file system where there is one: reading the holes of a sparse file there fills
    // no page cache.
    struct Folder {
        Path path;
        Folder() {
            std::string pattern = ((fs::is_directory("/dev/shm") ? Path("/dev/shm") : fs::temp_directory_path()) /
                                   "norvane-flood-XXXXXX").string();
            if (::mkdtemp(pattern.data())) path = pattern;
        }
        ~Folder() {
            std::error_code error;
            fs::remove_all(path, error);
        }
    } flood;
    ASSERT_FALSE(flood.path.empty());
    fs::copy_file(app / "Contents/MacOS/Norvane", flood.path / "Norvane");
    std::uint64_t kept = 0;
    for (const auto& entry : fs::recursive_directory_iterator(app))
        if (const auto name = entry.path().filename();
            entry.is_regular_file() && name != "NorvaneHelper" && name != "CodeResources")
            kept += entry.file_size();
    std::vector<Path> copies;
    for (int i = 0; i < 48; ++i) {
        const Path copy = flood.path / std::to_string(i) / "Norvane.app";
        for (const auto& entry : fs::recursive_directory_iterator(app)) {
            const Path to = copy / entry.path().lexically_relative(app);
            if (entry.is_directory()) fs::create_directories(to);
            else if (entry.path().filename() == "Norvane") fs::create_hard_link(flood.path / "Norvane", to);
            else if (entry.path().filename() == "NorvaneHelper" && writeFileAtomically(to, ""))
                fs::resize_file(to, (std::uint64_t{1} << 30) - kept);
            else fs::copy_file(entry.path(), to);
        }
        copies.push_back(copy);
    }
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"power-mode", "1"}), "ok");
    const auto helper = helperPid();
    ASSERT_TRUE(helper);
    // How many of the flood's files the helper is reading now.
    const auto hashing = [&] {
        std::size_t open = 0;
        std::error_code error;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(*helper) + "/fd", error)) {
            const std::string target = fs::read_symlink(fd.path(), error).string();
            if (target.starts_with(flood.path.string()) && target.find("/Contents/MacOS/") != std::string::npos) ++open;
        }
        return open;
    };
    std::vector<ChildProcess> peers;
    for (const Path& copy : copies)
        peers.push_back(*ChildProcess::start(temp.machine(), (copy / "Contents/MacOS/Norvane").string(), {"flood"}));
    // Every peer has started and asked, and the helper hashes for them.
    std::set<std::int32_t> asked;
    for (int i = 0; i < 6000 && (asked.size() < peers.size() || hashing() == 0); ++i) {
        for (const auto& peer : peers) {
            std::error_code error;
            for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(peer.pid()) + "/fd", error))
                if (fs::read_symlink(fd.path(), error).string().starts_with("socket:")) asked.insert(peer.pid());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(asked.size(), peers.size());
    const auto started = std::chrono::steady_clock::now();
    auto answer = std::async(std::launch::async, [&] { return probe(app, {"power-mode", "0"}); });
    std::size_t most = 0;
    // A look at the descriptors is no snapshot: a worker that moves to its next file meanwhile
    // may be seen with both. Two looks in a row must agree on a count.
    while (answer.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        most = std::max(most, std::min(hashing(), hashing()));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, stretched(3));
    EXPECT_LE(most, 3u);   // the flood's checks hash on three workers at most
    EXPECT_GE(most, 1u);   // and did while the app asked
    EXPECT_EQ(helperPid(), helper);  // the helper under the flood answered, none started anew
    EXPECT_EQ(calls(), "-b powermode 1\n-b powermode 0\n");
}

TEST_F(HelperEndToEnd, AnUnsignedHelperRefusesToRun) {
    const Path app = bundle("C", "-");
    const auto out = runner.run((app / "Contents/MacOS/NorvaneHelper").string(), {}, ErrorOutput::merge);
    EXPECT_EQ(out.exitCode, 1);
    EXPECT_NE(systemLog().find("Norvane helper: not signed by a developer team, refusing to run"), std::string::npos);
    EXPECT_FALSE(machServiceListener(temp.machine(), helperBundleID));
}

TEST_F(HelperEndToEnd, AnIdleHelperQuitsAndTheNextRequestStartsItAgain) {
    const Path app = bundle("Q", "TEAMONE001", NORVANE_QUICK_HELPER);
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"low-power", "on"}), "ok");
    const auto first = helperPid();
    ASSERT_TRUE(first);
    EXPECT_TRUE(waitForProcessEnd(*first, stretched(20).count()));
    EXPECT_EQ(probe(app, {"low-power", "off"}), "ok");
    EXPECT_EQ(setting("Battery Power", "lowpowermode"), Value::integer(0));
    const auto second = helperPid();
    ASSERT_TRUE(second);
    EXPECT_NE(*second, *first);
}

TEST(BuiltBundle, HoldsBothProgramsSignedForTheBuildsTeam) {
    const FolderBundle bundle(NORVANE_BUNDLE);
    EXPECT_EQ(bundle.identifier(), appBundleID);
    EXPECT_EQ(bundle.executable(), "Norvane");
    EXPECT_TRUE(bundle.version() && parseInt64(*bundle.version())) << bundle.version().value_or("none");
    EXPECT_TRUE(bundle.shortVersion());
    EXPECT_EQ(FolderBundle::ofExecutable(NORVANE_BUNDLE "/Contents/MacOS/NorvaneHelper").bundlePath(), Path(NORVANE_BUNDLE));
    // A fresh machine trusts the build's own key, which signed the bundle. The sanitizers'
    // build is a quarter of a gigabyte to hash: a busy machine can take longer than a peer's
    // check may, which is not what this asks.
    const testing::TempMachine temp;
    const RecordCodeSigning signing(temp.machine(), stretched(checkDeadlineSeconds).count());
    const std::string team = NORVANE_SIGNING_TEAM;
    const auto expected = team.empty() ? SignatureCheck::requirementNotMet : SignatureCheck::valid;
    EXPECT_EQ(signing.checkValidity(NORVANE_BUNDLE "/Contents/MacOS/Norvane", signingRequirement(appBundleID, team)), expected);
    EXPECT_EQ(signing.checkValidity(NORVANE_BUNDLE "/Contents/MacOS/NorvaneHelper", signingRequirement(helperBundleID, team)),
              expected);
    const auto daemon = parsePropertyList(
        readFile(NORVANE_BUNDLE "/Contents/Library/LaunchDaemons/app.norvane.helper.plist").value_or(""));
    ASSERT_TRUE(daemon);
    EXPECT_EQ(*daemon->find("Label"), Value::string(std::string(helperBundleID)));
    EXPECT_TRUE(fileExists(Path(NORVANE_BUNDLE) / *daemon->find("BundleProgram")->asString()));
}

}  // namespace
}  // namespace norvane
