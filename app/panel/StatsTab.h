#pragma once
// The Stats page: one column of five cards, always in the same order (battery, system,
// history, sleep, apps). The page holds no figures: every card reads the model. Its own
// state is what the cards' controls chose (the apps' period and metric, the history's span)
// and the charge-limit slider while the user moves it; the cards' descriptions are in
// BatteryCard, SystemCard, HistoryCard, SleepCard and AppsCard.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

// The apps card's periods: the live list, today's ledger, the last seven days'.
enum class AppPeriod { now, today, week };
// The apps card's figure: each app's share, or that share of the measured drain.
enum class AppMetric { share, perHour };
// The history card's spans: 3 hours, 24 hours, 7 days.
enum class Span { hours, day, week };

// The segments' titles: "NOW", "TODAY", "7D"; "%", "≈%/H"; "3H", "24H", "7D".
std::string_view rawValue(AppPeriod period);
std::string_view rawValue(AppMetric metric);
std::string_view rawValue(Span span);

struct StatsTab {
    AppMetric metric = AppMetric::share;
    AppPeriod period = AppPeriod::now;
    Span span = Span::hours;
    double slider = 100;    // the charge-limit slider's position, in percent
    bool dragging = false;  // the user holds the slider

    // `--apps-per-hour` and `--apps-today` choose the apps card's metric and period.
    static StatsTab make(const std::vector<std::string>& arguments);

    // ---- Layout ----
    static constexpr double spacing = 10;      // between the cards
    static constexpr double cardPadding = 14;  // of every card, and under the last one
    // The least space between a card's title and what stands at the other end of its header
    // (a long name there is cut first).
    static constexpr double headerGap = 16;
    static TextStyle labelStyle();             // row labels and block titles: 13 points, medium, one line
    static TextStyle figureStyle(Color color);  // figures at a row's end: 12 points, monospaced
    static TextStyle detailStyle();            // a row's second line: 10 points, white at 45 %

    // ---- The charge-limit slider ----
    // Takes the model's limit: when the slider first shows, whenever the limit changes and
    // when a request ends (so a refused value springs back). Sends nothing.
    void takeLimit(std::int64_t limit) { slider = static_cast<double>(limit); }
    // The user took hold of the slider or let go of it; letting go commits.
    std::optional<std::int64_t> edit(bool editing, const AppModel& m);
    // The slider moved: by a drag (nothing sent until it ends) or by a key (committed).
    std::optional<std::int64_t> move(double value, const AppModel& m);
    // The limit to ask the model for: the slider's whole percent when it differs from the
    // model's limit; none while dragging, while a request is under way, or when equal (so
    // the model's own value arriving never asks again).
    std::optional<std::int64_t> commit(const AppModel& m) const;
};

// A figure that is not a finite number counts as not known.
std::optional<double> known(std::optional<double> value);
// What a figure that is not known shows (U+2014).
inline constexpr const char* notKnown = "—";

}  // namespace norvane
