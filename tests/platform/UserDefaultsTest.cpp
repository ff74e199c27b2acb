#include <gtest/gtest.h>

#include <cmath>

#include "platform/UserDefaults.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempFolder;

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
        if (c.stored) defaults.set("k", *c.stored);
        else defaults.remove("k");
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
