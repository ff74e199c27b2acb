// The model's construction, its settings with their user-defaults keys, the hot keys,
// observation and the ways later work reaches it.

#include "app/model/AppModel.h"

#include <algorithm>

#include "app/analysis/LoginItem.h"
#include "app/model/DefaultsKeys.h"
#include "platform/CommandLine.h"
#include "platform/Text.h"

namespace norvane {
namespace {

// The program inside the bundle, as the bundle names it; none for a bare executable.
std::optional<Path> executableOf(const MainBundle& bundle) {
    const auto name = bundle.executable();
    if (!name || name->empty()) return std::nullopt;
    return bundle.bundlePath() / "Contents/MacOS" / *name;
}

}  // namespace

std::string fullOnceText(const FullCharge& state) {
    return (state.limit ? std::to_string(*state.limit) : std::string()) + " " + (state.smart ? "smart" : "");
}

FullCharge parseFullOnce(std::string_view text) {
    FullCharge state;
    for (const std::string_view piece : splitNonEmpty(text, ' ')) {
        const auto number = parseInt64(piece);
        if (!number) continue;
        // The limit goes to the charge-limit service when the charge to full ends: a
        // hand-edited 0, -5 or 500 must not reach it.
        if (*number >= 1 && *number <= 100) state.limit = number;
        break;
    }
    state.smart = text.find("smart") != std::string_view::npos;
    return state;
}

AppModel::AppModel(System system, MainQueue& queue)
    : system_(std::make_shared<const System>(std::move(system))),
      queue_(queue),
      alive_(std::make_shared<AppModel*>(this)),
      sensors_(std::make_shared<SystemSensors>(*system_->kernel, *system_->controls, *system_->host,
                                               *system_->registry, queue)),
      chip_(chipName(*system_->controls)),
      meter_(SMC::open(*system_->kernel)),
      lastSample_(queue.now()),
      helper_(std::make_shared<Helper>(helperSystem(*system_, queue))),
      awakeHold_(system_->machine, executableOf(*system_->bundle)) {
    // Reading the settings writes nothing back and decides nothing.
    const UserDefaults& d = defaults();
    checksForUpdates_ = d.booleanObject(keys::checksForUpdates).value_or(true);
    notifyLow_ = d.booleanObject(keys::notifyLow).value_or(true);
    notifyLimit_ = d.booleanObject(keys::notifyLimit).value_or(true);
    alertLow_ = d.integer(keys::alertLow);
    alertHigh_ = d.integer(keys::alertHigh);
    autoLowPower_ = d.integer(keys::autoLowPower);
    notifyDrain_ = d.booleanObject(keys::notifyDrain).value_or(true);
    if (const auto raw = d.string(keys::iconStyle)) iconStyle_ = norvane::iconStyle(*raw).value_or(IconStyle::list);
    useAI_ = d.booleanObject(keys::useAI).value_or(true);
    if (const auto text = d.string(keys::fullOnce)) fullOnce_ = parseFullOnce(*text);
    showTime_ = d.booleanObject(keys::showTime).value_or(true);
    lowPowerOwed_ = d.boolean(keys::lowPowerOwed);
    if (const auto names = d.stringArray(keys::agentsIgnored)) agentsIgnored_ = {names->begin(), names->end()};
    awakeMode_ = AwakeMode::fromStored(d.string(keys::awakeMode));
    awakeFloor_ = d.integerObject(keys::awakeFloor).value_or(20);
    awakePowerOnly_ = d.boolean(keys::awakePowerOnly);
    awakeLid_ = d.boolean(keys::awakeLid);
    if (const auto raw = d.string(keys::fullByMode)) fullByMode_ = norvane::fullByMode(*raw).value_or(FullByMode::off);
    fullByMinutes_ = d.integerObject(keys::fullByMinutes).value_or(480);
    fullByTarget_ = d.date(keys::fullByTarget);
    if (const auto data = d.data(keys::hotkeys))
        hotkeys_ = decodeHotkeys(std::string(data->begin(), data->end())).value_or(HotkeyTable{});

    helperState_ = helper_->state();
    openAtLogin_ = LoginItem::enabled(*system_->bundle, *system_->services);
    demo_ = hasArgument(system_->arguments, "--demo");
    pretendBattery_ = hasArgument(system_->arguments, "--on-battery");
    if (const auto front = system_->workspace->frontmostApplication(); front && front->bundlePath)
        workingIn_ = front->bundlePath;
    // The first frame takes the tint known at once; a picture to decode sends the rest later.
    const TintSource::Known known = system_->tint->knownTint();
    tint_ = known.tint;
    if (!known.settled)
        offMain<Color>(
            Priority::utility, [tint = system_->tint] { return tint->wallpaperTint(); },
            [](AppModel& model, Color tint) { model.assign(model.tint_, tint, ModelField::tint); });
}

AppModel::~AppModel() {
    // Replies, timers and tasks check this first, so none reaches the parts torn down below.
    alive_.reset();
    sampler_.cancel();
    for (const Task& task : tasks_) task.cancel();
}

Observers::Subscription AppModel::subscribe(std::vector<ModelField> fields, std::function<void()> changed) {
    return observers_.subscribe(std::move(fields), std::move(changed));
}

Task AppModel::keep(Task task) {
    std::erase_if(tasks_, [](const Task& t) { return t.cancelled(); });
    tasks_.push_back(task);
    return task;
}

Task AppModel::later(double seconds, std::function<void(AppModel&)> work, ClockKind clock) {
    // The task marks itself done when it runs, so the model lets go of it.
    auto own = std::make_shared<std::weak_ptr<Task::State>>();
    std::weak_ptr<AppModel*> weak = alive_;
    Task task = queue_.after(
        seconds,
        [own, weak, work = std::move(work)] {
            if (const auto state = own->lock()) state->cancelled = true;
            if (const auto self = weak.lock()) work(**self);
        },
        clock);
    *own = task.state();
    return keep(task);
}

Task AppModel::repeating(double seconds, std::function<void(AppModel&)> work, ClockKind clock) {
    std::weak_ptr<AppModel*> weak = alive_;
    return keep(queue_.every(
        seconds,
        [weak, work = std::move(work)] {
            if (const auto self = weak.lock()) work(**self);
        },
        clock));
}

std::string AppModel::timeOfDay(Date date) const { return system_->formatter.shortTime(date); }

// ---- Settings ----

void AppModel::setChecksForUpdates(bool on) {
    assignSetting(checksForUpdates_, on, ModelField::checksForUpdates, keys::checksForUpdates, Value::boolean(on));
}

void AppModel::setNotifyLow(bool on) {
    assignSetting(notifyLow_, on, ModelField::notifyLow, keys::notifyLow, Value::boolean(on));
}

void AppModel::setNotifyLimit(bool on) {
    assignSetting(notifyLimit_, on, ModelField::notifyLimit, keys::notifyLimit, Value::boolean(on));
}

void AppModel::setAlertLow(std::int64_t percent) {
    assignSetting(alertLow_, percent, ModelField::alertLow, keys::alertLow, Value::integer(percent));
}

void AppModel::setAlertHigh(std::int64_t percent) {
    assignSetting(alertHigh_, percent, ModelField::alertHigh, keys::alertHigh, Value::integer(percent));
}

void AppModel::setAutoLowPower(std::int64_t percent) {
    assignSetting(autoLowPower_, percent, ModelField::autoLowPower, keys::autoLowPower, Value::integer(percent));
}

void AppModel::setNotifyDrain(bool on) {
    assignSetting(notifyDrain_, on, ModelField::notifyDrain, keys::notifyDrain, Value::boolean(on));
}

void AppModel::setIconStyle(IconStyle style) {
    assignSetting(iconStyle_, style, ModelField::iconStyle, keys::iconStyle,
                  Value::string(std::string(rawValue(style))));
}

void AppModel::setUseAI(bool on) { assignSetting(useAI_, on, ModelField::useAI, keys::useAI, Value::boolean(on)); }

void AppModel::setShowTime(bool on) {
    assignSetting(showTime_, on, ModelField::showTime, keys::showTime, Value::boolean(on));
}

void AppModel::setLowPowerOwed(bool owed) {
    assignSetting(lowPowerOwed_, owed, ModelField::lowPowerOwed, keys::lowPowerOwed, Value::boolean(owed));
}

void AppModel::setUpdateLater(bool later) { assign(updateLater_, later, ModelField::updateLater); }

void AppModel::setStuck(std::optional<AppUsage> app) { assign(stuck_, std::move(app), ModelField::stuck); }

void AppModel::setHelperCard(bool shown) { assign(helperCard_, shown, ModelField::helperCard); }

void AppModel::setLowPowerNote(std::optional<std::string> note) {
    assign(lowPowerNote_, std::move(note), ModelField::lowPowerNote);
}

void AppModel::suspendHotkeys(bool suspended) {
    const bool before = hotkeysSuspended_ > 0;
    hotkeysSuspended_ = suspended ? hotkeysSuspended_ + 1 : std::max(0, hotkeysSuspended_ - 1);
    if (before != (hotkeysSuspended_ > 0)) system_->hotkeys->suspend(hotkeysSuspended_ > 0);
}

void AppModel::setWantedTab(std::optional<Tab> tab) { assign(wantedTab_, tab, ModelField::wantedTab); }

bool AppModel::setHotkey(const std::optional<Hotkey>& hotkey, HotkeyAction action) {
    HotkeyRegistry& registry = *system_->hotkeys;
    if (!registry.set(hotkey, action)) {
        // The registry dropped the action's key before it refused the new one.
        const auto present = hotkeys_.find(action);
        registry.set(present == hotkeys_.end() ? std::nullopt : std::optional(present->second), action);
        return false;
    }
    HotkeyTable next = hotkeys_;
    if (hotkey) next.insert_or_assign(action, *hotkey);
    else next.erase(action);
    const std::string json = encodeHotkeys(next);
    defaults().set(keys::hotkeys, Value::data(Value::Data(json.begin(), json.end())));
    assign(hotkeys_, std::move(next), ModelField::hotkeys);
    return true;
}

}  // namespace norvane
