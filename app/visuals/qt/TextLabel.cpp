#include "app/visuals/qt/TextLabel.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {

int up(double length) {
    return static_cast<int>(std::ceil(std::clamp(length, 0.0, 16384.0)));
}

// A wrapping text asks for at most this many average characters a line, as Qt's labels do.
constexpr double wrappedLineCharacters = 80;

// A wrapping text takes the width it is offered; one line keeps to its own.
QSizePolicy policy(bool wraps) {
    QSizePolicy out(wraps ? QSizePolicy::Expanding : QSizePolicy::Preferred,
                    wraps ? QSizePolicy::Preferred : QSizePolicy::Fixed);
    out.setHeightForWidth(wraps);
    return out;
}

}  // namespace

TextLabel::TextLabel(QString text, const TextStyle& style, QWidget* parent)
    : QWidget(parent), text_(std::move(text)), style_(style) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(text_);
    setSizePolicy(policy(style_.wraps));
}

void TextLabel::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    setAccessibleName(text_);
    updateGeometry();
    update();
}

void TextLabel::setStyle(const TextStyle& style) {
    if (style == style_) return;
    const bool wrapping = style.wraps != style_.wraps;
    style_ = style;
    if (wrapping) setSizePolicy(policy(style_.wraps));
    updateGeometry();
    update();
}

void TextLabel::setAlignment(Qt::Alignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    update();
}

void TextLabel::setElideMode(Qt::TextElideMode mode) {
    if (mode == elide_) return;
    elide_ = mode;
    update();
}

void TextLabel::setMaximumLines(int lines) {
    lines = std::max(lines, 0);
    if (lines == lines_) return;
    lines_ = lines;
    updateGeometry();
    update();
}

QString TextLabel::wrapped(double width) const {
    const TextFace face(style_);
    // As many lines as one line is high when laid out.
    const double most = lines_ * face.wrappedHeight(QStringLiteral("x"), width) + 0.5;
    if (lines_ == 0 || face.wrappedHeight(text_, width) <= most) return text_;
    // The longest beginning that fits with its ellipsis.
    qsizetype fits = 0, over = text_.size();
    while (over - fits > 1) {
        const qsizetype middle = fits + (over - fits) / 2;
        if (face.wrappedHeight(text_.left(middle).trimmed() + QStringLiteral("\u2026"), width) <= most)
            fits = middle;
        else
            over = middle;
    }
    if (fits > 0 && text_.at(fits - 1).isHighSurrogate()) --fits;  // never half a character
    return text_.left(fits).trimmed() + QStringLiteral("\u2026");
}

QSize TextLabel::sizeHint() const {
    const TextFace face(style_);
    double width = face.advance(text_);
    if (style_.wraps) {
        // A short text asks for a narrower, taller shape, as Qt's labels do: a layout that
        // places it by this hint only ever lowers it to its height for the width given.
        width = std::min(width, wrappedLineCharacters * QFontMetricsF(face.font()).averageCharWidth() * face.scale());
        double height = face.wrappedHeight(wrapped(width), width);
        const double line = face.height();
        for (const auto& [lines, share] : {std::pair{4.0, 2.0}, std::pair{2.0, 4.0}})
            if (height < lines * line && width > 1) height = face.wrappedHeight(wrapped(width / share), width / share);
        return {up(width), up(height)};
    }
    return {up(width), up(face.height())};
}

QSize TextLabel::minimumSizeHint() const {
    const TextFace face(style_);
    if (style_.wraps) return {0, up(face.height())};
    return {std::min(up(face.advance(QStringLiteral("\u2026"))), up(face.advance(text_))), up(face.height())};
}

int TextLabel::heightForWidth(int width) const {
    if (!style_.wraps) return sizeHint().height();
    return up(TextFace(style_).wrappedHeight(wrapped(width), width));
}

QString TextLabel::shownText() const {
    const TextFace face(style_);
    return style_.wraps ? face.shown(wrapped(width())) : face.elided(text_, width(), elide_);
}

void TextLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const TextFace face(style_);
    if (style_.wraps) return face.drawWrapped(painter, rect(), wrapped(width()));
    face.draw(painter, rect(), static_cast<int>(alignment_), text_, elide_);
}

}  // namespace norvane
