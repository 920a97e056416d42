// The VIA monitors against one register block reached three ways: a flat
// ISA link, SMBus slave 2Dh, and raw ports of an ISA link.

#include <gtest/gtest.h>

#include <cmath>

#include "chips/chipsfixture.h"
#include "chips/cvvia686sensor.h"

namespace {

constexpr std::uint16_t Block = 0xE000;

constexpr const char* ViaBoard = R"json({
  "chips": [{
    "name": "via",
    "note": "1Fh = 49h with 49h bits 7:6 = 2; 20h the table's bottom, 21h its top; fan 1 count 135 at divisor 2.",
    "registers": { "0x1F": "0x49", "0x20": "0x00", "0x21": "0xFF", "0x49": "0x80", "0x4A": "0x04",
                   "0x22": "0x64", "0x24": "0xC8", "0x25": "0xC0", "0x26": "0xC4",
                   "0x29": "0x87", "0x2A": "0xFF", "0x47": "0x10", "0x48": "0xAD", "0x60": "0x80" },
    "placements": [{ "flat": "0xE000", "size": 128 }, { "protocolSMBus": "0x2D" }]
  }]
})json";

class ViaTest : public ChipTest {
protected:
    ViaTest() { machine().loadFromJson(ViaBoard, "via"); }

    std::unique_ptr<TVIA686Sensor> Make(std::uint8_t code, TLink& link, std::uint32_t address) {
        return CreateSensor<TVIA686Sensor>(&link, address, code, Logger(), "", "", "");
    }
    static double Last(const TReading& r) { return r.Stats->Last(); }
    platform::sim::RegisterFile& regs() { return *machine().registerFile("via"); }

    TLink flat{0, LinkKinds::ISAFlat, HostKinds::ISAFlat, Block, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                testsupport::SimProtocolHost::On(machine().protocolSMBus())};
    TLink isa{0, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
};

TEST(ViaTable, EndsAndQuartersBetweenEntries) {
    EXPECT_DOUBLE_EQ(VIATableTemperature(0), -70.9);
    EXPECT_DOUBLE_EQ(VIATableTemperature(3), -70.9);
    EXPECT_DOUBLE_EQ(VIATableTemperature(4 * 0xFF), 146.2);
    EXPECT_DOUBLE_EQ(VIATableTemperature(1023), 146.2);
    EXPECT_DOUBLE_EQ(VIATableTemperature(4 * 0x49), 0.3);
    EXPECT_DOUBLE_EQ(VIATableTemperature(4 * 0x49 + 2), 0.5);
    // (3 x 25 x 3 + 1 x 25 x 7) / 100 / 10, not truncated to a whole tenth
    EXPECT_DOUBLE_EQ(VIATableTemperature(4 * 0x49 + 1), 0.4);
    EXPECT_DOUBLE_EQ(VIATableTemperature(4 * 0x48 + 1), (3 * 25 * -2 + 25 * 3) / 1000.0);
}

TEST_F(ViaTest, VT82C686ReadsTheSameOnEveryWayIn) {
    struct Way {
        TLink* link;
        std::uint32_t address;
    };
    for (const Way way : {Way{&flat, 0}, Way{&smbus, 0x2D}, Way{&isa, Block}}) {
        auto sensor = Make(TVIA686Sensor::ChipVT82C686, *way.link, way.address);
        EXPECT_EQ(sensor->FChipName, "VIA VT82C686");
        EXPECT_EQ(sensor->GetVolt(4).Name, "+12V");
        sensor->ReadTemps();  // twice: a first value beyond the spike limit is held back
        sensor->ReadTemps();
        sensor->ReadFans();
        sensor->ReadVolts();
        EXPECT_NEAR(Last(sensor->GetTemp(1)), -72.9, 1e-4);
        EXPECT_NEAR(Last(sensor->GetTemp(2)), 144.2, 1e-4);
        EXPECT_NEAR(Last(sensor->GetTemp(3)), -1.5, 1e-4);
        EXPECT_DOUBLE_EQ(Last(sensor->GetFan(1)), 5000.0);
        EXPECT_DOUBLE_EQ(Last(sensor->GetFan(2)), 0.0);
        EXPECT_NEAR(Last(sensor->GetVolt(1)), 100 * 0.01224790716 + 0.005801588712, 1e-5);
        EXPECT_NEAR(Last(sensor->GetVolt(4)), 0xC4 * 0.06113055534 + 0.00835214556, 1e-5);
        EXPECT_EQ(sensor->GetReportedSMBus(), 0xFFFF);
    }
}

TEST_F(ViaTest, VT8231ChannelGatesAndOwnAddress) {
    auto sensor = Make(TVIA686Sensor::ChipVT8231, flat, 0);
    EXPECT_EQ(sensor->GetTemp(1).Name, "CPU diode");
    EXPECT_EQ(sensor->GetTemp(7).Name, "Temp7");
    sensor->ReadTemps();  // twice: beyond the spike limit
    sensor->ReadTemps();
    sensor->ReadFans();
    EXPECT_NEAR(Last(sensor->GetTemp(1)), 0.5, 1e-6);
    EXPECT_NEAR(Last(sensor->GetTemp(2)), -70.9, 1e-4);
    EXPECT_NEAR(Last(sensor->GetTemp(3)), 146.2, 1e-4);  // gated on by 4Ah bit 2
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(4)), 0.0);
    EXPECT_NEAR(Last(sensor->GetFan(1)), 4854.5, 0.1);
    EXPECT_EQ(sensor->GetReportedSMBus(), 0x2D);
}

TEST_F(ViaTest, VT1211TemperaturesAndOutputs) {
    regs().set(0x4A, 0x00);
    auto sensor = Make(TVIA686Sensor::ChipVT1211, smbus, 0x2D);
    ASSERT_EQ(sensor->GetPwmCount(), 2);
    sensor->ReadTemps();
    sensor->ReadPwms();
    EXPECT_NEAR(Last(sensor->GetTemp(1)), (4 * 0x49 + 2) / 10.0, 1e-4);
    for (int k = 3; k <= 7; ++k) EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(k)), 0.0);
    EXPECT_DOUBLE_EQ(Last(sensor->GetPwm(1)), 50.0);
    ASSERT_TRUE(sensor->SetPwm(1, 33));
    EXPECT_EQ(regs().peek(0x60), 84);
    EXPECT_DOUBLE_EQ(Last(sensor->GetPwm(1)), 33.0);
    auto noOutputs = Make(TVIA686Sensor::ChipVT8231, smbus, 0x2D);
    EXPECT_EQ(noOutputs->GetPwmCount(), 0);
}

}  // namespace
