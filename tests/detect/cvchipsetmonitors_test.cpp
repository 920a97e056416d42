#include "detect/cvchipsetmonitors.h"

#include <gtest/gtest.h>

#include "detect/cvdetect.h"
#include "detect/detectfixture.h"
#include "platform/sim/machine.h"

namespace {

using platform::sim::PciLocation;

class ChipsetMonitors : public DetectTest {
protected:
    ChipsetMonitors() {
        for (const char* cls : {"TVIA686Sensor", "TAliSensor", "TLM75Sensor"}) useChip(cls, cls);
    }
    void load(const char* board) {
        machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR) + "/signatures/" + board);
    }
    std::uint8_t& config(PciLocation at, int reg) { return (*machine().pci().function(at))[static_cast<std::size_t>(reg)]; }
    int addLinkAt(const char* name, std::uint8_t chipset, std::uint8_t kind, std::uint8_t host, std::uint32_t base,
                  PciLocation at) {
        AddLink(name, chipset, kind, host, base, 0, static_cast<int>(at.bus), static_cast<int>(at.device),
                static_cast<int>(at.function));
        return static_cast<int>(Links().size() - 1);
    }
    std::vector<std::pair<int, std::uint32_t>> added() const {
        std::vector<std::pair<int, std::uint32_t>> list;
        for (const auto& s : monitor.Sensors) list.push_back({s->FChipCode, s->FAddress});
        return list;
    }

    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};

// ---- VIA ----------------------------------------------------------------------------------

constexpr PciLocation VIAPower{0, 7, 4};

TEST_F(ChipsetMonitors, VIAMatrix) {
    enum Enable { Off, On, Refusing, KernelBound };
    struct Case {
        const char* What;
        std::uint8_t Chipset;
        Enable State;
        std::uint8_t BaseHigh;  // configuration byte 71h: the base is BaseHigh * 100h
        bool BaseRegistered, IsaLink;
        std::uint8_t Revision;  // the block's 3Fh
        bool Result;
        std::vector<std::pair<int, std::uint32_t>> Added;
        std::vector<std::string> Readings;
        std::vector<std::string> InfoOnly;
    };
    const std::vector<Case> cases = {
        {"686B off, switched on", 79, Off, 0xE8, false, true, 0xA2, true, {{72, 0xE800}},
         {"INFO : VIA686 sensors enabled by CALDAVOR", "VIA686B ($A2) found on ISA at $E800"}, {}},
        {"686A already on", 79, On, 0xE8, false, true, 0x31, true, {{72, 0xE800}}, {"VIA686A ($31) found on ISA at $E800"}, {}},
        {"8231 off, switched on", 82, Off, 0xE8, false, true, 0xA2, true, {{73, 0xE800}},
         {"INFO : VIA8231 sensors enabled by CALDAVOR", "VIA8231 ($A2) found on ISA at $E800"}, {}},
        {"686 refusing the enable bit", 79, Refusing, 0xE8, false, true, 0xA2, false, {},
         {"INFO : VIA686 sensors enabled by CALDAVOR"}, {"INFO : VIA686 sensors are disabled"}},
        {"8231 refusing", 82, Refusing, 0xE8, false, true, 0xA2, false, {},
         {"INFO : VIA8231 sensors enabled by CALDAVOR"}, {"INFO : VIA8231 sensors are disabled"}},
        {"686 off at base 0", 79, Off, 0x00, false, true, 0xA2, false, {},
         {"INFO : unable to use VIA686 sensors (bad I/O BASE)"}, {"INFO : VIA686 sensors are disabled"}},
        {"686 on at base 0", 79, On, 0x00, false, true, 0xA2, false, {},
         {"INFO : unable to use VIA686 sensors (bad I/O BASE)"}, {}},
        {"8231 on at base 0", 82, On, 0x00, false, true, 0xA2, false, {},
         {"INFO : unable to use VIA8231 sensors (bad I/O BASE)"}, {}},
        {"base already registered", 79, On, 0xE8, true, true, 0xA2, false, {}, {}, {}},
        {"no ISA link", 82, On, 0xE8, false, false, 0xA2, false, {}, {"WARNING : unable to find ISA LINK for VIA686"}, {}},
        // Last: the claim stays for the rest of the test.
        {"a kernel driver holds the function", 79, KernelBound, 0xE8, false, true, 0xA2, false, {}, {},
         {"INFO : VIA686 sensors are disabled"}},
    };
    load("via686.json");
    for (const Case& c : cases) {
        Links().clear();
        monitor.Sensors.clear();
        boxes.Readings.clear();
        boxes.Info.clear();
        clearTrace();
        const int smbus = addLinkAt("via", c.Chipset, LinkKinds::SMBus, HostKinds::VIA, 0x5000, VIAPower);
        if (c.IsaLink) {
            const int isa = addLinkAt("isa", 0, LinkKinds::ISA, HostKinds::ISA, 0x290, {0xFF, 0xFF, 0xFF});
            if (c.BaseRegistered) Links()[static_cast<std::size_t>(isa)]->RegisterAddress(0xE800);
        }
        config(VIAPower, 0x70) = 0x01;
        config(VIAPower, 0x71) = c.BaseHigh;
        config(VIAPower, 0x74) = c.State == On ? 0x01 : 0x00;
        machine().pci().setWriteMask(VIAPower, 0x74, c.State == Refusing ? 0xFE : 0xFF);
        if (c.State == KernelBound) machine().simKernelClaims().holdPci(VIAPower, "via686a");
        machine().registerFile("via686hm")->set(0x3F, c.Revision);
        boxes.Readings.clear();
        boxes.Info.clear();

        context.VIAMonitorDisabled = false;
        EXPECT_EQ(ProbeVIAHardwareMonitor(context, smbus), c.Result) << c.What;
        EXPECT_EQ(added(), c.Added) << c.What;
        EXPECT_EQ(boxes.Readings, c.Readings) << c.What;
        for (const std::string& line : c.InfoOnly) EXPECT_TRUE(has(boxes.Info, line)) << c.What << ": " << line;
        const bool disabled = !c.Result && c.What != std::string("base already registered") &&
                              c.What != std::string("no ISA link");
        EXPECT_EQ(context.VIAMonitorDisabled, disabled) << c.What;
        // 74h is written only to switch on a monitor that has a base.
        const bool on = c.State == On || (c.State == Off && c.BaseHigh != 0);
        EXPECT_EQ(config(VIAPower, 0x74) & 1, on ? 1 : 0) << c.What;
        EXPECT_EQ(traced("INFO : 00:07.4 is held by the kernel driver via686a: configuration left alone"),
                  c.State == KernelBound)
            << c.What;
    }
}

