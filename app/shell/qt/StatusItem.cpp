#include "app/shell/qt/StatusItem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include "app/shell/qt/FollowingStatusItem.h"
#include "platform/x11/X11SystemTray.h"

namespace norvane {

std::unique_ptr<StatusItem> makeStatusItem() {
    std::unique_ptr<X11SystemTray> tray;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) tray = X11SystemTray::forSession();
    return std::make_unique<FollowingStatusItem>(std::move(tray));
}

Rect toRect(const QRect& rect) {
    return {double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())};
}

Rect atPointer() {
    return toRect(QRect(QCursor::pos(), QSize(1, 1)));
}

std::optional<Rect> visibleFrameAround(const Rect& item) {
    const QPoint centre(static_cast<int>(item.x + item.width / 2), static_cast<int>(item.y + item.height / 2));
    const QScreen* screen = QGuiApplication::screenAt(centre);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    return toRect(screen->availableGeometry());
}

}  // namespace norvane
