#include "app/visuals/qt/PillButton.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

#include "app/visuals/qt/Painting.h"

namespace norvane {

PillButton::PillButton(const QString& text, Pill pill, QWidget* parent) : QAbstractButton(parent), pill_(pill) {
    setText(text);
    setAccessibleName(text);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

QSize PillButton::sizeHint() const {
    const auto face = pill_.face(false, true);
    const QFontMetricsF metrics(qtFont(face.label));
    const double width = metrics.horizontalAdvance(styledText(text(), face.label)) + 2 * Pill::horizontalPadding;
    const double height = metrics.height() + 2 * Pill::verticalPadding;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

void PillButton::paintEvent(QPaintEvent*) {
    const auto face = pill_.face(isDown(), isEnabled());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(face.opacity);
    const QRectF box = rect();
    const double radius = box.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(face.fill));
    painter.drawRoundedRect(box, radius, radius);
    painter.setFont(qtFont(face.label));
    painter.setPen(toQColor(face.label.color));
    painter.drawText(box, Qt::AlignCenter, styledText(text(), face.label));
}

}  // namespace norvane
