#pragma once
// The application's one state object: every view, the status item, URL commands, intents
// and hot keys read its fields and call its members. All of it lives on the main queue.
//
// The fields are grouped by area below. Each area's members are written in a file of its
// own (AppModel.cpp: construction, settings and observation; AppModelStart.cpp,
// AppModelTick.cpp, AppModelObservers.cpp, AppModelSampler.cpp, AppModelUpdate.cpp,
// AppModelHealth.cpp, AppModelSituation.cpp, AppModelApps.cpp, AppModelFullBy.cpp,
// AppModelAwake.cpp, AppModelEnergy.cpp, AppModelLimit.cpp, AppModelTips.cpp, …); an area
// adds its member declarations to its group here.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/analysis/AlertRules.h"
#include "app/analysis/AppLedger.h"
#include "app/analysis/AppUsage.h"
#include "app/analysis/Attention.h"
#include "app/analysis/AutoLowPower.h"
#include "app/analysis/DrainWatch.h"
#include "app/analysis/Forecast.h"
#include "app/analysis/FullBySchedule.h"
#include "app/analysis/Headline.h"
#include "app/analysis/LevelAlerts.h"
#include "app/analysis/Situation.h"
#include "app/analysis/Tip.h"
#include "app/analysis/Wording.h"
#include "app/controls/AgentWatch.h"
#include "app/controls/AwakeHold.h"
#include "app/controls/AwakeHolders.h"
#include "app/controls/AwakeMode.h"
#include "app/controls/Helper.h"
#include "app/model/Hotkey.h"
#include "app/model/IconStyle.h"
#include "app/model/ModelField.h"
#include "app/model/Observers.h"
#include "app/model/System.h"
#include "app/model/Tab.h"
#include "app/readings/Battery.h"
#include "app/readings/BatteryReport.h"
#include "app/readings/ChargeLimit.h"
#include "app/readings/Charger.h"
#include "app/readings/HealthTrend.h"
#include "app/readings/HistoryStore.h"
#include "app/readings/LimitBackend.h"
#include "app/readings/SMC.h"
#include "app/readings/SleepLog.h"
#include "app/readings/SystemSensors.h"
#include "app/update/UpdateStage.h"
#include "platform/Color.h"
#include "platform/MainQueue.h"
#include "platform/WorkspaceEvents.h"

namespace norvane {

// The text form of a charge to full once under "fullOnce": the lifted limit in decimal
// (nothing without one), a blank, then "smart" when smart charging was lifted.
std::string fullOnceText(const FullCharge& state);
// Any stored text gives a charge to full: the first piece (between blanks) that is a whole
// decimal number is the limit when it lies in 1…100 (else there is none), and smart
// charging was lifted when "smart" stands anywhere in the text.
FullCharge parseFullOnce(std::string_view text);

// Whether the capabilities that `pmset -g cap` prints offer the high-power mode: the word
// "highpowermode" on its own between blanks, tabs or line feeds.
bool parseHighPowerAvailable(std::string_view capabilities);

// What quitting an app gained: the draw before and now in watts, and the minutes of battery
// time (none on wall power or before a new average draw exists).
struct QuitResult {
    std::string name;
    double wattsBefore = 0;
    std::optional<double> wattsNow;
    std::optional<std::int64_t> gain;
    bool early = true;  // the new average has not settled
    bool operator==(const QuitResult&) const = default;
};

// A running application that keep-awake can wait for.
struct RunningApp {
    std::string name;
    std::string path;  // its bundle
    bool operator==(const RunningApp&) const = default;
};

class AppModel final : public FullBySchedule {
public:
    // Gives every field its start value: the settings from the user defaults (reading
    // writes nothing back), the options `--demo` and `--on-battery`, the helper's state,
    // the login item, the SMC, the system sensors, the frontmost app and the tint. Starts
    // nothing.
    AppModel(System system, MainQueue& queue);
    // Stops what it started: no timer, task or reply touches the model afterwards.
    ~AppModel() override;
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    // Observation: `changed` runs after one of the fields really changed (an equal value
    // tells no one); the subscription ends when it is destroyed.
    [[nodiscard]] Observers::Subscription subscribe(std::vector<ModelField> fields, std::function<void()> changed);

