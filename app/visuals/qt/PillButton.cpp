#include "app/visuals/qt/PillButton.h"

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

void PillButton::setPill(Pill pill) {
    if (pill == pill_) return;
    pill_ = pill;
    update();
}

QSize PillButton::sizeHint() const {
    const auto face = pill_.face(false, true);
    const TextFace label(face.label);
    const double width = label.advance(text()) + 2 * Pill::horizontalPadding;
    const double height = label.height() + 2 * Pill::verticalPadding;
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
    TextFace(face.label).draw(painter, box, Qt::AlignCenter, text());
}

}  // namespace norvane
