#include "tests/support/OwnWorld.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <stdio.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace norvane {
namespace {

// A world started from a desktop session's environment keeps only what the test run sets and
// what a fresh login has, and gives its command a session bus of its own, which answers.
TEST(OwnWorld, StartsFromALoginWithWhatTheTestRunSetsAndABusOfItsOwn) {
    const std::string login = "/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin";
    const std::vector<std::pair<std::string, std::optional<std::string>>> outside = {
        {"LD_LIBRARY_PATH=/usr/local/cuda/lib64", std::nullopt},
        {"GTK_PATH=/usr/lib/x86_64-linux-gnu/gtk-3.0", std::nullopt},
        {"GIO_MODULE_DIR=/tmp", std::nullopt},
        {"QT_PLUGIN_PATH=/opt/qt/plugins", std::nullopt},
        {"DISPLAY=:0", std::nullopt},
        {"WAYLAND_DISPLAY=wayland-0", std::nullopt},
        {"XDG_SESSION_TYPE=wayland", std::nullopt},
        {"XDG_CURRENT_DESKTOP=KDE", std::nullopt},
        {"TMPDIR=/var/tmp", std::nullopt},
        {"NORVANE_MACHINE=/home/someone/mac", std::nullopt},
        {"PATH=/home/someone/bin:/usr/bin", login},
        {"LANG=de_DE.UTF-8", "C.UTF-8"},
        {"HOME=/home/someone", std::nullopt},
        {"DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus", std::nullopt},
        {"ASAN_OPTIONS=detect_leaks=1", "detect_leaks=1"},
        {"GTEST_FILTER=Some.Test", "Some.Test"},
        {"NORVANE_TEST_FIXTURES=/fixtures", "/fixtures"},
        {"NORVANE_APP=/build/Norvane", "/build/Norvane"},
        {"NORVANE_JOURNEY_SLOW=3", "3"},
    };
    std::string command = "env -i";
    for (const auto& [variable, inside] : outside) command += " '" + variable + "'";
    command += " '" NORVANE_OWN_WORLD "' /bin/sh -c 'dbus-send --session --print-reply --dest=org.freedesktop.DBus "
               "/ org.freedesktop.DBus.GetId >/dev/null && echo BUS=answered; exec /usr/bin/env'";
    FILE* world = ::popen(command.c_str(), "r");
    ASSERT_TRUE(world);
    std::map<std::string, std::string> inside;
    char line[4096];
    while (::fgets(line, sizeof line, world)) {
        std::string entry(line);
        if (!entry.empty() && entry.back() == '\n') entry.pop_back();
        const auto equals = entry.find('=');
        if (equals != std::string::npos) inside[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    EXPECT_EQ(::pclose(world), 0);

    for (const auto& [variable, kept] : outside) {
        const std::string name = variable.substr(0, variable.find('='));
        if (!kept) continue;  // gone, or the world's own: looked at below
        EXPECT_EQ(inside[name], *kept) << name;
        inside.erase(name);
    }
    const std::string folder = inside["NORVANE_TEST_WORLD"];
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(inside["HOME"], folder + "/home");
    EXPECT_EQ(inside["XDG_RUNTIME_DIR"], folder + "/run");
    EXPECT_EQ(inside["DBUS_SESSION_BUS_ADDRESS"], "unix:path=" + folder + "/run/bus");
    EXPECT_EQ(inside["BUS"], "answered");
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_TRUE(user);
    EXPECT_EQ(inside["USER"], user->pw_name);
    EXPECT_EQ(inside["LOGNAME"], user->pw_name);
    // Nothing else (nothing of the desktop's): the world's folders, the login's names, and what
    // the shell adds.
    for (const char* name : {"NORVANE_TEST_WORLD", "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                             "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS", "BUS", "USER", "LOGNAME",
                             "SHELL", "PWD", testing::sharedProcessesVariable})
        inside.erase(name);
    EXPECT_EQ(inside, (std::map<std::string, std::string>{}));
}

}  // namespace
}  // namespace norvane
