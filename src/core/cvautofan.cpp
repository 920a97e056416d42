#include "core/cvautofan.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "base/cvformat.h"
#include "core/cvlogsinks.h"
#include "core/cvoptions.h"
#include "hw/cvbuslocks.h"

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

// ---- running it ------------------------------------------------------------------

namespace {

constexpr double NoTemp = -9999;

struct TempStats {
    double Newest, Mean, TrendMinusMean;
};

TempStats statsOf(const TFanControlContext& c, const TTempReadingData& slot) {
    const TValueStats& stats = SlotStats(c.Sensors, TReadingKind::Temp, slot);
    return {stats.Last(), stats.Mean(), stats.Trend() - stats.Mean()};
}

TFanVote classify(const TFanControlContext& c, const TTempReadingData& slot) {
    const TempStats s = statsOf(c, slot);
    return ClassifyTemp(s.Newest, s.Mean, s.TrendMinusMean, slot.Wanted, slot.Warning);
}

bool validSlot(const std::vector<TPwmReadingData>& slots, int number) {
    return number >= 1 && static_cast<std::size_t>(number) <= slots.size();
}

// Sets edit n (1-based) as fan control does; a position without an edit is left alone.
void setEdit(const TFanControlContext& c, int n, std::int32_t duty, const char* failure = "DEBUG cvs.2") {
    try {
        c.DutyEdits.Set(n, duty);
    } catch (const std::exception&) {
        c.Log.LogMessage(failure);
    }
}

void classicRule(const TFanControlContext& c, std::vector<TFanVote>& votes) {
    auto& pwms = c.Slots.PwmSlots;
    try {
        for (auto& slot : pwms) slot.FanState = FanDown;
        for (int index : c.Slots.TempOrder) {
            const TTempReadingData& temp = c.Slots.TempSlots.at(index);
            const TFanVote vote = classify(c, temp);
            votes.push_back(vote);
            for (int n : temp.UsedPwms)
                if (validSlot(pwms, n) && pwms[n - 1].Variate)
                    pwms[n - 1].FanState = MergeFanState(static_cast<TFanVote>(pwms[n - 1].FanState & 3), vote);
        }
    } catch (const std::exception&) {
        c.Log.LogMessage("DEBUG 3");
    }
    try {
        const auto& shown = c.Slots.UsedPwms;
        for (std::size_t p = 0; p < shown.size() && p < TDutyEdits::Count; ++p) {
            const TPwmReadingData& slot = pwms.at(shown[p]);
            if (!slot.Variate) continue;
            const int n = static_cast<int>(p) + 1;
            const std::int32_t x = c.DutyEdits.UFCycles(n);
            const std::int32_t duty = ClassicDuty(static_cast<TFanVote>(slot.FanState & 3), x, c.Options.FanDelta,
                                                  slot.MinPercent, slot.MaxPercent);
            if (duty == x && duty != 100) continue;
            setEdit(c, n, duty);
        }
    } catch (const std::exception&) {
        c.Log.LogMessage("DEBUG 4");
    }
}

// Fills the input's run-time values; false when it has no usable reading,
// which runs its fan at full speed.
bool processTemp(const TFanControlContext& c, const TFanController& controller, TFanCtrlTemp& input) {
    input.Duty = 100;
    input.Value = input.WantedTemp = input.WarningTemp = NoTemp;
    if (input.SensorIndex < 0 || static_cast<std::size_t>(input.SensorIndex) >= c.Sensors.size()) return false;
    const TSensor& sensor = *c.Sensors[input.SensorIndex];
    if (input.ReadingIndex < 1 || input.ReadingIndex > sensor.GetTempCount()) return false;

    const auto& temps = c.Slots.TempSlots;
    const auto slot = std::find_if(temps.begin(), temps.end(), [&](const TTempReadingData& t) {
        return t.SensorIndex == input.SensorIndex && t.ReadingIndex == input.ReadingIndex;
    });
    if (slot != temps.end()) {
        input.WantedTemp = slot->Wanted;
        input.WarningTemp = slot->Warning;
    } else {
        c.Log.TraceMessage(cvformat::Format("FindTempInAssocTemps - CAN'T FIND chip=%d index=%d",
                                            {input.SensorIndex, input.ReadingIndex}),
                           1);
    }
    const TReading reading = sensor.GetTemp(input.ReadingIndex);
    const double value = reading.Stats->Last();
    if (!std::isfinite(value)) {
        input.WarningTemp = NoTemp;
        return false;
    }
    input.Value = value;
    if (value > input.MinTemp && value < input.MaxTemp) {
        const std::int64_t k = CurveInterval(input, value);
        if (k < 0 || k > FanCurvePointCount - 2)
            c.Log.TraceMessage(
                cvformat::Format("AdvAutoFan.ProcessTemp(%s,%s) - BAD CP - v=%.2f  min=%d  max=%d  cp=%d  DeltaT=%.5f",
                                 {controller.Name, reading.Name, value, input.MinTemp, input.MaxTemp, k,
                                  CurveDeltaT(input)}),
                1);
    }
    input.Duty = CurveDuty(input, value);
    return true;
}

void applyPwm(const TFanControlContext& c, const TFanController& controller, std::int32_t duty, bool full) {
    const auto& shown = c.Slots.UsedPwms;
    const auto& pwms = c.Slots.PwmSlots;
    const auto p = std::find_if(shown.begin(), shown.end(), [&](int index) {
        return index >= 0 && static_cast<std::size_t>(index) < pwms.size() &&
               pwms[index].SensorIndex == controller.SensorIndex && pwms[index].ReadingIndex == controller.PwmIndex;
    });
    if (p == shown.end()) {
        c.Log.TraceMessage(cvformat::Format("ApplyPwm - CAN'T FIND chip=%d index=%d",
                                            {controller.SensorIndex, controller.PwmIndex}),
                           1);
        return;
    }
    const TPwmReadingData& slot = pwms[*p];
    if (full) duty = 100;
    else duty = LimitDuty(duty, slot.MinPercent, slot.MaxPercent);

    // SetFanPwm: every driven output is written on every tick, so an edit that
    // already shows the duty is first moved off it without writing.
    const int n = static_cast<int>(p - shown.begin()) + 1;
    if (n > TDutyEdits::Count) {
        c.Log.TraceMessage(cvformat::Format("SetFanPwm - ERROR (f=%d)", {n}), 1);
        return;
    }
    auto& edits = c.DutyEdits;
    if (edits.Value(n) == duty) {
        const bool suppressed = edits.SuppressPwmWrite;
        edits.SuppressPwmWrite = true;
        setEdit(c, n, duty >= 50 ? duty - 1 : duty + 1, "DEBUG cvs.1.5");
        edits.SuppressPwmWrite = suppressed;
    }
    setEdit(c, n, duty);
}

void runFanControllers(const TFanControlContext& c) {
    for (TFanController& controller : c.FanControllers) {
        if (!controller.Enabled) continue;
        bool full = false;
        for (TFanCtrlTemp& input : controller.Temps) {
            if (processTemp(c, controller, input)) {
                ApplyHysteresis(input);
            } else {
                // No reading: full speed now, and the curve again as soon as
                // there is one, whatever the hysteresis remembered.
                input.AppliedDuty = input.OutputDuty = 100;
                input.LastChangeTemp = std::numeric_limits<double>::infinity();
            }
            full = full || input.Value >= input.WarningTemp;
        }
        applyPwm(c, controller, CombineDuties(controller), full);
    }
}

void retryPendingWrites(const TFanControlContext& c) {
    for (int n = 1; n <= TDutyEdits::Count; ++n)
        if (c.DutyEdits.WritePending(n)) EDFan1CyclesChange(c, n);
}

}  // namespace

