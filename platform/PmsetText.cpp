#include "platform/PmsetText.h"

#include <algorithm>

#include "platform/Text.h"

namespace norvane {

std::string_view pmsetLine(std::string_view line) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

std::size_t wordEnd(std::string_view line, std::size_t start) { return std::min(line.find(' ', start), line.size()); }

std::optional<EnergyLine> energyLine(std::string_view line) {
    line = pmsetLine(line);
    const std::size_t nameStart = line.find_first_not_of(' ');
    if (nameStart == std::string_view::npos) return std::nullopt;
    const std::size_t nameEnd = wordEnd(line, nameStart);
    if (nameEnd == line.size()) return std::nullopt;
    const std::string_view name = line.substr(nameStart, nameEnd - nameStart);
    if (name != "powermode" && name != "lowpowermode") return std::nullopt;
    const std::size_t valueStart = line.find_first_not_of(' ', nameEnd);
    if (valueStart == std::string_view::npos) return std::nullopt;
    return EnergyLine{name, valueStart, wordEnd(line, valueStart)};
}

std::optional<std::int64_t> parsePowerMode(std::string_view text) {
    // A Mac without High Power shows only "lowpowermode": its 0 is the Automatic mode.
    std::optional<std::int64_t> lowPowerOff;
    for (const auto line : splitNonEmpty(text, '\n')) {
        const auto energy = energyLine(line);
        if (!energy) continue;
        const std::string_view value = line.substr(energy->valueStart, energy->valueEnd - energy->valueStart);
        if (energy->name == "powermode") {
            // No Mac has a mode beyond High Power; such a number names none.
            const auto mode = parseInt64(value);
            return mode && *mode >= 0 && *mode <= 2 ? mode : std::nullopt;
        }
        if (value == "1") return 1;
        if (value == "0") lowPowerOff = 0;
    }
    return lowPowerOff;
}

}  // namespace norvane
