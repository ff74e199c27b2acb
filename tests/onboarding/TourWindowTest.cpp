#include "app/onboarding/TourWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "app/onboarding/Motion.h"
#include "app/onboarding/RefreshLoop.h"
#include "app/onboarding/SpringAnimation.h"
#include "app/onboarding/Timeline.h"
#include "app/onboarding/TourPages.h"
#include "platform/VirtualQueue.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using namespace access_state;
using Action = TourWindow::Action;

const Color granted = grantedGreen, waiting = waitingAmber, accent{0.9, 0.8, 0.7, 1};

const std::map<Action, std::string> names{{Action::none, "none"},
                                          {Action::close, "close"},
                                          {Action::back, "back"},
                                          {Action::next, "next"},
                                          {Action::finish, "finish"},
                                          {Action::askNotifications, "ask"},
                                          {Action::openNotificationSettings, "notificationSettings"},
                                          {Action::installHelper, "install"},
                                          {Action::openLoginItems, "loginItems"}};

// "<Back | Not now>next, *Allow notifications>ask": the back button, then the buttons on the
// right; a main one starred, a disabled one marked with "~".
std::string written(const TourWindow::Footer& footer) {
    std::string out = footer.back ? "<" + footer.back->title + " | " : "";
    for (const auto& button : footer.buttons) {
        if (&button != &footer.buttons.front()) out += ", ";
        out += (button.primary ? "*" : "") + std::string(button.enabled ? "" : "~") + button.title + ">" +
               names.at(button.action);
    }
    return out;
}

TEST(TourWindow, TheFooterOffersTheButtonsOfEachStepAndPermissionState) {
    const std::vector<Access> states{Failed{"x"}, Unavailable{"r"}, Checking{}, NotAsked{}, NeedsSettings{}, Granted{}};
    const auto forStates = [](std::string settings, std::string ask, std::string askAction,
                              std::string settingsAction) {
        return std::vector<std::string>{"<Back | Not now>next, *Try again>" + askAction,
                                        "<Back | *Continue>next",
                                        "<Back | ~Checking>none",
                                        "<Back | Not now>next, *" + ask + ">" + askAction,
                                        "<Back | Not now>next, *" + settings + ">" + settingsAction,
                                        "<Back | *Continue>next"};
    };
    const std::map<OnboardingStep, std::vector<std::string>> expected{
        {OnboardingStep::welcome, std::vector<std::string>(states.size(), "*Start>next")},
        {OnboardingStep::know, std::vector<std::string>(states.size(), "<Back | *Continue>next")},
        {OnboardingStep::control, std::vector<std::string>(states.size(), "<Back | *Continue>next")},
        {OnboardingStep::notifications,
         forStates("Open Notification settings", "Allow notifications", "ask", "notificationSettings")},
        {OnboardingStep::helper, forStates("Open Login Items", "Add the helper", "install", "loginItems")},
        {OnboardingStep::finish, std::vector<std::string>(states.size(), "<Back | *Open Norvane>finish")},
    };
    for (const auto step : onboardingSteps)
        for (std::size_t i = 0; i < states.size(); ++i) {
            // Each permission step reads only its own permission.
            const bool own = step == OnboardingStep::notifications;
            const TourState state{step, own ? states[i] : Access(Granted{}), own ? Access(Failed{"y"}) : states[i]};
            const auto footer = TourWindow::footer(state);
            EXPECT_EQ(written(footer), expected.at(step)[i]) << rawValue(step) << " " << i;
            // Only the step changes move with the spring.
            for (const auto& button : footer.buttons)
                EXPECT_EQ(button.animated, button.action == Action::next) << button.title;
        }
    EXPECT_EQ(TourWindow::footer({OnboardingStep::know}).back->pill(accent), (Pill{Color::white(0.1), Color::white()}));
    EXPECT_EQ(TourWindow::footer({OnboardingStep::know}).buttons[0].pill(accent), (Pill{accent, Color::black()}));
}

