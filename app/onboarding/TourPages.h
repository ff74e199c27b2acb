#pragma once
// The tour's six pages: which picture, title, text and content each step shows, the one
// layout they share, the grids of small cards (tiles) of the first three steps, and the
// closing page's rows.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/onboarding/AccessCard.h"
#include "app/onboarding/Onboarding.h"
#include "app/visuals/DotBar.h"
#include "app/visuals/DotGlyph.h"
#include "app/visuals/DotText.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

// The picture at the top of a page.
enum class Hero { logo, charge, control, banner, modes, menuBar };
// What fills the page under its text.
enum class PageContent { tiles, accessCard, closing };

struct TourPage {
    Hero hero;
    std::string title;
    std::string text;
    PageContent content;
    int columns = 0;  // of the tiles
    bool operator==(const TourPage&) const = default;
};
TourPage tourPage(OnboardingStep step);

// The layout every page shares, from the top.
struct PageLayout {
    static constexpr double heroHeight = 190;  // the picture stretched across the width
    static constexpr double heroCornerRadius = 20;
    static constexpr Color heroFill = Color::black(0.22);
    static constexpr Color heroEdge = Color::white(0.06);  // 1 point, inside the edge
    static constexpr double titleGap = 20;
    static constexpr double textGap = 8;
    static constexpr double textLineSpacing = 2;
    static constexpr double contentGap = 16;
    static TextStyle titleStyle();  // 22 points, semibold
    static TextStyle textStyle();   // 13 points, white at 65 %, wrapping
};

// The welcome picture: the mark over the product's name.
struct WelcomeHero {
    static constexpr double markPitch = 26;
    static constexpr double spacing = 26;
    static DotText name() { return {"NORVANE", Color::white(), 5}; }
};

// Three short bars, the icon of the tile on what uses the charge.
struct Bars {
    static constexpr double spacing = 3;
    std::vector<DotBar> bars;
    bool operator==(const Bars&) const = default;
};
using TileIcon = std::variant<DotText, DotGlyph, DotBar, Bars>;

struct Tile {
    static constexpr double spacing = 8;  // between columns and rows
    static constexpr double minimumColumn = 10;
    static constexpr double stackSpacing = 6;
    static constexpr double iconHeight = 22;
    static constexpr double minimumHeight = 92;
    static constexpr double padding = 12;  // of its card
    static TextStyle titleStyle();         // 13 points, medium; the text in the note style

    std::string title;
    std::string text;
    TileIcon icon;
    bool operator==(const Tile&) const = default;
};
// The tiles of the welcome, know and control steps (none for the others); `accent` is the
// app's tint.
std::vector<Tile> tiles(OnboardingStep step, Color accent, Color waiting);

// The closing page's rows: the two permissions, and the login switch only when the app runs
// from its bundle.
struct LoginRow {
    static constexpr const char* label = "Open at login";  // 13 points, medium
    bool on = false;                                       // as the model last read it
    Color tint;                                            // of the small switch
    bool operator==(const LoginRow&) const = default;
};
struct ClosingRows {
    static constexpr double spacing = 8;
    static constexpr double padding = 12;  // of each row's card
    std::vector<SummaryRow> permissions;
    std::optional<LoginRow> login;
    bool operator==(const ClosingRows&) const = default;
};
// What the closing page reads of the model: the menu-bar item's text and charge, and the
// login item.
inline const std::vector<ModelField> closingFields{ModelField::battery, ModelField::forecast, ModelField::showTime,
                                                   ModelField::openAtLogin};
ClosingRows closingRows(const Access& notifications, const Access& helper, bool inBundle, bool openAtLogin,
                        Color accent, Color granted, Color waiting);

}  // namespace norvane
