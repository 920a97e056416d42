// Chipset sensors on the simulated machine's PCI functions and physical
// memory: the nForce2 switches, the Intel 5500 hub, FB-DIMM windows and the
// ALi M1535 fan dword; and the register chips of ALi and ATI on SMBus.

#include <gtest/gtest.h>

#include <algorithm>

#include "chips/chipsfixture.h"
#include "chips/cvalisensor.h"
#include "chips/cvatipmsensor.h"
#include "chips/cvfbdimmsensor.h"
#include "chips/cvintel5500sensor.h"
#include "chips/cvnforce2sensor.h"
#include "hw/cvpci.h"

namespace {

constexpr const char* ChipsetBoard = R"json({
  "pci": [
    { "note": "nForce2 host bridge, switches in 6Fh", "bus": 0, "device": 0, "function": 0,
      "vendorId": "0x10DE", "deviceId": "0x01E0", "registers": { "0x6F": "0x90" } },
    { "note": "I/O hub thermal: Tjmax word E2h (C8h = 100.0), distance F3h (50h = 40.0)", "bus": 0, "device": 20,
      "function": 3, "vendorId": "0x8086", "deviceId": "0x342E", "registers": { "0xE2": "0xC8", "0xF3": "0x50" } },
    { "note": "M1535 power management: C8h fan 1 count 60h, exponent 1; fan 2 count 00h; drives 100 %", "bus": 0,
      "device": 17, "function": 0, "vendorId": "0x10B9", "deviceId": "0x7101",
      "registers": { "0xC8": "0x04", "0xC9": "0x60", "0xCA": "0x00", "0xCB": "0x00" } }
  ]
})json";

class ChipsetTest : public ChipTest {
protected:
    ChipsetTest() { machine().loadFromJson(ChipsetBoard, "chipset"); }

    template <class T>
    std::unique_ptr<T> Make(std::uint32_t address, std::uint8_t code, TLink* link = nullptr) {
        return CreateSensor<T>(link, address, code, Logger(), "", "", "");
    }
    static double Last(const TReading& r) { return r.Stats->Last(); }
    int Count(const std::string& line) const { return static_cast<int>(std::count(log.begin(), log.end(), line)); }
};

TEST_F(ChipsetTest, NForce2SwitchesReadAndSetTheirOwnBit) {
    auto sensor = Make<TNForce2Sensor>(0, TNForce2Sensor::ChipCode);
    EXPECT_EQ(sensor->FChipName, "nForce2");
    EXPECT_EQ(sensor->GetTempCount() + sensor->GetFanCount() + sensor->GetPwmCount() + sensor->GetVoltCount(), 0);
    ASSERT_EQ(sensor->GetPropId(0), 20);
    ASSERT_EQ(sensor->GetPropId(1), 21);
    EXPECT_EQ(sensor->GetPropValue(0), "ON");
    EXPECT_EQ(sensor->GetPropValue(1), "ON");
    EXPECT_TRUE(sensor->SetPropValue(0, "OFF"));
    EXPECT_EQ(ReadPCIConfigByte(0, 0, 0, 0x6F), 0x10);
    EXPECT_FALSE(sensor->SetPropValue(1, "MAYBE"));
    EXPECT_EQ(ReadPCIConfigByte(0, 0, 0, 0x6F), 0x10);
    WritePCIConfigByte(0, 0, 0, 0x6F, 0x00);
    EXPECT_TRUE(sensor->SetPropValue(1, "ON"));
    EXPECT_EQ(ReadPCIConfigByte(0, 0, 0, 0x6F), 0x10);
    EXPECT_EQ(sensor->GetPropValue(0), "OFF");
}

