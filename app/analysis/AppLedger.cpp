#include "app/analysis/AppLedger.h"

#include <cstdio>

namespace norvane {

std::string AppLedger::day(Date date, const Calendar& calendar) {
    const auto parts = calendar.parts(date).value_or(DateParts{});
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
    return text;
}

}  // namespace norvane
