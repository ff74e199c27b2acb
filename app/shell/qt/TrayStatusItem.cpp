#include "app/shell/qt/TrayStatusItem.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {

QIcon trayIcon(const StatusItemLook& look, const TrayInk& ink) {
    QIcon icon;
    for (const int side : trayIconSides)
        icon.addPixmap(QPixmap::fromImage(trayIconImage(look, ink, side)));
    return icon;
}

Color fromQColor(const QColor& color) {
    return {color.redF(), color.greenF(), color.blueF(), color.alphaF()};
}

// The screen's pixels in a rectangle of global coordinates, at most an icon's worth (a tray
// may tell any size); none where no screen shows it.
std::vector<Color> screenPixels(const QRect& where) {
    constexpr int largestSide = 128;
    QScreen* screen = QGuiApplication::screenAt(where.center());
    if (!screen) return {};
    QRect shown = where.intersected(screen->geometry());
    shown.setSize(shown.size().boundedTo(QSize(largestSide, largestSide)));
    if (shown.isEmpty()) return {};
    const QRect local = shown.translated(-screen->geometry().topLeft());
    const QImage image = screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage();
    std::vector<Color> out;
    out.reserve(static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            out.push_back(fromQColor(image.pixelColor(x, y)));
    return out;
}

}  // namespace

QImage trayIconImage(const StatusItemLook& look, const TrayInk& ink, int side) {
    const TrayImage image = trayImage(look.percent, look.awake, ink, side);
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    if (ink.body) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(*ink.body));
        for (const Rect& box : image.body)
            painter.drawRoundedRect(QRectF(box.x, box.y, box.width, box.height), image.bodyRadius, image.bodyRadius);
    }
    paintDots(painter, image.dots);
    painter.end();
    return square;
}

TrayStatusItem::TrayStatusItem(const X11SystemTray* tray) : tray_(tray) {
    QObject::connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) clicked();
    });
}

void TrayStatusItem::trayColoursChanged() {
    check(true, false);
}

void TrayStatusItem::show(const StatusItemLook& look) {
    look_ = look;
    icon_.setToolTip(QString::fromStdString(look.accessibilityLabel));
    if (!ink_) ink_ = currentInk();
    draw();
}

void TrayStatusItem::draw() {
    if (!look_ || !ink_) return;
    if (shownLook_ == look_ && shownInk_ == ink_) return;
    shownLook_ = look_;
    shownInk_ = ink_;
    icon_.setIcon(trayIcon(*look_, *ink_));
    // Shown once it has an icon to show.
    if (!icon_.isVisible()) {
        icon_.show();
        watchEmbedding();
    }
}

TrayInk TrayStatusItem::currentInk() const {
    const auto foreground = tray_ ? tray_->foreground() : std::nullopt;
    std::vector<Color> pixels;
    const QRect where = icon_.geometry();
    if (!foreground && where.isValid()) {
        // Above and below the battery, where the tray's own colour shows whatever the icon is
        // drawn in (a body may cover half of it).
        const int band = std::max(1, static_cast<int>(where.height() * trayIconMargin));
        pixels = screenPixels(QRect(where.left(), where.top(), where.width(), band));
        const auto below = screenPixels(QRect(where.left(), where.bottom() + 1 - band, where.width(), band));
        pixels.insert(pixels.end(), below.begin(), below.end());
    }
    return trayInk(foreground, pixels);
}

void TrayStatusItem::watchEmbedding() {
    // Qt's tray icon on X11 is a small top-level widget that the tray embeds.
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys") && widget != embedded_) {
            embedded_ = widget;
            widget->installEventFilter(this);
            inkDue_ = true;  // it has just shown
        }
}

bool TrayStatusItem::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == embedded_) {
        // Where the icon now is, and again once it is drawn there: the tray may draw what lies
        // under the icon only after the icon's move is told, and a move need not be followed
        // by a paint.
        const bool placed = type == QEvent::Show || type == QEvent::Move;
        if (placed) inkDue_ = true;
        if (placed || (type == QEvent::Paint && std::exchange(inkDue_, false))) check(true, type == QEvent::Move);
    }
    return QObject::eventFilter(watched, event);
}

void TrayStatusItem::check(bool recolour, bool itemMoved) {
    recolourPending_ = recolourPending_ || recolour;
    movedPending_ = movedPending_ || itemMoved;
    if (checkPosted_) return;
    checkPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            checkPosted_ = false;
            if (std::exchange(recolourPending_, false)) {
                ink_ = currentInk();
                draw();
            }
            if (std::exchange(movedPending_, false)) moved();
        },
        Qt::QueuedConnection);
}

std::optional<Rect> TrayStatusItem::frame() const {
    const QRect where = icon_.geometry();
    // Some trays do not tell where the icon is; the click that opens the panel was on it.
    if (where.isValid() && !where.isEmpty()) return toRect(where);
    return atPointer();
}

std::optional<Rect> TrayStatusItem::visibleFrame() const {
    return visibleFrameAround(*frame());
}

}  // namespace norvane
