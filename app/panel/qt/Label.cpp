#include "app/panel/qt/Label.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

#include "app/visuals/qt/Painting.h"

namespace norvane {

Label::Label(const std::string& text, const TextStyle& style, QWidget* parent)
    : QLabel(parent), text_(text), style_(style) {
    setTextFormat(Qt::PlainText);
    setForegroundRole(QPalette::WindowText);  // inside a button it would take the button's text role
    setAttribute(Qt::WA_TranslucentBackground);
    apply();
}

void Label::setText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    heightWidth_ = -1;
    QLabel::setText(styledText(QString::fromStdString(text_), style_));
}

void Label::setStyle(const TextStyle& style) {
    if (style == style_) return;
    style_ = style;
    apply();
}

void Label::apply() {
    heightWidth_ = -1;
    setFont(qtFont(style_));
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, toQColor(style_.color));
    setPalette(palette);
    setWordWrap(style_.wraps);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(style_.wraps);  // its height follows the width it is given
    setSizePolicy(policy);
    QLabel::setText(styledText(QString::fromStdString(text_), style_));
}

int Label::naturalWidth() const {
    const QMargins margins = contentsMargins();
    return static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(text()))) + margins.left() +
           margins.right() + 1;
}

int Label::heightForWidth(int width) const {
    if (width != heightWidth_) {
        height_ = QLabel::heightForWidth(width);
        heightWidth_ = width;
    }
    return height_;
}

QSize Label::minimumSizeHint() const {
    if (style_.wraps) return QLabel::minimumSizeHint();
    return {0, QLabel::minimumSizeHint().height()};
}

void Label::paintEvent(QPaintEvent* event) {
    if (style_.wraps) return QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect box = contentsRect();
    painter.drawText(box, static_cast<int>(alignment()), fontMetrics().elidedText(text(), Qt::ElideRight, box.width()));
}

}  // namespace norvane
