#include "app/visuals/qt/Painting.h"

#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace norvane {
namespace {

double unit(double value) { return std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0); }

// A sane size in pixels: not a number gives the body size.
double pixels(double size) { return std::isfinite(size) ? std::clamp(size, 1.0, 512.0) : 13.0; }

constexpr int oversampling = 4;  // a fractional size is drawn from a font this much larger

QFont family(const TextStyle& style) {
    QFont font(style.monospaced ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    switch (style.weight) {
        case FontWeight::regular: font.setWeight(QFont::Normal); break;
        case FontWeight::medium: font.setWeight(QFont::Medium); break;
        case FontWeight::semibold: font.setWeight(QFont::DemiBold); break;
        case FontWeight::bold: font.setWeight(QFont::Bold); break;
    }
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void track(QFont& font, double tracking) {
    if (tracking != 0 && std::isfinite(tracking)) font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
}

// The whole pixel size a style's text is drawn from.
int fontPixels(const TextStyle& style) {
    const double size = pixels(style.size);
    const double whole = std::round(size);
    return std::abs(size - whole) < 1e-6 ? static_cast<int>(whole) : static_cast<int>(std::lround(size * oversampling));
}

}  // namespace

QColor toQColor(Color color) {
    return QColor::fromRgbF(static_cast<float>(unit(color.red)), static_cast<float>(unit(color.green)),
                            static_cast<float>(unit(color.blue)), static_cast<float>(unit(color.opacity)));
}

QFont qtFont(const TextStyle& style) {
    QFont font = family(style);
    font.setPixelSize(static_cast<int>(std::lround(pixels(style.size))));
    track(font, style.tracking);
    return font;
}

QString styledText(const QString& text, const TextStyle& style) { return style.uppercase ? text.toUpper() : text; }

TextFace::TextFace(const TextStyle& style)
    : style_(style), scale_(pixels(style.size) / fontPixels(style)), font_(family(style)), metrics_(font_) {
    font_.setPixelSize(fontPixels(style));
    // Hinting fits glyphs to the larger font's pixels, which are not the ones drawn.
    if (scale_ != 1) font_.setHintingPreference(QFont::PreferNoHinting);
    track(font_, style.tracking / scale_);
    metrics_ = QFontMetricsF(font_);
}

double TextFace::advance(const QString& text) const { return metrics_.horizontalAdvance(shown(text)) * scale_; }

void TextFace::draw(QPainter& painter, const QRectF& box, int flags, const QString& text,
                    Qt::TextElideMode elide) const {
    painter.save();
    painter.setFont(font_);
    painter.setPen(toQColor(style_.color));
    painter.translate(box.topLeft());
    painter.scale(scale_, scale_);
    // Drawn from a string, never as markup: names from outside show as they are.
    const QRectF inside(0, 0, box.width() / scale_, box.height() / scale_);
    const QString line = metrics_.elidedText(shown(text), elide, inside.width());
    painter.drawText(inside, (flags & (Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask)) | Qt::TextSingleLine, line);
    painter.restore();
}

namespace {

// Lays the text out in lines of `width` (in the font's pixels); returns the height used.
double wrapLines(QTextLayout& layout, double width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double y = 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(std::max(width, 1.0));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

}  // namespace

WrappedText TextFace::wrap(const QString& text, double width) const {
    auto layout = std::make_shared<QTextLayout>(shown(text), font_);
    WrappedText out;
    out.height_ = std::max(wrapLines(*layout, width / scale_), metrics_.height()) * scale_;
    out.layout_ = std::move(layout);
    return out;
}

void TextFace::drawWrapped(QPainter& painter, const QRectF& box, const WrappedText& text) const {
    if (!text.layout_) return;
    painter.save();
    painter.setFont(font_);
    painter.setPen(toQColor(style_.color));
    painter.translate(box.topLeft());
    painter.scale(scale_, scale_);
    text.layout_->draw(&painter, QPointF(0, 0));
    painter.restore();
}

void TextFace::drawWrapped(QPainter& painter, const QRectF& box, const QString& text) const {
    drawWrapped(painter, box, wrap(text, box.width()));
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
