#include "app/shell/qt/MenuBarStrip.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <cmath>

#include "app/visuals/MenuBarIcon.h"
#include "app/visuals/qt/MenuBarImage.h"
#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {

const TextStyle titleStyle{13};  // the menu bar's font
const QColor bar(28, 28, 30);
const QColor ink(Qt::white);

}  // namespace

MenuBarStrip::MenuBarStrip()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Norvane"));
    setFont(qtFont(titleStyle));
    fit();
    QWidget::show();
}

void MenuBarStrip::show(const StatusItemLook& look) {
    look_ = look;
    setAccessibleName(QString::fromStdString(look.accessibilityLabel));
    fit();
    update();
}

void MenuBarStrip::setHighlighted(bool on) {
    if (highlighted_ == on) return;
    highlighted_ = on;
    update();
}

std::optional<Rect> MenuBarStrip::frame() const {
    return toRect(geometry());
}

std::optional<Rect> MenuBarStrip::visibleFrame() const {
    const QScreen* screen = QWidget::screen() ? QWidget::screen() : QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    return toRect(screen->availableGeometry());
}

void MenuBarStrip::fit() {
    const double title = fontMetrics().horizontalAdvance(QString::fromStdString(look_.title));
    const int width = static_cast<int>(std::ceil(padding + MenuBarIcon::width + title + padding));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, width, barHeight);
    const QRect place(area.x() + area.width() - width, area.y(), width, barHeight);
    if (place == geometry()) return;
    setGeometry(place);
    moved();
}

void MenuBarStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), bar);
    if (highlighted_) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 56));
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 5, 5);
    }
    const QImage image = inked(menuBarImage(look_.percent, look_.awake, devicePixelRatioF()), ink);
    painter.drawImage(QPointF(padding, (barHeight - MenuBarIcon::height) / 2), image);
    painter.setPen(ink);
    painter.drawText(QRectF(padding + MenuBarIcon::width, 0, width(), barHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(look_.title));
}

void MenuBarStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) clicked();
}

}  // namespace norvane