std::vector<TFanVote> ShowTemperaturesTrend(const TFanControlContext& c) {
    std::vector<TFanVote> votes;
    try {
        for (int index : c.Slots.TempOrder) votes.push_back(classify(c, c.Slots.TempSlots.at(index)));
    } catch (const std::exception&) {
        c.Log.LogMessage("DEBUG ShowTemperaturesTrend.1");
    }
    return votes;
}

std::vector<TFanVote> RunFanLogic(const TFanControlContext& c) {
    std::vector<TFanVote> votes;
    if (!c.Options.AutoFanSpeed) {
        votes = ShowTemperaturesTrend(c);
    } else if (c.Options.AdvFanSpeed) {
        votes = ShowTemperaturesTrend(c);
        runFanControllers(c);
    } else {
        classicRule(c, votes);
    }
    retryPendingWrites(c);
    return votes;
}

void EDFan1CyclesChange(const TFanControlContext& c, int n) {
    auto& edits = c.DutyEdits;
    if (edits.SuppressPwmWrite) return;
    if (!TryAcquireBusLock(false)) {
        edits.SetWritePending(n, true);
        return;
    }
    struct Release {
        ~Release() { ReleaseBusLock(false); }
    } release;
    const auto& shown = c.Slots.UsedPwms;
    if (n < 1 || static_cast<std::size_t>(n) > shown.size()) {
        c.Log.LogMessage(cvformat::Format("ERROR SETTING PWM(%d) : invalid index", {n}));
        edits.SetWritePending(n, false);
        return;
    }
    const std::int32_t duty = edits.UFCycles(n);
    if (duty < 0) {
        c.Log.LogMessage(cvformat::Format("ERROR SETTING PWM(%d) : %.2f", {n, static_cast<double>(duty)}));
        edits.SetWritePending(n, false);
        return;
    }
    const int index = shown[n - 1];
    if (index < 0 || static_cast<std::size_t>(index) >= c.Slots.PwmSlots.size()) {
        c.Log.LogMessage(cvformat::Format("DEBUG cvs.4 (P=%d len(UsedPwms)=%d)", {n, static_cast<int>(shown.size())}));
        edits.SetWritePending(n, false);
        return;
    }
    const TPwmReadingData& slot = c.Slots.PwmSlots[index];
    bool written = false;
    try {
        TSensor* sensor = slot.SensorIndex >= 0 && static_cast<std::size_t>(slot.SensorIndex) < c.Sensors.size()
                              ? c.Sensors[slot.SensorIndex].get()
                              : nullptr;
        written = sensor && sensor->SetPwm(slot.ReadingIndex, duty);
    } catch (const std::exception&) {
        c.Log.LogMessage(cvformat::Format("DEBUG cvs.3 (P=%d UFCycles=%.2f)", {n, static_cast<double>(duty)}));
    }
    edits.SetWritePending(n, !written);
}

std::vector<bool> FanControlSensors(const TFanControlContext& c) {
    std::vector<bool> used(c.Sensors.size(), false);
    for (const auto& controller : c.FanControllers)
        if (controller.Enabled)
            for (const auto& input : controller.Temps)
                if (input.SensorIndex >= 0 && static_cast<std::size_t>(input.SensorIndex) < used.size())
                    used[input.SensorIndex] = true;
    return used;
}
