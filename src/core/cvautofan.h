#pragma once
// Automatic fan control: the classic rule, which steps each speed up or down
// from the votes of the temperatures that drive it, and the advanced fan
// controllers, which map temperatures to duties through their curves.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/cvdutyedits.h"
#include "core/cvfancontrol.h"
#include "core/cvreadingslots.h"

class TLogSinks;
struct TOptions;

// A temperature's vote and a speed's state under the classic rule.
enum TFanVote : std::uint8_t { FanKeep = 0, FanUp = 1, FanDown = 2, FanFull = 3 };

// Merge of a speed's current state (row) with one more vote (column): full
// wins over up, up over keep, keep over down.
inline constexpr std::array<std::array<TFanVote, 4>, 4> PwmStateTable{{
    {FanKeep, FanUp, FanKeep, FanFull},
    {FanUp, FanUp, FanUp, FanFull},
    {FanKeep, FanUp, FanDown, FanFull},
    {FanFull, FanFull, FanFull, FanFull},
}};

// The votes of the shown temperatures in TempOrder order, for the trend
// arrows; none for a temperature whose slot could not be read.
using TFanVotes = std::vector<std::optional<TFanVote>>;

inline TFanVote MergeFanState(TFanVote state, TFanVote vote) { return PwmStateTable[state][vote]; }

// The vote of one temperature from its newest value, its mean and its trend
// minus its mean. A value that is not a finite number votes full: fans never
// slow down on a broken reading.
TFanVote ClassifyTemp(double newest, double mean, double trendMinusMean, int wanted, int warning);

// The smaller of duty and maxPercent, then the larger of that and minPercent,
// so minPercent wins when the two cross.
std::int32_t LimitDuty(std::int64_t duty, std::int32_t minPercent, std::int32_t maxPercent);

// The duty the classic rule asks of a speed in the given state, x being the
// duty its edit shows: full is 100 without limit, the others stay in range.
std::int32_t ClassicDuty(TFanVote state, std::int32_t x, std::int32_t fanDelta, std::int32_t minPercent,
                         std::int32_t maxPercent);

// Lets Duty through to AppliedDuty at once when it rises, and when it falls
// only once the temperature is Hysteresis degrees below the last change.
void ApplyHysteresis(TFanCtrlTemp& input);

// The inputs' applied duties combined by the controller's method (sum,
// maximum, anything else 100), limited to 0..100.
std::int32_t CombineDuties(const TFanController& controller);

// ---- running it on the monitor's state -------------------------------------

// What fan control reads and drives.
struct TFanControlContext {
    TSensorList& Sensors;
    TReadingSlots& Slots;
    TFanControllers& FanControllers;
    TDutyEdits& DutyEdits;
    const TOptions& Options;  // AutoFanSpeed, AdvFanSpeed, FanDelta
    TLogSinks& Log;
};

// The fan step of the main tick. Answers the votes for the window's trend
// arrows. With automatic fan speed on, writes that did not happen on an
// earlier tick are tried again when due.
TFanVotes RunFanLogic(const TFanControlContext& context);

// The votes alone, for the arrows, without driving anything.
TFanVotes ShowTemperaturesTrend(const TFanControlContext& context);

// The change handler of the duty edits: writes edit n's duty to its speed
// slot's output under the SMBus lock, unless writes are suppressed. With
// automatic fan speed on, a write skipped inside a bus transaction of ours is
// tried on the next tick and a refused one a few times more with growing
// spacing; a failure is logged when it differs from the one before.
void EDFan1CyclesChange(const TFanControlContext& context, int n);

// One flag per sensor: it feeds an enabled fan controller, so the tick reads
// it whether or not it is shown.
std::vector<bool> FanControlSensors(const TFanControlContext& context);
