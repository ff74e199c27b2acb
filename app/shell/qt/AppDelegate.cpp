#include "app/shell/qt/AppDelegate.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>
#include <unistd.h>

#include "app/onboarding/Relaunch.h"
#include "app/onboarding/qt/OnboardingView.h"
#include "app/shell/Handoff.h"
#include "app/shell/InstanceService.h"
#include "app/shell/UrlDispatch.h"
#include "platform/CommandLine.h"
#include "platform/ProcessTable.h"

namespace norvane {

AppDelegate::AppDelegate(System system, MainQueue& queue, std::shared_ptr<Hotkeys> hotkeys,
                         std::unique_ptr<StatusItem> item, bool translucent, std::shared_ptr<ClickMonitor> clicks)
    : system_(std::move(system)),
      state_(system_->state),
      queue_(queue),
      hotkeys_(std::move(hotkeys)),
      item_(std::move(item)),
      translucent_(translucent),
      clicks_(std::move(clicks)),
      alive_(std::make_shared<AppDelegate*>(this)) {}

AppDelegate::~AppDelegate() {
    alive_.reset();
    if (hotkeys_) hotkeys_->perform = [](HotkeyAction) {};
}

void AppDelegate::applicationDidFinishLaunching() {
    if (model_) return;
    const bool openAtLaunch = hasArgument(system_->arguments, "--open");
    // The tour works on the model's very parts: above all the same user defaults, whose
    // domain is read into memory once.
    tourSystem_ = std::make_shared<const System>(*system_);
    PanelContext context{system_->workspace, system_->formatter, system_->localeText, system_->arguments};
    model_ = std::make_unique<AppModel>(std::move(*system_), queue_);
    system_.reset();
    model_->start();
    target_ = std::make_unique<ModelTarget>(*model_, *state_);
    lane_ = std::make_unique<CommandLane>(*target_, queue_, [weak = std::weak_ptr<AppDelegate*>(alive_)] {
        if (const auto self = weak.lock(); self && (*self)->panel_) (*self)->panel_->show();
    });

    // The tour's model comes before the panel, whose notice and settings read it.
    const std::vector<std::string>& arguments = tourSystem_->arguments;
    tourOffered_ = Onboarding::offered(*tourSystem_->bundle, arguments);
    tour_ = std::make_unique<Onboarding>(Onboarding::rehearsing(arguments) ? AccessProbe::rehearsal(queue_)
                                                                           : AccessProbe::live(tourSystem_, queue_),
                                         tourSystem_->defaults);

    const int macOS = state_->operatingSystemVersion().value_or(OSVersion{}).major;
    panel_ = std::make_unique<StatusPanel>(*model_, queue_, std::move(item_),
                                           PanelLook{Backdrop::forSystem(macOS), translucent_}, std::move(context),
                                           openAtLaunch);
    const std::weak_ptr<AppDelegate*> weak = alive_;
    panel_->view().setShell(PanelShell{onboarding(), onboardingOffered(), tourSystem_->bundle->isApplication(),
                                       [weak] {
                                           if (const auto self = weak.lock()) (*self)->showOnboarding();
                                       },
                                       tourSystem_->terminate});
    if (clicks_) panel_->closeOnClicksOutside(*clicks_);

    hotkeys_->perform = [weak](HotkeyAction action) {
        if (const auto self = weak.lock()) (*self)->perform(action);
    };
    for (const auto& [action, hotkey] : model_->hotkeys())
        hotkeys_->set(hotkey, action);

    // The tour's window keeps to the screen beside the item, as the panel does.
    panel_->afterScreenChange = [weak] {
        if (const auto self = weak.lock()) (*self)->placeTour();
    };

    if (tour_->openAtLaunch(tourOffered_, arguments)) showOnboarding();
}

QWidget* AppDelegate::onboardingWindow() const {
    return tourWindow_.get();
}

void AppDelegate::showOnboarding() {
    if (!tour_ || !model_) return;
    if (tour_->done()) tour_->restart();
    if (!tourWindow_) {
        const std::weak_ptr<AppDelegate*> weak = alive_;
        const auto system = tourSystem_;
        TourSetup setup;
        setup.still = system->workspace->accessibilityDisplayShouldReduceMotion();
        setup.backdrop = Backdrop::forSystem(state_->operatingSystemVersion().value_or(OSVersion{}).major);
        setup.translucent = translucent_;
        setup.inBundle = system->bundle->isApplication();
        setup.format = system->formatter;
        setup.doors.close = [weak] {
            if (const auto self = weak.lock()) (*self)->closeOnboarding();
        };
        setup.doors.finish = [weak] {
            const auto self = weak.lock();
            if (!self) return;
            AppDelegate& delegate = **self;
            delegate.tour_->finish();
            delegate.closeOnboarding();
            if (delegate.panel_) delegate.panel_->show();
        };
        setup.doors.openUrl = [system](const std::string& url) { system->workspace->open(url); };
        setup.doors.openLoginItems = [system] { system->services->openSystemSettingsLoginItems(); };
        setup.doors.notificationSettings = notificationSettings(*system->bundle);
        setup.relaunch = [system, &queue = queue_, handover = secondStarts_, weak] {
            const auto self = weak.lock();
            if (!self) return;
            Onboarding& tour = *(*self)->tour_;
            tour.relaunchFailed(std::nullopt);
            relaunch(system, queue, Path(ownProcessPath()), handover,
                     [weak](const std::string& reason) {
                         if (const auto self = weak.lock()) (*self)->tour_->relaunchFailed(reason);
                     });
        };

        auto window = std::make_unique<KeyWindow>();
        window->setWindowTitle(QString::fromUtf8(TourWindow::title));
        window->setAttribute(Qt::WA_TranslucentBackground, translucent_);
        auto* view = new OnboardingView(*model_, *tour_, queue_, std::move(setup), window.get());
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        window->setFocusProxy(view);
        tourWindow_ = std::move(window);
        tourView_ = view;
        placeTour();
    }
    tourWindow_->show();
    tourWindow_->raise();
    tourWindow_->activateWindow();
}

void AppDelegate::placeTour() {
    if (!tourWindow_) return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const std::optional<Rect> item = panel_ ? panel_->item().frame() : std::nullopt;
    const Rect frame = TourWindow::frame(toRect(screen->availableGeometry()), item);
    tourView_->setFixedHeight(static_cast<int>(frame.height));
    tourWindow_->setFixedSize(tourView_->width(), tourView_->height());
    if (!translucent_) {
        // Without a compositor the corners outside the rounded content are cut away.
        QPainterPath path;
        path.addRoundedRect(QRectF(tourWindow_->rect()), TourWindow::cornerRadius, TourWindow::cornerRadius);
        tourWindow_->setMask(QRegion(path.toFillPolygon().toPolygon()));
    }
    tourWindow_->move(static_cast<int>(frame.x), static_cast<int>(frame.y));
}

void AppDelegate::closeOnboarding() {
    if (!tourWindow_) return;
    tourWindow_->hide();
    tourView_ = nullptr;
    closedWindow_ = std::move(tourWindow_);
    queue_.post([weak = std::weak_ptr<AppDelegate*>(alive_)] {
        if (const auto self = weak.lock()) (*self)->closedWindow_.reset();
    });
}

void AppDelegate::perform(HotkeyAction action) {
    if (!model_) return;
    switch (action) {
        case HotkeyAction::awake:
            model_->toggleAwake();
            break;
        // The panel takes the focus itself when it opens: no application-wide activation here.
        case HotkeyAction::panel:
            if (panel_) panel_->toggle();
            break;
    }
}

bool AppDelegate::application(const std::vector<std::string>& urls) {
    return !lane_ || lane_->add(parseCommands(urls));
}

void AppDelegate::applicationWillTerminate() {
    if (model_) model_->stopAwake();
}

Value AppDelegate::answer(const Value& request) {
    if (!target_) return errorReply("Norvane is still starting.");
    return answerHandoff(request, *target_, [this](const std::vector<std::string>& urls) { return application(urls); });
}

}  // namespace norvane
