#include "app/controls/AwakeMode.h"

#include <cmath>
#include <cstdio>

#include "platform/Text.h"

namespace norvane {
namespace {
constexpr std::int64_t defaultTimerMinutes = 60;
}

std::string AwakeMode::stored() const {
    struct Text {
        std::string operator()(const Timer& t) const { return "timer:" + std::to_string(t.minutes); }
        std::string operator()(const App& a) const { return "app:" + a.path; }
        std::string operator()(const UntilStopped&) const { return "untilStopped"; }
        std::string operator()(const Agents&) const { return "agents"; }
    };
    return std::visit(Text{}, value);
}

AwakeMode AwakeMode::fromStored(const std::optional<std::string>& stored) {
    std::string_view text = stored ? std::string_view(*stored) : std::string_view();
    // Split once at a ":", leaving out empty pieces: leading colons are skipped (":agents"
    // is "agents"), and further colons belong to the value (an app's path may hold them).
    const auto start = text.find_first_not_of(':');
    if (start == std::string_view::npos) return untilStopped();
    text.remove_prefix(start);
    const auto colon = text.find(':');
    const std::string_view kind = text.substr(0, colon);
    const std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    const bool hasValue = !rest.empty();
    if (kind == "timer") {
        const auto minutes = hasValue ? parseInt64(rest) : std::nullopt;
        return timer(minutes.value_or(defaultTimerMinutes));
    }
    if (kind == "agents") return agents();
    if (kind == "app" && hasValue) return app(std::string(rest));
    return untilStopped();
}

std::optional<std::int64_t> minutesToFloor(std::int64_t percent, std::int64_t floor, std::optional<double> drain) {
    if (!drain || !(*drain > 0) || percent <= floor) return std::nullopt;
    const double minutes = (static_cast<double>(percent) - static_cast<double>(floor)) / *drain * 60;
    // A tiny drain gives a figure no whole number of minutes can hold.
    constexpr double limit = 9223372036854775808.0;  // 2^63
    if (!std::isfinite(minutes) || minutes >= limit) return std::nullopt;
    return static_cast<std::int64_t>(minutes);
}

std::string countdown(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

}  // namespace norvane
