#pragma once
// Processor registers pack their fields as bit ranges.

#include <cstdint>

// `count` bits of `value` from bit `low` up.
constexpr std::uint32_t Bits(std::uint64_t value, int low, int count) {
    return static_cast<std::uint32_t>(value >> low & ((std::uint64_t{1} << count) - 1));
}
