#include "chips/cvchipconv.h"

#include <algorithm>
#include <cmath>

namespace chipconv {

double TempFixed(std::uint32_t raw, int intBits, int fracBits) {
    const std::uint32_t intMask = (1u << intBits) - 1;
    const std::uint32_t integerBits = (raw >> fracBits) & intMask;
    const std::int64_t integer = (integerBits & (1u << (intBits - 1))) ? std::int64_t(integerBits) - (std::int64_t(1) << intBits)
                                                                         : std::int64_t(integerBits);
    const std::uint32_t fraction = raw & ((1u << fracBits) - 1);
    return static_cast<double>(integer) + static_cast<double>(fraction) / static_cast<double>(1u << fracBits);
}

double TempSigned8(std::uint8_t raw) { return TempFixed(raw, 8, 0); }

double TempUnsigned8(std::uint8_t raw) { return raw; }

double TempOffset64(std::uint8_t raw) { return raw - 64.0; }

double TempHalfDegree(std::uint8_t high, std::uint8_t low, std::uint8_t halfBit) {
    return TempSigned8(high) + ((low & halfBit) ? 0.5 : 0.0);
}

double TempLeftAligned(std::uint16_t word, int bits) {
    const int fracBits = bits - 8;
    return TempFixed(static_cast<std::uint32_t>(word) >> (16 - bits), 8, fracBits);
}

double Temp13Bit(std::uint16_t raw) { return TempFixed(raw & 0x1FFFu, 9, 4); }

int DivisorFromCode(int code) { return 1 << std::clamp(code, 0, 30); }

double FanRpmDivided(double clock, std::int64_t count, int divisor, std::uint32_t noFanCount) {
    if (count == 0 || count == static_cast<std::int64_t>(noFanCount)) return 0;
    const double rpm = clock / (static_cast<double>(count) * std::max(divisor, 1));
    return std::max(rpm, 0.0);
}

double FanRpm(double clock, std::int64_t count, std::uint32_t noFanCount) {
    return FanRpmDivided(clock, count, 1, noFanCount);
}

int PercentToDuty(double percent, int scale) {
    if (std::isnan(percent)) return 0;
    const double duty = std::clamp(percent / 100.0 * scale, 0.0, static_cast<double>(scale));
    return static_cast<int>(std::nearbyint(duty));
}

int PercentToDutyInverted(double percent, int scale) {
    return scale - PercentToDuty(percent, scale);
}

double DutyToPercent(int duty, int scale) { return duty * 100.0 / scale; }

double DutyToPercentInverted(int duty, int scale) { return (scale - duty) * 100.0 / scale; }

std::uint8_t GetField(std::uint8_t value, std::uint8_t mask, int shift) {
    return static_cast<std::uint8_t>((value & mask) >> shift);
}

std::uint8_t SetField(std::uint8_t value, std::uint8_t mask, int shift, std::uint8_t field) {
    return static_cast<std::uint8_t>((value & ~mask) | ((field << shift) & mask));
}

}  // namespace chipconv
