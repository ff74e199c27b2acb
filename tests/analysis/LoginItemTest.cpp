#include "app/analysis/LoginItem.h"

#include <gtest/gtest.h>

#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

TEST(LoginItem, FollowsTheAppsRegistration) {
    struct Case {
        std::string registrations;  // with APP for the bundle's path; empty: no file
        bool on;
        std::optional<std::string> result;
        bool enabledBefore, enabledAfter;
    };
    const Case cases[] = {
        {"", true, std::nullopt, false, true},
        {R"({"loginItems": {"APP": {"status": "enabled"}}})", false, std::nullopt, true, false},
        {R"({"loginItems": {"APP": {"status": "enabled"}}})", true, std::nullopt, true, true},
        {"", false, "The service is not registered.", false, false},
        {R"({"approvalRequired": true})", true, "Operation not permitted", false, false},
        {R"({"loginItems": {"APP": {"status": "requiresApproval"}}})", false, std::nullopt, false, false},
        {R"({"faults": {"register": "Login items are switched off."}})", true, "Login items are switched off.", false,
         false},
        {R"({"faults": {"unregister": "No."}, "loginItems": {"APP": {"status": "enabled"}}})", false, "No.", true,
         true},
        {"[]", true, "The registrations cannot be read.", false, false},
    };
    for (const Case& c : cases) {
        testing::TempMachine temp;
        const FolderBundle app(temp.root() / "Norvane.app");
        const MachineServiceManagement services(temp.machine(), app.bundlePath());
        std::string registrations = c.registrations;
        if (const auto at = registrations.find("APP"); at != std::string::npos)
            registrations.replace(at, 3, app.bundlePath().string());
        if (!registrations.empty()) temp.write("launchd/registrations.json", registrations);

        EXPECT_EQ(LoginItem::enabled(app, services), c.enabledBefore) << c.registrations;
        EXPECT_EQ(LoginItem::set(app, services, c.on), c.result) << c.registrations << " " << c.on;
        EXPECT_EQ(LoginItem::enabled(app, services), c.enabledAfter) << c.registrations << " " << c.on;
    }
}

TEST(LoginItem, OutsideAnAppBundleNothingChanges) {
    testing::TempMachine temp;
    const FolderBundle program(temp.root() / "bin");
    const MachineServiceManagement services(temp.machine(), program.bundlePath());
    const std::string registrations = R"({"loginItems": {")" + program.bundlePath().string() +
                                      R"(": {"status": "enabled"}}})";
    temp.write("launchd/registrations.json", registrations);
    EXPECT_FALSE(LoginItem::enabled(program, services));
    for (const bool on : {true, false})
        EXPECT_EQ(LoginItem::set(program, services, on), "Opening at login works only in the built app.");
    EXPECT_EQ(readFile(temp.root() / "launchd/registrations.json"), registrations);
}

}  // namespace
}  // namespace norvane
