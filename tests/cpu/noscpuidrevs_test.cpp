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

// ---- the built-in tables: a representative processor of every line ----------------------

namespace {

constexpr std::uint32_t XD = RevExecuteDisable, EIST = RevEist, EM64 = Rev64Bit, VT = RevVmx, HT = RevHtt;

// An Intel processor as CPUID shows it: signature, brand string, its largest
// cache (the third level when it has one) and its features.
struct IntelCase {
    std::uint32_t signature;
    const char* brand;
    std::uint32_t cacheKb;
    bool level3;
    std::uint32_t features;
    const char* name;  // the identified name: the line's prefix and the model
};

const IntelCase IntelCases[] = {
    {0x106CA, "Intel(R) Atom(TM) CPU N450   @ 1.66GHz", 512, false, XD | EIST | EM64 | HT, "Intel Atom Processor N450"},
    {0xF24, "Intel(R) Pentium(R) 4 CPU 2.40GHz", 512, false, 0, "Intel Pentium 4 Processor 2.40 GHZ"},
    {0xF25, "Intel(R) Pentium(R) 4 CPU 3.20GHz", 2048, true, HT,
     "Intel Pentium Processor Extreme Edition 3.20 GHZ"},
    {0xF24, "Mobile Intel(R) Pentium(R) 4 - M CPU 1.80GHz", 512, false, 0,
     "Mobile Intel Pentium 4 Processors - M 1.80 GHZ"},
    {0xF44, "Intel(R) Pentium(R) D CPU 2.80GHz", 2048, false, XD | EM64, "Intel Pentium D processor 820"},
    {0x1067A, "Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz", 6144, false, XD | EIST | EM64 | VT,
     "Intel Core2 Duo Desktop Processor E8400"},
    {0x6FA, "Intel(R) Core(TM)2 Duo CPU     T7500  @ 2.20GHz", 4096, false, XD | EIST | EM64 | VT,
     "Intel Core2 Duo Mobile Processor T7500"},
    {0x10676, "Intel(R) Core(TM)2 Extreme CPU X9650  @ 3.00GHz", 12288, false, XD | EIST | EM64 | VT,
     "Intel Core2 Extreme Processor QX9650"},
    {0x10676, "Intel(R) Core(TM)2 Extreme CPU X9100  @ 3.06GHz", 6144, false, XD | EIST | EM64 | VT,
     "Intel Core2 Extreme Processor X9100"},
    {0x1067A, "Intel(R) Core(TM)2 Quad CPU    Q9550  @ 2.83GHz", 12288, false, XD | EIST | EM64 | VT,
     "Intel Core2 Quad Processor Q9550"},
    {0x1067A, "Intel(R) Core(TM)2 Quad  CPU   Q9000  @ 2.00GHz", 6144, false, XD | EIST | EM64 | VT,
     "Intel Core2 Quad Mobile Processor Q9000"},
    {0x1067A, "Intel(R) Core(TM)2 Solo CPU    SU3500  @ 1.40GHz", 3072, false, XD | EIST | EM64 | VT,
     "Intel Core2 Solo Processor SU3500"},
    {0x10676, "Intel(R) Xeon(R) CPU           E5450  @ 3.00GHz", 12288, false, XD | EIST | EM64 | VT,
     "Intel Xeon Processor E5450"},
    {0x6E8, "Genuine Intel(R) CPU           T2400  @ 1.83GHz", 2048, false, XD | EIST,
     "Intel Core Duo processor T2400"},
    {0x6E8, "Genuine Intel(R) CPU           T1400  @ 1.83GHz", 2048, false, XD | EIST,
     "Intel Core Solo processor T1400"},
    {0x6D8, "Intel(R) Pentium(R) M processor 2.00GHz", 2048, false, XD | EIST, "Intel Pentium M Processor 760"},
    {0x6F6, "Intel(R) Celeron(R) CPU        520  @ 1.60GHz", 1024, false, XD | EM64, "Intel Celeron M Processor 520"},
    {0x6D6, "Intel(R) Celeron(R) M processor         1.30GHz", 1024, false, 0, "Intel Celeron M Processor 350"},
    {0xF27, "Intel(R) Celeron(R) CPU 2.00GHz", 128, false, 0, "Intel Celeron Processor 2.00 GHZ"},
    {0x6B1, "", 256, false, 0, "Intel Celeron Processor 1.20 GHZ"},
    {0x10661, "Intel(R) Celeron(R) CPU          430  @ 1.80GHz", 512, false, XD | EM64,
     "Intel Celeron Processor 400 Sequence 430"},
    {0xF41, "Intel(R) Celeron(R) CPU 2.80GHz", 256, false, XD | EM64, "Intel Celeron D Processor 336"},
    {0x6FD, "Intel(R) Celeron(R) CPU        E1200  @ 1.60GHz", 512, false, XD | EM64,
     "Intel Celeron Processor Family E1200"},
    {0xF27, "Mobile Intel(R) Celeron(R) CPU 2.00GHz", 256, false, 0, "Mobile Intel Celeron Processors 2.00 GHZ"},
    {0x686, "", 128, false, 0, "Mobile Intel Celeron Processors 650 MHZ"},
    {0x906E9, "Intel(R) Pentium(R) CPU G4560 @ 3.50GHz", 3072, true, XD | EIST | EM64 | VT | HT,
     "Intel Pentium Processor G4560"},
    {0x543, "", 0, false, 0, "Intel Pentium Processor with MMX Technology 200 MHZ"},
    {0x582, "", 0, false, 0, "Mobile Intel Pentium 266 MHZ"},
    {0x617, "", 256, false, 0, "Intel Pentium Pro Processors 200 MHZ"},
    {0x633, "", 512, false, 0, "Intel Pentium II Processor 266 MHZ"},
    {0x652, "", 1024, false, 0, "Intel Pentium II Xeon Processor 400 MHZ"},
    {0x6B1, "", 512, false, 0, "Intel Pentium III Processor 1.40 GHZ"},
    {0x6A1, "", 2048, false, 0, "Intel Pentium III Xeon Processor 700 MHZ"},
    {0x1067A, "Pentium(R) Dual-Core  CPU      E5200  @ 2.50GHz", 2048, false, XD | EIST | EM64,
     "Intel Pentium Dual-Core Desktop Processor E5200"},
    {0x1067A, "Pentium(R) Dual-Core CPU       T4200  @ 2.00GHz", 1024, false, XD | EIST | EM64,
     "Intel Pentium Dual-Core Mobile Processor T4200"},
    {0xF34, "Intel(R) Xeon(TM) CPU 3.00GHz", 1024, false, EM64 | HT, "Intel Xeon Processor 3.00 GHZ"},
    {0x106A5, "Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz", 8192, true, XD | EIST | EM64 | VT | HT,
     "Intel Core i7 Processor I7-920"},
    {0x106A5, "Intel(R) Core(TM) i7 CPU         975  @ 3.33GHz", 8192, true, XD | EIST | EM64 | VT | HT,
     "Intel Core i7 Processor Extreme Edition I7-975"},
    {0x206A7, "Intel(R) Core(TM) i7-2630QM CPU @ 2.00GHz", 6144, true, XD | EIST | EM64 | VT | HT,
     "Intel Core i7 Mobile Processor I7-2630QM"},
    {0x106E5, "Intel(R) Core(TM) i7 CPU       X 920  @ 2.00GHz", 8192, true, XD | EIST | EM64 | VT | HT,
     "Intel Core i7 Mobile Processor Extreme Edition I7-920XM"},
    {0x206A7, "Intel(R) Core(TM) i5-2500K CPU @ 3.30GHz", 6144, true, XD | EIST | EM64 | VT,
     "Intel Core i5 Processor I5-2500K"},
    {0x206A7, "Intel(R) Core(TM) i5-2410M CPU @ 2.30GHz", 3072, true, XD | EIST | EM64 | VT | HT,
     "Intel Core i5 Mobile Processor I5-2410M"},
    {0x206A7, "Intel(R) Core(TM) i3-2100 CPU @ 3.10GHz", 3072, true, XD | EIST | EM64 | VT | HT,
     "Intel Core i3 Desktop Processor I3-2100"},
    {0x206A7, "Intel(R) Core(TM) i3-2310M CPU @ 2.10GHz", 3072, true, XD | EIST | EM64 | VT | HT,
     "Intel Core i3 Mobile Processor I3-2310M"},
    {0x206A7, "Intel(R) Xeon(R) CPU E31230 @ 3.20GHz", 8192, true, XD | EIST | EM64 | VT | HT,
     "Intel Xeon Processor E3-1230"},
};

// An AMD processor after its family analysis: the line and socket the brand
// rules gave, its total L2 and its highest clock.
struct AmdCase {
    std::uint32_t signature;
    std::uint8_t line, socket;
    std::uint32_t l2Kb;
    double maxMhz;
    const char* revision;  // the row's Name
    const char* core;
};

const AmdCase AmdCases[] = {
    {0x100F23, 1, 0, 2048, 2600, "9950", "Agena"},     {0x100F42, 2, 0, 2048, 3200, "955", "Deneb"},
    {0x100F42, 3, 0, 1024, 3100, "550", "Callisto"},   {0x100F42, 4, 0, 1536, 2800, "720", "Heka"},
    {0x100F43, 5, 0, 2048, 3000, "B95", "Deneb"},      {0x20F51, 6, 0, 1024, 2600, "252", "troy"},
    {0x40F13, 8, 4, 2048, 2600, "2218", "santa rosa"}, {0x100F42, 9, 0, 2048, 2700, "2384", "Shanghai"},
    {0x100F80, 10, 0, 3072, 2600, "2435", "Istanbul"}, {0x6A0, 18, 0, 512, 1833, "2500+", "barton"},
    {0x6A0, 19, 0, 512, 1867, "2500+", "barton"},      {0x70FF2, 20, 7, 512, 2700, "LE-1640", "lima"},
    {0x60FB2, 21, 7, 1024, 2300, "BE-2400", "brisbane"}, {0x100F23, 22, 0, 1024, 2700, "7750", "Kuma"},
    {0x20FF0, 23, 0, 512, 2000, "3200+", "venice"},    {0x40F33, 24, 7, 2048, 3000, "6000+", "windsor"},
    {0x20F71, 25, 0, 1024, 2800, "FX-57", "san diego"}, {0x40F32, 26, 7, 2048, 2800, "FX-62", "windsor"},
    {0x20F42, 27, 0, 1024, 1800, "3000+", "newark"},   {0x100F62, 28, 0, 1024, 2000, "170u", "Sargas"},
    {0x100F62, 29, 12, 1024, 2000, "M300", "Caspian"}, {0x100F62, 30, 0, 2048, 3000, "250", "Regor"},
    {0x100F52, 31, 0, 1536, 2900, "435", "Rana"},      {0x100F52, 32, 0, 2048, 2600, "620", "Propus"},
    {0x100F62, 35, 0, 1024, 2700, "140", "Sargas"},    {0x40FC2, 36, 10, 256, 1800, "3000+", ""},
    {0x40FC2, 37, 10, 512, 2000, "MK-36", "richmond"}, {0x60F82, 38, 10, 1024, 2000, "TL-60", "tyler"},
    {0x200F31, 40, 11, 2048, 2100, "ZM-80", "Lion"},   {0x100F62, 41, 12, 1024, 2200, "M500", "Caspian"},
    {0x5A2, 11, 0, 0, 500, "LX 800", ""},
};

bool Ambiguous(const std::string& notes) {
    return notes.find("Found more than one") != std::string::npos || notes.find("Found no") != std::string::npos;
}

}  // namespace

