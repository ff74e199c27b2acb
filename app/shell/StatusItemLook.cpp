#include "app/shell/StatusItemLook.h"

namespace norvane {

StatusItemLook statusItemLook(std::optional<std::int64_t> percent, const std::optional<AwakeSession>& awake,
                              const AwakeStatus& state, const std::string& menuText) {
    const bool holding = awake && std::holds_alternative<AwakeStatus::Holding>(state.value);
    if (!percent) return {0, holding, " " + menuText, "Norvane, no battery"};
    return {*percent, holding, " " + menuText, "Norvane, battery " + menuText};
}

}  // namespace norvane
