#include "app/shell/Intents.h"

#include <gtest/gtest.h>

#include "app/shell/Handoff.h"
#include "platform/PropertyList.h"

namespace norvane {
namespace {

// The model's side, recording each call.
struct FakeModel final : IntentTarget {
    Battery batteryReading;
    std::optional<Forecast> estimate;
    std::optional<PowerFlow> powerFlow;
    bool lowPower = false;
    bool battery_ = true;
    std::vector<std::string> calls;

    const Battery& battery() const override { return batteryReading; }
    bool hasBattery() const override { return battery_; }
    const std::optional<Forecast>& forecast() const override { return estimate; }
    const std::optional<PowerFlow>& flow() const override { return powerFlow; }
    bool lowPowerModeEnabled() const override { return lowPower; }
    void startAwake(const AwakeMode& mode) override { calls.push_back("startAwake " + mode.stored()); }
    void stopAwake() override { calls.push_back("stopAwake"); }
    void refreshLimit() override { calls.push_back("refreshLimit"); }
    void setLimit(std::int64_t percent) override { calls.push_back("setLimit " + std::to_string(percent)); }
    void chargeFullOnce() override { calls.push_back("chargeFullOnce"); }
    void setLowPower(bool on) override { calls.push_back(on ? "setLowPower on" : "setLowPower off"); }
};

// The action's value; an action that failed gives the sentence it failed with, as a string.
Value outcome(const IntentRun& run, IntentTarget& model) {
    auto result = perform(run, model);
    if (auto* error = std::get_if<std::string>(&result)) return Value::string("failed: " + *error);
    return std::get<Value>(result);
}

std::variant<IntentRun, std::string> resolve(std::string_view title, std::string_view json) {
    const auto parameters = parseJson(json);
    return resolveIntent(title, parameters ? &*parameters : nullptr);
}

TEST(Intents, TheTableInTheOrderOfItsRuns) {
    const auto& table = intentTable();
    ASSERT_EQ(table.size(), std::variant_size_v<IntentRun>);
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].defaults.index(), i) << table[i].title;
        EXPECT_EQ(std::get<IntentRun>(resolveIntent(table[i].title, nullptr)), table[i].defaults);
    }
    EXPECT_EQ(parameterSummary(KeepAwake{AwakeChoice::minutes, 90}), "Keep the Mac awake ${mode}: ${minutes}");
    EXPECT_EQ(parameterSummary(KeepAwake{AwakeChoice::agents, 90}), "Keep the Mac awake ${mode}");
    EXPECT_EQ(parameterSummary(SetChargeLimit{}), "Set the charge limit to ${percent}%");
    EXPECT_EQ(parameterSummary(GetPowerDraw{}), std::nullopt);
    EXPECT_EQ(awakeChoice("Minutes"), std::nullopt);
}

TEST(Intents, ParametersAreReadStrictlyWithinTheirRanges) {
    const std::vector<std::tuple<std::string, std::string, IntentRun>> accepted = {
        {"Keep Mac Awake", R"({"mode": "minutes", "minutes": 1440})", KeepAwake{AwakeChoice::minutes, 1440}},
        {"Keep Mac Awake", R"({"minutes": 1, "mode": "agents"})", KeepAwake{AwakeChoice::agents, 1}},
        {"Keep Mac Awake", "null", KeepAwake{}},
        {"Set Charge Limit", R"({"percent": 87})", SetChargeLimit{87}},
        {"Set Low Power Mode", R"({"on": false})", SetLowPowerMode{false}},
    };
    for (const auto& [title, json, run] : accepted) EXPECT_EQ(std::get<IntentRun>(resolve(title, json)), run) << json;

    const std::vector<std::tuple<std::string, std::string, std::string>> refused = {
        {"Keep Mac Awake", R"({"minutes": 0})", "Minutes must be a whole number from 1 to 1440."},
        {"Keep Mac Awake", R"({"minutes": 1441})", "Minutes must be a whole number from 1 to 1440."},
        {"Keep Mac Awake", R"({"minutes": 60.0})", "Minutes must be a whole number from 1 to 1440."},
        {"Keep Mac Awake", R"({"minutes": 1e300})", "Minutes must be a whole number from 1 to 1440."},
        {"Keep Mac Awake", R"({"minutes": "60"})", "Minutes must be a whole number from 1 to 1440."},
        {"Keep Mac Awake", R"({"mode": "Minutes"})", "Mode must be one of untilStopped, minutes, agents."},
        {"Set Charge Limit", R"({"percent": 79})", "Percent must be a whole number from 80 to 100."},
        {"Set Charge Limit", R"({"percent": -9223372036854775808})", "Percent must be a whole number from 80 to 100."},
        {"Set Low Power Mode", R"({"on": 1})", "Low Power Mode must be true or false."},
        {"Set Charge Limit", R"({"limit": 80})", "\"Set Charge Limit\" has no parameter \"limit\"."},
        {"Get Battery Level", R"({"x": 1})", "\"Get Battery Level\" has no parameter \"x\"."},
        {"Set Charge Limit", "[80]", "The parameters must be a JSON object."},
        {"get battery level", "null", "There is no action called \"get battery level\"."},
    };
    for (const auto& [title, json, error] : refused) EXPECT_EQ(std::get<std::string>(resolve(title, json)), error) << json;
}

