#pragma once
// A widget in the card look; its content goes into `content()`, inset by the padding and
// kept at the leading edge, while the card takes the whole width it is offered.

#include <QWidget>
#include <optional>

#include "app/visuals/Card.h"

class QVBoxLayout;

namespace norvane {

class CardFrame : public QWidget {
public:
    explicit CardFrame(Card card, QWidget* parent = nullptr);
    QVBoxLayout* content() const { return content_; }
    // Lays the content out at this height whatever the card's own, so that a card whose edge
    // moves (a spring to a new height) neither squeezes nor stretches it: what lies past the
    // edge is cut off. Without one the content follows the card.
    void holdContent(std::optional<int> height);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Card card_;
    QVBoxLayout* content_;
};

}  // namespace norvane
