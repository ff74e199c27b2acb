#include "app/analysis/Wording.h"

#include <set>

#include "app/analysis/Duration.h"
#include "platform/Text.h"

namespace norvane {

namespace {

// A run of text between placeholders, or one placeholder "[NAME]" of upper-case ASCII
// letters, found left to right as the pattern \[([A-Z]+)\] finds them. Byte-wise scanning
// is safe in UTF-8: no byte of a longer sequence is an ASCII character.
struct Piece {
    std::string_view text;
    bool placeholder = false;
    std::string_view name() const { return text.substr(1, text.size() - 2); }
};

std::vector<Piece> pieces(std::string_view text) {
    std::vector<Piece> out;
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '[') continue;
        std::size_t j = i + 1;
        while (j < text.size() && text[j] >= 'A' && text[j] <= 'Z')
            ++j;
        if (j == i + 1 || j >= text.size() || text[j] != ']') continue;
        if (i > plain) out.push_back({text.substr(plain, i - plain)});
        out.push_back({text.substr(i, j + 1 - i), true});
        plain = j + 1;
        i = j;
    }
    if (plain < text.size()) out.push_back({text.substr(plain)});
    return out;
}

std::set<std::string, std::less<>> placeholderNames(std::string_view text) {
    std::set<std::string, std::less<>> names;
    for (const Piece& piece : pieces(text))
        if (piece.placeholder) names.emplace(piece.name());
    return names;
}

// The text between placeholders, with `change` applied to it; the placeholders as they are.
template <class Change>
std::string outsidePlaceholders(std::string_view text, Change change) {
    std::string out;
    for (const Piece& piece : pieces(text))
        out += piece.placeholder ? std::string(piece.text) : change(piece.text);
    return out;
}

std::u32string codePoints(std::string_view text) {
    return decodeUtf8(decodeUtf8Lossy(text)).value_or(U"");
}

// The characters between the first and the last that `drop` does not take.
template <class Drop>
std::u32string_view trimmed(std::u32string_view chars, Drop drop) {
    while (!chars.empty() && drop(chars.front()))
        chars.remove_prefix(1);
    while (!chars.empty() && drop(chars.back()))
        chars.remove_suffix(1);
    return chars;
}

// Step one of the cleaning: white space off both ends, then every trailing full stop.
std::string trimmedLine(std::string_view text) {
    const std::u32string chars = codePoints(text);
    std::u32string_view line = trimmed(chars, isUnicodeWhitespace);
    while (!line.empty() && line.back() == U'.')
        line.remove_suffix(1);
    return encodeUtf8(line);
}

// The words of a text split at every character that is neither a letter nor a number; a
// combining mark stays with the letter it belongs to.
std::set<std::string, std::less<>> wordsOf(std::string_view text) {
    std::set<std::string, std::less<>> words;
    std::u32string word;
    for (const char32_t c : codePoints(text)) {
        if (isUnicodeLetter(c) || isUnicodeNumber(c) || isUnicodeMark(c)) {
            word += c;
        } else if (!word.empty()) {
            words.insert(encodeUtf8(word));
            word.clear();
        }
    }
    if (!word.empty()) words.insert(encodeUtf8(word));
    return words;
}

bool namesAnApp(std::string_view text, const std::vector<std::string>& apps) {
    const auto words = wordsOf(lowercased(text));
    for (const std::string& app : apps) {
        const std::string lower = lowercased(app);
        const auto appWords = splitNonEmpty(lower, ' ');
        bool all = !appWords.empty();
        for (const std::string_view word : appWords)
            all = all && words.contains(word);
        if (all) return true;
    }
    return false;
}

std::string withoutPunctuation(std::string_view word) {
    return encodeUtf8(trimmed(codePoints(word), isUnicodePunctuation));
}

// A capital inside the line is a model habit ("Right Now Safari Is Taking"); it stays only
// where the prompt has the word so (an app's name). A placeholder inside the word keeps its
// capitals, or it would no longer be one.
std::string sentenceCase(std::string_view line, std::string_view prompt) {
    std::string out;
    bool first = true;
    for (const std::string_view word : splitNonEmpty(line, ' ')) {
        if (!out.empty()) out += ' ';
        const std::u32string start = codePoints(word.substr(0, 4));
        const bool capital = !start.empty() && isUnicodeUppercaseLetter(start.front());
        if (!first && capital && word.front() != '[' && prompt.find(withoutPunctuation(word)) == std::string_view::npos)
            out += outsidePlaceholders(word, [](std::string_view text) { return lowercased(text); });
        else
            out += word;
        first = false;
    }
    return out;
}

}  // namespace

