#include "platform/Value.h"

#include <cmath>
#include <limits>

namespace norvane {

std::optional<std::int64_t> Value::longLongValue() const {
    if (const auto* i = std::get_if<1>(&storage_)) return *i;
    if (const auto* d = std::get_if<2>(&storage_)) {
        if (std::isnan(*d)) return 0;
        // 2^63 is exactly representable; anything at or beyond it saturates.
        constexpr double limit = 9223372036854775808.0;
        if (*d >= limit) return std::numeric_limits<std::int64_t>::max();
        if (*d < -limit) return std::numeric_limits<std::int64_t>::min();
        return static_cast<std::int64_t>(*d);
    }
    return std::nullopt;
}

std::optional<double> Value::doubleValue() const {
    if (const auto* i = std::get_if<1>(&storage_)) return static_cast<double>(*i);
    if (const auto* d = std::get_if<2>(&storage_)) return *d;
    return std::nullopt;
}

std::optional<bool> Value::boolValue() const {
    if (const auto* b = std::get_if<3>(&storage_)) return *b;
    return std::nullopt;
}

const Value* Value::find(std::string_view key) const {
    const auto* dict = asDictionary();
    return dict ? norvane::find(*dict, key) : nullptr;
}

const Value* find(const Value::Dictionary& dict, std::string_view key) {
    auto it = dict.find(key);
    return it == dict.end() ? nullptr : &it->second;
}

}  // namespace norvane
