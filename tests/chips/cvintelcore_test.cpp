// The Intel probe, its Tjmax rules and the core sensor on simulated processors.

#include <gtest/gtest.h>

#include <algorithm>

#include "chips/chipsfixture.h"
#include "chips/cvintelcoresensor.h"
#include "chips/cvintelprobe.h"
#include "cpu/noscpuidmsr.h"

namespace {

// ---- Tjmax rules as a table ------------------------------------------------------

struct TjmaxCase {
    const char* number;
    const char* die;
    std::uint8_t node;   // 4 = 45 nm, 5 = 65 nm
    std::uint32_t cores;
    std::uint8_t line;   // processor line code
    std::uint32_t eax;
    std::uint64_t msrEE;
    std::int32_t expected;
};

TNosCMCPUData Record(const TjmaxCase& c) {
    TNosCMCPUData cpu;
    cpu.RevisionName = c.number;
    cpu.Info.DieRevision = c.die;
    cpu.Info.TechCode = c.node;
    cpu.IntelInfo.CoresPerPackage = c.cores;
    cpu.Info.CoreCode = c.line;
    cpu.Info.Family = 6;
    cpu.Info.Model = 7;
    cpu.Msr1A2 = MsrUnread;
    return cpu;
}

TEST(IntelTjmax, RulesInOrderLaterMatchesWin) {
    const std::uint64_t clear = 0, bit30 = 1u << 30;
    const TjmaxCase cases[] = {
        {"E6600", "B2", 5, 2, 0, 0, clear, 80},
        {"E6600", "G0", 5, 2, 0, 0, clear, 90},
        {"e6600", "B2", 5, 2, 0, 0, clear, 80},  // prefixes in either case
        {"E", "B2", 5, 2, 0, 0, clear, 100},     // shorter than the tested prefix
        {"QX9650", "C0", 4, 4, 0, 0, clear, 95},
        {"QX9770", "C0", 4, 4, 0, 0, clear, 85},
        {"Q9550", "E0", 4, 4, 0, 0, bit30, 100},
        {"E5220", "C0", 4, 2, 58, 0, clear, 70},
        {"E5240", "C0", 4, 2, 58, 0, clear, 90},
        {"X5260", "C0", 4, 2, 58, 0, clear, 90},
        {"x5260", "C0", 4, 2, 58, 0, clear, 90},  // letters in either case
        {"L5408", "C0", 4, 4, 58, 0, clear, 95},
        {"E5440", "C0", 4, 4, 58, 0, clear, 85},
        {"X7350", "B3", 5, 4, 58, 0, clear, 90},
        {"L5318", "B3", 5, 4, 58, 0, clear, 95},
        {"5160", "G0", 5, 2, 58, 0, clear, 80},
        {"E1200", "M0", 5, 2, 0, 0, clear, 85},
        {"330", "C0", 4, 2, 71, 0, clear, 90},
        {"T9400", "C0", 4, 2, 0, 0x10676, clear, 105},  // rule 2 alone
        {"E8400", "C0", 4, 2, 0, 0x10676, clear, 100},  // rule 6 comes later
        {"T7200", "B2", 5, 2, 0, 0, bit30, 85},
        {"T7200", "B2", 5, 2, 0, 0, MsrUnread, 100},  // an unreadable EEh is no bit 30
    };
    for (const TjmaxCase& c : cases) {
        SCOPED_TRACE(c.number);
        const TNosCMCPUData cpu = Record(c);
        EXPECT_EQ(WorkOutTjmax({cpu, c.eax, c.msrEE}, nullptr), c.expected);
    }
}

TEST(IntelTjmax, LinesOfTheMatchingGroups) {
    TNosCMCPUData cpu = Record({"E6600", "B2", 5, 2, 0, 0, 0, 0});
    std::vector<std::string> log;
    WorkOutTjmax({cpu, 0, 0}, &log);
    EXPECT_EQ(log, (std::vector<std::string>{"  Tjmax found: 65nm Desktop Dual-Core Processor",
                                             "  Tjmax found: 65nm Desktop Dual-Core Processor Stepping B2"}));
}

TEST(IntelTjmax, CoreITakesTheTargetMsrUnlessItIsNoValue) {
    TNosCMCPUData cpu = Record({"920", "D0", 0, 4, 62, 0, 0, 0});
    cpu.Msr1A2 = 0x00621400;
    std::vector<std::string> log;
    EXPECT_EQ(WorkOutTjmax({cpu, 0, 1u << 30}, &log), 0x62);
    EXPECT_EQ(log, std::vector<std::string>{"  Tjmax retrieved from MSR (98)"});
    cpu.Msr1A2 = MsrUnread;
    EXPECT_EQ(WorkOutTjmax({cpu, 0, 1u << 30}, nullptr), 85);
    // A target of 0, of FFh or outside 50-150 keeps the earlier value and writes no line.
    for (std::uint64_t target : {0x00000000ull, 0x00FF0000ull, 0x00310000ull, 0x00970000ull}) {
        cpu.Msr1A2 = target;
        log.clear();
        EXPECT_EQ(WorkOutTjmax({cpu, 0, 1u << 30}, &log), 85) << std::hex << target;
        EXPECT_TRUE(log.empty()) << std::hex << target;
    }
    for (auto [target, tjmax] : {std::pair{0x00320000ull, 50}, std::pair{0x00960000ull, 150}}) {
        cpu.Msr1A2 = target;
        EXPECT_EQ(WorkOutTjmax({cpu, 0, 0}, nullptr), tjmax);
    }
    cpu.Info.CoreCode = 0;  // full model 1Eh qualifies without a line code
    cpu.Info.FullFamily = 6;
    cpu.Info.FullModel = 0x1E;
    cpu.Msr1A2 = 0x00690000;
    EXPECT_EQ(WorkOutTjmax({cpu, 0, 0}, nullptr), 0x69);
}

// ---- the probe and the sensor on a simulated machine ------------------------------

class IntelCore : public ChipTest {
protected:
    IntelCore() { ResetCpuidMsrData(); }
    ~IntelCore() override { ResetCpuidMsrData(); }

