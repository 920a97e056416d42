// GL518SM and GL520SM monitors, and the GL518SM's voltage search on virtual
// time: a simulated chip whose alarm bit i is set while input i's true count
// exceeds the high byte of limit word i, recomputed on each write.

#include <gtest/gtest.h>

#include <array>

#include "chips/chipsfixture.h"
#include "chips/cvglsensor.h"
#include "core/cvpacedstep.h"

namespace {

using platform::sim::RegisterBehaviour;
using platform::sim::RegisterFault;

constexpr std::uint8_t LimitRegs[] = {0x0C, 0x09, 0x0A};

class GLSensor : public SMBusChipTest {
protected:
    // A revision-00h GL518SM whose inputs truly read `counts`; its limit words start at `limits`.
    void MakeSearchingChip(std::array<int, 3> counts, std::uint16_t limits = 0xC800) {
        trueCounts = counts;
        auto& regs = slave->registers();
        regs.set(0x01, 0x00);
        regs.set(0x10, 0xFF);
        regs.set(0x11, 0xAB);
        for (int i = 0; i < 3; ++i) {
            RegisterBehaviour word;
            word.word = true;
            word.onWrite = [this](std::uint16_t) { Recompute(); };
            regs.setBehaviour(LimitRegs[i], word);
            regs.set(LimitRegs[i], limits);
        }
        Recompute();
        sensor = CreateSensor<TGLSensor>(&smbus, static_cast<std::uint32_t>(Chip), TGLSensor::GL518SM, Logger(), "",
                                         "", "");
    }
    void Recompute() {
        std::uint8_t alarms = 0;
        for (int i = 0; i < 3; ++i)
            if (trueCounts[i] > (slave->registers().peekWord(LimitRegs[i]) >> 8)) alarms |= static_cast<std::uint8_t>(1 << i);
        slave->registers().set(0x12, alarms);
    }
    // One pacing interval on virtual time, then a voltage read.
    void Tick() {
        machine().simClock().advance(TGLSensor::SearchPaceMs);
        RunDuePacedSteps();
        sensor->ReadVolts();
    }
    double Volt(int i) { return sensor->GetVolt(i).Stats->Last(); }

    std::array<int, 3> trueCounts{};
    std::unique_ptr<TGLSensor> sensor;
};

TEST_F(GLSensor, SearchConvergesWithinOneCount) {
    MakeSearchingChip({120, 57, 33});
    EXPECT_TRUE(sensor->Searching());
    EXPECT_EQ(slave->registers().peek(0x11), 0xA0);
    EXPECT_EQ(slave->registers().peek(0x10), 0xF0);
    sensor->ReadVolts();
    EXPECT_EQ(Volt(1), 0);
    int ticks = 0;
    while (Volt(1) == 0 && ticks < 20) {
        Tick();
        ++ticks;
    }
    ASSERT_LT(ticks, 20);
    EXPECT_NEAR(Volt(1) / 0.019, 57, 1.01);
    EXPECT_NEAR(Volt(2) / (0.019 / 3 * 12), 33, 1.01);
    EXPECT_NEAR(Volt(4) / (0.019 / 4 * 5), 120, 1.01);
    // The search's zeros are gone from the statistics.
    EXPECT_GT(sensor->GetVolt(1).Stats->FMin, 0);
    EXPECT_EQ(sensor->GetVolt(1).Stats->FCount, 1);
    // The limits are back as found once the search ends.
    for (std::uint8_t reg : LimitRegs) EXPECT_EQ(slave->registers().peekWord(reg), 0xC800);
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(GLSensor, AlarmedStartSearchesTheWholeRange) {
    MakeSearchingChip({100, 100, 100}, 0x3200);  // every input above its limit of 50
    int ticks = 0;
    while (Volt(1) == 0 && ticks < 20) {
        Tick();
        ++ticks;
    }
    EXPECT_NEAR(Volt(1) / 0.019, 100, 1.01);
}

TEST_F(GLSensor, DestructionMidSearchRestoresTheChip) {
    MakeSearchingChip({57, 57, 57});
    Tick();
    Tick();
    EXPECT_NE(slave->registers().peekWord(0x09), 0xC800);
    // A step whose alarms cannot be read changes nothing.
    slave->registers().setFault(0x12, {RegisterFault::Kind::Fail, 1});
    Tick();
    sensor.reset();
    for (std::uint8_t reg : LimitRegs) EXPECT_EQ(slave->registers().peekWord(reg), 0xC800);
    EXPECT_EQ(slave->registers().peek(0x11), 0xAB);
    EXPECT_EQ(slave->registers().peek(0x10), 0xFF);
    // Nothing runs for the gone sensor.
    machine().simClock().advance(TGLSensor::SearchPaceMs);
    RunDuePacedSteps();
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(GLSensor, RevisionEightyReadsDirectly) {
    auto& regs = slave->registers();
    for (auto [reg, value] : {std::pair{0x01, 0x80}, {0x14, 100}, {0x13, 150}, {0x15, 200}, {0x0D, 50}, {0x04, 144}})
        regs.set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(value));
    sensor = CreateSensor<TGLSensor>(&smbus, static_cast<std::uint32_t>(Chip), TGLSensor::GL518SM, Logger(), "", "", "");
    EXPECT_FALSE(sensor->Searching());
    sensor->ReadVolts();
    EXPECT_NEAR(Volt(1), 1.9, 1e-4);
    EXPECT_NEAR(Volt(2), 150 * 0.019 / 3 * 12, 1e-4);
    EXPECT_NEAR(Volt(3), 0.95, 1e-4);
    EXPECT_NEAR(Volt(4), 200 * 0.019 / 4 * 5, 1e-4);
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(sensor->GetTemp(1).Stats->Last(), 25);
}

TEST_F(GLSensor, GL520SMAndFans) {
    auto& regs = slave->registers();
    for (auto [reg, value] : {std::pair{0x03, 0x10}, {0x04, 160}, {0x0E, 100}, {0x07, 120}, {0x08, 0xFF}, {0x0F, 0x40}})
        regs.set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(value));
    sensor = CreateSensor<TGLSensor>(&smbus, static_cast<std::uint32_t>(Chip), TGLSensor::GL520SM, Logger(), "", "", "");
    sensor->ReadTemps();
    sensor->ReadTemps();  // the spike filter holds back the first -127
    EXPECT_DOUBLE_EQ(sensor->GetTemp(1).Stats->Last(), 30);
    EXPECT_DOUBLE_EQ(sensor->GetTemp(2).Stats->Last(), -127);
    sensor->ReadVolts();
    EXPECT_NEAR(Volt(4), -100 * 0.019 * 7.5, 1e-4);
    sensor->ReadFans();
    EXPECT_DOUBLE_EQ(sensor->GetFan(1).Stats->Last(), 2000);
    EXPECT_DOUBLE_EQ(sensor->GetFan(2).Stats->Last(), 0);
    EXPECT_DOUBLE_EQ(TGLSensor::GlFanRpm(0, 1), 0);
}

}  // namespace
