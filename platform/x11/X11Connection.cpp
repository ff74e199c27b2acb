#include "platform/x11/X11Connection.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace norvane {
namespace {

template <typename T>
using Reply = std::unique_ptr<T, void (*)(void*)>;

}  // namespace

X11Connection::X11Connection(const std::optional<std::string>& display) {
    if (!display) return;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display->c_str(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (screens.rem <= 0 || wake < 0) {
        if (wake >= 0) ::close(wake);
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    root_ = screens.data->root;
    screenNumber_ = screenNumber;
    wake_ = wake;
}

X11Connection::~X11Connection() {
    if (!connection_) return;
    if (thread_.joinable()) {
        stopping_ = true;
        nudge();
        thread_.join();
    }
    xcb_disconnect(connection_);
    ::close(wake_);
}

void X11Connection::watch(EventHandler handle) {
    if (!connection_ || thread_.joinable()) return;
    handle_ = std::move(handle);
    thread_ = std::thread([this] { run(); });
}

void X11Connection::nudge() const {
    if (wake_ < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_, &one, sizeof one);
}

void X11Connection::sync() const {
    if (connection_) std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

xcb_atom_t X11Connection::atom(const std::string& name, bool onlyIfExists) const {
    if (!connection_) return XCB_ATOM_NONE;
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection_,
                              xcb_intern_atom(connection_, onlyIfExists ? 1 : 0,
                                              static_cast<std::uint16_t>(name.size()), name.c_str()),
                              nullptr),
        std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t X11Connection::selectionOwner(xcb_atom_t selection) const {
    if (!connection_ || selection == XCB_ATOM_NONE) return XCB_WINDOW_NONE;
    const Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection), nullptr),
        std::free);
    return reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
}

// Events reach xcb's queue through this thread's reads of the socket and through the
// replies that other threads wait for, so the queue is drained after every wake-up.
void X11Connection::run() {
    const int socket = xcb_get_file_descriptor(connection_);
    while (true) {
        pollfd fds[2] = {{socket, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto read = ::read(wake_, &count, sizeof count);
        }
        if (stopping_) return;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            handle_(*event);
            std::free(event);
        }
        if (xcb_connection_has_error(connection_)) return;
    }
}

std::uint32_t x11ClientBase(xcb_connection_t* connection) {
    if (!connection || xcb_connection_has_error(connection)) return 0;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    return setup ? setup->resource_id_base : 0;
}

}  // namespace norvane
