#include "app/shell/qt/TrayStatusItem.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <cmath>

#include "app/visuals/MenuBarIcon.h"
#include "app/visuals/qt/MenuBarImage.h"

namespace norvane {
namespace {

constexpr double scale = 4;  // the tray scales the icon down to its own size

// The battery image centred in a square, as trays draw square icons.
QIcon trayIcon(const StatusItemLook& look) {
    const QImage image = inked(menuBarImage(look.percent, look.awake, scale), qApp->palette().windowText().color());
    const int side = static_cast<int>(std::ceil(MenuBarIcon::width * scale));
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    QImage plain = image;
    plain.setDevicePixelRatio(1);
    painter.drawImage(QPoint(0, (side - plain.height()) / 2), plain);
    painter.end();
    return QIcon(QPixmap::fromImage(square));
}

}  // namespace

TrayStatusItem::TrayStatusItem() {
    QObject::connect(&icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) clicked();
    });
    icon_.show();
}

void TrayStatusItem::show(const StatusItemLook& look) {
    icon_.setIcon(trayIcon(look));
    icon_.setToolTip(QString::fromStdString(look.accessibilityLabel));
}

std::optional<Rect> TrayStatusItem::frame() const {
    const QRect where = icon_.geometry();
    // Some trays do not tell where the icon is; the click that opens the panel was on it.
    if (where.isValid() && !where.isEmpty()) return toRect(where);
    return toRect(QRect(QCursor::pos(), QSize(1, 1)));
}

std::optional<Rect> TrayStatusItem::visibleFrame() const {
    const auto item = frame();
    const QPoint centre(static_cast<int>(item->x + item->width / 2), static_cast<int>(item->y + item->height / 2));
    const QScreen* screen = QGuiApplication::screenAt(centre);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    return toRect(screen->availableGeometry());
}

}  // namespace norvane