    // ---- Start-up and the tick ----
    // Sets the model running, once: loads the state files (none with --demo), runs the first
    // tick and then one every 5 s, observes the workspace, reads the sleep log, records
    // today's capacity, reads the charge limit and the health, starts the sampler and
    // resumes keep-awake (agent watching left running at the last end, then --awake).
    void start();
    // One beat: the battery, the draws and the forecast, the history once a minute, the
    // notices and rules, the charge to full once, the full-by schedule and keep-awake.
    // Without a battery it does nothing else than say so (`hasBattery`).
    void tick();

    // ---- Readings of the battery and the system ----
    const Battery& battery() const override { return battery_; }
    // False once a tick found no battery (a Mac without one): the published battery is then
    // an empty reading on wall power, which nothing shows as a charge.
    bool hasBattery() const { return hasBattery_; }
    std::optional<Charger> charger() const override { return charger_; }
    const std::optional<PowerFlow>& flow() const { return flow_; }
    const ChargerFlags& chargerFlags() const { return chargerFlags_; }
    const std::optional<SystemReading>& system() const { return systemReading_; }
    const std::optional<std::int64_t>& systemHealth() const { return systemHealth_; }
    bool serviceRecommended() const { return serviceRecommended_; }
    bool optimisedOff() const { return optimisedOff_; }
    const HealthTrend& health() const { return health_; }
    const std::vector<SleepStretch>& sleeps() const { return sleeps_; }
    const std::vector<AwakeHolder>& holders() const { return holders_; }
    bool lowPower() const { return lowPower_; }
    std::int64_t powerMode() const { return powerMode_; }
    bool highPowerAvailable() const { return highPowerAvailable_; }

    // Why the battery is or is not charging, from the battery, the limit, the charger, the
    // power flow and the charger flags: a view that shows it subscribes to `chargingFields`.
    ChargingState charging() const;
    static constexpr std::array<ModelField, 5> chargingFields{ModelField::battery, ModelField::limit,
                                                              ModelField::charger, ModelField::flow,
                                                              ModelField::chargerFlags};
    // Takes one system reading for the Stats page while the panel is open; `done` runs on the
    // main queue once it has been assigned. A reading still under way is not doubled: `done`
    // then waits for it. With the panel closed nothing is read and `done` runs at once.
    void refreshSystem(std::function<void()> done = {});
    // The processor's name as the system gives it, read once.
    const std::string& chip() const { return chip_; }
    // The battery report's facts from the model's state now.
    BatteryReportFacts batteryReportFacts() const;
    // Writes the report's page to the file (atomically); the reason when it could not.
    std::optional<std::string> writeBatteryReport(const Path& place) const;
    // Asks where to save the report and writes it there, then shows it in the file viewer;
    // a failure becomes the energy note.
    void saveBatteryReport();

    // ---- Draw, forecast and history ----
    const std::optional<Forecast>& forecast() const { return forecast_; }
    const std::optional<double>& drain() const { return drain_; }  // percent of rawMax per hour
    bool drainEarly() const { return drainEarly_; }
    const std::optional<double>& usingWatts() const { return usingWatts_; }
    const HistoryStore& history() const { return history_; }
    // The made-up week of charge history that --demo shows: a saw-tooth of slow discharges
    // and quick charges, one sample every 5 minutes, the last one at `now`.
    static std::vector<Sample> demoHistory(Date now);

    // ---- Apps and energy ----
    const std::vector<AppUsage>& apps() const { return apps_; }
    const std::set<std::string>& quitting() const { return quitting_; }
    const std::optional<AppUsage>& stuck() const { return stuck_; }
    const std::optional<QuitEffect>& quitEffect() const { return quitEffect_; }
    const AppLedger& ledger() const { return *ledger_; }
    // The bundle path of the app in front; this application is never recorded.
    const std::optional<std::string>& workingIn() const { return workingIn_; }
    bool panelOpen() const { return panelOpen_; }
    // Opening samples at once (then every 8 s) and refreshes what the panel shows; closing
    // only records it.
    void setPanelOpen(bool open);
    // The panel's card of an app that did not quit: its buttons clear it.
    void setStuck(std::optional<AppUsage> app);

    // Asks the app to quit; one that still runs 4 s later while still being quit becomes
    // `stuck` and is brought to the front. An app that no longer runs is only dropped from
    // the list.
    void quit(const AppUsage& app);
    // The heaviest three apps of the list that can be quit: not this app, not "System".
    std::vector<AppUsage> topApps() const;
    std::optional<QuitResult> quitResult() const;

