#pragma once
// A full battery by a time of day, once or every day: a one-time charge to 100 % starts as
// long before the target as a full charge takes from here, or at once when the Mac goes to
// sleep on the charger with the target less than 12 hours away.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/readings/Battery.h"
#include "app/readings/ChargeLimit.h"
#include "app/readings/Charger.h"
#include "app/readings/LimitBackend.h"
#include "platform/DateFormatter.h"
#include "platform/Time.h"

namespace norvane {

enum class FullByMode { off, once, daily };

// The stored text: "off", "once", "daily".
std::string_view rawValue(FullByMode mode);
// Absent for any other text.
std::optional<FullByMode> fullByMode(std::string_view raw);

// What the schedule does on this tick.
enum class FullByStep { wait, start, passed };

// The next moment after `after` at `minutes` past midnight. A time that a clock change
// skips is the moment the clock jumps past it; of a repeated time only the first counts.
// Minutes outside one day (a stored setting may hold any integer) wrap into it.
Date nextFullBy(std::int64_t minutes, Date after, const Calendar& calendar);

// Seconds a charge to 100 % takes from `percent`: 60 % of the charger's rated power (at
// most 100 W, 18 W usable when unknown) plus half an hour, between 45 minutes and 4 hours.
double fullByLead(std::int64_t percent, double capacityWh, std::optional<std::int64_t> chargerWatts);

FullByStep fullByStep(Date now, Date target, double lead);

// The schedule's share of the app model: the fields it keeps and the charge-limit state it
// reads are the model's (it persists the settings on every assignment); the operations
// below are the model's members, written once here on top of them.
class FullBySchedule {
public:
    virtual ~FullBySchedule() = default;

    // Settings.
    virtual FullByMode fullByMode() const = 0;
    virtual void setFullByMode(FullByMode mode) = 0;
    virtual std::int64_t fullByMinutes() const = 0;  // after midnight
    virtual void setFullByMinutes(std::int64_t minutes) = 0;
    virtual std::optional<Date> fullByTarget() const = 0;  // none while off
    virtual void setFullByTarget(std::optional<Date> target) = 0;

    // The charge-limit side.
    virtual const Battery& battery() const = 0;
    virtual std::optional<Charger> charger() const = 0;
    virtual LimitAvailability limitAvailability() const = 0;
    virtual std::int64_t limit() const = 0;  // 100: none
    virtual bool limitBusy() const = 0;      // a limit request is using the backend
    virtual std::shared_ptr<LimitBackend> backend() const = 0;
    virtual std::optional<FullCharge> fullOnce() const = 0;
    virtual void setFullOnce(std::optional<FullCharge> state) = 0;
    // Starts a one-time charge to 100 % in a task, unless one runs or the limit is busy.
    virtual void chargeFullOnce() = 0;

    // The lead for the battery and charger as they are now.
    double fullByLeadNow() const;
    // Whether the setting does anything: a charge limit to lift, or a full charge running.
    bool fullByUseful() const;
    void setFullBy(FullByMode mode, std::int64_t minutes, Date now, const Calendar& calendar);
    // The sentence under the setting; times in `formatter`'s short style.
    std::string fullByLine(Date now, const Calendar& calendar, const DateFormatter& formatter) const;
    // Every tick: starts the charge when its time has come and moves a passed target on.
    void followFullBy(Date now, const Calendar& calendar);
    // When the system announces sleep: charges to full at once, synchronously, when the
    // target is under 12 hours away, the Mac is on the charger and the limit is not busy.
    void fullByBeforeSleep(Date now);
    // The user cancels the running charge to 100 % (Cancel on the Now page), before it ends.
    // When it is the schedule's (started by it for its target, or running once the target's
    // start time has come), the schedule starts nothing more for that target; a daily one
    // starts again for the next day's.
    void fullByCancelled(Date now);

private:
    // In memory only: the start window is at most four hours long and the target moves on
    // by itself, so a quit within it is the one case that forgets a cancel, and then the
    // schedule does what the setting, still on, says. Changing the setting forgets it too.
    std::optional<Date> startedFor_;    // the target the schedule last started a charge for
    std::optional<Date> cancelledFor_;  // the target a cancel holds for
};

}  // namespace norvane
