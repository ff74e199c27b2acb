#pragma once
// The per-day ledger of each app's energy, kept in apps.json.

#include <string>

#include "platform/Time.h"

namespace norvane {

struct AppLedger {
    // The calendar day as "%04d-%02d-%02d"; its text order is date order. Also the day
    // key of the daily capacity record and of the battery report's file name.
    static std::string day(Date date, const Calendar& calendar);
};

}  // namespace norvane
