#include <algorithm>
#include <map>
#include <stdexcept>

#include <gtest/gtest.h>

#include "core/coretest.h"
#include "cpu/cvclocks.h"
#include "cpu/noscpuusage.h"
#include "support/testmachine.h"
#include "ui/cvcpuload.h"

namespace {

// A generator that answers what the test tells it.
class TScriptedClock : public TClock {
public:
    TScriptedClock() : TClock(nullptr, 3, 0x69) {}
    bool SetClock(int index) override {
        Calls.push_back(index);
        if (Raise) throw std::runtime_error("bus gone");
        return Answer;
    }
    bool Answer = true;
    bool Raise = false;
    std::vector<int> Calls;
};

class TFakeClockPage : public TCpuLoadClock {
public:
    bool UseClockGen() const override { return Use; }
    int LowSpeedIndex() const override { return Low; }
    int HighSpeedIndex() const override { return High; }
    TClock* ClockGenerator() const override { return Generator; }
    void ShowClockStatus(const std::string& text) override { Status.push_back(text); }
    void ShowClockWish(const std::string& text) override { Wish = text; }

    bool Use = true;
    int Low = 0, High = 2;
    TClock* Generator = nullptr;
    std::vector<std::string> Status;
    std::string Wish = "(none)";
};

class TFakeView : public TCpuLoadView {
public:
    void ShowUptime(const TUptimeTexts& texts) override { Uptime = texts.Days + " " + texts.Time; }
    bool IsMinimized() const override { return Minimized; }
    void ShowTotal(const std::string& text) override {
        Check(10001);
        Total = text;
    }
    int PanelWidth() const override { return 197; }
    int BarCount() const override { return static_cast<int>(Bars.size()); }
    void SetBars(const std::vector<TCpuLoadBar>& bars) override {
        ++Setups;
        Bars = bars;
        Positions.assign(bars.size(), 0);
    }
    void SetBarPosition(int cpu, int position) override {
        Check(cpu * 100);
        Positions.at(static_cast<std::size_t>(cpu)) = position;
    }
    bool HasUsageBox(int number) const override {
        const_cast<TFakeView*>(this)->Check((number - 1) * 100 + 1);
        return Boxes.count(number) != 0;
    }
    void SetUsageBoxText(int number, const std::string& text) override {
        Check((number - 1) * 100 + 3);
        Boxes[number].first = text;
    }
    void SetUsageBoxPosition(int number, int position) override {
        Check((number - 1) * 100 + 4);
        Boxes[number].second = position;
    }

    void Check(int step) {
        if (step == FailAt) throw std::runtime_error("view broke");
    }

    bool Minimized = false;
    int FailAt = -1;
    int Setups = 0;
    std::string Uptime, Total = "0%";
    std::vector<TCpuLoadBar> Bars;
    std::vector<int> Positions;
    std::map<int, std::pair<std::string, int>> Boxes;
};

class CpuLoadTest : public coretest::CoreTest {
protected:
    CpuLoadTest() {
        usage.Reset();
        clockPage.Generator = &generator;
        ticker.SetView(&view);
        ticker.SetClock(&clockPage);
    }

    void SetUsage(int cpus, float total, std::initializer_list<float> perCpu = {}) {
        usage.NumCPUs = cpus;
        usage.total = total;
        int i = 0;
        for (float v : perCpu) usage.PerCPU[static_cast<std::size_t>(i++)] = v;
    }
    void Ticks(std::initializer_list<float> totals) {
        for (float total : totals) {
            usage.total = total;
            ticker.RxTimerCPULoadTimer();
        }
    }
    std::vector<std::string> Trace() { return testsupport::traceLines(file("debug.nfo")); }

