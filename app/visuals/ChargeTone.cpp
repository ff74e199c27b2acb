#include "app/visuals/ChargeTone.h"

namespace norvane {

ChargeTone chargeTone(std::int64_t percent) {
    if (percent < 6) return ChargeTone::empty;
    if (percent <= 20) return ChargeTone::low;
    if (percent <= 30) return ChargeTone::middle;
    if (percent <= 95) return ChargeTone::good;
    return ChargeTone::full;
}

Color color(ChargeTone tone) {
    switch (tone) {
        case ChargeTone::empty: return {1.0, 0.23, 0.21, 1};
        case ChargeTone::low: return {0.91, 0.42, 0.40, 1};
        case ChargeTone::middle: return {0.93, 0.79, 0.36, 1};
        case ChargeTone::good: return {0.52, 0.78, 0.60, 1};
        case ChargeTone::full: break;
    }
    return {0.33, 0.92, 0.52, 1};
}

}  // namespace norvane
