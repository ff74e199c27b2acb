#include "platform/SystemControl.h"

#include "platform/Text.h"

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

namespace {

// The "avg10" share of a "some" or "full" line of a pressure file.
std::optional<double> lastTenSeconds(std::string_view pressure, std::string_view kind) {
    for (const auto line : splitNonEmpty(pressure, '\n')) {
        const auto fields = splitNonEmpty(line, ' ');
        if (fields.size() < 2 || fields[0] != kind || !fields[1].starts_with("avg10=")) continue;
        return parseDouble(fields[1].substr(6));
    }
    return std::nullopt;
}

// The firmware's name of the machine: DMI on PCs, the device tree on boards.
std::optional<std::string> productName() {
    for (const char* file : {"/sys/class/dmi/id/product_name", "/sys/firmware/devicetree/base/model"}) {
        auto name = readFile(file);
        if (!name) continue;
        while (!name->empty() && (name->back() == '\n' || name->back() == '\0' || name->back() == ' '))
            name->pop_back();
        if (!name->empty()) return name;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> memoryPressureLevel(std::string_view pressure) {
    const auto some = lastTenSeconds(pressure, "some");
    if (!some) return std::nullopt;
    if (lastTenSeconds(pressure, "full").value_or(0) >= 10) return 4;
    return *some >= 10 ? 2 : 1;
}

std::optional<std::string> MachineSystemControl::text(std::string_view name) const {
    if (const auto lines = readFile(machine_.file("sysctl.txt")))
        if (auto value = keyedValue(*lines, name)) return value;
    if (name == "machdep.cpu.brand_string")
        if (const auto cpuinfo = machine_.readProc("cpuinfo")) return keyedValue(*cpuinfo, "model name");
    if (name == "hw.model") return productName();
    if (name == "kern.memorystatus_vm_pressure_level")
        if (const auto pressure = machine_.readProc("pressure/memory"))
            if (const auto level = memoryPressureLevel(*pressure)) return std::to_string(*level);
    return std::nullopt;
}

}  // namespace norvane
