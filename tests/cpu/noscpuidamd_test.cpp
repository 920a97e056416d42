#include <gmock/gmock.h>

#include "cpu/cpufixture.h"
#include "cpu/noscpuidrevs.h"

using ::testing::HasSubstr;

namespace {

TNosCMCPUData amd(std::uint32_t family, std::uint32_t extModel = 0) {
    TNosCMCPUData cpu;
    cpu.IsAmd = true;
    cpu.Info.Family = family;
    cpu.Info.ExtModel = extModel;
    return cpu;
}

TNosCMCPUIDDataArray leaves(std::uint32_t ext1Eax, std::uint32_t ext1Ebx, std::uint32_t ncField = 0,
                            std::uint32_t leaf1Ebx = 0) {
    return {{1, {{0, leaf1Ebx, 0, 0}}}, {0x80000001, {{ext1Eax, ext1Ebx, 0, 0}}}, {0x80000008, {{0, 0, ncField, 0}}}};
}

// Family 16 and 17 brand identifiers.
std::uint32_t k10Brand(std::uint32_t pkgType, std::uint32_t pg, std::uint32_t s1, std::uint32_t model,
                       std::uint32_t s2) {
    return pkgType << 28 | pg << 15 | s1 << 11 | model << 4 | s2;
}

}  // namespace

TEST(AmdConversions, FidAndVid) {
    EXPECT_EQ(AmdK8Ratio(18, false), 13);
    EXPECT_EQ(AmdK8Ratio(19, false), 0) << "odd FIDs before revision F";
    EXPECT_EQ(AmdK8Ratio(19, true), 13.5);
    EXPECT_EQ(AmdK8Ratio(44, true), 0);
    EXPECT_DOUBLE_EQ(AmdK8Voltage(30, false), 0.8);
    EXPECT_EQ(AmdK8Voltage(31, false), 0);
    EXPECT_DOUBLE_EQ(AmdK8Voltage(34, true), 0.7375);
    EXPECT_EQ(AmdK8Voltage(64, true), 0);
    EXPECT_DOUBLE_EQ(AmdK10Voltage(123), 1.55 - 0.0125 * 123);
    EXPECT_EQ(AmdK10Voltage(124), 0);
}

TEST(AnalyzeAthlon64AndOpteron, NamesByBrandTableIndex) {
    struct Case {
        std::uint32_t index, nn;
        const char* name;
        std::uint8_t code;
    };
    const Case cases[] = {
        {4, 13, "AMD Athlon(tm) 64 Processor 3500+", 23},
        {12, 6, "AMD Opteron(tm) Processor 150", 6},
        {24, 3, "AMD Athlon(tm) 64 Processor 1200+", 6},
        {46, 5, "Dual Core AMD Opteron(tm) Processor 170 HE", 8},
        {7, 5, "!!!AMD Processor model unknown", 0},
    };
    for (const auto& c : cases) {
        auto cpu = amd(15, 2);
        AnalyzeAmdFamily(cpu, leaves(0x20F32, c.index << 6 | c.nn, 0, 0x42), {});
        EXPECT_EQ(cpu.IdentifiedName, c.name);
        EXPECT_EQ(cpu.Info.CoreCode, c.code);
        EXPECT_FALSE(cpu.Info.EngineeringSample);
    }
    auto cpu = amd(15, 2);
    AnalyzeAmdFamily(cpu, leaves(0x20F32, 0x100 | 0, 0, 0x42), {});
    EXPECT_TRUE(cpu.Info.EngineeringSample);
    EXPECT_EQ(cpu.Notes,
              "AnalyzeAthlon64AndOpteron: 8bitBrandId=$0042 BrandId=$0100 BrandTableIndex=$0004 NN=$00");
}

