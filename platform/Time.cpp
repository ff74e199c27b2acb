#include "platform/Time.h"

#include <unicode/gregocal.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace norvane {

Date Date::now() {
    using namespace std::chrono;
    return {duration<double>(system_clock::now().time_since_epoch()).count()};
}

void blockThread(std::uint32_t seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); }

struct Calendar::Impl {
    std::unique_ptr<icu::GregorianCalendar> calendar;
};

namespace {

std::string hostTimeZoneName() {
    // ICU reads TZ itself, but only once per process; read it ourselves so a test that
    // sets TZ sees it honoured.
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string name = tz;
        if (name.front() == ':') name.erase(0, 1);
        return name;
    }
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::detectHostTimeZone());
    icu::UnicodeString id;
    zone->getID(id);
    std::string out;
    id.toUTF8String(out);
    return out;
}

std::unique_ptr<icu::GregorianCalendar> makeCalendar(const std::string& name) {
    UErrorCode status = U_ZERO_ERROR;
    auto* zone = icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(name));
    auto calendar = std::make_unique<icu::GregorianCalendar>(zone, status);  // takes the zone
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        calendar = std::make_unique<icu::GregorianCalendar>(icu::TimeZone::getGMT()->clone(), status);
    }
    calendar->setLenient(true);
    return calendar;
}

constexpr double msPerSecond = 1000.0;

}  // namespace

Calendar Calendar::current() { return Calendar(hostTimeZoneName()); }

Calendar::Calendar(const std::string& timeZone) : impl_(std::make_unique<Impl>()) {
    impl_->calendar = makeCalendar(timeZone);
}

Calendar::Calendar(const Calendar& other) : impl_(std::make_unique<Impl>()) {
    impl_->calendar.reset(static_cast<icu::GregorianCalendar*>(other.impl_->calendar->clone()));
}

Calendar& Calendar::operator=(const Calendar& other) {
    if (this != &other) impl_->calendar.reset(static_cast<icu::GregorianCalendar*>(other.impl_->calendar->clone()));
    return *this;
}

Calendar::Calendar(Calendar&&) noexcept = default;
Calendar& Calendar::operator=(Calendar&&) noexcept = default;
Calendar::~Calendar() = default;

std::string Calendar::timeZone() const {
    icu::UnicodeString id;
    impl_->calendar->getTimeZone().getID(id);
    std::string out;
    id.toUTF8String(out);
    return out;
}

std::optional<DateParts> Calendar::parts(Date date) const {
    auto& cal = *impl_->calendar;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(date.seconds * msPerSecond, status);
    DateParts p;
    p.year = cal.get(UCAL_EXTENDED_YEAR, status);
    p.month = cal.get(UCAL_MONTH, status) + 1;
    p.day = cal.get(UCAL_DATE, status);
    p.hour = cal.get(UCAL_HOUR_OF_DAY, status);
    p.minute = cal.get(UCAL_MINUTE, status);
    p.second = cal.get(UCAL_SECOND, status);
    p.weekday = cal.get(UCAL_DAY_OF_WEEK, status);
    if (U_FAILURE(status)) return std::nullopt;
    return p;
}

std::optional<Date> Calendar::date(int year, int month, int day, int hour, int minute, int second) const {
    auto& cal = *impl_->calendar;
    cal.clear();
    cal.set(UCAL_EXTENDED_YEAR, year);
    cal.set(UCAL_MONTH, month - 1);
    cal.set(UCAL_DATE, day);
    cal.set(UCAL_HOUR_OF_DAY, hour);
    cal.set(UCAL_MINUTE, minute);
    cal.set(UCAL_SECOND, second);
    UErrorCode status = U_ZERO_ERROR;
    const double ms = cal.getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    return Date{ms / msPerSecond};
}

namespace {
std::optional<Date> adding(icu::GregorianCalendar& cal, Date date, UCalendarDateFields field, int amount) {
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(date.seconds * msPerSecond, status);
    cal.add(field, amount, status);
    const double ms = cal.getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    return Date{ms / msPerSecond};
}
}  // namespace

std::optional<Date> Calendar::addingDays(Date date, int days) const {
    return adding(*impl_->calendar, date, UCAL_DATE, days);
}
std::optional<Date> Calendar::addingMonths(Date date, int months) const {
    return adding(*impl_->calendar, date, UCAL_MONTH, months);
}
std::optional<Date> Calendar::addingYears(Date date, int years) const {
    return adding(*impl_->calendar, date, UCAL_YEAR, years);
}

std::optional<Date> Calendar::startOfDay(Date date) const {
    auto p = parts(date);
    if (!p) return std::nullopt;
    return this->date(p->year, p->month, p->day);
}

std::optional<Date> Calendar::nextTime(int hour, int minute, Date after) const {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    const auto day = parts(after);
    if (!day) return std::nullopt;
    // ICU's lenient defaults take a skipped time at the old offset (02:30 becomes 03:30) and
    // a repeated one at its second occurrence; neither is the time the user set.
    auto& cal = *impl_->calendar;
    cal.setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
    cal.setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
    std::optional<Date> found;
    // Today's time or tomorrow's; a third day only where a zone skipped a whole day.
    for (int offset = 0; offset < 3 && !found; ++offset) {
        const auto candidate = date(day->year, day->month, day->day + offset, hour, minute);
        if (!candidate) break;
        if (*candidate > after) found = candidate;
    }
    cal.setSkippedWallTimeOption(UCAL_WALLTIME_LAST);
    cal.setRepeatedWallTimeOption(UCAL_WALLTIME_LAST);
    return found;
}

std::optional<int> Calendar::daysBetween(Date from, Date to) const {
    auto& cal = *impl_->calendar;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(from.seconds * msPerSecond, status);
    const int days = cal.fieldDifference(to.seconds * msPerSecond, UCAL_DATE, status);
    if (U_FAILURE(status)) return std::nullopt;
    return days;
}

int Calendar::offsetFromUtc(Date date) const {
    auto& cal = *impl_->calendar;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(date.seconds * msPerSecond, status);
    const int ms = cal.get(UCAL_ZONE_OFFSET, status) + cal.get(UCAL_DST_OFFSET, status);
    return U_FAILURE(status) ? 0 : ms / 1000;
}

}  // namespace norvane
