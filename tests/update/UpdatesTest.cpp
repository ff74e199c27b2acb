#include "app/update/Updates.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/PropertyList.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempMachine.h"
#include "tests/update/UpdateBundles.h"

namespace norvane {
namespace {

using Args = std::vector<std::string>;

TEST(ParseLatestRelease, AcceptsValidFeedsAndDropsNotesAndHashesThatDoNotFit) {
    const auto repeat = [](const std::string& text, int times) {
        std::string out;
        while (times-- > 0)
            out += text;
        return out;
    };
    const std::string upper(64, 'A'), lower(64, 'a');
    // Fullwidth Ａ and ａ; e and a combining acute, two code points a character.
    const std::string fullwidth = repeat("\uFF21", 64), fullwidthLower = repeat("\uFF41", 64);
    const std::string combined = repeat("e\u0301", 250), combined240 = repeat("e\u0301", 240);
    const std::vector<std::pair<std::string, AvailableUpdate>> cases = {
        {R"({"version":"1.5","build":60})", {"1.5", 60, {}, std::nullopt}},
        {R"({"version":"1.5","build":12.0,"other":[1]})", {"1.5", 12, {}, std::nullopt}},
        {R"({"version":"1.5","build":1e2})", {"1.5", 100, {}, std::nullopt}},
        {R"({"version":"12345678901234567890","build":9223372036854775807})",
         {"12345678901234567890", INT64_MAX, {}, std::nullopt}},
        {R"({"version":"١.٥²","build":1})", {"١.٥²", 1, {}, std::nullopt}},  // any script's numbers
        {R"({"version":"1","build":2,"notes":["a",7,"b","c","d"]})", {"1", 2, {"a", "b", "c"}, std::nullopt}},
        {R"({"version":"1","build":2,"notes":")" + std::string(300, 'n') + R"("})", {"1", 2, {}, std::nullopt}},
        {R"({"version":"1","build":2,"notes":[")" + std::string(300, 'n') + "\",\"" + combined + R"("]})",
         {"1", 2, {std::string(240, 'n'), combined240}, std::nullopt}},
        {R"({"version":"1","build":2,"sha256":")" + upper + R"("})", {"1", 2, {}, lower}},
        {R"({"version":"1","build":2,"sha256":")" + fullwidth + R"("})", {"1", 2, {}, fullwidthLower}},
        {R"({"version":"1","build":2,"sha256":")" + std::string(63, 'a') + R"("})", {"1", 2, {}, std::nullopt}},
        {R"({"version":"1","build":2,"sha256":")" + std::string(63, 'a') + R"(g"})", {"1", 2, {}, std::nullopt}},
        {R"({"version":"1","build":2,"sha256":12})", {"1", 2, {}, std::nullopt}},
    };
    for (const auto& [feed, offer] : cases)
        EXPECT_EQ(parseLatestRelease(feed), offer) << feed;
}

TEST(ParseLatestRelease, RefusesFeedsWithoutAVersionAndABuild) {
    // Not an object (nesting too deep to follow among them), or without a version or a build.
    std::vector<std::string> feeds = {
        "{}", "[]", "not json", R"("1.5")", "", "\xFF", R"({"build":60})", R"({"version":"1.5"})",
    };
    feeds.push_back(std::string(100000, '[') + std::string(100000, ']'));
    // Versions of anything but digits and dots, or longer than 20; builds that are not
    // positive integers of 64 bits.
    const std::string longVersion = '"' + std::string(21, '1') + '"';
    for (const auto& version :
         std::initializer_list<std::string>{R"("")", longVersion, R"("1.5-beta")", R"("1.5 ")", R"("v1")", "1.5"})
        feeds.push_back(R"({"version":)" + version + R"(,"build":60})");
    for (const char* build : {"0", "-3", "12.5", R"("60")", "true", "9223372036854775808", "1e300"})
        feeds.push_back(R"({"version":"1.5","build":)" + std::string(build) + "}");
    for (const auto& feed : feeds)
        EXPECT_EQ(parseLatestRelease(feed), std::nullopt) << feed.substr(0, 80);
}

