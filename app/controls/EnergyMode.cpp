#include "app/controls/EnergyMode.h"

#include "platform/Text.h"

namespace norvane {

std::string pmset(const ProcessRunner& runner, const std::vector<std::string>& arguments) {
    const auto result = runner.run("/usr/bin/pmset", arguments, ErrorOutput::discard);
    if (!result.started) return {};
    return decodeUtf8Lossy(result.output);
}

std::optional<std::int64_t> parsePowerMode(std::string_view text) {
    // A Mac without High Power shows only "lowpowermode": its 0 is the Automatic mode.
    std::optional<std::int64_t> lowPowerOff;
    for (const auto line : splitNonEmpty(text, '\n')) {
        // Runs of spaces separate words; a tab does not.
        const auto words = splitNonEmpty(line, ' ');
        if (words.size() < 2) continue;
        if (words[0] == "powermode") {
            // No Mac has a mode beyond High Power; such a number names none.
            const auto mode = parseInt64(words[1]);
            return mode && *mode >= 0 && *mode <= 2 ? mode : std::nullopt;
        }
        if (words[0] == "lowpowermode" && words[1] == "1") return 1;
        if (words[0] == "lowpowermode" && words[1] == "0") lowPowerOff = 0;
    }
    return lowPowerOff;
}

}  // namespace norvane
