#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "platform/Text.h"

namespace norvane {
namespace {

TEST(Utf8, StrictDecodingRejectsEveryInvalidForm) {
    EXPECT_EQ(decodeUtf8("a\xC3\xA9\xE2\x89\x88\xF0\x9F\x94\x8B"), std::u32string(U"a\u00E9\u2248\U0001F50B"));
    EXPECT_FALSE(decodeUtf8("\xC0\xAF"));          // overlong slash
    EXPECT_FALSE(decodeUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(decodeUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(decodeUtf8("\xE2\x89"));          // cut short
    EXPECT_FALSE(decodeUtf8("\x80"));              // lone continuation
    EXPECT_TRUE(isValidUtf8(""));
}

TEST(Utf8, LossyDecodingReplacesOnlyTheBadSequences) {
    EXPECT_EQ(decodeUtf8Lossy("ok"), "ok");
    EXPECT_EQ(decodeUtf8Lossy("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(decodeUtf8Lossy("\xE2\x89" "x"), "\xEF\xBF\xBD" "x");
    EXPECT_TRUE(isValidUtf8(decodeUtf8Lossy("\xC0\xAF\xED\xA0\x80\xF8")));
    EXPECT_EQ(encodeUtf8(U"\u2248\U0001F50B"), "\xE2\x89\x88\xF0\x9F\x94\x8B");
}

TEST(Unicode, NumberAndLetterClasses) {
    // An Arabic-Indic nine, one half, a Roman numeral four.
    for (const char32_t number : {U'7', U'\u0669', U'\u00BD', U'\u2163'}) EXPECT_TRUE(isUnicodeNumber(number));
    EXPECT_FALSE(isUnicodeNumber(U'%') || isUnicodeNumber(U'a'));
    EXPECT_TRUE(isUnicodeLetter(U'\u00E9'));
    EXPECT_FALSE(isUnicodeLetter(U'1'));
    EXPECT_EQ(decimalDigitValue(U'\u0669'), 9);
    EXPECT_FALSE(decimalDigitValue(U'\u00BD'));
}

TEST(Unicode, CharactersAreGraphemesAndLowerCasingIgnoresTheLocale) {
    // e with a combining accent, a flag, a joined emoji, CR LF; an invalid byte is one character.
    for (const auto& [text, count] : std::vector<std::pair<std::string, std::size_t>>{
             {"", 0}, {"abc", 3}, {"e\xCC\x81", 1}, {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", 1},
             {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB", 1}, {"\r\n", 1}, {"a\xFF", 2}})
        EXPECT_EQ(characterCount(text), count) << text;
    for (const auto& [text, count, first] : std::vector<std::tuple<std::string, std::size_t, std::string>>{
             {"abc", 2, "ab"}, {"ab", 5, "ab"}, {"abc", 0, ""}, {"e\xCC\x81" "e\xCC\x81", 1, "e\xCC\x81"},
             {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBBx", 1, "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB"},
             {"\xFF" "ab", 2, "\xEF\xBF\xBD" "a"}})
        EXPECT_EQ(firstCharacters(text, count), first) << text;
    EXPECT_EQ(lowercased("\xC3\x89LAN \xCE\xA3\xCE\x9F\xCE\xA3 I"),
              "\xC3\xA9lan \xCF\x83\xCE\xBF\xCF\x82 i");  // final sigma, no dotless i
}

TEST(Split, LeavesOutEmptyPieces) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(splitNonEmpty("a,,b,", ','), (V{"a", "b"}));
    EXPECT_EQ(splitNonEmpty(",a", ','), (V{"a"}));
    EXPECT_EQ(splitNonEmpty("", ','), V{});
    EXPECT_EQ(splitNonEmpty(",,,", ','), V{});
    EXPECT_EQ(splitNonEmpty("PID  COMMAND", ' '), (V{"PID", "COMMAND"}));
}

TEST(Numbers, IntegersTakeASignAndNothingElse) {
    for (const auto& [text, value] : std::vector<std::pair<const char*, std::optional<std::int64_t>>>{
             {"42", 42}, {"-42", -42}, {"+42", 42}, {"", {}}, {"+", {}}, {"+-1", {}}, {" 1", {}}, {"1 ", {}},
             {"1.0", {}}, {"9223372036854775807", INT64_MAX}, {"9223372036854775808", {}}})
        EXPECT_EQ(parseInt64(text), value) << text;
    EXPECT_EQ(parseInt32("2147483647"), 2147483647);
    EXPECT_FALSE(parseInt32("2147483648"));
    EXPECT_EQ(parseUInt64("18446744073709551615"), UINT64_MAX);
    for (const char* bad : {"18446744073709551616", "-1", "+1", "", "1 "}) EXPECT_FALSE(parseUInt64(bad)) << bad;
}

TEST(Numbers, DoublesAcceptFractionsAndExponents) {
    for (const auto& [text, value] : std::vector<std::pair<const char*, std::optional<double>>>{
             {"1780000000.25", 1780000000.25}, {"1.5e3", 1500.0}, {"+2", 2.0}, {"-0.5", -0.5}, {"1e-400", 0.0},
             {"1,5", {}}, {"12abc", {}}, {"", {}}, {" 1", {}}})
        EXPECT_EQ(parseDouble(text), value) << text;
    EXPECT_TRUE(std::isinf(*parseDouble("inf")));
    EXPECT_TRUE(std::isnan(*parseDouble("nan")));
    EXPECT_TRUE(std::isinf(*parseDouble("1e400")));
}

TEST(Numbers, OnlyDoublesWithAnIntegerConvert) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    using O = std::optional<std::int64_t>;
    const std::tuple<double, O, O> rows[] = {
        {2.5, 2, 3},   {-2.5, -2, -3},   {-0.4, 0, 0},   {0x1p62, 0x1p62, 0x1p62}, {-0x1p63, INT64_MIN, INT64_MIN},
        {0x1p63, {}, {}}, {nan, {}, {}}, {inf, {}, {}}, {-inf, {}, {}},           {1e300, {}, {}}};
    for (const auto& [value, truncated, rounded] : rows)
        EXPECT_EQ(std::pair(truncatedInteger(value), roundedInteger(value)), std::pair(truncated, rounded)) << value;
}

TEST(Numbers, FixedDecimalsOfAnyFiniteValueAsPrintfWritesThem) {
    const double max = std::numeric_limits<double>::max(), inf = std::numeric_limits<double>::infinity();
    const std::pair<double, int> rows[] = {{12.5, 2},  {-0.04, 1}, {0.05, 0},  {1e300, 1},
                                           {-max, 2}, {max, 0},   {5e-324, 3}};
    for (const auto& [value, decimals] : rows) {
        std::vector<char> printed(400);
        std::snprintf(printed.data(), printed.size(), "%.*f", decimals, value);
        EXPECT_EQ(formatFixed(value, decimals), printed.data()) << value;
    }
    EXPECT_EQ(formatFixed(inf, 1) + formatFixed(-inf, 1) + formatFixed(std::nan(""), 1), "inf-infnan");
}

TEST(Numbers, FormattingIgnoresTheLocale) {
    // The install step generates this locale; without it the test would prove nothing.
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(formatDouble(0.1), "0.1");
    EXPECT_EQ(formatDouble(5), "5");
    EXPECT_EQ(formatFixed(12.5, 2), "12.50");
    EXPECT_EQ(parseDouble(formatDouble(1.0 / 3.0)), 1.0 / 3.0);
    EXPECT_EQ(formatGeneral(2.5), "2.5");
    EXPECT_EQ(formatGeneral(1234567), "1.23457e+06");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace norvane
