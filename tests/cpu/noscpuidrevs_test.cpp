#include <gmock/gmock.h>

#include "cpu/cpufixture.h"
#include "cpu/noscpuidrevs.h"

using ::testing::ElementsAre;

namespace {

// The current processor's leaf 1 (the last one in the array counts).
TNosCMCPUIDDataArray leaf1(std::uint32_t signature) { return {{1, {{0, 0, 0, 0}}}, {1, {{signature, 0, 0, 0}}}}; }

TCpuidRevision intelRow(std::string_view name, std::uint32_t flags, double speed = 2.4) {
    return {0x6FB, 52, 15, "SX", name, speed, 0, 1066, 9, 0, 0, 0, 0, 5, 65, 70, 0.85, 1.5, flags, "Conroe", "G0"};
}

std::string row(const TCpuidRevision& r) { return RevisionRowLine(r); }

}  // namespace

TEST(CpuNames, SocketsNodesAndTheNameKeys) {
    EXPECT_EQ(CpuSocketName(7), "Socket AM2");
    EXPECT_EQ(CpuSocketName(7 | 0x80), "Socket AM2");
    EXPECT_EQ(CpuSocketName(48), "FC-PGA6");
    EXPECT_EQ(CpuSocketName(49), "NotImplemented");
    EXPECT_EQ(CpuProcessNodeName(9), "90 nm");
    EXPECT_EQ(CpuProcessNodeName(10), "NotImplemented");
    ASSERT_EQ(CpuNameKeys().size(), 50u);
    EXPECT_EQ(CpuNameKeys()[49].Keyword, "atom");
}

TEST(CpuRevisionTables, TellingRowsStandFirst) {
    EXPECT_EQ(row(IntelRevisions().front()),
              "Name='230' sSPEC='SLB6Z' CpuSpeed=1.600 BusSpeed=533 Ratio=12.0 TDP=4.00 ThermSpec=85.2 VMin=0.9000 "
              "VMax=1.1620 Socket='Micro-FCBGA' Tech='45 nm' Core='Diamondville' Revision='C0'");
    EXPECT_EQ(IntelRevisions().front().Flags, 0x85u);
    EXPECT_EQ(AmdRevisions().front().Name, "LX 700");
    EXPECT_EQ(ViaRevisions().front().Name, "700 MHz");
    const auto northwood = std::find_if(IntelRevisions().begin(), IntelRevisions().end(),
                                        [](const auto& r) { return r.sSPEC == "SL6D7"; });
    ASSERT_NE(northwood, IntelRevisions().end());
    EXPECT_EQ(northwood->Signature, 0xF24u);
    EXPECT_EQ(northwood->Ratio, 18);
    const auto windsor = std::find_if(AmdRevisions().begin(), AmdRevisions().end(),
                                      [](const auto& r) { return r.Signature == 0x40FB2; });
    ASSERT_NE(windsor, AmdRevisions().end());
    EXPECT_EQ(windsor->Name, "5000+");
    EXPECT_EQ(windsor->MinSpeed, 1.0);
    EXPECT_EQ(windsor->Revision, "BH-F2");
}

TEST(DeriveIntel, NoLeaf1) {
    TNosCMCPUData cpu;
    DeriveIntelAdditionalData(cpu, {});
    EXPECT_EQ(cpu.Notes, "!!!DeriveIntelAdditionalData didn' find CPUID[1]");
}

// Strict VMX, then strict HTT, each noted with the row; the survivor names
// the processor from the name key of its line.
TEST(DeriveIntel, StrictPassesNarrowTheCandidates) {
    const TCpuidRevision table[] = {intelRow("E6600", RevVmx), intelRow("E6600", 0), intelRow("E6600", RevHtt)};
    TNosCMCPUData cpu;
    cpu.BrandString = "Intel(R) Core(TM)2 CPU 6600 @ 2.40GHz";
    cpu.Info.Htt = true;
    DeriveIntelAdditionalData(cpu, leaf1(0x6FB), table);
    EXPECT_THAT(lines(cpu.Notes), ElementsAre("!!!STRONG CHECK (STRICT VMX) " + row(table[0]),
                                              "!!!STRONG CHECK (STRICT HTT) " + row(table[1])));
    EXPECT_EQ(cpu.IdentifiedName, "Intel Core2 Duo Desktop Processor E6600");
    EXPECT_EQ(cpu.RevisionName, "E6600");
    EXPECT_EQ(cpu.IntelInfo.SSpec, "SX");
    EXPECT_EQ(cpu.Info.RatedBusSpeed, 1066);
}

