#include "app/shell/qt/WorkspaceTint.h"

#include <gtest/gtest.h>

#include <QImage>

#include "tests/support/TempMachine.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

// The picture's average is kept by its path and stamp: read from the cache while the file
// stays as it was, decoded again once it changes; a cache that is not ours is read past.
TEST(WorkspaceTint, ThePicturesAverageIsKeptByTheFilesStamp) {
    testing::ensureQtApplication();
    testing::TempMachine machine;
    const Path picture = machine.root() / "pictures/green.png";
    const Path cacheFile = machine.root() / "cache/Norvane/desktop-picture.json";
    const auto save = [&](QColor color, int width) {
        QImage image(width, 30, QImage::Format_ARGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(QString::fromStdString(picture.string()), "PNG"));
    };
    machine.write("pictures/.keep", "");
    save(QColor(40, 160, 40), 40);
    machine.write("workspace/desktop.json", R"({"accentColor": [0, 0.5, 1], "screens": [{"desktopPicture": "pictures/green.png"}]})");
    const WorkspaceTint tint(std::make_shared<MachineWorkspace>(machine.machine()), PictureAverageCache(cacheFile));
    // Known at once: the accent alone until the picture is decoded, then the kept average.
    EXPECT_FALSE(tint.knownTint().settled);
    EXPECT_NEAR(tint.knownTint().tint.hue(), 7.0 / 12, 0.01);
    EXPECT_NEAR(tint.wallpaperTint().hue(), 1.0 / 3, 0.01);
    EXPECT_TRUE(tint.knownTint().settled);
    EXPECT_NEAR(tint.knownTint().tint.hue(), 1.0 / 3, 0.01);

    const PictureAverageCache cache(cacheFile);
    const auto stamp = *fileStamp(picture);
    ASSERT_TRUE(cache.find(picture, stamp));
    // What is kept is what counts, as long as the file stays as it was.
    cache.keep(picture, stamp, Color{0.9, 0.1, 0.1, 1});
    EXPECT_NEAR(tint.wallpaperTint().hue(), 0, 0.01);
    // A picture without an image is kept as such: the accent's hue.
    cache.keep(picture, stamp, std::nullopt);
    EXPECT_EQ(cache.find(picture, stamp), std::optional<std::optional<Color>>(std::in_place));
    EXPECT_NEAR(tint.wallpaperTint().hue(), 7.0 / 12, 0.01);

    for (const char* foreign : {"[1]", R"({"picture": 1})", "{broken",
                                R"({"picture": "x", "stamp": "y", "average": [2, 0, 0, 1]})"}) {
        machine.write("cache/Norvane/desktop-picture.json", foreign);
        EXPECT_FALSE(cache.find(picture, stamp)) << foreign;
        EXPECT_NEAR(tint.wallpaperTint().hue(), 1.0 / 3, 0.01) << foreign;  // decoded, and kept again
        EXPECT_TRUE(cache.find(picture, stamp)) << foreign;
    }
    // Another picture in the same place has another stamp.
    save(QColor(160, 40, 40), 41);
    EXPECT_FALSE(cache.find(picture, *fileStamp(picture)));
    EXPECT_NEAR(tint.wallpaperTint().hue(), 0, 0.01);
    EXPECT_FALSE(cache.find(machine.root() / "pictures/other.png", *fileStamp(picture)));
    machine.write("workspace/desktop.json", R"({"accentColor": [0, 0.5, 1], "screens": []})");
    EXPECT_TRUE(tint.knownTint().settled);  // no picture, nothing to decode
}

}  // namespace
}  // namespace norvane
