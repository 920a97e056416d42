#pragma once
// Sources of the value a register answers on each read, for registers that
// change on their own (chip ids that ignore writes, readings that move).

#include <cstdint>
#include <functional>
#include <vector>

namespace platform::sim {

class SimClock;

// Called once per read of its register; byte registers keep the low 8 bits.
using ValueGenerator = std::function<std::uint16_t()>;

// Always the same value, whatever is written.
ValueGenerator constantValue(std::uint8_t value);
// The values in turn, one per read; the last one repeats. Throws
// std::invalid_argument when empty.
ValueGenerator scriptedValues(std::vector<std::uint8_t> values);
// start, start + step, ... one step per read, wrapping at 8 bits.
ValueGenerator countingValue(std::uint8_t start, std::uint8_t step = 1);
// start, start + step, ... one step per simulated second since now,
// wrapping at 8 bits.
ValueGenerator perSecondValue(SimClock& clock, std::uint8_t start, std::uint8_t step = 1);

}  // namespace platform::sim
