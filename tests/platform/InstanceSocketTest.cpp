#include "platform/InstanceSocket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <poll.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "platform/XpcSocket.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using Status = InstanceReply::Status;

class InstanceSocket : public ::testing::Test {
protected:
    testing::TempFolder folder;
    Path path = folder / "norvane.sock";
    std::atomic<int> heard = 0;
    const std::optional<SocketFolder> sockets = SocketFolder::at(folder.path());
    const std::optional<sockaddr_un> address = sockets ? sockets->address("norvane.sock") : std::nullopt;

    std::unique_ptr<InstanceServer> serve(uid_t user = ::geteuid(), const InstanceLimits& limits = {}) {
        auto server = InstanceServer::listen(
            path,
            [this](const Value& request, const InstanceServer::Reply& reply) {
                ++heard;
                if (request != Value::string("never")) reply(Value::array({Value::string("got"), request}));
            },
            user, limits);
        if (auto* error = std::get_if<std::string>(&server)) ADD_FAILURE() << *error;
        return std::get_if<std::unique_ptr<InstanceServer>>(&server) ? std::move(std::get<0>(server)) : nullptr;
    }
};

TEST_F(InstanceSocket, OneProcessListensAndASecondHandsItsRequestOver) {
    EXPECT_EQ(askInstance(path, Value::string("x")).status, Status::noInstance);
    // A socket left behind by an instance that ended is taken over.
    ASSERT_TRUE(address);
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&*address), sizeof *address), 0);
    ::close(stale);
    EXPECT_EQ(askInstance(path, Value::string("x")).status, Status::noInstance);
    auto server = serve();
    ASSERT_TRUE(server);
    const auto reply = askInstance(path, Value::string("norvane://awake"));
    EXPECT_EQ(reply.status, Status::answered);
    EXPECT_EQ(reply.value, Value::array({Value::string("got"), Value::string("norvane://awake")}));

    const auto second = InstanceServer::listen(path, [](const Value&, const InstanceServer::Reply&) {});
    ASSERT_TRUE(std::holds_alternative<std::string>(second));
    EXPECT_EQ(std::get<std::string>(second), "another instance listens at " + path.string());

    server.reset();
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(askInstance(path, Value::string("x")).status, Status::noInstance);
}

TEST_F(InstanceSocket, PeersOfAnotherUserAndOversizedRequestsAreNotHeard) {
    {
        const auto server = serve(::geteuid() + 1);
        ASSERT_TRUE(server);
        EXPECT_EQ(askInstance(path, Value::string("x")).status, Status::failed);
        EXPECT_EQ(heard, 0);
    }
    const auto server = serve();
    ASSERT_TRUE(server);
    EXPECT_EQ(askInstance(path, Value::string(std::string(maximumInstanceMessage, 'x'))).status, Status::tooLarge);
    EXPECT_EQ(heard, 0);
}

// Connections are served side by side: a peer that trickles its request, and more silent
// peers than the backlog holds, delay no one; each is ended after its deadline.
TEST_F(InstanceSocket, NoPeerHoldsTheSocketForTheOthers) {
    const auto server =
        serve(::geteuid(), {.requestSeconds = 1, .answerSeconds = 1, .connections = 16, .lateReply = Value::string("late")});
    ASSERT_TRUE(server);
    ASSERT_TRUE(address);
    std::vector<int> silent;
    for (int i = 0; i < 40; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);  // a full backlog refuses
        silent.push_back(fd);
    }
    std::atomic<bool> stop = false;
    std::thread trickler([&] {
        const int fd = connectToService(*sockets, "norvane.sock");
        if (::send(fd, "\0\0\xff\0", 4, MSG_NOSIGNAL) != 4) return;
        while (!stop && ::send(fd, " ", 1, MSG_NOSIGNAL) == 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::close(fd);
    });
    EXPECT_EQ(askInstance(path, Value::string("meanwhile"), 5).value, Value::array({Value::string("got"), Value::string("meanwhile")}));
    stop = true;
    trickler.join();
    EXPECT_EQ(askInstance(path, Value::string("never"), 30).value, Value::string("late"));
    // Every silent peer was let go.
    for (const int fd : silent) {
        pollfd ended{fd, POLLIN, 0};
        EXPECT_EQ(::poll(&ended, 1, 30000), 1);
        ::close(fd);
    }
    EXPECT_EQ(heard, 2);
}

