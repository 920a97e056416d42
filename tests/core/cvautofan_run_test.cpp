#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/cvautofan.h"
#include "core/cvoptions.h"
#include "fancontrol_fixture.h"
#include "hw/cvbuslocks.h"

using fancontroltest::TTwoChips;

namespace {

using Requests = std::vector<std::pair<int, double>>;

// Speed slots [A1, A2, B1], all shown; temperatures A1 and A2 shown.
class FanControlTest : public ::testing::Test, public TTwoChips {
protected:
    FanControlTest() {
        InitializeBusLocks();
        Slots.TempOrder = {0, 1};
        Slots.UsedPwms = {0, 1, 2};
        for (auto& slot : Slots.PwmSlots) slot.Variate = true;
        Options.AutoFanSpeed = true;
        Options.AdvFanSpeed = false;
        Options.FanDelta = 10;
        Edits.OnChange = [this](int n) { EDFan1CyclesChange(Context(), n); };
        for (int n = 1; n <= 3; ++n) Edits.Set(n, 50);  // still suppressed: shown, not written
        Edits.SuppressPwmWrite = false;
    }
    ~FanControlTest() override { FinalizeBusLocks(); }

    TFanControlContext Context() { return {Sensors, Slots, FanControllers, Edits, Options, Log}; }
    // One sample per temperature of chip i.
    void Sample(std::size_t i, std::vector<double> temps) {
        Chip(i).RawTemps = std::move(temps);
        Sensors[i]->ReadTemps();
    }
    // Enough equal samples that mean and trend equal the value.
    void Steady(std::size_t i, const std::vector<double>& temps) {
        for (int k = 0; k < 8; ++k) Sample(i, temps);
    }
    TFanVotes Tick() { return RunFanLogic(Context()); }
    Requests Take(std::size_t i) { return std::exchange(Chip(i).PwmRequests, {}); }

