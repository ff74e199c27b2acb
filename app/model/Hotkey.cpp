#include "app/model/Hotkey.h"

#include "platform/PropertyList.h"

namespace norvane {
namespace {

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

}  // namespace norvane