    void load(const char* board) {
        machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR "/") + board);
        IOPort = std::make_unique<TIOPort>();
        SetMsrReader([](std::uint32_t index) { return IOPort->ReadMSR(index); });
    }
    // Every processor: the thermal status with `below` degrees under Tjmax.
    void setBelow(unsigned below) {
        for (unsigned n = 0; n < machine().cpus().count(); ++n)
            machine().cpus().cpu(n).msrs[0x19C] = 0x88000000u | (below + n) << 16;
    }
    bool has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // The board's processors 30 degrees and more below Tjmax, the first the boot one, probed.
    bool probeBoard(const char* board, std::string& name, std::int32_t& tjmax, std::vector<std::string>& log) {
        load(board);
        machine().cpus().cpu(0).msrs[0x1B] = 0xFEE00900;
        setBelow(30);
        return ProbeIntelCoreSensor(name, tjmax, &log);
    }
};

TEST_F(IntelCore, ProbeQualifiesACore2QuadAndFindsItsTjmax) {
    std::string name;
    std::int32_t tjmax = 0;
    std::vector<std::string> log;
    EXPECT_TRUE(probeBoard("cpu-intel-core2.json", name, tjmax, log));
    EXPECT_EQ(tjmax, 90);  // 65 nm quad-core Q6600
    EXPECT_EQ(log.front(), "Found <" + name + ">");
    EXPECT_TRUE(has(log, "CPU#03"));
    EXPECT_TRUE(has(log, "  Tjmax found: 65nm Desktop Quad-Core Processor"));
    EXPECT_TRUE(has(log, "  Temp=60C"));
    EXPECT_FALSE(has(log, "Wrong number of BOOT CPUs found (1)"));
}

// Each rule group reached through the processor collection of a board.
struct BoardCase {
    const char* board;
    const char* number;
    std::int32_t tjmax;
    const char* line;
};

class IntelCoreBoard : public IntelCore, public ::testing::WithParamInterface<BoardCase> {};

TEST_P(IntelCoreBoard, IsIdentifiedAndGetsItsTjmax) {
    const BoardCase& c = GetParam();
    std::string name;
    std::int32_t tjmax = 0;
    std::vector<std::string> log;
    EXPECT_TRUE(probeBoard(c.board, name, tjmax, log));
    EXPECT_TRUE(name.ends_with(std::string(" ") + c.number)) << name;
    EXPECT_EQ(tjmax, c.tjmax);
    EXPECT_TRUE(has(log, c.line));
}

INSTANTIATE_TEST_SUITE_P(
    RuleGroups, IntelCoreBoard,
    ::testing::Values(
        BoardCase{"cpu-intel-core2-e6600.json", "E6600", 80, "  Tjmax found: 65nm Desktop Dual-Core Processor Stepping B2"},
        BoardCase{"cpu-intel-core2-t7200.json", "T7200", 100, "  Tjmax found: 65nm Desktop Dual-Core Processor"},
        BoardCase{"cpu-intel-xeon-e5440.json", "E5440", 85, "  Tjmax found: 45nm Intel Xeon Processor 5400 Series"},
        BoardCase{"cpu-intel-atom-330.json", "330", 90, "  Tjmax found: 45nm Intel Atom Series 300"}));

