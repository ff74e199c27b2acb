#pragma once
// Text in a style on the panel: always plain text (a name from outside shows as written,
// never as markup), on one line cut with an ellipsis to its width unless the style wraps.
// Its text and style change in place.

#include <QLabel>
#include <string>

#include "app/visuals/TextStyle.h"

namespace norvane {

class Label final : public QLabel {
public:
    Label(const std::string& text, const TextStyle& style, QWidget* parent = nullptr);
    // Each only when it changes something.
    void setText(const std::string& text);
    void setStyle(const TextStyle& style);

    // A one-line label can be squeezed down to its ellipsis.
    QSize minimumSizeHint() const override;
    // Kept for the last width asked: every layout pass asks each wrapped label again.
    int heightForWidth(int width) const override;
    // The width of its text on one line.
    int naturalWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void apply();

    std::string text_;
    TextStyle style_;
    mutable int heightWidth_ = -1;  // the width the kept height is for
    mutable int height_ = 0;
};

}  // namespace norvane