    // The running application behind an entry of the energy list; absent when none runs
    // from its bundle.
    std::optional<RunningApplication> running(const AppUsage& app) const;
    // The regular applications that run from a bundle, by name in the user's order.
    std::vector<RunningApp> runningApps() const;

    // ---- Advice and wording ----
    const std::optional<Tip>& tip() const { return tip_; }
    bool aiAvailable() const { return aiAvailable_; }

    // One line of advice for an app of the energy list.
    std::string advice(const AppUsage& app) const;
    // Drops the tip for good and shows the next one.
    void dismissTip();
    // Carries out the tip's button, then chooses the tip again a second later.
    void act(const Tip& tip);

    Situation currentSituation() const;
    // What the last sleep cost, for half an hour after it ended.
    std::optional<Headline> sleepNote() const;
    // The panel's two-line summary.
    Headline headline() const;
    // The summary comes from a wording of the on-device model.
    bool headlineByAI() const;
    // The menu-bar item's text.
    std::string menuText() const;

    // ---- Charge limit and charging to full ----
    LimitAvailability limitAvailability() const override { return limitAvailability_; }
    std::int64_t limit() const override { return limit_; }
    const std::optional<std::string>& limitNote() const { return limitNote_; }
    bool limitBusy() const override { return limitBusy_; }
    std::optional<FullCharge> fullOnce() const override { return fullOnce_; }
    void setFullOnce(std::optional<FullCharge> state) override;
    FullByMode fullByMode() const override { return fullByMode_; }
    void setFullByMode(FullByMode mode) override;
    std::int64_t fullByMinutes() const override { return fullByMinutes_; }
    void setFullByMinutes(std::int64_t minutes) override;
    std::optional<Date> fullByTarget() const override { return fullByTarget_; }
    void setFullByTarget(std::optional<Date> target) override;
    std::shared_ptr<LimitBackend> backend() const override { return backend_; }
    // The settings' full-by control: a mode and a time of day, the target from now on the
    // user's calendar; and the sentence under it in the user's short times.
    using FullBySchedule::fullByLine;
    using FullBySchedule::setFullBy;
    void setFullBy(FullByMode mode, std::int64_t minutes);
    std::string fullByLine() const;

    // Lifts the charge limit and smart charging until the battery is full once; does
    // nothing without a backend, while one runs or while a limit request is under way.
    void chargeFullOnce() override;
    // Asks macOS to hold the charge at `percent` (100 switches the limit off), first putting
    // back what a running charge to full once lifted; does nothing without a backend or
    // while a limit request is under way.
    void setLimit(std::int64_t percent);
    // Puts back what the running charge to full once lifted; does nothing without a
    // backend, without one running or while a limit request is under way.
    void endFullOnce();
    // The user's Cancel of the running charge to full once: ends it as endFullOnce does, and
    // when it is the full-by schedule's, the schedule starts nothing more for its target.
    void cancelFullOnce();
    // Whether the charge limit can be used here, then the limit and optimised charging as
    // the backend holds them.
    void refreshLimit();

    // ---- Energy mode and helper ----
    bool lowPowerBusy() const { return lowPowerBusy_; }
    const std::optional<std::string>& lowPowerNote() const { return lowPowerNote_; }
    bool helperCard() const { return helperCard_; }
    const HelperState& helperState() const { return helperState_; }
    bool lowPowerOwed() const { return lowPowerOwed_; }
    void setLowPowerOwed(bool owed);
    // The panel's buttons: "Not now" on the set-up card, "OK" under the note.
    void setHelperCard(bool shown);
    void setLowPowerNote(std::optional<std::string> note);

    // The user's switches: when the helper is not set up they wait for it (the set-up card
    // shows); a failure becomes the note. Low Power and the mode are then read back.
    void toggleLowPower();
    // Asks for Low Power on or off, whatever the model last read: the outside actions know
    // the state they want, and the system may have changed it since the last tick.
    void setLowPower(bool on);
    void setPowerMode(std::int64_t mode);  // 0 automatic, 1 low power, 2 high power
    // The model's own switch: no note, no set-up card.
    void switchLowPower(bool on);
    // Reads the energy mode and whether high power is offered; a request in flight keeps
    // the mode it will read back itself.
    void refreshPowerMode();
    void installHelper();
    void removeHelper();
    // Shows the set-up card; `then` runs once the helper is ready (a later one replaces it).
    void askForSetup(std::function<void()> then);

