// The conversions every chip driver shares, as tables of register values
// and the readings they stand for.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "chips/cvchipconv.h"

using namespace chipconv;

namespace {

struct TempCase {
    const char* name;
    double (*convert)();
    double expected;
};

TEST(ChipConv, TemperatureFormats) {
    const TempCase cases[] = {
        {"s8 0", [] { return TempSigned8(0x00); }, 0},
        {"s8 127", [] { return TempSigned8(0x7F); }, 127},
        {"s8 128 is -128", [] { return TempSigned8(0x80); }, -128},
        {"s8 FF is -1", [] { return TempSigned8(0xFF); }, -1},
        {"u8 200", [] { return TempUnsigned8(200); }, 200},
        {"offset64 0", [] { return TempOffset64(0); }, -64},
        {"offset64 64", [] { return TempOffset64(64); }, 0},
        {"offset64 FF", [] { return TempOffset64(0xFF); }, 191},
        {"half 25.5", [] { return TempHalfDegree(0x19, 0x80); }, 25.5},
        {"half 127.5 stays positive", [] { return TempHalfDegree(0x7F, 0x80); }, 127.5},
        {"half -128", [] { return TempHalfDegree(0x80, 0x00); }, -128},
        {"half FF + half is -0.5", [] { return TempHalfDegree(0xFF, 0x80); }, -0.5},
        {"half other bits ignored", [] { return TempHalfDegree(0x19, 0x7F); }, 25},
        {"half bit 0", [] { return TempHalfDegree(0x19, 0x01, 0x01); }, 25.5},
        {"12-bit 25.0625", [] { return TempLeftAligned(0x1910); }, 25.0625},
        {"12-bit 127.9375", [] { return TempLeftAligned(0x7FF0); }, 127.9375},
        {"12-bit -128", [] { return TempLeftAligned(0x8000); }, -128},
        {"12-bit FFF0 is -0.0625", [] { return TempLeftAligned(0xFFF0); }, -0.0625},
        {"12-bit low nibble ignored", [] { return TempLeftAligned(0x190F); }, 25},
        {"11-bit 127.875 stays positive", [] { return TempLeftAligned(0x7FE0, 11); }, 127.875},
        {"9-bit word", [] { return TempLeftAligned(0xFF80, 9); }, -0.5},
        {"13-bit 25", [] { return Temp13Bit(0x0190); }, 25},
        {"13-bit 255.9375", [] { return Temp13Bit(0x0FFF); }, 255.9375},
        {"13-bit -256", [] { return Temp13Bit(0x1000); }, -256},
        {"13-bit -1", [] { return Temp13Bit(0x1FF0); }, -1},
        {"13-bit -0.0625", [] { return Temp13Bit(0x1FFF); }, -0.0625},
        {"13-bit flags above ignored", [] { return Temp13Bit(0xE190); }, 25},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.convert(), c.expected) << c.name;
}

TEST(ChipConv, Tachometers) {
    struct Case {
        const char* name;
        double rpm;
        double expected;
    };
    const Case cases[] = {
        {"8-bit count 0 is no fan", FanRpmDivided(FanClock8Bit, 0, 2, NoFan8Bit), 0},
        {"8-bit count 255 is no fan", FanRpmDivided(FanClock8Bit, 255, 2, NoFan8Bit), 0},
        {"8-bit 135 / 2", FanRpmDivided(FanClock8Bit, 135, 2, NoFan8Bit), 5000},
        {"8-bit 254 / 1", FanRpmDivided(FanClock8Bit, 254, 1, NoFan8Bit), 1350000.0 / 254},
        {"divisor 0 counts as 1", FanRpmDivided(FanClock8Bit, 135, 0, NoFan8Bit), 10000},
        {"divisor code 3", FanRpmDivided(FanClock8Bit, 135, DivisorFromCode(3), NoFan8Bit), 1250},
        {"negative count is 0", FanRpmDivided(FanClock8Bit, -5, 1, NoFan8Bit), 0},
        {"12-bit full scale", FanRpm(FanClock8Bit, 0x0FFF, NoFan12Bit), 0},
        {"13-bit full scale", FanRpm(FanClock8Bit, 0x1FFF, NoFan13Bit), 0},
        {"14-bit full scale", FanRpm(FanClock8Bit, 0x3FFF, NoFan14Bit), 0},
        {"14-bit below full scale", FanRpm(FanClock8Bit, 0x3FFE, NoFan14Bit), 1350000.0 / 0x3FFE},
        {"16-bit FFFF", FanRpm(FanClock16Bit, 0xFFFF, NoFan16Bit), 0},
        {"16-bit 0", FanRpm(FanClock16Bit, 0, NoFan16Bit), 0},
        {"16-bit 5400", FanRpm(FanClock16Bit, 5400, NoFan16Bit), 1000},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.rpm, c.expected) << c.name;
    EXPECT_EQ(DivisorFromCode(0), 1);
    EXPECT_EQ(DivisorFromCode(7), 128);
}

TEST(ChipConv, PercentToDutyRoundsHalvesToEvenAfterLimiting) {
    struct Case {
        double percent;
        int scale;
        int duty;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {30, DutyScale8, 76},   // 76.5
        {70, DutyScale8, 178},  // 178.5
        {10, DutyScale8, 26},   // 25.5
        {50, DutyScale8, 128},  // 127.5
        {50, DutyScale7, 64},   // 63.5
        {50, DutyScale6, 32},   // 31.5
        {50, DutyScale4, 8},    // 7.5
        {10, DutyScale4, 2},    // 1.5
        {100, DutyScale6, 63},
        {150, DutyScale8, 255},
        {-5, DutyScale8, 0},
        {inf, DutyScale8, 255},
        {-inf, DutyScale8, 0},
        {nan, DutyScale8, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(PercentToDuty(c.percent, c.scale), c.duty) << c.percent << " of " << c.scale;
    EXPECT_EQ(PercentToDutyInverted(30, DutyScale8), 179);
    EXPECT_EQ(PercentToDutyInverted(nan, DutyScale7), 127);
    EXPECT_DOUBLE_EQ(DutyToPercent(51, DutyScale8), 20);
    EXPECT_DOUBLE_EQ(DutyToPercentInverted(51, DutyScale8), 80);
    EXPECT_DOUBLE_EQ(DutyToPercent(63, DutyScale6), 100);
}

TEST(ChipConv, RegisterFields) {
    EXPECT_EQ(GetField(0xB4, 0x30, 4), 3);
    EXPECT_EQ(GetField(0xB4, 0x07, 0), 4);
    EXPECT_EQ(SetField(0xB4, 0x30, 4, 1), 0x94);
    EXPECT_EQ(SetField(0x00, 0x30, 4, 0x7), 0x30);  // bits beyond the field dropped
    EXPECT_EQ(SetField(0xFF, 0xC0, 6, 0), 0x3F);
}

}  // namespace
