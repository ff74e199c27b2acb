#include "platform/OSVersion.h"

#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {

std::optional<OSVersion> parseOSVersion(std::string_view text) {
    int parts[3] = {0, 0, 0};
    std::size_t count = 0;
    for (;;) {
        const auto dot = text.find('.');
        const std::string_view piece = text.substr(0, dot);
        // Digits only: parseInt32 would take a sign.
        if (count == 3 || piece.empty() || piece.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        const auto number = parseInt32(piece);
        if (!number) return std::nullopt;
        parts[count++] = *number;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return OSVersion{parts[0], parts[1], parts[2]};
}

std::optional<OSVersion> operatingSystemVersion(const Machine& machine) {
    const auto text = readFile(machine.file("System/Library/CoreServices/SystemVersion.plist"));
    if (!text) return std::nullopt;
    const auto plist = parsePropertyList(*text);
    const Value* version = plist ? plist->find("ProductVersion") : nullptr;
    if (!version || !version->isString()) return std::nullopt;
    return parseOSVersion(*version->asString());
}

}  // namespace norvane
