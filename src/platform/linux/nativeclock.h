#pragma once
#include <ctime>

#include "platform/platform.h"

namespace platform::native {

// The calendar fields and UTC offset of the system's zone (TZ) at that moment.
LocalTime localTimeAt(std::time_t seconds, int millisecond = 0);

// The system's clocks: local wall time, and time since boot (suspend
// included) for the monotonic count, as tick counts of the design's system.
class NativeClock : public Clock {
public:
    LocalTime localNow() override;
    std::uint64_t monotonicMs() override;
    void sleepMs(std::uint32_t ms) override;
    // The monotonic clock in nanoseconds.
    std::uint64_t performanceFrequency() override { return 1'000'000'000u; }
    std::uint64_t performanceCount() override;
};

}  // namespace platform::native
