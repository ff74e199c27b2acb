#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <filesystem>
#include <future>
#include <mutex>
#include <latch>

#include "platform/ProcessKernel.h"
#include "platform/ProcessTable.h"
#include "platform/ServiceManagement.h"
#include "platform/SocketXpc.h"
#include "platform/XpcListener.h"
#include "platform/XpcSocket.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

struct Answer {
    std::optional<Value> reply;
    std::string error;
    std::optional<std::string> refusal;
};

// Sends one request and waits for its answer.
Answer request(XpcConnection& connection, Value message) {
    auto promise = std::make_shared<std::promise<Answer>>();
    auto answered = std::make_shared<std::atomic<bool>>(false);
    auto once = [promise, answered](Answer answer) {
        if (!answered->exchange(true)) promise->set_value(std::move(answer));
    };
    auto future = promise->get_future();
    connection.send(std::move(message), [once](const Value& v) { once({v, "", std::nullopt}); },
                    [once](const XpcError& e) { once({std::nullopt, e.description, e.refusal}); });
    if (future.wait_for(std::chrono::seconds(20)) != std::future_status::ready) return {std::nullopt, "no answer", std::nullopt};
    return future.get();
}

TEST(XpcFrame, CarriesJsonAndRefusesWhatIsNotAFrame) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {std::string("\0\0\0\x02{}", 6), true},
        {std::string("\0\0\0\x05{}", 6), false},          // cut short
        {std::string("\0\0\0\x02{]", 6), false},          // not JSON
        {std::string("\x00\x10\x00\x01", 4) + "x", false}, // larger than any frame may be
        {std::string("\xff\xff\xff\xff", 4), false},
    };
    for (const auto& [bytes, readable] : cases) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ASSERT_EQ(::write(fds[0], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fds[0]);
        EXPECT_EQ(readFrame(fds[1]).has_value(), readable) << ::testing::PrintToString(bytes);
        ::close(fds[1]);
    }
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    EXPECT_FALSE(writeFrame(fds[0], Value::string(std::string(maximumFrameSize, 'x'))));
    EXPECT_TRUE(writeFrame(fds[0], framed(7, Value::string("é"))));
    EXPECT_EQ(readFrame(fds[1]), framed(7, Value::string("é")));
    ::close(fds[0]);
    ::close(fds[1]);
}

std::string requirementFor(const std::string& identifier) {
    return "anchor apple generic and identifier \"" + identifier + "\" and certificate leaf[subject.OU] = \"T\"";
}
const std::string anyRequirement = requirementFor("app.norvane.Norvane");

class XpcTest : public ::testing::Test {
protected:
    testing::TempMachine temp;
    std::shared_ptr<const RecordCodeSigning> records = std::make_shared<const RecordCodeSigning>(temp.machine());
    const RecordCodeSigning& signing = *records;
    MachineXpcConnector connector{temp.machine(), records};

    std::atomic<int> handled = 0;
    std::mutex mutex;
    std::vector<XpcListener::Ended> ends;  // what the listeners' logs were told