    TCPUUsage usage;
    std::int64_t uptime = 0;
    int events = 0, clockPosts = 0, saves = 0, updateFailures = 0;
    bool updating = false;
    TScriptedClock generator;
    TFakeClockPage clockPage;
    TFakeView view;
    TCpuLoadTicker ticker{usage,
                          {[this] { return uptime; },
                           [this] {
                               if (updateFailures > 0 && updateFailures--) throw std::runtime_error("no counters");
                           },
                           [this] { ++events; }, [this] { ++clockPosts; }, [this] { return updating; },
                           [this] { ++saves; }}};
};

TEST(CpuLoadBars, SideBySideWithAPixelBetween) {
    EXPECT_EQ(CpuLoadBars(197, 4), (std::vector<TCpuLoadBar>{{0, 48}, {49, 48}, {98, 48}, {147, 48}}));
    EXPECT_EQ(CpuLoadBars(197, 1), (std::vector<TCpuLoadBar>{{0, 196}}));
    EXPECT_EQ(CpuLoadBars(197, 98).size(), 98u);  // 197 div 98 - 1 = 1
    EXPECT_EQ(CpuLoadBars(197, 99), std::vector<TCpuLoadBar>{});
    EXPECT_EQ(CpuLoadBars(197, 256), std::vector<TCpuLoadBar>{});
    EXPECT_EQ(CpuLoadBars(197, 0), std::vector<TCpuLoadBar>{});
}

TEST(CpuLoadUptime, DaysAndClock) {
    struct TCase {
        std::uint32_t Seconds;
        const char* Days;
        const char* Time;
    } cases[] = {{0, "0 days", "00:00:00"},
                 {86399, "0 days", "23:59:59"},
                 {86400 * 3 + 3600 * 5 + 60 * 7 + 9, "3 days", "05:07:09"},
                 {4294967295u, "49710 days", "06:28:15"}};
    for (const auto& c : cases) {
        const TUptimeTexts texts = UptimeTexts(c.Seconds);
        EXPECT_EQ(texts.Days, c.Days) << c.Seconds;
        EXPECT_EQ(texts.Time, c.Time) << c.Seconds;
    }
}

TEST_F(CpuLoadTest, PhasesAndSwitchingFollowTheLoad) {
    struct TCase {
        const char* Name;
        std::vector<float> Totals;
        std::string Wish;
        std::vector<int> SetCalls;  // indexes given to SetClock, in order
        int Mode;
    } cases[] = {
        {"high speed on the 4th tick from the start", {50, 50, 50}, "(none)", {}, 0},
        {"... and not before", {50, 50, 50, 50}, "", {2}, 3},
        {"exactly 10 in the power phase turns it", {10}, "Low power preferred", {}, 0},
        {"low speed on the ninth tick after the turn", {10, 20, 20, 20, 20, 20, 20, 20, 20}, "Low power preferred", {}, 0},
        {"... at the ninth", {10, 20, 20, 20, 20, 20, 20, 20, 20, 20}, "", {0}, 1},
        {"exactly 40 in the low phase turns it", {10, 40}, "Power needed", {}, 0},
        {"between the thresholds the phase stays", {10, 39.9f, 11, 39}, "Low power preferred", {}, 0},
    };
    for (const auto& c : cases) {
        TCpuLoadTicker fresh(usage, {});
        fresh.SetClock(&clockPage);
        clockPage.Wish = "(none)";
        generator.Calls.clear();
        SetUsage(2, 0);
        for (float total : c.Totals) {
            usage.total = total;
            fresh.RxTimerCPULoadTimer();
        }
        EXPECT_EQ(clockPage.Wish, c.Wish) << c.Name;
        EXPECT_EQ(generator.Calls, c.SetCalls) << c.Name;
        EXPECT_EQ(fresh.ClockMode, c.Mode) << c.Name;
    }
}

TEST_F(CpuLoadTest, ARefusedSpeedIsTriedAgainEveryTickAndASetOneOnlyOnce) {
    SetUsage(1, 50);
    generator.Answer = false;
    Ticks({50, 50, 50, 50, 50});
    EXPECT_EQ(generator.Calls, (std::vector<int>{2, 2}));
    EXPECT_EQ(ticker.ClockMode, 0);
    EXPECT_TRUE(clockPage.Status.empty());
    EXPECT_EQ(clockPosts, 0);
    generator.Answer = true;
    Ticks({50, 50, 50});
    EXPECT_EQ(generator.Calls, (std::vector<int>{2, 2, 2}));
    EXPECT_EQ(clockPage.Status, std::vector<std::string>{"High speed mode set"});
    EXPECT_EQ(clockPosts, 1);
}

TEST_F(CpuLoadTest, WithTheBoxUncheckedOnlyThePhaseWordsMove) {
    clockPage.Use = false;
    SetUsage(1, 50);
    Ticks({50, 50, 50, 50, 5});
    EXPECT_EQ(clockPage.Wish, "Low power preferred");
    Ticks({5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 90});
    EXPECT_EQ(clockPage.Wish, "Power needed");
    EXPECT_TRUE(generator.Calls.empty());
    EXPECT_TRUE(clockPage.Status.empty());
}

TEST_F(CpuLoadTest, NoEntryOrARaisingGeneratorSetsNothing) {
    clockPage.High = -1;
    SetUsage(1, 50);
    Ticks({50, 50, 50, 50});
    EXPECT_TRUE(generator.Calls.empty());
    clockPage.High = 1;
    generator.Raise = true;
    Ticks({50});
    EXPECT_EQ(ticker.ClockMode, 0);
    EXPECT_EQ(Trace().back(), "ERROR #4 in CPULoadTimer (bus gone)");
    Ticks({5, 5, 5, 5, 5, 5, 5, 5, 5, 5});
    EXPECT_EQ(Trace().back(), "ERROR #3 in CPULoadTimer (bus gone)");
    EXPECT_EQ(events, 15);
}

TEST_F(CpuLoadTest, DirectSwitchingSkipsPhaseAndModeTests) {
    ticker.ClockMode = 1;
    ticker.SetLowSpeedMode();
    EXPECT_EQ(generator.Calls, std::vector<int>{0});
    EXPECT_EQ(ticker.ClockMode, 1);
    ticker.SetHighSpeedMode();
    EXPECT_EQ(ticker.ClockMode, 3);
    EXPECT_EQ(clockPage.Status, (std::vector<std::string>{"Low speed mode set", "High speed mode set"}));
    EXPECT_EQ(clockPosts, 2);
    generator.Raise = true;
    EXPECT_THROW(ticker.SetLowSpeedMode(), std::runtime_error);
}

TEST_F(CpuLoadTest, ShowsUptimeTotalBarsAndBoxes) {
    uptime = 90061;
    SetUsage(4, 37.24f, {10.5f, 11.5f, 99.96f, 0});
    view.Boxes[2];
    ticker.SetupCPULoadPanel();
    ticker.RxTimerCPULoadTimer();
    EXPECT_EQ(view.Uptime, "1 days 01:01:01");
    EXPECT_EQ(view.Total, "37.2%");
    EXPECT_EQ(view.Positions, (std::vector<int>{10, 12, 100, 0}));  // half to even
    EXPECT_EQ(view.Boxes.size(), 1u);
    EXPECT_EQ(view.Boxes[2], (std::pair<std::string, int>{"11.5%", 12}));
    EXPECT_EQ(view.Setups, 1);
}

TEST_F(CpuLoadTest, MinimisedKeepsTheDisplayWhileSwitchingAndEventsGoOn) {
    SetUsage(2, 50, {50, 50});
    ticker.SetupCPULoadPanel();
    view.Minimized = true;
    Ticks({50, 50, 50, 50});
    EXPECT_EQ(view.Total, "0%");
    EXPECT_EQ(view.Positions, (std::vector<int>{0, 0}));
    EXPECT_EQ(ticker.ClockMode, 3);
    EXPECT_EQ(events, 4);
}

TEST_F(CpuLoadTest, NoCpusRunsOnlyTheUptimeAndTheEvents) {
    uptime = 59;
    updateFailures = 1;
    SetUsage(0, 0);
    Ticks({0, 0});
    EXPECT_EQ(view.Uptime, "0 days 00:00:59");
    EXPECT_EQ(view.Total, "0%");
    EXPECT_EQ(clockPage.Wish, "(none)");
    EXPECT_EQ(ticker.PhaseTicks, 0);
    EXPECT_EQ(updateFailures, 1);
    EXPECT_EQ(events, 2);
}

TEST_F(CpuLoadTest, AFailingUsageUpdateIsTracedAndTheTickGoesOn) {
    updateFailures = 1;
    SetUsage(1, 5, {5});
    Ticks({5});
    EXPECT_EQ(clockPage.Wish, "Low power preferred");
    EXPECT_EQ(view.Total, "5.0%");
    const auto trace = Trace();
    EXPECT_NE(std::find(trace.begin(), trace.end(), "ERROR #1 in CPULoadTimer (no counters)"), trace.end());
}

TEST_F(CpuLoadTest, EachDisplayStepReportsItsNumber) {
    SetUsage(2, 33.3f, {1, 2});
    view.Boxes[1];
    view.Boxes[2];
    ticker.SetupCPULoadPanel();
    for (int step : {10001, 0, 1, 3, 4, 100, 101, 103, 104}) {
        view.FailAt = step;
        ticker.RxTimerCPULoadTimer();
        const auto trace = Trace();
        ASSERT_GE(trace.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(trace.end() - 4, trace.end()),
                  (std::vector<std::string>{"ERROR #2." + std::to_string(step) + " in CPULoadTimer (view broke)",
                                            "CPUUsage.NumCPUs=2", "CPUUsage.total  =33.3",
                                            "ERROR #2 - End of debug data"}))
            << step;
    }
    EXPECT_EQ(events, 9);
}

TEST_F(CpuLoadTest, BarsFollowTheCpuCount) {
    SetUsage(4, 1);
    ticker.SetupCPULoadPanel();
    EXPECT_EQ(view.Bars.size(), 4u);
    SetUsage(8, 1);
    ticker.RxTimerCPULoadTimer();
    EXPECT_EQ(view.Bars, CpuLoadBars(197, 8));
    EXPECT_EQ(Trace().back(), "WARNING #2 in CPULoadTimer : fixing CPULoadPanel");
    const auto lines = Trace().size();
    SetUsage(200, 1);  // too many for one pixel each
    Ticks({1, 1, 1});
    EXPECT_TRUE(view.Bars.empty());
    EXPECT_EQ(view.Total, "1.0%");
    EXPECT_EQ(Trace().size(), lines + 1);
    SetUsage(1000, 1);  // clamped
    Ticks({1});
    EXPECT_EQ(view.Setups, 4);
}

TEST_F(CpuLoadTest, ThresholdEditsSaveUnlessUpdating) {
    updating = true;
    ticker.EDLowCPUUsageChange(12);
    ticker.EDHighCPUTimeChange(7);
    EXPECT_EQ(saves, 0);
    updating = false;
    ticker.EDHighCPUUsageChange(55);
    ticker.EDLowCPUTimeChange(20);
    ticker.CBUseClockGenClick();
    EXPECT_EQ(saves, 3);
    EXPECT_EQ(ticker.LowCPUUsage, 12.0f);
    EXPECT_EQ(ticker.HighCPUUsage, 55.0f);
    EXPECT_EQ(ticker.LowCPUTime, 20);
    EXPECT_EQ(ticker.HighCPUTime, 7);
}

}  // namespace
