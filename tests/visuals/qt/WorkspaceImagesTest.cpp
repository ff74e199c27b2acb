#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QPainter>

#include "app/visuals/qt/AppMarkView.h"
#include "app/visuals/qt/WorkspaceImages.h"
#include "tests/support/TempMachine.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

class WorkspaceImages : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::ensureQtApplication(); }

    void savePng(const std::string& relative, const QImage& image) {
        machine.write(relative, "");  // makes the folders
        ASSERT_TRUE(image.save(QString::fromStdString((machine.root() / relative).string()), "PNG"));
    }
    void bundle(const std::string& app, const QImage& icon) {
        machine.write("Applications/" + app + "/Contents/Info.plist",
                      "<plist><dict><key>CFBundleIconFile</key><string>AppIcon</string></dict></plist>");
        savePng("Applications/" + app + "/Contents/Resources/AppIcon.png", icon);
    }

    testing::TempMachine machine;
    MachineWorkspace workspace{machine.machine()};
};

QImage filled(QSize size, QColor color) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

TEST_F(WorkspaceImages, DotColorsAverageEachCell) {
    QImage halves(4, 4, QImage::Format_ARGB32);
    halves.fill(Qt::transparent);
    QPainter(&halves).fillRect(0, 0, 2, 4, Qt::red);
    const auto one = dotColors(halves, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_NEAR(one[0][0], 1, 0.02);  // the red, not darkened by the transparent half
    EXPECT_NEAR(one[0][3], 0.5, 0.02);
    const auto two = dotColors(halves, 2);
    ASSERT_EQ(two.size(), 4u);
    EXPECT_EQ(two[0], (std::array<double, 4>{1, 0, 0, 1}));
    EXPECT_EQ(two[1], (std::array<double, 4>{0, 0, 0, 0}));
    EXPECT_EQ(two[2], two[0]);
    EXPECT_EQ(dotColors(filled({3, 5}, Qt::blue), 11).size(), 121u);
    for (int cells : {0, -4, 5000})
        EXPECT_TRUE(dotColors(halves, cells).empty()) << cells;
    EXPECT_TRUE(dotColors(QImage(), 9).empty());
}

TEST_F(WorkspaceImages, TintFromTheDesktopPictureOrTheAccent) {
    savePng("pictures/green.png", filled({40, 30}, QColor(40, 160, 40)));
    savePng("pictures/grey.png", filled({40, 30}, QColor(128, 128, 128)));
    machine.write("pictures/broken.png", "not a picture");
    struct Case {
        const char* desktop;  // nullptr: no file
        double hue;
    };
    const Case cases[] = {
        {R"({"accentColor": [0, 0.5, 1], "screens": [{"desktopPicture": "pictures/green.png"}]})", 1.0 / 3},
        {R"({"accentColor": [0, 0.5, 1], "screens": [{"desktopPicture": "pictures/grey.png"}]})", 7.0 / 12},
        {R"({"accentColor": [0, 0.5, 1], "screens": [{"desktopPicture": "pictures/broken.png"}]})", 7.0 / 12},
        {R"({"accentColor": [0, 0.5, 1], "screens": [{"desktopPicture": "pictures/gone.png"}]})", 7.0 / 12},
        {R"({"accentColor": [0, 0.5, 1], "screens": []})", 7.0 / 12},
        {R"({"screens": [{"desktopPicture": "pictures/grey.png"}]})", 0.1},
        {nullptr, 0.1},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(machine.root() / "workspace/desktop.json");
        if (c.desktop) machine.write("workspace/desktop.json", c.desktop);
        const Color tint = wallpaperTint(workspace);
        EXPECT_NEAR(tint.hue(), c.hue, 0.01) << (c.desktop ? c.desktop : "(no file)");
        EXPECT_NEAR(tint.saturation(), 0.32, 1e-6);
    }
}

// A picture of more than a megapixel is read reduced, every pixel still weighing the same.
TEST_F(WorkspaceImages, TheAverageOfALargePictureIsItsPixelsMean) {
    QImage stripes(1500, 800, QImage::Format_ARGB32);
    stripes.fill(Qt::blue);
    QPainter(&stripes).fillRect(0, 0, 450, 800, Qt::red);  // 30 % red
    QImage half(1500, 800, QImage::Format_ARGB32);
    half.fill(Qt::transparent);
    QPainter(&half).fillRect(0, 400, 1500, 400, Qt::green);
    struct Case {
        const QImage& image;
        const char* format;
        Color mean;
        double within;  // JPEG is lossy
    };
    // 16 bits a channel: summed as they are, not reduced to 8.
    QImage deep(1500, 800, QImage::Format_RGBA64);
    deep.fill(QColor::fromRgba64(32768, 1, 65535, 65535));
    const Case cases[] = {
        {stripes, "PNG", {0.3, 0, 0.7, 1}, 0.01},
        {stripes, "JPG", {0.3, 0, 0.7, 1}, 0.03},
        {half, "PNG", {0, 1, 0, 0.5}, 0.01},
        {deep, "PNG", {32768.0 / 65535, 1.0 / 65535, 1, 1}, 1e-9},
    };
    for (const auto& c : cases) {
        const Path file = machine.root() / (std::string("picture.") + c.format);
        ASSERT_TRUE(c.image.save(QString::fromStdString(file.string()), c.format));
        const auto average = pictureAverage(file);
        ASSERT_TRUE(average) << c.format;
        EXPECT_NEAR(average->red, c.mean.red, c.within) << c.format;
        EXPECT_NEAR(average->green, c.mean.green, c.within) << c.format;
        EXPECT_NEAR(average->blue, c.mean.blue, c.within) << c.format;
        EXPECT_NEAR(average->opacity, c.mean.opacity, c.within) << c.format;
    }
    EXPECT_FALSE(pictureAverage(machine.root() / "none.png"));
    // A FIFO in the picture's place is no picture, and reading it does not wait for a writer.
    ASSERT_EQ(::mkfifo((machine.root() / "fifo.png").c_str(), 0600), 0);
    EXPECT_FALSE(pictureAverage(machine.root() / "fifo.png"));
}

TEST_F(WorkspaceImages, IconsFromTheBundleElseAGenericOne) {
    bundle("Red.app", filled({64, 64}, Qt::red));
    machine.write("Applications/Broken.app/Contents/Info.plist",
                  "<plist><dict><key>CFBundleIconFile</key><string>AppIcon</string></dict></plist>");
    machine.write("Applications/Broken.app/Contents/Resources/AppIcon.png", "\x89PNG truncated");
    EXPECT_EQ(appIconImage(workspace, "/Applications/Red.app", 32).pixelColor(16, 16), QColor(Qt::red));
    for (const char* path : {"/Applications/Broken.app", "/Applications/No Such Tool.app", ""}) {
        const QImage generic = appIconImage(workspace, path, 32);
        ASSERT_FALSE(generic.isNull()) << path;
        EXPECT_EQ(generic.size(), QSize(32, 32));
        EXPECT_GT(generic.pixelColor(16, 16).alpha(), 200) << path;
    }
    const auto sampled = sampleAppIcon(workspace, "/Applications/Red.app", 9);
    ASSERT_TRUE(sampled);
    ASSERT_EQ(sampled->size(), 81u);
    EXPECT_EQ((*sampled)[40], (std::array<double, 4>{1, 0, 0, 1}));
}

TEST_F(WorkspaceImages, MarksShowDotsOrTheIconByStyle) {
    bundle("Mark Test.app", filled({64, 64}, Qt::red));
    const AppMark mark{"/Applications/Mark Test.app", 22, true};
    for (IconStyle style : allIconStyles) {
        AppMarkView view(workspace, mark, style);
        ASSERT_EQ(view.size(), QSize(22, 22));
        const QImage image = testing::rendered(view, 4);
        // Dots leave black gaps between them; the icon is red edge to edge. Cell (5, 5) holds
        // the centre dot, its square 0.78 of the pitch; the gap after it is at 0.89.
        const double pitch = 22.0 / 11;
        auto pixel = [&](double x, double y) {
            return image.pixelColor(static_cast<int>(x * 4), static_cast<int>(y * 4));
        };
        const QColor centre = pixel(5.39 * pitch, 5.39 * pitch);
        const QColor gap = pixel(5.89 * pitch, 5.39 * pitch);
        EXPECT_GT(centre.red(), 200) << rawValue(style);
        if (mark.dots(style))
            EXPECT_LT(gap.red(), 60) << rawValue(style);
        else
            EXPECT_GT(gap.red(), 200) << rawValue(style);
    }
}

}  // namespace
}  // namespace norvane
