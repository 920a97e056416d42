#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cpu/cxcpu40.h"
#include "cpufixture.h"

namespace {

using Regs = platform::CpuidRegisters;

// Four registers holding 16 characters, lowest byte first.
Regs chars(const std::string& text16) {
    std::uint32_t w[4] = {};
    for (std::size_t i = 0; i < 16 && i < text16.size(); ++i)
        w[i / 4] |= static_cast<std::uint32_t>(static_cast<unsigned char>(text16[i])) << (8 * (i % 4));
    return {w[0], w[1], w[2], w[3]};
}

class CxCpuTest : public CpuTest {
protected:
    // One processor of a vendor with a signature (leaf-1 EAX, EBX, EDX) and
    // the highest extended leaf.
    void processor(const std::string& vendorName, std::uint32_t signature, std::uint32_t maxExtended = 0x80000000,
                   std::uint32_t ebx = 0, std::uint32_t edx = 0, unsigned index = 0) {
        vendor(index, vendorName, 3);
        answer(index, 1, Regs{signature, ebx, 0, edx});
        answer(index, 0x80000000, Regs{maxExtended, 0, 0, 0});
    }
    void brand(const std::string& text, std::uint32_t firstLeaf = 0x80000002, unsigned leaves = 3) {
        std::string padded = text;
        padded.resize(16 * leaves, '\0');
        for (unsigned i = 0; i < leaves; ++i) answer(0, firstLeaf + i, chars(padded.substr(16 * i, 16)));
    }
    TProcessorInformation info(std::uint8_t index = 0) { return TcxCpu().ProcessorInfo(index); }
};

TEST_F(CxCpuTest, VendorKindsFollowTheSignatureExactly) {
    const struct {
        const char* signature;
        std::uint8_t kind;
        const char* name;
    } cases[] = {
        {"GenuineIntel", 2, "Intel Corporation"}, {"AuthenticAMD", 3, "Advanced Micro Devices"},
        {"CyrixInstead", 4, "Via Technologies Inc"}, {"CentaurHauls", 5, "Via Technologies Inc"},
        {"UMC UMC UMC ", 7, "United Microelectronics Corp"}, {"GenuineTMx86", 9, "Transmeta"},
        {"genuineintel", 1, "Unknown Vendor"}, {"HygonGenuine", 1, "Unknown Vendor"},
    };
    for (const auto& c : cases) {
        vendor(0, c.signature, 1);
        const TProcessorVendor v = info().Vendor();
        EXPECT_EQ(v.Kind(), c.kind) << c.signature;
        EXPECT_EQ(v.Name(), c.name) << c.signature;
    }
}

TEST_F(CxCpuTest, SignatureWidensFamilyAndTheModelOfFamilies6And15) {
    const struct {
        std::uint32_t eax;
        std::uint32_t family, model;
        bool familyExtended, modelExtended;
    } cases[] = {
        {0x00120F21, 16, 2 * 16 + 2, true, true},  // family nibble 15, extended family 1, extended model 2
        {0x000206F1, 6, 2 * 16 + 15, false, true},
        {0x000306A9, 6, 3 * 16 + 10, false, true},
        {0x000005F1, 5, 15, false, false},  // extended model only counts for families 6 and 15
        {0x000205F1, 5, 15, false, false},
    };
    for (const auto& c : cases) {
        processor("GenuineIntel", c.eax);
        const TProcessorSignature s = info().Signature();
        EXPECT_EQ(s.Family().Value().Value(), c.family) << std::hex << c.eax;
        EXPECT_EQ(s.Family().Extended().Value(), c.familyExtended) << std::hex << c.eax;
        EXPECT_EQ(s.Model().Value().Value(), c.model) << std::hex << c.eax;
        EXPECT_EQ(s.Model().Extended().Value(), c.modelExtended) << std::hex << c.eax;
        EXPECT_EQ(s.Stepping().Value().Value(), c.eax & 0xF);
    }
    processor("GenuineIntel", 0x000306A9);
    EXPECT_EQ(info().Signature().AsText(), "x86 Family 6 Model 58 Stepping 9");
}

TEST_F(CxCpuTest, LeavesAreSupportedUpToTheHighestOfTheirRange) {
    vendor(0, "GenuineTMx86", 0xA);
    answer(0, 0x80000000, Regs{0x8000000A, 0, 0, 0});
    answer(0, 0x80860000, Regs{0x80860010, 0, 0, 0});
    const struct {
        std::uint32_t leaf;
        bool supported;
    } cases[] = {{0xA, true},        {0xB, false},        {0x80000008, true}, {0x80000009, false},
                 {0x80860007, true}, {0x80860008, false}, {0x80000099, false}};
    for (const auto& c : cases) {
        answer(0, c.leaf, Regs{0x11, 0x22, 0x33, 0x44});
        const TCpuid cpuid(0, 1, c.leaf);
        EXPECT_EQ(cpuid.Supported().Value(), c.supported) << std::hex << c.leaf;
        EXPECT_EQ(cpuid.Eax().Value(), c.supported ? 0x11u : 0u) << std::hex << c.leaf;
    }
    EXPECT_EQ(TCpuid(0, 0, 0xA).Eax().Value(), 0u) << "no execution, no registers";
    EXPECT_EQ(TProcessorCpuid(0).Transmeta().MaxLeaf().Value(), 0x80860010u);
}

TEST_F(CxCpuTest, OneProcessorIsNeverPinnedAndAMissingIndexReadsZeros) {
    processor("GenuineIntel", 0x6FB);
    cpu(0).pinnable = false;  // any affinity call would fail the read
    EXPECT_FALSE(TcxCpu().MultiProcessor);
    EXPECT_EQ(info(0).Signature().Signature().Value(), 0x6FBu);
    EXPECT_EQ(info(1).Signature().Signature().Value(), 0u);

    machine().cpus().setCount(2);
    processor("GenuineIntel", 0x6FB, 0x80000000, 0, 0, 0);
    processor("GenuineIntel", 0x6FA, 0x80000000, 0, 0, 1);
    EXPECT_TRUE(TcxCpu().MultiProcessor);
    EXPECT_EQ(info(1).Signature().Signature().Value(), 0x6FAu);
    EXPECT_EQ(info(2).Vendor().Kind(), VendorUnknown) << "never processor 0's registers";
    EXPECT_EQ(info(2).Signature().Signature().Value(), 0u);
}

TEST_F(CxCpuTest, LogicalCountSumsThePackagesOfHyperThreadingProcessors) {
    machine().cpus().setCount(2);
    processor("GenuineIntel", 0xF29, 0x80000000, 0x00020000, 1u << 28, 0);
    processor("GenuineIntel", 0xF29, 0x80000000, 0x00020000, 0, 1);
    const TProcessorCount count = TcxCpu().ProcessorCount();
    EXPECT_EQ(count.Count().Value(), 2u);
    EXPECT_EQ(count.LogicalCount().Value(), 3u);
}

TEST_F(CxCpuTest, FeatureSetsTakeTheVendorRowsAndTheExceptions) {
    processor("GenuineIntel", 0x6FB, 0x80000001, 0, 1u << 4);
    answer(0, 0x80000001, Regs{0, 0, 0, 1u << 19});
    const TProcessorFeatures intel = info().Features();
    EXPECT_EQ(intel.AmdExtended().FeatureByBit(19).Mnemonic(), "CLFSH");
    EXPECT_TRUE(intel.AmdExtended().FeatureByBit(19).Available().Value());
    const TCpuFeature tsc = intel.FeatureByName("tsc");
    EXPECT_EQ(tsc.Bit(), 4);
    EXPECT_EQ(tsc.Description(), "Time stamp counter");
    EXPECT_TRUE(tsc.Available().Value());
    EXPECT_EQ(intel.FeatureByName("MMX+").Mnemonic(), "RES") << "no exception for Intel";
    EXPECT_EQ(intel.Standard().FeatureByName("NOPE").Bit(), 255);
    EXPECT_FALSE(intel.PowerManagement().Available().Value());
    EXPECT_EQ(intel.PowerManagement().Count().Value(), 0u);

    const struct {
        const char* vendor;
        std::uint32_t signature;
        const char* name;
        std::uint8_t bit;
    } exceptions[] = {
        {"AuthenticAMD", 0x681, "MMX+", 22}, {"CyrixInstead", 0x520, "mmx+", 24},
        {"AuthenticAMD", 0x501, "PGE", 9},   {"AuthenticAMD", 0x681, "SEP", 255},  // bit 10 has no row here
        {"AuthenticAMD", 0x511, "PGE", 13},  {"AuthenticAMD", 0xF48, "SEP", 11},
    };
    for (const auto& e : exceptions) {
        processor(e.vendor, e.signature, 0x80000001);
        // The standard set, where slot 22 holds "ACPI".
        EXPECT_EQ(info().Features().Standard().FeatureByName(e.name).Bit(), e.bit) << e.vendor << " " << e.name;
    }
    processor("AuthenticAMD", 0xF48, 0x80000001);
    EXPECT_EQ(info().Features().AmdExtended().FeatureByBit(19).Mnemonic(), "MP");
    EXPECT_EQ(info().Features().PowerManagement().FeatureByBit(0).Mnemonic(), "TS");
}

TEST_F(CxCpuTest, NamesComeFromTheBrandStringOrTheLookupTables) {
    processor("GenuineIntel", 0x6FB, 0x80000004);
    brand("  Intel(R) Core(TM)2 CPU\t ");
    EXPECT_EQ(info().Name().Name(), "Intel(R) Core(TM)2 CPU");
    EXPECT_FALSE(info().Name().LookedUp().Value());

    const struct {
        const char* vendor;
        std::uint32_t signature, ebx;
        const char* name;
    } cases[] = {
        {"GenuineIntel", 0xF12, 8, "Intel Pentium 4"},
        {"GenuineIntel", 0xF13, 8, "Intel Geniune Processor"},
        {"GenuineIntel", 0x6B1, 3, "Intel Celeron"},
        {"GenuineIntel", 0x6B4, 3, "Intel Pentium III Xeon"},
        {"GenuineIntel", 0xF13, 14, "Intel Mobile Pentium 4"},
        {"GenuineIntel", 0x543, 0, "Intel Pentium MMX"},
        {"GenuineIntel", 0x633, 0, "Intel Pentium II"},
        {"GenuineIntel", 0x1633, 0, "Intel Pentium II Overdrive"},
        {"GenuineIntel", 0x6D6, 0, "Intel x86 Family 6 Model 13 Stepping 6"},
        {"AuthenticAMD", 0x580, 0, "AMD K6 2"},
        {"AuthenticAMD", 0x5D0, 0, "AMD K6 III"},
        {"CyrixInstead", 0x670, 0, "Via Cyrix III"},
        {"CentaurHauls", 0x590, 0, "IDT WinChip 3"},
        {"NexGenDriven", 0x500, 0, "NexGen Nx586"},
        {"UMC UMC UMC ", 0x420, 0, "UMC U5D"},
        {"RiseRiseRise", 0x520, 0, "Rise iDragon II"},
        {"Nobody Knows", 0x521, 0, "Unknown x86 Family 5 Model 2 Stepping 1"},
    };
    for (const auto& c : cases) {
        processor(c.vendor, c.signature, 0x80000000, c.ebx);
        EXPECT_TRUE(info().Name().LookedUp().Value()) << c.name;
        EXPECT_EQ(info().Name().Name(), c.name);
    }
}

TEST_F(CxCpuTest, IntelFamily6NamesFollowTheLevel2Size) {
    const struct {
        std::uint32_t signature;
        std::uint8_t descriptor;
        std::uint32_t psn;
        const char* name;
    } cases[] = {
        {0x651, 0x40, 0, "Intel Celeron"},         {0x651, 0x41, 0, "Intel Pentium II"},
        {0x651, 0x44, 0, "Intel Pentium II Xeon"}, {0x661, 0x42, 0, "Intel Mobile Pentium II"},
        {0x661, 0x40, 1u << 18, "Intel Mobile Celeron"}, {0x661, 0x40, 0, "Intel Celeron"},
        {0x672, 0x45, 0, "Intel Pentium III Xeon"}, {0x672, 0x43, 0, "Intel Pentium III"},
    };
    for (const auto& c : cases) {
        processor("GenuineIntel", c.signature, 0x80000000, 0, c.psn);
        answer(0, 2, Regs{0x01u | std::uint32_t{c.descriptor} << 8, 0, 0, 0});
        EXPECT_EQ(info().Name().Name(), c.name) << std::hex << c.signature << " " << int(c.descriptor);
    }
}

TEST_F(CxCpuTest, TransmetaIsNamedByItsOwnLeaves) {
    processor("GenuineTMx86", 0x543, 0x80000004);
    answer(0, 0x80860000, Regs{0x80860006, 0, 0, 0});
    brand("Transmeta(tm) Crusoe(tm) Processor TM5800", 0x80860003, 4);
    EXPECT_EQ(info().Name().Name(), "Transmeta(tm) Crusoe(tm) Processor TM5800");
    answer(0, 0x80860000, Regs{0x80860005, 0, 0, 0});
    EXPECT_EQ(info().Name().Name(), "Transmeta x86 Family 5 Model 4 Stepping 3");
}

TEST_F(CxCpuTest, DescriptorCachesTakeTheLastKnownRow) {
    processor("GenuineIntel", 0x6B1);
    answer(0, 2, Regs{0x00004301, 0, 0, 0x00700040});  // 40h, 43h and a trace cache; EDX's 40h too
    const TProcessorCache cache = info().Cache();
    const TCpuCache l2 = cache.Level2();
    EXPECT_EQ(l2.Size().Value(), 512u * 1024);
    EXPECT_EQ(l2.Associativity().AsText(), "4-Way");
    EXPECT_EQ(l2.LineSize().Value(), 32u);
    EXPECT_FALSE(cache.Level3().Present().Value()) << "40h says: no third level";
    EXPECT_EQ(cache.Trace().Size().Value(), 12u * 1024);
    EXPECT_EQ(cache.Trace().Associativity().WaysCode().Value(), 6u);
    EXPECT_FALSE(cache.Level1().Unified().Present().Value());

    answer(0, 2, Regs{0x00004001, 0x80000043, 0, 0});  // a register with bit 31 holds no descriptors
    EXPECT_FALSE(info().Cache().Level2().Present().Value());
    EXPECT_EQ(info().Cache().Level2().Associativity().AsText(), "None");

    answer(0, 2, Regs{0x00000000, 0, 0, 0x00430000});  // a repeat count of 0 executes nothing
    EXPECT_FALSE(info().Cache().Level2().Present().Value());
}

TEST_F(CxCpuTest, DescriptorLevelsAndWayCountsOutsideTheTextTable) {
    const struct {
        std::uint32_t signature;
        std::uint8_t descriptor;
        bool level3;
        std::uint32_t sizeKb;
        const char* ways;
    } cases[] = {
        {0x6F6, 0x1D, false, 128, "2-Way"},   {0x6F6, 0x24, false, 1024, "16-Way"},
        {0xF68, 0x49, true, 4096, "16-Way"},  {0x6F6, 0x49, false, 4096, "16-Way"},
        {0x6F6, 0x48, false, 3072, "12-Way"}, {0x6F6, 0x4E, false, 6144, "24-Way"},
        {0x6F6, 0x4A, true, 6144, "12-Way"},
    };
    for (const auto& c : cases) {
        processor("GenuineIntel", c.signature);
        answer(0, 2, Regs{0x00000001u | std::uint32_t{c.descriptor} << 8, 0, 0, 0});
        const TProcessorCache cache = info().Cache();
        const TCpuCache filled = c.level3 ? cache.Level3() : cache.Level2();
        const TCpuCache other = c.level3 ? cache.Level2() : cache.Level3();
        EXPECT_EQ(filled.Size().Value(), c.sizeKb * 1024) << std::hex << int(c.descriptor);
        EXPECT_EQ(filled.LineSize().Value(), 64u) << std::hex << int(c.descriptor);
        EXPECT_EQ(filled.Associativity().AsText(), c.ways) << std::hex << int(c.descriptor);
        EXPECT_FALSE(other.Present().Value()) << std::hex << int(c.descriptor);
        EXPECT_EQ(other.Associativity().AsText(), "None") << "an absent cache";
    }
}

TEST_F(CxCpuTest, ExtendedLeafWayCountsOutsideTheTextTable) {
    processor("AuthenticAMD", 0x100F42, 0x80000006);
    // L1 data 64 KB 6-way, L1 code 64 KB fully associative; L2 512 KB code 0Ah (32 ways).
    answer(0, 0x80000005, Regs{0, 0, 0x40060140, 0x40FF0140});
    answer(0, 0x80000006, Regs{0, 0, 0x0200A140, 0});
    const TProcessorCache amd = info().Cache();
    EXPECT_EQ(amd.Level1().Data().Associativity().AsText(), "6-Way");
    EXPECT_EQ(amd.Level1().Code().Associativity().AsText(), "Full");
    EXPECT_EQ(amd.Level2().Associativity().AsText(), "32-Way");
    EXPECT_EQ(amd.Level2().Associativity().WaysCode().Value(), 0u) << "no index stands for 32 ways";
}

TEST_F(CxCpuTest, ExtendedLeafCaches) {
    processor("AuthenticAMD", 0x642, 0x80000006);
    answer(0, 0x80000005, Regs{0, 0, 0x40020140, 0x40080140});
    answer(0, 0x80000006, Regs{0, 0, 0x01004140, 0});  // 256 KB, code 4 (4-way) in bits 12-15
    const TProcessorCache amd = info().Cache();
    const TCpuCache data = amd.Level1().Data();
    EXPECT_EQ(data.Size().Value(), 64u * 1024);
    EXPECT_EQ(data.Associativity().AsText(), "2-Way");
    EXPECT_EQ(data.LineSize().Value(), 64u);
    EXPECT_EQ(amd.Level1().Code().Associativity().AsText(), "8-Way") << "raw way counts map directly";
    EXPECT_EQ(amd.Level2().Size().Value(), 256u * 1024);
    EXPECT_EQ(amd.Level2().Associativity().AsText(), "16-Way") << "family 6 AMD whatever ECX says";
    for (const TCpuCache& absent : {amd.Level1().Unified(), amd.Level3(), amd.Trace()})
        EXPECT_FALSE(absent.Present().Value());

    processor("AuthenticAMD", 0xF48, 0x80000006);
    answer(0, 0x80000006, Regs{0, 0, 0x02006140, 0});
    EXPECT_EQ(info().Cache().Level2().Size().Value(), 512u * 1024);
    EXPECT_EQ(info().Cache().Level2().Associativity().AsText(), "8-Way");

    processor("CentaurHauls", 0x698, 0x80000006);
    answer(0, 0x80000006, Regs{0, 0, 0x40804120, 0});
    EXPECT_EQ(info().Cache().Level2().Size().Value(), 64u * 1024);
}

TEST_F(CxCpuTest, NumberTexts) {
    const struct {
        std::uint32_t value;
        const char* size;
        const char* mhz;
    } cases[] = {
        {999, "999 bytes", "999 Mhz"},     {1000, "1000 bytes", "1.0 Ghz"},    {1023, "1023 bytes", "1.0 Ghz"},
        {1024, "1.0 Kb", "1.0 Ghz"},       {2666, "2.6 Kb", "2.7 Ghz"},       {1048576, "1.0 Mb", "1,048.6 Ghz"},
        {0x40000000, "1.0 Gb", "1,073,741.8 Ghz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TCpuNumber(c.value).AsSize(), c.size);
        EXPECT_EQ(TCpuNumber(c.value).AsMhz(), c.mhz);
    }
    const TCpuNumber n(0x756E6547);
    EXPECT_EQ(n.AsChars(), "Genu");
    EXPECT_EQ(n.AsHex(), "$756E6547");
    EXPECT_EQ(n.HiWord().HiByte(), 0x75);
    EXPECT_EQ(n.LoWord().LoByte(), 0x47);
    EXPECT_EQ(n.BitCount(), 18);
    EXPECT_TRUE(n.Bits(32).Value());
    EXPECT_EQ(TCpuNumber(1234).AsVersion(), "1.2.34");
    EXPECT_EQ(TCpuNumber(2005).AsVersion(), "2.0.05");
    EXPECT_EQ(TCpuBoolean(true).AsYesNo() + TCpuBoolean(false).AsTrueFalse() + TCpuBoolean(true).AsOnOff(),
              "YesFalseOn");
}

TEST_F(CxCpuTest, NormaliseMhzSnapsToNominalClocks) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {1466, 1466}, {1999, 2000}, {2998, 3000}, {1349, 1350}, {1324, 1320}, {1334, 1333},
        {1450, 1450}, {1458, 1460}, {1475, 1480}, {1400, 1400}, {2095, 2100}, {8, 0},
    };
    for (const auto& [measured, nominal] : cases) EXPECT_EQ(NormaliseMhz(measured), nominal) << measured;
}

