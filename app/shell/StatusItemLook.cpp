#include "app/shell/StatusItemLook.h"

#include <algorithm>
#include <cmath>

#include "app/visuals/MenuBarIcon.h"

namespace norvane {

StatusItemLook statusItemLook(std::optional<std::int64_t> percent, const std::optional<AwakeSession>& awake,
                              const AwakeStatus& state, const std::string& menuText) {
    const bool holding = awake && std::holds_alternative<AwakeStatus::Holding>(state.value);
    if (!percent) return {0, holding, " " + menuText, "Norvane, no battery"};
    return {*percent, holding, " " + menuText, "Norvane, battery " + menuText};
}

double relativeLuminance(Color color) {
    const auto linear = [](double c) {
        c = std::isfinite(c) ? std::clamp(c, 0.0, 1.0) : 0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

TrayInk trayInk(const std::optional<Color>& trayForeground, const std::vector<Color>& trayPixels) {
    if (trayForeground) return {trayForeground->withOpacity(1), std::nullopt};
    // Nothing tells the tray's colour, and a desktop's colour scheme would not either (a dark
    // top bar under a light scheme is common): lit dots on a dark body read on any tray.
    if (trayPixels.empty()) return {Color::white(), Color::black()};
    std::vector<double> levels;
    levels.reserve(trayPixels.size());
    for (const Color& pixel : trayPixels)
        levels.push_back(relativeLuminance(pixel));
    const auto middle = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2);
    std::nth_element(levels.begin(), middle, levels.end());
    // The contrast ratios of white and of black against the tray: (lighter + 0.05) / (darker + 0.05).
    const double tray = *middle;
    return {1.05 / (tray + 0.05) > (tray + 0.05) / 0.05 ? Color::white() : Color::black(), std::nullopt};
}

TrayImage trayImage(std::int64_t percent, bool awake, const TrayInk& ink, int side) {
    using I = MenuBarIcon;
    // Where the dots lie in the image's points (y growing upwards there), and how far the body
    // reaches beyond them.
    constexpr double inset = (I::pitch - I::dot) / 2;
    constexpr double wide = I::columns * I::pitch + I::dot;
    constexpr double top = I::height - inset;
    constexpr double high = top - inset;
    constexpr double margin = I::pitch - I::dot;
    const double pixels = std::max(side, 1);
    double rim = 0;  // in pixels
    double scale = pixels / wide;
    if (ink.body) {
        rim = std::max(margin * pixels / (wide + 2 * margin), 1.0);
        scale = std::max(0.0, (pixels - 2 * rim) / wide);
    }
    const double left = (pixels - wide * scale) / 2;
    const double upper = (pixels - high * scale) / 2;
    TrayImage out{{}, 0, {pixels, pixels, {}}};
    std::optional<Rect> boxes[2];  // round the 6 x 3 dots, round the tip's
    for (const Dot& dot : menuBarIcon(percent, awake).dots) {
        const Dot placed{left + dot.x * scale, upper + (top - dot.y) * scale, dot.diameter * scale,
                         ink.dots.multipliedOpacity(dot.color.opacity)};
        out.dots.dots.push_back(placed);
        const double reach = placed.diameter / 2 + rim;
        const Rect around{placed.x - reach, placed.y - reach, 2 * reach, 2 * reach};
        auto& box = boxes[dot.x > I::columns * I::pitch ? 1 : 0];
        if (!box) {
            box = around;
            continue;
        }
        const double right = std::max(box->x + box->width, around.x + around.width);
        const double bottom = std::max(box->y + box->height, around.y + around.height);
        box->x = std::min(box->x, around.x);
        box->y = std::min(box->y, around.y);
        box->width = right - box->x;
        box->height = bottom - box->y;
    }
    if (ink.body) {
        // Out to whole pixels, so that the body's edges are sharp rather than a row of grey.
        for (const auto& box : boxes)
            if (box) {
                const double x = std::floor(box->x), y = std::floor(box->y);
                out.body.push_back({x, y, std::ceil(box->x + box->width) - x, std::ceil(box->y + box->height) - y});
            }
        out.bodyRadius = I::dot * scale / 2 + rim;
    }
    return out;
}

}  // namespace norvane
