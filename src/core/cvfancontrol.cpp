#include "core/cvfancontrol.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::int32_t RoundToInt32(double value) {
    if (std::isnan(value)) return 0;
    const double r = std::nearbyint(value);
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}

double CurveDeltaT(const TFanCtrlTemp& input) {
    return (static_cast<double>(input.MaxTemp) - input.MinTemp) / (FanCurvePointCount - 1);
}

std::int64_t CurveInterval(const TFanCtrlTemp& input, double value) {
    const double k = std::trunc((value - input.MinTemp) / CurveDeltaT(input));
    if (!(k > -1e15 && k < 1e15)) return k > 0 ? std::numeric_limits<std::int32_t>::max() : -1;
    return static_cast<std::int64_t>(k);
}

std::int32_t CurveDuty(const TFanCtrlTemp& input, double value) {
    const auto& cp = input.ControlPoints;
    if (value <= input.MinTemp) return RoundToInt32(cp.front());
    if (value >= input.MaxTemp) return RoundToInt32(cp.back());
    const double deltaT = CurveDeltaT(input);
    const auto k = static_cast<int>(std::clamp<std::int64_t>(CurveInterval(input, value), 0, FanCurvePointCount - 2));
    return RoundToInt32((cp[k + 1] - cp[k]) / deltaT * (value - input.MinTemp - k * deltaT) + cp[k]);
}
