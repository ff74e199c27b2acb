#pragma once
// Dates as seconds since 1970 and the user's calendar.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace norvane {

// A moment: seconds since 1 January 1970 UTC, with fractions.
struct Date {
    double seconds = 0;

    static Date now();  // the real wall clock; model code takes time from its MainQueue
    // Long before anything recorded: 1 January of the year 1, UTC.
    static constexpr Date distantPast() { return {-62'135'596'800}; }
    Date operator+(double s) const { return {seconds + s}; }
    Date operator-(double s) const { return {seconds - s}; }
    double operator-(Date other) const { return seconds - other.seconds; }
    auto operator<=>(const Date&) const = default;
};

// Blocks the calling thread. Only a background job waits this way (the charge limit's
// read-back); work on the main queue never does.
void blockThread(std::uint32_t seconds);

struct DateParts {
    int year = 0;
    int month = 0;  // 1...12
    int day = 0;    // 1...31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 0;  // 1 = Sunday ... 7 = Saturday
};

// The Gregorian calendar in one time zone. Copies share nothing mutable.
class Calendar {
public:
    // The user's calendar: the time zone named by TZ, else the system's.
    static Calendar current();
    // A calendar in the named IANA time zone ("Europe/Berlin", "UTC"); unknown names give UTC.
    explicit Calendar(const std::string& timeZone);
    Calendar(const Calendar& other);
    Calendar& operator=(const Calendar& other);
    Calendar(Calendar&&) noexcept;
    Calendar& operator=(Calendar&&) noexcept;
    ~Calendar();

    std::string timeZone() const;
    std::optional<DateParts> parts(Date date) const;
    // The moment of the given local day and time; absent when the calendar cannot form it.
    std::optional<Date> date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) const;
    // Calendar arithmetic keeping the local time of day (across a clock change too).
    std::optional<Date> addingDays(Date date, int days) const;
    std::optional<Date> addingMonths(Date date, int months) const;
    std::optional<Date> addingYears(Date date, int years) const;
    std::optional<Date> startOfDay(Date date) const;
    // The first moment after `after` at which the local clock reads hour:minute:00. On a day
    // whose clock change skips that time, the moment the clock jumps past it; of a time that
    // a clock change repeats, only the first counts. Absent for an hour or minute out of
    // range, or when the calendar cannot form the date.
    std::optional<Date> nextTime(int hour, int minute, Date after) const;
    // Whole calendar days from one moment to another (negative when `to` is earlier).
    std::optional<int> daysBetween(Date from, Date to) const;
    // Seconds east of UTC at that moment.
    int offsetFromUtc(Date date) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace norvane
