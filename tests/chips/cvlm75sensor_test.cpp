// LM75-, LM90- and LM78-style monitors through a real SMBus link.

#include <gtest/gtest.h>

#include <map>

#include "chips/chipsfixture.h"
#include "chips/readingcheck.h"
#include "chips/cvlm75sensor.h"

namespace {

using platform::sim::RegisterFault;
using platform::sim::SMBusProtocol;
using Regs = std::map<int, int>;

class LM75Sensor : public SMBusChipTest {
protected:
    void Make(std::uint8_t code, const Regs& regs = {}) {
        slave = std::make_shared<platform::sim::SMBusSlave>();
        segment.attach(Chip, slave);
        for (auto [reg, value] : regs) slave->registers().set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(value));
        sensor = CreateSensor<TLM75Sensor>(&smbus, static_cast<std::uint32_t>(Chip), code, Logger(), "", "", "");
    }
    std::vector<double> Read(void (TSensor::*read)(), TReading (TSensor::*get)(int) const, int count) {
        // Twice: the spike filter holds back a first value beyond its limit.
        ((*sensor).*read)();
        ((*sensor).*read)();
        std::vector<double> v;
        for (int i = 1; i <= count; ++i) v.push_back(((*sensor).*get)(i).Stats->Last());
        return v;
    }
    std::vector<double> Temps() { return Read(&TSensor::ReadTemps, &TSensor::GetTemp, sensor->GetTempCount()); }
    std::vector<double> Fans() { return Read(&TSensor::ReadFans, &TSensor::GetFan, sensor->GetFanCount()); }
    std::vector<double> Volts() { return Read(&TSensor::ReadVolts, &TSensor::GetVolt, sensor->GetVoltCount()); }
    std::vector<double> Pwms() { return Read(&TSensor::ReadPwms, &TSensor::GetPwm, sensor->GetPwmCount()); }

    std::unique_ptr<TLM75Sensor> sensor;
};

TEST_F(LM75Sensor, ChipTableNamesTheReadings) {
    Make(139);
    EXPECT_EQ(sensor->FChipName, "Myson MTP008");
    EXPECT_EQ(sensor->GetTemp(3).Name, "Temp3");
    EXPECT_EQ(sensor->GetTemp(3).Stats->FName, "Myson MTP008 Temp3");
    EXPECT_EQ(sensor->GetPwm(1).Name, "Pwm1");
    EXPECT_EQ(sensor->GetVolt(5).Name, "-5V");
    Make(54);
    EXPECT_EQ(sensor->GetTemp(1).Stats->FName, "Temp");
    Make(69);
    EXPECT_EQ(sensor->GetTemp(1).Name, "Remote");
    EXPECT_EQ(sensor->GetVoltCount(), 6);
}

TEST_F(LM75Sensor, WordReadTakesTheFirstBusByteAsHigh) {
    Make(54, {{0x00, 0x19}, {0x01, 0x80}});
    ExpectReadings(Temps(), {25.5}, "LM75");
    ASSERT_EQ(segment.requests().size(), 2u);
    EXPECT_EQ(segment.requests()[0].protocol, SMBusProtocol::WordData);
    EXPECT_EQ(segment.requests()[0].command, 0x00);
}

struct TempCase {
    const char* what;
    std::uint8_t code;
    Regs regs;
    std::vector<double> temps;
};