TEST_F(ChipsetTest, Intel5500ReadsTjmaxOnceAndBothInterpretations) {
    auto sensor = Make<TIntel5500Sensor>(0, TIntel5500Sensor::ChipCode);
    sensor->FAddress2 = 20;
    sensor->FAux2 = 3;
    EXPECT_EQ(sensor->GetTemp(1).Name, "IOH (Chipset)");
    EXPECT_EQ(sensor->GetTemp(1).Stats->FName, "Intel 5500 IOH (Chipset)");
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(1)), 60.0);
    ASSERT_TRUE(sensor->SetPropValue(0, "relative"));
    EXPECT_EQ(sensor->GetPropValue(0), "relative");
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(1)), -40.0);
    EXPECT_FALSE(sensor->SetPropValue(0, "sideways"));
    EXPECT_EQ(sensor->GetPropValue(0), "relative");
    EXPECT_EQ(Count("0 Intel 5500 Tjmax set to 100.0"), 1);
}

TEST_F(ChipsetTest, Intel5500HubThatDoesNotAnswerGivesNoValueAndIsTriedAgain) {
    auto sensor = Make<TIntel5500Sensor>(0, TIntel5500Sensor::ChipCode);
    sensor->FAddress2 = 21;  // nothing there: all ones
    sensor->FAux2 = 3;
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(1)), 0.0);
    EXPECT_EQ(Count("0 Intel 5500 Tjmax set to 100.0"), 0);
    sensor->FAddress2 = 20;
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(1)), 60.0);
    EXPECT_EQ(Count("0 Intel 5500 Tjmax set to 100.0"), 1);
}

TEST_F(ChipsetTest, FBDimmReadsItsWindowAndNamesModuleAndChannel) {
    std::vector<std::uint8_t> window(0x400, 0);
    window[TFBDimmSensor::TemperatureOffset] = 0x5B;
    machine().memory().addRegion(0xFED00000, window, "fbdimm");
    auto sensor = Make<TFBDimmSensor>(0x0102, TFBDimmSensor::ChipCode);
    sensor->FAddress2 = static_cast<std::int32_t>(0xFED00000);
    EXPECT_EQ(sensor->FChipName, "FB-DIMM 1 on channel 2");
    EXPECT_EQ(sensor->GetTemp(1).Name, "FB-DIMM1-2");
    EXPECT_EQ(sensor->GetTemp(1).Stats->FName, "FB-DIMM 1 on channel 2 FB-DIMM1-2");
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(1)), 45.5);

    auto missing = Make<TFBDimmSensor>(0x0003, TFBDimmSensor::ChipCode);
    missing->FAddress2 = 0x10000000;  // no window there: nothing copied
    missing->ReadTemps();
    EXPECT_DOUBLE_EQ(Last(missing->GetTemp(1)), 0.0);
    EXPECT_TRUE(log.empty());
}

TEST_F(ChipsetTest, M1535FansAndDriveCodesThroughItsDword) {
    auto sensor = Make<TAliSensor>(0, TAliSensor::ChipM1535);
    sensor->FAddress2 = 17;
    sensor->FAux2 = 0;
    sensor->ReadFans();
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(1)), 2500.0);  // 960,000 / (96 x 2) / 2
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(2)), 0.0);
    struct Case {
        int output;
        double percent, answer;
        std::uint32_t code;
    };
    for (const Case c : {Case{1, 60, 75, 1}, Case{1, 20, 25, 3}, Case{2, 40, 50, 2}, Case{1, 100, 100, 0}}) {
        EXPECT_TRUE(sensor->SetPwm(c.output, c.percent));
        EXPECT_DOUBLE_EQ(Last(sensor->GetPwm(c.output)), c.answer);
        const std::uint32_t dword = ReadPCIConfigDWord(0, 17, 0, 0xC8);
        EXPECT_EQ((dword >> (c.output == 1 ? 26 : 28)) & 3, c.code) << c.percent;
        EXPECT_EQ(dword & 0xFFFFFF, 0x006004u);
        sensor->ReadPwms();
        EXPECT_DOUBLE_EQ(Last(sensor->GetPwm(c.output)), c.answer);
    }
}

