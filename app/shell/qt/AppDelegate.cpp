#include "app/shell/qt/AppDelegate.h"

#include "app/shell/Handoff.h"
#include "app/shell/InstanceService.h"
#include "app/shell/UrlDispatch.h"
#include "platform/CommandLine.h"

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
    const bool keepOpen = hasArgument(system_->arguments, "--open");
    model_ = std::make_unique<AppModel>(std::move(*system_), queue_);
    system_.reset();
    model_->start();
    target_ = std::make_unique<ModelTarget>(*model_, *state_);

    const int macOS = state_->operatingSystemVersion().value_or(OSVersion{}).major;
    panel_ = std::make_unique<StatusPanel>(*model_, queue_, std::move(item_),
                                           PanelLook{Backdrop::forSystem(macOS), translucent_}, keepOpen);
    if (clicks_) panel_->closeOnClicksOutside(*clicks_);

    hotkeys_->perform = [weak = std::weak_ptr<AppDelegate*>(alive_)](HotkeyAction action) {
        if (const auto self = weak.lock()) (*self)->perform(action);
    };
    for (const auto& [action, hotkey] : model_->hotkeys())
        hotkeys_->set(hotkey, action);
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

void AppDelegate::application(const std::vector<std::string>& urls) {
    const auto commands = parseCommands(urls);
    if (commands.empty() || !target_) return;
    dispatch(commands, *target_, queue_, [weak = std::weak_ptr<AppDelegate*>(alive_)] {
        if (const auto self = weak.lock(); self && (*self)->panel_) (*self)->panel_->show();
    });
}

void AppDelegate::applicationWillTerminate() {
    if (model_) model_->stopAwake();
}

Value AppDelegate::answer(const Value& request) {
    if (!target_) return errorReply("Norvane is still starting.");
    return answerHandoff(request, *target_, [this](const std::vector<std::string>& urls) { application(urls); });
}

}  // namespace norvane