TEST_F(CxCpuTest, SpeedMeasuresTheBoardsRateOnVirtualTime) {
    loadBoard("cpu-intel-core2.json");
    const TProcessorSpeedInformation speed = info().Speed();
    EXPECT_NEAR(speed.RawMhz().Value(), 2400u, 1u);
    EXPECT_EQ(speed.NormalMhz().Value(), 2400u);
    EXPECT_EQ(speed.ModelRating(), "") << "not AMD";
    EXPECT_EQ(machine().clock().monotonicMs(), 200u) << "the 5-tick wait had passed";

    machine().simClock().setPerformanceFrequency(0);
    EXPECT_EQ(info().Speed().RawMhz().Value(), 0u);
    EXPECT_EQ(info().Speed().NormalMhz().Value(), 0u);
}

TEST_F(CxCpuTest, AmdRatingsNeedTheExactNormalisedClock) {
    const struct {
        std::uint32_t mhz;
        std::uint32_t l2Ecx;
        const char* rating;
    } cases[] = {
        {1334, 0x01008140, "1500+"}, {1450, 0x01008140, ""}, {2200, 0x02008140, "3200+"},
        {1667, 0x02008140, "2200+"}, {1667, 0x00408140, ""},
    };
    for (const auto& c : cases) {
        processor("AuthenticAMD", 0x681, 0x80000006);
        answer(0, 0x80000006, Regs{0, 0, c.l2Ecx, 0});
        cpu(0).tscHz = std::uint64_t{c.mhz} * 1'000'000 + 500'000;
        EXPECT_EQ(info().Speed().ModelRating(), c.rating) << c.mhz;
    }
}