std::optional<Prompt> summaryPrompt(const Situation& situation) {
    using namespace situation;
    if (const auto* s = std::get_if<Charging>(&situation); s && s->minutes)
        return Prompt{"charging",
                      "Point to make: the battery is charging.\nFacts: charging. Full in [LEFT]. Charge [CHARGE]."};
    if (std::holds_alternative<Low>(situation))
        return Prompt{"low",
                      "Point to make: the battery is running low.\n"
                      "Facts: on battery. Time left [LEFT], until [UNTIL]. Charge [CHARGE]."};
    const std::string appFacts = "Facts: on battery. Time left [LEFT], until [UNTIL]. App: ";
    if (const auto* s = std::get_if<Faster>(&situation))
        return Prompt{"faster|" + s->app,
                      "Point to make: the battery is draining faster than usual, because one app is busy.\n" +
                          appFacts + s->app + ", [SHARE] of the energy."};
    if (const auto* s = std::get_if<situation::HeavyApp>(&situation))
        return Prompt{"heavy|" + s->app, "Point to make: one app is using a large part of the energy.\n" + appFacts +
                                             s->app + ", [SHARE] of the energy."};
    if (std::holds_alternative<Plenty>(situation))
        return Prompt{
            "plenty",
            "Point to make: there is plenty of time left.\nFacts: on battery. Time left [LEFT], until [UNTIL]."};
    return std::nullopt;
}

PlaceholderValues summaryValues(const Situation& situation, std::int64_t percent, Date now,
                                const std::function<std::string(Date)>& clock) {
    using namespace situation;
    PlaceholderValues values{{"CHARGE", std::to_string(percent) + "%"}};
    const auto timeLeft = [&](std::int64_t minutes) {
        values["LEFT"] = duration(minutes);
        values["UNTIL"] = clock(now + static_cast<double>(minutes) * 60);
    };
    if (const auto* s = std::get_if<Charging>(&situation); s && s->minutes) {
        values["LEFT"] = duration(*s->minutes);
    } else if (const auto* s = std::get_if<Holding>(&situation)) {
        values["LIMIT"] = std::to_string(s->limit) + "%";
    } else if (const auto* s = std::get_if<Low>(&situation)) {
        timeLeft(s->minutes);
    } else if (const auto* s = std::get_if<Plenty>(&situation)) {
        timeLeft(s->minutes);
    } else if (const auto* s = std::get_if<Faster>(&situation)) {
        timeLeft(s->minutes);
        values["SHARE"] = sharePercent(s->share) + "%";
    } else if (const auto* s = std::get_if<situation::HeavyApp>(&situation)) {
        timeLeft(s->minutes);
        values["SHARE"] = sharePercent(s->share) + "%";
    }
    return values;
}

std::optional<std::string> clean(std::string_view text, std::size_t limit, std::string_view prompt,
                                 const std::vector<std::string>& otherApps) {
    const std::string line = trimmedLine(text);
    if (line.empty() || line.find_first_of("\n!") != std::string::npos) return std::nullopt;

    const auto allowed = placeholderNames(prompt);
    for (const std::string& name : placeholderNames(line))
        if (!allowed.contains(name)) return std::nullopt;

    // Numbers come only from placeholders.
    std::string plain;
    for (const Piece& piece : pieces(line))
        if (!piece.placeholder) plain += piece.text;
    for (const char32_t c : codePoints(plain))
        if (isUnicodeNumber(c) || c == U'[' || c == U']') return std::nullopt;
    if (namesAnApp(plain, otherApps)) return std::nullopt;

    std::string joined = sentenceCase(line, prompt);
    if (characterCount(joined) + 3 * placeholderNames(joined).size() > limit) return std::nullopt;
    return joined;
}

std::optional<Wording> checkedWording(std::string_view title, std::string_view detail, std::string_view prompt,
                                      const std::vector<std::string>& otherApps) {
    auto cleanTitle = clean(title, 60, prompt, otherApps);
    if (!cleanTitle) return std::nullopt;
    auto cleanDetail = clean(detail, 90, prompt, otherApps);
    if (!cleanDetail || lowercased(*cleanTitle) == lowercased(*cleanDetail)) return std::nullopt;
    return Wording{std::move(*cleanTitle), std::move(*cleanDetail)};
}

std::optional<Headline> fill(const Wording& wording, const PlaceholderValues& values) {
    const auto filled = [&](std::string_view text) -> std::optional<std::string> {
        std::string out;
        for (const Piece& piece : pieces(text)) {
            if (!piece.placeholder) {
                out += piece.text;
                continue;
            }
            const auto value = values.find(std::string(piece.name()));
            if (value == values.end()) return std::nullopt;
            out += value->second;
        }
        return out;
    };
    auto title = filled(wording.title);
    auto detail = filled(wording.detail);
    if (!title || !detail) return std::nullopt;
    return Headline{std::move(*title), std::move(*detail)};
}

}  // namespace norvane
