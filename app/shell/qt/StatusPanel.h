#pragma once
// The application's presence in the menu bar: the status item, redrawn whenever what it
// shows changes, and the floating panel that a click on the item opens under it. The panel
// closes when it loses the keyboard focus, on a click anywhere outside the application (as
// the global click monitor reports it), or on a second click on the item, and tells the
// model each time it opens or closes. It shows the panel's pages (`PanelView`), made once
// and kept while the panel is hidden.

#include <QWidget>

class QScreen;
#include <functional>
#include <memory>
#include <optional>

#include "app/model/AppModel.h"
#include "app/panel/qt/PanelView.h"
#include "app/shell/qt/StatusItem.h"
#include "app/visuals/Backdrop.h"
#include "platform/ClickMonitor.h"
#include "platform/MainQueue.h"

namespace norvane {

// The floating panel's window: frameless, above other windows, and able to take the
// keyboard focus. It tells when it loses the focus and when its size changes.
class KeyPanel final : public QWidget {
public:
    KeyPanel();
    std::function<void()> resignedKey = [] {};
    std::function<void()> resized = [] {};

protected:
    bool event(QEvent* event) override;
};

// A borderless window that can take the keyboard focus and be the main window: the tour's.
class KeyWindow final : public QWidget {
public:
    KeyWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) { setFocusPolicy(Qt::StrongFocus); }
};

// How the panel's background is drawn.
struct PanelLook {
    Backdrop backdrop;
    bool translucent = false;  // a compositor shows what lies behind the window
};

// While the panel is open it stays under its item, within the screen: when the screens change
// (one's geometry, one added or removed, another primary) or the item moves, the item follows
// the screens, then the panel is fitted and placed again, once for the changes under way.
class StatusPanel {
public:
    // The model and the queue must outlive the panel. With `openAtLaunch` (the option
    // "--open") the panel opens by itself half a second later; it then closes as after any
    // opening.
    StatusPanel(AppModel& model, MainQueue& queue, std::unique_ptr<StatusItem> item, PanelLook look,
                PanelContext context, bool openAtLaunch);
    ~StatusPanel();
    StatusPanel(const StatusPanel&) = delete;
    StatusPanel& operator=(const StatusPanel&) = delete;

    // Opens the panel under the item (again where it is open: placed and focused anew).
    void show();
    // The item's action: closes an open panel, else opens it unless it was closed less
    // than 0.25 s ago, on the uptime clock (so the click that took the focus from the panel
    // does not open it again, and a clock set back changes nothing).
    void toggle();

    // From now on a left or right press that `monitor` reports outside the panel and the item
    // closes the panel. The monitor must outlive the panel.
    void closeOnClicksOutside(ClickMonitor& monitor);

    bool isOpen() const;
    StatusItem& item() const { return *item_; }
    // Called after the item and an open panel have followed a change of the screens or of
    // the item's place: what else keeps to the screen beside the item follows here.
    std::function<void()> afterScreenChange = [] {};
    KeyPanel& panel() const { return *panel_; }
    PanelView& view() const { return *view_; }

private:
    void close();
    void place();
    // Follows the screens once the changes under way are through (a screen's change moves the
    // item too, and is told in several signals).
    void screenChanged();
    void watchScreens();
    void pressed(const ClickMonitor::Press& press);
    // Draws the item when its look differs from the one it shows.
    void renderItem();

    AppModel& model_;
    MainQueue& queue_;
    std::unique_ptr<StatusItem> item_;
    std::unique_ptr<KeyPanel> panel_;
    PanelView* view_;  // owned by the panel's window
    double closedAt_;  // uptime
    std::optional<StatusItemLook> shown_;
    bool redrawPosted_ = false;
    bool refitPosted_ = false;
    std::shared_ptr<StatusPanel*> alive_;  // weak copies reach the panel from posted work
    Observers::Subscription itemFields_;
    Task delayedShow_;
    ClickMonitor* clicks_ = nullptr;
    // The display server's time of the last input event the application had (a press, a
    // release, a key), kept by a filter of the application's events, and of that one when the
    // panel last opened.
    std::optional<std::uint32_t> lastInput_, openedBy_;
    std::unique_ptr<QObject> inputTimes_;
};

}  // namespace norvane
