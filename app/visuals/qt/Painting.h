#pragma once
// Drawing the visual descriptions with Qt: colours, fonts, text and dots.

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <memory>

#include "app/visuals/DotLayout.h"
#include "app/visuals/TextStyle.h"

class QPainter;
class QRectF;
class QRegion;
class QTextLayout;

namespace norvane {

// Components outside 0...1 (or not numbers) are taken to the nearest end.
QColor toQColor(Color color);
// DejaVu Sans, or DejaVu Sans Mono for monospaced styles, at the nearest whole pixel size:
// for widgets that draw with a font of their own. Text in a style is drawn by `TextFace`.
QFont qtFont(const TextStyle& style);
QString styledText(const QString& text, const TextStyle& style);

// Text wrapped to a width by a `TextFace`, shaped once: measured, and drawn as often as
// needed without being laid out again.
class WrappedText {
public:
    double height() const { return height_; }
    // The characters laid out, styled as they show (cut with an ellipsis where it was).
    QString shown() const;

private:
    friend class TextFace;
    std::shared_ptr<const QTextLayout> layout_;
    double height_ = 0;
};

// Text in a style at its exact size, always as plain text. Qt's fonts come in whole
// pixels, so a fractional size (the pills' 10.5, the caps' 9.5) is drawn from a font four
// times as large, scaled down: advances, letter spacing and glyphs keep their proportions.
class TextFace {
public:
    explicit TextFace(const TextStyle& style);

    // The text as the style shows it (upper case where it says so).
    QString shown(const QString& text) const { return styledText(text, style_); }
    // Lengths in device-independent pixels, of the text as shown.
    double advance(const QString& text) const;
    double height() const { return metrics_.height() * scale_; }
    // One line in the style's colour, placed in `box` by `flags` (alignment only), cut
    // with an ellipsis where it is wider than the box (at its end, or where `elide` says).
    void draw(QPainter& painter, const QRectF& box, int flags, const QString& text,
              Qt::TextElideMode elide = Qt::ElideRight) const;
    // The line `draw` shows in a box `width` wide: the text as shown, or cut with an ellipsis.
    QString elided(const QString& text, double width, Qt::TextElideMode elide = Qt::ElideRight) const;
    // The text wrapped at word boundaries (or anywhere, for a word wider than the line)
    // to `width`: laid out, its height, and drawing it from the top left of `box`.
    WrappedText wrap(const QString& text, double width) const;
    double wrappedHeight(const QString& text, double width) const { return wrap(text, width).height(); }
    void drawWrapped(QPainter& painter, const QRectF& box, const WrappedText& text) const;
    void drawWrapped(QPainter& painter, const QRectF& box, const QString& text) const;

    const QFont& font() const { return font_; }
    double scale() const { return scale_; }

private:
    TextStyle style_;
    double scale_;  // from the font's size to the style's
    QFont font_;
    QFontMetricsF metrics_;
};

void paintDots(QPainter& painter, const DotLayout& layout);

// Whether all of `region` lies in the flat middle of a rounded rectangle: off its corners
// (squares of `radius`) and at least `inset` in from its edges. There a part repainted
// (under a label whose text changed) needs only the shape's fill, not the shape again.
bool inFlatMiddle(const QRegion& region, const QRectF& shape, double radius, double inset);
// Fills each rectangle of `region` with `color`, once.
void fillRegion(QPainter& painter, const QRegion& region, const QColor& color);

}  // namespace norvane
