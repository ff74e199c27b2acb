// The HTML battery report from the model's state, saved where the user chooses.

#include <cerrno>
#include <system_error>

#include "app/model/AppModel.h"

namespace norvane {
namespace {

constexpr int reportMonths = 36;

}  // namespace

BatteryReportFacts AppModel::batteryReportFacts() const {
    const Date now = this->now();
    BatteryReportFacts facts;
    facts.made = now;
    facts.mac = system_->controls->text("hw.model").value_or("") + " \u00B7 " + chipName(*system_->controls);
    const OSVersion os = system_->state->operatingSystemVersion().value_or(OSVersion{});
    facts.system = systemName(os.major, os.minor, os.patch);
    facts.health = systemHealth_ ? systemHealth_ : battery_.health();
    facts.capacity = battery_.nominal;
    facts.design = battery_.design;
    facts.cycles = battery_.cycles;
    facts.limit = limit_;
    if (!health_.points.empty()) facts.since = health_.points.front().day;
    for (const auto& month : health_.monthly(reportMonths, now, battery_.design, system_->calendar))
        if (month) facts.months.push_back(*month);
    return facts;
}

std::optional<std::string> AppModel::writeBatteryReport(const Path& place) const {
    const std::string page = batteryReport(batteryReportFacts(), system_->formatter);
    errno = 0;
    if (writeFileAtomically(place, page)) return std::nullopt;
    const int error = errno;
    return error != 0 ? std::error_code(error, std::generic_category()).message() : "the file could not be written";
}

void AppModel::saveBatteryReport() {
    if (!system_->savePanel) return;
    const auto place = system_->savePanel->ask(batteryReportFileName(now(), system_->calendar));
    if (!place || place->empty()) return;
    if (const auto failure = writeBatteryReport(*place))
        assign(lowPowerNote_, std::optional("The report could not be saved: " + *failure), ModelField::lowPowerNote);
    else
        system_->workspace->selectFile(*place);
}

}  // namespace norvane
