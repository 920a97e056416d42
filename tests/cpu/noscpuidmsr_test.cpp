#include <gmock/gmock.h>

#include <stdexcept>

#include "cpu/cpufixture.h"
#include "cpu/noscpuidleaves.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

std::vector<std::uint32_t> leafOrder(const TNosCMCPUIDDataArray& leaves) {
    std::vector<std::uint32_t> order;
    for (const auto& l : leaves) order.push_back(l.Leaf);
    return order;
}

}  // namespace

TEST(CpuidText, RegistersAndNotes) {
    EXPECT_EQ(RegisterToText(0x756E6547), "Genu");
    EXPECT_EQ(AppendNoteLine("first", ""), "first");
    EXPECT_EQ(AppendNoteLine("second", "first"), "first\rsecond");
}

using CpuCollection = CpuTest;

// Standard leaves 2, 4, 6 and 0Bh run for every vendor within the bound;
// 80000005h only for AMD and VIA; 80000006h for all.
TEST_F(CpuCollection, LeavesRunWithinTheBoundsAndByVendor) {
    struct Case {
        const char* vendor;
        std::uint32_t maxStd, maxExt;
        std::vector<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"GenuineIntel", 5, 0x80000004, {0, 0x80000000, 1, 2, 4, 0x80000001, 0x80000002, 0x80000003, 0x80000004}},
        {"GenuineIntel", 11, 0x80000008,
         {0, 0x80000000, 1, 2, 4, 6, 0xB, 0x80000001, 0x80000002, 0x80000003, 0x80000004, 0x80000006, 0x80000007,
          0x80000008}},
        {"AuthenticAMD", 1, 0x80000006,
         {0, 0x80000000, 1, 0x80000001, 0x80000002, 0x80000003, 0x80000004, 0x80000005, 0x80000006}},
        {"CentaurHauls", 2, 0x80000005,
         {0, 0x80000000, 1, 2, 0x80000001, 0x80000002, 0x80000003, 0x80000004, 0x80000005}},
        {"GenuineTMx86", 6, 0x80000006,
         {0, 0x80000000, 1, 2, 4, 6, 0x80000001, 0x80000002, 0x80000003, 0x80000004, 0x80000006}},
        {"GenuineIntel", 1, 0x00000008, {0, 0x80000000, 1}},  // no bit 31: no extended leaves
    };
    for (const auto& c : cases) {
        ResetCpuidMsrData();
        vendor(0, c.vendor, c.maxStd);
        answer(0, 0x80000000, {c.maxExt, 0, 0, 0});
        collect();
        EXPECT_EQ(leafOrder(leaves()), c.expected) << c.vendor << " " << c.maxStd;
    }
    EXPECT_EQ(collect()[0].Info.MaxExtLeaf, 0u);
}

// A processor without leaf 1 is not described by another processor's.
TEST_F(CpuCollection, EachProcessorIsDerivedFromItsOwnLeaves) {
    machine().cpus().setCount(2);
    vendor(0, "GenuineIntel", 1);
    answer(0, 1, {0x6FB, 0, 0, 0});
    vendor(1, "GenuineIntel", 0);
    const auto& cpus = collect();
    EXPECT_EQ(cpus[1].Notes, "!!!DeriveIntelAdditionalData didn' find CPUID[1]");
    EXPECT_EQ(leafOrder(leaves()), (std::vector<std::uint32_t>{0, 0x80000000, 1, 0, 0x80000000}));
}

// The demo board's processors are the Core 2 Quad's, its own MSRs kept.
TEST_F(CpuCollection, TheDemoBoardIdentifiesItsProcessors) {
    loadBoard("demo.json");
    installMachineReader();
    const auto& cpus = collect();
    ASSERT_EQ(cpus.size(), 4u);
    for (const auto& c : cpus) EXPECT_EQ(c.IdentifiedName, "Intel Core2 Quad Processor Q6600");
    EXPECT_EQ(cpus[3].Info.InitialApicId, 3u);
    EXPECT_EQ(*machine().cpus().readMsr(0x1B), 0xFEE00900u);
}

TEST_F(CpuCollection, AnUnknownVendorIsNotedAndReadsNoMsr) {
    vendor(0, "GenuineTMx86", 1);
    cpu(0).msrs[0x17] = 1;
    installMachineReader();
    const auto& cpus = collect();
    EXPECT_FALSE(cpus[0].IsIntel || cpus[0].IsAmd || cpus[0].IsVia);
    EXPECT_FALSE(cpus[0].MsrsRead);
    EXPECT_EQ(cpus[0].Notes, "!!! This CPU is from an unhandled manufacturer");
}

