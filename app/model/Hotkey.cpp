#include "app/model/Hotkey.h"

#include "platform/PropertyList.h"
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

std::optional<std::uint32_t> unsigned32(const Value* value) {
    const auto n = value && value->isInteger() ? value->integerValue() : std::nullopt;
    if (!n || *n < 0 || *n > 0xFFFF'FFFF) return std::nullopt;
    return static_cast<std::uint32_t>(*n);
}

}  // namespace

std::string_view rawValue(HotkeyAction action) { return action == HotkeyAction::awake ? "awake" : "panel"; }

std::optional<HotkeyAction> hotkeyAction(std::string_view raw) {
    for (HotkeyAction action : allHotkeyActions)
        if (rawValue(action) == raw) return action;
    return std::nullopt;
}

std::string encodeHotkeys(const HotkeyTable& hotkeys) {
    Value::Array pairs;
    for (const auto& [action, key] : hotkeys) {
        pairs.push_back(Value::string(std::string(rawValue(action))));
        pairs.push_back(Value::dictionary({{"keyCode", Value::integer(key.keyCode)},
                                           {"modifiers", Value::integer(key.modifiers)},
                                           {"label", Value::string(key.label)}}));
    }
    // Integers and texts only: the writer cannot fail on them.
    return writeJson(Value::array(std::move(pairs))).value_or("[]");
}

std::optional<HotkeyTable> decodeHotkeys(std::string_view json) {
    const auto value = parseJson(json);
    const auto* items = value ? value->asArray() : nullptr;
    if (!items || items->size() % 2 != 0) return std::nullopt;
    HotkeyTable out;
    for (std::size_t i = 0; i < items->size(); i += 2) {
        const auto* raw = (*items)[i].asString();
        const auto action = raw ? hotkeyAction(*raw) : std::nullopt;
        const Value& object = (*items)[i + 1];
        const auto keyCode = unsigned32(object.find("keyCode"));
        const auto modifiers = unsigned32(object.find("modifiers"));
        const Value* label = object.find("label");
        if (!action || !keyCode || !modifiers || !label || !label->asString()) return std::nullopt;
        out.insert_or_assign(*action, Hotkey{*keyCode, *modifiers, *label->asString()});
    }
    return out;
}

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

bool recordable(const Hotkey& key) {
    if (key.keyCode > largestKeyCode || (key.modifiers & ~allModifiers) != 0) return false;
    const std::string* name = nameOf(key.keyCode);
    const std::string prefix = symbols(key.modifiers);
    if (!modifiersSuffice(name, key.modifiers) || !key.label.starts_with(prefix)) return false;
    const std::string text = key.label.substr(prefix.size());
    if (name) return text == *name;
    return !text.empty() && trimmedWhitespace(text) == text && uppercased(text) == text;
}

}  // namespace norvane
