#include "platform/x11/X11HotKeyCenter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/KeyCodes.h"

namespace norvane {
namespace {

constexpr std::uint32_t macCommand = 0x0100, macShift = 0x0200, macOption = 0x0800, macControl = 0x1000;

// Caps Lock and Num Lock change no hot key: each grab is made in all four of their states.
constexpr std::array<std::uint16_t, 4> lockStates{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                  XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

bool notEmpty(const char* text) { return text && *text; }

}  // namespace

std::optional<std::uint8_t> x11Keycode(std::uint32_t macKeyCode) {
    // XKB numbers a key by its input code plus 8.
    const auto input = linuxKeyOfMac(macKeyCode);
    if (!input) return std::nullopt;
    return static_cast<std::uint8_t>(*input + 8);
}

std::uint16_t x11Modifiers(std::uint32_t macModifiers) {
    std::uint16_t out = 0;
    if (macModifiers & macCommand) out |= XCB_MOD_MASK_4;  // Super
    if (macModifiers & macShift) out |= XCB_MOD_MASK_SHIFT;
    if (macModifiers & macOption) out |= XCB_MOD_MASK_1;  // Alt
    if (macModifiers & macControl) out |= XCB_MOD_MASK_CONTROL;
    return out;
}

std::optional<std::string> x11GrabDisplay(const char* display, const char* waylandDisplay, const char* sessionType) {
    if (notEmpty(waylandDisplay) || (sessionType && std::string_view(sessionType) == "wayland")) return std::nullopt;
    if (!notEmpty(display)) return std::nullopt;
    return std::string(display);
}

struct X11HotKeyCenter::State {
    struct Grab {
        std::uint8_t keycode;
        std::uint16_t modifiers;
        std::uint32_t id;
    };

    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    int wake = -1;  // an eventfd: new events may wait in xcb's queue, or the thread must end
    std::thread thread;

    std::mutex mutex;  // guards what follows
    bool stopping = false;
    Handler handler;
    std::map<Ref, Grab> grabs;
    Ref nextRef = 1;

    void nudge() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wake, &one, sizeof one);
    }

    void pressed(const xcb_key_press_event_t& event) {
        const auto modifiers = static_cast<std::uint16_t>(event.state & 0xFF & ~(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2));
        Handler call;
        std::uint32_t id = 0;
        {
            std::lock_guard lock(mutex);
            for (const auto& [ref, grab] : grabs)
                if (grab.keycode == event.detail && grab.modifiers == modifiers) {
                    call = handler;
                    id = grab.id;
                }
        }
        if (call) call(id);
    }

    // Events reach xcb's queue through this thread's reads of the socket and through the
    // replies that registration waits for, so the queue is drained after every wake-up.
    void watch() {
        const int socket = xcb_get_file_descriptor(connection);
        while (true) {
            pollfd fds[2] = {{socket, POLLIN, 0}, {wake, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
            if (fds[1].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto read = ::read(wake, &count, sizeof count);
            }
            {
                std::lock_guard lock(mutex);
                if (stopping) return;
            }
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                if ((event->response_type & 0x7F) == XCB_KEY_PRESS)
                    pressed(*reinterpret_cast<const xcb_key_press_event_t*>(event));
                std::free(event);
            }
            if (xcb_connection_has_error(connection)) return;
        }
    }

    void ungrab(std::uint8_t keycode, std::uint16_t modifiers) const {
        for (const std::uint16_t locks : lockStates)
            xcb_ungrab_key(connection, keycode, root, static_cast<std::uint16_t>(modifiers | locks));
        // A round trip, so the key is free for other clients once this returns.
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
};

X11HotKeyCenter::X11HotKeyCenter(const std::optional<std::string>& display) : state_(std::make_shared<State>()) {
    if (!display) return;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display->c_str(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (screens.rem <= 0 || wake < 0) {
        if (wake >= 0) ::close(wake);
        xcb_disconnect(connection);
        return;
    }
    state_->connection = connection;
    state_->root = screens.data->root;
    state_->wake = wake;
    state_->thread = std::thread([state = state_.get()] { state->watch(); });
}

std::unique_ptr<X11HotKeyCenter> X11HotKeyCenter::forSession() {
    return std::make_unique<X11HotKeyCenter>(
        x11GrabDisplay(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")));
}

X11HotKeyCenter::~X11HotKeyCenter() {
    if (!state_->connection) return;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->nudge();
    state_->thread.join();
    xcb_disconnect(state_->connection);  // the server drops the connection's grabs
    ::close(state_->wake);
}

bool X11HotKeyCenter::connected() const { return state_->connection != nullptr; }

void X11HotKeyCenter::installHandler(Handler handler) {
    std::lock_guard lock(state_->mutex);
    state_->handler = std::move(handler);
}

std::optional<HotKeyCenter::Ref> X11HotKeyCenter::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                                 std::uint32_t id) {
    const auto keycode = x11Keycode(keyCode);
    if (!state_->connection || !keycode) return std::nullopt;
    const std::uint16_t mask = x11Modifiers(modifiers);
    {
        // The server would let this connection grab a key twice; the event manager refuses.
        std::lock_guard lock(state_->mutex);
        for (const auto& [ref, grab] : state_->grabs)
            if (grab.keycode == *keycode && grab.modifiers == mask) return std::nullopt;
    }
    std::array<xcb_void_cookie_t, lockStates.size()> cookies{};
    for (std::size_t i = 0; i < lockStates.size(); ++i)
        cookies[i] = xcb_grab_key_checked(state_->connection, 1, state_->root, static_cast<std::uint16_t>(mask | lockStates[i]),
                                          *keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    bool refused = false;
    for (const auto cookie : cookies) {
        // Another client's grab of the same key is refused with an access error.
        if (xcb_generic_error_t* error = xcb_request_check(state_->connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    state_->nudge();
    if (refused) {
        state_->ungrab(*keycode, mask);
        return std::nullopt;
    }
    std::lock_guard lock(state_->mutex);
    const Ref ref = state_->nextRef++;
    state_->grabs.emplace(ref, State::Grab{*keycode, mask, id});
    return ref;
}

void X11HotKeyCenter::unregisterHotKey(Ref ref) {
    State::Grab grab{};
    {
        std::lock_guard lock(state_->mutex);
        const auto found = state_->grabs.find(ref);
        if (found == state_->grabs.end()) return;
        grab = found->second;
        state_->grabs.erase(found);
    }
    state_->ungrab(grab.keycode, grab.modifiers);
    state_->nudge();
}

}  // namespace norvane
