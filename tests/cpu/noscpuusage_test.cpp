#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "cpu/adcpuusage.h"
#include "cpu/cvuptime.h"
#include "cpu/cxcpu40.h"
#include "cpu/noscpuusage.h"
#include "cpu/nosperfdata.h"
#include "hw/cvosinfo.h"
#include "platform/perfdata.h"
#include "support/testmachine.h"

namespace {

namespace pd = platform::perfdata;

// A block of processor idle times (100-ns units, the total last) at a
// time given in milliseconds after 2026-01-15 10:00:00.
std::vector<std::uint8_t> idleBlock(const std::vector<std::uint64_t>& idle, std::uint64_t ms) {
    platform::LocalTime t{2026, 1, 15, 10, 0, 0, 0};
    t.second = static_cast<int>(ms / 1000 % 60);
    t.minute = static_cast<int>(ms / 60000);
    t.millisecond = static_cast<int>(ms % 1000);
    pd::Object object{pd::ProcessorObject, {}, {{pd::ProcessorTimeCounter, pd::Timer100nsInverse, idle}}};
    for (std::size_t i = 0; i + 1 < idle.size(); ++i) object.instanceNames.push_back(std::to_string(i));
    object.instanceNames.push_back("_Total");
    // Another object and another counter first, so the walk has something to skip.
    object.counters.insert(object.counters.begin(), pd::Counter{142, pd::RawCount64, idle});
    return pd::build({pd::toSystemTime(t), 0, {{2, {}, {}}, object}});
}

// The simulated machine, with performance-data answers a test scripts one
// by one before the board's own.
class ScriptedMachine : public platform::sim::Machine {
public:
    std::deque<std::vector<std::uint8_t>> blocks;
    std::uint32_t queryPerformanceData(const std::string& objects, std::span<std::uint8_t> buffer,
                                       std::uint32_t& size) override {
        if (blocks.empty()) return Machine::queryPerformanceData(objects, buffer, size);
        const std::uint32_t status = pd::answer(blocks.front(), buffer, size);
        if (status == 0) blocks.pop_front();
        return status;
    }
};

class CpuUsageTest : public ::testing::Test {
protected:
    CpuUsageTest() : scope_(machine_) {
        machine_.setProgramDir(dir_.path().string());
        ProgramDir = machine_.programDir();
        ResetCpuUsageCounters();
    }
    ~CpuUsageTest() override { ResetCpuUsageCounters(); }

    void setOs(std::uint32_t major, std::uint32_t minor, std::uint32_t platformId = 2) {
        platform::OsVersion os = machine_.osVersion();
        os.major = major, os.minor = minor, os.platformId = platformId;
        os.build = platformId == 1 ? 2222 : os.build;
        machine_.setOsVersion(os);
    }
    void phases(std::vector<platform::sim::SimProcessorLoad::Phase> list) {
        machine_.processorLoad().setPhases(std::move(list));
    }
    void script(const std::vector<std::uint64_t>& idle, std::uint64_t ms) { machine_.blocks.push_back(idleBlock(idle, ms)); }
    void start(TNosCpuUsageSampler::ThreadStart how = TNosCpuUsageSampler::ThreadStart::Manual) {
        sampler_.Start(TNosOperatingSystem(), how);
    }
    void advance(std::uint64_t ms) { machine_.simClock().advance(ms); }

    long traced(const std::string& line) const {
        const auto lines = testsupport::traceLines(dir_.file("debug.nfo"));
        return std::count(lines.begin(), lines.end(), line);
    }
    std::vector<float> perCpu() const {
        std::vector<float> values;
        for (int i = 0; i < usage_.NumCPUs; ++i) values.push_back(usage_.PerCPU[static_cast<std::size_t>(i)]);
        return values;
    }

