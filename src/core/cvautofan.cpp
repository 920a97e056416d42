#include "core/cvautofan.h"

#include <algorithm>
#include <cmath>

TFanVote ClassifyTemp(double newest, double mean, double trendMinusMean, int wanted, int warning) {
    if (!std::isfinite(newest) || !std::isfinite(mean) || !std::isfinite(trendMinusMean)) return FanFull;
    const bool rising = trendMinusMean > 0.1;
    if (newest >= warning) return FanFull;
    if (mean > wanted) return rising ? FanUp : FanKeep;
    if (mean <= wanted - 2) return FanDown;
    if (mean > wanted - 1) return FanKeep;
    return rising ? FanKeep : FanDown;
}

std::int32_t LimitDuty(std::int64_t duty, std::int32_t minPercent, std::int32_t maxPercent) {
    return static_cast<std::int32_t>(std::max<std::int64_t>(std::min<std::int64_t>(duty, maxPercent), minPercent));
}

std::int32_t ClassicDuty(TFanVote state, std::int32_t x, std::int32_t fanDelta, std::int32_t minPercent,
                         std::int32_t maxPercent) {
    switch (state) {
        case FanFull: return 100;
        case FanUp: return LimitDuty(std::int64_t{x} + fanDelta, minPercent, maxPercent);
        case FanDown: return LimitDuty(std::int64_t{x} - fanDelta, minPercent, maxPercent);
        case FanKeep: break;
    }
    return LimitDuty(x, minPercent, maxPercent);
}

void ApplyHysteresis(TFanCtrlTemp& input) {
    if (input.Duty > input.AppliedDuty || input.LastChangeTemp - input.Hysteresis >= input.Value) {
        input.AppliedDuty = input.Duty;
        input.LastChangeTemp = input.Value;
    }
    input.OutputDuty = input.AppliedDuty;
}

std::int32_t CombineDuties(const TFanController& controller) {
    std::int64_t result = 0;
    for (const auto& input : controller.Temps) {
        switch (controller.ControlMethod) {
            case TFanController::MethodSum: result += input.AppliedDuty; break;
            case TFanController::MethodMax: result = std::max<std::int64_t>(result, input.AppliedDuty); break;
            default: break;
        }
    }
    if (controller.ControlMethod != TFanController::MethodSum && controller.ControlMethod != TFanController::MethodMax)
        result = 100;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(result, 0, 100));
}
