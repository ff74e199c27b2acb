#include "app/readings/BatteryReport.h"

#include "app/analysis/AppLedger.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::string_view styleSheet =
    "body { margin: 0; padding: 40px 24px; background: #0c0c0d; color: #f2f2f2; "
    "font: 15px/1.5 ui-monospace, Menlo, monospace; }\n"
    "main { max-width: 640px; margin: 0 auto; }\n"
    ".brand { letter-spacing: .2em; font-weight: 600; }\n"
    ".brand i { display: inline-block; width: 8px; height: 8px; border-radius: 50%; background: #d61a21; "
    "margin-right: 10px; }\n"
    "h1 { font: 600 28px/1.2 -apple-system, sans-serif; margin: 28px 0 4px; }\n"
    "h2 { font: 600 12px/1 ui-monospace, Menlo, monospace; letter-spacing: .16em; text-transform: uppercase; "
    "color: #a3a3a8; margin: 36px 0 12px; }\n"
    "table { width: 100%; border-collapse: collapse; }\n"
    "th, td { text-align: left; padding: 9px 0; border-bottom: 2px dotted #3a3a3d; font-weight: 400; }\n"
    "td { text-align: right; }\n"
    "td:first-child { text-align: left; }\n"
    "tr:first-child th:nth-child(2), tr:first-child th:nth-child(3) { text-align: right; }\n"
    ".note { color: #a3a3a8; font-size: 13px; }\n"
    "@media print { body { background: #fff; color: #000; } h2, .note { color: #555; } th, td { border-color: #bbb; } }\n";

// Everything that is not fixed markup passes through here: "&" first, so the entities
// it adds are not escaped twice.
std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string row(std::string_view label, std::string_view value) {
    return "<tr><th>" + escaped(label) + "</th><td>" + escaped(value) + "</td></tr>";
}

std::string healthSection(const BatteryReportFacts& facts, const DateFormatter& format) {
    if (facts.months.empty())
        return "<p class=\"note\">No history yet: Norvane records the capacity once a day.</p>";
    std::string out = "<table>\n<tr><th>Month</th><th>Capacity, of new</th><th>Cycles</th></tr>\n";
    for (std::size_t i = 0; i < facts.months.size(); ++i) {
        const auto& month = facts.months[i];
        if (i > 0) out += "\n";
        out += "<tr><td>" + escaped(format.monthAndYear(month.month)) + "</td><td>" + formatFixed(month.percent, 1) +
               "%</td><td>" + std::to_string(month.cycles) + "</td></tr>";
    }
    out += "\n</table>\n<p class=\"note\">The average of the daily readings of each month";
    if (facts.since) out += ", recorded since " + escaped(*facts.since);
    return out + ".</p>";
}

}  // namespace

std::string batteryReport(const BatteryReportFacts& facts, const DateFormatter& format) {
    const std::string date = escaped(format.dayMonthYear(facts.made));
    const std::string time = escaped(format.shortTime(facts.made));
    const auto n = [](std::int64_t value) { return std::to_string(value); };

    std::string out =
        "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Battery report · " +
        date + "</title>\n<style>\n";
    out += styleSheet;
    out +=
        "</style>\n</head>\n<body><main>\n<div class=\"brand\"><i></i>NORVANE</div>\n<h1>Battery report</h1>\n"
        "<p class=\"note\">" +
        date + ", " + time + "</p>\n<h2>Now</h2>\n<table>\n";
    const std::string rows[] = {
        row("Mac", facts.mac),
        row("System", facts.system),
        row("Maximum capacity", facts.health ? n(*facts.health) + "%" : "not reported"),
        row("Full charge capacity", n(facts.capacity) + " mAh"),
        row("Capacity when new", facts.design >= 1 ? n(facts.design) + " mAh" : "not reported"),
        row("Charge cycles", n(facts.cycles)),
        row("Charge limit", facts.limit <= 99 ? n(facts.limit) + "%" : "off"),
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) out += (i > 0 ? "\n" : "") + rows[i];
    out += "\n</table>\n<h2>Health over time</h2>\n" + healthSection(facts, format);
    out +=
        "\n<p class=\"note\">Read from this Mac's battery by Norvane. Maximum capacity is the figure macOS reports; "
        "the capacities are what the battery controller reports.</p>\n</main></body>\n</html>";
    return out;
}

std::string systemName(std::int64_t major, std::int64_t minor, std::int64_t patch) {
    std::string out = "macOS " + std::to_string(major) + "." + std::to_string(minor);
    if (patch >= 1) out += "." + std::to_string(patch);
    return out;
}

std::string batteryReportFileName(Date now, const Calendar& calendar) {
    return "Norvane battery report " + AppLedger::day(now, calendar) + ".html";
}

}  // namespace norvane
