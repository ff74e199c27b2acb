#pragma once
// A piece of text in a style: painted as plain text (a name such as "<h1>x</h1>" shows as
// it is written, never as markup), at the style's exact size, on one line cut with an
// ellipsis to the width it is offered, or wrapped onto more lines where the style wraps.
// A one-line label asks for its whole text's width but can be squeezed to an ellipsis, so
// a long name never widens what holds it.
//
// A label keeps what it measured (its size hints, and its wrapped text laid out at the few
// widths it was asked about) until its text, style or lines change; a change that leaves
// every size it gave the same asks for no new layout, so "72%" becoming "71%" repaints the
// label alone.

#include <QWidget>
#include <optional>
#include <vector>

#include "app/visuals/TextStyle.h"
#include "app/visuals/qt/Painting.h"

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
    // A wrapping label's text at a width, laid out: all of it, or within its lines.
    struct Fit {
        int width;
        WrappedText text;
    };
    WrappedText fitted(double width) const;
    const Fit& fit(int width) const;
    // Makes a change to the text, style or lines, then asks for a new layout only where a
    // size the layouts were given is no longer the same.
    template <class Change>
    void reshape(Change&& change);

    QString text_;
    TextStyle style_;
    TextFace face_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::TextElideMode elide_ = Qt::ElideRight;
    int lines_ = 0;
    // What was measured since the last change: none yet where nothing asked.
    mutable std::optional<QSize> hint_;
    mutable std::optional<QSize> least_;
    mutable std::vector<Fit> fits_;  // the widths asked last, newest at the end
    mutable bool forgotten_ = false;  // a width asked about was dropped from `fits_`
};

}  // namespace norvane