    TDutyEdits Edits;
    TOptions Options;
};

TEST_F(FanControlTest, ClassicRuleStepsEachVariateSpeed) {
    Slots.TempSlots[0].UsedPwms = {1, 2};  // A1 drives speeds 1 and 2
    Slots.TempSlots[1].UsedPwms = {2};     // A2 drives speed 2
    Slots.PwmSlots[1].MaxPercent = 80;
    Steady(0, {45, 55, 20});  // A1 keep, A2 full

    EXPECT_EQ(Tick(), (TFanVotes{FanKeep, FanFull}));
    EXPECT_EQ(Take(0), (Requests{{2, 100}}));  // full ignores the maximum; speed 1 kept: no write
    EXPECT_EQ(Take(1), (Requests{{1, 40}}));   // driven by nobody: steps down
    EXPECT_EQ(Edits.Value(2), 100);

    Tick();
    EXPECT_TRUE(Take(0).empty());  // nothing changed: nothing written
    EXPECT_EQ(Take(1), (Requests{{1, 30}}));

    // Keep and down keep the speed, now within its maximum; the minimum wins
    // over a crossed maximum.
    Steady(0, {45, 38, 20});
    Slots.PwmSlots[2].MinPercent = 60;
    Slots.PwmSlots[2].MaxPercent = 40;
    EXPECT_EQ(Tick(), (TFanVotes{FanKeep, FanDown}));
    EXPECT_EQ(Take(0), (Requests{{2, 80}}));
    EXPECT_EQ(Take(1), (Requests{{1, 60}}));

    Slots.PwmSlots[0].Variate = false;
    Steady(0, {30, 30, 30});
    Tick();
    EXPECT_EQ(Take(0), (Requests{{2, 70}}));  // speed 1 is not variate
}

TEST_F(FanControlTest, OnlySixSpeedsHaveEdits) {
    Add(0x2E, "ChipC", 0, 0, 5, 0);  // speeds 4 to 8
    Slots = TReadingSlots();
    Slots.BuildReadingSlots(Sensors);
    Slots.AutoAssociate(Sensors);
    Slots.UsedPwms = {0, 1, 2, 3, 4, 5, 6, 7};
    for (auto& slot : Slots.PwmSlots) slot.Variate = true;
    for (int n = 1; n <= 6; ++n) {
        Edits.SuppressPwmWrite = true;
        Edits.Set(n, 50);
    }
    Edits.SuppressPwmWrite = false;
    Tick();
    EXPECT_EQ(Take(2), (Requests{{1, 40}, {2, 40}, {3, 40}}));  // speeds 4-6; 7 and 8 untouched
}

TEST_F(FanControlTest, AutoFanSpeedOffOnlyShowsTrends) {
    Options.AutoFanSpeed = false;
    Sample(0, {55, 30, 0});
    EXPECT_EQ(Tick(), (TFanVotes{FanFull, FanDown}));
    EXPECT_TRUE(Take(0).empty());
    EXPECT_TRUE(Take(1).empty());
}

class AdvancedFanControlTest : public FanControlTest {
protected:
    AdvancedFanControlTest() {
        Options.AdvFanSpeed = true;
        TFanCtrlTemp input = fancontroltest::Curve30To60();
        input.ReadingIndex = 1;
        FanControllers.push_back(fancontroltest::CaseController(1, input));
    }
};

TEST_F(AdvancedFanControlTest, CurveDutyIsWrittenEveryTick) {
    Sample(0, {37.5, 20, 20});
    Tick();
    Tick();
    EXPECT_EQ(Take(0), (Requests{{1, 19}, {1, 19}}));
    EXPECT_EQ(FanControllers[0].Temps[0].OutputDuty, 19);
    EXPECT_FALSE(Edits.SuppressPwmWrite);
    EXPECT_TRUE(Take(1).empty());

    Slots.PwmSlots[0].MinPercent = 25;
    Tick();
    EXPECT_EQ(Take(0), (Requests{{1, 25}}));
    FanControllers[0].Enabled = false;
    Tick();
    EXPECT_TRUE(Take(0).empty());
}

TEST_F(AdvancedFanControlTest, WarningTemperatureGivesFullSpeed) {
    Slots.PwmSlots[0].MaxPercent = 60;
    Sample(0, {52, 20, 20});  // the curve asks 55; the slot's warning is 50
    Tick();
    EXPECT_EQ(Take(0), (Requests{{1, 100}}));
}

TEST_F(AdvancedFanControlTest, InputWithoutSlotOrReadingRunsFull) {
    Slots.TempSlots[0].ReadingIndex = 3;  // no slot shows A1 any more
    Sample(0, {37.5, 20, 20});
    Tick();
    EXPECT_EQ(Take(0), (Requests{{1, 100}}));
    EXPECT_TRUE(Logged("FindTempInAssocTemps - CAN'T FIND chip=0 index=1"));

    Slots.TempSlots[0].ReadingIndex = 1;
    FanControllers[0].Temps[0].ReadingIndex = 4;  // A has 3 temperatures
    Tick();
    EXPECT_EQ(Take(0), (Requests{{1, 100}}));
}

TEST_F(AdvancedFanControlTest, ReadingThatIsNoNumberRunsFullUntilItRecovers) {
    FanControllers[0].Temps[0].Hysteresis = 5;
    Sample(0, {std::numeric_limits<double>::quiet_NaN(), 20, 20});
    Tick();
    EXPECT_EQ(Take(0), (Requests{{1, 100}}));
    for (int i = 0; i < 8; ++i) Sample(0, {37.5, 20, 20});  // fill the statistics again
    Tick();
    EXPECT_EQ(Take(0), (Requests{{1, 19}}));
}

TEST_F(AdvancedFanControlTest, HysteresisHoldsTheFallingDuty) {
    Slots.TempSlots[0].Warning = 70;
    auto& input = FanControllers[0].Temps[0];
    input.Hysteresis = 2;
    // 40 up to 48 degrees, rising to 60 at 50 degrees and flat after.
    for (int k = 0; k < FanCurvePointCount; ++k) input.ControlPoints[k] = k < 10 ? 40 : 60;
    const struct {
        double temp;
        int duty;
    } steps[] = {{40, 40}, {50, 60}, {49, 60}, {48, 40}};
    for (const auto& s : steps) {
        Sample(0, {s.temp, 20, 20});
        Tick();
        EXPECT_EQ(Take(0), (Requests{{1, double(s.duty)}})) << s.temp;
    }
}

TEST_F(AdvancedFanControlTest, ControllerWithoutShownSpeedWritesNothing) {
    Slots.UsedPwms = {1, 2};
    Sample(0, {37.5, 20, 20});
    Tick();
    EXPECT_TRUE(Take(0).empty());
    EXPECT_TRUE(Logged("ApplyPwm - CAN'T FIND chip=0 index=1"));
    EXPECT_EQ(FanControlSensors(Context()), (std::vector<bool>{true, false}));
}

TEST_F(AdvancedFanControlTest, ForcedChangeFailureIsLoggedAndTheDutyStillWritten) {
    Edits.OnShow = [this](int) {
        if (Edits.SuppressPwmWrite) throw std::runtime_error("view");
    };
    Sample(0, {37.5, 20, 20});
    Tick();
    Tick();  // the edit shows 19 already: the forced step off it fails
    EXPECT_EQ(Take(0), (Requests{{1, 19}, {1, 19}}));
    EXPECT_TRUE(Logged("DEBUG cvs.1.5"));
    EXPECT_FALSE(Logged("DEBUG cvs.2"));
    EXPECT_FALSE(Edits.SuppressPwmWrite);
}

TEST_F(AdvancedFanControlTest, StaleSlotListsAreLoggedNotThrown) {
    Slots.TempOrder = {0, 99};
    Slots.UsedPwms = {99, 0};
    Sample(0, {37.5, 20, 20});
    EXPECT_EQ(Tick(), (TFanVotes{FanDown, std::nullopt}));
    EXPECT_TRUE(Logged("DEBUG ShowTemperatureTrend.3.1"));
    EXPECT_EQ(Take(0), (Requests{{1, 19}}));  // the controller's speed is found at edit 2

    EXPECT_NO_THROW(Edits.Set(1, 45));
    EXPECT_TRUE(Logged("DEBUG cvs.4 (P=1 len(UsedPwms)=2)"));
    EXPECT_TRUE(Take(0).empty());
}

TEST_F(FanControlTest, StaleTemperatureEntryCostsOnlyItsOwnVote) {
    Slots.TempSlots[0].UsedPwms = {1};
    Slots.TempOrder = {99, 0};
    Steady(0, {55, 20, 20});  // A1 is above its warning
    EXPECT_EQ(Tick(), (TFanVotes{std::nullopt, FanFull}));
    EXPECT_EQ(Take(0), (Requests{{1, 100}, {2, 40}}));
    EXPECT_EQ(Count("DEBUG 3.1"), 2);  // both boxes
    EXPECT_FALSE(Logged("DEBUG 3"));

    Options.AutoFanSpeed = false;  // the arrows alone
    EXPECT_EQ(Tick(), (TFanVotes{std::nullopt, FanFull}));
    EXPECT_TRUE(Logged("DEBUG ShowTemperatureTrend.3.1"));
}

TEST_F(FanControlTest, DutyEditWritesOnlyWhenItMay) {
    Edits.SuppressPwmWrite = true;
    Edits.Set(1, 70);
    EXPECT_TRUE(Take(0).empty());
    Edits.SuppressPwmWrite = false;

    Edits.Set(1, 150);  // capped
    EXPECT_EQ(Take(0), (Requests{{1, 100}}));

    // Inside a bus transaction of ours the write waits for the next tick, silently.
    for (auto& slot : Slots.PwmSlots) slot.Variate = false;
    AcquireBusLock(false);
    Edits.Set(2, 30);
    ReleaseBusLock(false);
    EXPECT_TRUE(Take(0).empty());
    Tick();
    EXPECT_EQ(Take(0), (Requests{{2, 30}}));
    Tick();
    EXPECT_TRUE(Take(0).empty());
    EXPECT_EQ(BusLockCount(false), 0);
    EXPECT_TRUE(Boxes.Info.empty());

    Edits.Set(1, -5);
    EXPECT_TRUE(Logged("ERROR SETTING PWM(1) : -5.00"));
    Slots.UsedPwms = {0};
    Edits.Set(2, 45);
    EXPECT_TRUE(Logged("ERROR SETTING PWM(2) : invalid index"));
    EXPECT_TRUE(Take(0).empty());
}

TEST_F(FanControlTest, TypedDutyIsNotWrittenLaterWithAutomaticSpeedOff) {
    Options.AutoFanSpeed = false;
    AcquireBusLock(false);
    Edits.Set(2, 30);
    Edits.Set(2, 35);
    ReleaseBusLock(false);
    EXPECT_EQ(Count("ERROR SETTING PWM(2) : bus busy, duty not written"), 2);  // once, in both boxes

    Chip(1).FailSetPwm = true;
    Edits.Set(3, 20);
    EXPECT_EQ(Count("error in SETPWMINTERNAL (chip locked)"), 2);
    Chip(1).FailSetPwm = false;
    for (int tick = 0; tick < 40; ++tick) Tick();
    EXPECT_TRUE(Take(0).empty());
    EXPECT_TRUE(Take(1).empty());
    EXPECT_EQ(Chip(1).SetPwmCalls, 1);
}

// An output that always refuses, under the classic rule for 100 ticks: asked
// again after 1, 2, 4, 8 and 16 ticks, logged once.
TEST_F(FanControlTest, RefusingOutputIsAskedAFewTimesAndLoggedOnce) {
    Slots.PwmSlots[0].Variate = Slots.PwmSlots[1].Variate = false;
    Slots.TempSlots[0].UsedPwms = {3};
    Steady(0, {55, 20, 20});  // full speed for chip B's output
    Chip(1).FailSetPwm = true;
    std::vector<int> attempts;
    for (int tick = 0; tick < 100; ++tick) {
        const int before = Chip(1).SetPwmCalls;
        Tick();
        if (Chip(1).SetPwmCalls != before) attempts.push_back(tick);
    }
    EXPECT_EQ(attempts, (std::vector<int>{0, 1, 3, 7, 15, 31}));
    EXPECT_EQ(Count("error in SETPWMINTERNAL"), 2);  // one line, in both boxes
    EXPECT_FALSE(Edits.WritePending(3));

    // The output takes a duty again; a later refusal is news again.
    Chip(1).FailSetPwm = false;
    Edits.Set(3, 60);
    EXPECT_EQ(Take(1), (Requests{{1, 60}}));
    Chip(1).FailSetPwm = true;
    Edits.Set(3, 70);
    EXPECT_EQ(Count("error in SETPWMINTERNAL"), 4);
    Chip(1).FailSetPwm = false;
    Tick();
    EXPECT_EQ(Take(1), (Requests{{1, 100}}));  // the retry writes what the edit shows now
}

TEST_F(FanControlTest, SlotOnAMissingOutputIsDroppedWithOneLine) {
    for (auto& slot : Slots.PwmSlots) slot.Variate = false;
    Slots.PwmSlots[2].ReadingIndex = 4;  // chip B has one speed
    Edits.Set(3, 40);
    Edits.Set(3, 45);
    for (int tick = 0; tick < 10; ++tick) Tick();
    EXPECT_EQ(Count("ERROR SETTING PWM(3) : no such output"), 2);  // once, in both boxes
    EXPECT_EQ(Chip(1).SetPwmCalls, 0);
    EXPECT_FALSE(Edits.WritePending(3));
}

}  // namespace
