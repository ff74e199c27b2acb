#include <gtest/gtest.h>

#include "app/model/DefaultsKeys.h"
#include "platform/PropertyList.h"
#include "tests/model/ModelProbe.h"

namespace norvane {
namespace {

TEST(ModelSettings, AnEmptyDomainGivesEveryDefaultAndWritesNothing) {
    ModelBench bench;
    const AppModel& m = bench.start();
    EXPECT_TRUE(m.notifyLow() && m.notifyLimit() && m.notifyDrain() && m.checksForUpdates() && m.useAI() &&
                m.showTime());
    EXPECT_EQ(std::tuple(m.alertLow(), m.alertHigh(), m.autoLowPower(), m.awakeFloor(), m.fullByMinutes()),
              std::tuple(0, 0, 0, 20, 480));
    EXPECT_EQ(std::tuple(m.iconStyle(), m.awakeMode(), m.fullByMode()),
              std::tuple(IconStyle::list, AwakeMode::untilStopped(), FullByMode::off));
    EXPECT_FALSE(m.awakePowerOnly() || m.awakeLid() || m.lowPowerOwed() || m.fullByTarget() || m.fullOnce());
    EXPECT_TRUE(m.agentsIgnored().empty() && m.hotkeys().empty());
    EXPECT_EQ(m.tint(), (Color{0.9, 0.8, 0.7, 1}));
    EXPECT_FALSE(fileExists(bench.defaultsFile()));
    EXPECT_FALSE(m.openAtLogin());
    bench.machine.write("launchd/registrations.json",
                        R"({"loginItems": {")" + bench.bundle().string() + R"(": {"status": "enabled"}}})");
    EXPECT_TRUE(bench.start().openAtLogin());
}

TEST(ModelSettings, MistypedEntriesReadAsTheSystemReadsThem) {
    struct Case {
        std::string_view key;
        Value stored;
        std::function<bool(const AppModel&)> reads;
    };
    const Case cases[] = {
        {keys::notifyLow, Value::string("NO"), [](auto& m) { return m.notifyLow(); }},  // not a Boolean
        {keys::alertLow, Value::string("often"), [](auto& m) { return m.alertLow() == 0; }},
        {keys::alertHigh, Value::string("85"), [](auto& m) { return m.alertHigh() == 85; }},
        {keys::awakeFloor, Value::integer(0), [](auto& m) { return m.awakeFloor() == 0; }},
        {keys::awakeFloor, Value::string("30"), [](auto& m) { return m.awakeFloor() == 20; }},
        {keys::fullByMinutes, Value::real(420.0), [](auto& m) { return m.fullByMinutes() == 420; }},
        {keys::lowPowerOwed, Value::string("YES"), [](auto& m) { return m.lowPowerOwed(); }},
        {keys::iconStyle, Value::string("huge"), [](auto& m) { return m.iconStyle() == IconStyle::list; }},
        {keys::fullByMode, Value::string("weekly"), [](auto& m) { return m.fullByMode() == FullByMode::off; }},
        {keys::fullByTarget, Value::string("2026-12-09T07:00:00Z"), [](auto& m) { return !m.fullByTarget(); }},
        {keys::awakeMode, Value::string("timer:30"), [](auto& m) { return m.awakeMode() == AwakeMode::timer(30); }},
        {keys::hotkeys, Value::string("[]"), [](auto& m) { return m.hotkeys().empty(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key));
        ModelBench bench;
        UserDefaults(bench.defaultsFile()).set(c.key, c.stored);
        EXPECT_TRUE(c.reads(bench.start()));
    }
}

TEST(ModelSettings, EveryAssignmentWritesBackButOnlyAChangeTellsSubscribers) {
    ModelBench bench;
    AppModel& m = bench.start();
    int told = 0;
    const auto subscription = m.subscribe({ModelField::notifyLow, ModelField::agentsIgnored}, [&] { ++told; });
    m.setNotifyLow(true);  // the default again
    EXPECT_EQ(told, 0);
    EXPECT_EQ(bench.stored().booleanObject(keys::notifyLow), true);
    m.setNotifyLow(false);
    EXPECT_EQ(told, 1);

    m.setAgentsIgnored({"codex", "aider"});
    const auto names = bench.stored().object(keys::agentsIgnored);
    EXPECT_EQ(names, Value::array({Value::string("aider"), Value::string("codex")}));
    EXPECT_EQ(told, 2);

    const Date target{1'796'799'600};
    m.setFullByTarget(target);
    m.setFullOnce(FullCharge{std::nullopt, false});
    m.setIconStyle(IconStyle::everywhere);
    m.setAwakeMode(AwakeMode::timer(45));
    EXPECT_EQ(bench.stored().date(keys::fullByTarget), target);
    EXPECT_EQ(bench.stored().string(keys::fullOnce), " ");
    EXPECT_EQ(bench.stored().string(keys::iconStyle), "everywhere");
    EXPECT_EQ(bench.stored().string(keys::awakeMode), "timer:45");
    m.setFullByTarget(std::nullopt);
    m.setFullOnce(std::nullopt);
    EXPECT_FALSE(bench.stored().object(keys::fullByTarget));
    EXPECT_FALSE(bench.stored().object(keys::fullOnce));
}

TEST(ModelSettings, FullOnceTextKeepsOnlyALimitThatCanBeOne) {
    const std::pair<const char*, FullCharge> cases[] = {
        {"smart", {{}, true}},       {"word 75 smart", {75, true}}, {" ", {{}, false}},
        {"80 90", {80, false}},      {"100", {100, false}},         {"0", {{}, false}},
        {"-5 80 smart", {{}, true}}, {"500", {{}, false}},          {"nosmarts", {{}, true}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parseFullOnce(text), expected) << text;
    EXPECT_EQ(fullOnceText({80, true}), "80 smart");
    EXPECT_EQ(parseFullOnce(fullOnceText({std::nullopt, true})), (FullCharge{std::nullopt, true}));
}

TEST(ModelSettings, HotkeysDecodeOnlyFromPairsOfKnownActions) {
    const std::pair<const char*, bool> cases[] = {
        {R"(["awake", {"keyCode": 0, "modifiers": 256, "label": "⌘A"}])", true},
        {R"(["awake"])", false},
        {R"({"awake": {"keyCode": 0, "modifiers": 256, "label": "⌘A"}})", false},
        {R"(["sleep", {"keyCode": 0, "modifiers": 256, "label": "x"}])", false},
        {R"(["panel", {"keyCode": -1, "modifiers": 256, "label": "x"}])", false},
        {R"(["panel", {"keyCode": 1, "modifiers": 256}])", false},
        // Numbers of the right type only.
        {R"(["panel", {"keyCode": 1.0, "modifiers": 256, "label": "x"}])", false},
        {R"(["panel", {"keyCode": 1, "modifiers": true, "label": "x"}])", false},
        {R"(["panel", {"keyCode": "1", "modifiers": 256, "label": "x"}])", false},
        {R"(["panel", {"keyCode": 4294967296, "modifiers": 256, "label": "x"}])", false},
        {R"(["panel", {"keyCode": 1, "modifiers": 256, "label": 7}])", false},
    };
    for (const auto& [json, decodes] : cases)
        EXPECT_EQ(decodeHotkeys(json).has_value(), decodes) << json;
    const HotkeyTable both{{HotkeyAction::awake, {0, 256, "⌘A"}}, {HotkeyAction::panel, {35, 4352, "⌃⌘P"}}};
    EXPECT_EQ(decodeHotkeys(encodeHotkeys(both)), both);
}

TEST(ModelSettings, AKeyPressMakesAShortcutOnlyWithEnoughModifiers) {
    namespace flag = modifierFlag;
    struct Case {
        std::int64_t keyCode;
        std::optional<std::string> characters;
        ModifierFlags flags;
        std::optional<Hotkey> expected;
    };
    const Case cases[] = {
        {40, "k", flag::command | flag::shift, Hotkey{40, 0x0300, "⇧⌘K"}},
        {49, " ", flag::control | flag::option, Hotkey{49, 0x1800, "⌃⌥Space"}},
        {96, std::nullopt, 0, Hotkey{96, 0, "F5"}},
        {36, "\r", flag::command, Hotkey{36, 0x0100, "⌘↩"}},
        {111, std::nullopt, flag::shift, Hotkey{111, 0x0200, "⇧F12"}},
        {1, "s", flag::control | flag::option | flag::shift | flag::command, Hotkey{1, 0x1B00, "⌃⌥⇧⌘S"}},
        {0, "a", flag::option | flag::capsLock | flag::function | flag::numericPad, Hotkey{0, 0x0800, "⌥A"}},
        {12, " ß\n", flag::control, Hotkey{12, 0x1000, "⌃SS"}},
        {0, "a", flag::shift, std::nullopt},
        {0, "a", 0, std::nullopt},
        {36, "\r", 0, std::nullopt},
        {123, std::nullopt, flag::shift, std::nullopt},
        {0, " \t", flag::command, std::nullopt},
        {0, std::nullopt, flag::command, std::nullopt},
        {-1, "a", flag::command, std::nullopt},
        {65536, "a", flag::command, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hotkey(c.keyCode, c.characters, c.flags), c.expected) << c.keyCode;
}

TEST(ModelSettings, ARefusedHotkeyKeepsTheOldOneRegisteredAndStored) {
    ModelBench bench;
    AppModel& m = bench.start();
    const Hotkey awake{0, 256, "⌘A"}, taken{12, 256, "⌘Q"}, panel{35, 4352, "⌃⌘P"};
    ASSERT_TRUE(m.setHotkey(awake, HotkeyAction::awake));
    ASSERT_TRUE(m.setHotkey(panel, HotkeyAction::panel));
    const auto storedBefore = bench.stored().data(keys::hotkeys);

    bench.hotkeys->accepts = false;
    bench.hotkeys->asked.clear();
    EXPECT_FALSE(m.setHotkey(taken, HotkeyAction::awake));
    EXPECT_EQ(m.hotkeys().at(HotkeyAction::awake), awake);
    EXPECT_EQ(bench.stored().data(keys::hotkeys), storedBefore);
    ASSERT_EQ(bench.hotkeys->asked.size(), 2u);
    EXPECT_EQ(bench.hotkeys->asked[1].first, awake);  // the old key registered again

    EXPECT_TRUE(m.setHotkey(std::nullopt, HotkeyAction::panel));  // clearing always succeeds
    const auto data = bench.stored().data(keys::hotkeys);
    ASSERT_TRUE(data);
    EXPECT_EQ(decodeHotkeys(std::string(data->begin(), data->end())), (HotkeyTable{{HotkeyAction::awake, awake}}));
    bench.model.reset();
    AppModel& again = bench.start();
    EXPECT_EQ(again.hotkeys(), (HotkeyTable{{HotkeyAction::awake, awake}}));

    // Two rows recording at once: the keys come back when the last one stops, once.
    for (const bool suspended : {true, true, false, false, false})
        again.suspendHotkeys(suspended);
    EXPECT_EQ(bench.hotkeys->suspensions, (std::vector{true, false}));
}

}  // namespace
}  // namespace norvane
