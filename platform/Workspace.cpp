#include "platform/Workspace.h"

#include "platform/PropertyList.h"

namespace norvane {

std::optional<Path> Workspace::urlForApplication(std::string_view bundleIdentifier) const {
    std::error_code error;
    for (std::filesystem::directory_iterator it(machine_.file("Applications"), error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() != ".app") continue;
        const auto text = readFile(it->path() / "Contents/Info.plist");
        const auto info = text ? parsePropertyList(*text) : std::nullopt;
        const Value* identifier = info ? info->find("CFBundleIdentifier") : nullptr;
        if (identifier && identifier->asString() && *identifier->asString() == bundleIdentifier) return it->path();
    }
    return std::nullopt;
}

}  // namespace norvane
