#include "app/panel/qt/Spinner.h"

#include <QPainter>
#include <QPointer>

#include "app/visuals/qt/Accessibility.h"

namespace norvane {

Spinner::Spinner(MainQueue& queue, QWidget* parent) : QWidget(parent), queue_(queue) {
    setFixedSize(side, side);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleRole(this, QAccessible::ProgressBar);  // a busy indicator, named by its owner
}

Spinner::~Spinner() {
    turn_.cancel();
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    turn_.cancel();
    turn_ = queue_.every(step, [self = QPointer<Spinner>(this)] {
        if (!self) return;
        self->phase_ = (self->phase_ + 1) % spokes;
        self->update();
    });
}

void Spinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    turn_.cancel();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const double outer = side / 2.0 - 1, inner = outer / 2;
    for (int i = 0; i < spokes; ++i) {
        // The spoke at the phase is brightest; those behind it fade.
        const int behind = (phase_ - i + spokes) % spokes;
        QPen pen(QColor::fromRgbF(1, 1, 1, static_cast<float>(0.85 - 0.06 * behind)), 1.6, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer));
        painter.rotate(360.0 / spokes);
    }
}

}  // namespace norvane
