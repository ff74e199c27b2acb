#pragma once
// The settings row of one action's global shortcut on Qt. While it records, an event filter
// on the whole application takes every key press (and the shortcut-override event that
// precedes it, so that Return, Space and Tab neither press the focused button nor move the
// focus, and no shortcut of a window fires); a modifier key alone is taken and ignored, as
// a Mac sends no key-down for it. The global hot keys are suspended meanwhile, so the other
// action's keys reach the row (which refuses them) instead of acting. Recording ends when the row is hidden (the panel closes,
// the settings screen goes) or destroyed: a row out of sight never keeps the keys, and it
// shows again idle, without the message.

#include <QWidget>

#include "app/panel/HotkeyRecording.h"
#include "platform/MainQueue.h"

namespace norvane {

class PillButton;
class TextLabel;

class HotkeyRow final : public QWidget {
public:
    // The model and the queue must outlive the row.
    HotkeyRow(AppModel& model, MainQueue& queue, HotkeyAction action, Color accent, QWidget* parent = nullptr);
    ~HotkeyRow() override;

    void setAccent(Color accent);
    void record();
    void stop();
    const HotkeyRecording& recording() const { return state_; }
    PillButton* mainButton() const { return main_; }
    PillButton* clearButton() const { return clear_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    AppModel& m_;
    HotkeyRecording state_;
    Color accent_;
    bool filtering_ = false;
    TextLabel* title_;
    PillButton* clear_;
    PillButton* main_;
    TextLabel* message_;
};

}  // namespace norvane
