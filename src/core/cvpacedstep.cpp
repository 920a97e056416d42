#include "core/cvpacedstep.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<TPacedStep*>& Registered() {
    static std::vector<TPacedStep*> steps;
    return steps;
}

}  // namespace

TPacedStep::TPacedStep(std::function<void()> step) : FStep(std::move(step)) { Registered().push_back(this); }

TPacedStep::~TPacedStep() { std::erase(Registered(), this); }

void RunDuePacedSteps() {
    // A step may destroy other steps' owners: walk a copy and skip the gone.
    const std::vector<TPacedStep*> steps = Registered();
    for (TPacedStep* step : steps)
        if (std::find(Registered().begin(), Registered().end(), step) != Registered().end()) step->Run();
}
