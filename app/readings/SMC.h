#pragma once
// The System Management Controller: temperatures, fans and live power figures under
// four-character keys, read one at a time through the AppleSMC user client.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/readings/LivePower.h"
#include "platform/KernelService.h"
#include "platform/SystemControl.h"

namespace norvane {

class SMC {
public:
    // Absent when the service is missing or cannot be opened.
    static std::optional<SMC> open(const KernelServices& services);

    struct Reading {
        std::string type;  // four characters, trailing space included ("flt ")
        std::vector<std::uint8_t> bytes;
        bool operator==(const Reading&) const = default;
    };
    // The key's type and value bytes; absent on any failure, and without a call for a key
    // that is not four bytes long.
    std::optional<Reading> read(std::string_view key) const;
    // The value of a "flt ", "si16", "ui16" or "ui8 " key of its exact size.
    std::optional<double> number(std::string_view key) const;
    // The same decoding of a reading already taken.
    static std::optional<double> decode(const Reading& reading);

    static std::uint32_t code(std::string_view key) { return fourCharCode(key); }
    static std::string name(std::uint32_t code) { return fourCharText(code); }

private:
    // A key's information (its size and type) does not change while the machine runs, so the
    // connection asks for it once per key, as a driver's client does; a failed answer is not kept.
    struct Information {
        std::uint32_t size = 0, type = 0;
    };
    struct Known {
        std::mutex mutex;
        std::map<std::uint32_t, Information> keys;
    };
    explicit SMC(std::unique_ptr<UserClient> connection)
        : connection_(std::move(connection)), known_(std::make_unique<Known>()) {}
    std::optional<Information> information(std::uint32_t keyCode) const;
    std::unique_ptr<UserClient> connection_;  // closed with the object
    std::unique_ptr<Known> known_;
};

// The CPU core temperature keys of the first chip family the name holds ("M1" … "M4");
// the M4 keys when it holds none.
std::vector<std::string> coreTemperatureKeys(std::string_view chip);
// The processor's brand string ("machdep.cpu.brand_string"), up to a NUL; empty when the
// system does not say.
std::string chipName(const SystemControl& system);
// The values that can be temperatures in °C: strictly between 10 and 130, in order.
std::vector<double> plausible(const std::vector<double>& values);

// The tick's live figures: "B0AC", "B0AV" and "PDTR"; all absent without a meter.
LivePower readLivePower(const std::optional<SMC>& meter);

}  // namespace norvane