    // What the listeners' logs were told, once `count` connections had ended unanswered (or a
    // while had passed).
    std::vector<XpcListener::Ended> logged(std::size_t count) {
        for (int i = 0; i < 2000; ++i) {
            {
                const std::lock_guard lock(mutex);
                if (ends.size() >= count) return ends;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const std::lock_guard lock(mutex);
        return ends;
    }

    // A listener in this process whose requests are counted in `handled` and echoed.
    std::unique_ptr<XpcListener> listen(const CodeSigning* checks = nullptr, const Machine* machine = nullptr) {
        auto listener =
            std::make_unique<XpcListener>(machine ? *machine : temp.machine(), "test.echo", checks ? *checks : signing);
        listener->setEndLog([this](const XpcListener::Ended& ended) {
            const std::lock_guard lock(mutex);
            ends.push_back(ended);
        });
        listener->setDelegate([this](XpcListener::Connection& connection) {
            connection.exported = [this](const Value& request, std::function<void(Value)> reply) {
                ++handled;
                reply(request);
                return request != Value::string("not of the interface");
            };
            return true;
        });
        return listener;
    }
    // The echo service, registered as the daemon of a bundle in the machine folder.
    void registerEchoService() {
        const Path bundle = temp.root() / "Echo.app";
        std::filesystem::create_directories(bundle / "Contents/MacOS");
        std::filesystem::copy_file(NORVANE_ECHO_SERVICE, bundle / "Contents/MacOS/echo");
        temp.write("Echo.app/Contents/Library/LaunchDaemons/test.echo.plist",
                   "<plist><dict><key>Label</key><string>test.echo</string><key>BundleProgram</key>"
                   "<string>Contents/MacOS/echo</string><key>MachServices</key><dict><key>test.echo</key><true/>"
                   "</dict></dict></plist>");
        ASSERT_EQ(MachineServiceManagement(temp.machine(), bundle).daemon("test.echo.plist")->registerService(),
                  std::nullopt);
    }
};

TEST_F(XpcTest, ASocketDeepInTheMachineFolderIsReachedAndRequestsAreAnsweredInTurn) {
    testing::TempFolder deep;
    const Machine machine(deep / std::string(150, 'd'));
    const auto listener = listen(nullptr, &machine);
    ASSERT_EQ(listener->resume(), std::nullopt);
    MachineXpcConnector near(machine, records);
    const auto connection = near.connectToMachService("test.echo");
    connection->resume();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(request(*connection, Value::integer(i)).reply, Value::integer(i));
    // A request the listener does not know drops the connection; what follows fails.
    EXPECT_TRUE(request(*connection, Value::string("not of the interface")).reply);
    EXPECT_NE(request(*connection, Value::integer(9)).error.find("test.echo"), std::string::npos);
    EXPECT_EQ(handled, 4);
    EXPECT_EQ(logged(1), (std::vector<XpcListener::Ended>{
                            {::getpid(), false, "it asked for something the service does not offer"}}));
}

TEST_F(XpcTest, APeerThatFailsTheRequirementIsDroppedBeforeAnythingIsRead) {
    const auto listener = listen();
    // This test program is signed by no one: it is told so, and so is the listener's log.
    listener->setCodeSigningRequirement(anyRequirement);
    ASSERT_EQ(listener->resume(), std::nullopt);
    const auto connection = connector.connectToMachService("test.echo");
    connection->resume();
    const auto answer = request(*connection, Value::integer(1));
    EXPECT_FALSE(answer.reply);
    EXPECT_EQ(answer.refusal, "it is not signed, or cannot be looked at");
    EXPECT_NE(answer.error.find("the service refused this process: it is not signed"), std::string::npos) << answer.error;
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(logged(1), (std::vector<XpcListener::Ended>{{::getpid(), true, "it is not signed, or cannot be looked at"}}));

    // The other way round: a client that requires a signed listener does not send at all.
    const auto listener2 = listen();
    ASSERT_EQ(listener2->resume(), std::nullopt);
    const auto picky = connector.connectToMachService("test.echo");
    picky->setCodeSigningRequirement(requirementFor("app.norvane.helper"));
    picky->resume();
    EXPECT_NE(request(*picky, Value::integer(1)).error.find("code signing requirement"), std::string::npos);
    EXPECT_EQ(handled, 0);
}

TEST_F(XpcTest, TheFirstConnectionStartsTheEnabledDaemonDetachedEvenOverAStaleSocket) {
    // No such service yet.
    auto none = connector.connectToMachService("test.echo");
    none->resume();
    EXPECT_NE(request(*none, Value::integer(1)).error.find("failed at lookup"), std::string::npos);

    // A socket file left by a daemon that crashed: connecting to it is refused.
    {
        const auto folder = SocketFolder::open(temp.machine());
        const auto address = folder->address("test.echo");
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address), 0);
        ::close(fd);
    }
    registerEchoService();
    // The client's environment, loader variables and all, never reaches the daemon: launchd
    // starts it with its own, in the root folder.
    const auto mapped = mappedCode(static_cast<std::int32_t>(::getpid())).value_or(std::vector<MappedCode>{});
    const auto libc = std::find_if(mapped.begin(), mapped.end(),
                                   [](const MappedCode& m) { return m.path.find("/libc.so") != std::string::npos; });
    ASSERT_NE(libc, mapped.end());
    ::setenv("LD_PRELOAD", libc->path.c_str(), 1);
    ::setenv("LD_LIBRARY_PATH", temp.root().c_str(), 1);
    ::setenv("NORVANE_CLIENT_ONLY", "1", 1);
    const auto connection = connector.connectToMachService("test.echo");
    connection->resume();
    const auto answer = request(*connection, Value::string("hello"));
    for (const char* name : {"LD_PRELOAD", "LD_LIBRARY_PATH", "NORVANE_CLIENT_ONLY"}) ::unsetenv(name);
    ASSERT_TRUE(answer.reply) << answer.error;
    EXPECT_EQ(*answer.reply->find("echo"), Value::string("hello"));
    const auto pid = static_cast<std::int32_t>(*answer.reply->find("pid")->integerValue());
    EXPECT_NE(pid, ::getpid());
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);  // not our child: nothing of ours to reap
    EXPECT_EQ(processEnvironmentNames(pid), (std::vector<std::string>{"NORVANE_MACHINE", "PATH"}));
    EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/cwd"), Path("/"));

    // A second connection finds it listening; taking the daemon's registration away ends it.
    const auto again = connector.connectToMachService("test.echo");
    again->resume();
    EXPECT_EQ(*request(*again, Value::integer(2)).reply->find("pid"), Value::integer(pid));
    EXPECT_EQ(machServiceListener(temp.machine(), "test.echo"), pid);
    EXPECT_EQ(MachineServiceManagement(temp.machine(), temp.root() / "Echo.app").daemon("test.echo.plist")->unregisterService(),
              std::nullopt);
    EXPECT_TRUE(waitForProcessEnd(pid, 10));
}