TEST_F(CpuCollection, Leaf1FieldsAndTheFamily15Adjustment) {
    vendor(0, "GenuineIntel", 1);
    answer(0, 1, {0x00000F65, 0x05100800, 0x00002001, 0x1FEBFBFF});
    const auto& info = collect()[0].Info;
    EXPECT_EQ(info.Signature, 0xF65u);
    EXPECT_EQ(info.Family, 15u);
    EXPECT_EQ(info.Model, 6u);
    EXPECT_EQ(info.Stepping, 5u);
    EXPECT_EQ(info.FullFamily, 15u);
    EXPECT_EQ(info.ClflushSize, 8u);
    EXPECT_EQ(info.LogicalCount, 16u);
    EXPECT_EQ(info.InitialApicId, 5u);
    EXPECT_TRUE(info.Htt);
    EXPECT_TRUE(info.Sse3 && info.Cx16);
    EXPECT_EQ(collect()[0].IntelInfo.LogicalPerPackage, 16u);

    ResetCpuidMsrData();
    vendor(0, "GenuineIntel", 1);
    answer(0, 1, {0x00100F42, 0x00000800, 0, 0x10000000});  // one logical processor: no HTT
    EXPECT_FALSE(collect()[0].Info.Htt);
    EXPECT_EQ(collect()[0].Info.Family, 15u + 1);
    EXPECT_EQ(collect()[0].Info.FullModel, 4u);
}

TEST_F(CpuCollection, CollectsOnceAndSharesTheArrays) {
    loadBoard("cpu-intel-core2.json");
    TCpuDataRef first, second;
    GetCpuidMsrData(first, nullptr, {});
    const unsigned calls = cpu(0).cpuidCalls[0];
    GetCpuidMsrData(second, nullptr, {});
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(cpu(0).cpuidCalls[0], calls);
    EXPECT_FALSE(first->at(0).MsrsRead);
}

// The first reader makes the next call collect again, now with MSRs; a
// second reader keeps what was collected. Notes start afresh.
TEST_F(CpuCollection, TheFirstMsrReaderCollectsAgain) {
    loadBoard("cpu-intel-core2.json");
    const std::string before = collect()[0].Notes;
    installMachineReader();
    const auto& again = collect();
    EXPECT_TRUE(again[0].MsrsRead);
    EXPECT_EQ(again[0].Msr1A0, 0x850089u);
    EXPECT_THAT(again[0].Notes, HasSubstr("MSR0017="));
    EXPECT_EQ(lines(again[0].Notes).size(), lines(before).size() + 12) << "no line of the first pass repeats";
    const unsigned calls = cpu(0).cpuidCalls[1];
    installMachineReader();
    collect();
    EXPECT_EQ(cpu(0).cpuidCalls[1], calls);
}

TEST_F(CpuCollection, AProcessorThatCannotBePinnedIsSkipped) {
    loadBoard("cpu-intel-core2.json");
    cpu(2).pinnable = false;
    const auto& cpus = collect();
    ASSERT_EQ(cpus.size(), 4u);
    EXPECT_FALSE(cpus[2].IsIntel);
    EXPECT_EQ(cpus[2].Notes, "!!! Processor 2 could not be pinned (error 5), its data was not collected");
    EXPECT_TRUE(cpus[3].IsIntel);
    EXPECT_EQ(cpus[3].Info.InitialApicId, 3u);
}

TEST_F(CpuCollection, ARaisingAmdReaderIsNotedAndTheCollectionGoesOn) {
    loadBoard("cpu-amd-k10.json");
    SetMsrReader([this](std::uint32_t index) -> std::uint64_t {
        if (index == 0xC0010071) throw std::runtime_error("general protection");
        return *machine().cpus().readMsr(index);
    });
    const auto& cpus = collect();
    ASSERT_EQ(cpus.size(), 4u);
    for (const auto& c : cpus) {
        EXPECT_EQ(c.MsrC0010071, MsrUnread);
        EXPECT_EQ(c.MsrC0010042, MsrUnread) << "no FID/VID control: not read";
        EXPECT_EQ(lines(c.Notes).at(0), "!!! GP reading MSRC0010071 on AMD CPU");
    }
}

