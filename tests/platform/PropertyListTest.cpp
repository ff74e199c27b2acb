#include <gtest/gtest.h>

#include <cmath>

#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempFolder;

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
    const TempFolder folder;
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

TEST(UserDefaults, ReadersTakeEachKindAsTheSystemDoes) {
    struct Case {
        const char* name;
        std::optional<Value> stored;
        bool boolean;
        std::int64_t integer;
        std::optional<std::string> string;
        std::optional<bool> booleanObject;
        std::optional<std::int64_t> integerObject;
    };
    const Case cases[] = {
        {"missing", {}, false, 0, {}, {}, {}},
        {"true", Value::boolean(true), true, 1, {}, true, {}},
        {"false", Value::boolean(false), false, 0, {}, false, {}},
        {"integer", Value::integer(35), true, 35, "35", {}, 35},
        {"whole real", Value::real(20.0), true, 20, "20", {}, 20},
        {"real", Value::real(-4.7), true, -4, "-4.7", {}, {}},
        {"huge real", Value::real(1e300), true, INT64_MAX, "1e+300", {}, {}},
        {"NaN", Value::real(std::nan("")), true, 0, "nan", {}, {}},
        {"YES", Value::string("YES"), true, 0, "YES", {}, {}},
        {"no", Value::string("no"), false, 0, "no", {}, {}},
        {"number text", Value::string(" +0035 apples"), true, 35, " +0035 apples", {}, {}},
        {"huge text", Value::string("-99999999999999999999"), true, INT64_MIN, "-99999999999999999999", {}, {}},
        {"word", Value::string("often"), false, 0, "often", {}, {}},
        {"data", Value::data({1}), false, 0, {}, {}, {}},
        {"date", Value::date(Date{5}), false, 0, {}, {}, {}},
    };
    TempFolder dir;
    UserDefaults defaults(dir / "d.plist");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.stored)
            defaults.set("k", *c.stored);
        else
            defaults.remove("k");
        EXPECT_EQ(defaults.boolean("k"), c.boolean);
        EXPECT_EQ(defaults.integer("k"), c.integer);
        EXPECT_EQ(defaults.string("k"), c.string);
        EXPECT_EQ(defaults.booleanObject("k"), c.booleanObject);
        EXPECT_EQ(defaults.integerObject("k"), c.integerObject);
    }
}

TEST(UserDefaults, EveryChangeIsInTheFileAndListsDataAndDatesReadOnlyAsTheirKind) {
    TempFolder dir;
    const Path file = dir / "prefs/app.norvane.Norvane.plist";  // the folder is made on the first write
    {
        UserDefaults defaults(file);
        ASSERT_TRUE(defaults.set("names", Value::array({Value::string("b"), Value::string("a")})));
        ASSERT_TRUE(defaults.set("mixed", Value::array({Value::string("b"), Value::integer(1)})));
        ASSERT_TRUE(defaults.set("bytes", Value::data({0, 255})));
        ASSERT_TRUE(defaults.set("when", Value::date(Date{1'796'724'000})));
        ASSERT_TRUE(defaults.set("text", Value::string("2026-12-08T10:00:00Z")));
        ASSERT_TRUE(defaults.set("gone", Value::integer(1)));
        ASSERT_TRUE(defaults.remove("gone"));
        ASSERT_TRUE(defaults.set("text", Value()));
    }
    const UserDefaults again(file);
    EXPECT_EQ(again.stringArray("names"), (std::vector<std::string>{"b", "a"}));
    EXPECT_FALSE(again.stringArray("mixed"));
    EXPECT_EQ(again.data("bytes"), (Value::Data{0, 255}));
    EXPECT_FALSE(again.data("names"));
    EXPECT_EQ(again.date("when"), Date{1'796'724'000});
    EXPECT_FALSE(again.date("bytes"));
    EXPECT_FALSE(again.object("gone") || again.object("text"));
}

TEST(UserDefaults, AnUndecodableFileIsMovedAsideNotOverwritten) {
    for (const char* content : {"not a property list", "<plist><array/></plist>", "<plist><dict><key>a</key>"}) {
        SCOPED_TRACE(content);
        TempFolder dir;
        const Path file = dir.write("d.plist", content);
        UserDefaults defaults(file);
        EXPECT_FALSE(defaults.object("a"));
        EXPECT_EQ(readFile(dir / "d.plist.unreadable-1"), content);
        ASSERT_TRUE(defaults.set("a", Value::integer(1)));
        EXPECT_EQ(UserDefaults(file).integer("a"), 1);
        EXPECT_EQ(readFile(dir / "d.plist.unreadable-1"), content);
    }
}

TEST(UserDefaults, AFailedWriteKeepsTheEntryInMemory) {
    TempFolder dir;
    dir.write("blocked", "a file where the folder would be");
    UserDefaults defaults(dir / "blocked/d.plist");
    EXPECT_FALSE(defaults.set("alertLow", Value::integer(20)));
    EXPECT_EQ(defaults.integer("alertLow"), 20);
}

}  // namespace
}  // namespace norvane
