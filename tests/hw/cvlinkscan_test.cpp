// Host discovery over simulated chipsets: the links it registers, the
// chipset display, its log lines and the configuration writes it makes.

#include <gtest/gtest.h>

#include "base/cvformat.h"
#include "hw/cvnvidiasources.h"
#include "hw/cvsbhandlers.h"
#include "linkscanfixture.h"
#include "platform/sim/pcibus.h"

namespace {

using Scan = LinkScanTest;

TEST_F(Scan, WithoutThePciScanOnlyTheIsaBusIsLinked) {
    load(R"({"pci": [{"bus": 0, "device": 31, "function": 3, "vendorId": "0x8086", "deviceId": "0x24D3",
                      "registers": {"0x20": "0x01", "0x21": "0x05"}}]})");
    ctx.NoPCIScan = true;
    scan();
    ASSERT_EQ(Links().size(), 1u);
    EXPECT_EQ(Links()[0]->DisplayName(), "ISA@$290");
    EXPECT_TRUE(logged("WARNING : NO SUPPORTED SOUTHBRIDGE DETECTED"));
    EXPECT_TRUE(traced("INFO : NVIDIA I2C DISABLED because PCI SCAN DISABLED by user"));
}

TEST_F(Scan, NoSupportedControllerLeavesIsaAndPciAndWarns) {
    load(R"({"pci": [{"bus": 0, "device": 0, "function": 0, "vendorId": "0x8086", "deviceId": "0x2A40"}]})");
    scan();
    ASSERT_EQ(Links().size(), 2u);
    EXPECT_EQ(Links()[1]->LinkKind(), LinkKinds::PCI);
    EXPECT_TRUE(logged("WARNING : NO SUPPORTED SOUTHBRIDGE DETECTED"));
    EXPECT_TRUE(logged("Starting PCI scan..."));
    EXPECT_TRUE(logged("PCI scan done!"));
}

TEST_F(Scan, Ich5IsUnhiddenLinkedAndShown) {
    loadFile("chipsets/ich5.json");
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"Intel", 59, 0x500, 1, 0, 31, 3}}));
    EXPECT_FALSE(logged("WARNING : NO SUPPORTED SOUTHBRIDGE DETECTED"));
    EXPECT_TRUE(logged("FUNC_DIS=$0008"));
    EXPECT_TRUE(logged("FUNC_DIS(2)=$0000"));
    EXPECT_TRUE(logged("HST_CNT=$00"));
    EXPECT_EQ(display.EDChipSet, "Intel 82801EB ICH5");
    EXPECT_EQ(display.EDSMBBase, "$0500");
    EXPECT_EQ(display.EDSMBRev, "00000002");
    EXPECT_TRUE(display.CBSMBIOEnabledVisible && display.CBSMBIOEnabledChecked);
    EXPECT_EQ(chipset, 59);
    std::uint8_t value = 0;
    ASSERT_TRUE(Links().back()->ReadByteData(0x4C, 0x00, value)) << "the host reaches its chips";
    EXPECT_EQ(value, 0x2A);
}

TEST_F(Scan, TheIch2HubRestartsTheScanOnceAndEachControllerIsLinkedOnce) {
    loadFile("chipsets/ich2.json");
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"Intel", 4, 0x400, 1, 0, 7, 3}, {"Intel", 56, 0x500, 1, 0, 31, 3}}));
    EXPECT_EQ(count("FUNC_DIS=$0000"), 2) << "244Ch handled in both passes";
    const auto lines = trace();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "HANDLEPIIX4 start"), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "HANDLEPIIX4 link added"), 1);
    EXPECT_EQ(display.EDChipSet, "Intel 82801BA ICH2");
}

TEST_F(Scan, OtherIchHubsDoNotRestart) {
    load(R"({"pci": [{"bus": 0, "device": 31, "function": 0, "vendorId": "0x8086", "deviceId": "0x24C0"}]})");
    scan();
    EXPECT_EQ(count("FUNC_DIS=$0000"), 1);
}

TEST_F(Scan, FunctionsOnBus16AndAboveAreNotScanned) {
    load(R"({"pci": [{"bus": 16, "device": 0, "function": 3, "vendorId": "0x8086", "deviceId": "0x24D3",
                      "registers": {"0x20": "0x01", "0x21": "0x05"}}]})");
    scan();
    EXPECT_TRUE(smbusLinks().empty());
    EXPECT_TRUE(logged("WARNING : NO SUPPORTED SOUTHBRIDGE DETECTED"));
}

