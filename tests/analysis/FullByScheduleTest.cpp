#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/analysis/FullBySchedule.h"
#include "tests/support/ScriptedBackend.h"

namespace norvane {
namespace {

using testing::ScriptedBackend;

// The model's share as plain fields; a full charge once only counts its starts.
struct Model : FullBySchedule {
    FullByMode mode = FullByMode::off;
    std::int64_t minutes = 480;
    std::optional<Date> target;
    // 80 % of 5000 mAh at 12 V (60 Wh) on a 30 W charger: a lead of 4,200 s (70 minutes).
    Battery reading = [] {
        Battery b;
        b.percent = 80;
        b.plugged = true;
        b.millivolts = 12'000;
        b.rawMax = 5'000;
        return b;
    }();
    std::optional<Charger> plugged = Charger{"30W USB-C", 30, false};
    LimitAvailability available = availability::Ready{{80, 85, 90}};
    std::int64_t limitValue = 80;
    bool busy = false;
    std::shared_ptr<ScriptedBackend> service = std::make_shared<ScriptedBackend>();
    std::optional<FullCharge> full;
    int starts = 0;

    FullByMode fullByMode() const override { return mode; }
    void setFullByMode(FullByMode m) override { mode = m; }
    std::int64_t fullByMinutes() const override { return minutes; }
    void setFullByMinutes(std::int64_t m) override { minutes = m; }
    std::optional<Date> fullByTarget() const override { return target; }
    void setFullByTarget(std::optional<Date> t) override { target = t; }
    const Battery& battery() const override { return reading; }
    std::optional<Charger> charger() const override { return plugged; }
    LimitAvailability limitAvailability() const override { return available; }
    std::int64_t limit() const override { return limitValue; }
    bool limitBusy() const override { return busy; }
    std::shared_ptr<LimitBackend> backend() const override { return service; }
    std::optional<FullCharge> fullOnce() const override { return full; }
    void setFullOnce(std::optional<FullCharge> state) override { full = state; }
    void chargeFullOnce() override { ++starts; }
};

const Calendar berlin("Europe/Berlin");
constexpr auto off = FullByMode::off, once = FullByMode::once, daily = FullByMode::daily;
Date at(int month, int day, int hour, int minute = 0, int second = 0) {
    return *berlin.date(2026, month, day, hour, minute, second);
}

TEST(FullBy, LeadFromChargeCapacityAndCharger) {
    constexpr auto nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::int64_t percent;
        double wh;
        std::optional<std::int64_t> watts;
        double lead;
    };
    const std::vector<Case> cases{
        {80, 60, 30, 4200},   {100, 60, 30, 2700}, {0, 100, 5, 14'400},
        {50, 60, 150, 3600},  {50, 60, 100, 3600}, {50, 60, std::nullopt, 7800},
        {80, 60, -5, 14'400}, {140, 60, 30, 2700}, {std::numeric_limits<std::int64_t>::min(), 60, 30, 14'400},
        {80, nan, 30, 2700},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fullByLead(c.percent, c.wh, c.watts), c.lead) << c.percent << "% " << c.wh << " Wh";

    // From the reading: 10 Wh or less counts as 60 Wh; no charger counts as 18 W usable.
    Model model;
    EXPECT_EQ(model.fullByLeadNow(), 4200);
    model.reading.rawMax = 800;  // 9.6 Wh
    EXPECT_EQ(model.fullByLeadNow(), 4200);
    model.plugged.reset();
    EXPECT_EQ(model.fullByLeadNow(), 4200);
    model.reading.rawMax = model.reading.millivolts = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(model.fullByLeadNow(), 14'400);
}

TEST(FullBy, NextTargetAndStoredMode) {
    EXPECT_EQ(nextFullBy(450, at(7, 1, 7, 30), berlin), at(7, 2, 7, 30));
    EXPECT_EQ(nextFullBy(450, at(7, 1, 7, 29), berlin), at(7, 1, 7, 30));
    // A stored setting outside one day wraps into it.
    EXPECT_EQ(nextFullBy(1440 + 450, at(7, 1, 7, 29), berlin), at(7, 1, 7, 30));
    EXPECT_EQ(nextFullBy(-1, at(7, 1, 7, 29), berlin), at(7, 1, 23, 59));

    for (auto mode : {off, once, daily})
        EXPECT_EQ(fullByMode(rawValue(mode)), mode);
    EXPECT_EQ(fullByMode("Daily"), std::nullopt);
}

TEST(FullBy, StepsAroundMidnightAndClockChanges) {
    struct Case {
        const char* what;
        FullByMode mode;
        std::int64_t minutes;
        Date set;  // when the user chose it
        Date now;  // the tick
        int starts;
        std::optional<Date> target;  // after the tick
        FullByMode modeAfter;
    };
    const std::vector<Case> cases{
        {"71 minutes before 00:30", daily, 30, at(7, 1, 22), at(7, 1, 23, 19), 0, at(7, 2, 0, 30), daily},
        {"70 minutes before 00:30", daily, 30, at(7, 1, 22), at(7, 1, 23, 20), 1, at(7, 2, 0, 30), daily},
        {"daily at 00:30 passed", daily, 30, at(7, 1, 22), at(7, 2, 0, 30), 0, at(7, 3, 0, 30), daily},
        {"once at 00:30 passed", once, 30, at(7, 1, 22), at(7, 2, 0, 30), 0, std::nullopt, off},
        {"passed while the Mac was off", daily, 450, at(7, 1, 22), at(7, 4, 9), 0, at(7, 5, 7, 30), daily},
        // A skipped 02:30 is due when the clock jumps past it. Of a repeated one the first
        // counts: ICU's own reading, the repeat, would be a second target an hour later,
        // charged for again.
        {"02:30 skipped", daily, 150, at(3, 28, 12), at(3, 29, 3), 0, at(3, 30, 2, 30), daily},
        {"02:30 repeated", daily, 150, at(10, 24, 12), Date{1'792'888'200 + 1}, 0, Date{1'792'978'200}, daily},
    };
    for (const auto& c : cases) {
        Model model;
        model.setFullBy(c.mode, c.minutes, c.set, berlin);
        model.followFullBy(c.now, berlin);
        EXPECT_EQ(model.starts, c.starts) << c.what;
        EXPECT_EQ(model.target, c.target) << c.what;
        EXPECT_EQ(model.mode, c.modeAfter) << c.what;
        EXPECT_EQ(model.minutes, c.minutes) << c.what;
    }
}

// The tick an hour before the target (inside the 70-minute lead) and the sleep at 20:00.
TEST(FullBy, ChargesOnTheChargerBelowFullWithALimit) {
    struct Case {
        const char* what;
        double hoursAway;  // from the sleep to the target
        void (*change)(Model&);
        int tickStarts;
        bool sleepCharges;
    };
    const std::vector<Case> cases{
        {"11 hours away", 11, [](Model&) {}, 1, true},
        {"13 hours away", 13, [](Model&) {}, 1, false},
        {"passed", -1, [](Model&) {}, 1, false},
        // chargeFullOnce() waits for the limit itself; the sleep's own request must not run beside it.
        {"a limit request in flight", 11, [](Model& m) { m.busy = true; }, 1, false},
        {"no backend", 11, [](Model& m) { m.service.reset(); }, 1, false},
        {"unplugged", 11, [](Model& m) { m.reading.plugged = false; }, 0, false},
        {"at 100%", 11, [](Model& m) { m.reading.percent = 100; }, 0, false},
        {"no limit", 11, [](Model& m) { m.limitValue = 100; }, 0, false},
        {"already running", 11, [](Model& m) { m.full = FullCharge{}; }, 0, false},
        {"off", 11, [](Model& m) { m.mode = off; }, 0, false},
    };
    for (const auto& c : cases) {
        Model model;
        const Date now = at(7, 1, 20);
        model.mode = daily;
        model.target = now + c.hoursAway * 3600;
        model.service->full = FullCharge{80, true};
        c.change(model);
        const auto before = model.full;
        model.fullByBeforeSleep(now);
        EXPECT_EQ(model.full, c.sleepCharges ? std::optional(FullCharge{80, true}) : before) << c.what;
        if (model.service) {
            EXPECT_EQ(model.service->calls.size(), c.sleepCharges ? 1u : 0u) << c.what;
        }
        model.full = before;
        model.followFullBy(*model.target - 3600, berlin);
        EXPECT_EQ(model.starts, c.tickStarts) << c.what;
    }

    Model refused;
    refused.mode = once;
    refused.target = at(7, 2, 7);
    refused.service->failing = "chargeFullNow";
    refused.fullByBeforeSleep(at(7, 1, 23));
    EXPECT_EQ(refused.full, std::nullopt);
}

TEST(FullBy, LineAndUsefulness) {
    const DateFormatter formatter("en_GB", "Europe/Berlin");
    Model model;
    EXPECT_EQ(model.fullByLine(at(7, 1, 12), berlin, formatter), "Off. The charge stays at the limit.");
    model.setFullBy(daily, 23 * 60, at(7, 1, 12), berlin);
    EXPECT_EQ(model.fullByLine(at(7, 1, 12), berlin, formatter),
              "Charging to 100% starts at about 21:50, to be full by 23:00 today. If the Mac goes to sleep on the "
              "charger before that, it starts then.");
    model.setFullBy(once, 450, at(7, 1, 12), berlin);
    EXPECT_EQ(model.fullByLine(at(7, 1, 12), berlin, formatter),
              "Charging to 100% starts at about 06:20, to be full by 07:30 tomorrow. If the Mac goes to sleep on the "
              "charger before that, it starts then.");

    EXPECT_TRUE(model.fullByUseful());
    model.limitValue = 100;
    EXPECT_FALSE(model.fullByUseful());
    model.full = FullCharge{80, false};
    EXPECT_TRUE(model.fullByUseful());
    model.available = availability::NeedsNewerOS{};
    EXPECT_FALSE(model.fullByUseful());
}

}  // namespace
}  // namespace norvane
