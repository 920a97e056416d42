#pragma once
// Work a driver paces over many seconds, run on the GUI thread between the
// program's other work so it never interleaves with a sensor read. The
// program's loop calls RunDuePacedSteps once every PacedStepIntervalMs (the
// monitor's pacing timer, so also without a window); each call runs one
// step of every registered work. A step unregisters when destroyed, so
// nothing runs for an owner that is gone.

#include <cstdint>
#include <functional>

inline constexpr std::uint32_t PacedStepIntervalMs = 1450;

class TPacedStep {
public:
    explicit TPacedStep(std::function<void()> step);
    ~TPacedStep();
    TPacedStep(const TPacedStep&) = delete;
    TPacedStep& operator=(const TPacedStep&) = delete;

    void Run() { FStep(); }

private:
    std::function<void()> FStep;
};

// Runs one step of every registered work, in registration order.
void RunDuePacedSteps();
