#include "app/onboarding/Onboarding.h"

#include <gtest/gtest.h>

#include "platform/VirtualQueue.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using namespace access_state;
namespace keys = onboarding_keys;

struct Defaults {
    testing::TempFolder folder;
    std::shared_ptr<UserDefaults> store = std::make_shared<UserDefaults>(folder / "defaults.plist");
    UserDefaults stored() const { return UserDefaults(folder / "defaults.plist"); }
};

// A probe whose answers the test gives, in any order.
struct HeldProbe {
    std::vector<AccessProbe::Answer> notifications, helper;
    AccessProbe probe() {
        AccessProbe p;
        p.notifications = [this](AccessProbe::Answer answer) { notifications.push_back(std::move(answer)); };
        p.helper = [this](AccessProbe::Answer answer) { helper.push_back(std::move(answer)); };
        return p;
    }
};

TEST(Onboarding, StepsRunInTourOrderUnderTheirStoredNames) {
    const std::vector<std::string_view> names{"welcome", "know", "control", "notifications", "helper", "finish"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(position(onboardingSteps[i]), i);
        EXPECT_EQ(rawValue(onboardingSteps[i]), names[i]);
        EXPECT_EQ(onboardingStep(names[i]), onboardingSteps[i]);
    }
    for (const char* other : {"", "Welcome", "done", "welcome "})
        EXPECT_FALSE(onboardingStep(other)) << other;
}

TEST(Onboarding, TheStoredKeysDecideTheFirstStepAndWhetherItOpensAtLaunch) {
    struct Row {
        std::optional<Value> done, shown, resume, step;
        OnboardingStep first;
        bool opens;
    };
    const auto yes = Value::boolean(true), no = Value::boolean(false);
    const std::vector<Row> rows{
        {{}, {}, {}, {}, OnboardingStep::welcome, true},  // a fresh installation
        {{}, no, {}, {}, OnboardingStep::welcome, true},
        {{}, {}, yes, Value::string("helper"), OnboardingStep::helper, true},
        {{}, yes, {}, {}, OnboardingStep::welcome, false},
        {{}, yes, no, Value::string("control"), OnboardingStep::control, false},
        {{}, yes, yes, Value::string("finish"), OnboardingStep::finish, true},  // a relaunch from the tour
        {{}, yes, yes, Value::string("Helper"), OnboardingStep::welcome, true},
        {{}, yes, yes, Value::integer(3), OnboardingStep::welcome, true},
        {no, yes, yes, Value::string("know"), OnboardingStep::know, true},
        {yes, {}, {}, Value::string("helper"), OnboardingStep::welcome, false},  // done wins over all
        {yes, yes, yes, {}, OnboardingStep::welcome, false},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        Defaults d;
        for (const auto& [key, value] : {std::pair{keys::done, row.done}, std::pair{keys::shown, row.shown},
                                         std::pair{keys::resume, row.resume}, std::pair{keys::step, row.step}})
            if (value) d.store->set(key, *value);
        Onboarding tour(AccessProbe{}, d.store);
        EXPECT_EQ(tour.step(), row.first) << i;
        EXPECT_EQ(tour.opensAtLaunch(), row.opens) << i;
        EXPECT_EQ(tour.done(), row.done == yes) << i;
        EXPECT_EQ(tour.notifications(), Access(Checking{})) << i;
        EXPECT_EQ(tour.helper(), Access(Checking{})) << i;

        // The shell's decision: never when not offered, always with --onboarding.
        EXPECT_FALSE(tour.openAtLaunch(false, {"--onboarding"})) << i;
        EXPECT_EQ(d.stored().object(keys::shown), row.shown) << i;
        EXPECT_EQ(tour.openAtLaunch(true, {}), row.opens) << i;
        EXPECT_TRUE(tour.openAtLaunch(true, {"--demo", "--onboarding"})) << i;
        EXPECT_TRUE(d.stored().boolean(keys::shown)) << i;
        EXPECT_FALSE(d.stored().object(keys::resume)) << i;
        EXPECT_EQ(tour.opensAtLaunch(), false) << i;  // once shown, only a relaunch asks again
    }
}

TEST(Onboarding, OfferedFromTheAppOrWhenAnArgumentAsksForTheTour) {
    struct Row {
        const char* bundle;
        std::vector<std::string> arguments;
        bool offered;
    };
    for (const Row& row : std::vector<Row>{{"/Applications/Norvane.app", {}, true},
                                           {"/home/me/build", {}, false},
                                           {"/home/me/build", {"--onboarding-rehearsal"}, true},
                                           {"/home/me/build", {"--demo", "--onboardingX"}, true},
                                           {"/home/me/build", {"-onboarding", "x--onboarding"}, false}})
        EXPECT_EQ(Onboarding::offered(FolderBundle(row.bundle), row.arguments), row.offered) << row.bundle;
    EXPECT_TRUE(Onboarding::rehearsing({"--demo", "--onboarding-rehearsal"}));
    EXPECT_FALSE(Onboarding::rehearsing({"--onboarding-rehearsal=1"}));
}

