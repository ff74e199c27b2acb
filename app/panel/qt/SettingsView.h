#pragma once
// The settings screen on Qt: the cards of `Settings`, each row a small widget bound to its
// setting. A tap writes the model at once and shows nothing of its own: the rows show the
// model's values again when its fields change, so a value set elsewhere (a URL command, a
// shortcut, the Now page) shows here too, and a refused change springs back.

#include <QWidget>

#include "app/panel/Settings.h"
#include "app/panel/qt/PanelShell.h"
#include "app/visuals/qt/Parts.h"
#include "platform/MainQueue.h"

namespace norvane {

class HotkeyRow;

class SettingsView final : public QWidget {
public:
    // The model, the queue and the shell's links must outlive the view.
    SettingsView(AppModel& model, MainQueue& queue, const PanelShell& shell, Color accent, QWidget* parent = nullptr);
    ~SettingsView() override;
    void setAccent(Color accent);
    // The shell's links changed.
    void shellChanged() { refresh(); }

    // The shortcut row of an action.
    HotkeyRow* hotkeyRow(HotkeyAction action) const;

private:
    void refresh();

    AppModel& m_;
    MainQueue& queue_;
    const PanelShell& shell_;
    Color accent_;
    Parts groups_;
    std::string runningVersion_;  // fixed for the running copy
};

}  // namespace norvane
