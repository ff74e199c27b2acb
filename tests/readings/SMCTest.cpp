#include <gtest/gtest.h>

#include <cmath>

#include "app/readings/Battery.h"
#include "app/readings/SMC.h"
#include "platform/SimulatedSmc.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

class SmcTest : public ::testing::Test {
protected:
    TempMachine temp;
    void keys(const std::string& table) { temp.write("smc/keys.json", R"({"keys": {)" + table + "}}"); }
    std::optional<SMC> open() const { return SMC::open(MachineKernelServices(temp.machine())); }
};

TEST_F(SmcTest, TheSimulatedControllerSpeaksTheRecordLayout) {
    keys(R"("B0AC": {"type": "si16", "value": -1243})");
    auto smc = SimulatedSmc::open(temp.machine());
    ASSERT_TRUE(smc);
    std::array<std::uint8_t, 80> in{}, out{};
    const std::uint8_t keyBytes[] = {'C', 'A', '0', 'B'};  // "B0AC", little-endian
    std::copy(std::begin(keyBytes), std::end(keyBytes), in.begin());
    in[42] = 9;
    ASSERT_EQ(smc->callStructMethod(2, in, out), kernelSuccess);
    EXPECT_EQ(out[40], 0);
    EXPECT_EQ((std::array{out[28], out[29], out[30], out[31]}), (std::array<std::uint8_t, 4>{2, 0, 0, 0}));
    EXPECT_EQ((std::array{out[32], out[33], out[34], out[35]}), (std::array<std::uint8_t, 4>{'6', '1', 'i', 's'}));

    in[28] = 2;
    in[42] = 5;
    ASSERT_EQ(smc->callStructMethod(2, in, out), kernelSuccess);
    EXPECT_EQ(out[40], 0);
    EXPECT_EQ((std::array{out[48], out[49], out[50]}), (std::array<std::uint8_t, 3>{0x25, 0xFB, 0}));

    EXPECT_EQ(smc->callStructMethod(3, in, out), kernelUnsupported);
    EXPECT_EQ(smc->callStructMethod(2, std::span(in).first(40), out), kernelBadArgument);
}

TEST_F(SmcTest, NumbersOfTheFourTypesOfTheirExactSizeAndUpToThirtyTwoBytes) {
    keys(R"("long": {"type": "ch8*", "bytes": ")" + std::string(64, 'a') + R"("},
      "flt1": {"type": "flt ", "value": 30.5},
      "si16": {"type": "si16", "bytes": "ffff"},
      "ui16": {"type": "ui16", "bytes": "FFFF"},
      "ui8a": {"type": "ui8 ", "value": 7},
      "flt2": {"type": "flt ", "bytes": "0000"},
      "fpe2": {"type": "fpe2", "bytes": "0100"},
      "si4b": {"type": "si16", "bytes": "01000000"},
      "big1": {"type": "ui16", "value": 65536},
      "odd1": {"type": "fl", "value": 1},
      "siz0": {"type": "ui8 ", "value": 1, "size": 0},
      "si33": {"type": "ui8 ", "value": 1, "size": 33},
      "fInf": {"type": "ui8 ", "value": 1, "fail": "info"},
      "fRed": {"type": "ui8 ", "value": 1, "fail": "read"},
      "rInf": {"type": "ui8 ", "value": 1, "result": 132},
      "rRed": {"type": "ui8 ", "value": 1, "readResult": 1},
      "Tè0": {"type": "ui8 ", "value": 3})");
    const auto smc = open();
    ASSERT_TRUE(smc);
    EXPECT_EQ(smc->read("long"), (SMC::Reading{"ch8*", std::vector<std::uint8_t>(32, 0xAA)}));
    const std::vector<std::pair<std::string, std::optional<double>>> cases{
        {"flt1", 30.5}, {"si16", -1.0}, {"ui16", 65535.0}, {"ui8a", 7.0}, {"flt2", std::nullopt}, {"fpe2", {}},
        {"si4b", {}},   {"big1", {}},   {"odd1", {}},      {"siz0", {}},  {"si33", {}},           {"fInf", {}},
        {"fRed", {}},   {"rInf", {}},   {"rRed", {}},      {"none", {}},  {"Tè0", 3.0},  // four bytes of UTF-8
    };
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(smc->number(key), expected) << key;
}

