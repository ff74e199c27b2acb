#include "platform/x11/X11SystemTray.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace norvane {
namespace {

template <typename Reply>
using Owned = std::unique_ptr<Reply, void (*)(void*)>;

xcb_atom_t atom(xcb_connection_t* connection, const std::string& name) {
    const Owned<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr),
        std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

X11SystemTray::X11SystemTray(const std::optional<std::string>& display) : connection_(display) {
    if (!connection_.connected()) return;
    selection_ = atom(connection_.get(), "_NET_SYSTEM_TRAY_S" + std::to_string(connection_.screenNumber()));
    colors_ = atom(connection_.get(), "_NET_SYSTEM_TRAY_COLORS");
}

std::optional<Color> X11SystemTray::foreground() const {
    if (!connected() || selection_ == XCB_ATOM_NONE || colors_ == XCB_ATOM_NONE) return std::nullopt;
    xcb_connection_t* connection = connection_.get();
    const Owned<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection_), nullptr), std::free);
    if (!owner || owner->owner == XCB_WINDOW_NONE) return std::nullopt;
    // Twelve values say all four colours; the first three are the normal one.
    const Owned<xcb_get_property_reply_t> property(
        xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, owner->owner, colors_, XCB_ATOM_CARDINAL, 0, 12), nullptr),
        std::free);
    if (!property || property->type != XCB_ATOM_CARDINAL || property->format != 32) return std::nullopt;
    const int count = xcb_get_property_value_length(property.get()) / 4;
    if (count < 3) return std::nullopt;
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
    const auto channel = [&](int i) { return std::min<std::uint32_t>(values[i], 0xFFFF) / 65535.0; };
    return Color{channel(0), channel(1), channel(2), 1};
}

}  // namespace norvane
