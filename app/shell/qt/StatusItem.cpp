#include "app/shell/qt/StatusItem.h"

#include <QRect>
#include <QSystemTrayIcon>

#include "app/shell/qt/MenuBarStrip.h"
#include "app/shell/qt/TrayStatusItem.h"

namespace norvane {

std::unique_ptr<StatusItem> makeStatusItem() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) return std::make_unique<TrayStatusItem>();
    return std::make_unique<MenuBarStrip>();
}

Rect toRect(const QRect& rect) {
    return {double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())};
}

}  // namespace norvane
