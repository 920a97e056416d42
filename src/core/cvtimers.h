#pragma once
// Timers on the platform clock, for runs without the window's event loop:
// whoever drives the run calls RunDue after the clock moved.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/cvservices.h"

class TClockTimers : public TTimerService {
public:
    std::unique_ptr<TTimer> CreateTimer(int intervalMs, std::function<void()> onTick) override;
    // Fires every enabled timer whose interval has passed, at most once each.
    void RunDue();

private:
    class TClockTimer;
    using TRegistry = std::vector<TClockTimer*>;
    // Shared with the timers, so either may go first.
    std::shared_ptr<TRegistry> timers_ = std::make_shared<TRegistry>();
};
