#include "app/panel/qt/Fade.h"

#include <QGraphicsOpacityEffect>
#include <algorithm>
#include <cmath>

namespace norvane {

double Fade::opacity(double t, bool in) {
    const double shown = 1 - std::pow(1 - std::clamp(t, 0.0, 1.0), 3);
    return in ? shown : 1 - shown;
}

void Fade::run(QWidget* widget, bool in) {
    if (widget_ && widget_ != widget) finish();
    frames_.cancel();
    if (!in && widget->isHidden()) return;  // nothing to fade out
    widget_ = widget;
    in_ = in;
    start_ = queue_.uptime();
    if (!effect_) {
        effect_ = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect_);  // owned by the widget
    }
    effect_->setOpacity(opacity(0, in));
    widget->show();
    frames_ = queue_.every(frame, [this] {
        const double t = (queue_.uptime() - start_) / duration;
        if (t >= 1 || !widget_) return finish();
        if (effect_) effect_->setOpacity(opacity(t, in_));
    });
}

void Fade::finish() {
    frames_.cancel();
    if (!widget_) return;
    widget_->setGraphicsEffect(nullptr);  // drawn directly again
    if (!in_) widget_->hide();
    widget_.clear();
}

}  // namespace norvane
