#include <gtest/gtest.h>

#include <algorithm>

#include "app/model/DefaultsKeys.h"
#include "tests/model/ModelProbe.h"
#include "tests/support/ScriptedBackend.h"

namespace norvane {
namespace {

// A Mac whose macOS the charge limit is known to work on, with a scripted backend.
struct LimitBench {
    ModelBench bench;
    std::shared_ptr<testing::ScriptedBackend> backend = std::make_shared<testing::ScriptedBackend>();
    AppModel& m = started(bench);

    LimitBench() { ModelProbe(m).backend(backend); }
    static AppModel& started(ModelBench& bench, const std::string& macOS = "27.2.1") {
        bench.machine.write("System/Library/CoreServices/SystemVersion.plist",
                            "<plist><dict><key>ProductVersion</key><string>" + macOS + "</string></dict></plist>");
        return bench.start();
    }
    bool asked(const std::string& call) const {
        return std::find(backend->calls.begin(), backend->calls.end(), call) != backend->calls.end();
    }
};

TEST(ModelLimit, ALimitRequestSaysHowItWentAndTheLimitIsReadBack) {
    struct Case {
        const char* name;
        Battery battery;
        std::int64_t percent;
        LimitSetting held;  // what macOS reports afterwards
        std::optional<std::string> note;
    };
    const Case cases[] = {
        {"applied", onBattery(50), 80, {80, true}, std::nullopt},
        {"pending on wall power",
         plugged(50, true),
         80,
         {80, true},
         "macOS accepted 80% and will start holding it shortly."},
        {"not offered", onBattery(50), 95, {70, true}, "Not applied: macOS does not offer 95%."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LimitBench t;
        t.backend->reads = {c.held};
        ModelProbe(t.m).battery(c.battery);
        t.m.setLimit(c.percent);
        EXPECT_TRUE(t.m.limitBusy());
        t.m.setLimit(85);  // one request at a time: dropped without a note
        t.m.endFullOnce();
        EXPECT_FALSE(t.m.limitNote());
        t.bench.queue.drain();
        EXPECT_FALSE(t.asked("set 85"));
        EXPECT_FALSE(t.m.limitBusy());
        EXPECT_EQ(t.m.limitNote(), c.note);
        EXPECT_EQ(t.m.limit(), c.held.limit);
    }
}

TEST(ModelLimit, ANewLimitPutsBackWhatAChargeToFullLiftedFirst) {
    LimitBench t;
    t.backend->reads = {{80, false}};
    t.m.setFullOnce(FullCharge{80, true});
    t.m.setLimit(100);
    EXPECT_FALSE(t.m.fullOnce());
    EXPECT_FALSE(t.bench.stored().string(keys::fullOnce));
    t.bench.queue.drain();
    ASSERT_GE(t.backend->calls.size(), 3u);
    EXPECT_EQ(std::vector(t.backend->calls.begin(), t.backend->calls.begin() + 3),
              (std::vector<std::string>{"set 80", "enableSmart", "read"}));  // then the limit is switched off
    EXPECT_FALSE(t.m.limitNote());
    EXPECT_EQ(t.m.limit(), 100);

    // A limit that cannot be put back leaves smart charging alone; nothing is noted, and
    // the charge to full is over all the same.
    t.backend->calls.clear();
    t.backend->failing = "set 80";
    t.m.setFullOnce(FullCharge{80, true});
    t.m.endFullOnce();
    EXPECT_FALSE(t.m.fullOnce());
    EXPECT_TRUE(t.m.limitBusy());
    t.bench.queue.drain();
    EXPECT_TRUE(t.asked("set 80"));
    EXPECT_FALSE(t.asked("enableSmart"));
    EXPECT_FALSE(t.m.limitBusy() || t.m.limitNote());
}

TEST(ModelLimit, TheBackendIsMadeFromMacOS264WhenTheServiceCanBeOpened) {
    ModelBench old;
    AppModel& before = LimitBench::started(old, "26.3");
    ModelProbe(before).limit(80);
    before.refreshLimit();
    EXPECT_EQ(before.limitAvailability(), LimitAvailability(availability::NeedsNewerOS{}));
    EXPECT_EQ(before.limit(), 80);

    ModelBench bench;
    AppModel& m = LimitBench::started(bench);
    m.refreshLimit();
    EXPECT_TRUE(std::holds_alternative<availability::Unsupported>(m.limitAvailability()));
    EXPECT_FALSE(m.backend());
    bench.machine.write("PowerUI/SmartChargeClient.json",
                        R"({"supported": true, "limits": [80, 90, 100], "limit": 90, "enabled": true})");
    m.refreshLimit();
    EXPECT_EQ(m.limitAvailability(), LimitAvailability(availability::Ready{{80, 90}}));
    const auto backend = m.backend();
    ASSERT_TRUE(backend);
    EXPECT_EQ(m.limit(), 90);
    EXPECT_TRUE(m.optimisedOff());
    m.refreshLimit();
    EXPECT_EQ(m.backend(), backend);  // kept for the run
}

TEST(ModelFullBy, AChargeToFullOnceStoresWhatItLiftedOrSaysWhyNot) {
    struct Case {
        const char* name;
        std::string failing;
        FullCharge lifted;
        std::optional<FullCharge> fullOnce;
        std::optional<std::string> note;
    };
    const Case cases[] = {
        {"refused", "chargeFullNow", {}, {}, "macOS did not accept the request."},
        {"nothing held", "", {}, {}, "Nothing is holding the charge: the battery charges to 100% anyway."},
        {"limit and smart lifted", "", {80, true}, FullCharge{80, true}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LimitBench t;
        t.backend->failing = c.failing;
        t.backend->full = c.lifted;
        t.m.chargeFullOnce();
        EXPECT_TRUE(t.m.limitBusy());
        t.m.chargeFullOnce();  // one request at a time
        t.bench.queue.drain();
        EXPECT_FALSE(t.m.limitBusy());
        EXPECT_EQ(t.backend->calls, std::vector<std::string>{"chargeFullNow"});
        EXPECT_EQ(t.m.fullOnce(), c.fullOnce);
        EXPECT_EQ(t.m.limitNote(), c.note);
        EXPECT_EQ(t.bench.stored().string(keys::fullOnce),
                  c.fullOnce ? std::optional(fullOnceText(*c.fullOnce)) : std::nullopt);
        t.m.chargeFullOnce();  // a running one is not asked for again
        t.bench.queue.drain();
        EXPECT_EQ(t.backend->calls.size(), c.fullOnce ? 1u : 2u);
    }
}

// In virtual time: the tick starts the schedule's charge; Cancel on the Now page holds
// through the ticks up to the target, and a night's sleep brings the next day's.
TEST(ModelFullBy, TheScheduleStartsTheChargeAndACancelHoldsForItsTarget) {
    LimitBench t;
    t.backend->full = {80, false};
    t.backend->reads = {{80, true}};
    t.bench.writeBattery(plugged(80, false));
    ModelProbe(t.m).limit(80);
    t.m.start();
    const auto starts = [&] { return std::count(t.backend->calls.begin(), t.backend->calls.end(), "chargeFullNow"); };
    t.m.setFullBy(FullByMode::daily, 11 * 60);  // an hour from now, inside the 70-minute lead
    t.bench.run(5);
    EXPECT_EQ(t.m.fullOnce(), (FullCharge{80, false}));
    EXPECT_EQ(t.bench.stored().string(keys::fullByMode), "daily");

    t.m.cancelFullOnce();
    t.bench.run(0);
    EXPECT_EQ(t.m.fullOnce(), std::nullopt);
    EXPECT_TRUE(t.asked("set 80"));  // the limit back
    t.bench.run(3600);  // every tick up to the target and past it
    EXPECT_EQ(starts(), 1);
    EXPECT_EQ(t.m.fullOnce(), std::nullopt);
    EXPECT_EQ(t.m.fullByTarget(), Date{1'796'724'000 + 25 * 3600});  // tomorrow at 11:00

    t.bench.queue.sleepSystem(22 * 3600 + 55 * 60);  // the night, to 9:55 the next day
    t.bench.run(5);
    EXPECT_EQ(starts(), 2);
    EXPECT_EQ(t.m.fullOnce(), (FullCharge{80, false}));
}

}  // namespace
}  // namespace norvane
