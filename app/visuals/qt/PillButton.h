#pragma once
// A button in the pill look. It keeps its label's width (its size is fixed) unless the
// owner lets it shrink (a horizontal policy that shrinks): a label from outside, such as
// "Quit " and an app's name, is then cut with an ellipsis to the width it is offered.

#include <QAbstractButton>
#include <optional>

#include "app/visuals/Pill.h"

namespace norvane {

class PillButton : public QAbstractButton {
public:
    PillButton(const QString& text, Pill pill, QWidget* parent = nullptr);
    // A new look, repainted only when it differs.
    void setPill(Pill pill);
    // A one-point edge drawn inside the capsule in that colour (a chip whose choices are
    // open), or none; repainted only when it differs.
    void setEdge(std::optional<Color> edge);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Pill pill_;
    std::optional<Color> edge_;
};

}  // namespace norvane
