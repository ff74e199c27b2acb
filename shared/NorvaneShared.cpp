#include "shared/NorvaneShared.h"

namespace norvane {

std::vector<std::string> pmsetArguments(bool lowPower, bool onBattery) {
    return {onBattery ? "-b" : "-c", "lowpowermode", lowPower ? "1" : "0"};
}

std::optional<std::vector<std::string>> pmsetArguments(std::int64_t powerMode, bool onBattery) {
    // One unsigned comparison refuses the negative modes too.
    if (static_cast<std::uint64_t>(powerMode) > 2) return std::nullopt;
    return std::vector<std::string>{onBattery ? "-b" : "-c", "powermode", std::to_string(powerMode)};
}

std::optional<std::string> ownTeamID(const CodeSigning& signing) {
    const auto code = signing.selfCode();
    if (!code) return std::nullopt;
    const auto info = signing.signingInformation(*code);
    if (!info) return std::nullopt;
    const Value* team = find(*info, signingInfoTeamKey);
    if (!team || !team->isString()) return std::nullopt;
    return *team->asString();
}

std::string signingRequirement(std::string_view identifier, std::string_view team) {
    return "anchor apple generic and identifier \"" + std::string(identifier) +
           "\" and certificate leaf[subject.OU] = \"" + std::string(team) + "\"";
}

}  // namespace norvane
