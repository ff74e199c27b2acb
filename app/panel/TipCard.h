#pragma once
// The Now page's tip: a one-line summary that opens into what to do, what it gives, why
// now and where the advice comes from, with a button to act on it and one to never see
// it again. Whether the details are open is the page's state.

#include <optional>
#include <string>
#include <vector>

#include "app/analysis/Tip.h"
#include "app/visuals/Pill.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

struct TipCard {
    struct Part {
        std::string title;
        std::string text;
        bool operator==(const Part&) const = default;
    };
    // A source that opens in the browser; only web links (http and https) are offered.
    struct Link {
        std::string name;
        std::string url;
        bool operator==(const Link&) const = default;
    };

    std::string line;
    bool open = false;               // the chevron points up while open
    std::string hint;                // "Hides the details", "Shows the details"
    std::vector<Part> parts;         // what to do, what it gives, why now; only while open
    std::string evidence;            // only while open
    std::vector<Link> links;         // only while open
    std::optional<std::string> act;  // the tip's button, while open
    bool operator==(const TipCard&) const = default;

    static TipCard make(const Tip& tip, bool open);
    // The link's address, when it is one of the web that the browser may open.
    static std::optional<std::string> webLink(const std::string& url);

    static constexpr const char* caption = "Tip";
    static constexpr const char* dismiss = "Not for me";
    static constexpr const char* dismissHelp = "Never show this tip again";
    static constexpr double spacing = 12;  // between the card's parts
    static constexpr double summarySpacing = 8;
    static constexpr double lineSpacing = 4;  // caption and line; evidence and links
    static constexpr double partSpacing = 3;
    static constexpr double leastGap = 4;
    static constexpr double buttonSpacing = 8;
    static TextStyle lineStyle();              // 13 points, medium, wrapping
    static TextStyle textStyle();              // 12 points, white at 85 %, wrapping
    static TextStyle linkStyle(Color accent);  // 11 points in the accent, wrapping
    static constexpr Color chevron = Color::white(0.5);
    static constexpr Pill dismissPill{Color::white(0.1), Color::white()};
    static Pill actPill(Color accent) { return {accent, Color::black()}; }
};

}  // namespace norvane
