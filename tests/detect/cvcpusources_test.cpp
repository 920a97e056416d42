// The processors' on-die sensors: AMD nodes on a simulated PCI space and
// Intel's thermal sensors on a simulated Core 2.

#include "detect/cvcpusources.h"

#include <gtest/gtest.h>

#include "chips/cvintelprobe.h"
#include "cpu/noscpuidmsr.h"
#include "detect/cvdetect.h"
#include "detect/detectfixture.h"
#include "hw/cvlink.h"
#include "platform/sim/machine.h"

namespace {

using platform::sim::PciLocation;

constexpr const char* PhenomName = "AMD Phenom(tm) II X4 940 Processor";

class CpuSources : public DetectTest {
protected:
    CpuSources() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/cpu-amd-k10.json");
        IOPort = std::make_unique<TIOPort>();
        addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
        pciLink = addLink(LinkKinds::PCI, HostKinds::None, 0);
    }
    // An AMD northbridge function 3 with the given device id and registers.
    void addNode(int device, std::uint16_t deviceId, std::vector<std::pair<int, std::uint32_t>> regs) {
        platform::sim::PciConfigSpace config{};
        const std::uint32_t id = std::uint32_t{deviceId} << 16 | 0x1022;
        for (int i = 0; i < 4; ++i) config[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(id >> (8 * i));
        for (const auto& [reg, value] : regs)
            for (int i = 0; i < 4; ++i)
                config[static_cast<std::size_t>(reg + i)] = static_cast<std::uint8_t>(value >> (8 * i));
        const PciLocation at{0, static_cast<unsigned>(device), 3};
        if (auto* existing = machine().pci().function(at))
            *existing = config;
        else
            machine().pci().addFunction(at, config);
    }
    std::vector<std::string> probe() {
        ProbeAMDInternalSensors(context);
        return boxes.Info;
    }

    int pciLink = -1;
    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};

TEST_F(CpuSources, EachFamilyIsFoundWithItsLinesAndSensor) {
    struct Case {
        std::uint16_t deviceId;
        std::vector<std::pair<int, std::uint32_t>> regs;
        std::uint8_t code;
        std::vector<std::string> lines;
    };
    const std::string n = PhenomName;
    const Case cases[] = {
        // E4h: 5Ah - 49 = 41; TCaseMax 3 x 2 + 49; core and sensor bits; offset 5.
        {0x1103, {{0xE4, 0x065A0544}}, 5,
         {"Found " + n + " internal sensor for K8 CPU#0 : 41C", " -> [$E4]=$065A0544", " -> TCaseMax=55", " -> Core=1",
          " -> Sensor=1", " -> Offset=5"}},
        // A4h: CurTmp 360 / 8; E4h offset field 3 gives 11 - 3.
        {0x1203, {{0xA4, 0x2D000000}, {0xE4, 0x00000300}}, 6,
         {"Found " + n + " internal sensor for K10 CPU#0 : 45.000C", " -> [$A4]=$2D000000", " -> [$E4]=$00000300",
          " -> CurTmp=45.000", " -> Offset=8"}},
        {0x1303, {{0xA4, 0x2D000000}}, 7, {"Found " + n + " internal sensor for K11 CPU#0 : 45.000C"}},
        {0x1703, {{0xA4, 0x2D000000}, {0x64, 0x12345678}}, 8,
         {"Found " + n + " internal sensor for K12/K14 CPU#0 : 45.000C", " -> [$A4]=$2D000000", " -> [$E4]=$00000000",
          " -> [$64]=$12345678", " -> CurTmp=45.000", " -> Offset=11"}},
        // Range select 3: (2C8h and 7FCh) / 8 - 49.
        {0x1603, {{0xA4, 0x59030000}}, 9,
         {"Found " + n + " internal sensor for K15 CPU#0 : 40.000C", " -> [$A4]=$59030000", " -> CurTmp=40.000"}},
        // Range select 0: 3C0h / 8.
        {0x141D, {{0xA4, 0x78000000}}, 9, {"Found " + n + " internal sensor for K15 CPU#0 : 120.000C"}},
        {0x1583, {{0xA4, 0x59030000}}, 10, {"Found " + n + " internal sensor for K16 CPU#0 : 40.000C"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.front());
        addNode(0x18, c.deviceId, c.regs);
        const auto info = probe();
        ASSERT_GE(info.size(), c.lines.size() + 2);
        EXPECT_EQ(info.front(), "About to probe AMD Internal Sensors...");
        EXPECT_EQ(std::vector<std::string>(info.begin() + 1, info.begin() + 1 + static_cast<long>(c.lines.size())),
                  c.lines);
        EXPECT_EQ(info.back(), "End of AMD Internal Sensors probing");
        ASSERT_EQ(monitor.Sensors.size(), 1u);
        EXPECT_EQ(monitor.Sensors[0]->FChipCode, c.code);
        EXPECT_EQ(monitor.Sensors[0]->FAddress, 0u);
        EXPECT_EQ(monitor.Sensors[0]->FLink, Links()[static_cast<std::size_t>(pciLink)].get());
        monitor.Sensors.clear();
        boxes.Info.clear();
    }
}

TEST_F(CpuSources, TwoSocketsGiveTwoNodesAndAMatchBelowTheFirstNodeGetsNone) {
    addNode(0x18, 0x1203, {{0xA4, 0x2D000000}});
    addNode(0x19, 0x1203, {{0xA4, 0x2D000000}});
    addNode(0x10, 0x1203, {{0xA4, 0x2D000000}});
    const auto info = probe();
    ASSERT_EQ(monitor.Sensors.size(), 2u);
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0u);
    EXPECT_EQ(monitor.Sensors[1]->FAddress, 1u);
    EXPECT_TRUE(has(info, std::string("Found ") + PhenomName + " internal sensor for K10 CPU#-8 : 45.000C"));
}

TEST_F(CpuSources, ScanningSwitchedOffMakesNoPCIAccess) {
    addNode(0x18, 0x1203, {{0xA4, 0x2D000000}});
    monitor.ScanFlags.NoPCIScan = true;
    machine().ports().recorder().clear();
    EXPECT_EQ(probe(), (std::vector<std::string>{"About to probe AMD Internal Sensors...", "PCI scanning disabled by user",
                                                 "End of AMD Internal Sensors probing"}));
    EXPECT_TRUE(machine().ports().recorder().accessesTo(0xCF8, 0xCFF).empty());
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(CpuSources, WithoutAPCILinkTheNodeIsLoggedButGetsNoSensor) {
    Links().erase(Links().begin() + pciLink);
    addNode(0x18, 0x1203, {{0xA4, 0x2D000000}});
    probe();
    EXPECT_TRUE(monitor.Sensors.empty());
    EXPECT_TRUE(traced("INFO : no PCI link for the AMD K10 sensor of CPU#0"));
}

TEST(CollapseBlanks, EveryRunBecomesOneBlank) {
    const std::pair<const char*, const char*> cases[] = {
        {"Intel(R) Core(TM)2 Quad CPU           Q6600  @ 2.40GHz", "Intel(R) Core(TM)2 Quad CPU Q6600 @ 2.40GHz"},
        {"  x  ", " x "},
        {"a b", "a b"},
        {"", ""},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(CollapseBlanks(text), expected) << text;
}

class IntelSources : public DetectTest {
protected:
    IntelSources() {
        ResetCpuidMsrData();
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/cpu-intel-core2.json");
        IOPort = std::make_unique<TIOPort>();
        SetMsrReader([](std::uint32_t index) { return IOPort->ReadMSR(index); });
        addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    }
    ~IntelSources() override { ResetCpuidMsrData(); }

    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};

TEST_F(IntelSources, AQualifyingProcessorIsFoundWithItsNameCollapsed) {
    machine().cpus().cpu(0).msrs[0x1B] = 0xFEE00900;
    for (unsigned n = 0; n < machine().cpus().count(); ++n) machine().cpus().cpu(n).msrs[0x19C] = 0x88000000u | 30u << 16;
    ProbeIntelInternalSensors(context);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 11);
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0u);
    const auto found = std::find_if(boxes.Readings.begin(), boxes.Readings.end(),
                                    [](const std::string& l) { return l.rfind("Found ", 0) == 0; });
    ASSERT_NE(found, boxes.Readings.end());
    EXPECT_EQ(found->find("  "), std::string::npos);
    EXPECT_EQ(boxes.Info.front(), "About to probe INTEL Internal Sensors...");
    EXPECT_EQ(boxes.Info.back(), "End of INTEL Internal Sensors probing");
}

TEST_F(IntelSources, WithoutMsrAccessNothingIsFound) {
    IOPort->CanReadMSR = false;
    ProbeIntelInternalSensors(context);
    EXPECT_TRUE(monitor.Sensors.empty());
    EXPECT_EQ(boxes.Info.front(), "About to probe INTEL Internal Sensors...");
    EXPECT_EQ(boxes.Info.back(), "End of INTEL Internal Sensors probing");
    EXPECT_FALSE(has(boxes.Info, "!!!Unable to READ MSR on this system!!!")) << "the probe's lines show only on a find";
}

}  // namespace
