#pragma once
// A button in the pill look.

#include <QAbstractButton>

#include "app/visuals/Pill.h"

namespace norvane {

class PillButton : public QAbstractButton {
public:
    PillButton(const QString& text, Pill pill, QWidget* parent = nullptr);
    // A new look, repainted only when it differs.
    void setPill(Pill pill);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Pill pill_;
};

}  // namespace norvane
