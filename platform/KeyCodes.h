#pragma once
// Keys by their place on the keyboard. A Mac's virtual key code names a physical key (the
// key where a US keyboard has A is 0 whatever the layout prints on it), as Linux's input
// key codes do; this is the one table between the two. The global hot keys grab the Linux
// key of a Mac code, and the settings' recorder turns a pressed key back into its Mac code.

#include <cstdint>
#include <optional>

namespace norvane {

// The Linux input code (linux/input-event-codes.h, KEY_…) of the key a Mac key code names;
// absent for a modifier key, a key PC keyboards lack, or no key.
std::optional<unsigned> linuxKeyOfMac(std::uint32_t macKeyCode);
// The Mac key code of the key with that Linux input code; absent for a key a Mac lacks.
std::optional<std::uint32_t> macKeyOfLinux(unsigned linuxKey);

}  // namespace norvane
