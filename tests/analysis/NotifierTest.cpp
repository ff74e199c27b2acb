#include "app/analysis/Notifier.h"

#include <gtest/gtest.h>

#include <regex>

#include "app/analysis/LoginItem.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

constexpr double sentAt = 1796770800.25;

// A machine with the app's bundle and its notification centre, whose clock stands still.
struct Mac {
    explicit Mac(std::optional<std::string> settings, const char* bundle = "Norvane.app") : app(machine / bundle) {
        machine.write("Norvane.app/Contents/Info.plist",
                      "<plist><dict><key>CFBundleIdentifier</key><string>app.norvane</string></dict></plist>");
        machine.write("Plain.app/Contents/Info.plist", "<plist><dict/></plist>");
        if (settings) machine.write("notifications/center.json", *settings);
    }
    testing::TempFolder machine;
    FolderBundle app;
    MachineNotificationCenter center{Machine(machine.path()), [] { return Date{sentAt}; }};
    std::vector<std::string> logged;

    void send() { Notifier::send(app, center, "Battery at 20%", "Time to plug in."); }
    void ask() {
        Notifier::ask(app, center, [this](std::string_view line) { logged.emplace_back(line); });
    }
    std::optional<std::string> settings() const { return readFile(machine / "notifications/center.json"); }
    // The requests the centre recorded, in order.
    std::vector<Value> requests() const {
        const auto text = readFile(machine / "notifications/requests.jsonl").value_or("");
        std::vector<Value> out;
        for (std::string_view line : splitNonEmpty(text, '\n'))
            out.push_back(parseJson(line).value_or(Value()));
        return out;
    }
};

TEST(Notifier, OutsideAnAppBundleNothingIsSentOrAsked) {
    // A program beside no bundle, and a bundle without an identifier.
    for (const char* bundle : {"bin", "Plain.app"}) {
        Mac mac(R"({"authorization": "authorized"})", bundle);
        mac.send();
        mac.ask();
        EXPECT_TRUE(mac.requests().empty()) << bundle;
        EXPECT_EQ(mac.settings(), R"({"authorization": "authorized"})") << bundle;
        EXPECT_TRUE(mac.logged.empty()) << bundle;
    }
}

TEST(Notifier, EachSendIsANotificationOfItsOwn) {
    Mac mac(R"({"authorization": "authorized"})");
    mac.send();
    mac.send();
    const auto requests = mac.requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    for (const Value& request : requests) {
        ASSERT_TRUE(request.find("identifier") && request.find("identifier")->isString());
        EXPECT_TRUE(std::regex_match(*request.find("identifier")->asString(), uuid));
        Value::Dictionary rest = *request.asDictionary();
        rest.erase("identifier");
        EXPECT_EQ(writeJson(Value::dictionary(rest)),
                  R"({"body":"Time to plug in.","delivered":true,"time":1796770800.25,"title":"Battery at 20%"})");
    }
    EXPECT_NE(*requests[0].find("identifier"), *requests[1].find("identifier"));
}

TEST(Notifier, AskLogsTheAnswerAndLaterSendsGoToTheCentreRegardless) {
    const std::string fails = "Norvane notifications: not allowed (";
    struct Case {
        std::optional<std::string> settings;
        std::string line;
        std::optional<std::string> written;  // the settings afterwards; none: as they were
        bool delivered;
    };
    const Case cases[] = {
        {std::nullopt, "Norvane notifications: allowed",
         R"({"authorization":"authorized","options":["alert","sound"]})", true},
        {R"({"answer": "deny"})", "Norvane notifications: not allowed",
         R"({"answer":"deny","authorization":"denied","options":["alert","sound"]})", false},
        {R"({"authorization": "denied"})", "Norvane notifications: not allowed", std::nullopt, false},
        {R"({"authorization": "authorized", "answer": "deny"})", "Norvane notifications: allowed", std::nullopt, true},
        {R"({"error": "Notifications are not allowed for this application."})",
         fails + "Notifications are not allowed for this application.)", std::nullopt, false},
        {"[]", fails + "The notification settings cannot be read.)", std::nullopt, false},
    };
    for (const Case& c : cases) {
        const std::string name = c.settings.value_or("no settings");
        Mac mac(c.settings);
        mac.ask();
        EXPECT_EQ(mac.logged, std::vector<std::string>{c.line}) << name;
        EXPECT_EQ(mac.settings(), c.written ? c.written : c.settings) << name;
        mac.send();
        const auto requests = mac.requests();
        ASSERT_EQ(requests.size(), 1u) << name;
        EXPECT_EQ(*requests[0].find("delivered"), Value::boolean(c.delivered)) << name;
    }
}

