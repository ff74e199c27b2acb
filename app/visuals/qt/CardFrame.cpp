#include "app/visuals/qt/CardFrame.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <cmath>

#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {

// The card's column, laid out at the height held, when one is.
class ContentLayout final : public QVBoxLayout {
public:
    explicit ContentLayout(QWidget* parent) : QVBoxLayout(parent) {}
    std::optional<int> held;
    void setGeometry(const QRect& rect) override {
        QVBoxLayout::setGeometry(held ? QRect(rect.topLeft(), QSize(rect.width(), *held)) : rect);
    }
};

}  // namespace

CardFrame::CardFrame(Card card, QWidget* parent) : QWidget(parent), card_(card), content_(new ContentLayout(this)) {
    const int padding = std::isfinite(card.padding) ? static_cast<int>(std::lround(std::clamp(card.padding, 0.0, 1000.0))) : 0;
    content_->setContentsMargins(padding, padding, padding, padding);
    // Leading, and as tall as the card: an alignment at the top would hold the content to its
    // size hint's height, cutting off the lines of a text wrapped narrower than it guessed.
    content_->setAlignment(Qt::AlignLeft);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void CardFrame::holdContent(std::optional<int> height) {
    auto* layout = static_cast<ContentLayout*>(content_);
    if (layout->held == height) return;
    layout->held = height;
    layout->invalidate();
    layout->activate();
}

void CardFrame::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto geometry = card_.geometry(width(), 0, height() - 2 * card_.padding);
    const auto rect = [](const Rect& r) { return QRectF(r.x, r.y, r.width, r.height); };
    const double radius = Card::cornerRadius;
    // Under a label repainted alone, the fill is all there is: drawn without the outline.
    if (inFlatMiddle(event->region(), rect(geometry.card), radius, Card::edgeWidth + 1))
        return fillRegion(painter, event->region(), toQColor(Card::fill));
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(Card::fill));
    painter.drawRoundedRect(rect(geometry.card), radius, radius);
    // The hairline lies inside the fill: its path is inset by half its width.
    QPen edge(toQColor(Card::edge), Card::edgeWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    edge.setMiterLimit(10);
    painter.setPen(edge);
    painter.setBrush(Qt::NoBrush);
    const double inner = radius - Card::edgeWidth / 2;
    painter.drawRoundedRect(rect(geometry.edge), inner, inner);
}

}  // namespace norvane