// A function whose configuration reads fail in the middle of its handler.
class ThrowingFunction : public platform::sim::PciFunctionModel {
public:
    void beforeRead(platform::sim::PciConfigSpace&, unsigned offset, int) override {
        if (offset >= 0x40) throw std::runtime_error("bus error");
    }
    void afterWrite(platform::sim::PciConfigSpace&, unsigned, int) override {}
};

TEST_F(Scan, AHandlerThatThrowsEndsOnlyItself) {
    load(R"({"pci": [{"bus": 0, "device": 7, "function": 3, "vendorId": "0x8086", "deviceId": "0x7113"},
                     {"bus": 0, "device": 31, "function": 3, "vendorId": "0x8086", "deviceId": "0x24D3",
                      "registers": {"0x04": "0x01", "0x20": "0x01", "0x21": "0x05", "0x40": "0x01"}}]})");
    machine().pci().attachModel({0, 7, 3}, std::make_shared<ThrowingFunction>());
    scan();
    EXPECT_TRUE(logged("Exception in SCANPCI BUS=$0 DEV=$7 FUNC=$3 R=$71138086"));
    EXPECT_EQ(smbusLinks().size(), 1u) << "the scan went on to the ICH5";
}

// ---- enable paths ------------------------------------------------------------------

struct Piix4Case {
    const char* Note;
    const char* Base;  // word 90h
    bool Enabled;      // D2h bit 0 afterwards
    std::vector<TLinkRow> Links;
};

TEST_F(Scan, Piix4IsEnabledOnlyInsideTheUsualRange) {
    const Piix4Case cases[] = {
        {"inside 0100h-FF00h", "0x0401", true, {{"Intel", 3, 0x400, 1, 0, 7, 3}}},
        {"below 0100h", "0x0051", false, {{"Intel", 3, 0x50, 1, 0, 7, 3}}},
        {"base 0: no link", "0x0001", false, {}},
    };
    load(R"({"pci": [{"bus": 0, "device": 7, "function": 3, "vendorId": "0x8086", "deviceId": "0x7113",
                      "registers": {"0x08": "0x01"}}]})");
    auto& config = *machine().pci().function({0, 7, 3});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Note);
        Links().clear();
        log.clear();
        info.clear();
        const std::uint32_t base = std::stoul(c.Base, nullptr, 16);
        config[0x90] = static_cast<std::uint8_t>(base);
        config[0x91] = static_cast<std::uint8_t>(base >> 8);
        config[0xD2] = 0x00;
        scan();
        EXPECT_EQ(smbusLinks(), c.Links);
        EXPECT_EQ((configByte(0, 7, 3, 0xD2) & 1) != 0, c.Enabled);
        EXPECT_TRUE(logged(" -> SMBus Host is disabled ($00)"));
        EXPECT_EQ(logged(" -> I would be able to enable it :-)"), c.Enabled);
        EXPECT_EQ(std::count(info.begin(), info.end(), " -> properly enabled"), c.Enabled ? 1 : 0);
    }
}

TEST_F(Scan, IchEnablesThatDoNotHoldAreReported) {
    load(R"({"pci": [{"bus": 0, "device": 31, "function": 3, "vendorId": "0x8086", "deviceId": "0x24D3",
                      "registers": {"0x04": {"value": "0x00", "writeMask": "0xFE"},
                                    "0x40": {"value": "0x00", "writeMask": "0xFE"},
                                    "0x20": "0x01", "0x21": "0x05"}}]})");
    scan();
    EXPECT_TRUE(logged("I/O Space Disabled. Attempting to enable it..."));
    EXPECT_TRUE(logged("SMBus Host Disabled. Attempting to enable it..."));
    EXPECT_EQ(count("Attempt failed :-("), 2);
    EXPECT_EQ(smbusLinks().size(), 1u) << "linked all the same";
    EXPECT_FALSE(display.CBSMBIOEnabledChecked);
}

TEST_F(Scan, Ich9FunctionIsEnabledThroughTheRootComplexBlock) {
    loadFile("chipsets/ich9.json");
    ASSERT_TRUE(machine().memory().writeDWord(0xFED1F418, 0x0000000B));
    scan();
    EXPECT_TRUE(logged("RCBA=$FED1C001"));
    EXPECT_TRUE(logged("  FuncDis=$0000000B"));
    EXPECT_TRUE(logged("  Enabling SMBUS..."));
    EXPECT_TRUE(logged("  FuncDis=$00000003"));
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"Intel", 64, 0x400, 1, 0, 31, 3}}));
}

