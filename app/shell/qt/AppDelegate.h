#pragma once
// The application's delegate: the program's entry with its modes, the launch sequence
// (the model, the status item and its panel, the global hot keys), the URLs opened for the
// application, a second start's hand-off, and the end of keep-awake when the application
// quits.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/model/AppModel.h"
#include "app/shell/Hotkeys.h"
#include "app/shell/ModelTarget.h"
#include "app/shell/qt/StatusPanel.h"

namespace norvane {

class AppDelegate {
public:
    // The model will run on `system` and `queue` (which must outlive the delegate);
    // `hotkeys` is the registry that `system` holds, `item` the status item to show;
    // `clicks`, where the desktop has one, the monitor whose presses outside close the panel.
    AppDelegate(System system, MainQueue& queue, std::shared_ptr<Hotkeys> hotkeys, std::unique_ptr<StatusItem> item,
                bool translucent, std::shared_ptr<ClickMonitor> clicks = nullptr);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The program's entry: runs the mode the arguments ask for and gives the exit status.
    // The one-shot modes run before any window system is touched; the lid guard never
    // returns.
    static int main(const std::vector<std::string>& arguments);

    // Creates the model and starts it, then the status item with its panel, installs the
    // hot-key handler and registers the saved hot keys (one the desktop refuses stays saved
    // and does nothing this run).
    void applicationDidFinishLaunching();
    // URLs opened for the application, as one delivery.
    void application(const std::vector<std::string>& urls);
    // Ends keep-awake as every normal quit does, so agent watching is not resumed.
    void applicationWillTerminate();
    // A second start's request (URLs, or an action of the scripts) and its reply.
    Value answer(const Value& request);

    StatusPanel* panel() const { return panel_.get(); }
    AppModel* model() const { return model_.get(); }

private:
    void perform(HotkeyAction action);

    std::optional<System> system_;  // until launch hands it to the model
    std::shared_ptr<const SystemState> state_;
    MainQueue& queue_;
    std::shared_ptr<Hotkeys> hotkeys_;
    std::unique_ptr<StatusItem> item_;  // until launch hands it to the panel
    const bool translucent_;
    std::shared_ptr<ClickMonitor> clicks_;  // outlives the panel
    std::unique_ptr<AppModel> model_;
    std::unique_ptr<ModelTarget> target_;
    std::unique_ptr<StatusPanel> panel_;
    std::shared_ptr<AppDelegate*> alive_;  // weak copies reach the delegate from later work
};

}  // namespace norvane
