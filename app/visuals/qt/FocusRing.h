#pragma once
// The mark of the control that has the keyboard focus, as the system draws its focus ring:
// once a key (Tab, Shift-Tab) has moved the focus, a ring in the focus colour follows the
// control's shape just outside its edge; a press of the pointer takes it away until a key
// moves the focus again, so a click never leaves a ring behind. The panel and the tour each
// keep one over their controls.

#include <QObject>
#include <QPointer>

#include "platform/Color.h"

class QFocusFrame;
class QWidget;

namespace norvane {

class FocusRing final : public QObject {
public:
    static constexpr Color color{0.30, 0.60, 1.0, 0.9};
    static constexpr double width = 2.5;  // of the ring's line
    static constexpr int margin = 3;      // from the control's edge to the ring's outer edge

    // Marks the controls under `scope` (and lives as long as it does).
    explicit FocusRing(QWidget* scope);
    ~FocusRing() override;
    // The control marked now, if any.
    QWidget* marked() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void mark(QWidget* control);

    QWidget* scope_;
    QPointer<QFocusFrame> frame_;
    bool keyboard_ = false;  // the focus was last moved by a key
};

}  // namespace norvane
