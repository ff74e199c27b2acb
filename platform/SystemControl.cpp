#include "platform/SystemControl.h"

namespace norvane {

std::optional<std::string> keyedValue(std::string_view lines, std::string_view key) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!lines.empty()) {
        const auto end = lines.find('\n');
        std::string_view line = lines.substr(0, end);
        while (!line.empty() && isSpace(line.back())) line.remove_suffix(1);
        const auto colon = line.find(':');
        if (colon != std::string_view::npos) {
            std::string_view name = line.substr(0, colon);
            while (!name.empty() && isSpace(name.back())) name.remove_suffix(1);
            if (name == key) {
                std::string_view value = line.substr(colon + 1);
                while (!value.empty() && isSpace(value.front())) value.remove_prefix(1);
                return std::string(value);
            }
        }
        if (end == std::string_view::npos) break;
        lines.remove_prefix(end + 1);
    }
    return std::nullopt;
}

std::optional<std::string> MachineSystemControl::text(std::string_view name) const {
    if (const auto lines = readFile(machine_.file("sysctl.txt")))
        if (auto value = keyedValue(*lines, name)) return value;
    if (name == "machdep.cpu.brand_string")
        if (const auto cpuinfo = readFile("/proc/cpuinfo")) return keyedValue(*cpuinfo, "model name");
    return std::nullopt;
}

}  // namespace norvane
