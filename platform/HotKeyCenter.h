#pragma once
// The desktop's global hot keys, asked for as a Mac's event manager takes them: a Mac key
// code with a modifier mask of its kind (command 0x0100, shift 0x0200, option 0x0800,
// control 0x1000), and an identifier that every press of the key hands back.

#include <cstdint>
#include <functional>
#include <optional>

namespace norvane {

class HotKeyCenter {
public:
    using Ref = std::uint64_t;
    // Gets the identifier of a pressed hot key, on the center's own thread.
    using Handler = std::function<void(std::uint32_t id)>;

    virtual ~HotKeyCenter() = default;
    // Replaces the handler of every press.
    virtual void installHandler(Handler handler) = 0;
    // Absent when the desktop refuses the key (another program holds it, the key has no
    // place on this keyboard) or has no global hot keys at all.
    virtual std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t id) = 0;
    virtual void unregisterHotKey(Ref ref) = 0;
};

}  // namespace norvane
