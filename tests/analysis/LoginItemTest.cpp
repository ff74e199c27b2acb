#include "app/analysis/LoginItem.h"

#include <gtest/gtest.h>

#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

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
