#pragma once
// The application's own assertion that keeps the Mac from idle sleep.

#include <cstdint>

#include "platform/PowerAssertions.h"

namespace norvane {

struct SleepBlock {
    std::uint32_t id = 0;  // 0 while no assertion is held

    // On: creates the assertion unless one is held (a failed creation leaves id 0, so the
    // next call tries again). Off: releases the held one.
    void set(bool on, const PowerAssertions& assertions);

    bool operator==(const SleepBlock&) const = default;
};

}  // namespace norvane
