#include "app/controls/SleepBlock.h"

namespace norvane {
namespace {
constexpr std::int64_t levelOn = 255;
}

void SleepBlock::set(bool on, const PowerAssertions& assertions) {
    if (on && id == 0) {
        id = assertions.create("PreventUserIdleSystemSleep", levelOn, "Norvane Stay awake").value_or(0);
    } else if (!on && id != 0) {
        assertions.release(id);
        id = 0;
    }
}

}  // namespace norvane