TEST_F(LM75Sensor, TemperaturesPerChip) {
    const TempCase cases[] = {
        {"LM75 negative", 54, {{0x00, 0xE7}, {0x01, 0x00}}, {-25}},
        {"AD7417 like the LM75", 115, {{0x00, 0x19}, {0x01, 0x00}}, {25}},
        {"LM76 255.6 rule", 55, {{0x00, 0xFF}, {0x01, 0xC0}}, {-0.5}},
        {"LM76 positive", 55, {{0x00, 0x0C}, {0x01, 0x80}}, {25}},
        {"LM78 27h", 56, {{0x27, 0xF6}}, {-10}},
        {"LM80 four-bit fraction", 58, {{0x06, 0xF8}, {0x27, 30}}, {30 + 15 * 0.0625}},
        {"LM80 half degree", 58, {{0x06, 0x80}, {0x27, 30}}, {30.5}},
        {"LM90 remote fraction", 65, {{0x00, 40}, {0x01, 50}, {0x10, 0x60}}, {40, 50.375}},
        {"LM99 remote plus 16", 68, {{0x00, 40}, {0x01, 0x20}, {0x10, 0x00}}, {40, 48}},
        {"NE1618 three fraction bits", 70, {{0x00, 40}, {0x01, 50}, {0x10, 0x7F}}, {40, 50.375}},
        {"F75383 both fractions", 190, {{0x00, 40}, {0x1A, 0x80}, {0x01, 0xFF}, {0x10, 0x80}}, {40.5, -0.5}},
        {"NE1619 remote first", 69, {{0x26, 60}, {0x27, 30}}, {60, 30}},
        {"SiS5595 24h", 141, {{0x24, 33}}, {33}},
        {"MTP008 temperature 3 only", 139, {{0x27, 30}, {0x57, 0x01}, {0x24, 40}, {0x25, 50}}, {30, 0, 50}},
        {"MTP008 temperature 2", 139, {{0x27, 30}, {0x57, 0x02}, {0x24, 40}, {0x25, 50}}, {30, 40, 0}},
    };
    for (const auto& c : cases) {
        Make(c.code, c.regs);
        ExpectReadings(Temps(), c.temps, c.what);
    }
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(LM75Sensor, FailedReadsGiveNoValue) {
    Make(68, {{0x00, 40}, {0x01, 0x20}});
    slave->registers().setFault(0x10, {RegisterFault::Kind::Fail, -1});
    ExpectReadings(Temps(), {40, 0}, "LM99 without its fraction: no +16 either");
    Make(54, {{0x00, 0x19}});
    slave->setFault({platform::sim::SMBusFault::Kind::Timeout, -1});
    ExpectReadings(Temps(), {0}, "LM75 time-out");
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(LM75Sensor, FansAndVoltages) {
    Make(56, {{0x28, 135}, {0x29, 0xFF}, {0x2A, 135}, {0x47, 0x10}, {0x20, 100}, {0x25, 100}, {0x26, 150}});
    ExpectReadings(Fans(), {5000, 0, 5000}, "LM78 fan 3 at divisor 2");
    ExpectReadings(Volts(), {1.6, 0, 0, 0, 0, -6.4, -4}, "LM78");
    Make(58, {{0x28, 0}, {0x29, 135}, {0x05, 0x10}, {0x25, 200}});
    ExpectReadings(Fans(), {0, 5000}, "LM80");
    ExpectReadings(Volts(), {0, 0, 0, 0, 0, 200 * 0.05481792717 - 22.40896359, -11.11111111111111}, "LM80 offsets");
    Make(53, {{0x46, 0x18}, {0x47, 0x15}});
    ExpectReadings(Fans(), {1000}, "LM63 16-bit count");
    Make(139, {{0x56, 0x80}, {0x2A, 135}, {0x57, 0x00}, {0x24, 100}, {0x23, 200}});
    ExpectReadings(Fans(), {0, 0, 2500}, "MTP008 fan 3 from 56h");
    ExpectReadings(Volts(), {0, 0, 0, 200 * 0.082285714 - 16.96914289, 100 * 0.050285714 - 8.77714286}, "MTP008 -5V");
    slave->registers().set(0x57, 0x02);
    EXPECT_NEAR(Volts()[4], 0, 1e-9);
}

TEST_F(LM75Sensor, OutputsAndReportedAddress) {
    Make(53, {{0x4C, 0x1F}});
    ExpectReadings(Pwms(), {31 / 0.63}, "LM63");
    EXPECT_TRUE(sensor->SetPwm(1, 100));
    EXPECT_EQ(slave->registers().peek(0x4C), 0x3F);
    EXPECT_EQ(sensor->GetReportedSMBus(), 0xFFFF);

    Make(139, {{0x53, 0x00}, {0x48, 0xAD}});
    ExpectReadings(Pwms(), {100, 100, 100}, "MTP008 inverted");
    EXPECT_TRUE(sensor->SetPwm(2, 25));
    EXPECT_EQ(slave->registers().peek(0x54), 191);
    EXPECT_NEAR(sensor->GetPwm(2).Stats->Last(), 64 / 2.55, 1e-4);
    EXPECT_EQ(sensor->GetReportedSMBus(), 0x2D);

    Make(54);
    segment.clearRequests();
    EXPECT_EQ(sensor->GetReportedSMBus(), 0xFFFF);
    EXPECT_TRUE(segment.requests().empty());
    Make(56);
    slave->registers().setFault(0x48, {RegisterFault::Kind::Fail, -1});
    EXPECT_EQ(sensor->GetReportedSMBus(), 0xFFFF);
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace
