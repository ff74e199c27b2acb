#include <gtest/gtest.h>

#include "platform/PropertyList.h"

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
    ASSERT_TRUE(value);
    ASSERT_TRUE(value->isDictionary());
    EXPECT_TRUE(value->find("count")->isInteger());
    EXPECT_EQ(value->find("count")->longLongValue(), 42);
    EXPECT_FALSE(value->find("ratio")->isInteger());
    EXPECT_TRUE(value->find("whole real")->isNumber());
    EXPECT_FALSE(value->find("whole real")->isInteger());
    EXPECT_EQ(value->find("on")->boolValue(), true);
    EXPECT_EQ(value->find("off")->boolValue(), false);
    EXPECT_EQ(*value->find("name")->asString(), "bq40z651");
    EXPECT_EQ(*value->find("blank")->asString(), " ");
    EXPECT_EQ(*value->find("bytes")->asData(), (Value::Data{0x00, 0x01, 0x02, 0xFF}));
    ASSERT_TRUE(value->find("list")->isArray());
    EXPECT_EQ(value->find("list")->asArray()->size(), 2u);
    EXPECT_EQ(value->find("nested")->find("inner")->longLongValue(), -7);
    ASSERT_TRUE(value->find("when")->isDate());
    EXPECT_EQ(*value->find("when")->asDate(), Date{1'796'724'000});
}

TEST(PropertyList, BooleansAreNotNumbersAndNumbersAreNotBooleans) {
    const auto value = parsePropertyList(plist("<array><true/><integer>1</integer></array>"));
    ASSERT_TRUE(value);
    const auto& items = *value->asArray();
    EXPECT_FALSE(items[0].isNumber());
    EXPECT_FALSE(items[0].longLongValue());
    EXPECT_FALSE(items[1].boolValue());
}

TEST(PropertyList, UnsignedRegistryNumbersWrapToNegative) {
    // A discharge current as the registry's unsigned 64-bit number.
    const auto value = parsePropertyList(plist("<array><integer>18446744073709550373</integer>"
                                               "<integer>-1243</integer><integer>9223372036854775807</integer></array>"));
    ASSERT_TRUE(value);
    EXPECT_EQ((*value->asArray())[0].longLongValue(), -1243);
    EXPECT_EQ((*value->asArray())[1].longLongValue(), -1243);
    EXPECT_EQ((*value->asArray())[2].longLongValue(), INT64_MAX);
}

TEST(PropertyList, RejectsMalformedInput) {
    EXPECT_FALSE(parsePropertyList("not xml"));
    EXPECT_FALSE(parsePropertyList("<dict><key>a</key><integer>1</integer></dict>"));  // no plist root
    EXPECT_FALSE(parsePropertyList(plist("<dict><key>a</key></dict>")));             // key without value
    EXPECT_FALSE(parsePropertyList(plist("<dict><integer>1</integer></dict>")));     // value without key
    EXPECT_FALSE(parsePropertyList(plist("<integer>12abc</integer>")));
    EXPECT_FALSE(parsePropertyList(plist("<integer>99999999999999999999999</integer>")));
    EXPECT_FALSE(parsePropertyList(plist("<real>fast</real>")));
    EXPECT_FALSE(parsePropertyList(plist("<data>A</data>")));
    EXPECT_FALSE(parsePropertyList(plist("<set/>")));
    EXPECT_FALSE(parsePropertyList(plist("<date>2026-02-30T10:00:00Z</date>")));
    EXPECT_FALSE(parsePropertyList(plist("<date>2026-12-08 10:00:00</date>")));
    EXPECT_FALSE(parsePropertyList(plist("")));
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
    ASSERT_TRUE(value);
    EXPECT_TRUE(value->find("a")->isInteger());
    EXPECT_FALSE(value->find("b")->isInteger());
    EXPECT_TRUE(value->find("c")->isBoolean());
    EXPECT_TRUE(value->find("d")->isNull());
    EXPECT_EQ(value->find("f")->find("g")->longLongValue(), -2);
    EXPECT_FALSE(value->find("big")->isInteger());  // beyond the signed range: kept as a real
    const auto text = writeJson(*value);
    ASSERT_TRUE(text);
    EXPECT_EQ(parseJson(*text), value);
}

TEST(Json, RejectsBadTextAndUnwritableNumbers) {
    EXPECT_FALSE(parseJson("{"));
    EXPECT_FALSE(parseJson(""));
    EXPECT_FALSE(parseJson("{\"a\": 1} trailing"));
    // Both readers stop at the same depth; beyond it the input is undecodable, not a crash.
    const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_TRUE(parseJson(nested(513)));
    EXPECT_FALSE(parseJson(nested(514)));
    EXPECT_FALSE(parseJson(nested(20000)));
    EXPECT_FALSE(parseJson("{\"a\":" + nested(20000) + "}"));
    EXPECT_FALSE(writeJson(Value::array({Value::real(std::numeric_limits<double>::quiet_NaN())})));
    EXPECT_FALSE(writeJson(Value::dictionary({{"x", Value::real(std::numeric_limits<double>::infinity())}})));
}

TEST(Value, LongLongValueTruncatesRealsAndSaturates) {
    EXPECT_EQ(Value::real(2.9).longLongValue(), 2);
    EXPECT_EQ(Value::real(-2.9).longLongValue(), -2);
    EXPECT_EQ(Value::real(1e300).longLongValue(), INT64_MAX);
    EXPECT_EQ(Value::real(-1e300).longLongValue(), INT64_MIN);
    EXPECT_EQ(Value::real(std::numeric_limits<double>::quiet_NaN()).longLongValue(), 0);
    EXPECT_EQ(Value::integer(7).integerValue(), 7);
    EXPECT_FALSE(Value::string("7").longLongValue());
    EXPECT_EQ(Value::integer(7).doubleValue(), 7.0);
    EXPECT_EQ(Value::string("x").find("k"), nullptr);
}

}  // namespace
}  // namespace norvane
