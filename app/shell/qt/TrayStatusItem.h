#pragma once
// The item in the desktop's X system tray, as Qt's tray icon. A tray shows an icon only: the
// battery image, whose dots take the colour that stands out in the tray (as a Mac's menu bar
// colours a template image for a light or a dark bar); the spoken label becomes its tool tip.
//
// The colours come from what the desktop tells (`trayInk`): the colour an X tray asks of its
// icons (`_NET_SYSTEM_TRAY_COLORS`); else the tray's own colour, read from the screen where
// the icon sits; else, where nothing tells the icon's place, light dots on a dark body, which
// read on any tray. They are worked out when the icon is first drawn, once the tray has drawn
// the icon after showing or moving it, and when the tray says other colours; each look is
// drawn in those worked out last.

#include <QImage>
#include <QObject>
#include <QSystemTrayIcon>

#include "app/shell/qt/StatusItem.h"
#include "platform/x11/X11SystemTray.h"

namespace norvane {

// Drawn at each size a tray commonly shows, so that the body's rim and the dots fall on its
// pixels rather than on a scaled-down picture's; a tray of the session bus is sent those up to
// 64 pixels, and picks or scales one of them.
constexpr int trayIconSides[] = {16, 22, 24, 32, 48, 64, 128};
// The look in a square of `side` pixels, in the tray's colours.
QImage trayIconImage(const StatusItemLook& look, const TrayInk& ink, int side);

class TrayStatusItem final : public QObject, public StatusItem {
public:
    // `tray`, where the display is X11's, tells the colour the tray asks of its icons; it
    // outlives the item.
    explicit TrayStatusItem(const X11SystemTray* tray = nullptr);

    void show(const StatusItemLook& look) override;
    void setHighlighted(bool) override {}  // the tray draws its own
    void trayColoursChanged() override;
    std::optional<Rect> frame() const override;
    std::optional<Rect> visibleFrame() const override;

    // The colours the image is drawn in now.
    const std::optional<TrayInk>& ink() const { return shownInk_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Draws the look in the colour worked out last, where either differs from what is shown.
    void draw();
    TrayInk currentInk() const;
    // The widget the tray embeds, once the icon shows: where it shows and moves is watched.
    void watchEmbedding();
    // Works the colour out again, or tells that the item moved, on the event loop's next turn.
    void check(bool recolour, bool itemMoved);

    const X11SystemTray* tray_;
    QSystemTrayIcon icon_;
    std::optional<StatusItemLook> look_;
    std::optional<TrayInk> ink_;  // as last worked out
    std::optional<StatusItemLook> shownLook_;
    std::optional<TrayInk> shownInk_;
    QObject* embedded_ = nullptr;
    bool inkDue_ = false;  // the icon showed or moved: the colour is read once it is drawn there
    bool checkPosted_ = false;
    bool recolourPending_ = false;
    bool movedPending_ = false;
};

}  // namespace norvane
