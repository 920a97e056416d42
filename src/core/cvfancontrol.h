#pragma once
// Fan controllers: each drives one PWM output from a 16-point curve per
// temperature input. Plain data, loaded from the sensors file, edited by the
// configuration dialog and run by automatic fan control.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int FanCurvePointCount = 16;

struct TFanCtrlTemp {
    // Settings.
    std::int32_t SensorIndex = 0;
    std::int32_t ReadingIndex = 0;  // 1-based
    std::int32_t MinTemp = 0;
    std::int32_t MaxTemp = 0;
    std::int32_t Hysteresis = 0;
    // Duty in percent at MinTemp + k * (MaxTemp - MinTemp) / 15.
    std::array<double, FanCurvePointCount> ControlPoints{};

    // Run-time values, 0 when loaded.
    double Value = 0;
    double WantedTemp = 0;
    double WarningTemp = 0;
    std::int32_t Duty = 0;
    std::int32_t AppliedDuty = 0;
    double LastChangeTemp = 0;
    std::int32_t OutputDuty = 0;
};

using TFanCtrlTemps = std::vector<TFanCtrlTemp>;

struct TFanController {
    enum : std::uint8_t { MethodSum = 0, MethodMax = 1 };  // any other value: full speed

    std::string Name;
    TFanCtrlTemps Temps;
    std::int32_t SensorIndex = 0;
    std::int32_t PwmIndex = 0;  // 1-based
    std::uint8_t ControlMethod = MethodSum;
    bool Enabled = false;
};

using TFanControllers = std::vector<TFanController>;

// Rounds half to even and saturates at the 32-bit range; NaN gives 0.
std::int32_t RoundToInt32(double value);

// The curve interval holding value: the integer part of
// (value - MinTemp) / DeltaT, meaningful strictly between MinTemp and MaxTemp.
double CurveDeltaT(const TFanCtrlTemp& input);
std::int64_t CurveInterval(const TFanCtrlTemp& input, double value);

// The rounded duty the curve gives at value: the first point at or below
// MinTemp, the last at or above MaxTemp, else the straight line between the
// neighbouring points. An interval outside 0..14 (only rounding at the very
// top can give one) is clamped into the curve.
std::int32_t CurveDuty(const TFanCtrlTemp& input, double value);
