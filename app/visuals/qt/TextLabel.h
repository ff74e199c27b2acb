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
    const TextStyle& style() const { return style_; }
    // Each repaints (and asks for a new layout) only when something changed.
    void setText(const QString& text);
    void setStyle(const TextStyle& style);
    void setAlignment(Qt::Alignment alignment);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return style_.wraps; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    TextStyle style_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

}  // namespace norvane
