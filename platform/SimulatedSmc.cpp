#include "platform/SimulatedSmc.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <vector>

#include "platform/FileReading.h"
#include "platform/PropertyList.h"

namespace norvane {
namespace {

// The controller's 80-byte parameter record.
struct Record {
    static constexpr std::size_t size = 80;
    static constexpr std::size_t key = 0;
    static constexpr std::size_t dataSize = 28;
    static constexpr std::size_t dataType = 32;
    static constexpr std::size_t result = 40;
    static constexpr std::size_t command = 42;
    static constexpr std::size_t bytes = 48;
    static constexpr std::size_t maximumBytes = 32;
};
constexpr std::uint32_t structSelector = 2;
constexpr std::uint8_t readKeyInfo = 9;
constexpr std::uint8_t readBytes = 5;
constexpr std::uint8_t keyNotFound = 0x84;

struct Key {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    std::uint32_t size = 0;    // reported by key information; the byte count unless overridden
    std::string fail;          // "info" or "read": that call itself fails
    std::uint8_t result = 0;   // result byte of the key-information call
    std::uint8_t readResult = 0;
};

std::optional<std::vector<std::uint8_t>> fromHex(std::string_view hex) {
    if (hex.size() % 2 != 0 || hex.size() > 2 * Record::maximumBytes) return std::nullopt;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned byte = 0;
        for (const char c : hex.substr(i, 2)) {
            const auto digit = std::string_view("0123456789abcdef0123456789ABCDEF").find(c);
            if (digit == std::string_view::npos) return std::nullopt;
            byte = byte * 16 + static_cast<unsigned>(digit % 16);
        }
        out.push_back(static_cast<std::uint8_t>(byte));
    }
    return out;
}

// The little-endian bytes of a value of one of the numeric types; absent when the value
// does not fit the type.
std::optional<std::vector<std::uint8_t>> encode(std::string_view type, const Value& value) {
    const auto d = value.doubleValue();
    if (!d || !std::isfinite(*d)) return std::nullopt;
    if (type == "flt ") {
        if (std::fabs(*d) > std::numeric_limits<float>::max()) return std::nullopt;
        const float f = static_cast<float>(*d);
        std::vector<std::uint8_t> out(4);
        std::memcpy(out.data(), &f, 4);  // the machine's own order is little-endian
        return out;
    }
    struct Range {
        std::string_view type;
        double low, high;
        std::size_t size;
    };
    constexpr Range ranges[] = {{"si16", -32768, 32767, 2}, {"ui16", 0, 65535, 2}, {"ui8 ", 0, 255, 1}};
    for (const auto& r : ranges) {
        if (type != r.type) continue;
        if (*d != std::trunc(*d) || *d < r.low || *d > r.high) return std::nullopt;
        auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(*d));
        std::vector<std::uint8_t> out;
        for (std::size_t i = 0; i < r.size; ++i, bits >>= 8) out.push_back(static_cast<std::uint8_t>(bits & 0xFF));
        return out;
    }
    return std::nullopt;
}

std::uint8_t resultByte(const Value& entry, std::string_view member) {
    const Value* v = entry.find(member);
    const auto n = v ? v->longLongValue() : std::nullopt;
    return n && *n >= 0 && *n <= 255 ? static_cast<std::uint8_t>(*n) : 0;
}

// One row of the table; absent when it is malformed, as if the SMC had no such key.
std::optional<Key> parseKey(const Value& entry) {
    const Value* type = entry.find("type");
    if (!type || !type->asString() || type->asString()->size() != 4) return std::nullopt;
    Key key;
    key.type = fourCharCode(*type->asString());
    if (const Value* hex = entry.find("bytes")) {
        auto bytes = hex->asString() ? fromHex(*hex->asString()) : std::nullopt;
        if (!bytes) return std::nullopt;
        key.bytes = std::move(*bytes);
    } else if (const Value* value = entry.find("value")) {
        auto bytes = encode(*type->asString(), *value);
        if (!bytes) return std::nullopt;
        key.bytes = std::move(*bytes);
    }
    key.size = static_cast<std::uint32_t>(key.bytes.size());
    if (const Value* size = entry.find("size")) {
        const auto n = size->longLongValue();
        if (!n || *n < 0 || *n > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
        key.size = static_cast<std::uint32_t>(*n);
    }
    if (const Value* fail = entry.find("fail"); fail && fail->asString()) key.fail = *fail->asString();
    key.result = resultByte(entry, "result");
    key.readResult = resultByte(entry, "readResult");
    return key;
}

// The key table as the controller answers from it: absent when the file is not a JSON object.
struct Table {
    bool opens = true;  // "open": false refuses the connection
    std::map<std::string, std::optional<Key>, std::less<>> keys;  // a malformed row is no key
};

std::optional<Table> readTable(const FileBytes& file) {
    auto root = file.bytes ? parseJson(*file.bytes) : std::nullopt;
    if (!root || !root->isDictionary()) return std::nullopt;
    Table table;
    if (const Value* open = root->find("open"); open && open->boolValue() == false) table.opens = false;
    if (const Value* keys = root->find("keys"); keys && keys->isDictionary())
        for (const auto& [name, entry] : *keys->asDictionary()) table.keys.emplace(name, parseKey(entry));
    return table;
}

std::shared_ptr<const std::optional<Table>> table(const Machine& machine) {
    static const FileReading<std::optional<Table>> reading(&readTable);
    return reading(machine.path("smc/keys.json"));
}

}  // namespace

std::unique_ptr<UserClient> SimulatedSmc::open(const Machine& machine) {
    const auto keys = table(machine);
    if (!*keys || !(*keys)->opens) return nullptr;
    return std::unique_ptr<UserClient>(new SimulatedSmc(machine));
}

KernelReturn SimulatedSmc::callStructMethod(std::uint32_t selector, std::span<const std::uint8_t> input,
                                            std::span<std::uint8_t> output) {
    if (selector != structSelector) return kernelUnsupported;
    if (input.size() != Record::size || output.size() != Record::size) return kernelBadArgument;
    const std::uint8_t command = input[Record::command];
    if (command != readKeyInfo && command != readBytes) return kernelUnsupported;

    std::fill(output.begin(), output.end(), std::uint8_t{0});
    const std::string name = fourCharText(loadUInt32(input, Record::key));
    const auto keys = table(machine_);
    const Key* key = nullptr;
    if (*keys)
        if (const auto found = (*keys)->keys.find(name); found != (*keys)->keys.end() && found->second)
            key = &*found->second;
    if (!key) {
        output[Record::result] = keyNotFound;
        return kernelSuccess;
    }
    if (command == readKeyInfo) {
        if (key->fail == "info") return kernelError;
        output[Record::result] = key->result;
        storeUInt32(output, Record::dataSize, key->size);
        storeUInt32(output, Record::dataType, key->type);
        return kernelSuccess;
    }
    if (key->fail == "read") return kernelError;
    output[Record::result] = key->readResult;
    const std::size_t count =
        std::min({static_cast<std::size_t>(loadUInt32(input, Record::dataSize)), key->bytes.size(), Record::maximumBytes});
    std::copy_n(key->bytes.begin(), count, output.begin() + Record::bytes);
    return kernelSuccess;
}

}  // namespace norvane
