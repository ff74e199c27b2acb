#include "app/panel/Panel.h"

#include <algorithm>
#include <cmath>

#include "app/visuals/ChargeTone.h"
#include "platform/CommandLine.h"

namespace norvane {

Color panelAccent(const Battery& battery, Color tint) {
    return battery.percent <= 20 && !battery.plugged ? signalRed : tint;
}

Panel Panel::make(const std::vector<std::string>& arguments) {
    return {hasArgument(arguments, "--stats") ? Tab::stats : Tab::now, hasArgument(arguments, "--settings")};
}

Panel::Page Panel::page() const {
    if (settings) return Page::settings;
    return tab == Tab::stats ? Page::stats : Page::now;
}

void Panel::choose(std::optional<Tab> page) {
    if (!page) return;
    tab = *page;
    settings = false;
}

void Panel::takeWantedTab(AppModel& m) {
    if (!m.wantedTab()) return;
    choose(m.wantedTab());
    m.setWantedTab(std::nullopt);
}

double Panel::nowHeightCap(bool short_, std::optional<double> visibleHeight) {
    if (short_) return 420;
    if (!visibleHeight || !std::isfinite(*visibleHeight)) return 804;
    return std::max(*visibleHeight - 96, leastNowHeight);
}

double Panel::pageHeight(Page page, bool tall, std::optional<double> visibleHeight) {
    const double height = !tall ? 574 : page == Page::settings ? 1400 : 1700;
    if (!visibleHeight || !std::isfinite(*visibleHeight)) return height;
    return std::min(height, nowHeightCap(false, visibleHeight));
}

TextStyle Panel::titleStyle() {
    return {.size = 12, .weight = FontWeight::semibold, .monospaced = true, .tracking = 1.5, .uppercase = true};
}

Panel::Header Panel::header(Color accent) const {
    Segments<std::optional<Tab>> pages{
        {Tab::now, Tab::stats}, settings ? std::nullopt : std::optional(tab), false, [](const std::optional<Tab>& t) {
            return t ? std::string(rawValue(*t)) : "";
        }};
    return {std::move(pages), settings ? accent : Color::white(), settings};
}

}  // namespace norvane
