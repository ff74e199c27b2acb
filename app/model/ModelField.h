#pragma once
// The model's tracked fields, one name each, so that a view subscribes to exactly the
// fields it reads and redraws only when one of them changes.

#include <cstdint>

namespace norvane {

enum class ModelField : std::uint8_t {
    // Readings of the battery and the system.
    battery, hasBattery, charger, flow, chargerFlags, system, systemHealth, serviceRecommended, optimisedOff, health, sleeps,
    holders, lowPower, powerMode, highPowerAvailable,
    // Draw, forecast and history.
    forecast, drain, drainEarly, usingWatts, usual, draws, lastSample, history,
    // Apps and energy.
    apps, quitting, stuck, quitEffect, ledger, ledgerURL, ledgerSaved, attention, workingIn, sampler, panelOpen,
    // Advice and wording.
    tip, aiAvailable, wordings, lastModelCall,
    // Notice state.
    alerts, levelAlerts, autoLow, drainWatch, healthURL, sleepsRead,
    // Charge limit and charging to full.
    limitAvailability, limit, limitNote, limitBusy, backend, fullOnce, fullByMode, fullByMinutes, fullByTarget,
    // Energy mode and helper.
    lowPowerBusy, lowPowerNote, helperCard, afterSetup, helperState, lowPowerOwed,
    // Keep-awake.
    awake, awakeState, awakeNote, agentsWorking, agentsRunning, agentsInstalled, agentsIgnored, awakeMode, awakeFloor,
    awakePowerOnly, awakeLid, sleepBlock, agentWatch, lidGuard,
    // Updates.
    update, updateLater, updateNote, updateBusy, updateStage, checksForUpdates,
    // Interface and the remaining settings.
    hotkeys, wantedTab, openAtLogin, notifyLow, notifyLimit, alertLow, alertHigh, autoLowPower, notifyDrain, iconStyle,
    useAI, showTime, tint,
    // The welcome tour's own object (Onboarding), told through the same kind of observers.
    onboardingStep, onboardingDone, onboardingNotifications, onboardingHelper, onboardingForward, onboardingRelaunch,
};

}  // namespace norvane