// A removed candidate's place goes to the last one, which is examined next.
TEST(DeriveIntel, RemovalMovesTheLastCandidateIntoThePlace) {
    const TCpuidRevision table[] = {intelRow("A", 0), intelRow("B", RevVmx), intelRow("C", 0), intelRow("D", RevVmx),
                                    intelRow("E", 0)};
    TNosCMCPUData cpu;
    DeriveIntelAdditionalData(cpu, leaf1(0x6FB), table);
    EXPECT_THAT(lines(cpu.Notes),
                ElementsAre("!!!STRONG CHECK (STRICT VMX) " + row(table[1]), "!!!STRONG CHECK (STRICT VMX) " + row(table[3]),
                            "!!!The VERY WEAK CHECK (PROCESSOR BRAND) would have removed all entries",
                            "!!!Found more than one corresponding Intel revision", "!!!  " + row(table[0]),
                            "!!!  " + row(table[4]), "!!!  " + row(table[2])));
    EXPECT_EQ(cpu.RevisionName, "A");
}

TEST(DeriveIntel, CpuSpeedAgainstTheBrand) {
    struct Case {
        const char* brand;
        bool kept;
    };
    const Case cases[] = {
        {"Intel(R) Pentium(R) 4 CPU 2.40GHz", true},
        {"Intel(R) Pentium(R) 4 CPU 2.39GHz", true},   // within 1 %
        {"Intel(R) Pentium(R) 4 CPU 2.60GHz", false},
        {"Intel(R) Pentium(R) 4 CPU 2400MHz", true},
        {"Intel(R) Pentium(R) 4 CPU 2300MHz", false},
        {"Intel(R) Core(TM)2 CPU T7200", true},        // no unit: every row passes
        {"Intel(R) CPU @ GHz", true},                  // no number
    };
    for (const auto& c : cases) {
        const TCpuidRevision table[] = {intelRow("X", 0, 2.4), intelRow("Y", 0, 9.99)};
        TNosCMCPUData cpu;
        cpu.BrandString = c.brand;
        DeriveIntelAdditionalData(cpu, leaf1(0x6FB), table);
        const bool removed = cpu.Notes.find("!!!WEAK CHECK (CPU SPEED) Name='X'") != std::string::npos;
        EXPECT_EQ(!removed, c.kept) << c.brand;
    }
}

TEST(DeriveIntel, FeaturesNameKeyAndTheVeryWeakBrandPass) {
    TCpuidRevision xd = intelRow("T7200", RevExecuteDisable);
    TCpuidRevision pentium = intelRow("T7400", 0);
    pentium.CoreCode = 80;  // keyword "pentium"
    const TCpuidRevision plain = intelRow("T7500", 0);
    const TCpuidRevision table[] = {xd, pentium, plain, intelRow("2.40 GHZ", 0)};
    TNosCMCPUData cpu;
    cpu.BrandString = "Intel(R) Core(TM)2 CPU T7600 @ 2.40GHz";
    DeriveIntelAdditionalData(cpu, leaf1(0x6FB), table);
    EXPECT_THAT(lines(cpu.Notes),
                ElementsAre("!!!STRONG CHECK (FEATURES) " + row(xd), "!!!WEAK CHECK (NAME KEY) " + row(pentium),
                            "!!!VERY WEAK CHECK (PROCESSOR BRAND) " + row(plain)));
    EXPECT_EQ(cpu.RevisionName, "2.40 GHZ") << "the last candidate took the first place";

    TNosCMCPUData none;
    none.BrandString = "Intel(R) Core(TM) CPU 2.40GHz";
    const TCpuidRevision absent[] = {intelRow("T7600", 0), intelRow("T7700", 0)};
    DeriveIntelAdditionalData(none, leaf1(0x6FB), absent);
    EXPECT_EQ(lines(none.Notes).front(), "!!!The VERY WEAK CHECK (PROCESSOR BRAND) would have removed all entries");
}

TEST(DeriveIntel, HardChecksUseTheRowsLineCode) {
    TCpuidRevision fsb800 = intelRow("E4300", 0);
    fsb800.BusSpeed = 800;
    const TCpuidRevision table[] = {fsb800, intelRow("E6600", 0)};
    TNosCMCPUData cpu;
    cpu.MsrsRead = true;
    cpu.MsrCD = 0;       // 1066
    cpu.Msr198 = 9ull << 40;
    DeriveIntelAdditionalData(cpu, leaf1(0x6FB), table);
    EXPECT_EQ(cpu.Notes, "!!!STRONG CHECK (HARD BUS SPEED) " + row(fsb800));
}

