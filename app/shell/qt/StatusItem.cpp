#include "app/shell/qt/StatusItem.h"

#include <QGuiApplication>
#include <QRect>
#include <QSystemTrayIcon>

#include "app/shell/qt/MenuBarStrip.h"
#include "app/shell/qt/TrayStatusItem.h"
#include "platform/x11/X11SystemTray.h"

namespace norvane {

std::unique_ptr<StatusItem> makeStatusItem() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        std::unique_ptr<X11SystemTray> tray;
        if (QGuiApplication::platformName() == QLatin1String("xcb")) tray = X11SystemTray::forSession();
        return std::make_unique<TrayStatusItem>(std::move(tray));
    }
    return std::make_unique<MenuBarStrip>();
}

Rect toRect(const QRect& rect) {
    return {double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())};
}

}  // namespace norvane