TEST_F(XpcTest, ADaemonThatEndsWithoutListeningFailsTheConnection) {
    registerEchoService();
    temp.write("Echo.app/Contents/MacOS/echo", "#!/bin/sh\nexit 1\n");
    std::filesystem::permissions(temp.root() / "Echo.app/Contents/MacOS/echo", std::filesystem::perms::owner_all);
    const auto connection = connector.connectToMachService("test.echo");
    connection->resume();
    EXPECT_NE(request(*connection, Value::integer(1)).error.find("exited without serving"), std::string::npos);
}

// A raw client of the echo service: its descriptor, or -1.
int rawConnect(const Machine& machine) {
    const auto folder = SocketFolder::open(machine);
    return folder ? connectToService(*folder, "test.echo") : -1;
}

bool saysReady(int fd) {
    const auto frame = readFrame(fd);
    return frame && frame->find("ready") && *frame->find("ready") == Value::boolean(true);
}

// Signatures that are all valid, but whose first check of a process waits until released, or
// throws when asked to.
struct GatedSigning final : CodeSigning {
    RecordCodeSigning records;
    mutable std::latch release{1};
    mutable std::atomic<int> calls = 0;
    bool throwsFirst;
    explicit GatedSigning(const Machine& machine, bool throws = false) : records(machine), throwsFirst(throws) {}
    std::optional<Path> selfCode() const override { return records.selfCode(); }
    std::optional<Path> processCode(std::int32_t pid) const override { return records.processCode(pid); }
    std::optional<Value::Dictionary> signingInformation(const Path& code) const override {
        return records.signingInformation(code);
    }
    SignatureCheck checkValidity(const Path&, std::string_view) const override { return SignatureCheck::valid; }
    ProcessCheck checkProcess(std::int32_t, std::string_view, const CheckDepth&) const override {
        if (calls++ == 0) {
            if (throwsFirst) throw std::bad_alloc();
            release.wait();
        }
        return {SignatureCheck::valid, {}};
    }
};

// Signatures whose first check finds pages to look at again, and whose second look finds them
// written; every other check is valid. Each check's depth is noted.
struct SecondLookSigning final : CodeSigning {
    mutable std::mutex mutex;
    mutable std::vector<SecondLook> looks;
    std::optional<Path> selfCode() const override { return std::nullopt; }
    std::optional<Path> processCode(std::int32_t) const override { return std::nullopt; }
    std::optional<Value::Dictionary> signingInformation(const Path&) const override { return std::nullopt; }
    SignatureCheck checkValidity(const Path&, std::string_view) const override { return SignatureCheck::valid; }
    ProcessCheck checkProcess(std::int32_t, std::string_view, const CheckDepth& depth) const override {
        const std::lock_guard lock(mutex);
        looks.push_back(depth.breakpoints);
        if (looks.size() == 1) return {SignatureCheck::unsettled, "look again"};
        if (depth.breakpoints == SecondLook::none) return {SignatureCheck::foreignCode, "it runs foreign code: written"};
        return {SignatureCheck::valid, {}};
    }
};

std::size_t threads() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

