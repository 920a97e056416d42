#pragma once
// Conversions every chip driver shares: register values to temperatures, fan
// speeds and duties, and back. Pure functions, so a family's driver only names
// its formats, clocks and scales.

#include <cstdint>

namespace chipconv {

// ---- temperatures ------------------------------------------------------------
// The sign comes from the top bit of the integer part; the fraction is added
// afterwards, so 127.875 stays positive and FFh with a half reads -0.5.

// A fixed-point value of intBits integer bits (two's complement) above
// fracBits fraction bits, right-aligned in raw.
double TempFixed(std::uint32_t raw, int intBits, int fracBits);
// Signed byte: 80h-FFh are -128..-1.
double TempSigned8(std::uint8_t raw);
// Unsigned byte: 0..255.
double TempUnsigned8(std::uint8_t raw);
// Offset-64 byte: raw - 64.
double TempOffset64(std::uint8_t raw);
// The integer byte signed, plus half a degree when `low` has `halfBit` set.
double TempHalfDegree(std::uint8_t high, std::uint8_t low, std::uint8_t halfBit = 0x80);
// A left-aligned word of `bits` significant bits (high byte the signed
// integer, the remaining bits below it the fraction): 12-bit LM75-style words.
double TempLeftAligned(std::uint16_t word, int bits = 12);
// A 13-bit value right-aligned: bit 12 the sign, 9 integer bits, 4 fraction bits.
double Temp13Bit(std::uint16_t raw);

// ---- tachometers -------------------------------------------------------------

inline constexpr double FanClock8Bit = 1350000.0;
inline constexpr double FanClock16Bit = 5400000.0;

// "No fan" counts: a count of 0 or the family's full-scale count.
inline constexpr std::uint32_t NoFan8Bit = 0xFF;
inline constexpr std::uint32_t NoFan12Bit = 0x0FFF;
inline constexpr std::uint32_t NoFan13Bit = 0x1FFF;
inline constexpr std::uint32_t NoFan14Bit = 0x3FFF;
inline constexpr std::uint32_t NoFan16Bit = 0xFFFF;

// 2^code, the divisor a divisor field selects.
int DivisorFromCode(int code);
// clock / (count * divisor); 0 for the no-fan counts, a divisor below 1
// counts as 1, a result below 0 is 0.
double FanRpmDivided(double clock, std::int64_t count, int divisor, std::uint32_t noFanCount);
// clock / count for wide counts without a divisor.
double FanRpm(double clock, std::int64_t count, std::uint32_t noFanCount);

// ---- outputs -----------------------------------------------------------------

// Full-scale duties of the output registers.
inline constexpr int DutyScale8 = 255;
inline constexpr int DutyScale7 = 127;
inline constexpr int DutyScale6 = 63;
inline constexpr int DutyScale4 = 15;

// percent / 100 * scale, limited to 0..scale, then rounded half to even;
// not a number gives 0.
int PercentToDuty(double percent, int scale);
// The same for an output whose register counts down (scale is off); not a
// number is 0 %.
int PercentToDutyInverted(double percent, int scale);
double DutyToPercent(int duty, int scale);
double DutyToPercentInverted(int duty, int scale);

// ---- register fields ---------------------------------------------------------
// `mask` names the field's bits in place; `shift` its lowest bit.

std::uint8_t GetField(std::uint8_t value, std::uint8_t mask, int shift);
// value with the field replaced; bits of `field` beyond the mask are dropped.
std::uint8_t SetField(std::uint8_t value, std::uint8_t mask, int shift, std::uint8_t field);

}  // namespace chipconv
