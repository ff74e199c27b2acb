#include "app/visuals/qt/BackdropView.h"

#include <QPainter>

#include "app/visuals/qt/Painting.h"

namespace norvane {

BackdropView::BackdropView(Backdrop backdrop, bool translucent, QWidget* parent)
    : QWidget(parent), backdrop_(backdrop), translucent_(translucent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void BackdropView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(backdrop_.fill(translucent_)));
    const double radius = backdrop_.cornerRadius();
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
}

}  // namespace norvane
