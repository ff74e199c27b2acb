#pragma once
// A widget in the card look; its content goes into `content()`, inset by the padding and
// kept at the leading edge, while the card takes the whole width it is offered.

#include <QWidget>

#include "app/visuals/Card.h"

class QVBoxLayout;

namespace norvane {

class CardFrame : public QWidget {
public:
    explicit CardFrame(Card card, QWidget* parent = nullptr);
    QVBoxLayout* content() const { return content_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Card card_;
    QVBoxLayout* content_;
};

}  // namespace norvane
