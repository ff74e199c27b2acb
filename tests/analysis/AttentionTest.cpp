#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "app/analysis/Attention.h"

namespace norvane {
namespace {

const Date now{1'780'000'000};

AppUsage app(std::string id, double impact, std::string name = "") {
    if (name.empty()) name = appName(id);
    return {std::move(id), std::move(name), impact, 1};
}

const AppUsage chrome = app("/Applications/Google Chrome.app", 40);
const AppUsage mail = app("/System/Applications/Mail.app", 30);
const AppUsage system = app("", 30);

// ---- Attention -------------------------------------------------------------------------

TEST(Attention, AHeavyAppKeepsTheDateOfItsFirstHeavySample) {
    Attention attention;
    attention.update({chrome, mail, system}, now);  // 40 of 100 and 30 of 100: both heavy
    EXPECT_EQ(attention.above, (std::map<std::string, Date>{{chrome.id, now}, {mail.id, now}}));
    attention.update({chrome, mail, system}, now + 5);
    EXPECT_EQ(attention.above.at(chrome.id), now);
}

TEST(Attention, SustainedFromExactly120Seconds) {
    Attention attention;
    for (double t = 0; t <= 120; t += 5)
        attention.update({chrome, system}, now + t);
    EXPECT_FALSE(attention.sustained(chrome, now + 119.999));
    EXPECT_TRUE(attention.sustained(chrome, now + 120));
    EXPECT_TRUE(attention.sustained(chrome, now + 600));
    EXPECT_FALSE(attention.sustained(mail, now + 600));  // never heavy
}

TEST(Attention, OneLightSampleEndsTheRun) {
    Attention attention;
    attention.update({chrome, system}, now);
    attention.update({app(chrome.id, 5), system}, now + 100);  // light: below 10 of impact
    EXPECT_FALSE(attention.above.contains(chrome.id));
    attention.update({chrome, system}, now + 105);  // heavy again: a new wait
    EXPECT_EQ(attention.above.at(chrome.id), now + 105);
    EXPECT_FALSE(attention.sustained(chrome, now + 200));
    EXPECT_TRUE(attention.sustained(chrome, now + 225));
    // An app missing from a sample is not heavy in it either.
    attention.update({system}, now + 230);
    EXPECT_TRUE(attention.above.empty());
}

TEST(Attention, HeavyNeedsAnImpactOf10AndAQuarterOfTheTotal) {
    Attention attention;
    attention.update({app("/A.app", 10), app("/B.app", 30)}, now);  // exactly 10 and exactly 0.25
    EXPECT_TRUE(attention.above.contains("/A.app"));
    EXPECT_TRUE(attention.above.contains("/B.app"));
    attention.update({app("/A.app", 9.99)}, now);  // all the energy, but below 10
    EXPECT_TRUE(attention.above.empty());
    attention.update({app("/A.app", 24.9), app("/B.app", 75.1)}, now);  // a share below 0.25
    EXPECT_EQ(attention.above, (std::map<std::string, Date>{{"/B.app", now}}));
}

TEST(Attention, TheSystemGroupIsNeverHeavy) {
    Attention attention;
    attention.update({app("", 95), app("/A.app", 5)}, now);
    EXPECT_TRUE(attention.above.empty());
    EXPECT_FALSE(attention.sustained(app("", 95), now + 1'000));
    // The System group still counts in the total.
    attention.update({app("", 95), app("/A.app", 20)}, now);
    EXPECT_TRUE(attention.above.empty());
}

TEST(Attention, ATotalOf0OrBelowMakesNothingHeavy) {
    Attention attention;
    attention.update({chrome, system}, now);
    attention.update({app("/A.app", 0), app("/B.app", 0)}, now + 5);
    EXPECT_TRUE(attention.above.empty());
    attention.update({app("/A.app", 20), app("/B.app", -20)}, now + 10);
    EXPECT_TRUE(attention.above.empty());
    attention.update({app("/A.app", 20), app("/B.app", -30)}, now + 10);
    EXPECT_TRUE(attention.above.empty());
    attention.update({}, now + 15);
    EXPECT_TRUE(attention.above.empty());
    attention.update({app("/A.app", std::numeric_limits<double>::quiet_NaN()), chrome}, now + 20);
    EXPECT_TRUE(attention.above.empty());
}

// ---- advice ----------------------------------------------------------------------------

std::string adviceFor(const std::string& name, double share = 0.3, bool inUse = false, bool sustained = false) {
    return advice(app("/Applications/" + name + ".app", 20, name), share, inUse, sustained);
}

TEST(Advice, ASmallShareBarelyMattersWhateverTheApp) {
    EXPECT_EQ(adviceFor("Steam", 0.049), "Barely matters: quitting changes little");
    EXPECT_EQ(adviceFor("Steam", 0.049, true, true), "Barely matters: quitting changes little");
    EXPECT_EQ(adviceFor("Notes", 0), "Barely matters: quitting changes little");
    EXPECT_EQ(adviceFor("Notes", -1), "Barely matters: quitting changes little");
    EXPECT_EQ(adviceFor("Steam", 0.05), "Quit it: games drain even in the background");
}

TEST(Advice, EveryFamilyRowHasItsTwoTexts) {
    struct Row {
        const char* name;
        const char* inUse;
        const char* background;
    };
    const Row rows[] = {
        {"Spotify", "Lower the video quality or pause", "Pause playback or quit it"},
        {"Firefox", "Close the tabs you don't need", "Close it, or at least its heavy tabs"},
        {"Xcode", "Builds and indexing cost the most", "Quit it between coding sessions"},
        {"OrbStack", "Stop the machines you aren't testing", "Shut it down while you don't need it"},
        {"zoom.us", "Turn the camera off if you can", "Quit it after the call"},
        {"Slack", "Quit it when you're done with it", "Quit it and check messages later"},
        {"Figma", "Leave exports and renders for wall power", "Quit it while you aren't editing"},
        {"Hades", "Games drain fast: lower the frame rate", "Quit it: games drain even in the background"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(adviceFor(row.name, 0.3, true), row.inUse) << row.name;
        EXPECT_EQ(adviceFor(row.name, 0.3, false), row.background) << row.name;
        // The family wins over the sustained and share rules.
        EXPECT_EQ(adviceFor(row.name, 0.9, false, true), row.background) << row.name;
    }
}

TEST(Advice, WordsMatchWholeWordsOnly) {
    EXPECT_EQ(adviceFor("Apple TV"), "Pause playback or quit it");
    EXPECT_EQ(adviceFor("Arc"), "Close it, or at least its heavy tabs");
    EXPECT_EQ(adviceFor("Arcade"), "Quit it if you don't need it now");  // not Arc
    EXPECT_EQ(adviceFor("Microsoft Edge"), "Close it, or at least its heavy tabs");
    EXPECT_EQ(adviceFor("Knowledge Base"), "Quit it if you don't need it now");  // no Edge inside a word
    EXPECT_EQ(adviceFor("Musical"), "Quit it if you don't need it now");
    EXPECT_EQ(adviceFor("Steamworks"), "Quit it if you don't need it now");
    EXPECT_EQ(adviceFor("TVs"), "Quit it if you don't need it now");
    EXPECT_EQ(adviceFor("Spotify_Helper"), "Quit it if you don't need it now");  // "_" is a word character
    EXPECT_EQ(adviceFor("Spotify-Helper"), "Pause playback or quit it");
    EXPECT_EQ(adviceFor("Final Cut Pro"), "Quit it while you aren't editing");
    EXPECT_EQ(adviceFor("FinalCut"), "Quit it if you don't need it now");  // the space is part of the word
    EXPECT_EQ(adviceFor("Cult Of The Lamb"), "Quit it: games drain even in the background");
    EXPECT_EQ(adviceFor("Cult of the Lamb Remastered"), "Quit it: games drain even in the background");
    EXPECT_EQ(adviceFor("Visual Studio Code"), "Quit it between coding sessions");
    EXPECT_EQ(adviceFor("Visual Studio"), "Quit it if you don't need it now");
    EXPECT_EQ(adviceFor("Spotify Caf\xC3\xA9"), "Pause playback or quit it");  // UTF-8 elsewhere in the name
    // Letters and digits of every script belong to the word.
    EXPECT_EQ(adviceFor("Zoom\xC3\xA9"), "Quit it if you don't need it now");
    EXPECT_EQ(adviceFor("TV\xE3\x82\xA2\xE3\x83\x97\xE3\x83\xAA"), "Quit it if you don't need it now");  // TVアプリ
    EXPECT_EQ(adviceFor("Zoom\xD9\xA3"), "Quit it if you don't need it now");  // an Arabic-Indic digit
    EXPECT_EQ(adviceFor("\xC3\xA9 Zoom"), "Quit it after the call");
    EXPECT_EQ(adviceFor("zoom\xE2\x80\x94" "call"), "Quit it after the call");  // an em dash separates
}

TEST(Advice, RowOrderDecidesNotThePositionInTheName) {
    EXPECT_EQ(adviceFor("Xcode Safari"), "Close it, or at least its heavy tabs");
    EXPECT_EQ(adviceFor("Safari Xcode"), "Close it, or at least its heavy tabs");
    EXPECT_EQ(adviceFor("Safari Technology Preview for Xcode", 0.3, true), "Close the tabs you don't need");
    // Steam (row 8) and Music (row 1): row 1.
    EXPECT_EQ(adviceFor("Steam Music"), "Pause playback or quit it");
}

TEST(Advice, TheWordTestIgnoresCase) {
    EXPECT_EQ(adviceFor("docker desktop"), "Shut it down while you don't need it");
    EXPECT_EQ(adviceFor("DOCKER"), "Shut it down while you don't need it");
    EXPECT_EQ(adviceFor("apple tv"), "Pause playback or quit it");
    EXPECT_EQ(adviceFor("VISUAL STUDIO CODE"), "Quit it between coding sessions");
}

TEST(Advice, TheNameIsMatchedNotThePath) {
    EXPECT_EQ(advice(app("/Applications/Steam.app", 20, "Notes"), 0.3, false, false),
              "Quit it if you don't need it now");
}

TEST(Advice, AppsOutsideTheTable) {
    // In use, whatever else holds.
    EXPECT_EQ(adviceFor("Notes", 0.9, true, true), "Quit it when you're done with it");
    // In the background: sustained first, then the share.
    EXPECT_EQ(adviceFor("Notes", 0.1, false, true), "Heavy for a while. Quit it if you can");
    EXPECT_EQ(adviceFor("Notes", 0.3, false, false), "Quit it if you don't need it now");
    EXPECT_EQ(adviceFor("Notes", 0.25, false, false), "Quit it if you don't need it now");
    EXPECT_EQ(adviceFor("Notes", 0.2, false, false), "Quit it when you're done with it");
    EXPECT_EQ(adviceFor("Notes", std::numeric_limits<double>::quiet_NaN()), "Quit it when you're done with it");
    EXPECT_EQ(advice(app("", 20), 0.3, false, false), "Quit it if you don't need it now");  // "System"
}

}  // namespace
}  // namespace norvane