TEST_F(IntelCore, ProbeCountsBootProcessorsAndSkipsOnesItCannotPin) {
    load("cpu-intel-core2.json");
    machine().cpus().cpu(0).msrs[0x1B] = 0xFEE00900;
    machine().cpus().cpu(2).msrs[0x1B] = 0xFEE00900;
    machine().cpus().cpu(3).pinnable = false;
    std::string name;
    std::int32_t tjmax = 0;
    std::vector<std::string> log;
    EXPECT_TRUE(ProbeIntelCoreSensor(name, tjmax, &log));
    EXPECT_TRUE(has(log, "Wrong number of BOOT CPUs found (2)"));
    EXPECT_TRUE(traced("Wrong number of BOOT CPUs found (2)"));
    EXPECT_TRUE(has(log, "ERROR SETTING AFFINITY"));
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("  TSC=", 0) == 0; }), 3);
}

TEST_F(IntelCore, ProbeWithoutMsrsDoesNotQualify) {
    load("cpu-intel-core2.json");
    IOPort->CanReadMSR = false;
    std::string name;
    std::int32_t tjmax = 0;
    std::vector<std::string> log;
    EXPECT_FALSE(ProbeIntelCoreSensor(name, tjmax, &log));
    EXPECT_EQ(log.back(), "!!!Unable to READ MSR on this system!!!");
}

TEST_F(IntelCore, ReadsAbsoluteAndRelativeAndKeepsFidVidStatistics) {
    load("cpu-intel-core2.json");
    setBelow(35);
    machine().cpus().cpu(1).msrs.erase(0x19C);  // core 1 cannot be read
    auto sensor = CreateSensor<TIntelCoreSensor>(nullptr, 0u, TIntelCoreSensor::ChipCode, Logger(), "", "", "");
    ASSERT_EQ(sensor->GetTempCount(), 4);
    EXPECT_EQ(sensor->GetTemp(1).Name, "Core 0");
    EXPECT_EQ(sensor->GetTemp(4).Stats->FName, "INTEL CORE Core 3");
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(sensor->GetTemp(1).Stats->Last(), 90 - 35);
    EXPECT_DOUBLE_EQ(sensor->GetTemp(2).Stats->Last(), 0);  // no value
    EXPECT_DOUBLE_EQ(sensor->GetTemp(3).Stats->Last(), 90 - 37);

    const int prop = sensor->GetPropCount() - 1 - 4;  // 120 comes before the four offsets
    ASSERT_EQ(sensor->GetPropId(prop), TIntelCoreSensor::PropDtsInterpretation);
    EXPECT_EQ(sensor->GetPropValue(prop), "absolute");
    EXPECT_FALSE(sensor->SetPropValue(prop, "sideways"));
    EXPECT_TRUE(sensor->SetPropValue(prop, "RELATIVE"));
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(sensor->GetTemp(1).Stats->Last(), -35);

    // MSR 198h 061C092609260926h: core 0's FID0 is 9 (bits 8-12), half bit 14 clear;
    // a constant value repeats its minimum at the end.
    const std::vector<std::string> dump = testsupport::splitLines(sensor->GetDebugInfo(), "\r\n");
    ASSERT_EQ(dump.size(), 4u * 16);
    EXPECT_EQ(dump[0], "Core00 FID0= 9.0  9.0  9.0  9.0");
    EXPECT_EQ(dump[32].substr(0, 12), "Core00 VID0=");
    EXPECT_EQ(dump[1].substr(0, 6), "      ");
}

TEST_F(IntelCore, OnlyFirstThreadsOfHyperThreadedCoresGetReadings) {
    load("cpu-intel-corei7.json");
    setBelow(20);
    auto sensor = CreateSensor<TIntelCoreSensor>(nullptr, 0u, TIntelCoreSensor::ChipCode, Logger(), "", "", "");
    ASSERT_EQ(sensor->GetTempCount(), 4);
    EXPECT_EQ(sensor->GetTemp(4).Name, "Core 3");
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(sensor->GetTemp(1).Stats->Last(), 100 - 20);  // Tjmax from MSR 1A2h
    EXPECT_DOUBLE_EQ(sensor->GetTemp(4).Stats->Last(), 100 - 23);
    EXPECT_TRUE(sensor->GetDebugInfo().empty());  // MSR 19Dh is missing: no FID/VID
    EXPECT_NE(std::find(log.begin(), log.end(), "0 TIntelCoreSensor.create - Skipping thread #4"), log.end());
}

}  // namespace
