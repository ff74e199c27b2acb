#include "app/controls/Helper.h"

#include <gtest/gtest.h>

#include "platform/VirtualQueue.h"
#include "shared/NorvaneShared.h"
#include "tests/support/FakeHelperLink.h"

namespace norvane {
namespace {

using Outcome = std::optional<Helper::Result>;  // absent: no answer yet
using testing::Event;
using testing::FakeSigning;
using testing::FakeXpc;

// The daemon's registration: its statuses in turn (the last one stays), what registering
// answers, and when each call came.
struct FakeRegistration {
    explicit FakeRegistration(VirtualQueue& q) : queue(q) {}
    VirtualQueue& queue;
    std::vector<ServiceStatus> statuses{ServiceStatus::enabled};
    std::optional<std::string> registerError;
    std::vector<double> registrations, unregistrations;
};

struct FakeService final : AppService {
    FakeRegistration& r;
    explicit FakeService(FakeRegistration& registration) : r(registration) {}
    ServiceStatus status() const override {
        const ServiceStatus now = r.statuses.front();
        if (r.statuses.size() > 1) r.statuses.erase(r.statuses.begin());
        return now;
    }
    std::optional<std::string> registerService() override {
        r.registrations.push_back(r.queue.continuous());
        return r.registerError;
    }
    std::optional<std::string> unregisterService() override {
        r.unregistrations.push_back(r.queue.continuous());
        return "not registered";
    }
    void unregisterService(Completion done) override { done(unregisterService()); }
};

struct FakeServices final : ServiceManagement {
    FakeRegistration& r;
    explicit FakeServices(FakeRegistration& registration) : r(registration) {}
    std::unique_ptr<AppService> daemon(std::string_view plist) const override {
        EXPECT_EQ(plist, helperPlist);
        return std::make_unique<FakeService>(r);
    }
    std::unique_ptr<AppService> mainApp() const override { return nullptr; }
    void openSystemSettingsLoginItems() const override {}
};

struct FakeRunner final : ProcessRunner {
    std::string output;
    ProcessOutput run(const std::string& path, const std::vector<std::string>& arguments, ErrorOutput) const override {
        EXPECT_EQ(path, "/usr/bin/pmset");
        EXPECT_EQ(arguments, std::vector<std::string>{"-g"});
        return {true, "", 0, std::nullopt, output};
    }
};

class HelperTest : public ::testing::Test {
protected:
    VirtualQueue queue;
    FolderBundle bundle{"/Applications/Norvane.app"};
    FakeSigning signing;
    FakeRegistration registration{queue};
    FakeServices services{registration};
    FakeXpc xpc{queue};
    FakeRunner runner;
    std::vector<std::string> logged;
    std::vector<std::string> arguments;
    std::unique_ptr<Helper> helper;

    Helper& client() {
        if (!helper)
            helper = std::make_unique<Helper>(HelperSystem{queue, bundle, signing, services, xpc, runner,
                                                           [this](std::string_view line) { logged.emplace_back(line); },
                                                           arguments});
        return *helper;
    }
    // Starts a request; its answer lands in the returned outcome, with the time it came.
    std::shared_ptr<std::pair<Outcome, double>> lowPower(bool on) {
        auto out = std::make_shared<std::pair<Outcome, double>>();
        client().setLowPower(on, [this, out](Helper::Result r) { *out = {r, queue.continuous()}; });
        return out;
    }
    void run(double seconds) {
        queue.drain();
        queue.advance(seconds);
        queue.drain();
    }
};

TEST_F(HelperTest, StateInstallAndRemoveFollowTheBundleAndTheRegistration) {
    registration.registerError = "Operation not permitted";
    EXPECT_EQ(client().install(), "Operation not permitted");
    EXPECT_EQ(client().remove(), "not registered");
    EXPECT_EQ(registration.registrations.size(), 1u);
    EXPECT_EQ(client().state(), HelperState(helper_state::Ready{}));
    registration.statuses = {ServiceStatus::requiresApproval};
    EXPECT_EQ(client().state(), HelperState(helper_state::NeedsApproval{}));
    for (const auto status : {ServiceStatus::notRegistered, ServiceStatus::notFound}) {
        registration.statuses = {status};
        EXPECT_EQ(client().state(), HelperState(helper_state::NotInstalled{}));
    }
    bundle = FolderBundle("/home/me/build/default");
    EXPECT_EQ(client().state(), HelperState(helper_state::Unavailable{
                                    "Low Power switching works only in the built app (build/Norvane.app), not in a "
                                    "program run straight from the build folder"}));
}

TEST_F(HelperTest, TheFirstOfReplyErrorAndTimeOutDecides) {
    // Registering fails every time, so an unreachable helper ends with its first reason.
    registration.statuses = {ServiceStatus::notRegistered};
    registration.registerError = "nope";
    struct Case {
        std::vector<Event> script;
        Helper::Result result;
        double answeredAt;  // seconds after the request
    };
    const std::vector<Case> cases = {
        {{{1, Event::reply, std::nullopt}, {2, Event::error, "gone"}}, std::nullopt, 1},
        {{{1, Event::reply, "pmset failed"}}, "pmset failed", 1},
        {{{0.5, Event::error, "refused"}, {1, Event::reply, std::nullopt}}, "refused", 0.5 + 8 * 0.5},
        // A helper that looked at us and said no: its reason stands, and nothing is repaired.
        {{{0.5, Event::refused, "it runs foreign code"}}, "the helper refused this copy of Norvane: it runs foreign code", 0.5},
        {{{5, Event::reply, std::nullopt}}, "the helper did not start", 4 + 8 * 0.5},
        {{}, "the helper did not start", 4 + 8 * 0.5},
    };
    for (const auto& c : cases) {
        xpc.scripts = {c.script};
        const double start = queue.continuous();
        const auto out = lowPower(true);
        run(30);
        EXPECT_EQ(out->first, Outcome(c.result)) << c.answeredAt;
        EXPECT_NEAR(out->second - start, c.answeredAt, 1e-9);
        EXPECT_TRUE(xpc.sent.back()->invalidated);
    }
    EXPECT_EQ(xpc.sent.front()->name, helperBundleID);
    EXPECT_EQ(xpc.sent.front()->requirement, signingRequirement(helperBundleID, "TEAM"));
    EXPECT_EQ(xpc.sent.front()->message, Value::dictionary({{"selector", Value::string("setLowPower:reply:")},
                                                            {"argument", Value::boolean(true)}}));
    // Only the three unreachable cases repaired, each with its own line and 8 registrations.
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "Norvane: registering the helper failed: nope"), 24);
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "Norvane: the helper refused this copy of Norvane: it runs foreign code"), 1);
    EXPECT_EQ(logged.front(), "Norvane: the helper did not answer (refused), registering it again");
    EXPECT_EQ(registration.unregistrations.size(), 3u);
}

