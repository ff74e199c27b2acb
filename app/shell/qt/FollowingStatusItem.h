#pragma once
// The status item that follows the desktop's trays, as they start and end in any order (a
// login starts the application and the desktop's panel together): on a tray of the session
// bus while a status-notifier watcher with a host is there (StatusNotifierItem), else in the
// X system tray while one holds its selection (TrayStatusItem), else the menu-bar strip. It
// looks again whenever the watcher's name changes owner, a host registers with it, an X tray
// announces itself or the one seen last ends, and moves once per change, when the place it
// belongs in differs: the new item shows the look and the highlight, the old one goes in the
// same turn of the event loop, and the panel is told the item moved.
//
// Qt picks its kind of tray icon once, when it first looks for a tray: its tray icon is used
// for X trays only, and its first look comes while no watcher is there.

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>
#include <memory>

#include "app/shell/qt/StatusItem.h"
#include "platform/x11/X11SystemTray.h"

namespace norvane {

class FollowingStatusItem final : public QObject, public StatusItem {
public:
    enum class Place { strip, sessionTray, xTray };

    // `tray`, where the display is X11's, tells of the X tray; the session bus tells of the
    // other. Shows the item where it belongs now.
    explicit FollowingStatusItem(std::unique_ptr<X11SystemTray> tray);
    ~FollowingStatusItem() override;

    void show(const StatusItemLook& look) override;
    void setHighlighted(bool on) override;
    std::optional<Rect> frame() const override { return item_->frame(); }
    std::optional<Rect> visibleFrame() const override { return item_->visibleFrame(); }
    void followScreens() override { item_->followScreens(); }

    Place place() const { return place_; }

private:
    // Asks whether the watcher now on the bus has a host; `wait` at the start, else the answer
    // comes later (an answer to an older question is dropped).
    void askHost(bool wait);
    // Looks at the trays on the loop's next turn, once for the changes under way.
    void check();
    Place wanted() const;
    void moveTo(Place place);

    std::unique_ptr<X11SystemTray> tray_;
    QDBusConnection bus_;
    QDBusServiceWatcher watcher_;
    QTimer hostRegistered_;  // started by the watcher's signals
    bool host_ = false;  // a watcher with a host is on the bus
    bool refused_ = false;  // that watcher refused the item
    bool newWatcher_ = false;  // a watcher came since the item last registered
    unsigned asked_ = 0;
    bool checkPosted_ = false;
    Place place_ = Place::strip;
    std::unique_ptr<StatusItem> item_;
    std::optional<StatusItemLook> look_;
    bool highlighted_ = false;
};

}  // namespace norvane
