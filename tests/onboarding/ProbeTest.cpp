#include <gtest/gtest.h>

#include "app/onboarding/Onboarding.h"
#include "tests/model/ModelProbe.h"
#include "tests/support/FakeHelperLink.h"

namespace norvane {
namespace {

using namespace access_state;
using testing::Event;

// The helper's registration, answered at once (also the unregistering a repair makes).
struct Registration final : ServiceManagement {
    struct Service final : AppService {
        ServiceStatus& value;
        explicit Service(ServiceStatus& s) : value(s) {}
        ServiceStatus status() const override { return value; }
        std::optional<std::string> registerService() override {
            value = ServiceStatus::enabled;
            return std::nullopt;
        }
        std::optional<std::string> unregisterService() override { return std::nullopt; }
        void unregisterService(Completion done) override { done(std::nullopt); }
    };
    mutable ServiceStatus status = ServiceStatus::notRegistered;
    std::unique_ptr<AppService> daemon(std::string_view) const override { return std::make_unique<Service>(status); }
    std::unique_ptr<AppService> mainApp() const override { return nullptr; }
    void openSystemSettingsLoginItems() const override {}
};

// The live probe of an app in its bundle, on the bench's machine, with a helper that
// answers from a script.
struct ProbeBench {
    ModelBench bench;
    std::shared_ptr<testing::FakeXpc> xpc = std::make_shared<testing::FakeXpc>(bench.queue);
    std::shared_ptr<Registration> registration = std::make_shared<Registration>();
    AccessProbe probe;

    explicit ProbeBench(bool identified = true) {
        if (identified) bench.writeInfoPlist();
        xpc->scripts = {{{0.1, Event::reply, std::nullopt}}};
        auto system = std::make_shared<System>(bench.system());
        system->xpc = xpc;
        system->signing = std::make_shared<testing::FakeSigning>();
        system->services = registration;
        probe = AccessProbe::live(system, bench.queue);
    }
    // The answer, once the system has given it within `seconds`.
    std::optional<Access> answer(const std::function<void(AccessProbe::Answer)>& question, double seconds = 1) {
        std::optional<Access> got;
        question([&](Access access) { got = std::move(access); });
        bench.run(seconds);
        return got;
    }
    std::optional<Access> notifications() { return answer(probe.notifications); }
    std::optional<Access> helper(double seconds = 1) { return answer(probe.helper, seconds); }
    void mode(const std::string& settings) const { bench.machine.write("pmset/settings.json", settings); }
};

TEST(LiveProbe, NotificationsReadThePermissionTheMachineHolds) {
    struct Row {
        const char* center;  // notifications/center.json; none: no file
        Access access;
    };
    for (const Row& row : std::vector<Row>{{nullptr, NotAsked{}},
                                           {R"({"authorization": "notDetermined"})", NotAsked{}},
                                           {R"({"authorization": "ephemeral"})", NotAsked{}},
                                           {R"({"authorization": "denied"})", NeedsSettings{}},
                                           {R"({"authorization": "authorized"})", Granted{}},
                                           {R"({"authorization": "provisional"})", Granted{}},
                                           {R"(["authorized"])", NotAsked{}}}) {
        ProbeBench t;
        if (row.center) t.bench.machine.write("notifications/center.json", row.center);
        EXPECT_EQ(t.notifications(), row.access) << (row.center ? row.center : "none");
    }

    // Asking shows the answer the machine holds at the next probe.
    ProbeBench t;
    t.bench.machine.write("notifications/center.json", R"({"answer": "deny"})");
    bool asked = false;
    t.probe.askNotifications([&] { asked = true; });
    t.bench.run(0);
    EXPECT_TRUE(asked);
    EXPECT_EQ(t.notifications(), Access(NeedsSettings{}));
    EXPECT_EQ(notificationSettings(*t.bench.system().bundle),
              "x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=app.norvane.Norvane");

    ProbeBench outside(false);
    EXPECT_EQ(outside.notifications(), Access(Unavailable{"Notifications work only in the built app."}));
    EXPECT_EQ(notificationSettings(*outside.bench.system().bundle),
              "x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=");
}

TEST(LiveProbe, AReadyHelperIsConfirmedOnceEachTimeItBecomesReady) {
    ProbeBench t;
    t.mode(R"({"AC Power": {"powermode": 2}, "Battery Power": {"powermode": 2}})");
    t.bench.machine.write("pmset/capabilities.txt", " highpowermode\n");  // a Mac that offers High Power
    EXPECT_EQ(t.helper(), Access(NotAsked{}));
    t.probe.installHelper();  // registers a helper that is not installed
    EXPECT_EQ(t.registration->status, ServiceStatus::enabled);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(t.helper(), Access(Granted{}));
    ASSERT_EQ(t.xpc->sent.size(), 1u);
    EXPECT_EQ(*t.xpc->sent[0]->message.find("selector"), Value::string("setPowerMode:reply:"));

    t.registration->status = ServiceStatus::requiresApproval;
    EXPECT_EQ(t.helper(), Access(NeedsSettings{}));
    t.registration->status = ServiceStatus::enabled;
    EXPECT_EQ(t.helper(), Access(Granted{}));
    EXPECT_EQ(t.xpc->sent.size(), 2u);

    // Installing again only forgets the confirmation; a failed one then stands.
    t.xpc->scripts = {{{0.1, Event::reply, "pmset failed"}}};
    t.probe.installHelper();
    EXPECT_EQ(t.helper(), Access(Failed{"pmset failed"}));
    EXPECT_EQ(t.helper(), Access(Failed{"pmset failed"}));
    EXPECT_EQ(t.xpc->sent.size(), 3u);
}

TEST(LiveProbe, AnUnreadableEnergyModeFailsTheConfirmationAndSwitchesNothing) {
    ProbeBench t;
    t.registration->status = ServiceStatus::enabled;
    t.mode("{}");  // pmset -g shows neither mode
    EXPECT_EQ(t.helper(), Access(Failed{"the energy mode could not be read"}));
    EXPECT_TRUE(t.xpc->sent.empty());
}

TEST(LiveProbe, AHelperThatNeverAnswersEndsInAFailureAfterItsTimeOut) {
    ProbeBench t;
    t.registration->status = ServiceStatus::enabled;
    t.mode(R"({"AC Power": {"lowpowermode": 0}, "Battery Power": {"lowpowermode": 0}})");
    t.xpc->scripts = {{}};
    Onboarding tour(t.probe, t.bench.system().defaults);
    tour.refresh();
    t.bench.run(helperTimeout);
    EXPECT_EQ(tour.helper(), Access(Checking{}));  // repairing: registered again, asked once more
    t.bench.run(helperTimeout + 2);
    EXPECT_EQ(tour.helper(), Access(Failed{"the helper did not start"}));
    EXPECT_EQ(t.xpc->sent.size(), 2u);
}

}  // namespace
}  // namespace norvane
