#include "app/shell/Command.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

using C = Command;

TEST(ParseCommand, EveryFormOfTheGrammar) {
    // Each command with the URLs that ask for it.
    const std::pair<Command, std::vector<std::string>> accepted[] = {
        {C{C::Awake{AwakeMode::untilStopped()}},
         {"norvane://awake", "NORVANE://AWAKE", "norvane://awake/", "norvane://awake?"}},
        {C{C::Awake{AwakeMode::timer(60)}}, {"norvane://awake?minutes=60"}},
        {C{C::Awake{AwakeMode::timer(1)}}, {"norvane://awake?minutes=1"}},
        {C{C::Awake{AwakeMode::timer(1440)}}, {"norvane://awake?minutes=1440"}},
        {C{C::Awake{AwakeMode::agents()}}, {"norvane://awake?mode=agents"}},
        {C{C::Awake{AwakeMode::app("/Applications/Mail.app")}}, {"norvane://awake?app=/Applications/Mail.app"}},
        {C{C::Awake{AwakeMode::app("/Applications/Visual Studio Code.app")}},
         {"norvane://awake?app=/Applications/Visual%20Studio%20Code.app"}},
        {C{C::Awake{AwakeMode::app("/A/..x/Été.app")}}, {"norvane://awake?app=/A/..x/%C3%89t%C3%A9.app"}},
        {C{C::AwakeOff{}}, {"norvane://awake/off", "norvane://awake//off/"}},
        {C{C::LowPower{true}}, {"norvane://low-power/on"}},
        {C{C::LowPower{false}}, {"norvane://low-power/off"}},
        {C{C::Limit{80}}, {"norvane://limit/80", "norvane://limit/%38%30"}},
        {C{C::Limit{95}}, {"norvane://limit/95"}},
        {C{C::Limit{100}}, {"norvane://limit/100"}},
        {C{C::ChargeFull{}}, {"norvane://charge-full"}},
        {C{C::Open{std::nullopt}}, {"norvane://open"}},
        {C{C::Open{Tab::now}}, {"norvane://open/now"}},
        {C{C::Open{Tab::stats}}, {"norvane://open/stats"}},
    };
    for (const auto& [command, urls] : accepted)
        for (const auto& url : urls)
            EXPECT_EQ(parseCommand(url), command) << url;
}

TEST(ParseCommand, AnythingElseIsNoCommand) {
    const std::vector<std::string> refused[] = {
        // Numbers out of range or not written the one canonical way.
        {"norvane://awake?minutes=0", "norvane://awake?minutes=1441", "norvane://awake?minutes=060",
         "norvane://awake?minutes=+60", "norvane://awake?minutes=", "norvane://awake?minutes",
         "norvane://awake?minutes=-5", "norvane://awake?minutes=1e2", "norvane://awake?minutes=99999999999999999999",
         "norvane://limit/82", "norvane://limit/75", "norvane://limit/080", "norvane://limit/-80", "norvane://limit",
         "norvane://limit/80/90"},
        // Case matters below the host; counts must match exactly; a trailing & is an item.
        {"norvane://awake?mode=Agents", "norvane://awake?Mode=agents", "norvane://awake/OFF", "norvane://open/STATS",
         "norvane://open/settings", "norvane://awake/on", "norvane://awake/off/now", "norvane://charge-full/now",
         "norvane://charge-full?x=1", "norvane://awake?minutes=30&mode=agents", "norvane://awake?minutes=30&",
         "norvane://awake?&", "norvane://awake?x=1", "norvane://low-power", "norvane://low-power/on?x",
         "norvane://open?page=now"},
        // App paths: relative, not a bundle, a way up, a control character once decoded.
        {"norvane://awake?app=Applications/Mail.app", "norvane://awake?app=/Applications/Mail",
         "norvane://awake?app=/Applications/../Mail.app", "norvane://awake?app=/..", "norvane://awake?app=",
         "norvane://awake?app=/Applications/%2E%2E/Mail.app", "norvane://awake?app=/Applications/Ma%00il.app",
         "norvane://awake?app=/Applications/Ma%0Ail.app", "norvane://awake?app=/Applications/Ma%7Fil.app",
         "norvane://awake?app=/Applications/Ma%C2%85il.app", "norvane://awake?app=/Applications/Mail.app\x01"},
        // Bad escapes and invalid UTF-8, wherever they stand.
        {"norvane://awake?app=/Applications/Ma%il.app", "norvane://awake?app=/Applications/Mail.app%",
         "norvane://awake?app=/Applications/M%FFail.app", "norvane://awake?app=/A/%C3.app", "norvane://limit/8%3",
         "norvane://limit/%C0%B8", "norvane://aw%ake", "norvane://awake#%zz"},
        // Not this scheme, no host, or more than a host.
        {"other://awake", "norvane:awake", "norvane:///awake", "norvane://", "", "awake", "norvane://user@awake",
         "norvane://:pw@awake", "norvane://@awake", "norvane://awake:80", "norvane://awake#", "norvane://awake#top",
         "norvane://awake ?", "norvane://awake\n", "norvane://[::1]"},
    };
    for (const auto& urls : refused)
        for (const auto& url : urls)
            EXPECT_EQ(parseCommand(url), std::nullopt) << url;

    // No path longer than the system takes (PATH_MAX with its end, NAME_MAX a name).
    const auto deep = [](std::size_t length) {
        std::string path;
        while (path.size() + 5 < length) path += "/" + std::string(std::min<std::size_t>(200, length - path.size() - 6), 'a');
        return path + std::string(length - path.size() - 4, 'b') + ".app";
    };
    ASSERT_EQ(deep(4095).size(), 4095u);
    EXPECT_EQ(parseCommand("norvane://awake?app=" + deep(4095)), (Command{Command::Awake{AwakeMode::app(deep(4095))}}));
    for (const std::string& path : {deep(4096), deep(1 << 20), "/" + std::string(252, 'n') + ".app"})
        EXPECT_EQ(parseCommand("norvane://awake?app=" + path), std::nullopt) << path.size();
}

}  // namespace
}  // namespace norvane
