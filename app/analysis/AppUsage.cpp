#include "app/analysis/AppUsage.h"

namespace norvane {

std::string appName(std::string_view id) {
    if (id.empty()) return "System";
    while (id.size() > 1 && id.back() == '/') id.remove_suffix(1);
    if (const auto slash = id.rfind('/'); slash != std::string_view::npos && id.size() > 1) id.remove_prefix(slash + 1);
    // Only a dot after the first character starts an extension (".hidden" has none).
    if (const auto dot = id.rfind('.'); dot != std::string_view::npos && dot > 0) id = id.substr(0, dot);
    return std::string(id);
}

}  // namespace norvane
