#include "app/visuals/qt/Painting.h"

#include <QLabel>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace norvane {
namespace {

double unit(double value) { return std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0); }

}  // namespace

QColor toQColor(Color color) {
    return QColor::fromRgbF(static_cast<float>(unit(color.red)), static_cast<float>(unit(color.green)),
                            static_cast<float>(unit(color.blue)), static_cast<float>(unit(color.opacity)));
}

QFont qtFont(const TextStyle& style) {
    QFont font(style.monospaced ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    // Qt takes whole pixels: sizes round to the nearest, within a sane range.
    const double size = std::isfinite(style.size) ? std::clamp(style.size, 1.0, 512.0) : 13.0;
    font.setPixelSize(static_cast<int>(std::lround(size)));
    switch (style.weight) {
        case FontWeight::regular: font.setWeight(QFont::Normal); break;
        case FontWeight::medium: font.setWeight(QFont::Medium); break;
        case FontWeight::semibold: font.setWeight(QFont::DemiBold); break;
        case FontWeight::bold: font.setWeight(QFont::Bold); break;
    }
    if (style.tracking != 0 && std::isfinite(style.tracking)) font.setLetterSpacing(QFont::AbsoluteSpacing, style.tracking);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QString styledText(const QString& text, const TextStyle& style) { return style.uppercase ? text.toUpper() : text; }

QLabel* styledLabel(const QString& text, const TextStyle& style) {
    auto* label = new QLabel(styledText(text, style));
    label->setFont(qtFont(style));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, toQColor(style.color));
    label->setPalette(palette);
    // Inside a button a label would take the button's text role and lose its colour.
    label->setForegroundRole(QPalette::WindowText);
    label->setWordWrap(style.wraps);
    if (style.wraps) {
        // Its height follows the width it is given, not the guess of its size hint.
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        label->setSizePolicy(policy);
    }
    return label;
}

void paintDots(QPainter& painter, const DotLayout& layout) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (const Dot& dot : layout.dots) {
        // Coordinates that are not finite numbers would reach the rasterizer's integer maths.
        if (!(dot.diameter > 0) || !std::isfinite(dot.diameter) || !std::isfinite(dot.x) || !std::isfinite(dot.y))
            continue;
        painter.setBrush(toQColor(dot.color));
        const double r = dot.diameter / 2;
        painter.drawEllipse(QRectF(dot.x - r, dot.y - r, dot.diameter, dot.diameter));
    }
    painter.restore();
}

}  // namespace norvane
