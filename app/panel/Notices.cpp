#include "app/panel/Notices.h"

#include "app/panel/UpdateCard.h"

namespace norvane {

std::vector<Notices::Kind> Notices::present(const AppModel& m, Tour tour) {
    std::vector<Kind> out;
    if (UpdateCard::present(m)) out.push_back(Kind::update);
    if (tour.offered && !tour.done) out.push_back(Kind::tour);
    if (m.helperCard() && !isReady(m.helperState())) out.push_back(Kind::helperSetup);
    if (m.lowPowerNote()) out.push_back(Kind::energyNote);
    if (m.stuck()) out.push_back(Kind::stuck);
    return out;
}

Notices::HelperSetup Notices::helperSetup(const HelperState& state) {
    if (std::holds_alternative<helper_state::NeedsApproval>(state))
        return {"Allow Norvane under \u201cAllow in the Background\u201d in System Settings \u2192 Login Items, then "
                "switch Low Power Mode again.",
                "Open Login Items"};
    return {"Switching Low Power Mode needs administrator rights. Norvane adds a small helper that does only that, "
            "and macOS asks you to allow it in System Settings.",
            "Continue"};
}

Notices::Stuck Notices::stuck(const AppUsage& app) {
    return {app.name + " is still running. It may be waiting for you to confirm, or it ignores the request.",
            "Closes " + app.name + " at once. Unsaved changes in it are lost"};
}

void Notices::forceQuitStuck(AppModel& m, const Workspace& workspace) {
    const auto app = m.stuck();
    if (!app) return;
    m.setStuck(std::nullopt);
    if (const auto running = m.running(*app); running && running->bundlePath)
        workspace.forceTerminate(*running->bundlePath);
}

const std::vector<ModelField>& Notices::fields() {
    using F = ModelField;
    static const std::vector<ModelField> fields{F::update,      F::updateLater, F::updateStage, F::helperCard,
                                                F::helperState, F::lowPowerNote, F::stuck};
    return fields;
}

}  // namespace norvane
