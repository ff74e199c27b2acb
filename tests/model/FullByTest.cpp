#include <gtest/gtest.h>

#include "app/model/DefaultsKeys.h"
#include "tests/model/ModelProbe.h"
#include "tests/support/ScriptedBackend.h"

namespace norvane {
namespace {

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
        ModelBench bench;
        AppModel& m = bench.start();
        auto backend = std::make_shared<testing::ScriptedBackend>();
        backend->failing = c.failing;
        backend->full = c.lifted;
        ModelProbe(m).backend(backend);
        m.chargeFullOnce();
        EXPECT_TRUE(m.limitBusy());
        m.chargeFullOnce();  // one request at a time
        bench.queue.drain();
        EXPECT_FALSE(m.limitBusy());
        EXPECT_EQ(backend->calls, std::vector<std::string>{"chargeFullNow"});
        EXPECT_EQ(m.fullOnce(), c.fullOnce);
        EXPECT_EQ(m.limitNote(), c.note);
        EXPECT_EQ(bench.stored().string(keys::fullOnce), c.fullOnce ? std::optional(fullOnceText(*c.fullOnce)) : std::nullopt);
        m.chargeFullOnce();  // a running one is not asked for again
        bench.queue.drain();
        EXPECT_EQ(backend->calls.size(), c.fullOnce ? 1u : 2u);
    }
}

TEST(ModelFullBy, TheScheduleStartsTheChargeThroughTheModel) {
    ModelBench bench;
    AppModel& m = bench.start();
    auto backend = std::make_shared<testing::ScriptedBackend>();
    backend->full = {80, false};
    ModelProbe probe(m);
    probe.backend(backend);
    probe.battery(plugged(80, false));
    probe.limit(80);
    const Calendar utc("UTC");
    m.setFullBy(FullByMode::once, 11 * 60, bench.queue.now(), utc);  // an hour from now
    m.followFullBy(bench.queue.now(), utc);
    bench.queue.drain();
    EXPECT_EQ(m.fullOnce(), (FullCharge{80, false}));
    EXPECT_EQ(bench.stored().string(keys::fullByMode), "once");
}

}  // namespace
}  // namespace norvane
