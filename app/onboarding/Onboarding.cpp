#include "app/onboarding/Onboarding.h"

#include <algorithm>
#include <utility>

#include "platform/CommandLine.h"

namespace norvane {
namespace {

constexpr std::array<std::string_view, onboardingSteps.size()> rawValues{"welcome",       "know",   "control",
                                                                         "notifications", "helper", "finish"};

}  // namespace

std::string_view rawValue(OnboardingStep step) {
    return rawValues[position(step)];
}

std::optional<OnboardingStep> onboardingStep(std::string_view raw) {
    const auto found = std::find(rawValues.begin(), rawValues.end(), raw);
    if (found == rawValues.end()) return std::nullopt;
    return onboardingSteps[static_cast<std::size_t>(found - rawValues.begin())];
}

std::size_t position(OnboardingStep step) {
    return static_cast<std::size_t>(step);
}

std::string notificationSettings(const MainBundle& bundle) {
    return "x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=" +
           bundle.identifier().value_or("");
}

Onboarding::Onboarding(AccessProbe probe, std::shared_ptr<UserDefaults> defaults)
    : probe_(std::move(probe)), defaults_(std::move(defaults)), alive_(std::make_shared<Onboarding*>(this)) {
    done_ = defaults_->boolean(onboarding_keys::done);
    if (const auto stored = defaults_->string(onboarding_keys::step); stored && !done_)
        step_ = onboardingStep(*stored).value_or(OnboardingStep::welcome);
}

Onboarding::~Onboarding() = default;

Observers::Subscription Onboarding::subscribe(std::vector<ModelField> fields, std::function<void()> changed) {
    return observers_.subscribe(std::move(fields), std::move(changed));
}

template <typename T>
void Onboarding::assign(T& slot, T value, ModelField field) {
    if (slot == value) return;
    slot = std::move(value);
    observers_.changed(field);
}

bool Onboarding::offered(const MainBundle& bundle, const std::vector<std::string>& arguments) {
    return bundle.isApplication() || std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
               return argument.starts_with("--onboarding");
           });
}

bool Onboarding::rehearsing(const std::vector<std::string>& arguments) {
    return hasArgument(arguments, "--onboarding-rehearsal");
}

bool Onboarding::opensAtLaunch() const {
    if (done_) return false;
    if (!defaults_->boolean(onboarding_keys::shown)) return true;
    return defaults_->boolean(onboarding_keys::resume);
}

bool Onboarding::openAtLaunch(bool offered, const std::vector<std::string>& arguments) {
    if (!offered || !(opensAtLaunch() || hasArgument(arguments, "--onboarding"))) return false;
    defaults_->set(onboarding_keys::shown, Value::boolean(true));
    defaults_->remove(onboarding_keys::resume);
    return true;
}

void Onboarding::restart() {
    assign(forward_, true, ModelField::onboardingForward);
    assign(step_, OnboardingStep::welcome, ModelField::onboardingStep);
}

void Onboarding::finish() {
    assign(done_, true, ModelField::onboardingDone);
    defaults_->set(onboarding_keys::done, Value::boolean(true));
    defaults_->remove(onboarding_keys::step);
}

void Onboarding::relaunchFailed(std::optional<std::string> reason) {
    assign(relaunchFailure_, std::move(reason), ModelField::onboardingRelaunch);
}

void Onboarding::go(OnboardingStep step) {
    assign(relaunchFailure_, std::optional<std::string>(), ModelField::onboardingRelaunch);
    assign(forward_, position(step) >= position(step_), ModelField::onboardingForward);
    assign(step_, step, ModelField::onboardingStep);
    defaults_->set(onboarding_keys::step, Value::string(std::string(rawValue(step))));
}

void Onboarding::back() {
    if (const std::size_t at = position(step_); at > 0) go(onboardingSteps[at - 1]);
}

void Onboarding::next() {
    if (const std::size_t at = position(step_); at + 1 < onboardingSteps.size()) go(onboardingSteps[at + 1]);
}

std::optional<Access> Onboarding::access(OnboardingStep step) const {
    if (step == OnboardingStep::notifications) return notifications_;
    if (step == OnboardingStep::helper) return helper_;
    return std::nullopt;
}

void Onboarding::refresh(std::function<void()> done) {
    const std::weak_ptr<Onboarding*> weak = alive_;
    // Copies: an answer given at once may end the tour, and the probe with it.
    const auto notifications = probe_.notifications;
    notifications([weak, done = std::move(done)](Access first) mutable {
        const auto self = weak.lock();
        if (!self) return;
        const auto helper = (*self)->probe_.helper;
        helper([weak, first = std::move(first), done = std::move(done)](Access second) {
            const auto self = weak.lock();
            if (!self) return;
            Onboarding& tour = **self;
            // Compared with what is held now, not when this refresh began: another one may
            // have ended in between.
            tour.assign(tour.notifications_, first, ModelField::onboardingNotifications);
            tour.assign(tour.helper_, second, ModelField::onboardingHelper);
            if (done) done();
        });
    });
}

void Onboarding::askNotifications() {
    const auto ask = probe_.askNotifications;
    ask([weak = std::weak_ptr<Onboarding*>(alive_)] {
        if (const auto self = weak.lock()) (*self)->refresh();
    });
}

void Onboarding::installHelper() {
    probe_.installHelper();
    refresh();
}

}  // namespace norvane
