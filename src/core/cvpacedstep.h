#pragma once
// Work a driver paces over many seconds, run on the GUI thread between the
// program's other work so it never interleaves with a sensor read. The owner
// of the GUI loop (the window's timer) calls RunDuePacedSteps; the platform
// clock says which steps are due. A step unregisters when destroyed, so
// nothing runs for an owner that is gone.

#include <cstdint>
#include <functional>

class TPacedStep {
public:
    TPacedStep(std::uint32_t intervalMs, std::function<void()> step);
    ~TPacedStep();
    TPacedStep(const TPacedStep&) = delete;
    TPacedStep& operator=(const TPacedStep&) = delete;

    // Runs the step when an interval has passed since its last run (or since
    // construction); answers whether it ran.
    bool RunIfDue();

private:
    std::uint32_t FIntervalMs;
    std::function<void()> FStep;
    std::uint64_t FLastMs;
};

// Runs every registered step that is due, in registration order.
void RunDuePacedSteps();