    // ---- Keep-awake ----
    const std::optional<AwakeSession>& awake() const { return awake_; }
    const AwakeStatus& awakeState() const { return awakeState_; }
    const std::optional<std::string>& awakeNote() const { return awakeNote_; }
    const std::vector<std::string>& agentsWorking() const { return agentsWorking_; }
    const std::vector<std::string>& agentsRunning() const { return agentsRunning_; }
    const std::vector<std::string>& agentsInstalled() const { return agentsInstalled_; }
    const std::set<std::string>& agentsIgnored() const { return agentsIgnored_; }
    void setAgentsIgnored(std::set<std::string> names);
    const AwakeMode& awakeMode() const { return awakeMode_; }
    void setAwakeMode(AwakeMode mode);
    std::int64_t awakeFloor() const { return awakeFloor_; }
    void setAwakeFloor(std::int64_t percent);
    bool awakePowerOnly() const { return awakePowerOnly_; }
    void setAwakePowerOnly(bool on);
    bool awakeLid() const { return awakeLid_; }
    void setAwakeLid(bool on);

    // Starts a session in the mode (replacing a running one) and decides at once.
    void startAwake(AwakeMode mode);
    // Ends the session; with a reason the note says why.
    void stopAwake(std::optional<std::string> because = std::nullopt);
    void toggleAwake();
    // The catalogue's agents installed here or running now, in catalogue order.
    void refreshAgents();
    void setAgent(const std::string& name, bool watched);
    // The keep-awake card's status line.
    std::string awakeCaption() const;

    // ---- Updates ----
    const std::optional<AvailableUpdate>& update() const { return update_; }
    bool updateLater() const { return updateLater_; }
    void setUpdateLater(bool later);
    const std::optional<std::string>& updateNote() const { return updateNote_; }
    bool updateBusy() const { return updateBusy_; }
    const UpdateStage& updateStage() const { return updateStage_; }
    bool checksForUpdates() const { return checksForUpdates_; }
    void setChecksForUpdates(bool on);

    // Asks the website for the newest version; `asked` when the user pressed the button
    // (the answer becomes the note). One check at a time.
    void checkForUpdates(bool asked, Date now);
    // Downloads and verifies the offer (again after a failure); then installs the ready copy,
    // ending keep-awake first.
    void downloadUpdate();
    void installUpdate();
    // The running copy's version ("1.4.2 (57)", or "development build"), and why it cannot
    // replace itself, read afresh (nothing when it can).
    std::string runningVersion();
    std::optional<std::string> updateBlocker();

    // ---- Interface and the remaining settings ----
    const HotkeyTable& hotkeys() const { return hotkeys_; }
    // Registers the hot key (none clears it) for the action and stores the table; when the
    // registry refuses, the action's previous key is registered again and nothing stored
    // changes. True when the new key took.
    bool setHotkey(const std::optional<Hotkey>& hotkey, HotkeyAction action);
    // While a shortcut is recorded the hot keys do not fire, so pressing the other action's
    // keys reaches the recorder (which then refuses them) instead of acting. The calls nest:
    // each `true` is ended by one `false`.
    void suspendHotkeys(bool suspended);
    const std::optional<Tab>& wantedTab() const { return wantedTab_; }
    void setWantedTab(std::optional<Tab> tab);
    bool openAtLogin() const { return openAtLogin_; }
    // Registers or unregisters the login item; a refusal becomes the energy note. The switch
    // then shows what the system reports.
    void setOpenAtLogin(bool on);
    // The desktop picture's tint: known at once at start, or after the picture is decoded.
    const Color& tint() const { return tint_; }
    bool demo() const { return demo_; }
    // The user's calendar, which day keys and months are counted in.
    const Calendar& calendar() const { return system_->calendar; }

    bool notifyLow() const { return notifyLow_; }
    void setNotifyLow(bool on);
    bool notifyLimit() const { return notifyLimit_; }
    void setNotifyLimit(bool on);
    std::int64_t alertLow() const { return alertLow_; }  // percent; 0: off
    void setAlertLow(std::int64_t percent);
    std::int64_t alertHigh() const { return alertHigh_; }
    void setAlertHigh(std::int64_t percent);
    std::int64_t autoLowPower() const { return autoLowPower_; }
    void setAutoLowPower(std::int64_t percent);
    bool notifyDrain() const { return notifyDrain_; }
    void setNotifyDrain(bool on);
    IconStyle iconStyle() const { return iconStyle_; }
    void setIconStyle(IconStyle style);
    bool useAI() const { return useAI_; }
    void setUseAI(bool on);
    bool showTime() const { return showTime_; }
    void setShowTime(bool on);

private:
    friend class ModelProbe;  // tests set the model's own state through it

