#include <gtest/gtest.h>

#include "cpu/noscpuidmsr.h"

namespace {

TNosCMCPUData withMsrs(std::uint32_t model = 15) {
    TNosCMCPUData cpu;
    cpu.MsrsRead = true;
    cpu.Info.Model = model;
    return cpu;
}

// One MSR value read for one line code.
struct Case {
    std::uint8_t code;
    std::uint32_t model;
    std::uint64_t TNosCMCPUData::*msr;
    std::uint64_t value;
    double expected;
};

}  // namespace

TEST(BusSpeedFromMsrs, ByLineCode) {
    const Case cases[] = {
        {52, 15, &TNosCMCPUData::MsrCD, 2, 800},         {52, 15, &TNosCMCPUData::MsrCD, 0, 1066},
        {71, 28, &TNosCMCPUData::MsrCD, 6, 1600},        {52, 15, &TNosCMCPUData::MsrCD, 7, 0},
        {59, 14, &TNosCMCPUData::MsrCD, 1, 533},         {59, 14, &TNosCMCPUData::MsrCD, 2, 0},
        {80, 2, &TNosCMCPUData::Msr2C, 0, 400},          {80, 3, &TNosCMCPUData::Msr2C, 0, 1066},
        {80, 4, &TNosCMCPUData::Msr2C, 4 << 16, 1333},   {80, 1, &TNosCMCPUData::Msr2C, 0, 400},
        {80, 1, &TNosCMCPUData::Msr2C, 1 << 21, 0},      {80, 5, &TNosCMCPUData::Msr2C, 0, 0},
        {49, 13, &TNosCMCPUData::Msr2A, 2 << 18, 400},   {43, 8, &TNosCMCPUData::Msr2A, 1 << 18, 133},
        {43, 8, &TNosCMCPUData::Msr2A, 0, 66},           {91, 6, &TNosCMCPUData::Msr2A, 1 << 18, 133},
        {91, 6, &TNosCMCPUData::Msr2A, 0, 0},            {62, 26, &TNosCMCPUData::MsrCD, 2, 0},
        {52, 15, &TNosCMCPUData::MsrCD, MsrUnread, 0},
    };
    for (const auto& c : cases) {
        auto cpu = withMsrs(c.model);
        cpu.*c.msr = c.value;
        EXPECT_EQ(BusSpeedFromMsrs(cpu, c.code), c.expected) << int(c.code) << " " << c.value;
    }
    auto unread = withMsrs();
    unread.MsrCD = 2;
    unread.MsrsRead = false;
    EXPECT_EQ(BusSpeedFromMsrs(unread, 52), 0);
}

TEST(RatioFromMsrs, ByLineCodeAndTables) {
    constexpr std::uint64_t twelveAndHalf = 12ull << 40 | 1ull << 46;
    const Case cases[] = {
        {71, 28, &TNosCMCPUData::Msr198, twelveAndHalf, 12},
        {52, 15, &TNosCMCPUData::Msr198, twelveAndHalf, 12.5},
        {62, 26, &TNosCMCPUData::MsrCE, 0x1400, 20},
        {80, 2, &TNosCMCPUData::Msr2C, 18ull << 24, 18},
        {80, 1, &TNosCMCPUData::Msr2C, 18ull << 24, 0},
        {43, 8, &TNosCMCPUData::Msr2A, 1ull << 27 | 6ull << 22, 8.5},   // T6 index 22
        {43, 8, &TNosCMCPUData::Msr2A, 8ull << 22, 0},                   // T6 index 8 is not listed
        {91, 6, &TNosCMCPUData::Msr2A, 7ull << 22, 11},                  // T91
        {92, 6, &TNosCMCPUData::Msr2A, 1ull << 27 | 15ull << 22, 14.5},  // T92 index 31
        {93, 6, &TNosCMCPUData::Msr2A, 1ull << 27 | 3ull << 22, 19},
        {44, 22, &TNosCMCPUData::Msr198, twelveAndHalf, 0},
    };
    for (const auto& c : cases) {
        auto cpu = withMsrs(c.model);
        cpu.*c.msr = c.value;
        EXPECT_EQ(RatioFromMsrs(cpu, c.code), c.expected) << int(c.code) << " " << c.value;
    }
}

TEST(VidToVoltage, SixLowBits) {
    EXPECT_EQ(VidToVoltage(0), 0);
    EXPECT_DOUBLE_EQ(VidToVoltage(62), 1.6);
    EXPECT_DOUBLE_EQ(VidToVoltage(63), 1.6125);
    EXPECT_DOUBLE_EQ(VidToVoltage(1), 0.8375);
    EXPECT_DOUBLE_EQ(VidToVoltage(0x141), 0.8375) << "only the six low bits count";
}

TEST(IntelNoteFields, RatioAndVoltageOfEachPair) {
    auto cpu = withMsrs();
    cpu.Msr198 = 0x0000'4C26'0000'0000ull | (0x0Aull << 56);
    cpu.MsrCE = 0x0000'0000'0000'0D3Eull;
    EXPECT_EQ(IntelNoteRatio(cpu, 2), 12.5);  // bits 40-44 = 12, bit 46 set
    EXPECT_DOUBLE_EQ(IntelNoteVoltage(cpu, 2), VidToVoltage(0x26));
    EXPECT_EQ(IntelNoteRatio(cpu, 3), 10);
    EXPECT_EQ(IntelNoteRatio(cpu, 6), 13);
    EXPECT_DOUBLE_EQ(IntelNoteVoltage(cpu, 6), VidToVoltage(0x3E));
}

TEST(GeodeCoreSpeed, FirstMatchingRow) {
    auto cpu = withMsrs();
    const auto fields = [](std::uint64_t core, std::uint64_t gliu) { return (core << 1 | gliu << 7) << 32; };
    cpu.Msr4C000014 = fields(14, 9);
    EXPECT_EQ(GeodeCoreSpeed(cpu, 11), 500);
    EXPECT_EQ(GeodeCoreSpeed(cpu, 12), 0) << "only the Geode LX line";
    cpu.Msr4C000014 = fields(17, 5);
    EXPECT_EQ(GeodeCoreSpeed(cpu, 11), 600);
    cpu.Msr4C000014 = fields(6, 5);
    EXPECT_EQ(GeodeCoreSpeed(cpu, 11), 0);
    cpu.Msr4C000014 = fields(16, 5);
    EXPECT_EQ(GeodeCoreSpeed(cpu, 11), 0) << "no row pairs 16 with 5";
    cpu.Msr4C000014 = MsrUnread;
    EXPECT_EQ(GeodeCoreSpeed(cpu, 11), 0);
}
