#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/PropertyList.h"
#include "platform/ServiceManagement.h"
#include "platform/Workspace.h"
#include "platform/WorkspaceEvents.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using ::testing::HasSubstr;

TEST(MachineWorkspace, DesktopPictureAndAccentColourComeFromTheDesktopFile) {
    struct Case {
        const char* desktop;                 // nullptr: no file
        std::optional<std::string> picture;  // relative to the machine folder, or absolute
        std::optional<Color> accent;
    };
    const Case cases[] = {
        {nullptr, {}, {}},
        {"{not json", {}, {}},
        {R"({"accentColor": [0.0, 0.5, 1.0], "screens": [{"desktopPicture": "/Library/Desktop.png"}, {}]})",
         "Library/Desktop.png", Color{0.0, 0.5, 1.0, 1}},
        {R"({"screens": [{"desktopPicture": "pictures/a.png"}]})", "pictures/a.png", {}},
        {R"({"screens": [{"desktopPicture": "/nowhere/on/the/mac.png"}]})", "/nowhere/on/the/mac.png", {}},
        {R"({"accentColor": [1, 0, 0], "screens": []})", {}, Color{1, 0, 0, 1}},
        {R"({"screens": [{"desktopPicture": ""}]})", {}, {}},
        {R"({"screens": {"desktopPicture": "a.png"}})", {}, {}},
        {R"({"accentColor": [0.2, 0.3]})", {}, {}},
        {R"({"accentColor": [0.2, 0.3, 1.5]})", {}, {}},
        {R"({"accentColor": [0.2, "0.3", 0.4]})", {}, {}},
        {R"([1, 2, 3])", {}, {}},
    };
    testing::TempMachine machine;
    machine.write("Library/Desktop.png", "png");
    const MachineWorkspace workspace{machine.machine()};
    for (const auto& c : cases) {
        std::filesystem::remove(machine.root() / "workspace/desktop.json");
        if (c.desktop) machine.write("workspace/desktop.json", c.desktop);
        SCOPED_TRACE(c.desktop ? c.desktop : "(no file)");
        std::optional<Path> expected;
        if (c.picture) expected = c.picture->front() == '/' ? Path(*c.picture) : machine.root() / *c.picture;
        EXPECT_EQ(workspace.desktopPicture(), expected);
        EXPECT_EQ(workspace.accentColor(), c.accent);
    }
}

TEST(MachineWorkspace, ReduceMotionIsTheUniversalAccessPreference) {
    const auto plist = [](const std::string& entry) { return "<plist><dict>" + entry + "</dict></plist>"; };
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {std::nullopt, false},
        {plist("<key>reduceMotion</key><true/>"), true},
        {plist("<key>reduceMotion</key><false/>"), false},
        {plist("<key>reduceMotion</key><integer>1</integer>"), true},
        {plist("<key>reduceMotion</key><real>0.5</real>"), false},
        {plist("<key>reduceMotion</key><string>YES</string>"), false},
        {plist("<key>reduceTransparency</key><true/>"), false},
        {"<plist><array><true/></array></plist>", false},
        {"not a property list", false},
    };
    testing::TempMachine machine;
    const MachineWorkspace workspace{machine.machine()};
    const char* file = "Library/Preferences/com.apple.universalaccess.plist";
    for (const auto& [text, on] : cases) {
        std::filesystem::remove(machine.root() / file);
        if (text) machine.write(file, *text);
        EXPECT_EQ(workspace.accessibilityDisplayShouldReduceMotion(), on) << text.value_or("(no file)");
    }
    EXPECT_TRUE(fileExists(machine.root() / file));  // an unreadable file is left where it is
}

TEST(MachineWorkspace, IconFilesAreTheBundlesPngResources) {
    auto info = [](const std::string& icon) {
        return "<plist><dict><key>CFBundleIconFile</key><string>" + icon + "</string></dict></plist>";
    };
    testing::TempMachine machine;
    machine.write("Applications/Plain.app/Contents/Info.plist", info("AppIcon"));
    machine.write("Applications/Plain.app/Contents/Resources/AppIcon.png", "png");
    machine.write("Applications/Named.app/Contents/Info.plist", info("named.png"));
    machine.write("Applications/Named.app/Contents/Resources/named.png", "png");
    machine.write("Applications/Lost.app/Contents/Info.plist", info("gone"));
    machine.write("Applications/Escape.app/Contents/Info.plist", info("../../Plain.app/Contents/Resources/AppIcon"));
    machine.write("Applications/Broken.app/Contents/Info.plist", "<plist><dict>");
    machine.write("Applications/Bare.app/Contents/Resources/AppIcon.png", "png");
    const MachineWorkspace workspace{machine.machine()};

    EXPECT_EQ(workspace.iconFile("/Applications/Plain.app"),
              machine.root() / "Applications/Plain.app/Contents/Resources/AppIcon.png");
    EXPECT_EQ(workspace.iconFile("/Applications/Named.app"),
              machine.root() / "Applications/Named.app/Contents/Resources/named.png");
    for (const char* without : {"/Applications/Lost.app", "/Applications/Escape.app", "/Applications/Broken.app",
                                "/Applications/Bare.app", "/Applications/Missing.app", ""})
        EXPECT_FALSE(workspace.iconFile(without)) << without;
}