// While every place for a request being answered is taken, a whole request that comes waits,
// read but not handed over, until one of them is answered.
TEST_F(InstanceSocket, AWholeRequestWaitsForAPlaceToBeAnswered) {
    std::mutex mutex;
    std::vector<InstanceServer::Reply> handed;
    const auto count = [&] {
        const std::lock_guard lock(mutex);
        return handed.size();
    };
    const auto answer = [&](std::size_t i) {
        InstanceServer::Reply reply;
        {
            const std::lock_guard lock(mutex);
            reply = handed.at(i);
        }
        reply(Value::string("done"));
    };
    auto listening = InstanceServer::listen(
        path,
        [&](const Value&, const InstanceServer::Reply& reply) {
            const std::lock_guard lock(mutex);
            handed.push_back(reply);
        },
        ::geteuid(), {.connections = 2, .lateReply = Value()});
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<InstanceServer>>(listening));
    std::vector<std::future<InstanceReply>> asking;
    for (int i = 0; i < 3; ++i)
        asking.push_back(std::async(std::launch::async, [this, i] { return askInstance(path, Value::integer(i), 30); }));
    for (int i = 0; i < 3000 && count() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(count(), 2u);
    answer(0);
    for (int i = 0; i < 3000 && count() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(count(), 3u);
    answer(1);
    answer(2);
    for (auto& reply : asking) EXPECT_EQ(reply.get().value, Value::string("done"));
}

// A flood of silent connections fills every place, and more wait in the listening queue
// between requests that have already arrived there while the server's thread was held: as the
// newcomers are taken, silent ones give way, and every request is answered.
TEST_F(InstanceSocket, AFloodOfSilentConnectionsTurnsNoArrivedRequestAway) {
    std::promise<void> holding, release;
    auto released = release.get_future().share();
    std::atomic<int> answered = 0;
    auto listening = InstanceServer::listen(path, [&](const Value& request, const InstanceServer::Reply& reply) {
        if (request == Value::string("hold")) {
            holding.set_value();
            released.wait();  // stands for the server's thread kept from its connections
        }
        ++answered;
        reply(request);
    });
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<InstanceServer>>(listening));
    ASSERT_TRUE(address);
    std::vector<int> silent;
    const auto connectSilently = [&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) ::close(fd);
        else silent.push_back(fd);
    };
    for (int i = 0; i < 80; ++i) connectSilently();
    std::thread holder([&] { askInstance(path, Value::string("hold"), 60); });
    holding.get_future().wait();
    // The listening queue holds 64: four requests, each followed by fifteen silent peers.
    std::vector<int> asking;
    for (int i = 0; i < 4; ++i) {
        asking.push_back(connectToService(*sockets, "norvane.sock"));
        ASSERT_TRUE(writeFrame(asking.back(), Value::integer(i)));
        for (int j = 0; j < 15; ++j) connectSilently();
    }
    release.set_value();
    for (int i = 0; i < 4; ++i) {
        pollfd reply{asking[static_cast<std::size_t>(i)], POLLIN, 0};
        ASSERT_EQ(::poll(&reply, 1, 30000), 1);
        EXPECT_EQ(readFrame(asking[static_cast<std::size_t>(i)]), Value::integer(i));
        ::close(asking[static_cast<std::size_t>(i)]);
    }
    holder.join();
    EXPECT_EQ(answered, 5);
    for (const int fd : silent) ::close(fd);
}

}  // namespace
}  // namespace norvane