TEST_F(ChipsetTest, M1535FunctionThatDoesNotAnswerGivesNoValue) {
    auto sensor = Make<TAliSensor>(0, TAliSensor::ChipM1535);
    sensor->FAddress2 = 18;
    sensor->FAux2 = 0;
    for (int tick = 0; tick < 5; ++tick) {
        sensor->ReadFans();
        sensor->ReadPwms();
    }
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(1)), 0.0);
    EXPECT_DOUBLE_EQ(Last(sensor->GetPwm(1)), 0.0);
    EXPECT_EQ(sensor->GetReportedSMBus(), 0xFFFF);
    const std::string failure = "1 Exception in ALI M1535 : configuration dword unreadable 00000000 00000012 00000000";
    EXPECT_EQ(log, std::vector<std::string>{failure});  // once, not every tick

    sensor->FAddress2 = 17;  // answers again, then fails anew: a new line
    sensor->ReadFans();
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(1)), 2500.0);
    sensor->FAddress2 = 18;
    sensor->SetPwm(1, 60, false);
    EXPECT_EQ(Count(failure), 2);
}

class RegisterChipTest : public SMBusChipTest {
protected:
    template <class T>
    std::unique_ptr<T> Make(std::uint8_t code) {
        return CreateSensor<T>(&smbus, Chip, code, Logger(), "", "", "");
    }
    static double Last(const TReading& r) { return r.Stats->Last(); }
    platform::sim::RegisterFile& regs() { return slave->registers(); }
};

TEST_F(RegisterChipTest, M5879Readings) {
    regs().set(0x27, 0xC8);
    regs().set(0x4E, 0x28);
    regs().set(0x21, 177);
    regs().set(0x28, 100);
    regs().set(0x47, 0x10);  // fan 1 divisor 2
    regs().set(0x17, 0x80);
    regs().set(0x48, 0xAD);
    auto sensor = Make<TAliSensor>(TAliSensor::ChipM5879);
    EXPECT_EQ(sensor->FChipName, "ALi M5879");
    EXPECT_EQ(sensor->GetVolt(2).Name, "+12V");
    sensor->ReadTemps();
    sensor->ReadVolts();
    sensor->ReadFans();
    sensor->ReadPwms();
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(1)), -56.0);
    EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(2)), 40.0);
    EXPECT_NEAR(Last(sensor->GetVolt(2)), 179 * 0.067063829787, 1e-5);  // 12.0 V
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(1)), 4800.0);
    EXPECT_NEAR(Last(sensor->GetPwm(1)), 50.196, 1e-3);
    EXPECT_EQ(sensor->GetReportedSMBus(), 0x2D);
    EXPECT_TRUE(sensor->SetPwm(2, 25));
    EXPECT_EQ(regs().peek(0x19), 64);
}

TEST_F(RegisterChipTest, AtiChannelsAndDuties) {
    regs().set(0x69, 0x10);
    regs().set(0x6A, 0x05);
    regs().set(0x6E, 0xFF);
    regs().set(0x6F, 0x0F);
    regs().set(0x73, 0xFF);
    regs().set(0x74, 0xFF);
    auto sensor = Make<TATIPMSensor>(TATIPMSensor::ChipCode);
    EXPECT_EQ(sensor->FChipName, "SB 7xx/8xx PM2");
    EXPECT_EQ(sensor->GetFan(3).Name, "Fan3");
    sensor->ReadFans();
    EXPECT_NEAR(Last(sensor->GetFan(1)), 523.1, 0.05);
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(2)), 0.0);
    EXPECT_DOUBLE_EQ(Last(sensor->GetFan(3)), 0.0);
    EXPECT_TRUE(sensor->SetPwm(1, 75));
    EXPECT_EQ(regs().peek(0x03), 191);
    EXPECT_NEAR(Last(sensor->GetPwm(1)), 74.9, 0.05);
    EXPECT_FALSE(sensor->SetPwm(4, 50));
    slave->setFault({platform::sim::SMBusFault::Kind::Nack, -1});
    sensor->ReadPwms();
    EXPECT_DOUBLE_EQ(Last(sensor->GetPwm(1)), 0.0);
}

}  // namespace