TEST(Intents, ReadingActionsReturnWhatTheModelHolds) {
    FakeModel model;
    model.batteryReading.percent = 64;
    model.batteryReading.milliamps = -1500;
    model.batteryReading.millivolts = 12000;
    EXPECT_EQ(outcome(GetBatteryLevel{}, model), Value::integer(64));
    EXPECT_EQ(outcome(GetTimeLeft{}, model), Value());  // no estimate yet
    model.estimate = Forecast{185, true, false};
    EXPECT_EQ(outcome(GetTimeLeft{}, model), Value::integer(185));
    EXPECT_EQ(outcome(GetPowerDraw{}, model), Value::real(18.0));
    model.powerFlow = PowerFlow{std::nullopt, 30.0};  // no system figure: current times voltage
    EXPECT_EQ(outcome(GetPowerDraw{}, model), Value::real(18.0));
    model.powerFlow = PowerFlow{7.25, std::nullopt};
    EXPECT_EQ(outcome(GetPowerDraw{}, model), Value::real(7.3));
    model.powerFlow.reset();
    // Readings far beyond any battery's must not overflow.
    model.batteryReading.milliamps = std::numeric_limits<std::int64_t>::min();
    model.batteryReading.millivolts = std::numeric_limits<std::int64_t>::max();
    const auto huge = outcome(GetPowerDraw{}, model).doubleValue();
    ASSERT_TRUE(huge);
    EXPECT_GT(*huge, 8e31);
    model.batteryReading.plugged = true;
    EXPECT_EQ(outcome(GetTimeLeft{}, model), Value());  // on wall power, whatever the estimate
    EXPECT_TRUE(model.calls.empty());
}

TEST(Intents, AMacWithoutABatteryGivesNoLevelAndNoMadeUpDraw) {
    FakeModel model;
    model.battery_ = false;
    model.batteryReading.plugged = true;  // as the reading of a Mac without a battery is
    model.estimate = Forecast{185, true, false};
    EXPECT_EQ(outcome(GetBatteryLevel{}, model), Value::string("failed: This Mac has no battery."));
    EXPECT_EQ(outcome(GetTimeLeft{}, model), Value());
    EXPECT_EQ(outcome(GetPowerDraw{}, model), Value::string("failed: macOS gives no reading of this Mac's power draw."));
    model.powerFlow = PowerFlow{std::nullopt, 30.0};
    EXPECT_EQ(outcome(GetPowerDraw{}, model), Value::string("failed: macOS gives no reading of this Mac's power draw."));
    model.powerFlow = PowerFlow{42.16, 30.0};  // the system's own figure
    EXPECT_EQ(outcome(GetPowerDraw{}, model), Value::real(42.2));
}

TEST(Intents, ActingActionsCallTheModel) {
    const std::vector<std::pair<IntentRun, std::vector<std::string>>> cases = {
        {KeepAwake{AwakeChoice::untilStopped, 90}, {"startAwake untilStopped"}},
        {KeepAwake{AwakeChoice::minutes, 90}, {"startAwake timer:90"}},
        {KeepAwake{AwakeChoice::agents, 90}, {"startAwake agents"}},
        {StopKeepingAwake{}, {"stopAwake"}},
        {SetChargeLimit{87}, {"refreshLimit", "setLimit 85"}},
        {SetChargeLimit{100}, {"refreshLimit", "setLimit 100"}},
        {ChargeToFullOnce{}, {"chargeFullOnce"}},
        {SetLowPowerMode{true}, {}},  // already on
        {SetLowPowerMode{false}, {"setLowPower off"}},
    };
    for (const auto& [run, calls] : cases) {
        FakeModel model;
        model.lowPower = true;
        EXPECT_EQ(outcome(run, model), Value());
        EXPECT_EQ(model.calls, calls) << intentTable()[run.index()].title;
    }
}

TEST(Handoff, RequestsAndRepliesReadBackAndNothingElseReads) {
    const Handoff handoffs[] = {OpenUrls{{"norvane://awake", "norvane://open"}},
                                RunIntent{"Set Charge Limit", *parseJson(R"({"percent": 85})")},
                                RunIntent{"Get Battery Level", Value()}};
    for (const auto& handoff : handoffs) EXPECT_EQ(readHandoff(handoffRequest(handoff)), handoff);
    for (const char* json : {R"({"open": "norvane://awake"})", R"({"open": [1]})", R"({"intent": 5})", R"([])",
                             R"({"open": [], "intent": "x"})", R"({"intent": "x", "extra": 1})"})
        EXPECT_EQ(readHandoff(*parseJson(json)), std::nullopt) << json;
    EXPECT_EQ(std::get<Value>(readReply(answerReply(Value::integer(64)))), Value::integer(64));
    EXPECT_EQ(std::get<std::string>(readReply(errorReply("No."))), "No.");
    EXPECT_TRUE(std::holds_alternative<std::string>(readReply(Value::integer(1))));
}

}  // namespace
}  // namespace norvane
