#pragma once
// A small switch: a capsule track, tinted while on, with a white knob. It shows the state
// it is given: a click only reports itself, and the owner sets the state the model holds.

#include <QAbstractButton>

#include "platform/Color.h"

namespace norvane {

class SwitchButton final : public QAbstractButton {
public:
    SwitchButton(bool on, Color tint, QWidget* parent = nullptr);
    // Each repaints only when it changes something.
    void setOn(bool on);
    void setTint(Color tint);
    bool isOn() const { return on_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool on_;
    Color tint_;
};

}  // namespace norvane
