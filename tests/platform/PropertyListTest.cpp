#include <gtest/gtest.h>

#include "platform/PropertyList.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

std::string plist(const std::string& body) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">)" + body + "</plist>";
}

TEST(PropertyList, ReadsEveryKindAndKeepsIntegersApartFromReals) {
    const auto value = parsePropertyList(plist(R"(
<dict>
  <key>count</key><integer>42</integer>
  <key>ratio</key><real>0.5</real>
  <key>whole real</key><real>3</real>
  <key>on</key><true/>
  <key>off</key><false/>
  <key>name</key><string>bq40z651</string>
  <key>blank</key><string> </string>
  <key>bytes</key><data>
    AAEC/w==
  </data>
  <key>list</key><array><integer>1</integer><string>two</string></array>
  <key>nested</key><dict><key>inner</key><integer>-7</integer></dict>
  <key>when</key><date>2026-12-08T10:00:00Z</date>
</dict>)"));
    // Whole reals stay reals; data may be wrapped and indented.
    const Value expected = Value::dictionary({
        {"count", Value::integer(42)},
        {"ratio", Value::real(0.5)},
        {"whole real", Value::real(3)},
        {"on", Value::boolean(true)},
        {"off", Value::boolean(false)},
        {"name", Value::string("bq40z651")},
        {"blank", Value::string(" ")},
        {"bytes", Value::data({0x00, 0x01, 0x02, 0xFF})},
        {"list", Value::array({Value::integer(1), Value::string("two")})},
        {"nested", Value::dictionary({{"inner", Value::integer(-7)}})},
        {"when", Value::date(Date{1'796'724'000})},
    });
    EXPECT_EQ(value, expected);
    // Booleans are not numbers, and numbers are not Booleans.
    EXPECT_FALSE(expected.find("on")->isNumber() || expected.find("on")->longLongValue());
    EXPECT_FALSE(expected.find("count")->boolValue());
}

TEST(PropertyList, UnsignedRegistryNumbersWrapToNegative) {
    // A discharge current as the registry's unsigned 64-bit number.
    const auto value = parsePropertyList(plist("<array><integer>18446744073709550373</integer>"
                                               "<integer>-1243</integer><integer>9223372036854775807</integer></array>"));
    EXPECT_EQ(value, Value::array({Value::integer(-1243), Value::integer(-1243), Value::integer(INT64_MAX)}));
}

TEST(PropertyList, RejectsMalformedInput) {
    EXPECT_FALSE(parsePropertyList("not xml"));
    EXPECT_FALSE(parsePropertyList("<dict><key>a</key><integer>1</integer></dict>"));  // no plist root
    // A key without a value, a value without a key, then values that are not what they say.
    for (const char* body :
         {"<dict><key>a</key></dict>", "<dict><integer>1</integer></dict>", "<integer>12abc</integer>",
          "<integer>99999999999999999999999</integer>", "<real>fast</real>", "<data>A</data>", "<set/>",
          "<date>2026-02-30T10:00:00Z</date>", "<date>2026-12-08 10:00:00</date>", ""})
        EXPECT_FALSE(parsePropertyList(plist(body))) << body;
}

TEST(PropertyList, WrittenListsReadBackEqual) {
    Value::Dictionary dict;
    dict.emplace("percent", Value::integer(-3));
    dict.emplace("ratio", Value::real(0.1));
    dict.emplace("flag", Value::boolean(true));
    dict.emplace("text", Value::string("a < b & \"c\""));
    dict.emplace("bytes", Value::data({1, 2, 3, 250}));
    dict.emplace("list", Value::array({Value::integer(1), Value::array({})}));
    dict.emplace("landing", Value::date(Date{-14'182'940}));
    dict.emplace("leap day", Value::date(Date{1'709'208'000}));
    const Value original = Value::dictionary(dict);
    const auto back = parsePropertyList(writePropertyList(original));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, original);
}

TEST(Json, KeepsKindsAndRoundTrips) {
    const auto value = parseJson(R"({"a": 1, "b": 1.5, "c": true, "d": null, "e": [1, "x"], "f": {"g": -2},
                                     "big": 18446744073709551615})");
    // Beyond the signed range a number is kept as a real.
    EXPECT_EQ(value, Value::dictionary({{"a", Value::integer(1)}, {"b", Value::real(1.5)}, {"c", Value::boolean(true)},
                                        {"d", Value()}, {"e", Value::array({Value::integer(1), Value::string("x")})},
                                        {"f", Value::dictionary({{"g", Value::integer(-2)}})},
                                        {"big", Value::real(18446744073709551615.0)}}));
    const auto text = writeJson(*value);
    ASSERT_TRUE(text);
    EXPECT_EQ(parseJson(*text), value);
}

TEST(Json, RejectsBadTextAndUnwritableNumbers) {
    for (const char* text : {"{", "", "{\"a\": 1} trailing"})
        EXPECT_FALSE(parseJson(text)) << text;
    // Both readers stop at the same depth; beyond it the input is undecodable, not a crash.
    const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_TRUE(parseJson(nested(513)));
    EXPECT_FALSE(parseJson(nested(514)));
    EXPECT_FALSE(parseJson(nested(20000)));
    EXPECT_FALSE(parseJson("{\"a\":" + nested(20000) + "}"));
    EXPECT_FALSE(writeJson(Value::array({Value::real(std::numeric_limits<double>::quiet_NaN())})));
    EXPECT_FALSE(writeJson(Value::dictionary({{"x", Value::real(std::numeric_limits<double>::infinity())}})));
}

TEST(Json, AStateFileIsAnObjectOfBoundedSize) {
    const testing::TempFolder folder;
    EXPECT_EQ(readJsonObject(folder / "missing.json"), Value::dictionary({}));
    EXPECT_EQ(readJsonObject(folder.write("object.json", R"({"a": 1})")), Value::dictionary({{"a", Value::integer(1)}}));
    EXPECT_FALSE(readJsonObject(folder.write("array.json", "[1]")));
    // Padded past the bound with spaces, it is still an object, but not read.
    const Path large = folder.write("large.json", "{}" + std::string(maximumJsonObjectBytes, ' '));
    EXPECT_FALSE(readJsonObject(large));
}

TEST(Value, LongLongValueTruncatesRealsAndSaturates) {
    EXPECT_EQ(Value::real(2.9).longLongValue(), 2);
    EXPECT_EQ(Value::real(-2.9).longLongValue(), -2);
    EXPECT_EQ(Value::real(1e300).longLongValue(), INT64_MAX);
    EXPECT_EQ(Value::real(-1e300).longLongValue(), INT64_MIN);
    EXPECT_EQ(Value::real(std::numeric_limits<double>::quiet_NaN()).longLongValue(), 0);
    EXPECT_FALSE(Value::string("7").longLongValue());
    EXPECT_EQ(Value::integer(7).doubleValue(), 7.0);
    EXPECT_EQ(Value::string("x").find("k"), nullptr);
}

}  // namespace
}  // namespace norvane