TEST(TourWindow, TheWindowStandsInTheRoomTheScreenLeavesBesideTheItem) {
    const Rect strip{950, 0, 74, 24}, trayBelow{1000, 576, 24, 24};
    struct Row {
        const char* what;
        Rect available;
        std::optional<Rect> item;
        Rect frame;
    };
    const Row rows[] = {
        {"a large screen: centred, whole", {0, 0, 1920, 1080}, Rect{1800, 0, 74, 24}, {680, 220, 560, 664}},
        {"1024 x 600 under the menu bar: shorter, under the item", {0, 0, 1024, 600}, strip, {232, 32, 560, 560}},
        {"1024 x 600 over a tray at the bottom", {0, 0, 1024, 600}, trayBelow, {232, 8, 560, 560}},
        {"no item: the whole visible area", {0, 0, 1024, 600}, std::nullopt, {232, 8, 560, 584}},
        {"an item away from the edges takes no room", {0, 0, 1024, 600}, Rect{500, 300, 1, 1}, {232, 8, 560, 584}},
        {"a second screen's coordinates", {1920, 100, 1280, 800}, std::nullopt, {2280, 168, 560, 664}},
        {"too small: the least height, its top on the screen", {0, 0, 500, 300}, strip, {0, 24, 560, 320}},
    };
    for (const auto& [what, available, item, frame] : rows)
        EXPECT_EQ(TourWindow::frame(available, item), frame) << what;
}

TEST(TourWindow, ProgressDotsMarkGrantedAndPassedPermissions) {
    // Per dot: w bright, . faint, g granted, a waiting; the current step's in capitals.
    const auto dots = [](const TourState& state) {
        std::string out;
        for (const auto& dot : TourWindow::progress(state, granted, waiting).dots) {
            char c = dot.color == granted              ? 'g'
                     : dot.color == waiting            ? 'a'
                     : dot.color == Color::white(0.9)  ? 'w'
                     : dot.color == Color::white(0.18) ? '.'
                                                       : '?';
            out += dot.diameter == 8 ? static_cast<char>(std::toupper(c)) : c;
        }
        return out;
    };
    struct Row {
        TourState state;
        const char* dots;
    };
    for (const Row& row : std::vector<Row>{
             {{OnboardingStep::welcome}, "W....."},
             {{OnboardingStep::notifications, NotAsked{}, NotAsked{}}, "wwwW.."},
             {{OnboardingStep::helper, NotAsked{}, Checking{}}, "wwwaW."},  // passed with "Not now"
             {{OnboardingStep::finish, NeedsSettings{}, Failed{"x"}}, "wwwaaW"},
             {{OnboardingStep::know, NotAsked{}, NotAsked{}}, "wW...."},  // back before it: faint again
             {{OnboardingStep::know, Granted{}, Granted{}}, "wW.gg."},    // granted wherever it lies
             {{OnboardingStep::helper, Granted{}, Granted{}}, "wwwgG."},
         })
        EXPECT_EQ(dots(row.state), row.dots) << row.dots;
    EXPECT_EQ(TourWindow::progress({OnboardingStep::helper}, granted, waiting).accessibility, "Step 5 of 6");
}

TEST(TourWindow, PagesSlideInTheDirectionOfTravelOrCrossFade) {
    testing::TempFolder folder;
    Onboarding tour(AccessProbe{}, std::make_shared<UserDefaults>(folder / "d.plist"));
    tour.go(OnboardingStep::control);
    EXPECT_EQ(pageTransition(tour.forward(), false), (PageTransition{36, -36}));  // in from the right
    tour.back();
    const PageTransition back = pageTransition(tour.forward(), false);
    EXPECT_EQ(back, (PageTransition{-36, 36}));  // the know page comes in from the left
    EXPECT_EQ(back.at(0), (PageTransition::Frame{-36, 0, 0, 1}));
    EXPECT_EQ(back.at(1), (PageTransition::Frame{0, 1, 36, 0}));
    EXPECT_EQ(pageTransition(false, true).at(0.5), (PageTransition::Frame{0, 0.5, 0, 0.5}));  // reduce motion

    for (const Spring spring :
         {stepSpring, accessSpring, bannerSpring, modesSpring, Spring{0.3, 1}, Spring{0.3, 1.5}}) {
        EXPECT_EQ(spring.value(0), 0);
        EXPECT_GT(std::abs(1 - spring.value(spring.response / 4)), 0.001);
        for (double t = spring.duration(); t < spring.duration() + 1; t += 0.01)
            ASSERT_LT(std::abs(1 - spring.value(t)), 0.001) << spring.response << " " << spring.damping << " " << t;
    }
    EXPECT_NEAR(stepSpring.duration(), 0.45, 0.01);
    EXPECT_EQ((Spring{0, 0.85}).value(0), 1);
}

