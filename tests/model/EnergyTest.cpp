#include <gtest/gtest.h>

#include "tests/model/ModelProbe.h"
#include "tests/support/FakeHelperLink.h"

namespace norvane {
namespace {

using testing::Event;

Value request(const char* selector, Value argument) {
    return Value::dictionary({{"selector", Value::string(selector)}, {"argument", std::move(argument)}});
}

// A model whose helper is registered through the machine's service management and
// answers from a script.
class ModelEnergy : public ::testing::Test {
protected:
    ModelBench bench;
    std::shared_ptr<testing::FakeXpc> xpc = std::make_shared<testing::FakeXpc>(bench.queue);

    AppModel& start() {
        bench.home.write("Norvane.app/Contents/Library/LaunchDaemons/app.norvane.helper.plist", "<plist><dict/></plist>");
        return bench.start({}, [&](System& system) {
            system.xpc = xpc;
            system.signing = std::make_shared<testing::FakeSigning>();
        });
    }
    void helper(const std::string& status) {
        bench.machine.write("launchd/registrations.json", R"({"daemons": {"app.norvane.helper.plist": {"bundle": ")" +
                                                              bench.bundle().string() + R"(", "status": ")" + status +
                                                              R"("}}})");
    }
    void run(double seconds) {
        bench.queue.drain();
        bench.queue.advance(seconds);
        bench.queue.drain();
    }
};

TEST_F(ModelEnergy, ASwitchWaitsForTheHelperAndRunsOnceWhenItIsReady) {
    xpc->scripts = {{{0.1, Event::reply, std::nullopt}}};
    AppModel& m = start();
    ModelProbe probe(m);
    m.setLowPowerOwed(true);
    m.toggleLowPower();
    EXPECT_TRUE(xpc->sent.empty());
    EXPECT_TRUE(m.helperCard());
    EXPECT_TRUE(probe.afterSetup());
    EXPECT_FALSE(m.lowPowerBusy() || m.lowPowerOwed() || m.lowPowerNote());

    // What the helper's pmset will have done by the time Low Power is read back.
    bench.machine.write("pmset/settings.json", R"({"AC Power": {"lowpowermode": 1}})");
    m.installHelper();
    EXPECT_EQ(m.helperState(), HelperState(helper_state::Ready{}));
    EXPECT_FALSE(m.helperCard() || probe.afterSetup());
    ASSERT_EQ(xpc->sent.size(), 1u);
    EXPECT_EQ(xpc->sent[0]->message, request("setLowPower:reply:", Value::boolean(true)));
    EXPECT_TRUE(m.lowPowerBusy());
    run(0.1);
    EXPECT_FALSE(m.lowPower());  // read back only 0.4 s after the answer
    run(0.4);
    EXPECT_TRUE(m.lowPower());
    EXPECT_FALSE(m.lowPowerBusy() || m.lowPowerNote());
    m.installHelper();
    EXPECT_EQ(xpc->sent.size(), 1u);  // it ran once

    // An action that parks another one leaves that one parked.
    int second = 0;
    m.askForSetup([&] { m.askForSetup([&] { ++second; }); });
    m.installHelper();
    EXPECT_TRUE(m.helperCard() && probe.afterSetup());
    m.installHelper();
    EXPECT_EQ(second, 1);
}

TEST_F(ModelEnergy, ARequestWaitingForApprovalKeepsItsMode) {
    xpc->scripts = {{{0.1, Event::reply, std::nullopt}}};
    helper("requiresApproval");
    AppModel& m = start();
    m.setPowerMode(2);
    m.installHelper();  // only the settings open
    EXPECT_TRUE(xpc->sent.empty());
    EXPECT_TRUE(m.helperCard());
    const auto opened = bench.records("workspace/opened-urls.jsonl");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(*opened[0].find("url")->asString(), "x-apple.systempreferences:com.apple.LoginItems-Settings.extension");

    helper("enabled");  // the user allowed it
    m.installHelper();
    ASSERT_EQ(xpc->sent.size(), 1u);
    EXPECT_EQ(xpc->sent[0]->message, request("setPowerMode:reply:", Value::integer(2)));
}

TEST_F(ModelEnergy, FailuresAreNotedAndOverlappingRequestsStayBusyUntilTheLast) {
    xpc->scripts = {{{0.1, Event::reply, "pmset: refused"}}, {{1.0, Event::reply, std::nullopt}}};
    helper("enabled");
    bench.machine.write("pmset/settings.json", R"({"AC Power": {"powermode": 2}})");
    bench.machine.write("pmset/capabilities.txt", "Capabilities for AC Power:\n sleep\n highpowermode\n");
    AppModel& m = start();
    m.setPowerMode(1);
    m.switchLowPower(true);
    run(0.1);
    EXPECT_EQ(m.lowPowerNote(), "The energy mode was not changed: pmset: refused.");
    m.refreshPowerMode();
    run(0);
    EXPECT_TRUE(m.highPowerAvailable());
    EXPECT_EQ(m.powerMode(), 0);  // a request in flight owns the mode
    run(0.4);                     // the first is done, the second is not
    EXPECT_TRUE(m.lowPowerBusy());
    EXPECT_EQ(m.powerMode(), 0);
    run(1.0);
    EXPECT_FALSE(m.lowPowerBusy());
    m.refreshPowerMode();
    run(0);
    EXPECT_EQ(m.powerMode(), 2);
    EXPECT_EQ(m.lowPowerNote(), "The energy mode was not changed: pmset: refused.");  // the own switch notes nothing

    bench.machine.write("launchd/registrations.json", R"({"faults": {"unregister": "Not allowed"}})");
    m.removeHelper();
    EXPECT_EQ(m.lowPowerNote(), "The helper was not removed: Not allowed.");
    bench.machine.write("launchd/registrations.json", R"({"faults": {"register": "Nope"}})");
    m.installHelper();
    EXPECT_EQ(m.lowPowerNote(), "macOS did not accept the helper: Nope.");
    EXPECT_FALSE(m.helperCard());
}

TEST(HighPowerAvailable, OnlyTheWholeWord) {
    const std::pair<const char*, bool> cases[] = {
        {"Capabilities for AC Power:\n sleep\n highpowermode\n", true},
        {"sleep\thighpowermode", true},
        {"highpowermode", true},
        {" highpowermodes\n nohighpowermode\n highpowermode:1\n", false},
        {"HighPowerMode", false},
        {"", false},
    };
    for (const auto& [text, available] : cases) EXPECT_EQ(parseHighPowerAvailable(text), available) << text;
}

}  // namespace
}  // namespace norvane
