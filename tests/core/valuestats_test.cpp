#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/cvvars.h"
#include "support/testmachine.h"

namespace {

void addAll(TValueStats& stats, const std::vector<float>& samples) {
    for (float v : samples) stats.Add(v);
}

void expectFresh(const TValueStats& s) {
    EXPECT_EQ(s.FCount, 0);
    EXPECT_EQ(s.Last(), 0);
    EXPECT_EQ(s.Previous(), 0);
    EXPECT_EQ(s.Mean(), 0);
    EXPECT_EQ(s.Variance(), 0);
    EXPECT_EQ(s.Trend(), 0);
    EXPECT_EQ(s.FMin, 1e90);
    EXPECT_EQ(s.FMax, -1e90);
    EXPECT_EQ(s.FWindowCount, 0);
    EXPECT_EQ(s.FWindowMin, 1e30f);
    EXPECT_EQ(s.FWindowMax, -1e30f);
    EXPECT_EQ(s.WindowValue(1), 0);
    EXPECT_EQ(s.WindowTime(1), 0);
}

TEST(ValueStats, FreshObjectReadsZero) {
    TValueStats s(8, "chip temp");
    EXPECT_EQ(s.FName, "chip temp");
    expectFresh(s);
}

TEST(ValueStats, RingKeepsTheNewestSamples) {
    TValueStats s(8, "t");
    addAll(s, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_EQ(s.FCount, 8);
    EXPECT_EQ(s.Last(), 10);
    EXPECT_EQ(s.Previous(), 9);
    EXPECT_DOUBLE_EQ(s.Mean(), 6.5);
    EXPECT_DOUBLE_EQ(s.Variance(), 5.25);  // population variance of 3..10
    EXPECT_EQ(s.FMin, 1);
    EXPECT_EQ(s.FMax, 10);
    EXPECT_NEAR(s.Trend(), 11, 1e-9);
}

TEST(ValueStats, TrendIsTheLeastSquaresLineOneStepAhead) {
    const struct {
        int capacity;
        std::vector<float> samples;
        double trend;
    } cases[] = {
        {8, {40, 40, 40}, 40},                 // zero variance: the mean
        {8, {7}, 7},                           // one sample: itself
        {3, {10, 20}, 30},                     // ring not full
        {3, {5, 1, 2, 3}, 4},                  // full ring, read from the oldest
        {4, {9, 9, 4, 2, 4, 2}, 2.0},          // 4,2,4,2: slope -0.4, intercept 4
        {10, {50, 52, 51, 53, 55, 54}, 55.6},  // slope 15.5/17.5, intercept 49.4
    };
    for (const auto& c : cases) {
        TValueStats s(c.capacity, "t");
        addAll(s, c.samples);
        EXPECT_NEAR(s.Trend(), c.trend, 1e-9) << c.samples.size();
    }
}

TEST(ValueStats, SpikeFilterRefusesAtMostOneSampleInARow) {
    const struct {
        std::vector<float> samples;
        std::vector<double> refused;
        std::vector<double> ring;  // oldest first
    } cases[] = {
        {{50, 200, 200, 50}, {200}, {50, 200, 50}},
        {{50, 200, 50, 200}, {200, 200}, {50, 50}},
        {{50, -130, 125}, {-130}, {50, 125}},
    };
    for (const auto& c : cases) {
        TValueStats s(8, "t");
        std::vector<double> refused;
        s.SetSpikeFilter([&](TValueStats& sender, double v) {
            EXPECT_EQ(&sender, &s);
            refused.push_back(v);
        }, 125.0);
        addAll(s, c.samples);
        EXPECT_EQ(refused, c.refused);
        ASSERT_EQ(s.FCount, static_cast<int>(c.ring.size()));
        double sum = 0;
        for (double v : c.ring) sum += v;
        EXPECT_DOUBLE_EQ(s.Mean(), sum / c.ring.size());
        EXPECT_EQ(s.Last(), c.ring.back());
        EXPECT_EQ(s.FWindowCount, static_cast<int>(c.samples.size()));
        for (std::size_t k = 0; k < c.samples.size(); ++k) EXPECT_EQ(s.WindowValue(static_cast<int>(k + 1)), c.samples[k]);
    }
}

TEST(ValueStats, RefusedSpikeLeavesAllTimeExtremesAlone) {
    TValueStats s(8, "t");
    s.SetSpikeFilter(nullptr, 125.0);
    addAll(s, {50, 200});
    EXPECT_EQ(s.FMax, 50);
    EXPECT_EQ(s.FWindowMax, 200);  // the window sees every sample
}

TEST(ValueStats, NonFiniteSamplesNeverBecomeAllTimeExtremes) {
    TValueStats s(8, "t");
    s.SetSpikeFilter(nullptr, 125.0);
    constexpr float inf = std::numeric_limits<float>::infinity();
    addAll(s, {40, inf, inf, -inf, -inf, std::numeric_limits<float>::quiet_NaN(), 45});
    EXPECT_EQ(s.FMin, 40);
    EXPECT_EQ(s.FMax, 45);
}

TEST(ValueStats, WindowHoldsTheLast256StampedWithSampleTime) {
    testsupport::TestMachine m;
    TValueStats s(8, "t");
    for (int i = 1; i <= 300; ++i) {
        SampleTime = 46000.0 + i;
        s.Add(static_cast<float>(i));
    }
    EXPECT_EQ(s.FWindowCount, 256);
    EXPECT_EQ(s.WindowValue(1), 45);
    EXPECT_EQ(s.WindowValue(256), 300);
    EXPECT_EQ(s.WindowValue(100), 144);
    EXPECT_EQ(s.WindowTime(1), 46045.0);
    EXPECT_EQ(s.WindowTime(256), 46300.0);
    EXPECT_EQ(s.WindowValue(0), 0);
    EXPECT_EQ(s.WindowValue(257), 0);
    EXPECT_EQ(s.FWindowMin, 45);
    EXPECT_EQ(s.FWindowMax, 300);
    SampleTime = 0;
}

TEST(ValueStats, WindowExtremesStayExactAsValuesLeave) {
    TValueStats s(8, "t");
    s.Add(100);  // the maximum, first to leave
    s.Add(-50);  // the minimum, second to leave
    for (int i = 0; i < 254; ++i) s.Add(static_cast<float>(i % 10));
    EXPECT_EQ(s.FWindowMax, 100);
    EXPECT_EQ(s.FWindowMin, -50);
    s.Add(3);
    EXPECT_EQ(s.FWindowMax, 9);
    EXPECT_EQ(s.FWindowMin, -50);
    s.Add(3);
    EXPECT_EQ(s.FWindowMin, 0);
    // A new extreme that later leaves while an equal value stays.
    for (int i = 0; i < 256; ++i) s.Add(i == 0 || i == 10 ? 20.0f : 1.0f);
    s.Add(1);
    EXPECT_EQ(s.FWindowMax, 20);
    EXPECT_EQ(s.FWindowMin, 1);
}

TEST(ValueStats, ResetKeepsTheFilter) {
    TValueStats s(8, "t");
    int calls = 0;
    s.SetSpikeFilter([&](TValueStats&, double) { ++calls; }, 125.0);
    addAll(s, {10, 20, 300});
    s.Reset();
    expectFresh(s);
    EXPECT_EQ(s.FName, "t");
    s.Add(300);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(s.FCount, 0);
}

TEST(ValueStats, CapacityOneHasPreviousEqualToLast) {
    TValueStats s(1, "zero");
    s.Add(3);
    s.Add(4);
    EXPECT_EQ(s.FCount, 1);
    EXPECT_EQ(s.Last(), 4);
    EXPECT_EQ(s.Previous(), 4);
    EXPECT_EQ(s.Mean(), 4);
    EXPECT_EQ(s.Trend(), 4);
    EXPECT_EQ(s.FMin, 3);
}

TEST(ValueStats, PreviousWrapsAroundTheRing) {
    TValueStats s(3, "t");
    const struct {
        float sample;
        double last, previous;
    } steps[] = {{1, 1, 1}, {2, 2, 1}, {3, 3, 2}, {4, 4, 3}, {5, 5, 4}, {6, 6, 5}};
    for (const auto& step : steps) {
        s.Add(step.sample);
        EXPECT_EQ(s.Last(), step.last);
        EXPECT_EQ(s.Previous(), step.previous);
    }
}

TEST(ValueStats, NotANumberSpoilsTheSumsOnlyWhileItIsHeld) {
    testsupport::TestMachine m;
    InitializeCvvars();
    TValueStats s(3, "t");
    addAll(s, {1, std::numeric_limits<float>::quiet_NaN(), 2});
    EXPECT_TRUE(std::isnan(s.Mean()));
    EXPECT_EQ(s.Trend(), 0);
    EXPECT_NE(testsupport::readFile(m.file("debug.nfo")).find(" - DEBUG x.2\r\n"), std::string::npos);
    addAll(s, {3, 4});
    EXPECT_DOUBLE_EQ(s.Mean(), 3);
    EXPECT_NEAR(s.Trend(), 5, 1e-9);
    EXPECT_EQ(s.FWindowMin, 1);
    EXPECT_EQ(s.FWindowMax, 4);
    FinalizeCvvars();
}

}  // namespace