    // ---- Lifetime: the only ways work reaches the model later ----
    // After a delay on the clock; cancelled when the model goes.
    Task later(double seconds, std::function<void(AppModel&)> work, ClockKind clock = ClockKind::continuous);
    // Every interval until cancelled or the model goes.
    Task repeating(double seconds, std::function<void(AppModel&)> work, ClockKind clock = ClockKind::uptime);
    // `job` runs off the main queue with nothing of the model but the copies it captured;
    // `apply` then gets its result on the main queue, unless the model is gone.
    template <typename Result>
    void offMain(Priority priority, std::function<Result()> job, std::function<void(AppModel&, Result)> apply);
    // On the main queue after the work under way, unless the model is gone.
    void soon(std::function<void(AppModel&)> work);
    // Off the main queue, after every write asked for before it, even once the model is gone
    // (the files the model keeps are written this way: a save with its fsync takes a while).
    void writeInOrder(std::function<void()> write);
    struct Writes;
    std::shared_ptr<Writes> writes_;
    Task keep(Task task);

    // ---- Start-up, the workspace and the sleep log ----
    void observeWorkspace();
    void appActivated(const WorkspaceEvent& event);
    void appTerminated(const WorkspaceEvent& event);
    void willSleep(const WorkspaceEvent& event);
    void didWake(const WorkspaceEvent& event);
    // Reads the power-management log off the main queue (the demonstration's stretches with
    // --demo); `sleepsRead` marks the start.
    void refreshSleep();

    // ---- The tick and its rules ----
    // Whether work paced by `interval` is due: that long since `last`, or `last` lies ahead
    // of `now` (the clock was set back).
    static bool isDue(Date last, Date now, double interval);
    void logPower(Date now);
    void readCharging();
    void runRules(const Battery& reading, Date now);
    void notify(const Notice& notice);

    // ---- Sampler ----
    void startSampling();
    // One pass of the sampler whose token is `pass`; a cancelled pass writes nothing.
    void samplePass(const Task& pass);
    void record(const std::vector<AppUsage>& apps);

    // ---- Updates ----
    struct UpdateParts;
    // The feed and the updater, made on first need; background jobs hold them.
    const std::shared_ptr<const UpdateParts>& updateParts();
    void checkForUpdatesIfDue(Date now);

    // ---- Observation and the user defaults ----
    // Stores the value; tells the field's subscribers when it differs from the old one
    // (values that cannot be compared always tell).
    template <typename T, typename U>
    void assign(T& slot, U&& value, ModelField field);
    // The same for a setting, which is also written back, changed or not: `stored` under
    // its key, or the key removed when `stored` is a JSON null.
    template <typename T, typename U>
    void assignSetting(T& slot, U&& value, ModelField field, std::string_view key, Value stored);
    UserDefaults& defaults() const { return *system_->defaults; }
    Date now() const { return queue_.now(); }
    std::string timeOfDay(Date date) const;

    // ---- Health, charging state and tips ----
    void refreshHealth();
    TipContext tipContext() const;
    std::optional<HeavyApp> heavyApp(Date now) const;
    std::set<std::string> dismissedTips() const;
    // The first tip that applies and was not dismissed; none without a battery, since every
    // tip is about the battery or its charging.
    std::optional<Tip> firstTip() const;
    void updateTip();

    // ---- Situation and wording ----
    std::optional<Wording> wording(const Situation& situation) const;
    std::optional<Headline> specialHeadline() const;
    void refreshWording();

    // ---- Apps ----
    void remeasure(const AppUsage& app);
    std::string ownBundlePath() const;

    // ---- Charge limit ----
    // The backend, made on first need and kept for the run; throws Problem when the
    // service cannot be opened (nothing is kept then).
    std::shared_ptr<LimitBackend> limitBackend();