TEST(TourWindow, ButtonsActOnTheTourAndOpenTheSettingsPages) {
    VirtualQueue queue;
    testing::TempFolder folder;
    Onboarding tour(AccessProbe::rehearsal(queue), std::make_shared<UserDefaults>(folder / "d.plist"));
    std::vector<std::string> opened;
    const TourDoors doors{[&] { opened.push_back("close"); }, [&] { opened.push_back("finish"); },
                          [&](const std::string& url) { opened.push_back(url); },
                          [&] { opened.push_back("login items"); }, "settings://notifications"};
    for (const Action action : {Action::next, Action::next, Action::back, Action::none})
        perform(action, tour, doors);
    EXPECT_EQ(tour.step(), OnboardingStep::know);
    perform(Action::askNotifications, tour, doors);  // refreshes when it has asked
    perform(Action::installHelper, tour, doors);
    EXPECT_EQ(TourState::of(tour), (TourState{OnboardingStep::know, NeedsSettings{}, NeedsSettings{}, false}));
    for (const Action action :
         {Action::openNotificationSettings, Action::openLoginItems, Action::close, Action::finish})
        perform(action, tour, doors);
    EXPECT_EQ(opened, (std::vector<std::string>{"settings://notifications", "login items", "close", "finish"}));
    EXPECT_FALSE(tour.done());  // the shell's finish ends it
}

TEST(TourWindow, ThePageTableAndTheClosingRowsInsideAndOutsideTheBundle) {
    struct Row {
        OnboardingStep step;
        Hero hero;
        PageContent content;
        int columns;
        std::size_t tiles;
    };
    for (const Row& row : std::vector<Row>{{OnboardingStep::welcome, Hero::logo, PageContent::tiles, 3, 3},
                                           {OnboardingStep::know, Hero::charge, PageContent::tiles, 2, 4},
                                           {OnboardingStep::control, Hero::control, PageContent::tiles, 2, 4},
                                           {OnboardingStep::notifications, Hero::banner, PageContent::accessCard, 0, 0},
                                           {OnboardingStep::helper, Hero::modes, PageContent::accessCard, 0, 0},
                                           {OnboardingStep::finish, Hero::menuBar, PageContent::closing, 0, 0}}) {
        const TourPage page = tourPage(row.step);
        EXPECT_EQ(std::tuple(page.hero, page.content, page.columns), std::tuple(row.hero, row.content, row.columns))
            << rawValue(row.step);
        EXPECT_FALSE(page.title.empty() || page.text.empty());
        EXPECT_EQ(tiles(row.step, accent, waiting).size(), row.tiles);
        EXPECT_EQ(permissionTexts(row.step).has_value(), row.content == PageContent::accessCard);
    }
    EXPECT_EQ(tiles(OnboardingStep::welcome, accent, waiting)[2].icon, TileIcon(DotText{"3", accent, 2.6}));

    const auto inBundle = closingRows(Granted{}, NeedsSettings{}, true, true, accent, granted, waiting);
    EXPECT_EQ(
        inBundle.permissions,
        (std::vector<SummaryRow>{{Granted{}, "Notifications", status(Granted{}, granted, waiting)},
                                 {NeedsSettings{}, "Energy mode helper", status(NeedsSettings{}, granted, waiting)}}));
    EXPECT_EQ(inBundle.login, (LoginRow{true, accent}));
    const auto outside = closingRows(Granted{}, NeedsSettings{}, false, true, accent, granted, waiting);
    EXPECT_EQ(outside.permissions, inBundle.permissions);
    EXPECT_FALSE(outside.login);
}

