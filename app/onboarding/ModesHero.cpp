#include "app/onboarding/ModesHero.h"

#include "app/onboarding/Motion.h"

namespace norvane {

const std::array<ModesHero::Entry, ModesHero::cycle>& ModesHero::entries() {
    static constexpr std::array<Entry, cycle> table{
        {{1, "Low Power · on battery"}, {0, "Automatic · plugged in"}, {2, "High Power · plugged in"}}};
    return table;
}

int ModesHero::index(double t) const {
    return still ? 1 : timelineFrame(t, period, cycle);
}

Segments<std::int64_t> ModesHero::segments(double t) const {
    return {{1, 0, 2}, entry(t).mode, false, [](const std::int64_t& mode) -> std::string {
                return mode == 1 ? "LOW" : mode == 2 ? "HIGH" : "AUTO";
            }};
}

}  // namespace norvane