TEST_F(CxCpuTest, ErrataAndSerialNumbers) {
    processor("AuthenticAMD", 0x630, 0x80000000, 0, 1u << 18);
    answer(0, 3, Regs{0, 0x11112222, 0x9ABCDEF0, 0x12345678});
    const TProcessorInformation amd = info();
    EXPECT_FALSE(amd.Errata().FdivBug().Value());
    EXPECT_TRUE(amd.Errata().AmdModel3Stepping0().Value());
    EXPECT_TRUE(amd.Serial().Available().Value());
    EXPECT_EQ(amd.Serial().AsText(), "0000-0000-1234-5678-9ABC-DEF0");
    EXPECT_EQ(amd.Serial().AsHex(), "00000000123456789ABCDEF0");

    processor("GenuineTMx86", 0x543);
    answer(0, 3, Regs{0, 0x0000ABCD, 0, 0});
    EXPECT_FALSE(info().Errata().AmdModel3Stepping0().Value());
    EXPECT_FALSE(info().Serial().Available().Value());
    EXPECT_EQ(info().Serial().AsText(), "0000-ABCD");
    EXPECT_EQ(info().Serial().AsHex(), "0000ABCD");
}

// What the start-up and the report ask of a board's processor.
TEST_F(CxCpuTest, ABoardsProcessorThroughTheProgramsCalls) {
    loadBoard("cpu-intel-core2.json");
    const TcxCpu cpu;
    EXPECT_TRUE(cpu.MultiProcessor);
    EXPECT_EQ(cpu.ProcessorCount().Count().Value(), 4u);
    const TProcessorInformation first = cpu.ProcessorInfo(0);
    EXPECT_TRUE(first.Features().FeatureByName("TSC").Available().Value());
    EXPECT_EQ(first.Vendor().Kind(), VendorIntel);
    EXPECT_EQ(first.Name().Name(), "Intel(R) Core(TM)2 Quad CPU    Q6600  @ 2.40GHz");
    EXPECT_EQ(first.Signature().AsText(), "x86 Family 6 Model 15 Stepping 11");
    EXPECT_EQ(first.Cache().Level2().Size().AsSize(), "4.0 Mb");
}

}  // namespace
