#include "app/panel/TipCard.h"

#include "platform/Text.h"
#include "platform/UrlComponents.h"

namespace norvane {

TipCard TipCard::make(const Tip& tip, bool open) {
    TipCard card{tip.line, open, open ? "Hides the details" : "Shows the details", {}, {}, {}, {}};
    if (!open) return card;
    card.parts = {{"What to do", tip.action}, {"What it gives", tip.effect}, {"Why now", tip.why}};
    card.evidence = std::string(label(tip.evidence));
    for (const auto& source : tip.sources)
        if (auto url = webLink(source.url)) card.links.push_back({source.name, std::move(*url)});
    if (tip.button) card.act = title(*tip.button);
    return card;
}

std::optional<std::string> TipCard::webLink(const std::string& url) {
    const auto parts = UrlComponents::parse(url);
    if (!parts || !parts->scheme || !parts->host || parts->host->empty()) return std::nullopt;
    const std::string scheme = lowercased(*parts->scheme);
    if (scheme != "http" && scheme != "https") return std::nullopt;
    return url;
}

TextStyle TipCard::lineStyle() {
    return {.size = 13, .weight = FontWeight::medium, .wraps = true};
}
TextStyle TipCard::textStyle() {
    return {.size = 12, .color = Color::white(0.85), .wraps = true};
}
TextStyle TipCard::linkStyle(Color accent) {
    return {.size = 11, .color = accent, .wraps = true};
}

}  // namespace norvane
