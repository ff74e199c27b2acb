#pragma once
// Dates and times as the user reads them: in the user's locale and time zone (ICU).

#include <memory>
#include <string>

#include "platform/Time.h"

namespace norvane {

// One locale and one time zone. A formatter is not for use from two threads at once;
// copies share nothing mutable.
class DateFormatter {
public:
    // The user's formatter: the locale of LC_ALL, LC_TIME or LANG (the first one set;
    // "C", "POSIX" or none give the neutral English of ICU's POSIX locale) in the time
    // zone of Calendar::current().
    static DateFormatter current();
    // The locale as ICU or POSIX names it ("en_GB", "de_DE.UTF-8", "fr-CA") and an IANA zone.
    DateFormatter(const std::string& locale, const std::string& timeZone);
    DateFormatter(const DateFormatter& other);
    DateFormatter& operator=(const DateFormatter& other);
    DateFormatter(DateFormatter&&) noexcept;
    DateFormatter& operator=(DateFormatter&&) noexcept;
    ~DateFormatter();

    // Day, wide month name and year: "8 December 2026", "December 8, 2026".
    std::string dayMonthYear(Date date) const;
    // Wide month name and year: "December 2026".
    std::string monthAndYear(Date date) const;
    // The time of day in the locale's short style, no date: "21:04", "9:04 PM".
    std::string shortTime(Date date) const;
    // The time of day with seconds, in the locale's standard (medium) style: "21:04:07",
    // "9:04:07 PM".
    std::string timeWithSeconds(Date date) const;
    // The abbreviated weekday with the hour (in the locale's own cycle, with its day-period
    // marker where it has one) and the minute: "Tue 10:00", "Tue 10:00 AM".
    std::string weekdayAndTime(Date date) const;

    // The locale that $LC_ALL, $LC_TIME or $LANG names, as ICU spells it.
    static std::string userLocale();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace norvane