TEST(BuiltInRevisions, ARepresentativeIntelProcessorOfEveryLineIsIdentified) {
    for (const IntelCase& c : IntelCases) {
        TNosCMCPUData cpu;
        cpu.BrandString = c.brand;
        cpu.Info.ExecuteDisable = (c.features & XD) != 0;
        cpu.IntelInfo.Eist = (c.features & EIST) != 0;
        cpu.IntelInfo.Em64t = (c.features & EM64) != 0;
        cpu.IntelInfo.Vmx = (c.features & VT) != 0;
        cpu.Info.Htt = (c.features & HT) != 0;
        TCacheInfo& largest = c.level3 ? cpu.Info.L3 : cpu.Info.L2;
        largest = {c.cacheKb != 0, c.cacheKb != 0, c.cacheKb * 1024, c.cacheKb * 1024, 1, 8, 64, 0};
        DeriveIntelAdditionalData(cpu, leaf1(c.signature));
        EXPECT_EQ(cpu.IdentifiedName, c.name) << c.brand << "\n" << cpu.Notes;
        EXPECT_FALSE(Ambiguous(cpu.Notes)) << c.name << "\n" << cpu.Notes;
    }
}

TEST(BuiltInRevisions, ARepresentativeAmdProcessorOfEveryLineIsIdentified) {
    for (const AmdCase& c : AmdCases) {
        auto cpu = amd();
        cpu.Info.CoreCode = c.line;
        cpu.Info.SocketCode = c.socket;
        cpu.Info.L2.TotalSize = c.l2Kb * 1024;
        cpu.MaxCoreClock = c.maxMhz;
        DeriveAmdAdditionalData(cpu, leaf1(c.signature), {});
        EXPECT_EQ(cpu.RevisionName, c.revision) << int(c.line) << "\n" << cpu.Notes;
        EXPECT_EQ(cpu.Info.CoreName, c.core) << int(c.line);
        EXPECT_FALSE(Ambiguous(cpu.Notes)) << int(c.line) << "\n" << cpu.Notes;
    }
}