    // ---- Energy mode ----
    // Clears the note and reads the helper's state; false, with the card shown (`retry`
    // parked) or the reason as the note, unless it is ready.
    bool helperReady(const std::function<void()>& retry);
    // An action that runs `member` on the model if it still exists.
    std::function<void()> retrying(std::function<void(AppModel&)> member);
    // The helper's answer goes to `apply` on the model if it still exists; the helper and
    // the parts of the system it uses stay alive until it has answered.
    Helper::Done whenAnswered(std::function<void(AppModel&, Helper::Result)> apply);
    // `lowPowerBusy` counts the requests in flight: one more now, and one fewer when Low
    // Power (and with `readMode` the energy mode) is read back from the system 0.4 s later.
    void lowPowerRequestStarted();
    // The answer to a user's request: the set-up card again when the helper is no longer
    // ready, else the failure note; then the read-back.
    void lowPowerAnswered(const Helper::Result& failure, std::string_view prefix, const std::function<void()>& retry,
                          bool readMode);
    // The rules' own switch: `readBack` runs once Low Power has been read back.
    void switchLowPower(bool on, std::function<void(AppModel&)> readBack);
    // One request of the user's for Low Power `on`, with the action that runs again after setup.
    void requestLowPower(bool on, std::function<void()> retry);
    void readLowPowerBack(bool readMode, std::function<void(AppModel&)> then);

    // ---- Keep-awake ----
    // The state machine: ends a session whose mode is over, else decides whether to hold.
    void updateAwake(Date now);
    // Carries out a decision: the own assertion and the lid guard.
    void hold(bool on);
    // A timer session ends the moment it runs out, not at the tick after: its end is
    // waited for on the queue (again, where the wall clock was set back meanwhile).
    void awaitTimerEnd();
    Task timerEnd_;
    // The agents among the running processes. One look at the process table serves the
    // rest of the main queue's turn: opening the panel asks twice (the model and the
    // keep-awake card), and a tick that finds an agent not yet known asks again.
    const std::vector<AgentTree>& agentScan();

    std::shared_ptr<const System> system_;
    MainQueue& queue_;
    Observers observers_;
    std::shared_ptr<AppModel*> alive_;  // weak copies of it reach the model from later work
    std::vector<Task> tasks_;           // scheduled work, cancelled with the model
    std::vector<WorkspaceEvents::Observation> workspaceObservers_;  // end with the model

    // Readings of the battery and the system.
    Battery battery_;
    bool hasBattery_ = true;
    std::optional<Charger> charger_;
    std::optional<PowerFlow> flow_;
    ChargerFlags chargerFlags_;
    std::optional<SystemReading> systemReading_;
    std::optional<std::int64_t> systemHealth_;
    bool serviceRecommended_ = false;
    bool optimisedOff_ = false;
    HealthTrend health_;
    std::vector<SleepStretch> sleeps_;
    std::vector<AwakeHolder> holders_;
    bool lowPower_ = false;
    std::int64_t powerMode_ = 0;
    bool highPowerAvailable_ = false;
    std::shared_ptr<SystemSensors> sensors_;  // not observed; shared with its read under way
    bool sensorsReading_ = false;             // at most one read at a time
    std::vector<std::function<void()>> sensorsWaiting_;  // told when the read under way ends
    std::string chip_;                        // not observed

    // Draw, forecast and history.
    std::optional<Forecast> forecast_;
    std::optional<double> drain_;
    bool drainEarly_ = false;
    std::optional<double> usingWatts_;
    std::optional<double> usual_;  // the usual drain on battery, percent per hour
    std::vector<Draw> draws_;      // none older than 900 s
    std::optional<SMC> meter_;     // not observed: the tick's live draw
    bool pretendBattery_ = false;  // not observed: --on-battery
    Date lastSample_;
    HistoryStore history_;

    // Apps and energy.
    std::vector<AppUsage> apps_;
    std::set<std::string> quitting_;
    std::optional<AppUsage> stuck_;
    std::optional<QuitEffect> quitEffect_;
    // Shared with a save under way, which writes it as it was; a sample that comes while one
    // holds it changes a copy.
    std::shared_ptr<AppLedger> ledger_ = std::make_shared<AppLedger>();
    std::optional<Path> ledgerURL_;
    Date ledgerSaved_ = Date::distantPast();
    Attention attention_;
    std::optional<std::string> workingIn_;  // the bundle path of the app the user works in
    Task sampler_;
    bool panelOpen_ = false;