TEST(AnalyzeAthlon64AndOpteron, FidVidStep) {
    auto cpu = amd(15, 2);
    cpu.MsrsRead = true;
    cpu.MsrC0010015 = 0x0E000000;  // StartFID 14: 11x
    cpu.MsrC0010042 = MsrUnread;
    AnalyzeAmdFamily(cpu, {}, {});
    EXPECT_THAT(cpu.Notes, HasSubstr("AnalyzeAthlon64AndOpteron: StartFID=11"));
    EXPECT_EQ(cpu.MaxCoreClock, 2200);

    auto missing = amd(15, 2);
    missing.MsrsRead = true;
    missing.MsrC0010042 = 10ull | 10ull << 8 | 25ull << 16 | 6ull << 48;
    AnalyzeAmdFamily(missing, {}, {});
    EXPECT_TRUE(missing.MaxClockMissing) << "StartFID below a MaxFID of 25";
    EXPECT_EQ(missing.MaxCoreClock, 0);
    EXPECT_DOUBLE_EQ(missing.MsrVMax, 1.4);
}

TEST(AnalyzeFamilyF, NamesSocketAndTdp) {
    const TPciConfigReader northbridge = [](std::uint32_t bus, std::uint32_t device, std::uint32_t, std::uint32_t reg) {
        if (bus != 0 || device != 24) return 0xFFFFFFFFu;
        return reg == 0 ? 0x11031022u : 0x00001000u;  // CmpCap 1
    };
    // AM2 (package 3), BTI 4, PwrLmt 6, NN 13.
    const std::uint32_t brand = 13 | 3 << 6 | 4 << 9;
    auto cpu = amd(15, 4);
    AnalyzeAmdFamily(cpu, leaves(0x40FB2, brand), northbridge);
    EXPECT_EQ(cpu.IdentifiedName, "AMD Athlon(tm) 64 X2 Dual Core Processor 3800+");
    EXPECT_EQ(cpu.Info.CoreCode, 24);
    EXPECT_EQ(cpu.Info.SocketCode, 7);
    EXPECT_EQ(cpu.AmdTdp, 65);

    auto unknown = amd(15, 4);
    AnalyzeAmdFamily(unknown, leaves(0x40F22, 13 | 1 << 6 | 30 << 9), northbridge);
    EXPECT_THAT(lines(unknown.Notes), ::testing::ElementsAre(
        "AnalyzeFamilyF: BrandId=$3C4D BaseModel=$02 PwrLmt=$02 BTI=$1E NN=$0D Socket=$02 CmpCap=$01 TDP=0",
        "!!!AnalyzeFamilyF found unknown socket type (2)", "!!!DeriveAmdAdditionalData didn' find this PwrLmt"));
    EXPECT_EQ(unknown.IdentifiedName, "!!!AMD Processor model unknown");
}

TEST(AnalyzeFamilyF, WithoutTheNorthbridgeTheFidVidStillRuns) {
    const TPciConfigReader nothing = [](std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
        return 0xFFFFFFFFu;
    };
    auto cpu = amd(15, 4);
    cpu.MsrsRead = true;
    cpu.MsrC0010042 = 18ull << 16 | 34ull << 48;  // a 6-bit VID of revision F
    AnalyzeAmdFamily(cpu, leaves(0x40FB2, 0x919), nothing);
    EXPECT_THAT(lines(cpu.Notes),
                ::testing::ElementsAre("AnalyzeFamilyF can't find the NORTHBRIDGE",
                                       "AnalyzeFamilyF: CurrFID=4.0 StartFID=4.0 MaxFID=13.0 - CurrVID=1.5500 "
                                       "StartVID=1.5500 MaxVID=0.7375"));
    EXPECT_EQ(cpu.IdentifiedName, "");
    EXPECT_EQ(cpu.MaxCoreClock, 2600);
    EXPECT_DOUBLE_EQ(cpu.MsrVMax, 0.7375);
}

