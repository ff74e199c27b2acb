#pragma once
// What the gallery programs share: each picture is a widget drawn at twice its size on
// the panel's dark tone, with a margin, written as a PNG into the gallery's folder.

#include <QDir>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cstdio>

#include <optional>

#include "app/visuals/Backdrop.h"
#include "app/visuals/qt/Painting.h"
#include "examples/Usage.h"
#include "platform/Machine.h"

namespace norvane::gallery {

constexpr double scale = 2;
constexpr int margin = 16;
inline const Color panelTone = Backdrop::forSystem(26).fill(false);

class Gallery {
public:
    explicit Gallery(QString folder) : folder_(std::move(folder)) {}

    // The widget drawn at twice its size on the panel's dark tone, with a margin.
    void save(QWidget* widget, const QString& name, QSize size = {}) {
        widget->ensurePolished();
        if (widget->layout()) widget->layout()->activate();
        if (size.isValid()) {
            widget->resize(size);
        } else if (widget->hasHeightForWidth()) {
            // Wrapped text is as tall as the width it is given makes it.
            const int width = std::min(widget->sizeHint().width(), widget->maximumWidth());
            widget->resize(width, widget->heightForWidth(width));
        } else {
            widget->adjustSize();
        }
        QImage image((widget->size() + QSize(2 * margin, 2 * margin)) * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(toQColor(panelTone));
        QPainter painter(&image);
        widget->render(&painter, QPoint(margin, margin), QRegion(), QWidget::DrawChildren);
        painter.end();
        write(image, name);
        delete widget;
    }

    void write(const QImage& image, const QString& name) {
        const QString path = folder_ + "/" + name + ".png";
        if (!image.save(path)) {
            std::fprintf(stderr, "norvane_gallery: could not write %s\n", qPrintable(path));
            failed_ = true;
        }
    }
    bool failed() const { return failed_; }

private:
    QString folder_;
    bool failed_ = false;
};

// Where a gallery draws: its folder (the first argument, else "gallery"), made when missing,
// and the machine folder in use. Absent, with the reason on standard error, when either
// cannot be had.
struct Place {
    QString folder;
    Machine machine;
};
inline std::optional<Place> place(int argc, char** argv, const char* program) {
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "%s: could not make %s\n", program, qPrintable(folder));
        return std::nullopt;
    }
    auto machine = Machine::current();
    if (!machine) {
        std::fprintf(stderr, "%s: no machine folder could be opened or created\n", program);
        return std::nullopt;
    }
    return Place{folder, std::move(*machine)};
}

}  // namespace norvane::gallery