TEST_F(Scan, Via686AboveRevision30hIsNotEnabledAndLinkedWithFlag0) {
    loadFile("chipsets/via686.json");
    scan();
    EXPECT_FALSE(logged("INFO: ENABLED VIA686 SMBus support"));
    EXPECT_TRUE(logged("WARNING : VIA686 SMBus support is disabled"));
    EXPECT_TRUE(logged("VIA686 SMBus revision : 30"));
    EXPECT_EQ(configByte(0, 7, 4, 0xD2), 0x00);
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"VIA", 79, 0x5000, 0, 0, 7, 4}}));
}

TEST_F(Scan, Cx700IsDumpedThreeTimesAndNotLinked) {
    load(R"({"pci": [{"bus": 0, "device": 17, "function": 0, "vendorId": "0x1106", "deviceId": "0x8324",
                      "registers": {"0xD0": "0x01", "0xD1": "0x04"}}]})");
    scan();
    EXPECT_TRUE(logged("Testing CX700/VX700 83241106 -->"));
    EXPECT_EQ(count("SMBus 0000 dump -->"), 2);
    EXPECT_EQ(count("SMBus 0400 dump -->"), 1);
    EXPECT_TRUE(smbusLinks().empty());
    EXPECT_EQ(display.EDChipSet, "VIA VTCX700/VX700");
}

TEST_F(Scan, Via586BOnlyFillsTheDisplay) {
    load(R"({"pci": [{"bus": 0, "device": 7, "function": 0, "vendorId": "0x1106", "deviceId": "0x3040",
                      "registers": {"0x48": "0x01", "0x49": "0x50", "0x41": "0x80"}},
                     {"bus": 0, "device": 7, "function": 3, "vendorId": "0x1106", "deviceId": "0x3040",
                      "registers": {"0x08": "0x10"}}]})");
    scan();
    EXPECT_TRUE(smbusLinks().empty());
    EXPECT_EQ(display.EDChipSet, "VIA VT82C586B Rev F");
    EXPECT_EQ(display.EDSMBBase, "$5000");
    EXPECT_EQ(chipset, 76);
}

// ---- AMD, nVidia, ATI -----------------------------------------------------------

TEST_F(Scan, Amd8111SetsTheAcpiFunctionsEnableBit) {
    load(R"({"pci": [{"bus": 0, "device": 7, "function": 2, "vendorId": "0x1022", "deviceId": "0x746B",
                      "registers": {"0x58": "0x01", "0x59": "0x50", "0x41": "0x80", "0x08": "0x05"}},
                     {"bus": 0, "device": 7, "function": 3, "vendorId": "0x1022", "deviceId": "0x7468",
                      "registers": {"0x48": "0x01"}}]})");
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"AMD", 12, 0x5000, 1, 0, 7, 2}}));
    EXPECT_TRUE(logged("SMBus 5000 dump -->"));
    EXPECT_TRUE(logged("Enabling SMBus ($0001)..."));
    EXPECT_EQ(configByte(0, 7, 3, 0x48), 0x05);
}

TEST_F(Scan, Nforce2HostsAreKeptAndGiveTheChipsetSensor) {
    load(R"({"pci": [{"bus": 0, "device": 1, "function": 1, "vendorId": "0x10DE", "deviceId": "0x0064",
                      "registers": {"0x50": "0x01", "0x51": "0x50", "0x54": "0x01", "0x55": "0x60", "0x08": "0xA2"}}],
             "smbus": [{"name": "nf", "family": "nForce2", "base": "0x5000",
                        "slaves": [{"address": "0x50", "registers": {"0x00": "0x80"}}]},
                       {"name": "nf2", "family": "nForce2", "base": "0x6000"}]})");
    ctx.AddSensor = [this](const TDiscoveredSensor& s) { sensors.push_back(s); };
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"nForce2", 15, 0x5000, 1, 0, 1, 1},
                                                   {"nForce2", 15, 0x6000, 1, 0, 1, 1}}));
    EXPECT_TRUE(logged("nForce2 SMBus at $5000 returned <No error>"));
    // Without "DebugMode=" the failure carries code 1.
    EXPECT_TRUE(logged("SMBus at $6000 WRITEQ failed ($01)")) << "an empty segment: logged, kept";
    EXPECT_TRUE(logged("nForce2 SMBus at $6000 returned <unknown error>"));
    EXPECT_EQ(display.EDSMBBase, "$6000");
    ASSERT_EQ(sensors.size(), 1u);
    EXPECT_EQ(sensors[0].ChipCode, 180);
    EXPECT_EQ(sensors[0].LinkIndex, 1);
    EXPECT_EQ(sensors[0].Address, 0);
    EXPECT_EQ(sensors[0].Address2, 1);
    EXPECT_EQ(sensors[0].Aux2, 1);
}

