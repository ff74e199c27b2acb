#include "platform/Text.h"

#include <unicode/brkiter.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace norvane {
namespace {

// Decodes one sequence at `i`; returns the code point and advances `i`, or absent
// (advancing past the bad byte) when the sequence is invalid.
std::optional<char32_t> decodeOne(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return std::nullopt;
    }
    std::size_t j = i + 1;
    for (int k = 1; k < length; ++k, ++j) {
        if (j >= s.size() || (static_cast<unsigned char>(s[j]) & 0xC0) != 0x80) {
            i = j;  // a truncated sequence is replaced as one unit
            return std::nullopt;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
    }
    i = j;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    return cp;
}

}  // namespace

std::optional<std::u32string> decodeUtf8(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        auto cp = decodeOne(bytes, i);
        if (!cp) return std::nullopt;
        out.push_back(*cp);
    }
    return out;
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        // Runs of ASCII, the common case, are checked eight bytes at a time.
        std::uint64_t word = 0;
        if (i + 8 <= bytes.size() && (std::memcpy(&word, bytes.data() + i, 8), (word & 0x8080808080808080u) == 0)) {
            i += 8;
            continue;
        }
        if (!decodeOne(bytes, i)) return false;
    }
    return true;
}

std::string decodeUtf8Lossy(std::string_view bytes) {
    if (isValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 16);
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t start = i;
        if (decodeOne(bytes, i))
            out.append(bytes.substr(start, i - start));
        else
            out.append("\xEF\xBF\xBD");
    }
    return out;
}

std::optional<char32_t> decodeUtf8At(std::string_view bytes, std::size_t& i) { return decodeOne(bytes, i); }

std::string encodeUtf8(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    return out;
}

std::string encodeUtf8(std::u32string_view codePoints) {
    std::string out;
    for (char32_t cp : codePoints) out += encodeUtf8(cp);
    return out;
}

bool isUnicodeNumber(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_N_MASK) != 0;
}

bool isUnicodeLetter(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_L_MASK) != 0;
}

bool isRegexSpace(char32_t c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' ||
           (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_Z_MASK) != 0;
}

bool isRegexWordCharacter(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    const auto u = static_cast<UChar32>(c);
    return u_hasBinaryProperty(u, UCHAR_ALPHABETIC) || (U_GET_GC_MASK(u) & (U_GC_M_MASK | U_GC_ND_MASK | U_GC_PC_MASK)) != 0 ||
           c == 0x200C || c == 0x200D;
}

std::optional<int> decimalDigitValue(char32_t c) {
    const int v = u_charDigitValue(static_cast<UChar32>(c));
    if (v < 0 || u_charType(static_cast<UChar32>(c)) != U_DECIMAL_DIGIT_NUMBER) return std::nullopt;
    return v;
}

bool isUnicodeUppercaseLetter(char32_t c) {
    return u_charType(static_cast<UChar32>(c)) == U_UPPERCASE_LETTER;
}

bool isUnicodeMark(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_M_MASK) != 0;
}

bool isUnicodePunctuation(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_P_MASK) != 0;
}

bool isUnicodeWhitespace(char32_t c) {
    return u_isUWhiteSpace(static_cast<UChar32>(c)) != 0;
}

std::string trimmedWhitespace(std::string_view text) {
    const std::u32string characters = decodeUtf8(decodeUtf8Lossy(text)).value_or(std::u32string());
    std::size_t begin = 0, end = characters.size();
    while (begin < end && isUnicodeWhitespace(characters[begin])) ++begin;
    while (end > begin && isUnicodeWhitespace(characters[end - 1])) --end;
    return encodeUtf8(std::u32string_view(characters).substr(begin, end - begin));
}

namespace {
icu::UnicodeString unicodeString(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

// Calls `visit` with the offset at which each user-perceived character ends, until it
// answers false.
template <typename Visit>
void eachCharacterEnd(const icu::UnicodeString& subject, Visit visit) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !characters) {
        // Without ICU's data every code point is a character of its own.
        for (std::int32_t at = 0; at < subject.length();)
            if (!visit(at = subject.moveIndex32(at, 1))) return;
        return;
    }
    characters->setText(subject);
    for (std::int32_t at = characters->next(); at != icu::BreakIterator::DONE; at = characters->next())
        if (!visit(at)) return;
}
}  // namespace

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    eachCharacterEnd(unicodeString(text), [&](std::int32_t) { return ++count, true; });
    return count;
}