TEST_F(HelperTest, RepairRegistersEveryHalfSecondUntilEnabledThenAsksOnce) {
    // Unreachable, then after the repair the helper answers.
    xpc.scripts = {{{0.1, Event::error, "no such service"}}, {{0.1, Event::reply, std::nullopt}}};
    registration.statuses = {ServiceStatus::notRegistered, ServiceStatus::notRegistered, ServiceStatus::enabled};
    const double start = queue.continuous();
    const auto out = lowPower(false);
    run(30);
    EXPECT_EQ(out->first, Outcome(Helper::Result()));
    ASSERT_EQ(registration.registrations.size(), 2u);
    EXPECT_NEAR(registration.registrations[0] - start, 0.6, 1e-9);
    EXPECT_NEAR(registration.registrations[1] - start, 1.1, 1e-9);
    // Enabled at the third check: state reads ready, one more call, no more registrations.
    EXPECT_EQ(xpc.sent.size(), 2u);
    EXPECT_NEAR(out->second - start, 1.6 + 0.1, 1e-9);

    // A second request calls first again, and repairs again when unreachable.
    xpc.scripts = {{{0.1, Event::error, "again"}}};
    registration.statuses = {ServiceStatus::requiresApproval};  // the user has not allowed it
    const auto second = lowPower(true);
    run(30);
    EXPECT_EQ(second->first, Outcome(Helper::Result("again")));
    EXPECT_EQ(registration.registrations.size(), 10u);
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [](const auto& l) { return l.find("did not answer") != std::string::npos; }),
              2);
}

TEST_F(HelperTest, RepairHelperForcesOneRepairBeforeTheFirstCallOnly) {
    arguments = {"--demo", "--repair-helper"};
    xpc.scripts = {{{0.1, Event::reply, std::nullopt}}};
    registration.statuses = {ServiceStatus::notRegistered};
    const auto first = lowPower(true);
    run(30);
    EXPECT_EQ(first->first, Outcome(Helper::Result("asked to repair")));
    EXPECT_TRUE(xpc.sent.empty());
    EXPECT_EQ(logged.front(), "Norvane: the helper did not answer (asked to repair), registering it again");
    registration.statuses = {ServiceStatus::enabled};
    const auto second = lowPower(true);
    run(30);
    EXPECT_EQ(second->first, Outcome(Helper::Result(std::nullopt)));
    EXPECT_EQ(xpc.sent.size(), 1u);
    EXPECT_EQ(registration.unregistrations.size(), 1u);
}

TEST_F(HelperTest, AnUnsignedCopyIsToldSoWithoutCallingOrRepairing) {
    signing.team.reset();
    const auto out = lowPower(true);
    run(30);
    EXPECT_EQ(out->first, Outcome(Helper::Result("this copy of Norvane is not signed by a developer certificate")));
    EXPECT_TRUE(xpc.sent.empty());
    EXPECT_TRUE(logged.empty());
    EXPECT_TRUE(registration.unregistrations.empty());
}

TEST_F(HelperTest, ConfirmReappliesTheModeItReadsAndSendsNothingWithoutOne) {
    xpc.scripts = {{{0.1, Event::reply, std::nullopt}}};
    const auto request = [](const char* selector, Value argument) {
        return std::optional(
            Value::dictionary({{"selector", Value::string(selector)}, {"argument", std::move(argument)}}));
    };
    const std::vector<std::pair<std::string, std::optional<Value>>> cases = {
        {" powermode 2\n lowpowermode 0\n", request("setPowerMode:reply:", Value::integer(2))},
        {" lowpowermode 1\n powermode 0\n", request("setPowerMode:reply:", Value::integer(1))},
        {" lowpowermode 1\n", request("setLowPower:reply:", Value::boolean(true))},
        {" lowpowermode 0\n", request("setLowPower:reply:", Value::boolean(false))},
        {" powermode x\n lowpowermode 1\n", std::nullopt},
        {" displaysleep 2\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [output, sent] : cases) {
        runner.output = output;
        xpc.sent.clear();
        Outcome result;
        client().confirm([&result](Helper::Result r) { result = r; });
        run(10);
        EXPECT_EQ(result, Outcome(sent ? Helper::Result() : Helper::Result("the energy mode could not be read")))
            << output;
        ASSERT_EQ(xpc.sent.size(), sent ? 1u : 0u) << output;
        if (sent) {
            EXPECT_EQ(xpc.sent[0]->message, *sent) << output;
        }
    }
}

}  // namespace
}  // namespace norvane
