#pragma once
// One value type for everything that reaches us as a property list or JSON: the
// registry's properties, command output, stored files.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/Time.h"

namespace norvane {

class Value {
public:
    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value, std::less<>>;
    using Data = std::vector<std::uint8_t>;
    struct Null {
        bool operator==(const Null&) const = default;
    };

    // Dates come only from property lists (<date>); JSON has none.
    enum class Kind { null, integer, real, boolean, string, data, array, dictionary, date };

    Value() = default;
    static Value integer(std::int64_t v) { return Value(std::in_place_index<1>, v); }
    static Value real(double v) { return Value(std::in_place_index<2>, v); }
    static Value boolean(bool v) { return Value(std::in_place_index<3>, v); }
    static Value string(std::string v) { return Value(std::in_place_index<4>, std::move(v)); }
    static Value data(Data v) { return Value(std::in_place_index<5>, std::move(v)); }
    static Value array(Array v) { return Value(std::in_place_index<6>, std::move(v)); }
    static Value dictionary(Dictionary v) { return Value(std::in_place_index<7>, std::move(v)); }
    static Value date(Date v) { return Value(std::in_place_index<8>, v); }

    Kind kind() const { return static_cast<Kind>(storage_.index()); }
    bool isNull() const { return kind() == Kind::null; }
    // A number keeps whether it was written as an integer or as a real; Booleans are not numbers.
    bool isNumber() const { return kind() == Kind::integer || kind() == Kind::real; }
    bool isInteger() const { return kind() == Kind::integer; }
    bool isBoolean() const { return kind() == Kind::boolean; }
    bool isString() const { return kind() == Kind::string; }
    bool isData() const { return kind() == Kind::data; }
    bool isArray() const { return kind() == Kind::array; }
    bool isDictionary() const { return kind() == Kind::dictionary; }
    bool isDate() const { return kind() == Kind::date; }

    // Number as a 64-bit integer: integers as they are, reals truncated toward zero
    // (saturating at the range ends, NaN gives 0). Absent for anything that is not a number.
    std::optional<std::int64_t> longLongValue() const;
    // The same as longLongValue: our integers are 64 bits wide.
    std::optional<std::int64_t> integerValue() const { return longLongValue(); }
    std::optional<double> doubleValue() const;
    // Only a Boolean reads as a Boolean.
    std::optional<bool> boolValue() const;

    const std::string* asString() const { return std::get_if<4>(&storage_); }
    const Data* asData() const { return std::get_if<5>(&storage_); }
    const Array* asArray() const { return std::get_if<6>(&storage_); }
    const Dictionary* asDictionary() const { return std::get_if<7>(&storage_); }
    const Date* asDate() const { return std::get_if<8>(&storage_); }
    Array* asArray() { return std::get_if<6>(&storage_); }
    Dictionary* asDictionary() { return std::get_if<7>(&storage_); }

    // Member of a dictionary; null when this is not a dictionary or has no such key.
    const Value* find(std::string_view key) const;

    bool operator==(const Value& other) const = default;

private:
    using Storage = std::variant<Null, std::int64_t, double, bool, std::string, Data, Array, Dictionary, Date>;
    // Built in place: a temporary variant would be moved and destroyed for nothing.
    template <std::size_t Index, typename T>
    Value(std::in_place_index_t<Index> index, T&& v) : storage_(index, std::forward<T>(v)) {}
    Storage storage_;
};

// Member lookup on an optional dictionary, for chains of reads.
const Value* find(const Value::Dictionary& dict, std::string_view key);

}  // namespace norvane
