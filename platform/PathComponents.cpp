#include "platform/PathComponents.h"

namespace norvane {

std::string lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    if (path == "/") return std::string(path);
    if (const auto slash = path.rfind('/'); slash != std::string_view::npos) path.remove_prefix(slash + 1);
    return std::string(path);
}

}  // namespace norvane
