#include "core/cvpacedstep.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace {

std::vector<TPacedStep*>& Registered() {
    static std::vector<TPacedStep*> steps;
    return steps;
}

std::uint64_t NowMs() { return platform::current().clock().monotonicMs(); }

}  // namespace

TPacedStep::TPacedStep(std::uint32_t intervalMs, std::function<void()> step)
    : FIntervalMs(intervalMs), FStep(std::move(step)), FLastMs(NowMs()) {
    Registered().push_back(this);
}

TPacedStep::~TPacedStep() {
    auto& steps = Registered();
    steps.erase(std::remove(steps.begin(), steps.end(), this), steps.end());
}

bool TPacedStep::RunIfDue() {
    const std::uint64_t now = NowMs();
    if (now - FLastMs < FIntervalMs) return false;
    FLastMs = now;
    FStep();
    return true;
}

void RunDuePacedSteps() {
    // A step may destroy other steps' owners: walk a copy and skip the gone.
    const std::vector<TPacedStep*> steps = Registered();
    for (TPacedStep* step : steps)
        if (std::find(Registered().begin(), Registered().end(), step) != Registered().end()) step->RunIfDue();
}