TEST_F(CpuCollection, ARaisingIntelReaderEndsTheCollection) {
    loadBoard("cpu-intel-core2.json");
    SetMsrReader([](std::uint32_t) -> std::uint64_t { throw std::runtime_error("driver gone"); });
    TCpuDataRef cpus;
    EXPECT_THROW(GetCpuidMsrData(cpus, nullptr, {}), std::runtime_error);
    EXPECT_EQ(machine().cpus().affinity(), 0xFu);
    installMachineReader();
    GetCpuidMsrData(cpus, nullptr, {});  // not cached: collects now
    EXPECT_TRUE(cpus->at(0).MsrsRead);
}

TEST_F(CpuCollection, ExecuteDisableSwitchedOffByMsr) {
    loadBoard("cpu-intel-core2.json");
    for (unsigned i = 0; i < 4; ++i) cpu(i).msrs[0x1A0] = 0x0000000400850089;
    installMachineReader();
    const auto& c = collect()[0];
    EXPECT_TRUE(c.Info.ExecuteDisable);
    EXPECT_EQ(lines(c.Notes).at(12), "XD feature was disabled via MSR");
}

// The Core 2 Quad board through the driver object: every note line exact.
TEST_F(CpuCollection, Core2QuadNotesAndIdentity) {
    loadBoard("cpu-intel-core2.json");
    openDriver();
    const auto& cpus = collect(pciReader());
    ASSERT_EQ(cpus.size(), 4u);
    const auto& c = cpus[1];
    EXPECT_THAT(lines(c.Notes),
                ElementsAre("MSR0017=$0010000000000000  MSR002A=$0000000000000000  MSR002C=$0000000000000000  "
                            "MSR00CD=$0000000000000000  MSR00CE=$0000000000000000",
                            "MSR0194=$0000000000000000  MSR0198=$061C092609260926  MSR0199=$0000000000000926  "
                            "MSR019A=$0000000000000000  MSR019D=$0000000000000000",
                            "MSR01A0=$0000000000850089  MSR01A2=$FFFFFFFFFFFFFFFF  MSR01AD=$FFFFFFFFFFFFFFFF",
                            "  FID0=9.0  FID1=9.0  FID2=9.0  FID3=6.0  FID4=9.0  FID5=0.0  FID6=0.0  FID7=0.0",
                            "  VID0=1.30000  VID1=1.30000  VID2=1.30000  VID3=1.17500  VID4=1.30000  VID5=0.00000  "
                            "VID6=0.00000  VID7=0.00000",
                            "  D01=$0000", "  D02=$0000", "  D03=$0009", "  D04=$0000", "  D05=$0000", "  D06=$0000",
                            "  D07=$0000",
                            "!!!STRONG CHECK (HARD RATIO) Name='Q6700' sSPEC='SLACQ' CpuSpeed=2.660 BusSpeed=1066 "
                            "Ratio=10.0 TDP=95.00 ThermSpec=71.0 VMin=0.8500 VMax=1.5000 Socket='LGA775' "
                            "Tech='65 nm' Core='Kentsfield' Revision='G0'",
                            "!!!WEAK CHECK (NAME KEY) Name='X3220' sSPEC='' CpuSpeed=2.400 BusSpeed=1066 Ratio=9.0 "
                            "TDP=105.00 ThermSpec=0.0 VMin=0.0000 VMax=0.0000 Socket='LGA775' Tech='65 nm' "
                            "Core='Kentsfield' Revision='G0'"));
    EXPECT_EQ(c.BrandString, "Intel(R) Core(TM)2 Quad CPU    Q6600  @ 2.40GHz");
    EXPECT_EQ(c.IdentifiedName, "Intel Core2 Quad Processor Q6600");
    EXPECT_EQ(c.IntelInfo.SSpec, "SLACR");
    EXPECT_EQ(c.Info.MsrBusSpeed, 1066);
    EXPECT_EQ(c.Info.SocketCode, 15);
    // Leaf 2 and leaf 4 together: leaf 4 sets the counts, leaf 2 the lines.
    EXPECT_EQ(c.Info.L1Data.Size, 32u * 1024);
    EXPECT_EQ(c.Info.L1Data.Ways, 8u);
    EXPECT_EQ(c.Info.L1Data.Count, 4u);
    EXPECT_EQ(c.Info.L2.Size, 4u * 1024 * 1024);
    EXPECT_EQ(c.Info.L2.Count, 2u);
    EXPECT_EQ(c.Info.L2.Ways, 16u);
    EXPECT_EQ(c.Info.L2.LineSize, 64u);
    EXPECT_FALSE(c.Info.Htt) << "four logical processors on four cores";
    EXPECT_EQ(c.IntelInfo.CoreId, 1u);
    EXPECT_EQ(c.IntelInfo.CoresPerPackage, 4u);
}