TEST(DeriveIntel, TheLargestCacheMustMatchUnlessIda) {
    TCpuidRevision small = intelRow("S", 0);
    small.L2Size = 2048;
    TCpuidRevision big = intelRow("B", 0);
    big.L2Size = 4096;
    const TCpuidRevision table[] = {small, big};
    TNosCMCPUData cpu;
    cpu.Info.L2 = {true, true, 4096 * 1024, 4096 * 1024, 1, 16, 64, 0};
    DeriveIntelAdditionalData(cpu, leaf1(0x6FB), table);
    EXPECT_EQ(cpu.RevisionName, "B");
    EXPECT_EQ(cpu.Notes, "") << "the cache gate writes nothing";

    TNosCMCPUData missing;
    DeriveIntelAdditionalData(missing, leaf1(0x6FB), table);
    EXPECT_EQ(missing.Notes, "!!!Found no corresponding Intel revision");
    EXPECT_EQ(missing.IdentifiedName, "");
}

TEST(DeriveIntel, LinesWithoutANameKeyUseTheNameAlone) {
    TCpuidRevision row46 = intelRow(" T2300 ", 0);
    row46.CoreCode = 46;
    TNosCMCPUData cpu;
    DeriveIntelAdditionalData(cpu, leaf1(0x6FB), {&row46, 1});
    EXPECT_EQ(cpu.IdentifiedName, "T2300");
}

// --- AMD ---

namespace {

TCpuidRevision amdRow(std::string_view name, double vmin, double vmax, double tdp) {
    return {0x40FB2, 24, 7, "", name, 2.6, 1.0, 1000, 13, 0, 1024, 0, 2, 9, tdp, 0, vmin, vmax, 0, "windsor", "BH-F2"};
}

// An AMD processor of family 17 without the brand leaves: the analysis only
// notes the missing leaf, so the checks see what the test sets.
TNosCMCPUData amd() {
    TNosCMCPUData cpu;
    cpu.IsAmd = true;
    cpu.Info.Family = 17;
    cpu.Info.L2.TotalSize = 1024 * 1024;
    return cpu;
}

}  // namespace

TEST(DeriveAmd, StrongChecksDropRowsInTableOrder) {
    TCpuidRevision am2 = amdRow("5000+", 1.1, 1.35, 89);
    TCpuidRevision socket = am2;
    socket.SocketCode = 4;
    TCpuidRevision line = am2;
    line.CoreCode = 6;
    TCpuidRevision cache = am2;
    cache.L2Size = 2048;
    const TCpuidRevision table[] = {socket, line, cache, am2};
    auto cpu = amd();
    cpu.Info.SocketCode = 7;
    cpu.Info.CoreCode = 24;
    DeriveAmdAdditionalData(cpu, leaf1(0x40FB2), {}, table);
    EXPECT_THAT(lines(cpu.Notes), ElementsAre("!!!DeriveAmdAdditionalData didn' find CPUID[$80000001]",
                                              "!!!STRONG CHECK (SOCKET) " + row(socket),
                                              "!!!STRONG CHECK (CPUTYPE) " + row(line),
                                              "!!!STRONG CHECK (CACHESIZE) " + row(cache)));
    EXPECT_EQ(cpu.Info.DieRevision, "BH-F2");
    EXPECT_EQ(cpu.Info.Tdp, 89);
}

TEST(DeriveAmd, VoltagesChooseAndTiesKeepAll) {
    const TCpuidRevision rows[] = {amdRow("5000+", 1.1, 1.25, 65), amdRow("5000+", 1.1, 1.35, 89)};
    auto cpu = amd();
    cpu.MsrVMin = 1.1;
    cpu.MsrVMax = 1.35;
    DeriveAmdAdditionalData(cpu, leaf1(0x40FB2), {}, rows);
    EXPECT_EQ(lines(cpu.Notes).back(), "!!!WEAK CHECK (VOLTAGES) " + row(rows[0]));
    EXPECT_EQ(cpu.Info.Tdp, 89);

    const TCpuidRevision tied[] = {amdRow("5000+", 1.1, 1.3, 65), amdRow("5000+", 1.1, 1.3, 89)};
    auto tie = amd();
    tie.MsrVMin = 1.1;
    tie.MsrVMax = 1.35;
    tie.AmdTdp = 80;
    DeriveAmdAdditionalData(tie, leaf1(0x40FB2), {}, tied);
    EXPECT_THAT(lines(tie.Notes), ElementsAre("!!!DeriveAmdAdditionalData didn' find CPUID[$80000001]",
                                              "!!!Two voltage similitudes are equivalent.",
                                              "!!!Checking if all revs are basically the same...",
                                              "!!!All revs are basically the same and data is available.",
                                              "!!!WEAK CHECK (TDP) " + row(tied[0])));
    EXPECT_EQ(tie.Info.Tdp, 89);
}