TEST_F(Scan, SapphireBoardIsRefused) {
    loadFile("chipsets/sb700.json");
    ctx.BoardMaker = "sapphire inc.";
    ctx.BoardProduct = "PC-AM2RD790";
    scan();
    EXPECT_TRUE(smbusLinks().empty());
    EXPECT_EQ(Links().size(), 2u) << "no ISA BUS (ext) either";
    EXPECT_TRUE(traced("INFO: won't access SMBus on sapphire inc. PC-AM2RD790"));
}

TEST_F(Scan, Sb700IsLinkedAtWord90hWithThePm2Link) {
    loadFile("chipsets/sb700.json");
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"AtiIgp", 92, 0x0B00, 1, 0, 20, 0}}));
    ASSERT_EQ(Links().size(), 4u);
    EXPECT_EQ(Links()[3]->LinkKind(), LinkKinds::ISA);
    EXPECT_EQ(Links()[3]->BaseAddress(), 0x0CCBu);
    EXPECT_TRUE(logged("  Enabling PM registers access"));
    EXPECT_TRUE(std::count(info.begin(), info.end(), "SB7xx/8xx PM2 found on ISA@$CCB at $CCB"));
    ASSERT_EQ(sensors.size(), 1u);
    EXPECT_EQ(sensors[0].LinkIndex, 3);
    EXPECT_EQ(sensors[0].Address, 0x0CCB);
    EXPECT_EQ(sensors[0].ChipCode, 199);
    EXPECT_EQ(display.EDChipSet, "ATI SBx00");
}

TEST_F(Scan, Sb8x0TakesItsBaseFromThePmRegisters) {
    loadFile("chipsets/sb700.json");
    (*machine().pci().function({0, 20, 0}))[0x08] = 0x41;
    machine().registerFile("pm")->set(0x2C, 0x01);
    scan();
    EXPECT_TRUE(logged("  Found an SB8x0!"));
    EXPECT_TRUE(logged("  SB8x0Base=$0B01"));
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"AtiIgp", 92, 0x0B00, 1, 0, 20, 0}}));
    EXPECT_EQ(display.EDChipSet, "ATI SB8x0");
}

TEST_F(Scan, Sb8x0WithIoSpaceOffIsNotLinked) {
    loadFile("chipsets/sb700.json");
    (*machine().pci().function({0, 20, 0}))[0x08] = 0x41;
    scan();
    EXPECT_TRUE(logged("  WARNING: I/O space is not enabled!"));
    EXPECT_TRUE(logged("ATI SMBus base address is not set."));
    EXPECT_TRUE(smbusLinks().empty());
}

// ---- ALi and SiS ----------------------------------------------------------------

TEST_F(Scan, AliM1535DSetsTheClockAndLinksTheM7101) {
    loadFile("chipsets/ali1535d.json");
    scan();
    EXPECT_TRUE(logged("IDE Controller from an ALi M1535D/D+"));
    EXPECT_TRUE(logged("Setting SMBus base clock..."));
    EXPECT_EQ(configByte(0, 17, 0, 0xF2), 0x20);
    EXPECT_TRUE(logged("FAN1 speed=15000 (64)"));
    EXPECT_TRUE(logged("FAN2 speed=xxx (0) Division by zero"));
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"Ali", 29, 0x0E00, 1, 0, 17, 0}}));
}

TEST_F(Scan, AliM1563NeedsOneOfItsCompanions) {
    const std::string m1563 = R"({"bus": 0, "device": 2, "function": 0, "vendorId": "0x10B9", "deviceId": "0x1563",
                                  "registers": {"0x80": "0x03", "0x81": "0x0C"}})";
    load(R"({"pci": [)" + m1563 + "]}");
    scan();
    EXPECT_TRUE(smbusLinks().empty());
    EXPECT_EQ(display.EDChipSet, "");
    Links().clear();
    machine().pci().addFunction({0, 3, 0}, [] {
        platform::sim::PciConfigSpace c{};
        c[0] = 0xB9, c[1] = 0x10, c[2] = 0x81, c[3] = 0x16;
        return c;
    }());
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"Uli", 30, 0x0C00, 1, 0, 2, 0}}));
}