// The Athlon 64 X2 board: MSRs through the driver, the northbridge through
// the PCI ports.
TEST_F(CpuCollection, Athlon64X2NotesAndIdentity) {
    loadBoard("cpu-amd-k8.json");
    openDriver();
    const auto& c = collect(pciReader())[1];
    EXPECT_THAT(lines(c.Notes),
                ElementsAre("MSRC0010015=$0000000001000010  MSRC0010042=$0008120800120212  MSRC0010071=$FFFFFFFFFFFFFFFF",
                            "AnalyzeFamilyF: BrandId=$0919 BaseModel=$0B PwrLmt=$08 BTI=$04 NN=$19 Socket=$03 "
                            "CmpCap=$01 TDP=0",
                            "AnalyzeFamilyF: CurrFID=13.0 StartFID=5.0 MaxFID=13.0 - CurrVID=1.3500 StartVID=1.1000 "
                            "MaxVID=1.3500",
                            "!!!STRONG CHECK (CPUSPEED) Name='4200+' sSPEC='' CpuSpeed=2.200 BusSpeed=1000 Ratio=11.0 "
                            "TDP=89.00 ThermSpec=0.0 VMin=1.1000 VMax=1.3500 Socket='Socket AM2' Tech='90 nm' "
                            "Core='windsor' Revision='BH-F2'",
                            "!!!STRONG CHECK (CPUSPEED) Name='4200+' sSPEC='' CpuSpeed=2.200 BusSpeed=1000 Ratio=11.0 "
                            "TDP=65.00 ThermSpec=0.0 VMin=1.1000 VMax=1.2500 Socket='Socket AM2' Tech='90 nm' "
                            "Core='windsor' Revision='BH-F2'",
                            "!!!WEAK CHECK (VOLTAGES) Name='5000+' sSPEC='' CpuSpeed=2.600 BusSpeed=1000 Ratio=13.0 "
                            "TDP=65.00 ThermSpec=0.0 VMin=1.1000 VMax=1.2500 Socket='Socket AM2' Tech='90 nm' "
                            "Core='windsor' Revision='BH-F2'"));
    EXPECT_EQ(c.IdentifiedName, "AMD Athlon(tm) 64 X2 Dual Core Processor 5000+");
    EXPECT_EQ(c.RevisionName, "5000+");
    EXPECT_EQ(c.AmdTdp, 89);
    EXPECT_EQ(c.Info.Tdp, 89);
    EXPECT_EQ(c.Info.DieRevision, "BH-F2");
    EXPECT_EQ(c.MaxCoreClock, 2600);
    EXPECT_EQ(c.Info.InitialApicId, 1u);
    EXPECT_EQ(c.Info.L2.Size, 512u * 1024);
    EXPECT_EQ(c.Info.L2.Count, 2u);
    EXPECT_EQ(c.Info.L2.TotalSize, 1024u * 1024);
    EXPECT_EQ(c.Info.L2.Ways, 16u);
    EXPECT_EQ(c.Info.L1Data.Size, 64u * 1024);
    EXPECT_EQ(c.Info.L1Data.LinesPerTag, 1u);
}

TEST_F(CpuCollection, Athlon64X2WithoutPciAccessStillReadsItsFidVid) {
    loadBoard("cpu-amd-k8.json");
    installMachineReader();
    const auto& c = collect()[0];
    EXPECT_EQ(lines(c.Notes).at(1), "AnalyzeFamilyF has no PCI access");
    EXPECT_EQ(c.MaxCoreClock, 2600);
    EXPECT_EQ(c.RevisionName, "5000+") << "the clock and voltages still choose the row";
}

