#include "app/shell/Hotkeys.h"

#include <algorithm>

namespace norvane {
namespace {

// An action's identifier: its position among the actions.
std::uint32_t position(HotkeyAction action) {
    return static_cast<std::uint32_t>(std::find(allHotkeyActions.begin(), allHotkeyActions.end(), action) -
                                      allHotkeyActions.begin());
}

}  // namespace

Hotkeys::Hotkeys(std::shared_ptr<HotKeyCenter> center, MainQueue& queue)
    : center_(std::move(center)), queue_(queue), alive_(std::make_shared<Hotkeys*>(this)) {}

Hotkeys::~Hotkeys() {
    if (handlerInstalled_) center_->installHandler(nullptr);
}

bool Hotkeys::set(const std::optional<Hotkey>& hotkey, HotkeyAction action) {
    if (const auto present = registered_.find(action); present != registered_.end()) {
        const Registration old = present->second;
        registered_.erase(present);
        if (old.grabbed) center_->unregisterHotKey(old.ref);
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
    const auto ref = center_->registerHotKey(hotkey->keyCode, hotkey->modifiers, position(action));
    if (!ref) return false;
    registered_.emplace(action, Registration{*ref, *hotkey});
    return true;
}

void Hotkeys::suspend(bool suspended) {
    if (suspended == suspended_) return;
    suspended_ = suspended;
    for (auto entry = registered_.begin(); entry != registered_.end();) {
        Registration& r = entry->second;
        if (suspended && r.grabbed) {
            center_->unregisterHotKey(r.ref);
            r.grabbed = false;
        } else if (!suspended && !r.grabbed) {
            const auto ref = center_->registerHotKey(r.hotkey.keyCode, r.hotkey.modifiers, position(entry->first));
            if (!ref) {
                entry = registered_.erase(entry);
                continue;
            }
            r.ref = *ref;
            r.grabbed = true;
        }
        ++entry;
    }
}

}  // namespace norvane
