#pragma once
// The system's registry of global hot keys, as the model asks it to change one; the shell
// implements it on the desktop's key grabbing.

#include <optional>

#include "app/model/Hotkey.h"

namespace norvane {

class HotkeyRegistry {
public:
    virtual ~HotkeyRegistry() = default;
    // Drops the action's present hot key, then registers the new one; true when the system
    // took it (clearing, with none, always succeeds). False leaves the action without a key.
    virtual bool set(const std::optional<Hotkey>& hotkey, HotkeyAction action) = 0;
};

}  // namespace norvane
