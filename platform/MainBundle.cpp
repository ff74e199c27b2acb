#include "platform/MainBundle.h"

#include <unistd.h>

#include "platform/ProcessTable.h"
#include "platform/PropertyList.h"

namespace norvane {

FolderBundle FolderBundle::running() { return ofExecutable(ownProcessPath()); }

FolderBundle FolderBundle::ofExecutable(const Path& executable) {
    const Path folder = executable.parent_path();
    const Path contents = folder.parent_path();
    const Path bundle = contents.parent_path();
    if (folder.filename() == "MacOS" && contents.filename() == "Contents" && bundle.filename().string().ends_with(".app"))
        return FolderBundle(bundle);
    return FolderBundle(folder);
}

std::optional<std::string> FolderBundle::info(std::string_view key) const {
    if (!path_.filename().string().ends_with(".app")) return std::nullopt;
    const auto text = readFile(path_ / "Contents/Info.plist");
    const auto plist = text ? parsePropertyList(*text) : std::nullopt;
    const Value* value = plist ? plist->find(key) : nullptr;
    if (!value || !value->isString()) return std::nullopt;
    return *value->asString();
}

}  // namespace norvane
