#pragma once
// A piece of text in a style: painted as plain text (a name such as "<h1>x</h1>" shows as
// it is written, never as markup), at the style's exact size, on one line cut with an
// ellipsis to the width it is offered, or wrapped onto more lines where the style wraps.
// A one-line label asks for its whole text's width but can be squeezed to an ellipsis, so
// a long name never widens what holds it.

#include <QWidget>

#include "app/visuals/TextStyle.h"

namespace norvane {

class TextLabel : public QWidget {
public:
    TextLabel(QString text, const TextStyle& style, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    // What it shows at its present width: the text as its style writes it, or cut short
    // with an ellipsis (assistive tools read it, so a test can tell a cut text).
    QString shownText() const;
    const TextStyle& style() const { return style_; }
    // Each repaints (and asks for a new layout) only when something changed.
    void setText(const QString& text);
    void setStyle(const TextStyle& style);
    void setAlignment(Qt::Alignment alignment);
    // Where a one-line text is cut: at its end, or in the middle (a link keeps both ends).
    void setElideMode(Qt::TextElideMode mode);
    // A wrapping text shows at most this many lines, the last one ending in an ellipsis
    // where the text goes on; 0 shows them all.
    void setMaximumLines(int lines);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return style_.wraps; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The text a wrapping label shows at that width: all of it, or within its lines.
    QString wrapped(double width) const;

    QString text_;
    TextStyle style_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::TextElideMode elide_ = Qt::ElideRight;
    int lines_ = 0;
};

}  // namespace norvane
