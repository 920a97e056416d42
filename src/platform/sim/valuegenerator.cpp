#include "platform/sim/valuegenerator.h"

#include <memory>
#include <stdexcept>

#include "platform/sim/simclock.h"

namespace platform::sim {

ValueGenerator constantValue(std::uint8_t value) {
    return [value] { return value; };
}

ValueGenerator scriptedValues(std::vector<std::uint8_t> values) {
    if (values.empty()) throw std::invalid_argument("a scripted register needs at least one value");
    return [values = std::move(values), next = std::size_t{0}]() mutable {
        const std::uint8_t value = values[next];
        if (next + 1 < values.size()) ++next;
        return value;
    };
}

ValueGenerator countingValue(std::uint8_t start, std::uint8_t step) {
    return [value = start, step]() mutable {
        const std::uint8_t current = value;
        value = static_cast<std::uint8_t>(value + step);
        return current;
    };
}

}  // namespace platform::sim

namespace platform::sim {

ValueGenerator perSecondValue(SimClock& clock, std::uint8_t start, std::uint8_t step) {
    const std::uint64_t origin = clock.monotonicMs();
    return [&clock, origin, start, step] {
        const std::uint64_t seconds = (clock.monotonicMs() - origin) / 1000;
        return static_cast<std::uint8_t>(start + seconds * step);
    };
}

}  // namespace platform::sim
