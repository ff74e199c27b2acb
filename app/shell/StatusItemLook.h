#pragma once
// What the status item shows, as one comparable value: the item is drawn again only when
// the look made from the model's fields differs from the one it shows.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/controls/AwakeMode.h"
#include "app/model/ModelField.h"

namespace norvane {

struct StatusItemLook {
    std::int64_t percent = 0;  // the battery image's charge
    bool awake = false;        // the image's keep-awake mark
    std::string title;
    std::string accessibilityLabel;
    bool operator==(const StatusItemLook&) const = default;
};

// The mark shows while a session runs and holds the Mac awake (not while it waits). Without
// a battery (no percent) the image shows no charge and the label says so.
StatusItemLook statusItemLook(std::optional<std::int64_t> percent, const std::optional<AwakeSession>& awake,
                              const AwakeStatus& state, const std::string& menuText);

// The model's fields the look is made of: the battery, the keep-awake session and its
// state, and those of the menu-bar text.
inline constexpr std::array<ModelField, 6> statusItemFields{ModelField::battery,    ModelField::hasBattery,
                                                            ModelField::awake,      ModelField::awakeState,
                                                            ModelField::forecast,   ModelField::showTime};

}  // namespace norvane