TEST_F(CpuCollection, PhenomIIX4IsNamedFromItsBrandFieldsAndCofVid) {
    loadBoard("cpu-amd-k10.json");
    openDriver();
    const auto& c = collect(pciReader())[3];
    EXPECT_EQ(c.IdentifiedName, "AMD Phenom(tm) II X4 940 Processor");
    EXPECT_EQ(c.Info.CoreCode, 2);
    EXPECT_EQ(c.Info.SocketCode, 8) << "from the row";
    EXPECT_EQ(c.MaxCoreClock, 3000);
    EXPECT_NEAR(c.MsrVMax, 1.5, 1e-9);
    EXPECT_NEAR(c.MsrVMin, 0.875, 1e-9);
    EXPECT_EQ(c.RevisionName, "940");
    EXPECT_EQ(c.Info.L2.TotalSize, 2048u * 1024);
    EXPECT_EQ(c.Info.L3.TotalSize, 6144u * 1024);
    EXPECT_EQ(c.Info.L3.Ways, 48u);
    EXPECT_EQ(c.AmdCores, 4u);
    EXPECT_THAT(c.Notes, HasSubstr("AnalyzeFamily10: BrandId=$1A86 S1=$03 S2=$06 Model=$28 Pg=$00 PkgType=$01 NC=$03"));
    EXPECT_THAT(c.Notes, HasSubstr("AnalyzeFamily10: CurCpuFID=$0E CurCpuDID=$00 CurCpuVID=1.4000 CurNbDID=$00 "
                                   "CurNbVID=1.3250 MinVID=0.8750 MaxVID=1.5000 MaxCpuCof=3000 MaxNbFID=$06"));
}

TEST_F(CpuCollection, CoreI7TopologyFromLeaves4And11) {
    loadBoard("cpu-intel-corei7.json");
    openDriver();
    const auto& cpus = collect(pciReader());
    ASSERT_EQ(cpus.size(), 8u);
    struct Expected {
        unsigned cpu, smt, core;
    };
    for (const auto& e : {Expected{0, 0, 0}, Expected{1, 0, 1}, Expected{3, 0, 3}, Expected{4, 1, 0},
                          Expected{7, 1, 3}}) {
        const auto& intel = cpus[e.cpu].IntelInfo;
        EXPECT_EQ(intel.SmtId, e.smt) << e.cpu;
        EXPECT_EQ(intel.CoreId, e.core) << e.cpu;
        EXPECT_EQ(intel.PackageId, 0u);
        EXPECT_TRUE(intel.TopologyFromLeaf4 && intel.TopologyFromLeaf11);
    }
    const auto& c = cpus[0];
    EXPECT_EQ(c.IntelInfo.LogicalPerPackage, 8u);
    EXPECT_EQ(c.IntelInfo.CoresPerPackage, 4u);
    EXPECT_TRUE(c.Info.Htt);
    EXPECT_EQ(c.Msr1A2, 0x641400u);
    EXPECT_EQ(c.Info.L3.Size, 8u * 1024 * 1024);
    EXPECT_EQ(c.Info.L3.Ways, 16u);
    EXPECT_EQ(c.Info.L1Instruction.Ways, 4u);
    EXPECT_EQ(c.IdentifiedName, "Intel Core i7 Processor I7-920");
    EXPECT_THAT(c.Notes, HasSubstr("!!!STRONG CHECK (HARD RATIO) Name='950'"));
    EXPECT_THAT(c.Notes, Not(HasSubstr("Different topology")));
}

TEST_F(CpuCollection, EndlessSubleafListsStopAfter64) {
    vendor(0, "GenuineIntel", 11);
    answer(0, 1, {0x106A5, 0x00100800, 0, 0x10000000});
    for (std::uint32_t sub = 0; sub < 100; ++sub) {
        answer(0, 4, {0x1C004121, 0x01C0003F, 0x3F, 0}, sub);
        answer(0, 0xB, {1, 2, 0x100, 0}, sub);
    }
    collect();
    ASSERT_NE(FindLeaf(leaves(), 4), nullptr);
    EXPECT_EQ(FindLeaf(leaves(), 4)->Results.size(), 64u);
    EXPECT_EQ(FindLeaf(leaves(), 0xB)->Results.size(), 64u);
}

