#include "platform/x11/X11HotKeyCenter.h"

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "platform/KeyCodes.h"
#include "platform/x11/X11Connection.h"

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

    explicit State(const std::optional<std::string>& display) : x(display) {}

    std::mutex mutex;  // guards what follows
    Handler handler;
    std::map<Ref, Grab> grabs;
    Ref nextRef = 1;
    X11Connection x;  // last: its thread ends before the rest goes

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

    void ungrab(std::uint8_t keycode, std::uint16_t modifiers) const {
        for (const std::uint16_t locks : lockStates)
            xcb_ungrab_key(x.get(), keycode, x.root(), static_cast<std::uint16_t>(modifiers | locks));
        x.sync();  // the key is free for other clients once this returns
    }
};

X11HotKeyCenter::X11HotKeyCenter(const std::optional<std::string>& display)
    : state_(std::make_shared<State>(display)) {
    state_->x.watch([state = state_.get()](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7F) == XCB_KEY_PRESS)
            state->pressed(reinterpret_cast<const xcb_key_press_event_t&>(event));
    });
}

std::unique_ptr<X11HotKeyCenter> X11HotKeyCenter::forSession() {
    return std::make_unique<X11HotKeyCenter>(
        x11GrabDisplay(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")));
}

X11HotKeyCenter::~X11HotKeyCenter() = default;  // the connection's end drops its grabs

bool X11HotKeyCenter::connected() const { return state_->x.connected(); }

void X11HotKeyCenter::installHandler(Handler handler) {
    std::lock_guard lock(state_->mutex);
    state_->handler = std::move(handler);
}

std::optional<HotKeyCenter::Ref> X11HotKeyCenter::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                                 std::uint32_t id) {
    const auto keycode = x11Keycode(keyCode);
    xcb_connection_t* connection = state_->x.get();
    if (!connection || !keycode) return std::nullopt;
    const std::uint16_t mask = x11Modifiers(modifiers);
    {
        // The server would let this connection grab a key twice; the event manager refuses.
        std::lock_guard lock(state_->mutex);
        for (const auto& [ref, grab] : state_->grabs)
            if (grab.keycode == *keycode && grab.modifiers == mask) return std::nullopt;
    }
    std::array<xcb_void_cookie_t, lockStates.size()> cookies{};
    for (std::size_t i = 0; i < lockStates.size(); ++i)
        cookies[i] = xcb_grab_key_checked(connection, 1, state_->x.root(), static_cast<std::uint16_t>(mask | lockStates[i]),
                                          *keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    bool refused = false;
    for (const auto cookie : cookies) {
        // Another client's grab of the same key is refused with an access error.
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    state_->x.nudge();
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
    state_->x.nudge();
}

}  // namespace norvane
