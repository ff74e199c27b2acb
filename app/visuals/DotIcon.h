#pragma once
// An app's icon re-drawn as a small square grid of coloured dots. Samples are kept for
// the life of the process, one entry per path and cell count; views on the main thread
// only read and write them, so there is no lock.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/visuals/DotLayout.h"

namespace norvane {

// Red, green, blue and alpha in 0...1, colour not premultiplied; row-major from the top-left.
using DotColors = std::vector<std::array<double, 4>>;

// Samples from premultiplied RGBA bytes, four a pixel: each colour divided by its alpha
// (at most 1); a fully transparent pixel gives all zeros.
DotColors dotColorsFromPremultiplied(const std::uint8_t* rgba, std::size_t pixels);

struct DotIcon {
    std::string path;  // of an application or any file
    int cells = 9;     // dots per side, at least 1
    double pitch = 1;  // per cell

    static constexpr double dotShare = 0.78;
    static constexpr double litAlpha = 0.35;  // at or below it a sample is drawn as a faint dot

    // Samples an icon: the path's icon at `cells` per side, or absent when no image is given.
    using Sampler = std::function<std::optional<DotColors>(const std::string& path, int cells)>;

    using Cache = std::map<std::string, DotColors>;
    static Cache& cache();
    std::string key() const { return path + "#" + std::to_string(cells); }

    // From the cache, else sampled and kept; an icon that could not be had is asked for
    // again next time.
    DotColors colors(const Sampler& sample) const;
    // A frame of pitch x cells each way; an empty sample draws nothing.
    DotLayout layout(const DotColors& colors) const;
};

}  // namespace norvane
