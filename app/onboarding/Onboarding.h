#pragma once
// The welcome tour's model: its six steps in order, the state of its two permissions, and
// its progress kept in the user defaults, so that closing the window, quitting or
// relaunching resumes it at the same step. Everything runs on the main queue.

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/model/Observers.h"
#include "app/onboarding/Access.h"
#include "platform/MainBundle.h"
#include "platform/UserDefaults.h"

namespace norvane {

enum class OnboardingStep { welcome, know, control, notifications, helper, finish };

// The tour's order, which is also the order of its progress dots.
inline constexpr std::array<OnboardingStep, 6> onboardingSteps{OnboardingStep::welcome, OnboardingStep::know,
                                                               OnboardingStep::control, OnboardingStep::notifications,
                                                               OnboardingStep::helper,  OnboardingStep::finish};

// The stored form: the case's own name.
std::string_view rawValue(OnboardingStep step);
std::optional<OnboardingStep> onboardingStep(std::string_view raw);
std::size_t position(OnboardingStep step);

namespace onboarding_keys {
inline constexpr std::string_view shown = "onboardingShown";    // opened at a launch once
inline constexpr std::string_view resume = "onboardingResume";  // open again at the next launch
inline constexpr std::string_view done = "onboardingDone";
inline constexpr std::string_view step = "onboardingStep";
}  // namespace onboarding_keys

// The app's page of the Notifications settings; it ends in "?id=" when the bundle has no
// identifier.
std::string notificationSettings(const MainBundle& bundle);

class Onboarding {
public:
    // Starts at the stored step unless the tour is done; both permissions are `checking`
    // until the first refresh ends.
    Onboarding(AccessProbe probe, std::shared_ptr<UserDefaults> defaults);
    ~Onboarding();
    Onboarding(const Onboarding&) = delete;
    Onboarding& operator=(const Onboarding&) = delete;

    // The fields are the onboarding… ones of ModelField; assigning an equal value tells no one.
    [[nodiscard]] Observers::Subscription subscribe(std::vector<ModelField> fields, std::function<void()> changed);

    // Whether the tour is offered at all: from an application bundle, or when an argument
    // begins with "--onboarding". The caller works it out once.
    static bool offered(const MainBundle& bundle, const std::vector<std::string>& arguments);
    // "--onboarding-rehearsal" asks for the probe that only pretends.
    static bool rehearsing(const std::vector<std::string>& arguments);

    OnboardingStep step() const { return step_; }
    bool done() const { return done_; }
    const Access& notifications() const { return notifications_; }
    const Access& helper() const { return helper_; }
    bool forward() const { return forward_; }  // the last step change went forward
    // Why the last restart from the tour did not happen, until the next one or a step change.
    const std::optional<std::string>& relaunchFailure() const { return relaunchFailure_; }
    void relaunchFailed(std::optional<std::string> reason);
    const AccessProbe& probe() const { return probe_; }

    // Not when done; else when it never opened at a launch, or a relaunch asked for it.
    bool opensAtLaunch() const;
    // The shell's decision at launch: offered, and due or asked for with "--onboarding".
    // When it opens, the tour counts as shown and the resume request is taken back.
    bool openAtLaunch(bool offered, const std::vector<std::string>& arguments);

    // Back to the first step; `done` and the stored keys stay.
    void restart();
    // Ends the tour for good.
    void finish();
    // Goes to the step and stores it; forward unless the step lies before the current one.
    void go(OnboardingStep step);
    void back();  // nothing on the first step
    void next();  // nothing on the last step
    // The permission a step asks for; none for the other steps.
    std::optional<Access> access(OnboardingStep step) const;

    // Asks for both permissions, one after the other, then assigns what differs from the
    // values held at that moment; `done` runs after that. Refreshes may overlap.
    void refresh(std::function<void()> done = {});
    // The permission buttons: ask for notifications, or start the helper's installation;
    // the outcome shows through the refresh that follows.
    void askNotifications();
    void installHelper();

private:
    template <typename T>
    void assign(T& slot, T value, ModelField field);

    AccessProbe probe_;
    std::shared_ptr<UserDefaults> defaults_;
    Observers observers_;
    std::shared_ptr<Onboarding*> alive_;  // answers that come after the tour is gone find nothing

    OnboardingStep step_ = OnboardingStep::welcome;
    bool done_ = false;
    Access notifications_ = access_state::Checking{};
    Access helper_ = access_state::Checking{};
    bool forward_ = true;
    std::optional<std::string> relaunchFailure_;
};

}  // namespace norvane
