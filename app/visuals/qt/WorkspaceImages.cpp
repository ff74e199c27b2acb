#include "app/visuals/qt/WorkspaceImages.h"

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/analysis/AppUsage.h"
#include "app/visuals/WallpaperTint.h"
#include "platform/PngAverage.h"

namespace norvane {
namespace {

QImage load(const Path& path) {
    QImage image(QString::fromStdString(path.string()));
    return image;
}

// A PNG is averaged row by row as it is decoded (platform/PngAverage.h). Any other picture of
// more than a megapixel is decoded at a reduced size that fits this many pixels a side by its
// own decoder (a JPEG at an eighth of its size, summing each block), or not at all where the
// decoder can only give the whole picture: that would take the memory of its full size. A
// smaller one is read whole, which costs less than reducing it.
constexpr int averagedSide = 256;
constexpr qint64 wholePixels = 1024 * 1024;

// Every pixel weighs the same (the premultiplied colours summed exactly, then the opacity
// taken back out), as the picture drawn into one pixel would be.
std::optional<Color> imageAverage(const QImage& decoded) {
    const QImage image = decoded.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull()) return std::nullopt;
    std::uint64_t sums[4] = {0, 0, 0, 0};
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* pixel = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x, pixel += 4) {
            sums[0] += pixel[0];
            sums[1] += pixel[1];
            sums[2] += pixel[2];
            sums[3] += pixel[3];
        }
    }
    const double pixels = static_cast<double>(image.width()) * image.height();
    const double opacity = static_cast<double>(sums[3]) / pixels / 255;
    if (!(opacity > 0)) return Color{0, 0, 0, 0};
    const auto channel = [&](int i) { return std::min(static_cast<double>(sums[i]) / pixels / 255 / opacity, 1.0); };
    return Color{channel(0), channel(1), channel(2), opacity};
}

// A generic application icon: a grey rounded square with the name's first letter.
QImage drawnIcon(const std::string& path, int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF square(pixels * 0.09, pixels * 0.09, pixels * 0.82, pixels * 0.82);
    QLinearGradient shade(square.topLeft(), square.bottomLeft());
    shade.setColorAt(0, QColor(150, 156, 166));
    shade.setColorAt(1, QColor(96, 102, 112));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shade);
    painter.drawRoundedRect(square, pixels * 0.18, pixels * 0.18);
    const QString name = QString::fromStdString(appName(path));
    if (!name.isEmpty()) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(std::max(1, pixels * 2 / 5));
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(square, Qt::AlignCenter, name.left(1).toUpper());
    }
    return image;
}

QString themeName(const std::string& path) {
    return QString::fromStdString(appName(path)).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

}  // namespace

std::optional<Color> pictureAverage(const Path& picture) {
    const auto open = openRegularFile(picture);
    const auto* fd = std::get_if<FileDescriptor>(&open);
    if (!fd) return std::nullopt;
    if (const auto png = pngAverage(*fd)) return *png;
    QFile file;
    if (!file.open(fd->get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return std::nullopt;
    QImageReader reader(&file);
    const QSize size = reader.size();
    if (!size.isValid()) return std::nullopt;  // nothing tells how much a decode would take
    if (static_cast<qint64>(size.width()) * size.height() > wholePixels) {
        if (!reader.supportsOption(QImageIOHandler::ScaledSize)) return std::nullopt;
        reader.setScaledSize(size.scaled(averagedSide, averagedSide, Qt::KeepAspectRatio).expandedTo({1, 1}));
    }
    return imageAverage(reader.read());
}

Color wallpaperTint(const Workspace& workspace) {
    std::optional<Color> desktop;
    if (const auto picture = workspace.desktopPicture()) desktop = pictureAverage(*picture);
    return wallpaperTint(workspace.accentColor(), desktop);
}

DotColors dotColors(const QImage& image, int cells) {
    if (image.isNull() || cells < 1 || cells > 1024) return {};
    const QImage scaled = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied)
                              .scaled(cells, cells, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull()) return {};
    DotColors out;
    for (int y = 0; y < cells; ++y) {
        const auto row = dotColorsFromPremultiplied(scaled.constScanLine(y), static_cast<std::size_t>(cells));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

QImage appIconImage(const Workspace& workspace, const std::string& path, int pixels) {
    pixels = std::clamp(pixels, 1, 1024);
    if (const auto file = workspace.iconFile(path)) {
        const QImage own = load(*file);
        if (!own.isNull()) return own.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const QString name = themeName(path);
    if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
        const QImage themed = QIcon::fromTheme(name).pixmap(pixels, pixels).toImage();
        if (!themed.isNull()) return themed.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return drawnIcon(path, pixels);
}

std::optional<DotColors> sampleAppIcon(const Workspace& workspace, const std::string& path, int cells) {
    QImage icon = appIconImage(workspace, path, 256);
    if (icon.isNull()) return std::nullopt;
    // Icons keep a transparent margin around their artwork; cut it so the dots show the artwork.
    const double inset = icon.width() * 0.09;
    const QRect crop = QRectF(inset, inset, icon.width() - 2 * inset, icon.height() - 2 * inset).toAlignedRect();
    if (crop.isValid() && icon.rect().contains(crop)) icon = icon.copy(crop);
    return dotColors(icon, cells);
}

DotIcon::Sampler iconSampler(const Workspace& workspace) {
    return [&workspace](const std::string& path, int cells) { return sampleAppIcon(workspace, path, cells); };
}

}  // namespace norvane
