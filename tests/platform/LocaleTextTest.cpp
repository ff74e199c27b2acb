#include <gtest/gtest.h>

#include "platform/LocaleText.h"

namespace norvane {
namespace {

TEST(LocaleText, ListsJoinAsTheLanguageDoes) {
    struct Case {
        const char* locale;
        std::vector<std::string> items;
        const char* joined;
    };
    const Case cases[] = {
        {"en_US", {}, ""},
        {"en_US", {"Claude"}, "Claude"},
        {"en_US", {"Claude", "Codex"}, "Claude and Codex"},
        {"en_US", {"Aider", "Claude", "Codex"}, "Aider, Claude, and Codex"},
        {"en_GB", {"Aider", "Claude", "Codex"}, "Aider, Claude and Codex"},
        {"de_DE.UTF-8", {"Aider", "Claude", "Codex"}, "Aider, Claude und Codex"},
    };
    for (const auto& c : cases) EXPECT_EQ(LocaleText(c.locale).conjunction(c.items), c.joined) << c.locale;
}

TEST(LocaleText, ComparesIgnoringCaseInTheLanguagesOrder) {
    const LocaleText english("en_US");
    EXPECT_EQ(english.compare("slack", "Slack"), 0);
    EXPECT_LT(english.compare("firefox", "Slack"), 0);
    EXPECT_GT(english.compare("Zoom", "äpfel"), 0);  // ä sorts with a, not after z
    EXPECT_NE(english.compare("resume", "résumé"), 0);
    EXPECT_GT(LocaleText("sv_SE").compare("äpfel", "Zoom"), 0);  // in Swedish ä follows z
}

}  // namespace
}  // namespace norvane
