#include "app/visuals/qt/FocusRing.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFocusFrame>
#include <QPainter>
#include <QProxyStyle>
#include <algorithm>

#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {

// What Qt's focus frame asks of a style: how far it stands out from the control, that it is
// drawn above the control's parents (so no box between them cuts it), and no mask (its
// rounded ends pass over the control's corners).
class RingStyle final : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_FocusFrameHMargin || metric == PM_FocusFrameVMargin) return FocusRing::margin;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_FocusFrame_AboveWidget) return 1;
        if (hint == SH_FocusFrame_Mask) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

// Made once and kept: a widget does not own its style, and a ring may outlive its owner.
QStyle* ringStyle() {
    static QStyle* style = new RingStyle;
    return style;
}

// The ring around the control, in its shape: a capsule round a short control (a pill, a
// segment, a switch), rounded corners round a taller one (a row).
class Ring final : public QFocusFrame {
public:
    Ring() { setStyle(ringStyle()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(toQColor(FocusRing::color), FocusRing::width));
        painter.setBrush(Qt::NoBrush);
        const double half = FocusRing::width / 2;
        const QRectF line = QRectF(rect()).adjusted(half, half, -half, -half);
        const double control = height() - 2.0 * FocusRing::margin;
        const double radius = std::min(control / 2, 10.0) + FocusRing::margin - half;
        painter.drawRoundedRect(line, radius, radius);
    }
};

}  // namespace

FocusRing::FocusRing(QWidget* scope) : QObject(scope), scope_(scope) {
    qApp->installEventFilter(this);
}

FocusRing::~FocusRing() {
    if (frame_) frame_->setWidget(nullptr);
}

QWidget* FocusRing::marked() const {
    return frame_ && frame_->isVisible() ? frame_->widget() : nullptr;
}

void FocusRing::mark(QWidget* control) {
    if (!control) {
        if (frame_) frame_->setWidget(nullptr);
        return;
    }
    if (!frame_) frame_ = new Ring;
    frame_->setWidget(control);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::FocusIn && type != QEvent::FocusOut && type != QEvent::MouseButtonPress &&
        type != QEvent::Hide)
        return false;
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget != scope_ && !scope_->isAncestorOf(widget)) return false;
    switch (type) {
        case QEvent::FocusIn: {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) keyboard_ = true;
            if (reason == Qt::MouseFocusReason) keyboard_ = false;
            mark(keyboard_ ? widget : nullptr);
            break;
        }
        case QEvent::FocusOut:
            // Another window took the keys: the ring comes back with them.
            if (frame_ && frame_->widget() == widget) mark(nullptr);
            break;
        case QEvent::MouseButtonPress:
            keyboard_ = false;
            mark(nullptr);
            break;
        default:  // hidden: the panel or the tour closed
            if (widget == scope_) {
                keyboard_ = false;
                mark(nullptr);
            }
            break;
    }
    return false;
}

}  // namespace norvane
