#include "app/visuals/qt/AppMarkView.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/WorkspaceImages.h"

namespace norvane {

AppMarkView::AppMarkView(const Workspace& workspace, AppMark mark, IconStyle style, QWidget* parent)
    : QWidget(parent), workspace_(workspace), mark_(std::move(mark)), style_(style) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(sizeHint());
}

AppMarkView::AppMarkView(const Workspace& workspace, const AppIcon& icon, IconStyle style, QWidget* parent)
    : AppMarkView(workspace, icon.mark(), style, parent) {
    system_ = icon.isSystem();
}

void AppMarkView::setIconStyle(IconStyle style) {
    if (style == style_) return;
    style_ = style;
    update();
}

void AppMarkView::setMark(const AppMark& mark) {
    if (mark == mark_) return;
    const bool resized = mark.size != mark_.size;
    mark_ = mark;
    icon_ = QImage();
    if (resized) updateGeometry();
    update();
}

QSize AppMarkView::sizeHint() const {
    const double side = std::isfinite(mark_.size) ? std::clamp(mark_.size, 0.0, 1024.0) : 0;
    return {static_cast<int>(std::ceil(side)), static_cast<int>(std::ceil(side))};
}

void AppMarkView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize side = sizeHint();
    const double size = side.width();
    if (system_) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(AppIcon::placeholderFill));
        const double radius = size * AppIcon::cornerShare;
        painter.drawRoundedRect(QRectF(0, 0, size, size), radius, radius);
        const TextStyle symbol{.size = size * AppIcon::symbolShare, .color = Color::white(0.85)};
        TextFace(symbol).draw(painter, QRectF(0, 0, size, size), Qt::AlignCenter, QString(QChar(0x2699)));  // gear
        return;
    }
    if (const auto dots = mark_.dots(style_)) {
        paintDots(painter, dots->layout(dots->colors(iconSampler(workspace_))));
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const int pixels = static_cast<int>(std::ceil(size * std::clamp(ratio, 1.0, 4.0)));
    if (icon_.isNull() || icon_.width() != std::max(pixels, 1))
        icon_ = appIconImage(workspace_, mark_.path, std::max(pixels, 1));
    painter.drawImage(QRectF(0, 0, size, size), icon_);
}

}  // namespace norvane
