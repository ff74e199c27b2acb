#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "app/analysis/Attention.h"

namespace norvane {
namespace {

const Date now{1'780'000'000};
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

AppUsage app(std::string id, double impact, std::string name = "") {
    if (name.empty()) name = appName(id);
    return {std::move(id), std::move(name), impact, 1};
}

const AppUsage chrome = app("/Applications/Google Chrome.app", 40);
const AppUsage mail = app("/System/Applications/Mail.app", 30);
const AppUsage system = app("", 30);

// ---- Attention -------------------------------------------------------------------------

TEST(Attention, AHeavyRunKeepsTheDateOfItsFirstSampleIsSustainedFrom120SecondsAndEndsOnALightOne) {
    Attention attention;
    attention.update({chrome, mail, system}, now);  // 40 of 100 and 30 of 100: both heavy
    EXPECT_EQ(attention.above, (std::map<std::string, Date>{{chrome.id, now}, {mail.id, now}}));
    for (double t = 5; t <= 120; t += 5)
        attention.update({chrome, system}, now + t);
    EXPECT_EQ(attention.above, (std::map<std::string, Date>{{chrome.id, now}}));
    EXPECT_FALSE(attention.sustained(chrome, now + 119.999));
    EXPECT_TRUE(attention.sustained(chrome, now + 120));
    EXPECT_TRUE(attention.sustained(chrome, now + 600));
    EXPECT_FALSE(attention.sustained(mail, now + 600));  // its run has ended

    attention.update({app(chrome.id, 5), system}, now + 200);  // light: below 10 of impact
    EXPECT_TRUE(attention.above.empty());
    attention.update({chrome, system}, now + 205);  // heavy again: a new wait
    EXPECT_FALSE(attention.sustained(chrome, now + 300));
    EXPECT_TRUE(attention.sustained(chrome, now + 325));
    // An app missing from a sample is not heavy in it either.
    attention.update({system}, now + 330);
    EXPECT_TRUE(attention.above.empty());
}

TEST(Attention, HeavyNeedsAnImpactOf10AndAQuarterOfAPositiveTotalAndIsNeverTheSystem) {
    const std::pair<std::vector<AppUsage>, std::vector<std::string>> cases[] = {
        {{app("/A.app", 10), app("/B.app", 30)}, {"/A.app", "/B.app"}},  // exactly 10 and exactly 0.25
        {{app("/A.app", 9.99)}, {}},                                     // all the energy, but below 10
        {{app("/A.app", 24.9), app("/B.app", 75.1)}, {"/B.app"}},        // a share below 0.25
        {{app("", 95), app("/A.app", 5)}, {}},
        {{app("", 95), app("/A.app", 20)}, {}},  // the System group still counts in the total
        {{app("/A.app", 0), app("/B.app", 0)}, {}},
        {{app("/A.app", 20), app("/B.app", -20)}, {}},
        {{app("/A.app", 20), app("/B.app", -30)}, {}},
        {{}, {}},
        {{app("/A.app", nan), chrome}, {}},
    };
    for (const auto& [sample, heavy] : cases) {
        Attention attention;
        attention.update({chrome, system}, now - 5);  // a run that a sample without it ends
        attention.update(sample, now);
        std::map<std::string, Date> expected;
        for (const auto& id : heavy)
            expected.emplace(id, now);
        EXPECT_EQ(attention.above, expected) << ::testing::PrintToString(heavy) << " of " << sample.size();
        EXPECT_FALSE(attention.sustained(app("", 95), now + 1'000));
    }
}

// ---- advice ----------------------------------------------------------------------------

std::string adviceFor(const std::string& name, double share = 0.3, bool inUse = false, bool sustained = false) {
    return advice(app("/Applications/" + name + ".app", 20, name), share, inUse, sustained);
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

TEST(Advice, ByWholeWordsOfTheNameInAnyCaseThenInUseSustainedAndShare) {
    const std::string barely = "Barely matters: quitting changes little";
    const std::string other = "Quit it if you don't need it now";
    const std::string done = "Quit it when you're done with it";
    const std::string music = "Pause playback or quit it";
    const std::string browser = "Close it, or at least its heavy tabs";
    const std::string game = "Quit it: games drain even in the background";
    const std::string call = "Quit it after the call";
    const std::string code = "Quit it between coding sessions";
    const std::string docker = "Shut it down while you don't need it";
    const std::string heavy = "Heavy for a while. Quit it if you can";
    // Whole words only: letters and digits of every script (an é, TVアプリ, an Arabic-Indic
    // digit) and "_" belong to the word, and so does a space inside a family's name. A name
    // in no family (the path is not matched) gets the general advice.
    const std::vector<std::string> unknown = {
        "Arcade",   "Knowledge Base", "Musical",    "Steamworks",           "TVs",        "Spotify_Helper",
        "FinalCut", "Visual Studio",  "Zoom\u00E9", "TV\u30A2\u30D7\u30EA", "Zoom\u0663", "Notes",
    };
    for (const auto& name : unknown)
        EXPECT_EQ(adviceFor(name), other) << name;
    EXPECT_EQ(adviceFor("Final Cut Pro"), "Quit it while you aren't editing");
    EXPECT_EQ(adviceFor("Cult of the Lamb Remastered"), game);
    // An em dash separates. The row order decides, not the position in the name: Music (row
    // 1) before Steam (row 8). Case does not matter.
    const std::pair<std::string, std::string> names[] = {
        {"Apple TV", music},          {"Arc", browser},           {"Microsoft Edge", browser},
        {"Spotify-Helper", music},    {"Cult Of The Lamb", game}, {"Visual Studio Code", code},
        {"Spotify Caf\u00E9", music}, {"\u00E9 Zoom", call},      {"zoom\u2014call", call},
        {"Xcode Safari", browser},    {"Safari Xcode", browser},  {"Steam Music", music},
        {"docker desktop", docker},   {"DOCKER", docker},         {"apple tv", music},
        {"VISUAL STUDIO CODE", code},
    };
    for (const auto& [name, expected] : names)
        EXPECT_EQ(adviceFor(name), expected) << name;
    EXPECT_EQ(adviceFor("Safari Technology Preview for Xcode", 0.3, true), "Close the tabs you don't need");
    // A small share barely matters, whatever the app. Outside the table: in use whatever else
    // holds; in the background sustained first, then the share.
    struct Case {
        const char* name;
        double share;
        bool inUse, sustained;
        std::string expected;
    };
    const Case cases[] = {
        {"Steam", 0.049, false, false, barely}, {"Steam", 0.049, true, true, barely},
        {"Notes", 0, false, false, barely},     {"Notes", -1, false, false, barely},
        {"Steam", 0.05, false, false, game},    {"Notes", 0.9, true, true, done},
        {"Notes", 0.1, false, true, heavy},     {"Notes", 0.25, false, false, other},
        {"Notes", 0.2, false, false, done},     {"Notes", nan, false, false, done},
    };
    for (const Case& c : cases)
        EXPECT_EQ(adviceFor(c.name, c.share, c.inUse, c.sustained), c.expected) << c.name << " " << c.share;
    EXPECT_EQ(advice(app("/Applications/Steam.app", 20, "Notes"), 0.3, false, false), other);
    EXPECT_EQ(advice(app("", 20), 0.3, false, false), other);  // the System group
}

}  // namespace
}  // namespace norvane
