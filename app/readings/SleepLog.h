#pragma once
// The power-management log turned into stretches of sleep: what each cost and why the
// Mac woke in between.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/analysis/Headline.h"
#include "platform/Process.h"
#include "platform/Time.h"

namespace norvane {

struct SleepStretch {
    Date start;  // the sleep line that opened it
    Date end;    // the last full wake
    std::int64_t percentBefore = 0;
    std::int64_t percentAfter = 0;
    bool onBattery = true;  // no line inside named another power source
    std::int64_t wakes = 0;  // brief wakes that ended in sleep again
    std::map<std::string, std::int64_t> reasons;  // wakeReason label → how many of those wakes

    // Whole minutes from start to end.
    std::int64_t minutes() const;
    // Percent before minus percent after, held at the integer's ends.
    std::int64_t lost() const;
    // Percent lost per hour; 0 under a minute.
    double perHour() const;

    bool operator==(const SleepStretch&) const = default;
};

// The power-management log's text: syslog's power records, or, when syslog prints
// nothing, `pmset -g log`. Empty when neither could be read. Blocks while they run.
std::string readSleepLog(const ProcessRunner& runner);

// The stretches longer than nine minutes that ended in a full wake, in log order. A line
// whose charge is not a percentage from 0 to 100 is skipped.
std::vector<SleepStretch> parseSleepLog(std::string_view text);

// The same parse, fed the log's bytes as they come (cut anywhere, not yet decoded), so a log
// of weeks is never held whole: a line is decoded (invalid UTF-8 replaced) only when it may
// count, and kept only while it is cut.
class SleepLogReader {
public:
    void add(std::string_view bytes);
    // Whether any byte came.
    bool empty() const { return !seen_; }
    // The stretches, once the log has ended.
    std::vector<SleepStretch> finish();

private:
    void line(std::string_view raw);
    void close();

    std::string cut_;  // the start of a line that the last piece ended inside
    bool seen_ = false;
    std::vector<SleepStretch> out_;
    std::optional<SleepStretch> open_;
    bool woke_ = false;
    std::optional<std::string> pending_;  // the reason of the first wake since the last sleep line
};

// readSleepLog's text parsed as it is read, off the text: the stretches of
// parseSleepLog(readSleepLog(runner)).
std::vector<SleepStretch> readSleepStretches(const ProcessRunner& runner);

// One of six plain labels for a raw wake reason, decided by its whole words.
std::string wakeReason(std::string_view raw);

// Title and detail for a stretch on battery that lost at least 2 % or woke 20 times or more.
std::optional<Headline> sleepSummary(const SleepStretch& stretch);

}  // namespace norvane