TEST(AnalyzeFamily10, PrefixModelAndSuffix) {
    struct Case {
        std::uint32_t pkgType, pg, nc, s1, model, s2;
        const char* name;
        std::uint8_t code, socket;
    };
    const Case cases[] = {
        {1, 0, 3, 4, 10, 6, "AMD Phenom(tm) II X4 810 Processor", 2, 9},
        {1, 0, 3, 2, 98, 3, "AMD Phenom(tm) 9850 Quad-Core Processor", 1, 0},
        {1, 0, 1, 3, 40, 3, "AMD Athlon(tm) II X2 24050 Dual-Core Processor", 30, 0},
        {1, 0, 0, 3, 40, 3, "AMD Athlon(tm) II 14050 Dual-Core Processor", 28, 0},  // no (NC, S2) row
        {1, 0, 3, 3, 25, 6, "AMD Phenom(tm) II X4 925 Processor", 2, 9},
        {1, 0, 3, 3, 40, 6, "AMD Phenom(tm) II X4 940 Processor", 2, 0},
        {1, 0, 2, 1, 50, 15, "AMD Athlon(tm) 50", 22, 0},                          // the "any" row
        {0, 0, 3, 1, 80, 11, "Quad-Core AMD Opteron(tm) Processor 2380 HE", 9, 0},
        {0, 1, 3, 1, 4, 3, "Embedded AMD Opteron(tm) Processor 04VS", 7, 0},
        {2, 0, 1, 1, 20, 15, "AMD Turion(tm) II Dual-Core Mobile M520", 41, 12},
        {5, 0, 1, 1, 20, 15, "20", 0, 0},
    };
    for (const auto& c : cases) {
        auto cpu = amd(16);
        AnalyzeAmdFamily(cpu, leaves(0x100F42, k10Brand(c.pkgType, c.pg, c.s1, c.model, c.s2), c.nc), {});
        EXPECT_EQ(cpu.IdentifiedName, c.name);
        EXPECT_EQ(cpu.Info.CoreCode, c.code) << c.name;
        EXPECT_EQ(cpu.Info.SocketCode, c.socket) << c.name;
    }
    auto kit = amd(16);
    AnalyzeAmdFamily(kit, leaves(0x100F42, k10Brand(1, 1, 0, 0, 0), 3), {});
    EXPECT_EQ(kit.IdentifiedName, "AMD Thermal Test Kit");
    auto sample = amd(16);
    AnalyzeAmdFamily(sample, leaves(0x100F42, k10Brand(1, 0, 0, 0, 0), 3), {});
    EXPECT_EQ(sample.IdentifiedName, "AMD Engineering Sample");
    EXPECT_TRUE(sample.Info.EngineeringSample);
}

TEST(AnalyzeFamily10, CofVidStep) {
    auto cpu = amd(16);
    cpu.MsrsRead = true;
    cpu.MsrC0010071 = 28ull << 49;
    AnalyzeAmdFamily(cpu, {}, {});
    EXPECT_EQ(cpu.MaxCoreClock, 2800);
    EXPECT_THAT(lines(cpu.Notes), ::testing::ElementsAre("!!!DeriveAmdAdditionalData didn' find CPUID[$80000001]",
                                                         "AnalyzeFamily10: CurCpuFID=$00 CurCpuDID=$00 CurCpuVID=1.5500 "
                                                         "CurNbDID=$00 CurNbVID=1.5500 MinVID=1.5500 MaxVID=1.5500 "
                                                         "MaxCpuCof=2800 MaxNbFID=$00"));
    auto none = amd(16);
    none.MsrsRead = true;
    none.MsrC0010071 = 0;
    AnalyzeAmdFamily(none, {}, {});
    EXPECT_TRUE(none.MaxClockMissing);
}

TEST(AnalyzeFamily11, NameAndCofVid) {
    auto cpu = amd(17);
    cpu.MsrsRead = true;
    cpu.MsrC0010071 = 12ull << 49;
    AnalyzeAmdFamily(cpu, leaves(0x200F31, k10Brand(2, 0, 0, 82, 0), 1), {});
    EXPECT_EQ(cpu.IdentifiedName, "AMD Turion(tm) X2 Ultra Dual-Core Mobile ZM-82");
    EXPECT_EQ(cpu.Info.CoreCode, 40);
    EXPECT_EQ(cpu.Info.SocketCode, 11);
    EXPECT_EQ(cpu.MaxCoreClock, 2000);
    EXPECT_THAT(cpu.Notes, HasSubstr("AnalyzeFamily11: BrandId=$0520 S1=$00 S2=$00 Model=$52 Pg=$00 PkgType=$02 NC=$01"));
}
