#pragma once
// The global hot keys: the registry that registers the user's two shortcuts with the
// desktop and hands each press to the main queue.

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/model/Hotkey.h"
#include "app/model/HotkeyRegistry.h"
#include "platform/HotKeyCenter.h"
#include "platform/MainQueue.h"

namespace norvane {

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
    void suspend(bool suspended) override;

    // Called on the main queue with the action of each press.
    std::function<void(HotkeyAction)> perform = [](HotkeyAction) {};

private:
    struct Registration {
        HotKeyCenter::Ref ref = 0;
        Hotkey hotkey;
        bool grabbed = true;  // false while suspended
    };
    std::shared_ptr<HotKeyCenter> center_;
    MainQueue& queue_;
    std::shared_ptr<Hotkeys*> alive_;  // weak copies reach the registry from posted presses
    std::map<HotkeyAction, Registration> registered_;
    bool handlerInstalled_ = false;
    bool suspended_ = false;
};

}  // namespace norvane
