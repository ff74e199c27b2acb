#pragma once
// Global hot keys on X11: passive key grabs on the root window through xcb. A Mac key code
// names a physical key, so it maps to the X key code of the same key (the evdev code plus
// 8, as XKB numbers keys) whatever the layout. The modifiers map command to Super (Mod4),
// option to Alt (Mod1), control to Control and shift to Shift; every grab is made with and
// without Caps Lock and Num Lock (Mod2), so that neither stops a hot key.
//
// Under Wayland no program may grab keys for the whole desktop: there, as without any
// display, a center has no connection and refuses every key.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/HotKeyCenter.h"

namespace norvane {

// The X key code of the physical key that the Mac key code names; absent for a code of a
// modifier key, of a key PC keyboards lack, or of no key.
std::optional<std::uint8_t> x11Keycode(std::uint32_t macKeyCode);
// The X modifier mask for the Mac modifier mask; bits it does not know are left out.
std::uint16_t x11Modifiers(std::uint32_t macModifiers);
// The X display to grab keys on: `display` unless the session is Wayland's (its session
// type says so, or a Wayland display is named) or `display` is empty or absent.
std::optional<std::string> x11GrabDisplay(const char* display, const char* waylandDisplay, const char* sessionType);

class X11HotKeyCenter final : public HotKeyCenter {
public:
    // Connects to the display (absent: none, so every key is refused) and watches its
    // events on a thread of its own.
    explicit X11HotKeyCenter(const std::optional<std::string>& display);
    // The display of this session's environment.
    static std::unique_ptr<X11HotKeyCenter> forSession();
    ~X11HotKeyCenter() override;
    X11HotKeyCenter(const X11HotKeyCenter&) = delete;
    X11HotKeyCenter& operator=(const X11HotKeyCenter&) = delete;

    bool connected() const;
    void installHandler(Handler handler) override;
    std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t id) override;
    void unregisterHotKey(Ref ref) override;

    struct State;  // shared with the event thread

private:
    std::shared_ptr<State> state_;
};

}  // namespace norvane
