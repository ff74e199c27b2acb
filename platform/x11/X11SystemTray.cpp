#include "platform/x11/X11SystemTray.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/x11/X11HotKeyCenter.h"

namespace norvane {

X11SystemTray::X11SystemTray(const std::optional<std::string>& display) : connection_(display) {
    if (!connection_.connected()) return;
    selection_ = connection_.atom("_NET_SYSTEM_TRAY_S" + std::to_string(connection_.screenNumber()));
    colors_ = connection_.atom("_NET_SYSTEM_TRAY_COLORS");
}

std::unique_ptr<X11SystemTray> X11SystemTray::forSession() {
    return std::make_unique<X11SystemTray>(x11GrabDisplay(std::getenv("DISPLAY"), nullptr, nullptr));
}

std::optional<Color> X11SystemTray::foreground() const {
    if (!connected() || colors_ == XCB_ATOM_NONE) return std::nullopt;
    const xcb_window_t owner = connection_.selectionOwner(selection_);
    if (owner == XCB_WINDOW_NONE) return std::nullopt;
    xcb_connection_t* connection = connection_.get();
    if (watching_) {
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection, owner, XCB_CW_EVENT_MASK, &mask);
    }
    // Twelve values say all four colours; the first three are the normal one.
    const std::unique_ptr<xcb_get_property_reply_t, void (*)(void*)> property(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, owner, colors_, XCB_ATOM_CARDINAL, 0, 12),
                               nullptr),
        std::free);
    if (watching_) connection_.nudge();  // a change told while this waited for the replies
    if (!property || property->type != XCB_ATOM_CARDINAL || property->format != 32) return std::nullopt;
    const int count = xcb_get_property_value_length(property.get()) / 4;
    if (count < 3) return std::nullopt;
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
    const auto channel = [&](int i) { return std::min<std::uint32_t>(values[i], 0xFFFF) / 65535.0; };
    return Color{channel(0), channel(1), channel(2), 1};
}

void X11SystemTray::watch(std::function<void()> changed) {
    if (!connected() || watching_) return;
    watching_ = true;
    connection_.watch([this, changed = std::move(changed)](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return;
        if (reinterpret_cast<const xcb_property_notify_event_t&>(event).atom == colors_) changed();
    });
}

}  // namespace norvane