TEST(MachineWorkspace, RunningApplicationsComeFromTheRunningFileAndChangeIt) {
    testing::TempMachine machine;
    const MachineWorkspace workspace{machine.machine()};
    EXPECT_TRUE(workspace.runningApplications().empty());
    EXPECT_FALSE(workspace.frontmostApplication());
    EXPECT_FALSE(workspace.terminate("/Applications/Slack.app"));  // no file: nothing runs

    machine.write("workspace/running.json", R"([
      {"bundle": "/Applications/Slack.app", "name": "Slack"},
      {"bundle": "/Applications/Mail.app", "policy": "accessory", "active": true},
      {"bundle": "", "name": 7, "policy": "prohibited", "active": true},
      {"bundle": "/Applications/Odd.app", "policy": "floating"},
      "not an app"
    ])");
    using P = ActivationPolicy;
    const std::vector<RunningApplication> expected{
        {"/Applications/Slack.app", "Slack", P::regular},
        {"/Applications/Mail.app", std::nullopt, P::accessory},
        {std::nullopt, std::nullopt, P::prohibited},
    };
    EXPECT_EQ(workspace.runningApplications(), expected);
    EXPECT_EQ(workspace.frontmostApplication(), expected[1]);

    machine.write("workspace/running.json", R"({"bundle": "/Applications/Slack.app"})");
    EXPECT_TRUE(workspace.runningApplications().empty());

    // Quitting and activating change the file.
    machine.write("workspace/running.json", R"([
      {"bundle": "/Applications/Slack.app", "name": "Slack", "active": true},
      {"bundle": "/Applications/Pages.app", "name": "Pages", "quits": false},
      {"bundle": "/Applications/Odd.app", "policy": "floating"}
    ])");
    const auto names = [&] {
        std::vector<std::string> out;
        for (const auto& app : workspace.runningApplications())
            out.push_back(app.localizedName.value_or("?"));
        return out;
    };
    // An app that asks to save its documents stays; one that is not listed cannot be asked.
    EXPECT_TRUE(workspace.terminate("/Applications/Pages.app"));
    EXPECT_FALSE(workspace.terminate("/Applications/Odd.app"));
    EXPECT_FALSE(workspace.terminate(""));
    EXPECT_EQ(names(), (std::vector<std::string>{"Slack", "Pages"}));
    EXPECT_TRUE(workspace.activate("/Applications/Pages.app"));
    EXPECT_EQ(workspace.frontmostApplication()->localizedName, "Pages");
    // An app's processes end with it; those of others, and a file that is no list, stay.
    machine.write("top/processes.json", R"([
      {"pid": 1, "command": "Slack", "path": "/Applications/Slack.app/Contents/MacOS/Slack"},
      {"pid": 2, "command": "Slack Helper", "path": "/Applications/Slack.app/Contents/Frameworks/H.app/Contents/MacOS/H"},
      {"pid": 3, "command": "Slacker", "path": "/Applications/Slack.app.old/Slacker"},
      {"pid": 4, "command": "Pages", "path": "/Applications/Pages.app/Contents/MacOS/Pages"}, {"pid": 5}
    ])");
    EXPECT_TRUE(workspace.terminate("/Applications/Slack.app"));
    EXPECT_EQ(names(), std::vector<std::string>{"Pages"});
    const auto processes = parseJson(readFile(machine.root() / "top/processes.json").value_or(""));
    ASSERT_TRUE(processes && processes->asArray());
    std::vector<std::int64_t> left;
    for (const auto& process : *processes->asArray()) left.push_back(process.find("pid")->integerValue().value_or(0));
    EXPECT_EQ(left, (std::vector<std::int64_t>{3, 4, 5}));
    EXPECT_FALSE(workspace.activate("/Applications/Slack.app"));
    // A forced end takes even the app that asks to save.
    EXPECT_FALSE(workspace.forceTerminate("/Applications/Slack.app"));
    machine.write("top/processes.json", "not a list");
    EXPECT_TRUE(workspace.forceTerminate("/Applications/Pages.app"));
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(readFile(machine.root() / "top/processes.json"), "not a list");

    machine.write("workspace/running.json", "not json");
    EXPECT_FALSE(workspace.terminate("/Applications/Pages.app"));
    EXPECT_EQ(readFile(machine.root() / "workspace/running.json"), "not json");
}

// A command of the folder's own in place of this machine's, noting its arguments a line each
// in "<command>.calls".
Path recordingCommand(const testing::TempMachine& machine, std::string_view name) {
    const Path command = machine.write(name, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$0.calls\"\n");
    std::filesystem::permissions(command, std::filesystem::perms::owner_all);
    return command;
}

