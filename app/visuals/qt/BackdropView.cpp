#include "app/visuals/qt/BackdropView.h"

#include <QPaintEvent>
#include <QPainter>

#include "app/visuals/qt/Painting.h"

namespace norvane {

BackdropView::BackdropView(Backdrop backdrop, bool translucent, QWidget* parent)
    : QWidget(parent), backdrop_(backdrop), translucent_(translucent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void BackdropView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = toQColor(backdrop_.fill(translucent_));
    const double radius = backdrop_.cornerRadius();
    // Under a part repainted alone (a label whose text changed), the fill is all there is.
    if (inFlatMiddle(event->region(), QRectF(rect()), radius, 1)) return fillRegion(painter, event->region(), fill);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
}

}  // namespace norvane
