#include "app/shell/Hotkeys.h"

#include <algorithm>

namespace norvane {

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
    if (!recordable(*hotkey)) return false;
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
