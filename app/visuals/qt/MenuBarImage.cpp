#include "app/visuals/qt/MenuBarImage.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/visuals/MenuBarIcon.h"
#include "app/visuals/qt/Painting.h"

namespace norvane {

QImage menuBarImage(std::int64_t percent, bool awake, double scale) {
    const double s = std::isfinite(scale) ? std::clamp(scale, 1.0, 16.0) : 1.0;
    QImage image(static_cast<int>(std::ceil(MenuBarIcon::width * s)), static_cast<int>(std::ceil(MenuBarIcon::height * s)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(s);
    QPainter painter(&image);
    // The drawing's y grows upwards; the image's downwards.
    painter.translate(0, MenuBarIcon::height);
    painter.scale(1, -1);
    paintDots(painter, menuBarIcon(percent, awake));
    return image;
}

QImage inked(const QImage& image, const QColor& ink) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(image.devicePixelRatio());
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), out.size()), ink);
    return out;
}

}  // namespace norvane
