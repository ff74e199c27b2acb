#include <gtest/gtest.h>

#include <cmath>
#include <functional>
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

// Full by 16:00 (start 14:50). A cancel of the schedule's charge holds for its target, in
// the ticks and at a sleep; a daily schedule starts again for the next day's.
TEST(FullBy, ACancelOfTheSchedulesChargeHoldsForItsTarget) {
    const DateFormatter formatter("en_GB", "Europe/Berlin");
    struct Case {
        const char* what;
        FullByMode mode;
        void (*started)(Model&);  // how the running charge came about
        Date cancelled;
        bool holds;
    };
    const auto byTick = [](Model& m) {
        m.followFullBy(at(7, 1, 14, 55), berlin);
        m.full = FullCharge{80, false};
    };
    const std::vector<Case> cases{
        {"the tick's, daily", daily, byTick, at(7, 1, 15), true},
        {"the tick's, once", once, byTick, at(7, 1, 15), true},
        {"the sleep's, ten hours before", daily, [](Model& m) { m.fullByBeforeSleep(at(7, 1, 6)); }, at(7, 1, 8), true},
        {"the user's, in the start window", daily, [](Model& m) { m.full = FullCharge{80, false}; }, at(7, 1, 15), true},
        {"the user's, in the morning", daily, [](Model& m) { m.full = FullCharge{80, false}; }, at(7, 1, 9), false},
    };
    for (const auto& c : cases) {
        Model model;
        model.service->full = FullCharge{80, false};
        model.setFullBy(c.mode, 16 * 60, at(7, 1, 5), berlin);
        c.started(model);
        const int before = model.starts;
        model.fullByCancelled(c.cancelled);
        model.full.reset();  // the charge ended
        model.followFullBy(at(7, 1, 15, 30), berlin);
        model.fullByBeforeSleep(at(7, 1, 15, 31));
        EXPECT_EQ(model.starts - before, c.holds ? 0 : 1) << c.what;
        EXPECT_EQ(model.full.has_value(), !c.holds) << c.what;  // the sleep's charge
        model.full.reset();
        if (c.holds) {
            EXPECT_EQ(model.fullByLine(at(7, 1, 15, 30), berlin, formatter),
                      "Charging to 100% for 16:00 today is cancelled. " +
                          std::string(c.mode == once ? "The charge stays at the limit." : "It starts again for the next day."))
                << c.what;
        }
        model.followFullBy(at(7, 1, 16), berlin);
        model.followFullBy(at(7, 2, 15), berlin);
        EXPECT_EQ(model.starts - before, (c.holds ? 0 : 1) + (c.mode == daily ? 1 : 0)) << c.what;
    }

    // The setting chosen again is a new request.
    Model again;
    again.setFullBy(daily, 16 * 60, at(7, 1, 5), berlin);
    byTick(again);
    again.fullByCancelled(at(7, 1, 15));
    again.full.reset();
    again.setFullBy(daily, 16 * 60, at(7, 1, 15, 1), berlin);
    again.followFullBy(at(7, 1, 15, 2), berlin);
    EXPECT_EQ(again.starts, 2);
}

TEST(FullBy, LineAndUsefulness) {
    const DateFormatter formatter("en_GB", "Europe/Berlin");
    Model model;
    EXPECT_EQ(model.fullByLine(at(7, 1, 12), berlin, formatter), "Off. The charge stays at the limit.");
    model.setFullBy(once, 450, at(7, 1, 12), berlin);
    EXPECT_EQ(model.fullByLine(at(7, 1, 12), berlin, formatter),
              "Charging to 100% starts at about 06:20, to be full by 07:30 tomorrow. If the Mac goes to sleep on the "
              "charger before that, it starts then.");

    // Full by 16:00 with a lead of 70 minutes: the start is 14:50. Once it has passed, or a
    // charge runs, the sentence says what happens and promises nothing it cannot keep.
    const auto charging = [](std::optional<std::int64_t> minutes) {
        return [minutes](Model& m) {
            m.full = FullCharge{80, false};
            m.reading.charging = true;
            m.reading.systemMinutes = minutes;
        };
    };
    struct Case {
        Date now;
        std::function<void(Model&)> change;
        std::string line;
    };
    const std::vector<Case> cases{
        {at(7, 1, 12), {}, "Charging to 100% starts at about 14:50, to be full by 16:00 today. If the Mac goes to "
                           "sleep on the charger before that, it starts then."},
        {at(7, 1, 15, 29), {}, "Charging to 100% starts now. It may not be full by 16:00 today."},
        {at(7, 1, 15, 29), [](Model& m) { m.reading.plugged = false; },
         "Charging to 100% starts once the Mac is on the charger. It may not be full by 16:00 today."},
        {at(7, 1, 15, 29), [](Model& m) { m.reading.percent = 100; }, "The battery is full, ready for 16:00 today."},
        {at(7, 1, 15, 29), charging(150),
         "Charging to 100% has started. At this pace the battery is full at about 17:59, after 16:00 today."},
        {at(7, 1, 15, 29), charging(20), "Charging to 100% has started, to be full by 16:00 today."},
        {at(7, 1, 12), charging(std::nullopt), "Charging to 100% has started, to be full by 16:00 today."},
    };
    for (const auto& c : cases) {
        Model lined;
        lined.setFullBy(daily, 16 * 60, at(7, 1, 12), berlin);
        if (c.change) c.change(lined);
        EXPECT_EQ(lined.fullByLine(c.now, berlin, formatter), c.line);
    }

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
