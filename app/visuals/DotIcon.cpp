#include "app/visuals/DotIcon.h"

#include <algorithm>

namespace norvane {

DotColors dotColorsFromPremultiplied(const std::uint8_t* rgba, std::size_t pixels) {
    DotColors out;
    out.reserve(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* p = rgba + 4 * i;
        const double a = p[3] / 255.0;
        if (a > 0)
            out.push_back({std::min(p[0] / 255.0 / a, 1.0), std::min(p[1] / 255.0 / a, 1.0),
                           std::min(p[2] / 255.0 / a, 1.0), a});
        else
            out.push_back({0, 0, 0, 0});
    }
    return out;
}

DotIcon::Cache& DotIcon::cache() {
    static Cache shared;
    return shared;
}

DotColors DotIcon::colors(const Sampler& sample) const {
    const std::string k = key();
    if (auto it = cache().find(k); it != cache().end()) return it->second;
    auto sampled = sample ? sample(path, cells) : std::nullopt;
    if (!sampled) return {};
    cache().emplace(k, *sampled);
    return *sampled;
}

DotLayout DotIcon::layout(const DotColors& colors) const {
    DotLayout out{pitch * cells, pitch * cells, {}};
    if (cells < 1) return out;
    const auto n = static_cast<std::size_t>(cells);
    for (std::size_t k = 0; k < colors.size(); ++k) {
        const auto& [r, g, b, a] = colors[k];
        const Color color = a > litAlpha ? Color{r, g, b, 1} : Color::white(0.07);
        out.dots.push_back(Dot::inSquare(pitch * static_cast<double>(k % n), pitch * static_cast<double>(k / n),
                                         dotShare * pitch, color));
    }
    return out;
}

}  // namespace norvane
