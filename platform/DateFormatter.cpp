#include "platform/DateFormatter.h"

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cstdlib>

namespace norvane {

struct DateFormatter::Impl {
    std::unique_ptr<icu::DateFormat> dayMonthYear;
    std::unique_ptr<icu::DateFormat> monthAndYear;
    std::unique_ptr<icu::DateFormat> shortTime;
    std::unique_ptr<icu::DateFormat> timeWithSeconds;
    std::unique_ptr<icu::DateFormat> weekdayAndTime;

    Impl() = default;
    Impl(const Impl& other)
        : dayMonthYear(other.dayMonthYear->clone()),
          monthAndYear(other.monthAndYear->clone()),
          shortTime(other.shortTime->clone()),
          timeWithSeconds(other.timeWithSeconds->clone()),
          weekdayAndTime(other.weekdayAndTime->clone()) {}
};

namespace {

// The locale's best pattern for a skeleton of fields, as a format; the ISO form of the
// same fields when the locale has no data.
std::unique_ptr<icu::DateFormat> fromSkeleton(const icu::Locale& locale, const char* skeleton) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(icu::DateTimePatternGenerator::createInstance(locale, status));
    icu::UnicodeString pattern = icu::UnicodeString::fromUTF8(skeleton);
    if (U_SUCCESS(status)) {
        const auto best = generator->getBestPattern(pattern, status);
        if (U_SUCCESS(status)) pattern = best;
    }
    status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(u"yyyy-MM-dd"), status);
    }
    return format;
}

std::unique_ptr<icu::DateFormat> timeFormat(const icu::Locale& locale, icu::DateFormat::EStyle style,
                                           const char* fallback) {
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createTimeInstance(style, locale));
    if (format) return format;
    return fromSkeleton(locale, fallback);
}

std::string formatted(const icu::DateFormat& format, Date date) {
    icu::UnicodeString text;
    format.format(date.seconds * 1000.0, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

}  // namespace

std::string DateFormatter::userLocale() {
    std::string name;
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        if (const char* value = std::getenv(variable); value && *value) {
            name = value;
            break;
        }
    }
    // "C", "C.UTF-8" and "POSIX" stand for ICU's neutral English, and so does no locale at all.
    const std::string language = name.substr(0, name.find_first_of(".@"));
    if (language.empty() || language == "C" || language == "POSIX") return "en_US_POSIX";
    const icu::Locale locale = icu::Locale::createCanonical(name.c_str());
    return locale.isBogus() ? "en_US_POSIX" : locale.getName();
}

DateFormatter DateFormatter::current() { return DateFormatter(userLocale(), Calendar::current().timeZone()); }

DateFormatter::DateFormatter(const std::string& locale, const std::string& timeZone) : impl_(std::make_unique<Impl>()) {
    const icu::Locale icuLocale = icu::Locale::createCanonical(locale.c_str());
    impl_->dayMonthYear = fromSkeleton(icuLocale, "yMMMMd");
    impl_->monthAndYear = fromSkeleton(icuLocale, "yMMMM");
    impl_->shortTime = timeFormat(icuLocale, icu::DateFormat::kShort, "HH:mm");
    impl_->timeWithSeconds = timeFormat(icuLocale, icu::DateFormat::kMedium, "HH:mm:ss");
    impl_->weekdayAndTime = fromSkeleton(icuLocale, "EEEjmm");
    // An unknown zone name gives ICU's "Etc/Unknown", which behaves as UTC.
    const std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone)));
    for (auto* format : {impl_->dayMonthYear.get(), impl_->monthAndYear.get(), impl_->shortTime.get(),
                         impl_->timeWithSeconds.get(), impl_->weekdayAndTime.get()})
        format->setTimeZone(*zone);
}

DateFormatter::DateFormatter(const DateFormatter& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}

DateFormatter& DateFormatter::operator=(const DateFormatter& other) {
    if (this != &other) impl_ = std::make_unique<Impl>(*other.impl_);
    return *this;
}

DateFormatter::DateFormatter(DateFormatter&&) noexcept = default;
DateFormatter& DateFormatter::operator=(DateFormatter&&) noexcept = default;
DateFormatter::~DateFormatter() = default;

std::string DateFormatter::dayMonthYear(Date date) const { return formatted(*impl_->dayMonthYear, date); }
std::string DateFormatter::monthAndYear(Date date) const { return formatted(*impl_->monthAndYear, date); }
std::string DateFormatter::shortTime(Date date) const { return formatted(*impl_->shortTime, date); }
std::string DateFormatter::timeWithSeconds(Date date) const { return formatted(*impl_->timeWithSeconds, date); }
std::string DateFormatter::weekdayAndTime(Date date) const { return formatted(*impl_->weekdayAndTime, date); }

}  // namespace norvane
