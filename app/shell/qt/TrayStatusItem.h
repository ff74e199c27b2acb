#pragma once
// The item in the desktop's system tray. A tray shows an icon only: the battery image, whose
// dots take the colour that stands out in the tray (as a Mac's menu bar colours a template
// image for a light or a dark bar); the title and the spoken label become its tool tip.
//
// The colour comes from what the desktop tells (`trayInk`): the colour an X tray asks of its
// icons (`_NET_SYSTEM_TRAY_COLORS`); else the tray's own colour, read from the screen where
// the icon sits each time the tray draws it (embedded, moved, exposed); else the palette,
// where a tray of the session bus draws the icon itself and tells nothing of its place.

#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

#include "app/shell/qt/StatusItem.h"
#include "platform/Color.h"

namespace norvane {

class X11SystemTray;

class TrayStatusItem final : public QObject, public StatusItem {
public:
    // `tray`, where the display is X11's, tells the colour the tray asks of its icons.
    explicit TrayStatusItem(std::shared_ptr<const X11SystemTray> tray = nullptr);
    ~TrayStatusItem() override;

    void show(const StatusItemLook& look) override;
    void setHighlighted(bool) override {}  // the tray draws its own
    std::optional<Rect> frame() const override;
    std::optional<Rect> visibleFrame() const override;

    // The colour the dots are drawn in now.
    const std::optional<Color>& ink() const { return shownInk_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Draws the look in the colour the tray calls for, where either changed.
    void draw();
    Color currentInk() const;
    // The widget the tray embeds, once the icon shows: what it draws and where it moves is
    // watched.
    void watchEmbedding();

    std::shared_ptr<const X11SystemTray> tray_;
    QSystemTrayIcon icon_;
    std::optional<StatusItemLook> look_;
    std::optional<StatusItemLook> shownLook_;
    std::optional<Color> shownInk_;
    QObject* embedded_ = nullptr;
    bool checkPosted_ = false;
    bool movedPending_ = false;
};

}  // namespace norvane