TEST(BuiltInRevisions, VIALinesAndAZenDieAreIdentified) {
    for (const auto& [signature, name] : {std::pair<std::uint32_t, const char*>{0x678, "VIA C3 Ezra 800 MHz"},
                                          {0x688, "VIA C3 Ezra-T 1.0 GHz"}}) {
        TNosCMCPUData cpu;
        DeriveViaAdditionalData(cpu, leaf1(signature));
        EXPECT_EQ(cpu.IdentifiedName, name);
    }
    // A current AMD server processor, whose family no brand rule names: its
    // die is still known (the 8-core virtual machine's L2 is no row's).
    auto epyc = amd();
    epyc.Info.Family = 25;
    epyc.Info.L2.TotalSize = 8 * 1024 * 1024;
    DeriveAmdAdditionalData(epyc, leaf1(0xA10F11), {});
    EXPECT_EQ(epyc.Info.CoreName, "Genoa");
    EXPECT_EQ(epyc.Info.DieRevision, "B1");
    EXPECT_FALSE(Ambiguous(epyc.Notes));
}

TEST(BuiltInRevisions, EveryLineHasARow) {
    const auto hasRow = [](TCpuidRevisions table, std::uint8_t code) {
        return std::any_of(table.begin(), table.end(), [code](const TCpuidRevision& r) { return r.CoreCode == code; });
    };
    // Itanium lines (72, 73) run no IA-32 code of ours.
    for (const TCpuNameKey& key : CpuNameKeys()) {
        if (key.Code != 72 && key.Code != 73) {
            EXPECT_TRUE(hasRow(IntelRevisions(), key.Code)) << int(key.Code);
        }
    }
    // The lines the AMD brand rules give, but the embedded Opteron (7).
    for (std::uint8_t code : {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31,
                              32, 35, 36, 37, 38, 40, 41})
        EXPECT_TRUE(hasRow(AmdRevisions(), code)) << int(code);
    for (std::uint8_t code = 91; code <= 95; ++code) EXPECT_TRUE(hasRow(ViaRevisions(), code)) << int(code);
}
