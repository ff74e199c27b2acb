#include "app/onboarding/TourWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace norvane {
namespace {

using Action = TourWindow::Action;
using Button = TourWindow::Button;

Button primary(std::string title, Action action, bool animated) {
    return {std::move(title), true, true, action, animated};
}
Button secondary(std::string title, Action action, bool animated, bool enabled = true) {
    return {std::move(title), false, enabled, action, animated};
}

}  // namespace

TourState TourState::of(const Onboarding& tour) {
    return {tour.step(), tour.notifications(), tour.helper(), tour.forward()};
}

std::optional<Access> TourState::access(OnboardingStep of) const {
    if (of == OnboardingStep::notifications) return notifications;
    if (of == OnboardingStep::helper) return helper;
    return std::nullopt;
}

Rect TourWindow::frame(const Rect& available, const std::optional<Rect>& item) {
    double top = available.y, bottom = available.y + available.height;
    // Only an item along an edge takes room: one elsewhere is a tray's guess at its icon.
    constexpr double edge = 48;
    if (item && std::isfinite(item->y) && std::isfinite(item->height)) {
        if (item->y + item->height <= top + edge)
            top = std::clamp(item->y + item->height, top, bottom);
        else if (item->y >= bottom - edge)
            bottom = std::clamp(item->y, top, bottom);
    }
    const double room = bottom - top;
    const double h = std::max(std::min(height, room - 2 * screenMargin), leastHeight);
    const double x = available.x + std::max((available.width - width) / 2, 0.0);
    const double y = std::max(top + (room - h) / 2, top);
    return {std::round(x), std::round(y), width, std::floor(h)};
}

TextStyle TourWindow::nameStyle() {
    return {.size = 12, .weight = FontWeight::semibold, .monospaced = true, .tracking = 1.5, .uppercase = true};
}

TourWindow::Progress TourWindow::progress(const TourState& state, Color granted, Color waiting) {
    Progress out;
    const std::size_t current = position(state.step);
    for (const OnboardingStep step : onboardingSteps) {
        const std::size_t at = position(step);
        const auto access = state.access(step);
        Color color = Color::white(at <= current ? 0.9 : 0.18);
        if (access && is<access_state::Granted>(*access))
            color = granted;
        else if (access && at < current)
            color = waiting;
        out.dots.push_back({at == current ? 8.0 : 6.0, color});
    }
    char label[64];
    std::snprintf(label, sizeof label, "Step %lld of %lld", static_cast<long long>(current + 1),
                  static_cast<long long>(onboardingSteps.size()));
    out.accessibility = label;
    return out;
}

Pill Button::pill(Color accent) const {
    return primary ? Pill{accent, Color::black()} : Pill{Color::white(0.1), Color::white()};
}

std::vector<Button> TourWindow::accessButtons(const Access& access, std::string ask, std::string settings,
                                              Action askAction, Action settingsAction) {
    if (is<access_state::Granted>(access) || is<access_state::Unavailable>(access))
        return {primary("Continue", Action::next, true)};
    if (is<access_state::Checking>(access)) return {secondary("Checking", Action::none, false, false)};
    std::vector<Button> out{secondary("Not now", Action::next, true)};
    if (is<access_state::NeedsSettings>(access))
        out.push_back(primary(std::move(settings), settingsAction, false));
    else if (is<access_state::Failed>(access))
        out.push_back(primary("Try again", askAction, false));
    else
        out.push_back(primary(std::move(ask), askAction, false));
    return out;
}

TourWindow::Footer TourWindow::footer(const TourState& state) {
    Footer out;
    if (state.step != OnboardingStep::welcome) out.back = secondary("Back", Action::back, true);
    switch (state.step) {
        case OnboardingStep::welcome:
            out.buttons = {primary("Start", Action::next, true)};
            break;
        case OnboardingStep::know:
        case OnboardingStep::control:
            out.buttons = {primary("Continue", Action::next, true)};
            break;
        case OnboardingStep::notifications:
            out.buttons = accessButtons(state.notifications, "Allow notifications", "Open Notification settings",
                                        Action::askNotifications, Action::openNotificationSettings);
            break;
        case OnboardingStep::helper:
            out.buttons = accessButtons(state.helper, "Add the helper", "Open Login Items", Action::installHelper,
                                        Action::openLoginItems);
            break;
        case OnboardingStep::finish:
            out.buttons = {primary("Open Norvane", Action::finish, false)};
            break;
    }
    return out;
}

void perform(TourWindow::Action action, Onboarding& tour, const TourDoors& doors) {
    switch (action) {
        case Action::none:
            break;
        case Action::close:
            if (doors.close) doors.close();
            break;
        case Action::back:
            tour.back();
            break;
        case Action::next:
            tour.next();
            break;
        case Action::finish:
            if (doors.finish) doors.finish();
            break;
        case Action::askNotifications:
            tour.askNotifications();
            break;
        case Action::installHelper:
            tour.installHelper();
            break;
        case Action::openNotificationSettings:
            if (doors.openUrl) doors.openUrl(doors.notificationSettings);
            break;
        case Action::openLoginItems:
            if (doors.openLoginItems) doors.openLoginItems();
            break;
    }
}

}  // namespace norvane
