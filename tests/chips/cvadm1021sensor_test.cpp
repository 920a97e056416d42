// The ADM1021/LM85 lineage through a real SMBus link and a simulated slave:
// registers in, readings out, and the bytes each write puts on the bus.

#include <gtest/gtest.h>

#include <map>

#include "chips/chipsfixture.h"
#include "chips/readingcheck.h"
#include "chips/cvadm1021sensor.h"

namespace {

using platform::sim::RegisterFault;
using platform::sim::SMBusProtocol;
using Regs = std::map<int, int>;

class ADM1021Sensor : public SMBusChipTest {
protected:
    void Make(std::uint8_t code, const Regs& regs = {}, std::string vendor = "", std::string product = "") {
        Load(regs);
        sensor = CreateSensor<TADM1021Sensor>(&smbus, static_cast<std::uint32_t>(Chip), code, Logger(), vendor,
                                              product, "");
    }
    void Load(const Regs& regs) {
        for (auto [reg, value] : regs) slave->registers().set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(value));
    }
    static std::vector<double> Last(TSensor& s, TReading (TSensor::*get)(int) const, int count) {
        std::vector<double> v;
        for (int i = 1; i <= count; ++i) v.push_back((s.*get)(i).Stats->Last());
        return v;
    }
    // Read twice: the spike filter holds back a first value beyond its limit.
    std::vector<double> Temps() {
        sensor->ReadTemps();
        sensor->ReadTemps();
        return Last(*sensor, &TSensor::GetTemp, sensor->GetTempCount());
    }
    std::vector<double> Fans() {
        sensor->ReadFans();
        return Last(*sensor, &TSensor::GetFan, sensor->GetFanCount());
    }
    std::vector<double> Volts() {
        sensor->ReadVolts();
        return Last(*sensor, &TSensor::GetVolt, sensor->GetVoltCount());
    }
    std::vector<double> Pwms() {
        sensor->ReadPwms();
        return Last(*sensor, &TSensor::GetPwm, sensor->GetPwmCount());
    }
    std::vector<std::string> Names(TReading (TSensor::*get)(int) const, int count) {
        std::vector<std::string> v;
        for (int i = 1; i <= count; ++i) v.push_back(((*sensor).*get)(i).Name);
        return v;
    }
    // Byte writes the sensor put on the bus, as (register, value).
    std::vector<std::pair<int, int>> Writes() {
        std::vector<std::pair<int, int>> w;
        for (const auto& r : segment.requests())
            if (!r.read && r.protocol == SMBusProtocol::ByteData) w.push_back({r.command, r.data0});
        return w;
    }

    // The position of a property id in the sensor's list.
    int Prop(int id) {
        for (int i = 0; i < sensor->GetPropCount(); ++i)
            if (sensor->GetPropId(i) == id) return i;
        return -1;
    }
    // Sets the output and answers the percent it now shows.
    double Set(int index, double percent) {
        EXPECT_TRUE(sensor->SetPwm(index, percent));
        return sensor->GetPwm(index).Stats->Last();
    }

    std::unique_ptr<TADM1021Sensor> sensor;
};

TEST_F(ADM1021Sensor, ChipTableNamesTheReadings) {
    Make(97);
    EXPECT_EQ(sensor->FChipName, "ADM1026");
    EXPECT_EQ(Names(&TSensor::GetTemp, 3), (std::vector<std::string>{"Internal Temp", "Remote Temp 1", "Remote Temp 2"}));
    EXPECT_EQ(sensor->GetFanCount(), 8);
    EXPECT_EQ(sensor->GetFan(8).Name, "Fan8");
    EXPECT_EQ(sensor->GetVoltCount(), 17);
    EXPECT_EQ(sensor->GetVolt(9).Name, "-12V");
    EXPECT_EQ(sensor->GetTemp(2).Stats->FName, "ADM1026 Remote Temp 1");
    Make(94);
    EXPECT_EQ(Names(&TSensor::GetTemp, 2), (std::vector<std::string>{"Local Temp", "Remote Temp"}));
    EXPECT_EQ(sensor->GetFanCount() + sensor->GetPwmCount() + sensor->GetVoltCount(), 0);
    Make(109);
    EXPECT_EQ(sensor->GetTemp(10).Name, "Temp10");
    Make(129);
    EXPECT_EQ(sensor->GetTemp(5).Name, "Remote4");
    EXPECT_TRUE(TADM1021Sensor::Serves(113));
    EXPECT_FALSE(TADM1021Sensor::Serves(54));
}

