#include "app/visuals/qt/PillButton.h"

#include <QPainter>
#include <algorithm>
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

void PillButton::setEdge(std::optional<Color> edge) {
    if (edge == edge_) return;
    edge_ = edge;
    update();
}

QSize PillButton::sizeHint() const {
    const auto face = pill_.face(false, true);
    const TextFace label(face.label);
    const double width = label.advance(text()) + 2 * Pill::horizontalPadding;
    const double height = label.height() + 2 * Pill::verticalPadding;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

QSize PillButton::minimumSizeHint() const {
    const TextFace label(pill_.face(false, true).label);
    const double text = std::min(label.advance(QStringLiteral("\u2026")), label.advance(this->text()));
    return {static_cast<int>(std::ceil(text + 2 * Pill::horizontalPadding)), sizeHint().height()};
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
    if (edge_) {
        const QRectF inner = box.adjusted(0.5, 0.5, -0.5, -0.5);  // the line lies inside the capsule
        painter.setPen(QPen(toQColor(*edge_), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(inner, inner.height() / 2, inner.height() / 2);
    }
    const QRectF inside = box.adjusted(Pill::horizontalPadding, 0, -Pill::horizontalPadding, 0);
    TextFace(face.label).draw(painter, inside, Qt::AlignCenter, text());
}

}  // namespace norvane
