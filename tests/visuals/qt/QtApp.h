#pragma once
// One Qt application object for a test program, on the offscreen platform: widgets are
// drawn into images, no display is needed.

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace norvane::testing {

inline void ensureQtApplication() {
    if (QApplication::instance()) return;
    // The offscreen platform, on the screens a test was given (NORVANE_TEST_SCREENS, the
    // platform's configuration file), whatever else the environment says.
    QByteArray platform = "offscreen";
    if (const QByteArray screens = qgetenv("NORVANE_TEST_SCREENS"); !screens.isEmpty()) platform += ":configfile=" + screens;
    qputenv("QT_QPA_PLATFORM", platform);
    static int argc = 1;
    static char name[] = "visuals_qt_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives until the program ends
}

// The widget and its children drawn at `scale` device pixels a point over `background`;
// only `part`, where it lies in the widget, when one is given.
inline QImage rendered(QWidget& widget, double scale = 1, QColor background = Qt::black, const QRegion& part = {}) {
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(background);
    QPainter painter(&image);
    widget.render(&painter, part.boundingRect().topLeft(), part, QWidget::DrawChildren);
    return image;
}

// How wide the light ink of an image is, in its pixels: from the first column with a pixel
// brighter than `threshold` (0...255, its red over black) to the last.
inline int inkWidth(const QImage& image, int threshold) {
    int left = image.width(), right = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (const QColor c = image.pixelColor(x, y); c.red() * c.alpha() / 255 > threshold) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return std::max(right - left, 0);
}

}  // namespace norvane::testing
