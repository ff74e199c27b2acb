#pragma once
// The application's delegate: the program's entry with its modes, the launch sequence
// (the model, the status item and its panel, the global hot keys, the welcome tour when it
// is due), the URLs opened for the application, a second start's hand-off, the tour's
// window, and the end of keep-awake when the application quits.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/model/AppModel.h"
#include "app/onboarding/Onboarding.h"
#include "app/onboarding/Relaunch.h"
#include "app/shell/Hotkeys.h"
#include "app/shell/ModelTarget.h"
#include "app/shell/UrlDispatch.h"
#include "app/shell/qt/StatusPanel.h"

namespace norvane {

class OnboardingView;

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
    // and does nothing this run); opens the tour when it is offered and due, or asked for
    // with "--onboarding".
    void applicationDidFinishLaunching();
    // URLs opened for the application, as one delivery; false when it was refused, the lane
    // being full of earlier ones.
    bool application(const std::vector<std::string>& urls);
    // Ends keep-awake as every normal quit does, so agent watching is not resumed.
    void applicationWillTerminate();
    // A second start's request (URLs, or an action of the scripts) and its reply.
    Value answer(const Value& request);

    // Opens the tour's window (a finished tour starts over at its first step), or brings
    // the open one to the front. The panel's resume notice and the settings row open the
    // tour through this; it does nothing before launch.
    void showOnboarding();
    // The tour's model (none before launch) and whether the tour is offered at all: when it
    // is not, nothing offers a way into it.
    Onboarding* onboarding() const { return tour_.get(); }
    bool onboardingOffered() const { return tourOffered_; }
    // The tour's window while it is open.
    QWidget* onboardingWindow() const;

    // How the tour's relaunch stops and resumes answering second starts (the instance
    // socket's service, which the program's entry owns).
    void handOverSecondStarts(Handover handover) { secondStarts_ = std::move(handover); }

    StatusPanel* panel() const { return panel_.get(); }
    AppModel* model() const { return model_.get(); }

private:
    void perform(HotkeyAction action);
    // The window goes (the step stays); it is dropped once the click that closed it is over.
    void closeOnboarding();
    // Sizes and places the tour's window in the room the screen leaves beside the item.
    void placeTour();

    std::optional<System> system_;  // until launch hands it to the model
    std::shared_ptr<const SystemState> state_;
    MainQueue& queue_;
    std::shared_ptr<Hotkeys> hotkeys_;
    std::unique_ptr<StatusItem> item_;  // until launch hands it to the panel
    const bool translucent_;
    std::shared_ptr<ClickMonitor> clicks_;  // outlives the panel
    std::unique_ptr<AppModel> model_;
    // What the tour asks of the system: the model's very parts (the same user defaults).
    std::shared_ptr<const System> tourSystem_;
    std::unique_ptr<Onboarding> tour_;  // outlives the panel, which reads it
    bool tourOffered_ = false;
    std::unique_ptr<ModelTarget> target_;
    std::unique_ptr<CommandLane> lane_;  // URL commands, one per turn of the main queue
    std::unique_ptr<StatusPanel> panel_;
    Handover secondStarts_;
    std::unique_ptr<QWidget> tourWindow_;
    OnboardingView* tourView_ = nullptr;  // the tour window's content
    std::unique_ptr<QWidget> closedWindow_;  // until the queue's next turn
    std::shared_ptr<AppDelegate*> alive_;  // weak copies reach the delegate from later work
};

}  // namespace norvane
