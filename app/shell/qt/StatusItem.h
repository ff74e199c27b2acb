#pragma once
// The application's item in the menu bar: the battery image followed by its title. On
// Linux it is the desktop's system tray where there is one, else a menu-bar strip of our
// own along the top edge of the screen; it follows the trays that start and end.

#include <functional>
#include <memory>
#include <optional>

#include "app/shell/StatusItemLook.h"
#include "app/visuals/Card.h"

class QRect;

namespace norvane {

class StatusItem {
public:
    virtual ~StatusItem() = default;

    // Draws the look: the battery image, the title and what screen readers say.
    virtual void show(const StatusItemLook& look) = 0;
    // The item is drawn pressed while its panel is open.
    virtual void setHighlighted(bool on) = 0;
    // Where the item is and the visible frame of its screen, in screen coordinates (y
    // growing downwards); absent when the desktop does not say.
    virtual std::optional<Rect> frame() const = 0;
    virtual std::optional<Rect> visibleFrame() const = 0;
    // The screens changed: an item that places itself on the screen places itself again (a
    // tray places its icons itself). Its panel tells it, once for the changes under way.
    virtual void followScreens() {}
    // The tray said other colours for its icons: an icon drawn in them is drawn again.
    virtual void trayColoursChanged() {}

    // Called when the user clicks the item.
    std::function<void()> clicked = [] {};
    // Called when the item's place may have changed (its screen changed, its tray moved it).
    std::function<void()> moved = [] {};
};

// The item that follows the desktop's trays (FollowingStatusItem).
std::unique_ptr<StatusItem> makeStatusItem();

Rect toRect(const QRect& rect);
// Where the pointer is: a tray that does not tell where its icon is was clicked there.
Rect atPointer();
// The visible frame of the screen that shows the middle of `item`, else the primary one's.
std::optional<Rect> visibleFrameAround(const Rect& item);

}  // namespace norvane
