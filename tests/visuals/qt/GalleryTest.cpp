#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <set>

#include "platform/Process.h"
#include "tests/support/TempMachine.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

// Not blank: more than one colour in the picture.
bool hasContent(const QImage& image) {
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != first) return true;
    return false;
}

TEST(Gallery, WritesAPictureOfEveryComponentAndState) {
    testing::ensureQtApplication();
    testing::TempFolder folder;
    ASSERT_TRUE(Machine::createFromTemplate(folder / "machine"));
    const SystemProcessRunner runner{Machine(folder / "machine")};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const auto result = runner.run(NORVANE_GALLERY, {(folder / "out").string()}, ErrorOutput::merge);
    ASSERT_TRUE(result.succeeded()) << result.error << result.output;

    const char* expected[] = {
        "dot-text-9-41", "dot-text-norvane", "dot-glyph", "ring-5", "ring-50", "ring-100", "ring-64-charging",
        "dot-bar-0", "dot-bar-60", "dot-progress-50", "dot-columns", "history-chart-day", "menubar-0",
        "menubar-16", "menubar-50", "menubar-84", "menubar-99", "menubar-100", "menubar-50-awake",
        "app-icons-original", "app-icons-list", "app-icons-everywhere", "pill", "pill-pressed", "pill-disabled",
        "segments", "segments-compact", "segments-none-selected", "segments-long-titles", "backdrop-glass",
        "backdrop-glass-opaque", "backdrop-frost", "backdrop-frost-opaque", "card", "colours",
        "awake-card-idle", "awake-card-timer-list", "awake-card-timer", "awake-card-agents", "awake-card-apps",
        "awake-card-apps-long-name"};
    std::set<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "out")) {
        const QImage image(QString::fromStdString(entry.path().string()));
        ASSERT_FALSE(image.isNull()) << entry.path();
        EXPECT_TRUE(hasContent(image)) << entry.path();
        written.insert(entry.path().stem().string());
    }
    for (const char* name : expected) EXPECT_TRUE(written.contains(name)) << name;

    // It knows no options: one is refused with the usage line, and nothing is made of it.
    const std::string two[] = {(folder / "a").string(), (folder / "b").string()};
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--help"}, {two[0], two[1]}}) {
        const auto refused = runner.run(NORVANE_GALLERY, arguments, ErrorOutput::merge);
        EXPECT_EQ(refused.exitCode, 2) << arguments[0];
        EXPECT_NE(refused.output.find("usage: norvane_gallery [FOLDER]"), std::string::npos) << refused.output;
        EXPECT_FALSE(std::filesystem::exists(arguments[0]));
    }
}

}  // namespace
}  // namespace norvane
