#include "app/visuals/qt/Painting.h"

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QTextLayout>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace norvane {
namespace {

double unit(double value) { return std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0); }

// A sane size in pixels: not a number gives the body size.
double pixels(double size) { return std::isfinite(size) ? std::clamp(size, 1.0, 512.0) : 13.0; }

constexpr int oversampling = 4;  // a fractional size is drawn from a font this much larger

QFont family(const TextStyle& style) {
    QFont font(style.monospaced ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    switch (style.weight) {
        case FontWeight::regular: font.setWeight(QFont::Normal); break;
        case FontWeight::medium: font.setWeight(QFont::Medium); break;
        case FontWeight::semibold: font.setWeight(QFont::DemiBold); break;
        case FontWeight::bold: font.setWeight(QFont::Bold); break;
    }
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void track(QFont& font, double tracking) {
    if (tracking != 0 && std::isfinite(tracking)) font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
}

// The whole pixel size a style's text is drawn from.
int fontPixels(const TextStyle& style) {
    const double size = pixels(style.size);
    const double whole = std::round(size);
    return std::abs(size - whole) < 1e-6 ? static_cast<int>(whole) : static_cast<int>(std::lround(size * oversampling));
}

}  // namespace

QColor toQColor(Color color) {
    return QColor::fromRgbF(static_cast<float>(unit(color.red)), static_cast<float>(unit(color.green)),
                            static_cast<float>(unit(color.blue)), static_cast<float>(unit(color.opacity)));
}

QFont qtFont(const TextStyle& style) {
    QFont font = family(style);
    font.setPixelSize(static_cast<int>(std::lround(pixels(style.size))));
    track(font, style.tracking);
    return font;
}

QString styledText(const QString& text, const TextStyle& style) { return style.uppercase ? text.toUpper() : text; }

TextFace::TextFace(const TextStyle& style)
    : style_(style), scale_(pixels(style.size) / fontPixels(style)), font_(family(style)), metrics_(font_) {
    font_.setPixelSize(fontPixels(style));
    // Hinting fits glyphs to the larger font's pixels, which are not the ones drawn.
    if (scale_ != 1) font_.setHintingPreference(QFont::PreferNoHinting);
    track(font_, style.tracking / scale_);
    metrics_ = QFontMetricsF(font_);
}

double TextFace::advance(const QString& text) const { return metrics_.horizontalAdvance(shown(text)) * scale_; }

void TextFace::draw(QPainter& painter, const QRectF& box, int flags, const QString& text,
                    Qt::TextElideMode elide) const {
    painter.save();
    painter.setFont(font_);
    painter.setPen(toQColor(style_.color));
    painter.translate(box.topLeft());
    painter.scale(scale_, scale_);
    // Drawn from a string, never as markup: names from outside show as they are.
    const QRectF inside(0, 0, box.width() / scale_, box.height() / scale_);
    painter.drawText(inside, (flags & (Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask)) | Qt::TextSingleLine,
                     elided(text, box.width(), elide));
    painter.restore();
}

QString TextFace::elided(const QString& text, double width, Qt::TextElideMode elide) const {
    return metrics_.elidedText(shown(text), elide, width / scale_);
}

namespace {

// Lays the text out in lines of `width` (in the font's pixels); returns the height used.
double wrapLines(QTextLayout& layout, double width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double y = 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(std::max(width, 1.0));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

}  // namespace

QString WrappedText::shown() const { return layout_ ? layout_->text() : QString(); }

WrappedText TextFace::wrap(const QString& text, double width) const {
    auto layout = std::make_shared<QTextLayout>(shown(text), font_);
    WrappedText out;
    out.height_ = std::max(wrapLines(*layout, width / scale_), metrics_.height()) * scale_;
    out.layout_ = std::move(layout);
    return out;
}

void TextFace::drawWrapped(QPainter& painter, const QRectF& box, const WrappedText& text) const {
    if (!text.layout_) return;
    painter.save();
    painter.setFont(font_);
    painter.setPen(toQColor(style_.color));
    painter.translate(box.topLeft());
    painter.scale(scale_, scale_);
    text.layout_->draw(&painter, QPointF(0, 0));
    painter.restore();
}

void TextFace::drawWrapped(QPainter& painter, const QRectF& box, const QString& text) const {
    drawWrapped(painter, box, wrap(text, box.width()));
}

namespace {

// Dots are stamped from small images rather than filled one by one (a panel shows a few
// hundred): an antialiased disc drawn once for each diameter, scale and colour, and for each
// place of its centre within a device pixel, in 64ths, so a dot stands within a 128th of a
// pixel of where its layout puts it and looks as if it had been filled there.
constexpr int steps = 64;
constexpr double largestStamp = 64;                  // device pixels across; larger dots are filled
constexpr std::size_t stampBudget = 1024 * 1024;     // bytes of stamps kept, per thread
constexpr double farthest = 1 << 24;                 // device pixels from the origin a stamp may go

struct StampKey {
    double diameter;  // the layout's
    double scale;     // device pixels a point
    QRgba64 color;
    int dx, dy;  // 64ths of a pixel right of and below the stamp's middle pixel
    bool operator==(const StampKey& other) const {
        return diameter == other.diameter && scale == other.scale && color == other.color && dx == other.dx &&
               dy == other.dy;
    }
};

struct StampHash {
    std::size_t operator()(const StampKey& key) const {
        std::size_t h = std::hash<std::uint64_t>()(std::bit_cast<std::uint64_t>(key.diameter));
        h = h * 31 + std::hash<std::uint64_t>()(std::bit_cast<std::uint64_t>(key.scale));
        h = h * 31 + std::hash<quint64>()(key.color);
        return h * 31 + static_cast<std::size_t>(key.dx * steps + key.dy);
    }
};

// How far into its stamp a disc's centre lies, in whole device pixels (the 64ths come on
// top): far enough for the whole disc, with a pixel to spare for its antialiased edge.
int half(double diameter) { return static_cast<int>(std::ceil(diameter / 2)) + 1; }

const QImage& stamp(const StampKey& key) {
    // Pictures may be painted off the GUI thread (the menu bar's): each thread keeps its own.
    thread_local std::unordered_map<StampKey, QImage, StampHash> stamps;
    thread_local std::size_t bytes = 0;
    if (const auto found = stamps.find(key); found != stamps.end()) return found->second;
    if (bytes > stampBudget) {
        stamps.clear();
        bytes = 0;
    }
    const int middle = half(key.diameter * key.scale);
    QImage image(2 * middle + 1, 2 * middle + 1, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        // Drawn at the painter's scale, as the dot would be drawn there.
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgba64(key.color));
        painter.scale(key.scale, key.scale);
        const double r = key.diameter / 2;
        painter.drawEllipse(QRectF((middle + static_cast<double>(key.dx) / steps) / key.scale - r,
                                   (middle + static_cast<double>(key.dy) / steps) / key.scale - r, key.diameter,
                                   key.diameter));
    }
    bytes += static_cast<std::size_t>(image.sizeInBytes());
    return stamps.emplace(key, std::move(image)).first->second;
}

// A whole device pixel and the 64ths of one beyond it, of a centre `at`.
std::pair<int, int> split(double at) {
    const double whole = std::floor(at);
    const int part = static_cast<int>(std::lround((at - whole) * steps));
    return {static_cast<int>(whole) + part / steps, part % steps};
}

}  // namespace

void paintDots(QPainter& painter, const DotLayout& layout) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Stamps are placed in device pixels: where the painter only scales (evenly, perhaps
    // mirrored, as a picture drawn upside down is) and moves.
    const QTransform device = painter.deviceTransform();
    const double scale = std::abs(device.m11());
    const bool stamps = device.type() <= QTransform::TxScale && scale > 0 &&
                        std::abs(std::abs(device.m22()) - scale) < 1e-9 * scale;
    const QTransform world = painter.worldTransform();
    const QTransform inDevicePixels = stamps ? device.inverted() * world : world;
    bool stamping = false;  // the painter's coordinates are device pixels
    const auto use = [&](bool devicePixels) {
        if (devicePixels != stamping) painter.setWorldTransform(devicePixels ? inDevicePixels : world);
        stamping = devicePixels;
    };
    for (const Dot& dot : layout.dots) {
        // Coordinates that are not finite numbers would reach the rasterizer's integer maths.
        if (!(dot.diameter > 0) || !std::isfinite(dot.diameter) || !std::isfinite(dot.x) || !std::isfinite(dot.y))
            continue;
        const QColor color = toQColor(dot.color);
        if (stamps) {
            const QPointF centre = device.map(QPointF(dot.x, dot.y));
            if (dot.diameter * scale <= largestStamp && std::abs(centre.x()) < farthest && std::abs(centre.y()) < farthest) {
                const auto [x, dx] = split(centre.x());
                const auto [y, dy] = split(centre.y());
                const int middle = half(dot.diameter * scale);
                use(true);
                painter.drawImage(QPointF(x - middle, y - middle), stamp({dot.diameter, scale, color.rgba64(), dx, dy}));
                continue;
            }
        }
        use(false);
        painter.setBrush(color);
        const double r = dot.diameter / 2;
        painter.drawEllipse(QRectF(dot.x - r, dot.y - r, dot.diameter, dot.diameter));
    }
    painter.restore();
}

bool inFlatMiddle(const QRegion& region, const QRectF& shape, double radius, double inset) {
    if (!std::isfinite(radius) || !std::isfinite(inset)) return false;
    const QRectF middle = shape.adjusted(inset, inset, -inset, -inset);
    const QSizeF corner(radius, radius);
    const QRectF corners[] = {
        QRectF(shape.topLeft(), corner),
        QRectF(shape.topRight() - QPointF(radius, 0), corner),
        QRectF(shape.bottomLeft() - QPointF(0, radius), corner),
        QRectF(shape.bottomRight() - QPointF(radius, radius), corner),
    };
    for (const QRect& part : region) {
        if (!middle.contains(QRectF(part))) return false;
        for (const QRectF& c : corners)
            if (c.intersects(QRectF(part))) return false;
    }
    return !region.isEmpty();
}

void fillRegion(QPainter& painter, const QRegion& region, const QColor& color) {
    for (const QRect& part : region) painter.fillRect(part, color);
}

}  // namespace norvane