    testsupport::TempDir dir_;
    ScriptedMachine machine_;
    platform::ScopedPlatform scope_;
    TCPUUsage usage_;
    TNosCpuUsageSampler sampler_{usage_};
};

using Floats = std::vector<float>;

// Windows 2000 samples at each UpdateCpuUsage.
TEST_F(CpuUsageTest, RouteWithoutThreadPublishesEachSample) {
    setOs(5, 0);
    machine_.cpus().setCount(4);
    phases({{0, {0.75, 0.5, 0.25, 1.0}}, {3000, {1.0, 1.0}}});
    start();
    EXPECT_FALSE(sampler_.UsesThread());
    EXPECT_EQ(usage_.NumCPUs, 4);
    EXPECT_EQ(perCpu(), (Floats{0, 0, 0, 0})) << "one sample measures nothing";
    EXPECT_EQ(usage_.total, 0.0f);
    advance(1000);
    UpdateCpuUsage();  // the program's sampler did not start: nothing
    sampler_.UpdateCpuUsage();
    EXPECT_EQ(perCpu(), (Floats{25, 50, 75, 0}));
    EXPECT_FLOAT_EQ(usage_.total, 37.5f) << "the fifth instance, the machine's total";
    EXPECT_EQ(sampler_.InstanceCount(), 5);
    EXPECT_DOUBLE_EQ(sampler_.GetCPUUsage(1), 0.5);

    sampler_.UpdateCpuUsage();  // no time passed
    EXPECT_EQ(perCpu(), (Floats{0, 0, 0, 0}));

    // Two processors go offline: the history starts over with three instances.
    advance(2000);
    sampler_.UpdateCpuUsage();
    EXPECT_EQ(sampler_.InstanceCount(), 3);
    EXPECT_EQ(usage_.NumCPUs, 2);
    EXPECT_EQ(perCpu(), (Floats{0, 0}));
    advance(1000);
    sampler_.UpdateCpuUsage();
    EXPECT_EQ(perCpu(), (Floats{0, 0}));
    EXPECT_EQ(traced("CollectCPUDataInternal: 3 processor instances instead of 5, starting over"), 1);
}

// A script with a period: idle, an 80 % burst from 8 s, again every 10 s.
TEST_F(CpuUsageTest, RepeatedPhasesComeBackEveryPeriod) {
    setOs(5, 0);
    machine_.cpus().setCount(1);
    machine_.processorLoad().setPhases({{0, {1.0}}, {8000, {0.2}}}, 10000);
    start();
    const std::pair<std::uint64_t, float> samples[] = {{8000, 0}, {1000, 80}, {2000, 40}, {7000, 0}, {1000, 80}};
    for (const auto& [ms, usage] : samples) {
        advance(ms);
        sampler_.UpdateCpuUsage();
        EXPECT_EQ(perCpu(), (Floats{usage})) << ms;
    }
    EXPECT_THROW(machine_.processorLoad().setPhases({{0, {1.0}}, {8000, {0.2}}}, 8000), std::invalid_argument);
}

TEST_F(CpuUsageTest, ScriptedSamplesAreClampedAndNeedTimeToMoveOn) {
    setOs(5, 0);
    const std::uint64_t second = 10'000'000;  // 100-ns units
    script({0, 0, 0}, 0);
    script({second / 2, 0, second / 4}, 1000);
    script({second / 2 + second + second / 25, 0, second}, 2000);  // 104 % idle: usage below 0
    script({second * 3, second, second}, 1500);                      // the time went back
    start();
    sampler_.UpdateCpuUsage();
    EXPECT_EQ(perCpu(), (Floats{50, 100}));
    EXPECT_EQ(usage_.total, 75.0f);
    sampler_.UpdateCpuUsage();
    EXPECT_EQ(perCpu(), (Floats{0, 100}));
    EXPECT_DOUBLE_EQ(sampler_.GetCPUUsage(0), 0.0);
    EXPECT_EQ(usage_.total, 25.0f);
    sampler_.UpdateCpuUsage();
    EXPECT_EQ(perCpu(), (Floats{0, 0}));
    EXPECT_EQ(usage_.total, 0.0f);
}

TEST_F(CpuUsageTest, IndexErrorsAreTracedAndRaised) {
    setOs(5, 2);  // XP: the thread route, driven here by hand
    start();
    sampler_.Thread()->FirstSample();
    for (const int index : {-1, sampler_.InstanceCount()}) {
        try {
            sampler_.GetCPUUsage(index);
            ADD_FAILURE() << index;
        } catch (const ECpuUsageError& e) {
            EXPECT_STREQ(e.what(), "CPU index out of bounds");
        }
    }
    EXPECT_EQ(traced("ERROR IN GetCPUUsage (CPU index out of bounds)"), 2);
}

TEST_F(CpuUsageTest, TheBufferGrowsUntilTheBlockFitsAndTracesOnlyTheFirstTime) {
    setOs(5, 0);
    std::vector<std::uint64_t> idle(301, 0);  // 300 processors and the total
    script(idle, 0);
    const std::size_t firstSize = machine_.blocks.back().size();
    idle.resize(401);
    script(idle, 1000);
    const std::size_t secondSize = machine_.blocks.back().size();
    ASSERT_GT(firstSize, 8192u + 4096u);
    start();
    EXPECT_EQ(traced("CollectCPUDataInternal.01 size is $00002000"), 1);
    std::size_t size = 8192;
    for (; size < firstSize; size += 4096)
        EXPECT_EQ(traced(cvformat::Format("CollectCPUDataInternal.02.01 resizing to $%.8x", {size + 4096})), 1);
    EXPECT_EQ(traced("CollectCPUDataInternal.11"), 1);
    EXPECT_EQ(usage_.NumCPUs, MaxUsageCpus) << "never past the published array";
    sampler_.UpdateCpuUsage();
    EXPECT_EQ(sampler_.InstanceCount(), 401);
    ASSERT_GT(secondSize, size);
    EXPECT_EQ(traced(cvformat::Format("CollectCPUDataInternal.02.01 resizing to $%.8x", {size + 4096})), 0);
    EXPECT_EQ(traced("CollectCPUDataInternal.11"), 1);
}

TEST_F(CpuUsageTest, ThreadPassesKeepTheValuesCurrent) {
    machine_.cpus().setCount(2);
    phases({{0, {0.5, 0.9}}});
    start();
    TNosCpuUsageThread& thread = *sampler_.Thread();
    EXPECT_FALSE(thread.Initialized());
    thread.FirstSample();
    EXPECT_TRUE(thread.Initialized());
    EXPECT_EQ(usage_.NumCPUs, 2);
    advance(1000);
    thread.NextSample();
    EXPECT_EQ(perCpu(), (Floats{50, 10}));
    EXPECT_FLOAT_EQ(usage_.total, 30);
    advance(1000);
    phases({{0, {0.0, 0.0}}});
    sampler_.UpdateCpuUsage();  // the thread's job: nothing happens
    EXPECT_EQ(perCpu(), (Floats{50, 10}));
    EXPECT_EQ(traced("CollectCPUDataInternal.02"), 1);
}

TEST_F(CpuUsageTest, AFailingFirstSampleOfTheThreadStopsTheSampling) {
    machine_.processorLoad().failQueries(3, 5);
    start();
    TNosCpuUsageThread& thread = *sampler_.Thread();
    thread.FirstSample();
    EXPECT_EQ(usage_.NumCPUs, 0);
    EXPECT_EQ(usage_.ErrorCode, 1);
    EXPECT_EQ(usage_.ErrorText(), "Unable to read performance data");
    EXPECT_EQ(traced("Error initializing NOSCPUUSAGETHREAD (Unable to read performance data)"), 1);
    EXPECT_EQ(traced("CollectCPUDataInternal.02.02 can't read performance data"), 1);
    thread.NextSample();
    EXPECT_EQ(usage_.NumCPUs, 0);
    EXPECT_EQ(usage_.ErrorCode, 1);
}

TEST_F(CpuUsageTest, LaterThreadFailuresAreTracedOnceAndKeepTheLastValues) {
    phases({{0, {0.5}}});
    start();
    TNosCpuUsageThread& thread = *sampler_.Thread();
    thread.FirstSample();
    advance(1000);
    thread.NextSample();
    machine_.processorLoad().failQueries(3, 5);
    for (int i = 0; i < 3; ++i) thread.NextSample();
    EXPECT_EQ(perCpu(), (Floats{50}));
    EXPECT_EQ(traced("ERROR IN CpuUsageThread (Unable to read performance data)"), 1);
}

TEST_F(CpuUsageTest, TheWin9xStatisticGivesOneProcessor) {
    setOs(4, 10, 1);
    phases({{0, {0.25}}});
    start();
    EXPECT_EQ(usage_.NumCPUs, 1);
    EXPECT_EQ(usage_.total, 75.0f);
    EXPECT_EQ(usage_.PerCPU[0], usage_.total);

    SampleCpuCounters();
    EXPECT_DOUBLE_EQ(CpuUsageOf(0), 0.75);
    EXPECT_THROW(CpuUsageOf(1), ECpuUsageError);
    StopCpuCounters();

    machine_.processorLoad().refuseKey("PerfStats\\StatData");
    EXPECT_THROW(start(), ECpuUsageError);
    machine_.processorLoad().refuseKey("PerfStats\\StartStat");
    try {
        start();
        ADD_FAILURE();
    } catch (const ECpuUsageError& e) {
        EXPECT_STREQ(e.what(), "Unable to start performance monitoring");
    }
}

TEST_F(CpuUsageTest, AFailedStartIsTracedAndTheProgramGoesOn) {
    setOs(5, 0);
    machine_.processorLoad().failQueries(1, 5);
    InitializeNosCpuUsage();
    EXPECT_EQ(CPUUsage.ErrorCode, 1);
    EXPECT_EQ(CPUUsage.ErrorText(), "Unable to read performance data");
    EXPECT_EQ(traced("Error initializing NOSCPUUSAGE (Unable to read performance data)"), 1);
    EXPECT_NO_THROW(UpdateCpuUsage());
    EXPECT_EQ(CPUUsage.NumCPUs, 0);
    FinalizeNosCpuUsage();
    CPUUsage.Reset();
}

// The one test in real time: the thread really runs, and stops at once.
TEST_F(CpuUsageTest, TheThreadRunsInRealTimeAndIsJoinedAtStop) {
    machine_.loadFromJson(R"({"clock": {"virtual": false}, "cpuLoad": {"phases": [{"fromMs": 0, "idle": [0.5, 0.5, 0.5]}]}})",
                          "realtime.json");
    start(TNosCpuUsageSampler::ThreadStart::Run);
    EXPECT_TRUE(sampler_.Thread()->Initialized());
    EXPECT_EQ(usage_.NumCPUs, 3);
    EXPECT_GE(sampler_.SyncCycles(), 0);
    sampler_.Stop();
    EXPECT_FALSE(sampler_.UsesThread());
    EXPECT_EQ(traced("TNosCpuUsageThread.execute completed."), 1);
    EXPECT_EQ(traced("Using thread"), 1);
}

TEST_F(CpuUsageTest, TheLibrarysCountersCompareTwoSamples) {
    machine_.cpus().setCount(2);
    phases({{0, {0.5, 0.25}}});
    const TProcessorUsage usage = TcxCpu().ProcessorInfo(1).Usage();
    EXPECT_EQ(usage.Percent().Value(), 0u) << "the first sample has nothing to compare with";
    advance(2000);
    EXPECT_EQ(usage.Percent().Value(), 75u);
    EXPECT_EQ(usage.Percent().Value(), 0u) << "equal times";
    EXPECT_THROW(CpuUsageOf(3), ECpuUsageError);
}

TEST(PerformanceData, MalformedBlocksFailWithTheirTexts) {
    const std::vector<std::uint8_t> good = idleBlock({5, 6, 7}, 0);
    const auto counters = ReadProcessorIdleTimes(good).Counters;
    EXPECT_EQ(counters, (std::vector<std::int64_t>{5, 6, 7}));
    const auto put32 = [](std::vector<std::uint8_t> b, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        return b;
    };
    const std::size_t processor = pd::block::Size + pd::object::Size;  // after the empty first object
    const struct {
        std::vector<std::uint8_t> data;
        const char* error;  // null: the walk stops at the data's end
        std::size_t instances;
    } cases[] = {
        {{}, UnableToReadPerformanceData, 0},
        {put32(good, pd::block::NumObjectTypes, 1), UnableToLocateProcessorObject, 0},
        {put32(good, pd::block::HeaderLength, 0xFFFFFFF0), UnableToLocateProcessorObject, 0},
        {put32(good, pd::block::SystemTime, 0x000D07EA), UnableToReadPerformanceData, 0},  // month 13
        {put32(good, pd::block::SystemTime, 0x00017EEA), UnableToReadPerformanceData, 0},  // 32490: past 100 ns
        {put32(good, pd::block::SystemTime, 0x0001786B), nullptr, 3},                      // 30827 still counts
        {put32(good, processor + pd::object::NumCounters, 1), UnableToLocateUsageCounter, 0},
        {put32(good, processor + pd::object::HeaderLength, 0x7FFFFFFF), UnableToLocateUsageCounter, 0},
        {put32(good, processor + pd::object::NumInstances, 0x7FFFFFFF), nullptr, 3},
        {put32(good, processor + pd::object::DefinitionLength, 0xFFFFFF00), nullptr, 0},
        {std::vector<std::uint8_t>(good.begin(), good.end() - 20), nullptr, 2},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        if (c.error) {
            try {
                ReadProcessorIdleTimes(c.data);
                ADD_FAILURE() << i;
            } catch (const ECpuUsageError& e) {
                EXPECT_STREQ(e.what(), c.error) << i;
            }
        } else {
            EXPECT_EQ(ReadProcessorIdleTimes(c.data).Counters.size(), c.instances) << i;
        }
    }
}

TEST_F(CpuUsageTest, PerformanceCountersAreSwitchedOffOnlyWhenAsked) {
    auto& registry = machine_.simSystemRegistry();
    const std::string os = "SYSTEM\\CurrentControlSet\\Services\\PerfOS\\Performance";
    registry.setValue(os, "Disable Performance Counters", std::uint32_t{0});
    registry.createKey("SYSTEM\\CurrentControlSet\\Services\\PerfProc\\Performance");
    EXPECT_TRUE(EnablePerformanceCounters(true));
    EXPECT_EQ(registry.readBinary(os, "Disable Performance Counters"), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(EnablePerformanceCounters(false));
    EXPECT_EQ(registry.readBinary(os, "Disable Performance Counters"), (std::vector<std::uint8_t>{1, 0, 0, 0}));
    registry.refuseWrites(5);
    EXPECT_TRUE(EnablePerformanceCounters(false));
    EXPECT_EQ(traced("EnablePerformanceCounters: " + os + " refused (error 5)"), 1);
}

TEST_F(CpuUsageTest, UptimesFollowThe64BitUptime) {
    machine_.identity().uptimeAtStartMs = 4'294'960'000;  // the 32-bit tick count wraps 7,296 ms later
    InitializeCvuptime();
    EXPECT_EQ(GetProgramUptimeSeconds(), 0);
    const std::int64_t start = GetSystemUptimeSeconds();
    EXPECT_EQ(start, 4'294'960);
    advance(10'000);
    EXPECT_EQ(machine_.tickCount(), 2704u);
    EXPECT_EQ(GetSystemUptimeSeconds(), start + 10);
    EXPECT_EQ(GetProgramUptimeSeconds(), 10);
    machine_.identity().uptimeAtStartMs = 0;
    const std::pair<std::uint64_t, std::int64_t> seconds[] = {{999, 10}, {1, 11}};
    for (const auto& [ms, expected] : seconds) {
        advance(ms);
        EXPECT_EQ(GetSystemUptimeSeconds(), expected);
    }
}

}  // namespace
