// The application and the helper as real processes: a stand-in for the application inside
// a signed bundle asks the real helper, which launchd's stand-in starts on demand, to run
// the machine's pmset.

#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cstring>

#include <atomic>
#include <chrono>
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
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

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
    }

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
        return app;
    }
    std::string probe(const Path& app, std::vector<std::string> arguments) {
        const auto out = runner.run((app / "Contents/MacOS/Norvane").string(), arguments, ErrorOutput::inherit);
        EXPECT_EQ(out.exitCode, 0) << out.error;
        return trimmed(out.output);
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
    for (int i = 0; i < 8; ++i) {
        const auto out =
            runner.run(NORVANE_EXEC_RACE, {(app / "Contents/MacOS/Norvane").string(), "wait", "300"}, ErrorOutput::merge);
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
        SignatureCheck checkProcess(std::int32_t pid, std::string_view requirement) const override {
            for (int i = 0; !waited.exchange(true) && i < 400 && processPath(pid) != code.string(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            return records.checkProcess(pid, requirement);
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

// A library preloaded into the signed app runs inside it: the helper refuses a peer that has
// mapped code from outside the system's library folders and its own bundle.
TEST_F(HelperEndToEnd, ASignedAppWithAPreloadedLibraryIsNotHeard) {
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
    const std::string sanitizer = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
    ::setenv("LD_PRELOAD", preloaded.c_str(), 1);
    ::setenv("ASAN_OPTIONS", (sanitizer + ":verify_asan_link_order=0").c_str(), 1);  // the sanitizer's runtime comes second
    const std::string answer = probe(app, {"raw-power-mode", "2"});
    ::unsetenv("LD_PRELOAD");
    ::setenv("ASAN_OPTIONS", sanitizer.c_str(), 1);
    EXPECT_EQ(answer.substr(0, 7), "error: ");
    EXPECT_EQ(setting("Battery Power", "powermode"), Value::integer(1));
    EXPECT_EQ(calls(), "-b powermode 1\n");
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
    const Path app = bundle("A", "TEAMONE001");
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"power-mode", "1"}), "ok");
    const auto pid = helperPid();
    const Path fifo = bundle("F", "TEAMONE001"), huge = bundle("H", "TEAMONE001");
    fs::remove(fifo / signatureRecordPath);
    ASSERT_EQ(::mkfifo((fifo / signatureRecordPath).c_str(), 0600), 0);
    fs::resize_file(huge / signatureRecordPath, std::uint64_t{64} << 30);
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

TEST_F(HelperEndToEnd, AnUnsignedHelperRefusesToRun) {
    const Path app = bundle("C", "-");
    const auto out = runner.run((app / "Contents/MacOS/NorvaneHelper").string(), {}, ErrorOutput::merge);
    EXPECT_EQ(out.exitCode, 1);
    EXPECT_NE(readFile(temp.root() / "log/system.log")
                  .value_or("")
                  .find("Norvane helper: not signed by a developer team, refusing to run"),
              std::string::npos);
    EXPECT_FALSE(machServiceListener(temp.machine(), helperBundleID));
}

TEST_F(HelperEndToEnd, AnIdleHelperQuitsAndTheNextRequestStartsItAgain) {
    const Path app = bundle("Q", "TEAMONE001", NORVANE_QUICK_HELPER);
    EXPECT_EQ(probe(app, {"install"}), "ok");
    EXPECT_EQ(probe(app, {"low-power", "on"}), "ok");
    const auto first = helperPid();
    ASSERT_TRUE(first);
    EXPECT_TRUE(waitForProcessEnd(*first, 20));
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
    // A fresh machine trusts the build's own key, which signed the bundle.
    const testing::TempMachine temp;
    const RecordCodeSigning signing(temp.machine());
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
