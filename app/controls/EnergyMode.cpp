#include "app/controls/EnergyMode.h"

#include "platform/Text.h"

namespace norvane {

std::string pmset(const ProcessRunner& runner, const std::vector<std::string>& arguments) {
    const auto result = runner.run("/usr/bin/pmset", arguments, ErrorOutput::discard);
    if (!result.started) return {};
    return decodeUtf8Lossy(result.output);
}

}  // namespace norvane
