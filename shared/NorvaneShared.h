#pragma once
// What the application and the helper must agree on; both programs compile it in. Nothing
// here keeps state, reads files or writes settings.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CodeSigning.h"

namespace norvane {

// The application's bundle identifier, also the signing identifier the helper demands.
inline constexpr std::string_view appBundleID = "app.norvane.Norvane";
// The helper's bundle and signing identifier, and the name of its Mach service.
inline constexpr std::string_view helperBundleID = "app.norvane.helper";
// The launchd property list the application registers the helper with.
inline constexpr std::string_view helperPlist = "app.norvane.helper.plist";

// Energy modes as pmset takes them for "powermode": 0 Automatic, 1 Low Power, 2 High Power.
// "-b" addresses the settings used on battery and "-c" those on the charger, so a change
// applies to the source in use and leaves the other alone.
std::vector<std::string> pmsetArguments(bool lowPower, bool onBattery);
// Absent unless the mode is 0, 1 or 2.
std::optional<std::vector<std::string>> pmsetArguments(std::int64_t powerMode, bool onBattery);
// Any other argument type would convert silently to one of the two.
template <typename Mode>
void pmsetArguments(Mode, bool) = delete;

// The developer team of the running program's own signature, looked up afresh each time;
// absent for unsigned or ad-hoc signed code.
std::optional<std::string> ownTeamID(const CodeSigning& signing);

// The requirement that a peer carries the identifier and is signed by the team. The values
// are not escaped.
std::string signingRequirement(std::string_view identifier, std::string_view team);

}  // namespace norvane