    // Advice and wording.
    std::optional<Tip> tip_;
    bool aiAvailable_ = false;
    std::map<std::string, Wording> wordings_;  // by prompt key, kept for the run
    Date lastModelCall_ = Date::distantPast();

    // Notice state.
    AlertRules alerts_;
    LevelAlerts levelAlerts_;
    AutoLowPower autoLow_;
    DrainWatch drainWatch_;
    std::optional<Path> healthURL_;
    Date sleepsRead_ = Date::distantPast();

    // Charge limit and charging to full.
    LimitAvailability limitAvailability_ = availability::Unsupported{};
    std::int64_t limit_ = 100;  // 100: none
    std::optional<std::string> limitNote_;
    bool limitBusy_ = false;
    std::shared_ptr<LimitBackend> backend_;
    std::optional<FullCharge> fullOnce_;
    FullByMode fullByMode_ = FullByMode::off;
    std::int64_t fullByMinutes_ = 480;
    std::optional<Date> fullByTarget_;

    // Energy mode and helper.
    // The privileged helper's client. Its requests call back into it (and it reads through the
    // system's parts) until they are answered, so a request's completion holds both.
    std::shared_ptr<Helper> helper_;
    bool lowPowerBusy_ = false;
    std::optional<std::string> lowPowerNote_;
    bool helperCard_ = false;
    std::function<void()> afterSetup_;
    HelperState helperState_;
    bool lowPowerOwed_ = false;
    int lowPowerRequests_ = 0;  // in flight: busy while above 0

    // Keep-awake.
    std::optional<AwakeSession> awake_;
    AwakeStatus awakeState_;
    std::optional<std::string> awakeNote_;
    std::vector<std::string> agentsWorking_;
    std::vector<std::string> agentsRunning_;
    std::vector<std::string> agentsInstalled_;
    std::set<std::string> agentsIgnored_;
    AwakeMode awakeMode_;
    std::int64_t awakeFloor_ = 20;
    bool awakePowerOnly_ = false;
    bool awakeLid_ = false;
    AgentWatch agentWatch_;
    std::optional<std::vector<AgentTree>> agentScan_;  // until the queue's turn ends
    AwakeHold awakeHold_;  // the own assertion (sleepBlock) and the lid guard

    // Updates.
    std::optional<AvailableUpdate> update_;
    bool updateLater_ = false;
    std::optional<std::string> updateNote_;
    bool updateBusy_ = false;
    UpdateStage updateStage_;
    bool checksForUpdates_ = true;
    std::shared_ptr<const UpdateParts> updateParts_;  // not observed

    // Interface and the remaining settings.
    HotkeyTable hotkeys_;
    int hotkeysSuspended_ = 0;
    std::optional<Tab> wantedTab_;
    bool openAtLogin_ = false;
    Color tint_;
    bool demo_ = false;  // not observed: --demo
    bool notifyLow_ = true;
    bool notifyLimit_ = true;
    std::int64_t alertLow_ = 0;
    std::int64_t alertHigh_ = 0;
    std::int64_t autoLowPower_ = 0;
    bool notifyDrain_ = true;
    IconStyle iconStyle_ = IconStyle::list;
    bool useAI_ = true;
    bool showTime_ = true;
};

template <typename T, typename U>
void AppModel::assign(T& slot, U&& value, ModelField field) {
    if constexpr (std::equality_comparable<T>) {
        const bool changed = !(slot == value);
        slot = std::forward<U>(value);
        if (changed) observers_.changed(field);
    } else {
        slot = std::forward<U>(value);
        observers_.changed(field);
    }
}

template <typename T, typename U>
void AppModel::assignSetting(T& slot, U&& value, ModelField field, std::string_view key, Value stored) {
    const bool changed = !(slot == value);
    slot = std::forward<U>(value);
    defaults().set(key, std::move(stored));
    if (changed) observers_.changed(field);
}

template <typename Result>
void AppModel::offMain(Priority priority, std::function<Result()> job, std::function<void(AppModel&, Result)> apply) {
    std::weak_ptr<AppModel*> weak = alive_;
    queue_.background(priority, [job = std::move(job), apply = std::move(apply), weak]() -> std::function<void()> {
        return [result = job(), apply, weak]() mutable {
            if (const auto self = weak.lock()) apply(**self, std::move(result));
        };
    });
}

}  // namespace norvane