TEST_F(Scan, Sis964IsLinkedAtItsOffsetAndNamedByGetSiSChipsetCode) {
    loadFile("chipsets/sis964.json");
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"SiSx30", 45, 0x0860, 1, 0, 2, 0}}));
    EXPECT_EQ(display.EDChipSet, "SiS646 (SiS964)");
}

TEST_F(Scan, Sis968BaseIsWord9Ah) {
    load(R"({"pci": [{"bus": 0, "device": 2, "function": 0, "vendorId": "0x1039", "deviceId": "0x0968",
                      "registers": {"0x9A": "0x08", "0x9B": "0x0C"}}]})");
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"SiS968", 1, 0x0C00, 1, 0, 2, 0}}));
    EXPECT_EQ(display.EDChipSet, "<Unknown> (SiS968)");
}

TEST_F(Scan, SisSMBusFunctionIsUnhiddenAndHiddenAgain) {
    load(R"({"pci": [{"bus": 0, "device": 0, "function": 0, "vendorId": "0x1039", "deviceId": "0x0646"},
                     {"bus": 0, "device": 2, "function": 0, "vendorId": "0x1039", "deviceId": "0x0008",
                      "registers": {"0x77": "0x10"}},
                     {"bus": 0, "device": 2, "function": 1, "vendorId": "0x1039", "deviceId": "0x0016",
                      "registers": {"0x40": "0x01", "0x20": "0x81", "0x21": "0x0C"},
                      "visibleWhen": {"pci": "00:02.0", "register": "0x77", "mask": "0x10", "equals": "0x00"}}]})");
    scan();
    EXPECT_TRUE(logged("Enabling SMBus..."));
    EXPECT_TRUE(logged("SMBus I/O Base Address : $0C00"));
    EXPECT_TRUE(logged("FE01A3004A0C802F"));
    EXPECT_EQ(configByte(0, 2, 0, 0x77), 0x10);
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"SiSx30", 44, 0x0C00, 1, 0, 2, 0}}));
    EXPECT_EQ(display.EDChipSet, "SiS645DX");
}

TEST_F(Scan, Sis5595WithAHostBridgeIsRefused) {
    load(R"({"pci": [{"bus": 0, "device": 0, "function": 0, "vendorId": "0x1039", "deviceId": "0x5597"},
                     {"bus": 0, "device": 1, "function": 0, "vendorId": "0x1039", "deviceId": "0x0008",
                      "registers": {"0x40": "0x80", "0x90": "0x01", "0x91": "0x50"}}]})");
    scan();
    EXPECT_TRUE(logged("SiS5597 Host-to-PCI Bridge "));
    EXPECT_TRUE(logged("This SIS5595 is not supported. Sorry :-("));
    EXPECT_TRUE(smbusLinks().empty());
}

TEST(SiSNames, CodesAndNames) {
    const std::pair<int, const char*> rows[] = {{34, "SiS630"},  {44, "SiS645DX"}, {45, "SiS646"}, {53, "SiS671"},
                                                {3, ""},         {33, ""},         {65, "<Unknown>"}, {66, ""},
                                                {67, "<Unknown>"}, {92, ""},       {1, "<Unknown>"}, {47, "<Unknown>"},
                                                {93, "<Unknown>"}};
    for (const auto& [code, name] : rows) EXPECT_EQ(SiSChipsetName(code), name) << code;
}

TEST(DispatchTable, EachIdHasOneRow) {
    const auto& table = SBDispatchTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        for (std::size_t j = i + 1; j < table.size(); ++j)
            EXPECT_FALSE(table[i].Vendor == table[j].Vendor && table[i].Device == table[j].Device)
                << std::hex << table[i].Vendor << ":" << table[i].Device;
    }
}

// ---- NVIDIA cards ------------------------------------------------------------------

class FakeCard : public TGeForceCard {
public:
    FakeCard(int nvapi, bool temp) : nvapi_(nvapi), temp_(temp) {}
    int NvapiIndex() const override { return nvapi_; }
    bool HasTemperature() const override { return temp_; }

private:
    int nvapi_;
    bool temp_;
};

