#include "app/readings/SMC.h"

#include <array>
#include <cstring>

namespace norvane {
namespace {

// Byte offsets of the 80-byte parameter record that both calls send and receive.
constexpr std::size_t recordSize = 80;
constexpr std::size_t keyAt = 0;
constexpr std::size_t sizeAt = 28;
constexpr std::size_t typeAt = 32;
constexpr std::size_t resultAt = 40;
constexpr std::size_t commandAt = 42;
constexpr std::size_t bytesAt = 48;
constexpr std::uint32_t maximumSize = 32;

constexpr std::uint32_t structMethod = 2;
constexpr std::uint8_t keyInfoCommand = 9;
constexpr std::uint8_t readCommand = 5;

using Record = std::array<std::uint8_t, recordSize>;

struct CoreKeys {
    std::string_view family;
    std::vector<std::string> keys;
};

const std::vector<CoreKeys>& coreKeyTable() {
    static const std::vector<CoreKeys> table{
        {"M1", {"Tp09", "Tp0T", "Tp01", "Tp05", "Tp0D", "Tp0H", "Tp0L", "Tp0P", "Tp0X", "Tp0b"}},
        {"M2", {"Tp1h", "Tp1t", "Tp1p", "Tp1l", "Tp01", "Tp05", "Tp09", "Tp0D", "Tp0X", "Tp0b", "Tp0f", "Tp0j"}},
        {"M3", {"Te05", "Te0L", "Te0P", "Te0S", "Tf04", "Tf09", "Tf0A", "Tf0B", "Tf0D", "Tf0E", "Tf44", "Tf49", "Tf4A",
                "Tf4B", "Tf4D", "Tf4E"}},
        {"M4", {"Te05", "Te09", "Te0H", "Te0S", "Tp01", "Tp05", "Tp09", "Tp0D", "Tp0V", "Tp0Y", "Tp0b", "Tp0e"}},
    };
    return table;
}

}  // namespace

std::optional<SMC> SMC::open(const KernelServices& services) {
    auto connection = services.open("AppleSMC", 0);
    if (!connection) return std::nullopt;
    return SMC(std::move(connection));
}

std::optional<SMC::Information> SMC::information(std::uint32_t keyCode) const {
    {
        const std::lock_guard lock(known_->mutex);
        if (const auto found = known_->keys.find(keyCode); found != known_->keys.end()) return found->second;
    }
    Record info{}, infoOut{};
    storeUInt32(info, keyAt, keyCode);
    info[commandAt] = keyInfoCommand;
    if (connection_->callStructMethod(structMethod, info, infoOut) != kernelSuccess || infoOut[resultAt] != 0)
        return std::nullopt;
    const Information out{loadUInt32(infoOut, sizeAt), loadUInt32(infoOut, typeAt)};
    if (out.size == 0 || out.size > maximumSize) return std::nullopt;
    const std::lock_guard lock(known_->mutex);
    known_->keys.insert_or_assign(keyCode, out);
    return out;
}

std::optional<SMC::Reading> SMC::read(std::string_view key) const {
    if (key.size() != 4) return std::nullopt;
    const std::uint32_t keyCode = code(key);
    const auto info = information(keyCode);
    if (!info) return std::nullopt;

    Record request{}, out{};
    storeUInt32(request, keyAt, keyCode);
    storeUInt32(request, sizeAt, info->size);
    request[commandAt] = readCommand;
    if (connection_->callStructMethod(structMethod, request, out) != kernelSuccess || out[resultAt] != 0)
        return std::nullopt;
    return Reading{name(info->type), std::vector<std::uint8_t>(out.begin() + bytesAt, out.begin() + bytesAt + info->size)};
}

std::optional<double> SMC::number(std::string_view key) const {
    const auto reading = read(key);
    return reading ? decode(*reading) : std::nullopt;
}

std::optional<double> SMC::decode(const Reading& reading) {
    const auto& b = reading.bytes;
    const std::string& type = reading.type;
    if (type == "flt " && b.size() == 4) {
        float f = 0;
        std::memcpy(&f, b.data(), 4);  // little-endian, as this machine is
        return static_cast<double>(f);
    }
    const auto u16 = [&] { return static_cast<std::uint16_t>(b[0] | b[1] << 8); };
    if (type == "si16" && b.size() == 2) return static_cast<double>(static_cast<std::int16_t>(u16()));
    if (type == "ui16" && b.size() == 2) return static_cast<double>(u16());
    if (type == "ui8 " && b.size() == 1) return static_cast<double>(b[0]);
    return std::nullopt;
}

std::vector<std::string> coreTemperatureKeys(std::string_view chip) {
    const auto& table = coreKeyTable();
    for (const auto& row : table)
        if (chip.find(row.family) != std::string_view::npos) return row.keys;
    return table.back().keys;
}

std::string chipName(const SystemControl& system) {
    std::string name = system.text("machdep.cpu.brand_string").value_or("");
    // Read as a C string: nothing after a NUL counts.
    if (const auto nul = name.find('\0'); nul != std::string::npos) name.resize(nul);
    return name;
}

std::vector<double> plausible(const std::vector<double>& values) {
    std::vector<double> out;
    for (const double v : values)
        if (v > 10 && v < 130) out.push_back(v);
    return out;
}

LivePower readLivePower(const std::optional<SMC>& meter) {
    if (!meter) return {};
    return {meter->number("B0AC"), meter->number("B0AV"), meter->number("PDTR")};
}

}  // namespace norvane
