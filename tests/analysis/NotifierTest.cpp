#include "app/analysis/Notifier.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/PropertyList.h"
#include "platform/Text.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

constexpr double sentAt = 1796770800.25;

// A machine with the app's bundle and its notification centre, whose clock stands still.
struct Mac {
    explicit Mac(std::optional<std::string> centerSettings = std::nullopt, const char* bundle = "Norvane.app") {
        machine.write("Norvane.app/Contents/Info.plist",
                      "<plist><dict><key>CFBundleIdentifier</key><string>app.norvane</string></dict></plist>");
        machine.write("Plain.app/Contents/Info.plist", "<plist><dict/></plist>");
        if (centerSettings) machine.write("notifications/center.json", *centerSettings);
        app = FolderBundle(machine.root() / bundle);
    }
    testing::TempMachine machine;
    FolderBundle app{""};
    MachineNotificationCenter center{machine.machine(), [] { return Date{sentAt}; }};
    std::vector<std::string> logged;

    void send(const std::string& title, const std::string& body) { Notifier::send(app, center, title, body); }
    void ask() {
        Notifier::ask(app, center, [this](std::string_view line) { logged.emplace_back(line); });
    }
    std::optional<std::string> file(std::string_view name) const { return readFile(machine.root() / Path(name)); }
    // The requests the centre recorded, in order.
    std::vector<Value> requests() const {
        std::vector<Value> out;
        const auto text = file("notifications/requests.jsonl").value_or("");
        for (std::string_view line : splitNonEmpty(text, '\n')) out.push_back(parseJson(line).value_or(Value()));
        return out;
    }
};

TEST(Notifier, OutsideAnAppBundleNothingIsSentOrAsked) {
    // A program beside no bundle, and a bundle without an identifier.
    for (const char* bundle : {"bin", "Plain.app"}) {
        Mac mac(R"({"authorization": "authorized"})", bundle);
        mac.send("Battery at 20%", "Time to plug in.");
        mac.ask();
        EXPECT_EQ(mac.file("notifications/requests.jsonl"), std::nullopt) << bundle;
        EXPECT_EQ(mac.file("notifications/center.json"), R"({"authorization": "authorized"})") << bundle;
        EXPECT_TRUE(mac.logged.empty()) << bundle;
    }
}

TEST(Notifier, EachSendIsANotificationOfItsOwn) {
    Mac mac(R"({"authorization": "authorized"})");
    mac.send("Battery at 20%", "Time to plug in.");
    mac.send("Battery at 20%", "Time to plug in.");
    const auto requests = mac.requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    for (const Value& request : requests) {
        const Value* identifier = request.find("identifier");
        ASSERT_TRUE(identifier && identifier->isString());
        EXPECT_TRUE(std::regex_match(*identifier->asString(), uuid)) << *identifier->asString();
        EXPECT_EQ(*request.find("title"), Value::string("Battery at 20%"));
        EXPECT_EQ(*request.find("body"), Value::string("Time to plug in."));
        EXPECT_EQ(*request.find("time"), Value::real(sentAt));
        EXPECT_EQ(*request.find("delivered"), Value::boolean(true));
    }
    EXPECT_NE(*requests[0].find("identifier"), *requests[1].find("identifier"));
}

TEST(Notifier, AskLogsTheAnswerAndLaterSendsGoToTheCentreRegardless) {
    struct Case {
        std::optional<std::string> settings;
        std::string line;
        std::optional<std::string> keptAuthorization;  // the centre's state afterwards
        bool delivered;
    };
    const Case cases[] = {
        {std::nullopt, "Norvane notifications: allowed", "authorized", true},
        {R"({"answer": "deny"})", "Norvane notifications: not allowed", "denied", false},
        {R"({"authorization": "denied"})", "Norvane notifications: not allowed", "denied", false},
        {R"({"authorization": "authorized", "answer": "deny"})", "Norvane notifications: allowed", "authorized", true},
        {R"({"error": "Notifications are not allowed for this application."})",
         "Norvane notifications: not allowed (Notifications are not allowed for this application.)", std::nullopt,
         false},
        {"[]", "Norvane notifications: not allowed (The notification settings cannot be read.)", std::nullopt, false},
    };
    for (const Case& c : cases) {
        const std::string name = c.settings.value_or("no settings");
        Mac mac(c.settings);
        mac.ask();
        EXPECT_EQ(mac.logged, std::vector<std::string>{c.line}) << name;
        const auto settings = parseJson(mac.file("notifications/center.json").value_or("{}"));
        const Value* kept = settings ? settings->find("authorization") : nullptr;
        EXPECT_EQ(kept && kept->isString() ? std::optional(*kept->asString()) : std::nullopt, c.keptAuthorization)
            << name;
        mac.send("Low Power Mode is on", "Battery at 20%.");
        const auto requests = mac.requests();
        ASSERT_EQ(requests.size(), 1u) << name;
        EXPECT_EQ(*requests[0].find("delivered"), Value::boolean(c.delivered)) << name;
    }
    // The first answer is given to what the app asked for: alerts and sounds.
    Mac asked;
    asked.ask();
    EXPECT_EQ(asked.file("notifications/center.json"), R"({"authorization":"authorized","options":["alert","sound"]})");
    // Settings that cannot be read are left as they are.
    Mac unreadable("[]");
    unreadable.ask();
    EXPECT_EQ(unreadable.file("notifications/center.json"), "[]");
}

TEST(Notifier, BannersShowWhileTheAppIsFrontmost) {
    struct Case {
        bool delegate, frontmost;
        std::optional<Value> presentation;  // none: the system shows it by the user's settings
    };
    const Value all = Value::array({Value::string("banner"), Value::string("list"), Value::string("sound")});
    const Case cases[] = {
        {true, true, all},
        {false, true, Value::array({})},
        {true, false, std::nullopt},
    };
    for (const Case& c : cases) {
        Mac mac(std::string(R"({"authorization": "authorized", "frontmost": )") + (c.frontmost ? "true}" : "false}"));
        if (c.delegate) mac.center.setDelegate(&Notifier::banners());
        mac.send("Charged to 80%", "You can unplug now.");
        const auto requests = mac.requests();
        ASSERT_EQ(requests.size(), 1u);
        const Value* shown = requests[0].find("presentation");
        EXPECT_EQ(shown ? std::optional(*shown) : std::nullopt, c.presentation) << c.delegate << c.frontmost;
    }
    EXPECT_EQ(&Notifier::banners(), &Notifier::banners());
}

}  // namespace
}  // namespace norvane