class FakeCards : public TNvidiaCardServices {
public:
    std::uint8_t Arch = 0;
    bool InNvapi = false;
    int Enumerated = 0;
    std::vector<std::unique_ptr<FakeCard>> Cards;
    void EnumerateNVApi() override { ++Enumerated; }
    int FindInNVApiCards(int, int, int, bool, std::uint32_t) override { return InNvapi ? 0 : -1; }
    bool LookupNVidiaCard(std::uint16_t, std::uint8_t& arch, std::string& name) override {
        arch = Arch;
        name = "GeForce 8600 GT";
        return Arch != 0;
    }
    TGeForceCard& AddGeForceCard(int, int, int, std::function<void(const std::string&)>) override {
        return *Cards.emplace_back(std::make_unique<FakeCard>(InNvapi ? 0 : -1, true));
    }
    int GeForceCardCount() const override { return static_cast<int>(Cards.size()); }
};

class NVidiaScan : public LinkScanTest {
protected:
    NVidiaScan() {
        loadFile("chipsets/nvidia-card.json");
        ctx.NVidiaCards = &cards;
        ctx.NVidiaI2C = true;
    }
    std::vector<std::string> i2cLinks() const {
        std::vector<std::string> names;
        for (const auto& l : Links()) {
            if (l->HostKind() == HostKinds::I2CNVidia) names.push_back(Format(l->BaseAddress()));
        }
        return names;
    }
    static std::string Format(std::uint32_t v) { return cvformat::Format("%.8x", {v}); }
    FakeCards cards;
};

TEST_F(NVidiaScan, ArchitectureRangesPickTheBuses) {
    struct Case {
        std::uint8_t Arch;
        std::vector<std::string> Tried;
    };
    const Case cases[] = {
        {2, {"3D403E3F", "3D403637"}},
        {4, {"3D403E3F", "3D403637", "3D405051"}},
        {8, {"3D403E3F", "3D403637", "3D405051"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.Arch));
        Links().clear();
        log.clear();
        cards.Arch = c.Arch;
        scan();
        // The CRTC answers on the first two pairs only: a third bus fails its test.
        const bool third = c.Tried.size() == 3;
        EXPECT_EQ(i2cLinks(), (std::vector<std::string>{"3D403E3F", "3D403637"}));
        EXPECT_EQ(logged("NVidia I2C at $3D405051 test failed ($00)"), third);
        EXPECT_EQ(count("SMBus removed!"), third ? 1 : 0);
        EXPECT_EQ(count("Found nVidia GeForce 8600 GT"), 1) << "a two-function card counts once";
        EXPECT_TRUE(logged(" --> bus : 1  dev : 0  func : 0  r=$040210DE"));
    }
    EXPECT_EQ(cards.Enumerated, 3);
}

TEST_F(NVidiaScan, DirectAccessCardGetsACardObjectAndItsSensor) {
    cards.Arch = 24;
    ctx.NVidiaTemp = true;
    scan();
    ASSERT_EQ(cards.Cards.size(), 1u);
    ASSERT_EQ(sensors.size(), 1u);
    EXPECT_EQ(sensors[0].ChipCode, 200);
    EXPECT_EQ(sensors[0].LinkIndex, 1);
    EXPECT_EQ(sensors[0].Address, 0);
}

TEST_F(NVidiaScan, UnknownCardOutsideNvapiIsSkipped) {
    cards.Arch = 0;
    scan();
    EXPECT_TRUE(i2cLinks().empty());
    EXPECT_FALSE(logged("Found nVidia GeForce 8600 GT"));
}

TEST_F(NVidiaScan, WithI2COffTheHintIsShownAndItsNeverAgainSaved) {
    cards.Arch = 8;
    ctx.NVidiaI2C = false;
    int shown = 0, saved = 0;
    ctx.ShowHintDialog = [&](const std::string& title, const std::string& text) {
        ++shown;
        EXPECT_EQ(title, "nVidia Graphic Card Found!");
        EXPECT_EQ(text.rfind("You seem to have an NVIDIA graphic card.\r", 0), 0u);
        return true;
    };
    ctx.NeverShowNVidiaHint = [&] { ++saved; };
    scan();
    EXPECT_TRUE(i2cLinks().empty());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(saved, 1);
    EXPECT_TRUE(traced("Finished linking nVidia I2C BUSes"));
    Links().clear();
    scan();
    EXPECT_EQ(shown, 1) << "never again";
}

}  // namespace