TEST(Updates, RunningBuildAndVersionFromTheBundleOrTheCommandLine) {
    testing::TempFolder dir;
    struct Case {
        Args arguments;
        std::optional<std::string> version, shortVersion;
        std::optional<std::int64_t> build;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {{}, "57", "1.4.2", 57, "1.4.2 (57)"},
        {{"--update-as", "99"}, "57", "1.4.2", 99, "1.4.2 (99)"},
        {{"--update-as", "+7"}, "1.2", "1.4.2", 7, "1.4.2 (7)"},
        {{"--update-as", "-3"}, std::nullopt, "1.4.2", -3, "1.4.2 (-3)"},
        {{"--update-as", "abc"}, "57", "1.4.2", 57, "1.4.2 (57)"},
        {{"--update-as", " 5"}, "57", "1.4.2", 57, "1.4.2 (57)"},
        {{"--update-as", "9223372036854775808"}, "57", "1.4.2", 57, "1.4.2 (57)"},
        {{"--update-as", "x", "--update-as", "5"}, "57", "1.4.2", 57, "1.4.2 (57)"},
        {{"--update-as"}, "57", "1.4.2", 57, "1.4.2 (57)"},
        {{}, "1.2", "1.4.2", std::nullopt, "1.4.2"},
        {{}, "57", std::nullopt, 57, "development build"},
    };
    for (const auto& c : cases) {
        testing::BundleRecipe recipe(c.version, "");
        recipe.shortVersion = c.shortVersion;
        const Path app = testing::makeBundle(dir / "Norvane.app", recipe);
        const FolderBundle bundle(app);
        Args arguments{"/Applications/Norvane.app/Contents/MacOS/Norvane"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Updates updates(arguments, bundle);
        EXPECT_EQ(updates.runningBuild(), c.build) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(updates.runningVersion(), c.shown) << ::testing::PrintToString(c.arguments);
        std::filesystem::remove_all(app);
    }
    // A program outside any bundle.
    const FolderBundle folder(dir.path());
    EXPECT_EQ(Updates({"norvane"}, folder).runningBuild(), std::nullopt);
    EXPECT_EQ(Updates({"norvane"}, folder).runningVersion(), "development build");
}

TEST(Updates, TheFeedAddressIsTheWebsitesUnlessTheOptionGivesAUrl) {
    const FolderBundle bundle("/nowhere");
    const std::vector<std::pair<Args, std::string>> cases = {
        {{}, "https://norvane.app/version.json"},
        {{"--update-source", "http://127.0.0.1:8080/feed.json"}, "http://127.0.0.1:8080/feed.json"},
        {{"--update-source", "not a url"}, "https://norvane.app/version.json"},
        {{"--update-source", "feed.json"}, "https://norvane.app/version.json"},
        {{"--update-source", ""}, "https://norvane.app/version.json"},
        {{"--update-source"}, "https://norvane.app/version.json"},
    };
    for (const auto& [arguments, source] : cases) {
        Args line{"Norvane"};
        line.insert(line.end(), arguments.begin(), arguments.end());
        EXPECT_EQ(Updates(line, bundle).source(), source) << ::testing::PrintToString(arguments);
    }
}

TEST(Updates, LatestIsTheOfferOfAFeedAnsweredWith200AndNothingOtherwise) {
    testing::LoopbackServer server;
    const std::string feed = R"({"version":"1.5","build":60})";
    using Answer = testing::LoopbackServer::Answer;
    const std::vector<std::pair<Answer, bool>> cases = {
        {Answer(200, feed), true},
        {Answer(304), false},
        {Answer(500, feed), false},
        {Answer(201, feed), false},
        {Answer(200, "not json"), false},
        {Answer(200, feed).announcing(feed.size() + 10), false},  // a short body
        {Answer(200, feed).stallingAfter(5), false},
        {Answer(200, feed).announcing(std::nullopt), true},  // no length: ends when the connection does
    };
    const FolderBundle bundle("/nowhere");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        server.answer("/version.json", cases[i].first);
        const Updates updates({"Norvane", "--update-source", server.url("/version.json")}, bundle, 0.3);
        EXPECT_EQ(updates.latest(), cases[i].second ? parseLatestRelease(feed) : std::nullopt) << "case " << i;
    }
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests().front().headers["accept"], "application/json");
    EXPECT_FALSE(Updates({"Norvane", "--update-source", testing::LoopbackServer::refusedUrl()}, bundle).latest());

    // A feed trickled a byte at a time never goes idle; its deadline ends the check.
    server.answer("/version.json", Answer(200, feed + std::string(400, ' ')).trickling(0.1));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(Updates({"Norvane", "--update-source", server.url("/version.json")}, bundle, feedIdleLimit, 1).latest());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

}  // namespace
}  // namespace norvane
