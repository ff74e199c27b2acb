#include <map>
#include <optional>

#include "app/analysis/Notifier.h"
#include "app/onboarding/Access.h"
#include "platform/SystemLog.h"

namespace norvane {
namespace {

constexpr std::string_view notificationsOutsideApp = "Notifications work only in the built app.";

Access fromStatus(AuthorizationStatus status) {
    switch (status) {
        case AuthorizationStatus::denied:
            return access_state::NeedsSettings{};
        case AuthorizationStatus::authorized:
        case AuthorizationStatus::provisional:
            return access_state::Granted{};
        case AuthorizationStatus::notDetermined:
        case AuthorizationStatus::ephemeral:
            break;
    }
    return access_state::NotAsked{};
}

// The helper's last confirmation: empty, or its answer (no text when it worked).
using Confirmation = std::optional<Helper::Result>;

}  // namespace

AccessProbe AccessProbe::live(std::shared_ptr<const System> system, MainQueue& queue) {
    // The client's requests call back into it and read the system's parts until they are
    // answered, so every request holds both.
    auto helper = std::make_shared<Helper>(helperSystem(*system, queue));
    auto cell = std::make_shared<Confirmation>();
    AccessProbe probe;
    probe.notifications = [system, &queue](Answer answer) {
        if (!system->bundle->identifier())
            return answer(access_state::Unavailable{std::string(notificationsOutsideApp)});
        queue.background(Priority::userInitiated, [center = system->notifications, answer = std::move(answer)] {
            const AuthorizationStatus status = center->authorizationStatus();
            return std::function<void()>([answer, status] { answer(fromStatus(status)); });
        });
    };
    probe.askNotifications = [system, &queue](std::function<void()> done) {
        // Waits for the user's answer, which shows at the next probe.
        queue.background(Priority::userInitiated, [system, done = std::move(done)] {
            Notifier::ask(*system->bundle, *system->notifications,
                          [&machine = system->machine](std::string_view line) { systemLog(machine, line); });
            return std::function<void()>([done] {
                if (done) done();
            });
        });
    };
    probe.helper = [system, helper, cell](Answer answer) {
        const HelperState state = helper->state();
        if (!isReady(state)) cell->reset();
        if (std::holds_alternative<helper_state::NeedsApproval>(state)) return answer(access_state::NeedsSettings{});
        if (std::holds_alternative<helper_state::NotInstalled>(state)) return answer(access_state::NotAsked{});
        if (const auto* unavailable = std::get_if<helper_state::Unavailable>(&state))
            return answer(access_state::Unavailable{unavailable->reason});
        const auto from = [](const Helper::Result& failure) -> Access {
            if (failure) return access_state::Failed{*failure};
            return access_state::Granted{};
        };
        // Confirmed once each time it becomes ready; the answer stands until then.
        if (*cell) return answer(from(**cell));
        helper->confirm([system, helper, cell, from, answer = std::move(answer)](Helper::Result failure) {
            *cell = failure;
            answer(from(failure));
        });
    };
    probe.installHelper = [system, helper, cell] {
        cell->reset();
        // A refusal shows through the next probe.
        if (std::holds_alternative<helper_state::NotInstalled>(helper->state())) helper->install();
    };
    return probe;
}

AccessProbe AccessProbe::rehearsal(MainQueue& queue) {
    auto asked = std::make_shared<std::map<std::string, Date>>();
    const auto lookUp = [asked, &queue](const std::string& key) -> Access {
        const auto found = asked->find(key);
        if (found == asked->end()) return access_state::NotAsked{};
        if (queue.now() - found->second > rehearsalWait) return access_state::Granted{};
        return access_state::NeedsSettings{};
    };
    AccessProbe probe;
    probe.notifications = [lookUp](Answer answer) { answer(lookUp("notifications")); };
    probe.askNotifications = [asked, &queue](std::function<void()> done) {
        (*asked)["notifications"] = queue.now();
        if (done) done();
    };
    probe.helper = [lookUp](Answer answer) { answer(lookUp("helper")); };
    probe.installHelper = [asked, &queue] { (*asked)["helper"] = queue.now(); };
    return probe;
}

}  // namespace norvane
