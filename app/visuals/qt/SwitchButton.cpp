#include "app/visuals/qt/SwitchButton.h"

#include <QPainter>

#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {
constexpr Color offTrack = Color::white(0.22);
}

SwitchButton::SwitchButton(bool on, Color tint, QWidget* parent) : QAbstractButton(parent), on_(on), tint_(tint) {
    setFixedSize(28, 16);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    // Assistive tools read the state from the check mark; clicks do not toggle it.
    setCheckable(true);
    setChecked(on);
    connect(this, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked != on_) setChecked(on_);
    });
}

void SwitchButton::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    setChecked(on);
    update();
}

void SwitchButton::setTint(Color tint) {
    if (tint == tint_) return;
    tint_ = tint;
    update();
}

void SwitchButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1 : 0.4);
    const QRectF track = rect();
    const double radius = track.height() / 2, knob = track.height() - 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(on_ ? tint_ : offTrack));
    painter.drawRoundedRect(track, radius, radius);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(on_ ? track.right() - 1 - knob : track.left() + 1, 1, knob, knob));
}

}  // namespace norvane
