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
    manager_ = connection_.atom("MANAGER");
}

std::unique_ptr<X11SystemTray> X11SystemTray::forSession() {
    return std::make_unique<X11SystemTray>(x11GrabDisplay(std::getenv("DISPLAY"), nullptr, nullptr));
}

xcb_window_t X11SystemTray::owner() const {
    xcb_window_t owner = connection_.selectionOwner(selection_);
    if (!watching_) return owner;
    // Its events are asked for before the owner is read again: an end after that read is told.
    for (int tries = 0; owner != XCB_WINDOW_NONE && tries < 3; ++tries) {
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_.get(), owner, XCB_CW_EVENT_MASK, &mask);
        const xcb_window_t again = connection_.selectionOwner(selection_);
        if (again == owner) break;
        owner = again;
    }
    owner_ = owner;
    connection_.nudge();  // a change told while this waited for the replies
    return owner;
}

bool X11SystemTray::present() const {
    return connected() && owner() != XCB_WINDOW_NONE;
}

std::optional<Color> X11SystemTray::foreground() const {
    if (!connected() || colors_ == XCB_ATOM_NONE) return std::nullopt;
    const xcb_window_t owner = this->owner();
    if (owner == XCB_WINDOW_NONE) return std::nullopt;
    xcb_connection_t* connection = connection_.get();
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

void X11SystemTray::watch(std::function<void()> coloursChanged, std::function<void()> trayChanged) {
    if (!connected() || watching_) return;
    watching_ = true;
    // A tray's MANAGER message goes to the root window's structure listeners.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_.get(), connection_.root(), XCB_CW_EVENT_MASK, &mask);
    connection_.watch([this, coloursChanged = std::move(coloursChanged),
                       trayChanged = std::move(trayChanged)](const xcb_generic_event_t& event) {
        switch (event.response_type & 0x7F) {
        case XCB_PROPERTY_NOTIFY:
            if (reinterpret_cast<const xcb_property_notify_event_t&>(event).atom == colors_) coloursChanged();
            break;
        case XCB_CLIENT_MESSAGE: {
            const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
            if (message.type == manager_ && message.format == 32 && message.data.data32[1] == selection_)
                trayChanged();
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const xcb_window_t window = reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window;
            if (window != XCB_WINDOW_NONE && window == owner_) trayChanged();
            break;
        }
        default: break;
        }
    });
    connection_.sync();  // the root's events are asked for once this returns
}

}  // namespace norvane