struct TempCase {
    const char* what;
    std::uint8_t code;
    Regs regs;
    std::vector<double> temps;
};

TEST_F(ADM1021Sensor, TemperaturesPerChip) {
    const TempCase cases[] = {
        {"ADM1021 signed whole degrees", 94, {{0x00, 0x19}, {0x01, 0xF6}}, {25, -10}},
        {"MAX6657 fractions at rate 6", 136, {{0x00, 30}, {0x01, 0x7F}, {0x04, 6}, {0x10, 0xE0}, {0x11, 0x20}},
         {30.125, 127.875}},
        {"MAX6657 whole degrees at rate 7", 136, {{0x00, 30}, {0x01, 40}, {0x04, 7}, {0x10, 0xE0}, {0x11, 0x20}},
         {30, 40}},
        {"MAX6648 unsigned", 134, {{0x00, 0x90}, {0x01, 0xC8}, {0x04, 0}, {0x10, 0x80}}, {144, 200.5}},
        {"MAX6659 signed", 137, {{0x00, 0xFF}, {0x01, 0x80}, {0x04, 9}}, {-1, -128}},
        {"ADT7473 offset 64", 110, {{0x7C, 0x00}, {0x25, 0x40}, {0x26, 0x50}, {0x27, 0x20}, {0x77, 0x0C}},
         {0.75, 16, -32}},
        {"ADT7473 two's complement", 110, {{0x7C, 0x01}, {0x25, 0x40}, {0x26, 0xF0}, {0x77, 0x10}}, {64, -15.75, 0}},
        {"ADT7468 offset 64", 108, {{0x7C, 0x00}, {0x25, 0x5A}}, {26, -64, -64}},
        {"ADT7468 two's complement", 108, {{0x7C, 0x01}, {0x25, 0x5A}}, {90, 0, 0}},
        {"ADT7463 fractions", 107, {{0x25, 0x7F}, {0x26, 0x20}, {0x27, 0xFF}, {0x77, 0xFC}}, {127.75, 32.75, -0.25}},
        {"LM85 whole", 61, {{0x25, 45}, {0x26, 0xD8}, {0x27, 30}}, {45, -40, 30}},
        {"aSC7611 fractions", 23, {{0x25, 40}, {0x10, 0x40}, {0x26, 41}, {0x15, 0x80}, {0x27, 42}, {0x0E, 0xC0}},
         {40.25, 41.5, 42.75}},
        {"aSC7621 fourth channel", 24, {{0x33, 50}, {0x17, 0xC0}}, {0, 0, 0, 50.75}},
        {"ADT7411 remote selected", 105, {{0x07, 20}, {0x03, 0x02}, {0x18, 0x04}, {0x08, 0x21}, {0x04, 0x01}},
         {20.5, 33.25}},
        {"ADT7411 remote not selected", 105, {{0x07, 20}, {0x18, 0x06}, {0x08, 0x21}}, {20, 0}},
        {"ADM9240 half degree", 103, {{0x27, 0x1E}, {0x4B, 0x80}}, {30.5}},
        {"LM81 like the ADM9240", 59, {{0x27, 0x1E}, {0x4B, 0x00}}, {30}},
        {"LM87 three channels", 64, {{0x27, 35}, {0x26, 36}, {0x20, 37}}, {35, 36, 37}},
        {"ADM1031 fractions", 101, {{0x06, 0x40 | 0x05 | 0x18}, {0x0A, 20}, {0x0B, 21}, {0x0C, 22}},
         {20.25, 21.625, 22.375}},
        {"ADM1026 third channel", 97, {{0x00, 0x60}, {0x1F, 25}, {0x28, 26}, {0x29, 27}}, {25, 26, 27}},
        {"ADM1026 Ain9 set", 97, {{0x00, 0x08}, {0x1F, 25}, {0x28, 26}, {0x29, 27}}, {25, 26, 0}},
        {"ADT7462 offset 64", 106, {{0x89, 0x5A}, {0x88, 0x40}, {0x8B, 0x40}, {0x8F, 0x00}}, {26.25, 0, -64, -64}},
        {"MAX6640 eighths", 133, {{0x00, 40}, {0x05, 0xA0}, {0x01, 41}, {0x06, 0x20}}, {40.625, 41.125}},
        {"MAX1669 01h", 130, {{0x00, 11}, {0x01, 22}}, {22}},
        {"LM93 50h-53h", 71, {{0x50, 1}, {0x51, 2}, {0x52, 3}, {0x53, 0xFE}}, {1, 2, 3, -2}},
    };
    for (const auto& c : cases) {
        slave = std::make_shared<platform::sim::SMBusSlave>();
        segment.attach(Chip, slave);
        Make(c.code, c.regs);
        ExpectReadings(Temps(), c.temps, c.what);
    }
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(ADM1021Sensor, FailedReadsGiveNoValue) {
    Make(94, {{0x00, 25}, {0x01, 30}});
    slave->registers().setFault(0x01, {RegisterFault::Kind::Fail, -1});
    ExpectReadings(Temps(), {25, 0}, "remote NACK");
    Make(107, {{0x25, 40}, {0x26, 41}, {0x27, 42}});
    slave->registers().setFault(0x77, {RegisterFault::Kind::Fail, -1});
    ExpectReadings(Temps(), {0, 0, 0}, "fraction register NACK");
    EXPECT_EQ(BusLockCount(false), 0);
}

struct FanCase {
    const char* what;
    std::uint8_t code;
    Regs regs;
    std::vector<double> fans;
};

TEST_F(ADM1021Sensor, FanFormulasAndTheirNoFanCounts) {
    const FanCase cases[] = {
        // 5,400,000 / count whatever 7Bh says about pulses.
        {"ADT7463 counts", 107, {{0x28, 0x18}, {0x29, 0x15}, {0x2A, 0xFF}, {0x2B, 0xFF}, {0x7B, 0xFF}},
         {1000, 0, 0, 0}},
        {"LM85 count", 61, {{0x28, 0x30}, {0x29, 0x2A}}, {500, 0, 0, 0}},
        {"ADT7470 count", 109, {{0x2C, 0x18}, {0x2D, 0x15}}, {0, 1000, 0, 0}},
        {"ADT7462 only present fans", 106, {{0x07, 0x11}, {0x98, 0x18}, {0x99, 0x15}, {0xA2, 0x30}, {0xA3, 0x2A}},
         {1000, 0, 0, 0, 500, 0, 0, 0}},
        {"ADM9240 divisors from 47h", 103, {{0x28, 135}, {0x29, 0xFF}, {0x47, 0x10}}, {5000, 0}},
        {"LM87 divisor 8", 64, {{0x28, 0}, {0x29, 100}, {0x47, 0xC0}}, {0, 1687.5}},
        {"ADM1031 675 kHz", 101, {{0x08, 135}, {0x20, 0x40}, {0x09, 255}}, {2500, 0}},
        {"ADM1030 675 kHz", 100, {{0x08, 100}, {0x20, 0x00}}, {6750}},
        {"ADM1026 divisors from 02h/03h", 97, {{0x02, 0x01}, {0x03, 0x80}, {0x38, 135}, {0x3F, 135}},
         {5000, 0, 0, 0, 0, 0, 0, 2500}},
        {"LM93 14-bit", 71, {{0x6E, 0xFF}, {0x6F, 0xFF}, {0x70, 0x00}, {0x71, 0x0A}}, {0, 4218.75, 0, 0}},
        {"MAX6640 480 kHz", 133, {{0x10, 0x02}, {0x20, 120}, {0x14, 0x03}, {0x21, 0}}, {2000, 0}},
        {"MAX6650 count time", 135, {{0x02, 0}, {0x16, 2}, {0x0C, 50}, {0x0E, 0}}, {1500, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        slave = std::make_shared<platform::sim::SMBusSlave>();
        segment.attach(Chip, slave);
        Make(c.code, c.regs);
        ExpectReadings(Fans(), c.fans, c.what);
    }
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(ADM1021Sensor, MAX6650ReadsNothingWithoutItsCountTime) {
    Make(135, {{0x0C, 50}});
    slave->registers().setFault(0x16, {RegisterFault::Kind::Fail, -1});
    ExpectReadings(Fans(), {0, 0, 0, 0}, "16h NACK");
}

struct VoltCase {
    const char* what;
    std::uint8_t code;
    Regs regs;
    std::vector<double> volts;
};

TEST_F(ADM1021Sensor, VoltagesPerChip) {
    const VoltCase cases[] = {
        {"ADM9240", 103, {{0x20, 192}, {0x22, 192}, {0x23, 192}, {0x24, 192}, {0x21, 100}, {0x25, 200}},
         {2.496, 3.3024, 4.992, 12.0, 1.41, 2.82}},
        {"ADM1025", 96, {{0x20, 100}, {0x22, 100}, {0x23, 100}, {0x24, 100}, {0x21, 100}, {0x25, 100}},
         {1.3, 1.72, 2.6, 6.2, 1.2, 1.72}},
        {"LM85", 62, {{0x20, 192}, {0x21, 100}, {0x22, 192}, {0x23, 192}, {0x24, 192}},
         {2.496, 1.172, 3.3024, 4.992, 12.0}},
        // Ten bits at the nominal rail over 768 counts.
        {"ADT7463 ten bits", 107, {{0x20, 192}, {0x76, 0x00}, {0x21, 100}, {0x22, 192}, {0x23, 192}, {0x24, 192}},
         {2.49984, 1.172, 3.30048, 4.99968, 12.0}},
        {"ADT7476 low bits", 112, {{0x20, 192}, {0x76, 0x03}, {0x24, 192}, {0x77, 0x02}},
         {(768 + 3) * 0.003255, 0, 0, 0, (768 + 2) * 0.015625}},
        {"ADT7490 sixth input", 113, {{0x1E, 100}, {0x1D, 0x30}}, {0, 0, 0, 0, 0, 403 * 0.00875}},
        {"ADT7473 two inputs", 110, {{0x76, 0x14}, {0x21, 100}, {0x22, 192}}, {401 * 0.00293, 769 * 0.0042975}},
        {"ADM1026 -12V and Ain9", 97, {{0x00, 0x00}, {0x29, 100}, {0x2F, 200}}, 
         {0, 0, 0, 0, 0, 0, 0, 0, 200 * 0.0722661 - 16, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"ADM1026 Ain9 enabled", 97, {{0x00, 0x08}, {0x29, 100}, {0x2F, 0}},
         {0, 0, 0.97652, 0, 0, 0, 0, 0, -16, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"LM93 -12V", 71, {{0x56, 192}, {0x64, 100}},
         {12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100 * 0.02469 - 13.5771, 0}},
        {"ADT7462 by configuration", 106, {{0x10, 0x61}, {0x11, 0x3D}, {0x12, 0x54}, {0x13, 0x55}, {0x90, 100},
                                           {0x91, 100}, {0x92, 100}, {0x93, 100}, {0x94, 100}, {0x95, 100},
                                           {0x96, 100}, {0xA5, 100}}, 
         {0, 6.25, 1.72, 0, 0, 0, 0, 1.3, 1.3, 0.625, 0.625, 0.78, 0.78}},
    };
    for (const auto& c : cases) {
        slave = std::make_shared<platform::sim::SMBusSlave>();
        segment.attach(Chip, slave);
        Make(c.code, c.regs);
        ExpectReadings(Volts(), c.volts, c.what);
    }
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(ADM1021Sensor, ThePlusThreeVoltSwitchSticks) {
    Make(107, {{0x22, 192}, {0x40, 0x80}});
    EXPECT_NEAR(Volts()[2], 768 * 0.00651, 1e-4);
    slave->registers().set(0x40, 0x00);
    EXPECT_NEAR(Volts()[2], 768 * 0.00651, 1e-4);
    EXPECT_DOUBLE_EQ(sensor->VoltFactor(3), 0.00651);
}

TEST_F(ADM1021Sensor, DX58OGFixUpAppliesToTheADT7490OnThatBoardOnly) {
    Make(113, {}, "INTEL CORPORATION", "dx58og");
    EXPECT_EQ(Names(&TSensor::GetVolt, 6),
              (std::vector<std::string>{"SDRAM Vcc", "CPU Vcc", "3.3V", "5V", "12V", "CPU Vtt"}));
    EXPECT_EQ(sensor->GetVolt(1).Stats->FName, "ADT7490 +2.5V");
    EXPECT_DOUBLE_EQ(sensor->VoltFactor(6), 0.0021875);
    EXPECT_NE(std::find(log.begin(), log.end(), "1 Adjusting voltages for ADT7490 on INTEL CORPORATION dx58og"),
              log.end());
    Make(113, {}, "Intel Corporation", "DX58SO");
    EXPECT_EQ(Names(&TSensor::GetVolt, 6),
              (std::vector<std::string>{"+2.5V", "Vcore", "+3.3V", "+5V", "+12V", "Vtt"}));
    EXPECT_DOUBLE_EQ(sensor->VoltFactor(6), 0.00875);
    EXPECT_EQ(log.back(), "0 Testing if ADT7490 voltages need fixing on Intel Corporation DX58SO");
}

TEST_F(ADM1021Sensor, ADT7462NamesItsReadingsFromItsPinConfiguration) {
    Make(106, {{0x07, 0x0F}, {0x11, 0x3D}, {0x12, 0x54}, {0x10, 0x61}, {0x13, 0x00}});
    EXPECT_EQ(Names(&TSensor::GetFan, 8), (std::vector<std::string>{"Fan1", "Fan2", "Fan3", "Fan4", "<unused>",
                                                                     "<unused>", "<unused>", "<unused>"}));
    EXPECT_EQ(Names(&TSensor::GetVolt, 13),
              (std::vector<std::string>{"<unused>", "+12V", "+3.3V", "<unused>", "<unused>", "<unused>", "<unused>",
                                        "+2.5V", "+2.5V", "+1.2V (Gbit)", "+1.2V (FSB Vtt)", "<unused>", "<unused>"}));
    EXPECT_EQ(log.front(), "0 ADT7462 - About to fine tune available readings");
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(ADM1021Sensor, OutputsReadAndWriteTheDutyAsItIs) {
    // The INV bit inverts the pin, not the register.
    Make(107, {{0x30, 64}, {0x5C, 0x10}, {0x31, 255}});
    ExpectReadings(Pwms(), {64 / 2.55, 100, 0}, "ADT7463");
    segment.clearRequests();
    EXPECT_NEAR(Set(1, 25), 64 / 2.55, 1e-4);
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x30, 64}}));
    struct Duty { double percent; int duty; };
    for (const Duty d : {Duty{100, 255}, Duty{50, 128}, Duty{-5, 0}, Duty{150, 255}}) {
        segment.clearRequests();
        Set(2, d.percent);
        EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x31, d.duty}})) << d.percent;
    }
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(ADM1021Sensor, OutputsPerChip) {
    Make(101, {{0x22, 0x35}});
    ExpectReadings(Pwms(), {5 / 0.15, 3 / 0.15}, "ADM1031 nibbles");
    segment.clearRequests();
    EXPECT_NEAR(Set(2, 100), 100, 1e-4);
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x22, 0xF5}}));

    Make(133, {{0x10, 0x00}, {0x14, 0x80}});
    segment.clearRequests();
    EXPECT_NEAR(Set(1, 50), 0, 1e-4);
    EXPECT_TRUE(Writes().empty());
    EXPECT_NEAR(Set(2, 50), 128 / 2.55, 1e-4);
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x27, 128}}));

    Make(97, {{0x00, 0x20}, {0x04, 10}, {0x05, 0x8A}});
    ExpectReadings(Pwms(), {50, 8 / 0.15}, "ADM1026 automatic DAC");
    segment.clearRequests();
    EXPECT_NEAR(Set(1, 10), 0, 1e-4);
    EXPECT_TRUE(Writes().empty());
    EXPECT_NEAR(Set(2, 100), 100, 1e-4);
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x05, 0xFA}}));

    Make(135, {{0x06, 0x00}});
    ExpectReadings(Pwms(), {100}, "MAX6650 inverted DAC");
    segment.clearRequests();
    EXPECT_NEAR(Set(1, 25), 64 / 2.55, 1e-4);
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x06, 191}}));

    Make(130, {{0x13, 0x35}});
    ExpectReadings(Pwms(), {12 / 0.15}, "MAX1669");
    segment.clearRequests();
    Set(1, 100);
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x1B, 0x05}}));

    Make(103, {{0x19, 51}});
    ExpectReadings(Pwms(), {20}, "ADM9240 DAC");
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(ADM1021Sensor, DivisorsOfTheADM1026AndMAX6640) {
    Make(97, {{0x02, 0x1B}, {0x03, 0x00}});
    segment.clearRequests();
    EXPECT_TRUE(sensor->SetPropValue(Prop(113), "8"));  // FAN6 divisor
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x03, 0x0C}}));
    EXPECT_EQ(sensor->GetFanDivisor(5), 3);
    EXPECT_EQ(sensor->GetFanDivisor(1), 2);
    segment.clearRequests();
    EXPECT_FALSE(sensor->SetFanDivisor(0, 4));
    EXPECT_TRUE(segment.requests().empty());
    slave->registers().setFault(0x02, {RegisterFault::Kind::Fail, -1});
    EXPECT_FALSE(sensor->SetFanDivisor(0, 1));

    Make(133, {{0x10, 0x81}});
    EXPECT_EQ(sensor->GetFanDivisor(0), 2);
    EXPECT_EQ(sensor->GetFanDivisor(2), 3);
    segment.clearRequests();
    EXPECT_TRUE(sensor->SetFanDivisor(0, 0));
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x10, 0x83}}));
}

