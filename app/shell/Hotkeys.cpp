#include "app/shell/Hotkeys.h"

#include <algorithm>

#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::uint32_t commandKey = 0x0100, shiftKey = 0x0200, optionKey = 0x0800, controlKey = 0x1000;
constexpr std::uint32_t allModifiers = commandKey | shiftKey | optionKey | controlKey;
// Shift alone never makes a shortcut.
constexpr std::uint32_t strongModifiers = commandKey | optionKey | controlKey;
constexpr std::int64_t largestKeyCode = 0xFFFF;

std::string symbols(std::uint32_t modifiers) {
    std::string out;
    if (modifiers & controlKey) out += "⌃";
    if (modifiers & optionKey) out += "⌥";
    if (modifiers & shiftKey) out += "⇧";
    if (modifiers & commandKey) out += "⌘";
    return out;
}

const std::string* nameOf(std::uint32_t keyCode) {
    const auto found = namedKeys().find(keyCode);
    return found == namedKeys().end() ? nullptr : &found->second;
}

bool modifiersSuffice(const std::string* name, std::uint32_t modifiers) {
    const bool functionKey = name && name->starts_with('F');
    return functionKey || (modifiers & strongModifiers) != 0;
}

// Whether `hotkey(…)` could have made this shortcut from some key press.
bool producible(const Hotkey& key) {
    if (key.keyCode > largestKeyCode || (key.modifiers & ~allModifiers) != 0) return false;
    const std::string* name = nameOf(key.keyCode);
    const std::string prefix = symbols(key.modifiers);
    if (!modifiersSuffice(name, key.modifiers) || !key.label.starts_with(prefix)) return false;
    const std::string text = key.label.substr(prefix.size());
    if (name) return text == *name;
    return !text.empty() && trimmedWhitespace(text) == text && uppercased(text) == text;
}

}  // namespace

const std::map<std::uint32_t, std::string>& namedKeys() {
    static const std::map<std::uint32_t, std::string> keys{
        {49, "Space"}, {36, "↩"}, {48, "⇥"},  {53, "⎋"},  {51, "⌫"},   {117, "⌦"},  {123, "←"}, {124, "→"},
        {126, "↑"},    {125, "↓"}, {122, "F1"}, {120, "F2"}, {99, "F3"}, {118, "F4"}, {96, "F5"}, {97, "F6"},
        {98, "F7"},    {100, "F8"}, {101, "F9"}, {109, "F10"}, {103, "F11"}, {111, "F12"},
    };
    return keys;
}

std::uint32_t carbonModifiers(ModifierFlags flags) {
    std::uint32_t out = 0;
    if (flags & modifierFlag::command) out |= commandKey;
    if (flags & modifierFlag::shift) out |= shiftKey;
    if (flags & modifierFlag::option) out |= optionKey;
    if (flags & modifierFlag::control) out |= controlKey;
    return out;
}

std::optional<Hotkey> hotkey(std::int64_t keyCode, const std::optional<std::string>& characters, ModifierFlags flags) {
    if (keyCode < 0 || keyCode > largestKeyCode) return std::nullopt;
    const auto code = static_cast<std::uint32_t>(keyCode);
    const std::uint32_t m = carbonModifiers(flags);
    const std::string* name = nameOf(code);
    if (!modifiersSuffice(name, m)) return std::nullopt;
    std::string text;
    if (name) text = *name;
    else if (characters) text = trimmedWhitespace(uppercased(*characters));
    if (text.empty()) return std::nullopt;
    return Hotkey{code, m, symbols(m) + text};
}

Hotkeys::Hotkeys(std::shared_ptr<HotKeyCenter> center, MainQueue& queue)
    : center_(std::move(center)), queue_(queue), alive_(std::make_shared<Hotkeys*>(this)) {}

Hotkeys::~Hotkeys() {
    if (handlerInstalled_) center_->installHandler(nullptr);
}

bool Hotkeys::set(const std::optional<Hotkey>& hotkey, HotkeyAction action) {
    if (const auto present = registered_.find(action); present != registered_.end()) {
        const HotKeyCenter::Ref ref = present->second.ref;
        registered_.erase(present);
        center_->unregisterHotKey(ref);
    }
    if (!hotkey) return true;
    if (!handlerInstalled_) {
        handlerInstalled_ = true;
        // Presses arrive on the center's thread; only the action's position crosses over.
        center_->installHandler([weak = std::weak_ptr<Hotkeys*>(alive_), &queue = queue_](std::uint32_t id) {
            queue.post([weak, id] {
                const auto self = weak.lock();
                if (self && id < allHotkeyActions.size()) (*self)->perform(allHotkeyActions[id]);
            });
        });
    }
    if (!producible(*hotkey)) return false;
    const bool held = std::any_of(registered_.begin(), registered_.end(), [&](const auto& entry) {
        return entry.second.hotkey.keyCode == hotkey->keyCode && entry.second.hotkey.modifiers == hotkey->modifiers;
    });
    if (held) return false;
    const auto position = static_cast<std::uint32_t>(
        std::find(allHotkeyActions.begin(), allHotkeyActions.end(), action) - allHotkeyActions.begin());
    const auto ref = center_->registerHotKey(hotkey->keyCode, hotkey->modifiers, position);
    if (!ref) return false;
    registered_.emplace(action, Registration{*ref, *hotkey});
    return true;
}

}  // namespace norvane
