#include "platform/x11/X11ClickMonitor.h"

#include <xcb/xinput.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotKeyCenter.h"

namespace norvane {
namespace {

template <typename T>
using Reply = std::unique_ptr<T, void (*)(void*)>;

// A window manager puts a program's window inside a frame or two; a deeper window under the
// pointer is no longer the top level one.
constexpr int deepestFrame = 4;

}  // namespace

X11ClickMonitor::X11ClickMonitor(const std::optional<std::string>& display, std::vector<std::uint32_t> ownClients)
    : ownClients_(std::move(ownClients)), x_(std::make_unique<X11Connection>(display)) {
    if (!x_->connected()) return;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(x_->get(), &xcb_input_id);
    if (!extension || !extension->present) return;
    // Raw events reach the root window whatever grab another client holds from 2.1 on.
    const std::unique_ptr<xcb_input_xi_query_version_reply_t, void (*)(void*)> version(
        xcb_input_xi_query_version_reply(x_->get(), xcb_input_xi_query_version(x_->get(), 2, 2), nullptr), std::free);
    if (!version || version->major_version < 2 || (version->major_version == 2 && version->minor_version < 1)) return;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } select{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
    if (xcb_generic_error_t* error =
            xcb_request_check(x_->get(), xcb_input_xi_select_events_checked(x_->get(), x_->root(), 1, &select.head))) {
        std::free(error);
        return;
    }
    clientMask_ = xcb_get_setup(x_->get())->resource_id_mask;
    opcode_ = extension->major_opcode;
    connected_ = true;
    x_->watch([this](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7F) != XCB_GE_GENERIC) return;
        const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
        if (generic.extension != opcode_ || generic.event_type != XCB_INPUT_RAW_BUTTON_PRESS) return;
        const auto& raw = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(event);
        pressed(raw.detail, raw.time);
    });
}

X11ClickMonitor::~X11ClickMonitor() = default;

std::unique_ptr<X11ClickMonitor> X11ClickMonitor::forSession(std::vector<std::uint32_t> ownClients) {
    return std::make_unique<X11ClickMonitor>(
        x11GrabDisplay(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")),
        std::move(ownClients));
}

void X11ClickMonitor::installHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

ClickMonitor::Button X11ClickMonitor::button(std::uint32_t number) {
    if (number == 1) return Button::left;
    if (number == 3) return Button::right;
    return Button::other;
}

void X11ClickMonitor::pressed(std::uint32_t number, std::uint32_t time) {
    Handler call;
    {
        std::lock_guard lock(mutex_);
        call = handler_;
    }
    if (!call) return;
    // On this thread the reply is read here; events that came with it wait in xcb's queue,
    // which the thread drains before it polls again.
    Press press{button(number), 0, 0, time};
    const Reply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(x_->get(), xcb_query_pointer(x_->get(), x_->root()), nullptr), std::free);
    if (pointer) {
        if (ownWindow(pointer->child)) return;
        press.x = pointer->root_x;
        press.y = pointer->root_y;
    }
    call(press);
}

bool X11ClickMonitor::ownWindow(std::uint32_t window) const {
    if (ownClients_.empty()) return false;
    for (int depth = 0; window != XCB_WINDOW_NONE && depth < deepestFrame; ++depth) {
        if (std::find(ownClients_.begin(), ownClients_.end(), window & ~clientMask_) != ownClients_.end()) return true;
        const Reply<xcb_query_pointer_reply_t> inner(
            xcb_query_pointer_reply(x_->get(), xcb_query_pointer(x_->get(), window), nullptr), std::free);
        window = inner ? inner->child : std::uint32_t{XCB_WINDOW_NONE};
    }
    return false;
}

}  // namespace norvane
