#pragma once
// The global hot keys: the registry that registers the user's two shortcuts with the
// desktop and hands each press to the main queue, and the functions that turn a key press
// caught by the settings' recorder into a shortcut.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/model/Hotkey.h"
#include "app/model/HotkeyRegistry.h"
#include "platform/HotKeyCenter.h"
#include "platform/MainQueue.h"

namespace norvane {

// A key event's modifier flags, with the bits a Mac's key events use.
using ModifierFlags = std::uint64_t;
namespace modifierFlag {
inline constexpr ModifierFlags capsLock = 1 << 16;
inline constexpr ModifierFlags shift = 1 << 17;
inline constexpr ModifierFlags control = 1 << 18;
inline constexpr ModifierFlags option = 1 << 19;
inline constexpr ModifierFlags command = 1 << 20;
inline constexpr ModifierFlags numericPad = 1 << 21;
inline constexpr ModifierFlags help = 1 << 22;
inline constexpr ModifierFlags function = 1 << 23;
}  // namespace modifierFlag

// The keys shown by name rather than by their character: space, return, tab, escape,
// delete, forward delete, the four arrows and F1 to F12, by key code.
const std::map<std::uint32_t, std::string>& namedKeys();

// The hot-key modifier mask of the flags: command 0x0100, shift 0x0200, option 0x0800,
// control 0x1000; other flags add nothing.
std::uint32_t carbonModifiers(ModifierFlags flags);

// The shortcut for a key press: its code (0…65535), its characters without modifiers and
// its flags. Nothing when the press cannot be one: a function key goes with any
// modifiers, every other key needs control, option or command, and a key without a name
// needs characters that are not all white space. The label is the modifiers' symbols
// (⌃⌥⇧⌘, in that order) followed by the key's name or its characters upper-cased.
std::optional<Hotkey> hotkey(std::int64_t keyCode, const std::optional<std::string>& characters, ModifierFlags flags);

class Hotkeys final : public HotkeyRegistry {
public:
    // `queue` must outlive the registry; `center` gets the registry's handler on the first
    // shortcut set.
    Hotkeys(std::shared_ptr<HotKeyCenter> center, MainQueue& queue);
    ~Hotkeys() override;
    Hotkeys(const Hotkeys&) = delete;
    Hotkeys& operator=(const Hotkeys&) = delete;

    // Drops the action's present shortcut, then registers the new one. False, leaving the
    // action without a shortcut, when the desktop refuses it, when `hotkey(…)` could not have
    // made it (as a corrupt stored entry) or when the other action holds the same keys.
    bool set(const std::optional<Hotkey>& hotkey, HotkeyAction action) override;

    // Called on the main queue with the action of each press.
    std::function<void(HotkeyAction)> perform = [](HotkeyAction) {};

private:
    struct Registration {
        HotKeyCenter::Ref ref = 0;
        Hotkey hotkey;
    };
    std::shared_ptr<HotKeyCenter> center_;
    MainQueue& queue_;
    std::shared_ptr<Hotkeys*> alive_;  // weak copies reach the registry from posted presses
    std::map<HotkeyAction, Registration> registered_;
    bool handlerInstalled_ = false;
};

}  // namespace norvane