TEST(TourWindow, TheAccessCardFollowsItsState) {
    struct Row {
        Access access;
        const char* label;
        Color color;
        const char* sentence;
        bool steps, restart;
    };
    const auto texts = *permissionTexts(OnboardingStep::helper);
    for (const Row& row : std::vector<Row>{
             {Failed{"timed out"}, "Not working", failureRed, "macOS allows it, but it did not answer: timed out.",
              false, true},
             {Failed{""}, "Not working", failureRed, "macOS allows it, but it did not answer: .", false, true},
             {Unavailable{"Not here."}, "Not in this copy", Color::white(0.5), "Not here.", false, false},
             {Checking{}, "Checking", Color::white(0.5), "Asking macOS.", false, false},
             {NotAsked{}, "Not set up", Color::white(0.5), "macOS asks you to allow it once, in System Settings.",
              false, false},
             {NeedsSettings{}, "Waiting for you", waiting,
              "macOS has it switched off. Norvane checks every second and marks it by itself.", true, true},
             {Granted{}, "Confirmed", granted, "macOS confirms it.", false, false}}) {
        const AccessCard card = accessCard(texts, row.access, accent, granted, waiting);
        EXPECT_EQ(std::tuple(card.status.text, card.status.style.color, card.sentence),
                  std::tuple(std::string(row.label), row.color, std::string(row.sentence)));
        EXPECT_TRUE(card.status.style.uppercase && !card.status.style.wraps);
        EXPECT_EQ(card.restart.has_value(), row.restart) << row.label;
        if (row.restart) {
            EXPECT_EQ(card.restart->style.color, accent);
        }
        // A restart that did not happen is said under the link, and only there.
        EXPECT_FALSE(card.restartFailure);
        EXPECT_EQ(accessCard(texts, row.access, accent, granted, waiting, "open said no").restartFailure,
                  row.restart ? std::optional<std::string>("Norvane was not restarted: open said no.") : std::nullopt)
            << row.label;
        if (!row.steps) {
            EXPECT_TRUE(card.steps.empty()) << row.label;
            continue;
        }
        ASSERT_EQ(card.steps.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(card.steps[i], (AccessCard::Step{DotText{std::to_string(i + 1), waiting, 2}, texts.steps[i]}));
    }
}

TEST(TourWindow, RefreshesAndTimelinesRunOnlyWhileShown) {
    VirtualQueue queue;
    testing::TempFolder folder;
    int refreshes = 0;
    AccessProbe slow;  // every answer takes 0.3 s
    slow.notifications = [&](AccessProbe::Answer answer) {
        ++refreshes;
        queue.after(0.3, [answer] { answer(NotAsked{}); });
    };
    slow.helper = [&](AccessProbe::Answer answer) { answer(NotAsked{}); };
    Onboarding tour(slow, std::make_shared<UserDefaults>(folder / "d.plist"));
    auto loop = std::make_unique<RefreshLoop>(tour, queue);

    loop->show();
    loop->show();
    EXPECT_EQ(refreshes, 1);  // the first at once
    queue.advance(1.35);
    EXPECT_EQ(refreshes, 2);  // a second after the first ended
    loop->hide();             // while the second is under way
    queue.advance(5);
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(queue.pendingTimers(), 0u);
    EXPECT_EQ(tour.notifications(), Access(NotAsked{}));
    loop->show();
    queue.advance(0.5);
    loop.reset();
    queue.advance(5);
    EXPECT_EQ(refreshes, 3);
    EXPECT_EQ(queue.pendingTimers(), 0u);

    int ticks = 0;
    auto timeline = std::make_unique<Timeline>(queue, 0.28, [&] { ++ticks; });
    timeline->show();
    queue.advance(0.9);
    timeline->setPeriod(timelinePeriod(0.28, true));
    queue.advance(3599);
    EXPECT_EQ(ticks, 3);
    queue.advance(1.05);
    EXPECT_EQ(ticks, 4);
    timeline->hide();
    EXPECT_EQ(queue.pendingTimers(), 0u);
    timeline->show();
    timeline.reset();
    EXPECT_EQ(queue.pendingTimers(), 0u);

    // A spring's frames rise to 1 on the queue's clock and end with `done`, once.
    std::vector<double> frames;
    int done = 0;
    const auto frame = [&](double v) { frames.push_back(v); };
    const auto end = [&] { ++done; };
    auto motion = std::make_unique<SpringAnimation>(queue);
    motion->start(stepSpring, frame, end);
    queue.advance(stepSpring.duration() / 2);
    EXPECT_GT(frames.size(), 10u);
    EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
    queue.advance(stepSpring.duration());
    EXPECT_EQ(std::tuple(frames.front(), frames.back(), done, motion->running()), std::tuple(0.0, 1.0, 1, false));
    EXPECT_EQ(queue.pendingTimers(), 0u);
    motion->start(stepSpring, frame, end);
    motion->finish();  // a change cut short still ends where it was going
    EXPECT_EQ(std::tuple(frames.back(), done), std::tuple(1.0, 2));
    motion->start(stepSpring, {}, end);
    motion.reset();
    queue.advance(1);
    EXPECT_EQ(std::tuple(done, queue.pendingTimers()), std::tuple(2, 0u));
}

}  // namespace
}  // namespace norvane
