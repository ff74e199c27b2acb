#pragma once
// Text helpers that never follow the user's locale: UTF-8 decoding, Unicode character
// classes, and number parsing and formatting in the C locale.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// The code points of valid UTF-8; absent when any byte sequence is invalid (overlong
// forms, surrogates and values above U+10FFFF included).
std::optional<std::u32string> decodeUtf8(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);
// UTF-8 text with every invalid sequence replaced by U+FFFD.
std::string decodeUtf8Lossy(std::string_view bytes);
std::string encodeUtf8(std::u32string_view codePoints);
std::string encodeUtf8(char32_t codePoint);
// The code point that starts at byte `i`, moving `i` past it; absent (with `i` moved past
// the bad bytes) when the sequence there is not valid UTF-8. `i` must be below the size.
std::optional<char32_t> decodeUtf8At(std::string_view bytes, std::size_t& i);

// Unicode general categories N* (decimal digits, letter numbers, other numbers).
bool isUnicodeNumber(char32_t c);
// Unicode general categories L*.
bool isUnicodeLetter(char32_t c);
// The classes that `\s` and `\w` stand for in ICU's regular expressions: tab, line feed,
// form feed, carriage return and the Unicode separators (Z*); alphabetic characters,
// marks, decimal digits, connector punctuation and the two zero-width joiners.
bool isRegexSpace(char32_t c);
bool isRegexWordCharacter(char32_t c);
// The numeric value of a decimal digit of any script (Nd), or absent.
std::optional<int> decimalDigitValue(char32_t c);
// Unicode general categories Lu, M* and P*, and the White_Space property.
bool isUnicodeUppercaseLetter(char32_t c);
bool isUnicodeMark(char32_t c);
bool isUnicodePunctuation(char32_t c);
bool isUnicodeWhitespace(char32_t c);
// The text without Unicode white space (line ends included) at either end; invalid UTF-8
// is repaired first.
std::string trimmedWhitespace(std::string_view text);

// The number of user-perceived characters (ICU's extended grapheme clusters): an "e" with
// a combining accent, a flag or a family emoji each count one.
std::size_t characterCount(std::string_view text);
// The text's first `count` user-perceived characters (all of it when it has fewer); invalid
// UTF-8 is repaired first.
std::string firstCharacters(std::string_view text, std::size_t count);
// Unicode lower-casing, the same in every locale (no Turkish dotless i).
std::string lowercased(std::string_view text);
// Unicode upper-casing with the full mappings ("ß" gives "SS"), the same in every locale.
std::string uppercased(std::string_view text);

// A case-insensitive search for one word standing whole in a text. A word is a run of
// letters, marks, decimal digits and connector punctuation of any script, so "Zoom" is not
// found in "Zoomé" nor "TV" in "TVアプリ". Safe to share between threads.
class WholeWord {
public:
    explicit WholeWord(std::string_view word);
    ~WholeWord();
    WholeWord(WholeWord&&) noexcept;
    WholeWord& operator=(WholeWord&&) noexcept;
    bool foundIn(std::string_view text) const;

private:
    struct Pattern;
    std::unique_ptr<Pattern> pattern_;
};

// The pieces between separators, leaving out empty ones ("a,,b," gives "a" and "b").
std::vector<std::string_view> splitNonEmpty(std::string_view text, char separator);

// Whether `word` stands whole in the text between any of the separator bytes (or its ends).
bool hasWord(std::string_view text, std::string_view word, std::string_view separators);

// Decimal integers: an optional sign, then digits only; no spaces, nothing after them.
std::optional<std::int64_t> parseInt64(std::string_view text);
std::optional<std::int32_t> parseInt32(std::string_view text);
// Unsigned decimal digits only (no sign), up to 2^64 - 1.
std::optional<std::uint64_t> parseUInt64(std::string_view text);
// Decimal floating point with fractions and exponents and an optional sign; "inf" and
// "nan" are accepted, so callers that need a finite value check for it.
std::optional<double> parseDouble(std::string_view text);

// The integer a double truncates toward zero (or rounds half away from zero) to; absent when
// no integer conversion is defined for it: NaN, infinities, anything outside the 64-bit range.
std::optional<std::int64_t> truncatedInteger(double value);
std::optional<std::int64_t> roundedInteger(double value);

// Shortest text that reads back as the same double ("0.1", "1e+20", "5").
std::string formatDouble(double value);
// Fixed number of decimals, C locale ("12.50"), every digit of a huge value as printf
// writes it; "inf" and "nan" for what is no finite number.
std::string formatFixed(double value, int decimals);
// What printf's "%g" gives in the C locale ("2.5", "3", "1.23457e+06").
std::string formatGeneral(double value);

}  // namespace norvane
