#include "app/analysis/LoginItem.h"

namespace norvane {

bool LoginItem::enabled(const MainBundle& bundle, const ServiceManagement& services) {
    return bundle.isApplication() && services.mainApp()->status() == ServiceStatus::enabled;
}

std::optional<std::string> LoginItem::set(const MainBundle& bundle, const ServiceManagement& services, bool on) {
    if (!bundle.isApplication()) return "Opening at login works only in the built app.";
    const auto item = services.mainApp();
    return on ? item->registerService() : item->unregisterService();
}

}  // namespace norvane