TEST_F(ChipsetMonitors, OtherChipsetsAreNotVIA) {
    load("via686.json");
    Links().clear();
    const int smbus = addLinkAt("ich", 0, LinkKinds::SMBus, HostKinds::Intel, 0x400, VIAPower);
    addLinkAt("isa", 0, LinkKinds::ISA, HostKinds::ISA, 0x290, {0xFF, 0xFF, 0xFF});
    boxes.Readings.clear();
    EXPECT_FALSE(ProbeVIAHardwareMonitor(context, smbus));
    EXPECT_FALSE(ProbeVIAHardwareMonitor(context, 99));
    EXPECT_EQ(config(VIAPower, 0x74), 0x00);
    EXPECT_TRUE(boxes.Readings.empty());
}

// ---- ALi M1535 -----------------------------------------------------------------------------

constexpr PciLocation ALiPower{0, 17, 0};

TEST_F(ChipsetMonitors, ALiM1535OncePerFunctionOverTwoSMBusLinks) {
    load("ali1535.json");
    Links().clear();
    EXPECT_FALSE(ProbeALiM1535(context));  // no chipset link: no line
    const int first = addLinkAt("ali", 29, LinkKinds::SMBus, HostKinds::Ali, 0xE00, ALiPower);
    EXPECT_FALSE(ProbeALiM1535(context));
    EXPECT_TRUE(has(boxes.Info, "ALi M1535 can't find PCI link"));

    const int pci = addLinkAt("pci", 0, LinkKinds::PCI, 0, 0xCF8, {0xFF, 0xFF, 0xFF});
    addLinkAt("ali", 29, LinkKinds::SMBus, HostKinds::Ali, 0xE00, ALiPower);
    boxes.Readings.clear();
    boxes.Info.clear();
    EXPECT_TRUE(ProbeALiM1535(context));
    EXPECT_FALSE(ProbeALiM1535(context));  // the second SMBus link's run
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    const TSensor& ali = *monitor.Sensors[0];
    EXPECT_EQ(ali.FChipCode, 118);
    EXPECT_EQ(ali.FLink, Links()[static_cast<std::size_t>(pci)].get());
    EXPECT_EQ(ali.FAddress, 0u);
    EXPECT_EQ(ali.FAddress2, 17);
    EXPECT_EQ(ali.FAux2, 0);
    EXPECT_EQ(boxes.Readings, std::vector<std::string>{"ALi M1535 found on PCI"});
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"ALi M1535 found on PCI", "About to read first sample of fan readings...",
                                                    "Fan readings done."}));
    (void)first;
}

