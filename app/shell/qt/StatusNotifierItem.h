#pragma once
// The item on a tray of the session bus (a status-notifier host, through the watcher
// `org.kde.StatusNotifierWatcher`, as on KDE Plasma, Xfce or GNOME with the AppIndicator
// extension), with what Qt's tray icon shows there: an object at /StatusNotifierItem on the
// application's connection, registered with the watcher by that connection's unique name. Qt
// picks its kind of tray icon once, at its first look for a tray, and never reaches a watcher
// that starts later: this item does, whenever the watcher starts.
//
// The host draws the icon, sent at each size up to 64 pixels in the colours the X tray asks
// of its icons where it says them, else light dots on a dark body (`trayInk`); the spoken
// label is its tool tip, the application's name its title. The host's Activate and
// ContextMenu (a left and a right click on the icon) are the item's click.

#include <QDBusConnection>
#include <functional>
#include <memory>

#include "app/shell/qt/StatusItem.h"
#include "platform/x11/X11SystemTray.h"

namespace norvane {

class StatusNotifierItem final : public StatusItem {
public:
    static constexpr const char* watcher = "org.kde.StatusNotifierWatcher";

    // Registers with the watcher once it has a look to show; `refused` is called when the
    // watcher answers with an error or not within its deadline. `tray`, where there is one,
    // tells the colour the X tray asks of its icons; both outlive the item.
    StatusNotifierItem(QDBusConnection bus, const X11SystemTray* tray, std::function<void()> refused);
    ~StatusNotifierItem() override;
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    void show(const StatusItemLook& look) override;
    void setHighlighted(bool) override {}  // the host draws its own
    // The host tells nothing of the icon's place: the click that opens the panel was on it.
    std::optional<Rect> frame() const override { return atPointer(); }
    std::optional<Rect> visibleFrame() const override { return visibleFrameAround(atPointer()); }
    void trayColoursChanged() override;

private:
    class Object;
    void draw();

    QDBusConnection bus_;
    const X11SystemTray* tray_;
    std::function<void()> refused_;
    std::unique_ptr<Object> object_;
    bool registering_ = false;  // from the first look on
    bool onBus_ = false;  // the object is on the bus
};

}  // namespace norvane