// Leaf 0Bh against leaf 4 on the second processor only: the note goes there.
TEST_F(CpuCollection, TopologyDisagreementIsNotedOnItsProcessor) {
    machine().cpus().setCount(2);
    for (unsigned i = 0; i < 2; ++i) {
        vendor(i, "GenuineIntel", 11);
        answer(i, 1, {0x106A5, 0x00040800 | i << 24, 0, 0x10000000});
        answer(i, 4, {0x04000121, 0x01C0003F, 0x3F, 0}, 0);
        answer(i, 0xB, {1, 2, 0x100, i}, 0);
        answer(i, 0xB, {2, 4, 0x201, i}, 1);
        answer(i, 0xB, {0, 0, 0, i}, 2);
    }
    answer(1, 0xB, {1, 2, 0x100, 5}, 0);  // x2APIC id 5 against initial APIC id 1
    const auto& cpus = collect();
    EXPECT_THAT(cpus[0].Notes, Not(HasSubstr("Different topology")));
    EXPECT_THAT(lines(cpus[1].Notes), ::testing::Contains("!!! Leaf 4 and 11 - Different topology: 1.0.0 1.0.1"));
    EXPECT_EQ(cpus[1].IntelInfo.PackageId, 1u);
}

// --- Decoding tables ---

namespace {

TNosCMCPUData intelWith(std::uint32_t family, std::uint32_t model) {
    TNosCMCPUData cpu;
    cpu.IsIntel = true;
    cpu.Info.Family = family;
    cpu.Info.Model = model;
    cpu.IntelInfo.LogicalPerPackage = 1;
    return cpu;
}

}  // namespace

TEST(CpuidLeaf2, DescriptorsFillTheCaches) {
    auto cpu = intelWith(6, 15);
    DecodeIntelLeaf2(cpu, {{0x7D302C01, 0x80FFFFFF, 0, 0}});
    EXPECT_EQ(cpu.Info.L1Data.Size, 32u * 1024);
    EXPECT_EQ(cpu.Info.L1Data.Ways, 8u);
    EXPECT_EQ(cpu.Info.L1Instruction.Size, 32u * 1024);
    EXPECT_EQ(cpu.Info.L1Instruction.Ways, 8u);
    EXPECT_EQ(cpu.Info.L2.Size, 2u * 1024 * 1024);
    EXPECT_EQ(cpu.Info.L2.Ways, 8u);
    EXPECT_EQ(cpu.Info.L2.Count, 1u);
    EXPECT_FALSE(cpu.Info.L3.Present) << "a register with bit 31 set carries nothing";
}

TEST(CpuidLeaf2, Descriptor49IsTheThirdLevelOnlyOnFamily15Model6) {
    auto xeon = intelWith(15, 6);
    DecodeIntelLeaf2(xeon, {{0x00000001, 0, 0, 0x49}});
    EXPECT_EQ(xeon.Info.L3.Size, 4u * 1024 * 1024);
    EXPECT_FALSE(xeon.Info.L2.Present);
    auto core2 = intelWith(6, 15);
    DecodeIntelLeaf2(core2, {{0x00000001, 0, 0, 0x49}});
    EXPECT_EQ(core2.Info.L2.Size, 4u * 1024 * 1024);
    EXPECT_EQ(core2.Info.L2.Ways, 16u);
}

TEST(CpuidLeaf2, SecondLevelDescriptors1DAnd24) {
    auto cpu = intelWith(6, 15);
    DecodeIntelLeaf2(cpu, {{0x00001D01, 0, 0, 0}});
    EXPECT_EQ(cpu.Info.L2.Size, 128u * 1024);
    EXPECT_EQ(cpu.Info.L2.Ways, 2u);
    EXPECT_EQ(cpu.Info.L2.LineSize, 64u);
    DecodeIntelLeaf2(cpu, {{0x00002401, 0, 0, 0}});
    EXPECT_EQ(cpu.Info.L2.Size, 1024u * 1024);
    EXPECT_EQ(cpu.Info.L2.Ways, 16u);
    EXPECT_EQ(cpu.Info.L2.LineSize, 64u);
}

TEST(CpuidLeaf2, TheCountByteOfTheFirstResultIsNoDescriptor) {
    auto cpu = intelWith(6, 15);
    DecodeIntelLeaf2(cpu, {{0x00000030, 0, 0, 0}, {0x00000030, 0, 0, 0}});
    EXPECT_TRUE(cpu.Info.L1Instruction.Present) << "30h in a later result counts";
    auto first = intelWith(6, 15);
    DecodeIntelLeaf2(first, {{0x00000030, 0, 0, 0}});
    EXPECT_FALSE(first.Info.L1Instruction.Present);
}