TEST(Notifier, BannersShowWhileTheAppIsFrontmost) {
    const Value all = Value::array({Value::string("banner"), Value::string("list"), Value::string("sound")});
    struct Case {
        bool delegate, frontmost;
        std::optional<Value> presentation;  // none: the system shows it by the user's settings
    };
    for (const Case& c :
         {Case{true, true, all}, Case{false, true, Value::array({})}, Case{true, false, std::nullopt}}) {
        Mac mac(std::string(R"({"authorization": "authorized", "frontmost": )") + (c.frontmost ? "true}" : "false}"));
        if (c.delegate) mac.center.setDelegate(&Notifier::banners());
        mac.send();
        const auto requests = mac.requests();
        ASSERT_EQ(requests.size(), 1u);
        const Value* shown = requests[0].find("presentation");
        EXPECT_EQ(shown ? std::optional(*shown) : std::nullopt, c.presentation) << c.delegate << c.frontmost;
    }
}

TEST(LoginItem, FollowsTheAppsRegistrationOnlyInAnAppBundle) {
    const std::string outside = "Opening at login works only in the built app.";
    const std::string enabled = R"({"loginItems": {"APP": {"status": "enabled"}}})";
    struct Case {
        std::string registrations;  // APP stands for the bundle's path; empty: no file
        bool on;
        std::optional<std::string> result;
        bool enabledBefore, enabledAfter;
        const char* bundle = "Norvane.app";
    };
    const Case cases[] = {
        {"", true, std::nullopt, false, true},
        {enabled, false, std::nullopt, true, false},
        {"", false, "The service is not registered.", false, false},
        {R"({"approvalRequired": true})", true, "Operation not permitted", false, false},
        {R"({"loginItems": {"APP": {"status": "requiresApproval"}}})", false, std::nullopt, false, false},
        {R"({"faults": {"register": "Not now."}})", true, "Not now.", false, false},
        {R"({"faults": {"unregister": "No."}, "loginItems": {"APP": {"status": "enabled"}}})", false, "No.", true,
         true},
        {"[]", true, "The registrations cannot be read.", false, false},
        {enabled, true, outside, false, false, "bin"},
        {enabled, false, outside, false, false, "bin"},
    };
    for (const Case& c : cases) {
        testing::TempMachine temp;
        const FolderBundle app(temp.root() / c.bundle);
        const MachineServiceManagement services(temp.machine(), app.bundlePath());
        std::string registrations = c.registrations;
        if (const auto at = registrations.find("APP"); at != std::string::npos)
            registrations.replace(at, 3, app.bundlePath().string());
        if (!registrations.empty()) temp.write("launchd/registrations.json", registrations);

        const std::string name = std::string(c.bundle) + " " + c.registrations + (c.on ? " on" : " off");
        EXPECT_EQ(LoginItem::enabled(app, services), c.enabledBefore) << name;
        EXPECT_EQ(LoginItem::set(app, services, c.on), c.result) << name;
        EXPECT_EQ(LoginItem::enabled(app, services), c.enabledAfter) << name;
    }
}

}  // namespace
}  // namespace norvane