TEST_F(ADM1021Sensor, PropertiesChangeOnlyTheirField) {
    Make(113, {{0x5C, 0x88}});
    const int mode1 = Prop(13);
    EXPECT_EQ(sensor->GetPropValue(mode1), "Reserved. Fans at 100%");
    segment.clearRequests();
    EXPECT_TRUE(sensor->SetPropValue(mode1, "Auto on PECI0"));
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x5C, 0x08}}));
    slave->registers().set(0x5C, 0xD7);
    EXPECT_TRUE(sensor->SetPropValue(mode1, "Manually controlled"));
    EXPECT_EQ(slave->registers().peek(0x5C), 0xF7);
    segment.clearRequests();
    EXPECT_FALSE(sensor->SetPropValue(mode1, "Sideways"));
    EXPECT_TRUE(segment.requests().empty());

    Make(61, {{0x5F, 0xF5}});
    EXPECT_EQ(sensor->GetPropValue(Prop(4)), "47.06Hz");
    EXPECT_TRUE(sensor->SetPropValue(Prop(4), "10.01Hz"));
    EXPECT_EQ(slave->registers().peek(0x5F), 0xF0);

    Make(67, {{0x60, 0xF5}});
    EXPECT_EQ(sensor->GetPropValue(Prop(5)), "47Hz");
    EXPECT_TRUE(sensor->SetPropValue(Prop(5), "30KHz"));
    EXPECT_EQ(slave->registers().peek(0x60), 0xFF);

    Make(121, {{0x5C, 0x00}, {0x62, 0x00}, {0x63, 0xFF}, {0x61, 0x0F}});
    EXPECT_TRUE(sensor->SetPropValue(Prop(13), "On zone 2 auto"));
    EXPECT_EQ(slave->registers().peek(0x5C), 0x20);
    EXPECT_EQ(slave->registers().peek(0x62), 0x08);
    EXPECT_TRUE(sensor->SetPropValue(Prop(14), "Manually controlled"));
    EXPECT_EQ(slave->registers().peek(0x63), 0x7F);
    EXPECT_TRUE(sensor->SetPropValue(Prop(6), "15.02Hz"));
    EXPECT_EQ(slave->registers().peek(0x61), 0x01);

    Make(136, {{0x05, 0xFF}});
    EXPECT_EQ(sensor->GetPropValue(Prop(100)), "-1");
    segment.clearRequests();
    EXPECT_TRUE(sensor->SetPropValue(Prop(101), "-128"));
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{0x0D, 0x80}}));

    Make(101, {{0x01, 0x00}});
    EXPECT_TRUE(sensor->SetPropValue(Prop(24), "Enable"));
    EXPECT_EQ(slave->registers().peek(0x01), 0x04);

    Make(135, {{0x02, 0x20}});
    EXPECT_EQ(sensor->GetPropValue(Prop(15)), "Closed-loop");
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace
