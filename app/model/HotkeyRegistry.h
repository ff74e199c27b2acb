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
    // While suspended (a shortcut is being recorded) no hot key fires: the keys registered
    // are given back to the application's windows, so the recorder gets them too. A key set
    // meanwhile is registered at once. Resumed, the keys given back are registered again; one
    // the system now refuses is dropped for this run, as at launch. A registry without global
    // keys has nothing to give back.
    virtual void suspend(bool /*suspended*/) {}
};

}  // namespace norvane
