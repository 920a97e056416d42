#include "core/cvautofan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/cvdutyedits.h"
#include "fancontrol_fixture.h"

namespace {

using fancontroltest::Curve30To60;

TEST(FanCurve, InterpolatesBetweenPointsAndHoldsTheEnds) {
    const TFanCtrlTemp input = Curve30To60();
    EXPECT_DOUBLE_EQ(CurveDeltaT(input), 2.0);
    EXPECT_EQ(CurveInterval(input, 37.5), 3);
    const struct {
        double value;
        int duty;
    } cases[] = {
        {37.5, 19},  // 18.75
        {30, 0}, {12, 0}, {60, 75}, {95, 75},
        {31, 2},     // 2.5: half to even
        {33, 8},     // 7.5: half to even
        {59.9, 75},  // 74.75, last interval
    };
    for (const auto& c : cases) EXPECT_EQ(CurveDuty(input, c.value), c.duty) << c.value;
}

TEST(FanCurve, DegenerateRangesUseTheEndPoints) {
    TFanCtrlTemp input = Curve30To60();
    input.MaxTemp = 30;  // no interval at all
    EXPECT_EQ(CurveDuty(input, 30), 0);
    EXPECT_EQ(CurveDuty(input, 31), 75);
    input.MaxTemp = 20;  // crossed
    EXPECT_EQ(CurveDuty(input, 25), 0);
    EXPECT_EQ(CurveDuty(input, 35), 75);
    // The largest value below MaxTemp may round into interval 15; it stays on the curve.
    input = Curve30To60();
    input.MinTemp = 0;
    input.MaxTemp = 1;
    EXPECT_EQ(CurveDuty(input, std::nextafter(1.0, 0.0)), 75);
}

TEST(FanCurve, RoundingSaturates) {
    EXPECT_EQ(RoundToInt32(0.5), 0);
    EXPECT_EQ(RoundToInt32(1.5), 2);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(1e300), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(RoundToInt32(-1e300), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(RoundToInt32(std::nan("")), 0);
}

TEST(ClassicRule, ClassifiesTemperatures) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double newest, mean, trendMinusMean;
        TFanVote vote;
    } cases[] = {
        {45, 45, 0, FanKeep},     {45, 45, 0.2, FanUp},    {38.5, 38.5, 0, FanDown},
        {39.5, 39.5, 0, FanKeep}, {38, 38, 0, FanDown},    {38.5, 38.5, 0.2, FanKeep},
        {50, 30, 0, FanFull},     {nan, 45, 0, FanFull},   {45, 45, nan, FanFull},
        {45, std::numeric_limits<double>::infinity(), 0, FanFull},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyTemp(c.newest, c.mean, c.trendMinusMean, 40, 50), c.vote)
            << c.newest << " " << c.mean << " " << c.trendMinusMean;
}

TEST(ClassicRule, StateTableLetsTheStrongerVoteWin) {
    // Strength: down < keep < up < full.
    const int strength[4] = {1, 2, 0, 3};
    for (int s = 0; s < 4; ++s)
        for (int v = 0; v < 4; ++v) {
            const auto merged = MergeFanState(static_cast<TFanVote>(s), static_cast<TFanVote>(v));
            EXPECT_EQ(strength[merged], std::max(strength[s], strength[v])) << s << "," << v;
        }
    // One speed driven by two temperatures, starting from down.
    EXPECT_EQ(MergeFanState(MergeFanState(FanDown, FanKeep), FanDown), FanKeep);
    EXPECT_EQ(MergeFanState(MergeFanState(FanDown, FanUp), FanDown), FanUp);
}

TEST(ClassicRule, StepsAndLimits) {
    EXPECT_EQ(ClassicDuty(FanKeep, 50, 10, 0, 100), 50);
    EXPECT_EQ(ClassicDuty(FanUp, 50, 10, 0, 100), 60);
    EXPECT_EQ(ClassicDuty(FanDown, 50, 10, 0, 100), 40);
    EXPECT_EQ(ClassicDuty(FanUp, 75, 10, 0, 80), 80);
    EXPECT_EQ(ClassicDuty(FanDown, 25, 10, 20, 100), 20);
    EXPECT_EQ(ClassicDuty(FanFull, 50, 10, 0, 80), 100);
    for (int state : {FanKeep, FanUp, FanDown})  // crossed limits: the minimum wins
        EXPECT_EQ(ClassicDuty(static_cast<TFanVote>(state), 50, 10, 60, 40), 60);
}

TEST(AdvancedControl, HysteresisHoldsAFallingDuty) {
    TFanCtrlTemp input;
    input.Hysteresis = 2;
    input.AppliedDuty = 40;
    input.LastChangeTemp = 45;
    const struct {
        double value;
        int curve, applied;
    } steps[] = {{50, 60, 60}, {49, 50, 60}, {48, 45, 45}, {47, 40, 45}, {46, 35, 35}};
    for (const auto& s : steps) {
        input.Value = s.value;
        input.Duty = s.curve;
        ApplyHysteresis(input);
        EXPECT_EQ(input.AppliedDuty, s.applied) << s.value;
        EXPECT_EQ(input.OutputDuty, s.applied) << s.value;
    }
}

TEST(AdvancedControl, CombinesInputsByMethod) {
    TFanController controller;
    controller.Temps.resize(2);
    controller.Temps[0].AppliedDuty = 30;
    controller.Temps[1].AppliedDuty = 50;
    const struct {
        int method, duty;
    } cases[] = {{0, 80}, {1, 50}, {2, 100}, {255, 100}};
    for (const auto& c : cases) {
        controller.ControlMethod = static_cast<std::uint8_t>(c.method);
        EXPECT_EQ(CombineDuties(controller), c.duty) << c.method;
    }
    controller.Temps[0].AppliedDuty = 70;
    controller.ControlMethod = TFanController::MethodSum;
    EXPECT_EQ(CombineDuties(controller), 100);
    controller.Temps[0].AppliedDuty = -90;
    EXPECT_EQ(CombineDuties(controller), 0);
}

TEST(DutyEdits, OnlyAChangeReachesTheWriter) {
    TDutyEdits edits;
    int writes = 0, lastEdit = 0;
    edits.OnChange = [&](int n) { ++writes, lastEdit = n; };
    EXPECT_FALSE(edits.Set(2, 0));  // already shows 0
    EXPECT_TRUE(edits.Set(2, 150));
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(lastEdit, 2);
    EXPECT_EQ(edits.Value(2), 150);
    EXPECT_EQ(edits.UFCycles(2), 100);
    EXPECT_FALSE(edits.Set(2, 150));
    EXPECT_FALSE(edits.Set(7, 10));
    EXPECT_FALSE(edits.Set(0, 10));
    EXPECT_EQ(writes, 1);
}

}  // namespace