// What a detached child noted, once it has.
std::optional<std::string> awaitCalls(const Path& command) {
    const Path file = command.string() + ".calls";
    for (int i = 0; i < 200 && !fileExists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    return readFile(file);
}

TEST(MachineWorkspace, PagesAndFilesOpenedAreNotedAndOnlyWebLinksAndFilesLeaveTheFolder) {
    testing::TempMachine machine;
    const MachineWorkspace workspace{machine.machine()};
    const Path browser = recordingCommand(machine, "usr/bin/xdg-open");

    EXPECT_TRUE(workspace.open("x-apple.systempreferences:com.apple.Battery-Settings.extension"));
    MachineServiceManagement(machine.machine(), "/Applications/Norvane.app").openSystemSettingsLoginItems();
    const auto opened = readFile(machine.root() / "workspace/opened-urls.jsonl").value_or("");
    EXPECT_THAT(opened, HasSubstr(R"("url":"x-apple.systempreferences:com.apple.Battery-Settings.extension")"));
    EXPECT_THAT(opened, HasSubstr(R"("url":"x-apple.systempreferences:com.apple.LoginItems-Settings.extension")"));

    for (const char* refused :
         {"file:///etc/passwd", "javascript:alert(1)", "ftp://example.com/", "https//x", "", "-https://example.com"})
        EXPECT_FALSE(workspace.open(refused)) << refused;
    EXPECT_TRUE(workspace.open("HTTPS://example.com/';$(touch${IFS}x)"));
    EXPECT_EQ(awaitCalls(browser), "HTTPS://example.com/';$(touch${IFS}x)\n");

    // A file to show goes to the file manager as an escaped URL.
    const Path dbus = recordingCommand(machine, "usr/bin/dbus-send");
    EXPECT_FALSE(workspace.selectFile(""));
    EXPECT_TRUE(workspace.selectFile("/tmp/a,b report's \"1\".html"));
    EXPECT_THAT(awaitCalls(dbus).value_or(""),
                HasSubstr("org.freedesktop.FileManager1.ShowItems\n"
                          "array:string:file:///tmp/a%2Cb%20report%27s%20%221%22.html\n"));
    EXPECT_THAT(readFile(machine.root() / "workspace/selected.jsonl").value_or(""),
                HasSubstr(R"("path":"/tmp/a,b report's \"1\".html")"));
}

TEST(MachineWorkspace, AnnouncementsAppendedToTheFolderReachTheirObserversOnce) {
    testing::TempMachine machine;
    const Machine& m = machine.machine();
    appendWorkspaceEvent(m, {WorkspaceEventKind::didWake, std::nullopt});  // before the source: not told
    MachineWorkspaceEvents events(m);
    std::vector<WorkspaceEvent> told;
    const auto record = [&](const WorkspaceEvent& event) { told.push_back(event); };
    auto ended = events.observe(WorkspaceEventKind::terminated, record);
    auto activated = events.observe(WorkspaceEventKind::activated, record);
    const auto pending = [&] {
        pollfd readable{events.fd(), POLLIN, 0};
        return ::poll(&readable, 1, 0) == 1;
    };
    ASSERT_GE(events.fd(), 0);
    EXPECT_FALSE(pending());

    // The simulated workspace announces an app it quit or brought forward.
    machine.write("workspace/running.json",
                  R"([{"bundle": "/Applications/Mail.app"}, {"bundle": "/Applications/Notes.app"}])");
    const MachineWorkspace workspace{m};
    EXPECT_TRUE(workspace.terminate("/Applications/Mail.app"));
    const Path file = machine.root() / "workspace/events.jsonl";
    appendToFile(file, "not json\n{\"event\": \"exploded\"}\n{\"event\": \"activated\", \"bundle\": \"\"}\n");
    appendToFile(file, R"({"event": "activated", "bundle": "/Applications/X.app")");  // still being written
    EXPECT_TRUE(pending());
    events.deliverPending();
    EXPECT_FALSE(pending());
    using K = WorkspaceEventKind;
    EXPECT_EQ(told,
              (std::vector<WorkspaceEvent>{{K::terminated, "/Applications/Mail.app"}, {K::activated, std::nullopt}}));
    appendToFile(file, "}\n");
    events.deliverPending();
    events.deliverPending();
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(told[2], (WorkspaceEvent{K::activated, "/Applications/X.app"}));

    // An observation that ended hears nothing; a file written anew is read from its start.
    activated.reset();
    writeFileAtomically(file, "{\"event\": \"activated\"}\n{\"event\": \"terminated\", \"bundle\": \"/b.app\"}\n");
    events.deliverPending();
    ASSERT_EQ(told.size(), 4u);
    EXPECT_EQ(told[3], (WorkspaceEvent{K::terminated, "/b.app"}));
}

}  // namespace
}  // namespace norvane
