#pragma once
// A colour as the system hands it out: sRGB components and an opacity, each 0...1.

namespace norvane {

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double opacity = 1;

    static constexpr Color white(double opacity = 1) { return {1, 1, 1, opacity}; }
    static constexpr Color black(double opacity = 1) { return {0, 0, 0, opacity}; }
    static constexpr Color clear() { return {0, 0, 0, 0}; }
    // Hue, saturation and brightness (the HSV model) in 0...1; hue wraps around.
    static Color hsb(double hue, double saturation, double brightness, double opacity = 1);

    double hue() const;         // 0...1; 0 for greys
    double saturation() const;  // 0 for greys and black
    double brightness() const;
    constexpr Color withOpacity(double o) const { return {red, green, blue, o}; }
    // Made more transparent by a factor, as a view's opacity applies on top of its colour's.
    constexpr Color multipliedOpacity(double factor) const { return {red, green, blue, opacity * factor}; }
    bool operator==(const Color&) const = default;
};

}  // namespace norvane