TEST(CpuidLeaf4, TopologyFromTheApicId) {
    struct Case {
        std::uint32_t logical, coresField, apic;
        std::uint32_t smt, core, package;
    };
    const Case cases[] = {
        {16, 7, 13, 1, 6, 0},  // 8 cores, 2 threads: 1101b
        {12, 5, 13, 1, 6, 0},  // six cores: CoreBits 3, not the trailing zeros of 6
        {4, 3, 6, 0, 2, 1},
    };
    for (const auto& c : cases) {
        auto cpu = intelWith(6, 44);
        cpu.IntelInfo.LogicalPerPackage = c.logical;
        cpu.Info.InitialApicId = c.apic;
        DecodeIntelLeaf4(cpu, {{0x121 | c.coresField << 26, 0x01C0003F, 0x3F, 0}, {}});
        EXPECT_EQ(cpu.IntelInfo.SmtId, c.smt) << c.apic;
        EXPECT_EQ(cpu.IntelInfo.CoreId, c.core) << c.apic;
        EXPECT_EQ(cpu.IntelInfo.PackageId, c.package) << c.apic;
        EXPECT_TRUE(cpu.IntelInfo.Leaf4Read);
    }
}

TEST(CpuidLeaf4, FullyAssociativeIsBit9AndTheSizeUsesTheWays) {
    auto cpu = intelWith(6, 44);
    cpu.IntelInfo.LogicalPerPackage = 2;
    DecodeIntelLeaf4(cpu, {{0x00000121, 0x01C0003F, 0x3F, 0},    // bit 8 only: 8 ways
                           {0x00000322, 0x00C0003F, 0x7F, 0},    // bit 9: fully associative
                           {0x00000143, 0x01C0003F, 0x1FF, 0},
                           {}});
    EXPECT_EQ(cpu.Info.L1Data.Ways, 8u);
    EXPECT_EQ(cpu.Info.L1Instruction.Ways, 255u);
    EXPECT_EQ(cpu.Info.L1Instruction.Size, 32u * 1024);
    EXPECT_EQ(cpu.Info.L2.Size, 256u * 1024);
    EXPECT_EQ(cpu.Info.L2.Count, 2u);
    EXPECT_EQ(cpu.Info.L2.TotalSize, 512u * 1024);
}

TEST(CpuidLeaf4, UnexpectedCachesAndAZeroLogarithmAreNoted) {
    auto cpu = intelWith(6, 44);
    cpu.IntelInfo.LogicalPerPackage = 1;
    DecodeIntelLeaf4(cpu, {{0x04000121, 0x01C0003F, 0x3F, 0},   // two cores, one logical: 1 div 2 = 0
                           {0x00000041, 0, 0, 0},                // data at level 2
                           {0x00000025, 0, 0, 0},                // type 5
                           {}});
    EXPECT_THAT(lines(cpu.Notes), ElementsAre("!!!IntegerLog2 received a ZERO!!!",
                                                        "Unexpected Level 2 Data Cache (1)",
                                                        "Unknown Deterministic Cache Type (5)"));
}

TEST(CpuidAmd, AssociativityCodes) {
    const std::uint32_t expected[16] = {0, 1, 2, 0, 4, 0, 8, 0, 16, 0, 32, 48, 64, 96, 128, 255};
    for (std::uint32_t code = 0; code < 16; ++code) EXPECT_EQ(AmdAssociativity(code), expected[code]) << code;
}

TEST(CpuidAmd, VendorQuirksOfTheCacheLeaves) {
    TNosCMCPUData via;
    via.IsVia = true;
    via.Info.Family = 6;
    via.Info.Model = 9;
    via.Info.Stepping = 8;
    DecodeAmdLeaf80000005(via, {0, 0, 0x40040120, 0x40040120});
    EXPECT_EQ(via.Info.L1Data.Ways, 2u);
    DecodeAmdLeaf80000006(via, {0, 0, 0x00404120, 0x0030B140});
    EXPECT_FALSE(via.Info.L3.Present) << "the third level is AMD's only";
    EXPECT_EQ(via.Info.L2.Ways, 4u);

    TNosCMCPUData duron;
    duron.IsAmd = true;
    duron.Info.Signature = 0x630;
    DecodeAmdLeaf80000006(duron, {0, 0, 0x00018140, 0});
    EXPECT_EQ(duron.Info.L2.Size, 64u * 1024);
}
