#include "core/cvautofan.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>

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
void setEdit(const TFanControlContext& c, int n, std::int32_t duty) {
    try {
        c.DutyEdits.Set(n, duty);
    } catch (const std::exception&) {
        c.Log.LogMessage("DEBUG cvs.2");
    }
}

// The vote of one shown temperature, or none when its slot cannot be read;
// each temperature has its own guard, so one stale entry costs only its vote.
std::optional<TFanVote> guardedVote(const TFanControlContext& c, int index, const char* failure) {
    try {
        return classify(c, c.Slots.TempSlots.at(index));
    } catch (const std::exception&) {
        c.Log.LogMessage(failure);
        return std::nullopt;
    }
}

void classicRule(const TFanControlContext& c, TFanVotes& votes) {
    auto& pwms = c.Slots.PwmSlots;
    try {
        for (auto& slot : pwms) slot.FanState = FanDown;
        for (int index : c.Slots.TempOrder) {
            const auto vote = guardedVote(c, index, "DEBUG 3.1");
            votes.push_back(vote);
            if (!vote) continue;
            try {
                for (int n : c.Slots.TempSlots.at(index).UsedPwms)
                    if (validSlot(pwms, n) && pwms[n - 1].Variate)
                        pwms[n - 1].FanState = MergeFanState(static_cast<TFanVote>(pwms[n - 1].FanState & 3), *vote);
            } catch (const std::exception&) {
                c.Log.LogMessage("DEBUG 3.2");
            }
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
        try {
            edits.Show(n, duty >= 50 ? duty - 1 : duty + 1);
        } catch (const std::exception&) {
            c.Log.LogMessage("DEBUG cvs.1.5");
        }
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

// Writes that did not happen are tried again when due; with automatic fan
// speed off nothing is written behind the user's back.
void retryPendingWrites(const TFanControlContext& c) {
    if (!c.Options.AutoFanSpeed) return;
    for (int n = 1; n <= TDutyEdits::Count; ++n)
        if (c.DutyEdits.RetryDue(n)) EDFan1CyclesChange(c, n);
}

}  // namespace

TFanVotes ShowTemperaturesTrend(const TFanControlContext& c) {
    TFanVotes votes;
    try {
        for (int index : c.Slots.TempOrder) votes.push_back(guardedVote(c, index, "DEBUG ShowTemperatureTrend.3.1"));
    } catch (const std::exception&) {
        c.Log.LogMessage("DEBUG ShowTemperaturesTrend.1");
    }
    return votes;
}

TFanVotes RunFanLogic(const TFanControlContext& c) {
    c.DutyEdits.CountTick();
    TFanVotes votes;
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
    // Only automatic control may write a duty later; a duty the user typed
    // with it off is written now or reported.
    const bool retry = c.Options.AutoFanSpeed;
    if (!TryAcquireBusLock(false)) {
        if (edits.NoteWrite(n, TPwmWrite::BusBusy, retry) && !retry)
            c.Log.LogMessage(cvformat::Format("ERROR SETTING PWM(%d) : bus busy, duty not written", {n}));
        return;
    }
    struct Release {
        ~Release() { ReleaseBusLock(false); }
    } release;
    const auto& shown = c.Slots.UsedPwms;
    if (n < 1 || static_cast<std::size_t>(n) > shown.size()) {
        edits.NoteWrite(n, TPwmWrite::Invalid, retry);
        c.Log.LogMessage(cvformat::Format("ERROR SETTING PWM(%d) : invalid index", {n}));
        return;
    }
    const std::int32_t duty = edits.UFCycles(n);
    if (duty < 0) {
        edits.NoteWrite(n, TPwmWrite::Invalid, retry);
        c.Log.LogMessage(cvformat::Format("ERROR SETTING PWM(%d) : %.2f", {n, static_cast<double>(duty)}));
        return;
    }
    const int index = shown[n - 1];
    if (index < 0 || static_cast<std::size_t>(index) >= c.Slots.PwmSlots.size()) {
        edits.NoteWrite(n, TPwmWrite::Invalid, retry);
        c.Log.LogMessage(cvformat::Format("DEBUG cvs.4 (P=%d len(UsedPwms)=%d)", {n, static_cast<int>(shown.size())}));
        return;
    }
    const TPwmReadingData& slot = c.Slots.PwmSlots[index];
    TSensor* sensor = slot.SensorIndex >= 0 && static_cast<std::size_t>(slot.SensorIndex) < c.Sensors.size()
                          ? c.Sensors[slot.SensorIndex].get()
                          : nullptr;
    if (!sensor || slot.ReadingIndex < 1 || slot.ReadingIndex > sensor->GetPwmCount()) {
        if (edits.NoteWrite(n, TPwmWrite::NoOutput, retry))
            c.Log.LogMessage(cvformat::Format("ERROR SETTING PWM(%d) : no such output", {n}));
        return;
    }
    // A refusal that repeats has been logged already.
    const bool logRefusal = edits.LastWrite(n) != TPwmWrite::Refused;
    bool written = false;
    try {
        written = sensor->SetPwm(slot.ReadingIndex, duty, logRefusal);
    } catch (const std::exception&) {
        c.Log.LogMessage(cvformat::Format("DEBUG cvs.3 (P=%d UFCycles=%.2f)", {n, static_cast<double>(duty)}));
    }
    edits.NoteWrite(n, written ? TPwmWrite::Written : TPwmWrite::Refused, retry);
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
