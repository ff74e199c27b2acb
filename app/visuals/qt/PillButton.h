#pragma once
// A button in the pill look.

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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Pill pill_;
    std::optional<Color> edge_;
};

}  // namespace norvane
