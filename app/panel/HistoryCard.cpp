#include "app/panel/HistoryCard.h"

namespace norvane {

double seconds(Span span) {
    switch (span) {
        case Span::hours: return 10'800;
        case Span::day: return 86'400;
        case Span::week: return 604'800;
    }
    return 0;
}

std::string_view spoken(Span span) {
    switch (span) {
        case Span::hours: return "3 hours";
        case Span::day: return "24 hours";
        case Span::week: return "7 days";
    }
    return "";
}

HistoryCard HistoryCard::make(const AppModel& m, Span span, Date now) {
    HistoryCard card;
    card.demo = m.demo();
    card.spanOptions = {Span::hours, Span::day, Span::week};
    card.spans = Segments<Span>{card.spanOptions, span, false, [](const Span& s) {
                                    return std::string(rawValue(s));
                                }}.segments();
    card.columns = buckets(m.history().samples, now, seconds(span), count);
    card.accessibility = "Battery level over the last " + std::string(spoken(span));
    card.start = "−" + std::string(rawValue(span));
    return card;
}

const std::vector<ModelField>& HistoryCard::fields() {
    static const std::vector<ModelField> fields{ModelField::history};
    return fields;
}

}  // namespace norvane