// Nothing a peer sends counts before the peer is checked and told to speak, and every
// request must come from the process that was checked: a process that sends and then
// executes the signed code, or another process given the socket, is not heard.
TEST_F(XpcTest, OnlyWhatTheCheckedProcessSendsAfterItsCheckIsHeard) {
    GatedSigning gated(temp.machine());
    const auto listener = listen(&gated);
    listener->setCodeSigningRequirement(anyRequirement);
    ASSERT_EQ(listener->resume(), std::nullopt);

    // Sent at once, before the check ends and the listener's word: thrown away unread.
    const int early = rawConnect(temp.machine());
    ASSERT_GE(early, 0);
    ASSERT_TRUE(writeFrame(early, framed(1, Value::string("early"))));
    gated.release.count_down();
    ASSERT_TRUE(saysReady(early));
    ASSERT_TRUE(writeFrame(early, framed(2, Value::string("after"))));
    EXPECT_EQ(readFrame(early), framed(2, Value::string("after")));
    EXPECT_EQ(handled, 1);
    ::close(early);

    // A child process given the checked connection.
    const int shared = rawConnect(temp.machine());
    ASSERT_TRUE(saysReady(shared));
    const pid_t child = ::fork();
    if (child == 0) _exit(writeFrame(shared, framed(3, Value::string("from the child"))) ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_FALSE(readFrame(shared));  // the connection ends unanswered
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(logged(1), (std::vector<XpcListener::Ended>{
                            {::getpid(), false,
                             "a piece of what it sent came from another process (pid " + std::to_string(child) + ")"}}));
    ::close(shared);
}

// The checks run on a bounded pool of workers, off the thread that accepts: a peer whose
// check takes long delays no one else, and held connections make no threads.
TEST_F(XpcTest, PeersAreCheckedOffTheAcceptingThreadByABoundedPool) {
    GatedSigning slow(temp.machine());
    const auto listener = listen(&slow);
    listener->setCodeSigningRequirement(anyRequirement);
    ASSERT_EQ(listener->resume(), std::nullopt);
    const std::size_t before = threads();
    const int stalled = rawConnect(temp.machine());
    ASSERT_GE(stalled, 0);
    while (slow.calls == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto connection = connector.connectToMachService("test.echo");
    connection->resume();
    EXPECT_EQ(request(*connection, Value::integer(7)).reply, Value::integer(7));

    std::vector<int> held;
    for (int i = 0; i < 300; ++i) held.push_back(rawConnect(temp.machine()));
    for (int i = 0; i < 50; ++i) EXPECT_TRUE(saysReady(held[static_cast<std::size_t>(i)])) << i;
    EXPECT_LE(threads(), before + 1);  // the connector's own thread
    slow.release.count_down();
    EXPECT_TRUE(saysReady(stalled));
    for (const int fd : held) ::close(fd);
    ::close(stalled);
}

// A check of the listener that does not end holds its connection's own thread, never the
// caller: invalidating or dropping the connection returns at once (the main queue does it).
TEST_F(XpcTest, ACheckUnderWayNeverHoldsTheOneWhoEndsTheConnection) {
    const auto listener = listen();
    ASSERT_EQ(listener->resume(), std::nullopt);
    const auto gated = std::make_shared<GatedSigning>(temp.machine());
    MachineXpcConnector picky(temp.machine(), gated);
    auto connection = picky.connectToMachService("test.echo");
    connection->setCodeSigningRequirement(anyRequirement);
    connection->resume();
    auto failed = std::make_shared<std::promise<std::string>>();
    connection->send(Value::integer(1), [](const Value&) {}, [failed](const XpcError& e) { failed->set_value(e.description); });
    while (gated->calls == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto ended = std::async(std::launch::async, [&] {
        connection->invalidate();
        connection.reset();
    });
    const bool prompt = ended.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    gated->release.count_down();
    ended.wait();
    EXPECT_TRUE(prompt);
    EXPECT_NE(failed->get_future().get().find("invalidated"), std::string::npos);
    EXPECT_EQ(handled, 0);
}

// A check that throws (a record too large to hold, say) refuses its peer; the worker lives
// on and serves the next.
TEST_F(XpcTest, ACheckThatThrowsRefusesOnlyItsPeer) {
    GatedSigning throwing(temp.machine(), true);
    const auto listener = listen(&throwing);
    listener->setCodeSigningRequirement(anyRequirement);
    listener->setLimits({.workers = 1});
    ASSERT_EQ(listener->resume(), std::nullopt);
    const int refused = rawConnect(temp.machine());
    EXPECT_FALSE(saysReady(refused));
    ::close(refused);
    const auto connection = connector.connectToMachService("test.echo");
    connection->resume();
    EXPECT_EQ(request(*connection, Value::integer(5)).reply, Value::integer(5));
    EXPECT_EQ(logged(1), (std::vector<XpcListener::Ended>{{::getpid(), false, "its check failed: std::bad_alloc"}}));
}

// A peer whose pages must be looked at again waits for it without a worker: the one worker
// checks the next peer meanwhile. The second look's finding is the reason the peer is told.
TEST_F(XpcTest, ASecondLookHoldsNoWorkerWhileItWaits) {
    SecondLookSigning looking;
    const auto listener = listen(&looking);
    listener->setCodeSigningRequirement(anyRequirement);
    listener->setLimits({.workers = 1, .secondLookSeconds = 3});
    ASSERT_EQ(listener->resume(), std::nullopt);
    const int unsettled = rawConnect(temp.machine());
    const auto looked = [&looking] {
        const std::lock_guard lock(looking.mutex);
        return !looking.looks.empty();
    };
    for (int i = 0; i < 1000 && !looked(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int next = rawConnect(temp.machine());
    EXPECT_TRUE(saysReady(next));
    const auto told = readFrame(unsettled);
    ASSERT_TRUE(told);
    EXPECT_EQ(*told->find("refused"), Value::string("it runs foreign code: written"));
    const std::lock_guard lock(looking.mutex);
    EXPECT_EQ(looking.looks, (std::vector<SecondLook>{SecondLook::later, SecondLook::later, SecondLook::none}));
    for (const int fd : {unsettled, next}) ::close(fd);
}

// Every idle worker waits for the second look that is due first; one takes it, the others wait
// on for what is due next (the sanitizers' build catches a wait that still reads the time of a
// look another worker took), and all of them serve the next peer.
TEST_F(XpcTest, ASecondLookThatManyWorkersWaitForIsTakenByOne) {
    SecondLookSigning looking;
    const auto listener = listen(&looking);
    listener->setCodeSigningRequirement(anyRequirement);
    listener->setLimits({.workers = 4, .secondLookSeconds = 0.2});
    ASSERT_EQ(listener->resume(), std::nullopt);
    for (int round = 0; round < 3; ++round) {
        {
            const std::lock_guard lock(looking.mutex);
            looking.looks.clear();  // each peer's first look finds pages to look at again
        }
        const int fd = rawConnect(temp.machine());
        const auto told = readFrame(fd);
        ::close(fd);
        ASSERT_TRUE(told && told->find("refused")) << round;
        EXPECT_EQ(*told->find("refused"), Value::string("it runs foreign code: written"));
    }
    const int next = rawConnect(temp.machine());
    EXPECT_TRUE(saysReady(next));
    ::close(next);
}

TEST_F(XpcTest, SocketsAndTheirFolderTakeTheirModesWhateverTheUmask) {
    const auto listener = listen();
    const mode_t before = ::umask(0);
    const auto error = listener->resume();
    ::umask(before);
    ASSERT_EQ(error, std::nullopt);
    struct stat folder {}, socket {};
    ASSERT_EQ(::stat(temp.machine().file("launchd/sockets").c_str(), &folder), 0);
    ASSERT_EQ(::stat(temp.machine().file("launchd/sockets/test.echo").c_str(), &socket), 0);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(socket.st_mode & 07777, 0600u);
}

// A frame trickled byte by byte, or a connection that asks nothing, is ended after its
// deadline; a frame announced too large at once.
TEST_F(XpcTest, StalledConnectionsAreEndedAfterTheirDeadlines) {
    const auto listener = listen();
    listener->setLimits({.workers = 2, .connections = 8, .frameSeconds = 1, .idleSeconds = 1, .writeSeconds = 5});
    ASSERT_EQ(listener->resume(), std::nullopt);
    EXPECT_FALSE(listener->busy());
    const int trickle = rawConnect(temp.machine()), silent = rawConnect(temp.machine()), large = rawConnect(temp.machine());
    for (const int fd : {trickle, silent, large}) ASSERT_TRUE(saysReady(fd));
    EXPECT_TRUE(listener->busy());  // silent ones too: a helper does not quit under them
    ASSERT_EQ(::write(large, "\x7f\0\0\0", 4), 4);
    EXPECT_FALSE(readFrame(large));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(::write(trickle, "\0\0\0\x64", 4), 4);  // 100 bytes to come
    bool ended = false;
    for (int i = 0; i < 600 && !ended; ++i) {
        ended = ::send(trickle, "x", 1, MSG_NOSIGNAL) != 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(ended);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_FALSE(readFrame(silent));
    EXPECT_EQ(handled, 0);
    auto why = logged(3);
    std::sort(why.begin(), why.end(), [](const auto& a, const auto& b) { return a.reason < b.reason; });
    EXPECT_EQ(why, (std::vector<XpcListener::Ended>{{::getpid(), false, "a frame of it was not whole within 1 s"},
                                                    {::getpid(), false, "it announced a frame larger than any may be"},
                                                    {::getpid(), false, "it asked nothing for 1 s"}}));
    EXPECT_FALSE(listener->busy());
    for (const int fd : {trickle, silent, large}) ::close(fd);
}

// A listener that stops while a peer is checked leaves it unanswered, and tells its log so.
TEST_F(XpcTest, AListenerThatStopsNotesThoseItLeavesUnanswered) {
    GatedSigning gated(temp.machine());
    auto listener = listen(&gated);
    listener->setCodeSigningRequirement(anyRequirement);
    ASSERT_EQ(listener->resume(), std::nullopt);
    const int checked = rawConnect(temp.machine());
    while (gated.calls == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::size_t before = threads();
    std::atomic<bool> stopping = false;
    std::thread stop([&] {
        stopping = true;
        listener.reset();
    });
    // Its listening thread has ended (the stop waits for the check), then the check ends.
    while (!stopping) std::this_thread::yield();
    for (int i = 0; i < 2000 && threads() > before; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    gated.release.count_down();
    stop.join();
    EXPECT_FALSE(saysReady(checked));
    EXPECT_EQ(logged(1), (std::vector<XpcListener::Ended>{{::getpid(), false, "the service stopped before it answered"}}));
    ::close(checked);
}

TEST(ServiceManagement, RegistrationsFollowTheBundleTheApprovalAndTheFaults) {
    testing::TempMachine temp;
    const Path bundle = temp.root() / "A.app";
    const MachineServiceManagement services(temp.machine(), bundle);
    const auto daemon = services.daemon("d.plist");
    EXPECT_EQ(daemon->status(), ServiceStatus::notFound);
    EXPECT_TRUE(daemon->registerService());  // its property list is not in the bundle

    temp.write("A.app/Contents/Library/LaunchDaemons/d.plist", "<plist><dict/></plist>");
    EXPECT_EQ(daemon->status(), ServiceStatus::notRegistered);
    EXPECT_EQ(daemon->unregisterService(), "The service is not registered.");
    temp.write("launchd/registrations.json", R"({"approvalRequired": true})");
    EXPECT_EQ(daemon->registerService(), "Operation not permitted");
    EXPECT_EQ(daemon->status(), ServiceStatus::requiresApproval);
    EXPECT_FALSE(launchJobForMachService(temp.machine(), "d"));

    // Allowed in the settings; registering again keeps it allowed.
    temp.write("launchd/registrations.json",
               R"({"approvalRequired": true, "daemons": {"d.plist": {"bundle": ")" + bundle.string() +
                   R"(", "status": "enabled"}}})");
    EXPECT_EQ(daemon->registerService(), std::nullopt);
    EXPECT_EQ(daemon->status(), ServiceStatus::enabled);

    std::promise<std::optional<std::string>> done;
    daemon->unregisterService([&done](std::optional<std::string> error) { done.set_value(error); });
    EXPECT_EQ(done.get_future().get(), std::nullopt);
    EXPECT_EQ(daemon->status(), ServiceStatus::notRegistered);

    temp.write("launchd/registrations.json", R"({"faults": {"register": "The service is broken."}})");
    EXPECT_EQ(daemon->registerService(), "The service is broken.");
    EXPECT_EQ(daemon->status(), ServiceStatus::notRegistered);
    temp.write("launchd/registrations.json", "[]");
    EXPECT_EQ(daemon->registerService(), "The registrations cannot be read.");
    EXPECT_EQ(readFile(temp.root() / "launchd/registrations.json"), "[]");

    std::filesystem::remove(temp.root() / "launchd/registrations.json");
    EXPECT_EQ(services.mainApp()->registerService(), std::nullopt);
    EXPECT_EQ(services.mainApp()->status(), ServiceStatus::enabled);
    EXPECT_EQ(MachineServiceManagement(temp.machine(), temp.root() / "bin").mainApp()->status(), ServiceStatus::notFound);
}

}  // namespace
}  // namespace norvane