TEST(Onboarding, StepChangesStoreTheStepAndTheirDirection) {
    Defaults d;
    Onboarding tour(AccessProbe{}, d.store);
    int steps = 0, directions = 0;
    const auto a = tour.subscribe({ModelField::onboardingStep}, [&] { ++steps; });
    const auto b = tour.subscribe({ModelField::onboardingForward}, [&] { ++directions; });
    const auto at = [&](OnboardingStep step, bool forward, std::optional<std::string> stored) {
        EXPECT_EQ(tour.step(), step);
        EXPECT_EQ(tour.forward(), forward);
        EXPECT_EQ(d.stored().string(keys::step), stored);
    };

    tour.back();  // nothing before the first step, and nothing stored
    at(OnboardingStep::welcome, true, std::nullopt);
    tour.next();
    at(OnboardingStep::know, true, "know");
    tour.go(OnboardingStep::notifications);
    tour.back();
    at(OnboardingStep::control, false, "control");
    tour.relaunchFailed("open said no");  // said until the next step change
    EXPECT_EQ(tour.relaunchFailure(), "open said no");
    tour.go(OnboardingStep::control);  // the same step counts as forward and is stored
    at(OnboardingStep::control, true, "control");
    EXPECT_FALSE(tour.relaunchFailure());
    EXPECT_EQ(tour.access(OnboardingStep::control), std::nullopt);
    EXPECT_EQ(tour.access(OnboardingStep::notifications), Access(Checking{}));
    tour.go(OnboardingStep::finish);
    tour.next();
    at(OnboardingStep::finish, true, "finish");
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(directions, 2);

    tour.finish();
    EXPECT_TRUE(tour.done());
    EXPECT_TRUE(d.stored().boolean(keys::done));
    at(OnboardingStep::finish, true, std::nullopt);
    tour.go(OnboardingStep::know);
    tour.restart();
    at(OnboardingStep::welcome, true, "know");
    EXPECT_TRUE(tour.done() && d.stored().boolean(keys::done));
    EXPECT_EQ(Onboarding(AccessProbe{}, d.store).step(), OnboardingStep::welcome);
}

TEST(Onboarding, OverlappingRefreshesEachAssignWhatDiffersWhenTheyEnd) {
    Defaults d;
    HeldProbe held;
    auto tour = std::make_unique<Onboarding>(held.probe(), d.store);
    int told = 0, ended = 0;
    const auto s =
        tour->subscribe({ModelField::onboardingNotifications, ModelField::onboardingHelper}, [&] { ++told; });

    tour->refresh([&] { ++ended; });    // the window's poll
    tour->refresh([&] { ++ended; });    // a permission button's
    held.notifications[1](NotAsked{});  // the second one's first answer comes first
    held.notifications[0](Granted{});
    EXPECT_EQ(tour->notifications(), Access(Checking{}));  // nothing before both answers are in
    held.helper[1](NeedsSettings{});                       // the first one ends first
    EXPECT_EQ(tour->notifications(), Access(Granted{}));
    EXPECT_EQ(tour->helper(), Access(NeedsSettings{}));
    EXPECT_EQ(told, 2);
    held.helper[0](NeedsSettings{});  // what the second found differs from what is held now
    EXPECT_EQ(tour->notifications(), Access(NotAsked{}));
    EXPECT_EQ(tour->access(OnboardingStep::helper), Access(NeedsSettings{}));
    EXPECT_EQ(told, 3);
    EXPECT_EQ(ended, 2);

    tour->refresh();  // nothing new: no one is told
    held.notifications[2](NotAsked{});
    held.helper[2](NeedsSettings{});
    EXPECT_EQ(told, 3);

    // Answers that come after the tour is gone find nothing.
    tour->refresh([&] { ++ended; });
    held.notifications[3](Granted{});
    tour.reset();
    held.helper[3](Granted{});
    EXPECT_EQ(ended, 2);
}

TEST(Onboarding, TheRehearsalGrantsWhatWasAskedForMoreThanSixSecondsAgo) {
    VirtualQueue queue;
    Defaults d;
    Onboarding tour(AccessProbe::rehearsal(queue), d.store);
    const auto states = [&] {
        tour.refresh();
        return std::pair(tour.notifications(), tour.helper());
    };
    EXPECT_EQ(states(), std::pair(Access(NotAsked{}), Access(NotAsked{})));
    int asked = 0;
    tour.probe().askNotifications([&] { ++asked; });
    EXPECT_EQ(asked, 1);
    queue.advance(AccessProbe::rehearsalWait);
    tour.probe().installHelper();
    EXPECT_EQ(states(), std::pair(Access(NeedsSettings{}), Access(NeedsSettings{})));
    queue.advance(0.001);
    EXPECT_EQ(states(), std::pair(Access(Granted{}), Access(NeedsSettings{})));
    tour.probe().askNotifications({});  // asking again starts the wait again
    queue.advance(AccessProbe::rehearsalWait);
    EXPECT_EQ(states(), std::pair(Access(NeedsSettings{}), Access(Granted{})));
}

}  // namespace
}  // namespace norvane