// A key's information does not change while the Mac runs: it is asked for once (when it was
// given), its value on every read. A key that is not four bytes is never asked for.
TEST_F(SmcTest, AsksForAKeysInformationOnceAndItsValueOnEveryReadAndOnlyForFourByteKeys) {
    struct Controller : KernelServices, UserClient {  // knows "B0AC" only, and counts the commands
        std::map<std::uint8_t, int>* calls = nullptr;
        std::unique_ptr<UserClient> open(std::string_view, std::uint32_t) const override {
            return std::make_unique<Controller>(*this);
        }
        KernelReturn callStructMethod(std::uint32_t, std::span<const std::uint8_t> in,
                                      std::span<std::uint8_t> out) override {
            ++(*calls)[in[42]];
            if (loadUInt32(in, 0) != SMC::code("B0AC")) return kernelError;
            storeUInt32(out, 28, 2);
            storeUInt32(out, 32, SMC::code("si16"));
            out[48] = 0x25, out[49] = 0xFB;
            return kernelSuccess;
        }
    } controller;
    std::map<std::uint8_t, int> calls;
    controller.calls = &calls;
    const auto smc = SMC::open(controller);
    for (const std::string key : {"", "B0A", "B0ACX", "é0AC"})
        EXPECT_FALSE(smc->read(key)) << key;
    EXPECT_TRUE(calls.empty());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(smc->number("B0AC"), -1243.0);
    for (int i = 0; i < 2; ++i)
        EXPECT_FALSE(smc->number("B0AV"));
    EXPECT_EQ(calls, (std::map<std::uint8_t, int>{{9, 3}, {5, 3}}));
}

TEST_F(SmcTest, OpensOnlyAControllerThatIsThereAndWillingTo) {
    EXPECT_FALSE(open());
    temp.write("smc/keys.json", R"({"open": false, "keys": {}})");
    EXPECT_FALSE(open());
    temp.write("smc/keys.json", "[]");
    EXPECT_FALSE(open());
    temp.write("smc/keys.json", R"({"keys": {}})");
    EXPECT_TRUE(open());
}

TEST(SMC, CodesAndNamesRoundTrip) {
    EXPECT_EQ(SMC::code("flt "), 0x666C7420u);
    EXPECT_EQ(SMC::name(0x73693136), "si16");
    for (const std::string key : {"B0AC", "ui8 ", "F0Mx"})
        EXPECT_EQ(SMC::name(SMC::code(key)), key);
    for (const std::uint32_t code : {0u, 0xFFFFFFFFu, 0x80000001u})
        EXPECT_EQ(SMC::code(SMC::name(code)), code);
}

TEST(SMC, CoreKeysFollowTheFirstFamilyInTheChipName) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Apple M3 Pro", "Te0L"}, {"Apple M2 Max", "Tp1h"},     {"Apple M1", "Tp09"}, {"Apple M10", "Tp09"},
        {"Apple M4", "Te09"},     {"Intel(R) Xeon(R)", "Te09"}, {"", "Te09"},
    };
    for (const auto& [chip, distinctive] : cases) {
        const auto keys = coreTemperatureKeys(chip);
        EXPECT_NE(std::find(keys.begin(), keys.end(), distinctive), keys.end()) << chip;
    }
    EXPECT_EQ(coreTemperatureKeys("Apple M3").size(), 16u);
}

TEST(SMC, ChipNameIsTheBrandStringUpToANul) {
    struct Controls : SystemControl {
        std::optional<std::string> value;
        std::optional<std::string> text(std::string_view name) const override {
            return name == "machdep.cpu.brand_string" ? value : std::nullopt;
        }
    } controls;
    controls.value = std::string("Apple M2 Pro\0junk", 17);
    EXPECT_EQ(chipName(controls), "Apple M2 Pro");
    controls.value.reset();
    EXPECT_EQ(chipName(controls), "");
    EXPECT_EQ(chipName(MachineSystemControl(Machine(Machine::templateFolder()))), "Apple M3 Pro");
}

TEST(SMC, PlausibleTemperaturesLieStrictlyBetweenTenAndOneHundredThirty) {
    EXPECT_EQ(plausible({10.0, 10.5, 129.9, 130.0, -4.0, NAN, 45.0}), (std::vector<double>{10.5, 129.9, 45.0}));
}

TEST(SMC, TheTemplatesLivePowerAgreesWithItsBattery) {
    const Machine machine(Machine::templateFolder());
    const auto live = readLivePower(SMC::open(MachineKernelServices(machine)));
    const auto battery = Battery::read(MachineRegistry(machine));
    ASSERT_TRUE(battery);
    EXPECT_EQ(live,
              (LivePower{static_cast<double>(battery->milliamps), static_cast<double>(battery->millivolts), 0.0}));
    EXPECT_EQ(readLivePower(std::nullopt), LivePower{});
}

}  // namespace
}  // namespace norvane