TEST(DeriveAmd, GeodeByItsCoreSpeed) {
    TNosCMCPUData cpu;
    cpu.IsAmd = true;
    cpu.Info.Family = 5;
    cpu.BrandString = "Geode(TM) Integrated Processor by AMD PCS";
    cpu.MsrsRead = true;
    cpu.Msr4C000014 = (14ull << 1 | 9ull << 7) << 32;
    DeriveAmdAdditionalData(cpu, leaf1(0x5A2), {});
    EXPECT_EQ(cpu.IdentifiedName, "AMD Geode LX 800");
    EXPECT_EQ(cpu.MaxCoreClock, 500);
    EXPECT_THAT(cpu.Notes, ::testing::HasSubstr("!!!STRONG CHECK (GEODE CPUSPEED) Name='LX 700'"));
    EXPECT_THAT(cpu.Notes, ::testing::HasSubstr("!!!DeriveAmdAdditionalData table needs refining"));
}

// --- VIA ---

TEST(DeriveVia, Msr1153ChoosesTheC7Line) {
    const TCpuidRevision table[] = {{0x6A9, 93, 42, "", "1.5 GHz", 1.5, 0, 100, 15, 0, 128, 0, 0, 9, 12, 0, 0.844,
                                     1.004, 0, "Esther", "A9"}};
    struct Case {
        std::uint64_t msr1153;
        const char* name;
    };
    for (const auto& c : {Case{0, "VIA C7-M 1.5 GHz"}, Case{1ull << 18, "VIA C7 1.5 GHz"},
                          Case{1ull << 18 | 1ull << 20, "VIA C7-M 1.5 GHz"}, Case{3ull << 18, "VIA Eden 1.5 GHz"},
                          Case{MsrUnread, "VIA Eden 1.5 GHz"}}) {
        TNosCMCPUData cpu;
        cpu.IsVia = true;
        cpu.MsrsRead = true;
        cpu.Info.Family = 6;
        cpu.Info.Model = 10;
        cpu.Info.Stepping = 9;
        cpu.Msr1153 = c.msr1153;
        DeriveViaAdditionalData(cpu, leaf1(0x6A9), table);
        EXPECT_EQ(cpu.IdentifiedName, c.name);
        EXPECT_EQ(cpu.Notes, "");
    }
}

TEST(DeriveVia, RatioCheckAndNoRow) {
    TNosCMCPUData cpu;
    cpu.IsVia = true;
    cpu.MsrsRead = true;
    cpu.Msr2A = 2ull << 22;  // T91: 4
    const TCpuidRevision table[] = {{0x670, 91, 35, "", "700 MHz", 0.7, 0, 100, 7, 0, 0, 0, 0, 7, 9.88, 70, 1.6, 1.6,
                                     0, "Samuel 2", "C5B"},
                                    {0x670, 91, 35, "", "400 MHz", 0.4, 0, 100, 4, 0, 0, 0, 0, 7, 9.88, 70, 1.6, 1.6,
                                     0, "Samuel 2", "C5B"}};
    DeriveViaAdditionalData(cpu, leaf1(0x670), table);
    EXPECT_EQ(cpu.Notes, "!!!STRONG CHECK (RATIO) " + row(table[0]));
    EXPECT_EQ(cpu.IdentifiedName, "VIA C3 400 MHz");

    TNosCMCPUData none;
    DeriveViaAdditionalData(none, leaf1(0x6F0), table);
    EXPECT_EQ(none.Notes, "!!!Found no corresponding VIA revision");
}

// The built-in table: two Atoms of one signature and cache, told apart by
// their features.
TEST(DeriveIntel, BuiltInTableTellsTheAtomsApart) {
    TNosCMCPUData cpu;
    cpu.BrandString = "Intel(R) Atom(TM) CPU  230   @ 1.60GHz";
    cpu.Info.ExecuteDisable = true;
    cpu.IntelInfo.Em64t = true;
    cpu.Info.Htt = true;
    cpu.Info.L2 = {true, true, 512 * 1024, 512 * 1024, 1, 8, 64, 0};
    DeriveIntelAdditionalData(cpu, leaf1(0x106C2));
    EXPECT_EQ(cpu.IdentifiedName, "Intel Atom Processor 230");
    EXPECT_EQ(cpu.IntelInfo.SSpec, "SLB6Z");
    EXPECT_THAT(cpu.Notes, ::testing::StartsWith("!!!STRONG CHECK (FEATURES) Name='N270'"));
}