TEST_F(ChipsetMonitors, ALiSpareFieldsOnlyOnTheEntryAppended) {
    load("ali1535.json");
    Links().clear();
    addLinkAt("pci", 0, LinkKinds::PCI, 0, 0xCF8, {0xFF, 0xFF, 0xFF});
    addLinkAt("ali", 29, LinkKinds::SMBus, HostKinds::Ali, 0xE00, ALiPower);
    // A class that makes a sensor of another code: the entry is not the M1535's.
    factory.SetCreator("TAliSensor", [](TLink* l, std::uint32_t a, std::uint8_t, TSensorLogEvent log,
                                        const std::string& v, const std::string& p, const std::string& s) {
        return CreateSensor<TTestChip>(l, a, 117, std::move(log), v, p, s, "other", 0xFFFF);
    });
    EXPECT_TRUE(ProbeALiM1535(context));
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FAddress2, 0);
    EXPECT_EQ(monitor.Sensors[0]->FAux2, 0);
    EXPECT_TRUE(has(boxes.Info, "GOTIT didn't add the M1535"));
}

// ---- SiS5595 DAM -----------------------------------------------------------------------------

constexpr PciLocation SiSBridge{0, 1, 0};

TEST_F(ChipsetMonitors, SiS5595DAMCases) {
    struct Case {
        const char* What;
        bool HostBridge;
        std::uint8_t Enable7B, Byte78, BaseLow, BaseHigh;
        std::vector<std::pair<int, std::uint32_t>> Added;
        std::vector<std::string> Info;
    };
    const std::vector<Case> cases = {
        {"enabled", false, 0x80, 0x00, 0x01, 0x0D, {{141, 0x0D00}},
         {"SiS5595 DAM Base Address : $0D00", "SiS5595 DAM found on ISA at $0D00"}},
        {"bit 7 of 78h is not the enable", false, 0x00, 0x80, 0x01, 0x0D, {},
         {"SiS5595 DAM Base Address : $0D00", "DAM Module is DISABLED"}},
        {"base 0", false, 0x80, 0x00, 0x01, 0x00, {},
         {"SiS5595 DAM Base Address : $0000", "INFO : unable to use SiS5595 sensors (bad I/O BASE)"}},
        {"base on the keyboard controller", false, 0x80, 0x00, 0x60, 0x00, {},
         {"SiS5595 DAM Base Address : $0060", "INFO : unable to use SiS5595 sensors (bad I/O BASE)"}},
        {"base of all ones", false, 0x80, 0x00, 0xFF, 0xFF, {},
         {"SiS5595 DAM Base Address : $FFFE", "INFO : unable to use SiS5595 sensors (bad I/O BASE)"}},
        // Last: the host bridge stays.
        {"a SiS host bridge", true, 0x80, 0x00, 0x01, 0x0D, {}, {}},
    };
    load("sis5595dam.json");
    for (const Case& c : cases) {
        Links().clear();
        monitor.Sensors.clear();
        const int isa = addLinkAt("isa", 0, LinkKinds::ISA, HostKinds::ISA, 0x290, {0xFF, 0xFF, 0xFF});
        config(SiSBridge, 0x7B) = c.Enable7B;
        config(SiSBridge, 0x78) = c.Byte78;
        config(SiSBridge, 0x68) = c.BaseLow;
        config(SiSBridge, 0x69) = c.BaseHigh;
        if (c.HostBridge) {
            platform::sim::PciConfigSpace host{};
            host[0] = 0x39, host[1] = 0x10, host[2] = 0x30, host[3] = 0x07;
            machine().pci().addFunction({0, 0, 0}, host);
        }
        boxes.Info.clear();
        ProbeSiS5595DAM(context, isa);
        EXPECT_EQ(added(), c.Added) << c.What;
        for (const std::string& line : c.Info) EXPECT_TRUE(has(boxes.Info, line)) << c.What << ": " << line;
        if (c.HostBridge) {
            EXPECT_FALSE(has(boxes.Info, "SiS5595 DAM Base Address : $0D00"));
        }
    }
    // No SiS5595 at all: nothing.
    machine().pci().function(SiSBridge)->fill(0xFF);
    boxes.Info.clear();
    monitor.Sensors.clear();
    ProbeSiS5595DAM(context, 0);
    EXPECT_TRUE(monitor.Sensors.empty());
    EXPECT_TRUE(boxes.Info.empty());
}

}  // namespace