std::string firstCharacters(std::string_view text, std::size_t count) {
    const icu::UnicodeString subject = unicodeString(decodeUtf8Lossy(text));
    std::int32_t end = 0;
    std::size_t taken = 0;
    if (count > 0) eachCharacterEnd(subject, [&](std::int32_t at) { return end = at, ++taken < count; });
    std::string out;
    subject.tempSubString(0, end).toUTF8String(out);
    return out;
}

std::string lowercased(std::string_view text) {
    std::string out;
    unicodeString(text).toLower(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

std::string uppercased(std::string_view text) {
    std::string out;
    unicodeString(text).toUpper(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

struct WholeWord::Pattern {
    std::unique_ptr<icu::RegexPattern> regex;
};

WholeWord::WholeWord(std::string_view word) : pattern_(std::make_unique<Pattern>()) {
    // ICU's \b counts every script's letters and digits as word characters; the word itself
    // is matched literally.
    const icu::UnicodeString literal = unicodeString(word);
    icu::UnicodeString quoted;
    for (int32_t i = 0; i < literal.length(); ++i) {
        const char16_t c = literal.charAt(i);
        if (u_isalnum(c) == 0 && c < 0x80) quoted.append(u'\\');
        quoted.append(c);
    }
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    icu::UnicodeString pattern(u"\\b");
    pattern += quoted;
    pattern += u"\\b";
    pattern_->regex.reset(icu::RegexPattern::compile(pattern, UREGEX_CASE_INSENSITIVE, parseError, status));
    if (U_FAILURE(status)) pattern_->regex.reset();
}

WholeWord::~WholeWord() = default;
WholeWord::WholeWord(WholeWord&&) noexcept = default;
WholeWord& WholeWord::operator=(WholeWord&&) noexcept = default;

bool WholeWord::foundIn(std::string_view text) const {
    if (!pattern_ || !pattern_->regex) return false;
    const icu::UnicodeString subject = unicodeString(text);
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::RegexMatcher> matcher(pattern_->regex->matcher(subject, status));
    if (U_FAILURE(status)) return false;
    const bool found = matcher->find(status);
    return U_SUCCESS(status) && found;
}

std::vector<std::string_view> splitNonEmpty(std::string_view text, char separator) {
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const auto at = text.find(separator);
        if (at != 0) out.push_back(text.substr(0, at));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
    }
    return out;
}

bool hasWord(std::string_view text, std::string_view word, std::string_view separators) {
    for (std::size_t start = text.find_first_not_of(separators); start != std::string_view::npos;) {
        const std::size_t end = text.find_first_of(separators, start);
        if (text.substr(start, end - start) == word) return true;
        start = text.find_first_not_of(separators, end);
    }
    return false;
}

std::optional<std::int64_t> parseInt64(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) return std::nullopt;
    }
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int32_t> parseInt32(std::string_view text) {
    auto v = parseInt64(text);
    if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::optional<std::uint64_t> parseUInt64(std::string_view text) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> parseDouble(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) return std::nullopt;
    }
    if (text.empty()) return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    // Out-of-range magnitudes read as infinity or zero, as strtod does.
    if (ec == std::errc::result_out_of_range) {
        const bool negative = text.front() == '-';
        // from_chars leaves value untouched on range errors: decide from the exponent's sign.
        const auto e = text.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-';
        if (end != text.data() + text.size()) return std::nullopt;
        value = tiny ? 0.0 : HUGE_VAL;
        return negative ? -value : value;
    }
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string formatDouble(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return "0";
    return std::string(buffer, end);
}

std::optional<std::int64_t> truncatedInteger(double value) {
    if (!(value >= -0x1p63 && value < 0x1p63)) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

std::optional<std::int64_t> roundedInteger(double value) { return truncatedInteger(std::round(value)); }

std::string formatFixed(double value, int decimals) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec == std::errc()) return std::string(buffer, end);
    // A huge value: the widest finite double has 309 digits before the point.
    std::string out(320 + static_cast<std::size_t>(std::max(decimals, 6)), '\0');
    const auto wide = std::to_chars(out.data(), out.data() + out.size(), value, std::chars_format::fixed, decimals);
    out.resize(wide.ec == std::errc() ? static_cast<std::size_t>(wide.ptr - out.data()) : 0);
    return out;
}

std::string formatGeneral(double value) {
    // to_chars with a precision is printf's %g in the C locale, whatever the locale says.
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    if (ec != std::errc()) return "0";
    return std::string(buffer, end);
}

}  // namespace norvane
