#include "app/shell/InstanceService.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/shell/Handoff.h"
#include "platform/qt/QtMainQueue.h"
#include "tests/support/TempMachine.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

// The main queue on Qt, telling when work was posted to it.
struct WatchedQueue final : MainQueue {
    QtMainQueue qt;
    std::atomic<int> posts = 0;
    void post(std::function<void()> work) override {
        qt.post(std::move(work));
        ++posts;
    }
    Task after(double seconds, std::function<void()> work, ClockKind clock) override {
        return qt.after(seconds, std::move(work), clock);
    }
    Task every(double seconds, std::function<void()> work, ClockKind clock) override {
        return qt.every(seconds, std::move(work), clock);
    }
    void background(Priority priority, std::function<std::function<void()>()> job) override {
        qt.background(priority, std::move(job));
    }
    Date now() const override { return qt.now(); }
    double continuous() const override { return qt.continuous(); }
    double uptime() const override { return qt.uptime(); }
};

class Service : public ::testing::Test {
protected:
    testing::TempFolder runtime;
    std::unique_ptr<WatchedQueue> queue;
    std::thread::id answeredOn;
    std::atomic<int> answers = 0;

    void SetUp() override {
        testing::ensureQtApplication();
        queue = std::make_unique<WatchedQueue>();
    }
    std::unique_ptr<InstanceService> listen() {
        auto service = InstanceService::listen(runtime / "norvane.sock", *queue, [this](const Value& request) {
            answeredOn = std::this_thread::get_id();
            ++answers;
            return answerReply(request);
        });
        return std::move(std::get<std::unique_ptr<InstanceService>>(service));
    }
    // Asks on a thread of its own while `whileWaiting` runs here.
    InstanceReply ask(const std::function<void(const std::atomic<bool>& done)>& whileWaiting) {
        InstanceReply reply;
        std::atomic<bool> done = false;
        std::thread asker([&] {
            reply = askInstance(runtime / "norvane.sock", Value::string("hello"), 30);
            done = true;
        });
        whileWaiting(done);
        asker.join();
        return reply;
    }
};

TEST_F(Service, ARequestIsAnsweredOnTheMainQueue) {
    auto service = listen();
    const auto reply = ask([](const std::atomic<bool>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    });
    ASSERT_EQ(reply.status, InstanceReply::Status::answered);
    EXPECT_EQ(reply.value, answerReply(Value::string("hello")));
    EXPECT_EQ(answeredOn, std::this_thread::get_id());
}

TEST_F(Service, QuittingWhileARequestWaitsAnswersItAtOnceAndNeverLater) {
    auto service = listen();
    const auto started = std::chrono::steady_clock::now();
    const auto reply = ask([&](const std::atomic<bool>&) {
        // The request waits for this thread, which ends the service instead of answering.
        while (queue->posts == 0)
            std::this_thread::yield();
        service.reset();
    });
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::duration<double>(instanceAnswerSeconds));
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, 0);
    ASSERT_EQ(reply.status, InstanceReply::Status::answered);
    EXPECT_EQ(reply.value, errorReply("Norvane is quitting."));
}

// The socket says the application did not answer in time; the work the main queue reaches
// afterwards is not done at all, so a flood of late requests costs it nothing.
TEST_F(Service, WorkReachedOnlyAfterItsAnswerWasDueIsDroppedUnrun) {
    auto service = listen();
    const auto reply = ask([](const std::atomic<bool>& done) {
        while (!done) std::this_thread::yield();  // the main queue turns only after the late reply
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, 0);
    EXPECT_EQ(reply.value, errorReply("Norvane did not answer in time."));
}

// A second start whose URL is longer than a hand-off may be says so, instead of saying the
// running copy does not answer.
TEST_F(Service, AUrlLongerThanAHandOffMayBeIsCalledTooLong) {
    auto service = listen();
    const Path path = runtime / "norvane.sock";
    const auto reply =
        askInstance(path, handoffRequest(OpenUrls{{"norvane://awake?app=/" + std::string(maximumInstanceMessage, 'a') + ".app"}}));
    EXPECT_EQ(handoffProblem(reply, path),
              "the URLs are too long to hand to the running copy (" + std::to_string(maximumInstanceMessage / 1024) +
                  " KB at most)");
    EXPECT_EQ(answers, 0);
    const std::vector<std::pair<InstanceReply, std::optional<std::string>>> others = {
        {{InstanceReply::Status::noInstance, Value()}, std::nullopt},
        {{InstanceReply::Status::failed, Value()}, "another copy runs (" + path.string() + ") but does not answer"},
        {{InstanceReply::Status::answered, errorReply("No.")}, "No."},
        {{InstanceReply::Status::answered, answerReply(Value())}, std::nullopt},
    };
    for (const auto& [other, problem] : others) EXPECT_EQ(handoffProblem(other, path), problem);
}

}  // namespace
}  // namespace norvane
