// Every chipset preset of boards/chipsets scanned the way the start-up scans
// it, and the south-bridge handlers whose enable, unhide and unlock writes
// decide whether the simulated host answers at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "hw/cvpci.h"
#include "hw/cvsbhandlers.h"
#include "linkscanfixture.h"

namespace {

using Scan = LinkScanTest;

struct PresetRow {
    std::vector<TLinkRow> Links;
    std::uint8_t Chipset;    // the chipset code the scan leaves
    int Answers = -1;        // a slave the newest SMBus link reaches after the scan (-1: not checked)
};

// Expected hosts of each preset, from the handler each one reaches.
const std::map<std::string, PresetRow>& PresetRows() {
    static const std::map<std::string, PresetRow> rows = {
        {"ali1533.json", {{{"Ali", 27, 0x0E00, 1, 0, 12, 0}}, 27, 0x50}},
        {"ali1535d.json", {{{"Ali", 29, 0x0E00, 1, 0, 17, 0}}, 29, 0x50}},
        {"ali1563.json", {{{"Uli", 30, 0x0D00, 1, 0, 31, 0}}, 30, 0x50}},
        {"ali1573.json", {{{"Uli", 31, 0x0C00, 1, 0, 28, 0}}, 31, 0x50}},
        {"amd756.json", {{{"AMD", 9, 0x5000, 1, 0, 7, 3}}, 9, 0x50}},
        {"amd8111.json", {{{"AMD", 12, 0x5000, 1, 0, 7, 4}}, 12, 0x50}},
        {"cs5536.json", {{{"GeodeCompanion", 13, 0x6000, 1, 0, 0, 0}}, 13, 0x4C}},
        {"cx700.json", {{}, 89}},
        {"hudson2.json", {{{"AtiIgp", 92, 0x0B00, 1, 0, 20, 0}}, 92, 0x50}},
        {"ich2.json", {{{"Intel", 4, 0x0400, 1, 0, 7, 3}, {"Intel", 56, 0x0500, 1, 0, 31, 3}}, 56}},
        {"ich5.json", {{{"Intel", 59, 0x0500, 1, 0, 31, 3}}, 59, 0x50}},
        {"ich9.json", {{{"Intel", 64, 0x0400, 1, 0, 31, 3}}, 64}},
        {"intel-thermal.json", {{}, 0}},
        {"mcp55.json", {{{"nForce2", 20, 0x0600, 1, 0, 1, 1}, {"nForce2", 20, 0x0700, 1, 0, 1, 1}}, 20, 0x2E}},
        {"nforce1.json", {{{"nVidia", 14, 0x5000, 1, 0, 1, 1}}, 14, 0x50}},
        {"nforce2.json", {{{"nForce2", 15, 0x5000, 1, 0, 1, 1}, {"nForce2", 15, 0x5100, 1, 0, 1, 1}}, 15, 0x50}},
        {"nvidia-card.json", {{}, 0}},
        {"piix4.json", {{{"Intel", 3, 0x0400, 1, 0, 7, 3}}, 3, 0x50}},
        {"sb700.json", {{{"AtiIgp", 92, 0x0B00, 1, 0, 20, 0}}, 92}},
        {"sis5595.json", {{{"SiS5595", 33, 0x5000, 1, 0, 1, 0}}, 33, 0x50}},
        {"sis630.json", {{{"SiSx30", 34, 0x0800, 1, 0, 1, 0}}, 34, 0x50}},
        {"sis645.json", {{{"SiSx30", 43, 0x0C00, 1, 0, 2, 0}}, 43, 0x50}},
        {"sis964.json", {{{"SiSx30", 45, 0x0860, 1, 0, 2, 0}}, 45}},
        {"sis968.json", {{{"SiS968", 52, 0x0C00, 1, 0, 2, 0}}, 52, 0x50}},
        {"via586b.json", {{}, 76}},
        {"via686.json", {{{"VIA", 79, 0x5000, 0, 0, 7, 4}}, 79}},
        {"via8237.json", {{{"VIA", 84, 0x0400, 1, 0, 17, 0}}, 84, 0x50}},
    };
    return rows;
}

// One fresh machine per case.
template <class Case>
class ScanCases : public LinkScanTest, public ::testing::WithParamInterface<Case> {};

std::string TestName(std::string text) {
    for (auto& c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return text;
}

std::vector<std::string> PresetFiles() {
    std::vector<std::string> files;
    for (const auto& [name, row] : PresetRows()) files.push_back(name);
    return files;
}

TEST(ChipsetPresets, EachFileHasItsExpectedHosts) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(fs::path(CALDAVOR_BOARDS_DIR) / "chipsets"))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, PresetFiles());
}

using PresetScan = ScanCases<std::string>;

TEST_P(PresetScan, YieldsItsHosts) {
    const PresetRow& row = PresetRows().at(GetParam());
    loadFile("chipsets/" + GetParam());
    scan();
    EXPECT_EQ(smbusLinks(), row.Links);
    EXPECT_EQ(chipset, row.Chipset);
    if (row.Answers < 0) return;
    std::uint8_t value = 0;
    EXPECT_TRUE(Links().back()->ReadByteData(static_cast<std::uint8_t>(row.Answers), 0x00, value))
        << "the host answers once the handler is done";
}

INSTANTIATE_TEST_SUITE_P(Chipsets, PresetScan, ::testing::ValuesIn(PresetFiles()),
                         [](const auto& info) { return TestName(info.param); });

// A configuration write that does not hold leaves the host unusable: the
// enable, unhide and unlock writes are what makes it answer.
struct EnableCase {
    const char* File;
    platform::sim::PciLocation At;
    unsigned Register;
    const char* Line;  // logged by the handler
    bool Linked;
};
const EnableCase EnableCases[] = {
    {"piix4.json", {0, 7, 3}, 0xD2, " -> I would be able to enable it :-)", true},
    {"ali1535d.json", {0, 17, 0}, 0xF0, "WARNING: SMBus Host Interface is still disabled", true},
    {"ali1533.json", {0, 7, 0}, 0x5D, "M7101 device is still hidden to software", false},
    {"sis645.json", {0, 2, 0}, 0x77, "Unable to find SiS SMBus", false},
    {"sis5595.json", {0, 1, 0}, 0x40, "WARNING: Failed to enable ACPI", false},
    {"ich5.json", {0, 31, 0}, 0xF2, "WARNING: Unable to enable SMBus", false},
};

using EnableScan = ScanCases<EnableCase>;

// A configuration write that does not hold leaves the host unusable: the
// enable, unhide and unlock writes are what makes it answer.
TEST_P(EnableScan, AHostWhoseEnableWriteDoesNotHoldFindsNothing) {
    const EnableCase& c = GetParam();
    loadFile(std::string("chipsets/") + c.File);
    machine().pci().setWriteMask(c.At, c.Register, 0x00);
    scan();
    EXPECT_TRUE(logged(c.Line));
    ASSERT_EQ(smbusLinks().size(), c.Linked ? 1u : 0u);
    if (!c.Linked) return;
    std::uint8_t value = 0;
    EXPECT_FALSE(Links().back()->ReadByteData(0x50, 0x00, value)) << "linked, but nothing answers";
}

INSTANTIATE_TEST_SUITE_P(Chipsets, EnableScan, ::testing::ValuesIn(EnableCases),
                         [](const auto& info) { return TestName(info.param.File); });

TEST_F(Scan, Amd8111ShowsItsSecondSMBusFunction) {
    loadFile("chipsets/amd8111.json");
    EXPECT_EQ(ReadPCIConfigDWord(0, 7, 2, 0x00), 0xFFFFFFFFu);
    scan();
    EXPECT_TRUE(logged("Enabling SMBus ($0001)..."));
    EXPECT_EQ(ReadPCIConfigDWord(0, 7, 2, 0x00), 0x746A1022u);
    EXPECT_EQ(smbusLinks().size(), 1u) << "the function shown gets no link of its own";
}

// ---- nForce1 ------------------------------------------------------------------------

TEST_F(Scan, Nforce1HostLeftNotCompleteIsRemoved) {
    loadFile("chipsets/nforce1.json");
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"nVidia", 14, 0x5000, 1, 0, 1, 1}}));
    EXPECT_FALSE(logged("SMBus at $5000 WRITEQ failed ($07)"));
    EXPECT_TRUE(logged("SMBus at $5100 WRITEQ failed ($07)"));
    EXPECT_TRUE(logged("SMBus at $5100 was NOT COMPLETE"));
    EXPECT_EQ(count("SMBus removed!"), 1);
    for (const auto& line : log) EXPECT_EQ(line.rfind("nForce2 SMBus at", 0), std::string::npos) << line;
    EXPECT_EQ(display.EDChipSet, "nVidia nForce");
}

// ---- Intel thermal --------------------------------------------------------------------

TEST_F(Scan, IntelThermalBlockIsDumpedAndChosen) {
    loadFile("chipsets/intel-thermal.json");
    scan();
    EXPECT_TRUE(logged("Intel Thermal : TBAR=$00000000FED08000  TBARB=$0000000000000000  MSE=YES"));
    EXPECT_TRUE(logged("  Debugging $FED08000"));
    EXPECT_TRUE(logged("    TEMP  =$014A ($014A)"));
    EXPECT_TRUE(logged("    TSC   =$81"));
    EXPECT_TRUE(logged("    TSS   =$C0"));
    EXPECT_TRUE(logged("    CTT   =$01B8"));
    EXPECT_TRUE(logged("    TL    =$00000000"));
    EXPECT_TRUE(logged("  TBARB is Invalid (0)"));
    EXPECT_TRUE(logged("Intel Thermal : Valid data in OS=YES - BIOS=NO - BA set to $FED08000"));
    EXPECT_TRUE(smbusLinks().empty());
}

struct ThermalCase {
    const char* Note;
    std::uint8_t Tbar14;   // high dword of TBAR, low byte
    std::uint8_t Tbarb41;  // TBARB bits 8-15
    std::vector<std::string> Lines;
};
const ThermalCase ThermalCases[] = {
    {"TBAR64TBARBOnABlockOfOneValue", 0x01, 0x10,
     {"  TBAR uses 64 bits", "  Debugging $00001000",
      "Intel Thermal : Valid data in OS=NO - BIOS=NO - BA set to $00000000"}},
    {"TBARBBelow4KiB", 0x00, 0x00, {"  TBARB is Invalid (0)"}},
};

using ThermalScan = ScanCases<ThermalCase>;

TEST_P(ThermalScan, BarsThatCannotBeUsed) {
    const ThermalCase& c = GetParam();
    loadFile("chipsets/intel-thermal.json");
    auto& config = *machine().pci().function({0, 31, 6});
    config[0x04] = 0x00;
    config[0x14] = c.Tbar14;
    config[0x40] = 0xFF;  // the low 12 bits never count
    config[0x41] = c.Tbarb41;
    scan();
    EXPECT_TRUE(logged("Intel Thermal : TBAR=$" + std::string(c.Tbar14 ? "00000001" : "00000000") +
                       "FED08000  TBARB=$00000000" + (c.Tbarb41 ? "000010FF" : "000000FF") + "  MSE=NO"));
    for (const auto& line : c.Lines) EXPECT_TRUE(logged(line)) << line;
}

INSTANTIATE_TEST_SUITE_P(IntelThermal, ThermalScan, ::testing::ValuesIn(ThermalCases),
                         [](const auto& info) { return std::string(info.param.Note); });

// ---- Geode CS5536 ----------------------------------------------------------------------

TEST_F(Scan, Cs5536TakesItsBaseFromTheMsrOnEightPorts) {
    loadFile("chipsets/cs5536.json");
    machine().cpus().cpu(0).msrs[0x5140000B] = 0x0000F00100006007;
    scan();
    EXPECT_TRUE(logged("AMD CD5536 SMBus base address is at $6000"));
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"GeodeCompanion", 13, 0x6000, 1, 0, 0, 0}}));
    EXPECT_EQ(display.EDChipSet, "AMD CD5536");
    EXPECT_EQ(display.EDSMBBase, "$6000");
    EXPECT_EQ(display.EDSMBRev, "");
    EXPECT_TRUE(display.CBSMBIOEnabledVisible && display.CBSMBIOEnabledChecked);
}

// ---- AMD 756/766/768 -------------------------------------------------------------------

struct AmdCase {
    const char* Device;
    const char* Name;
    std::uint8_t Code;
    bool Dumped;
};
const AmdCase AmdCases[] = {
    {"0x740B", "AMD 756", 9, true},
    {"0x7413", "AMD 766", 10, false},
    {"0x7443", "AMD 768", 11, false},
};

using AmdScan = ScanCases<AmdCase>;

TEST_P(AmdScan, PowerManagementHost) {
    const AmdCase& c = GetParam();
    // Bits above the word of 58h are never part of the base.
    load(std::string(R"({"pci": [{"bus": 0, "device": 7, "function": 3, "vendorId": "0x1022", "deviceId": ")") +
         c.Device + R"(", "registers": {"0x08": "0x07", "0x41": "0x00", "0x58": "0x01", "0x59": "0x50",
                                        "0x5A": "0x01"}}]})");
    scan();
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"AMD", c.Code, 0x5000, 1, 0, 7, 3}}));
    EXPECT_EQ(logged("SMBus 5000 dump -->"), c.Dumped);
    EXPECT_EQ(logged("  [$E0]=$FF"), c.Dumped);
    EXPECT_EQ(display.EDChipSet, c.Name);
    EXPECT_EQ(display.EDSMBRev, "07");
    EXPECT_TRUE(display.CBSMBIOEnabledVisible);
    EXPECT_FALSE(display.CBSMBIOEnabledChecked) << "41h bit 7 clear";
}

INSTANTIATE_TEST_SUITE_P(Amd, AmdScan, ::testing::ValuesIn(AmdCases),
                         [](const auto& info) { return TestName(info.param.Name); });

// ---- VIA 823x and 596 ------------------------------------------------------------------

struct ViaCase {
    const char* Device;
    const char* Registers;
    std::vector<TLinkRow> Links;
    const char* Name;
    const char* Rev;
    bool Checked;
};
const ViaCase ViaCases[] = {
    {"0x8235", R"("0x90": "0x01", "0x91": "0x50", "0xD2": "0x00")", {{"VIA", 82, 0x5000, 0, 0, 17, 0}},
     "VIA VT8231", "", false},
    {"0x3074", R"("0xD0": "0x01", "0xD1": "0x04", "0x90": "0x01", "0x91": "0x50")", {{"VIA", 80, 0x0400, 1, 0, 17, 0}},
     "VIA VT8233", "", true},
    {"0x3177", R"("0xD0": "0x00", "0xD1": "0x04")", {}, "VIA VT8235", "", false},
    {"0x3050", R"("0x80": "0x01", "0x81": "0x60", "0x88": "0x20", "0xD6": "0x30")", {{"VIA", 77, 0x6000, 1, 0, 17, 0}},
     "VIA VT82C596", "20", true},
    {"0x3051", R"("0x90": "0x01", "0x91": "0x50", "0x80": "0x01", "0x81": "0x60", "0xD6": "0x30")",
     {{"VIA", 78, 0x5000, 1, 0, 17, 0}}, "VIA VT82C596B", "30", true},
};

using ViaScan = ScanCases<ViaCase>;

TEST_P(ViaScan, Host) {
    const ViaCase& c = GetParam();
    load(std::string(R"({"pci": [{"bus": 0, "device": 17, "function": 0, "vendorId": "0x1106", "deviceId": ")") +
         c.Device + R"(", "registers": {)" + c.Registers + "}}]}");
    scan();
    EXPECT_EQ(smbusLinks(), c.Links);
    EXPECT_EQ(display.EDChipSet, c.Name);
    EXPECT_EQ(display.EDSMBRev, c.Rev);
    EXPECT_EQ(display.CBSMBIOEnabledChecked, c.Checked);
}

INSTANTIATE_TEST_SUITE_P(Via, ViaScan, ::testing::ValuesIn(ViaCases),
                         [](const auto& info) { return TestName(info.param.Name); });

TEST_F(Scan, Via8231WarnsWhenItsHostIsOff) {
    load(R"({"pci": [{"bus": 0, "device": 17, "function": 0, "vendorId": "0x1106", "deviceId": "0x8235",
                      "registers": {"0x90": "0x01", "0x91": "0x50", "0xD0": "0x01", "0xD1": "0x04"}}]})");
    scan();
    EXPECT_EQ(std::count(info.begin(), info.end(), "WARNING : VT8231 SMBus support is disabled"), 1);
    EXPECT_TRUE(logged("VIA VT8231 [$90]=$00005001"));
    EXPECT_TRUE(logged("VIA VT8231 [$D0]=$00000401"));
}

// ---- ALi -----------------------------------------------------------------------------

struct AliCase {
    const char* Note;
    const char* Device;
    const char* Word80Low;
    std::vector<TLinkRow> Links;
    const char* Name;
    const char* Line;
};
const AliCase AliCases[] = {
    {"M1573", "0x1573", "0x03", {{"Uli", 31, 0x0C00, 1, 0, 28, 0}}, "Ali M1573", ""},
    {"M1575", "0x1575", "0x0B", {{"Uli", 32, 0x0C00, 1, 0, 28, 0}}, "Uli M1575", ""},
    {"M1573Off", "0x1573", "0x01", {}, "Ali M1573", "SMBus Host is Disabled ($0C01)."},
};

using AliScan = ScanCases<AliCase>;

TEST_P(AliScan, M1573AndM1575) {
    const AliCase& c = GetParam();
    load(std::string(R"({"pci": [{"bus": 0, "device": 28, "function": 0, "vendorId": "0x10B9", "deviceId": ")") +
         c.Device + R"(", "registers": {"0x08": "0x01", "0x80": ")" + c.Word80Low + R"(", "0x81": "0x0C"}}]})");
    scan();
    EXPECT_EQ(smbusLinks(), c.Links);
    EXPECT_EQ(display.EDChipSet, c.Name);
    if (*c.Line) {
        EXPECT_TRUE(logged(c.Line));
    } else {
        EXPECT_EQ(display.EDSMBRev, "00000001");
    }
}

INSTANTIATE_TEST_SUITE_P(Ali, AliScan, ::testing::ValuesIn(AliCases),
                         [](const auto& info) { return std::string(info.param.Note); });

TEST_F(Scan, AliM7101IsUnhiddenMadeWritableUnlockedAndClocked) {
    loadFile("chipsets/ali1533.json");
    scan();
    const std::vector<std::string> lines = {
        "IDE Controller from an ALi M1533",
        "M7101 PMU Device seems to be disabled",
        "15xx [$5C]=$4000",
        "1533 [$74]=$40",
        "M7101 registers are READ ONLY",
        "1533 [$74]=$00",
        "M7101 device is hidden to software",
        "1533 [$5C]=$0000",
        "7101 bus=$00 dev=$0C func=$00",
        "M7101 from M1533 found",
        "M7101 [$5B]=$06",
        "SMBus Base Address Locked?",
        "M7101 [$5B]=$00 (new value)",
        "SMBus base address : $0E00 (new value)",
        "Setting SMBus base clock...",
    };
    for (const auto& line : lines) EXPECT_TRUE(logged(line)) << line;
    EXPECT_FALSE(logged("M7101 registers are still READ ONLY"));
    EXPECT_FALSE(logged("M7101 device is still hidden to software"));
    EXPECT_EQ(configByte(0, 12, 0, 0xE2), 0x20);
    EXPECT_EQ(configByte(0, 12, 0, 0x5B), 0x00);
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"Ali", 27, 0x0E00, 1, 0, 12, 0}}));
    EXPECT_EQ(display.EDChipSet, "ALI 1533");
    EXPECT_EQ(display.EDSMBRev, "01");
    EXPECT_TRUE(display.CBSMBIOEnabledChecked);
}

TEST_F(Scan, AliM1535DSwitchesItsHostOn) {
    loadFile("chipsets/ali1535d.json");
    scan();
    EXPECT_TRUE(logged("WARNING: SMBus is disabled"));
    EXPECT_TRUE(logged("Enabling SMBus IO Space..."));
    EXPECT_TRUE(logged("Enabling SMBus Host Interface..."));
    EXPECT_EQ(configByte(0, 17, 0, 0xD1), 0x04);
    EXPECT_EQ(configByte(0, 17, 0, 0xF0), 0x01);
    EXPECT_EQ(count("Enabling SMBus IO Space..."), 1) << "the second check finds it on";
}

TEST_F(Scan, AliM1535DHiddenByItsBridgeIsUnhidden) {
    loadFile("chipsets/ali1535d.json");
    (*machine().pci().function({0, 7, 0}))[0x5A] = 0x10;
    scan();
    EXPECT_TRUE(logged("M7101 device is hidden to software"));
    EXPECT_TRUE(logged("1535D [$5A]=$00"));
    EXPECT_EQ(smbusLinks(), (std::vector<TLinkRow>{{"Ali", 29, 0x0E00, 1, 0, 17, 0}}));
}

// ---- SiS x30 ---------------------------------------------------------------------------

TEST_F(Scan, SisX30UsesTheAcpiBlock) {
    loadFile("chipsets/sis630.json");
    scan();
    for (const char* line : {"SiS Revision is $B1", "ACPI I/O Base Address : $0800", "ACPI is ENABLED",
                             "ACPI Base Address : $0800", "  SMBus mode selected"})
        EXPECT_TRUE(logged(line)) << line;
    EXPECT_EQ(display.EDChipSet, "SiS630");
    EXPECT_EQ(display.EDSMBBase, "$0800");
    EXPECT_EQ(display.EDSMBRev, "B1");
}

TEST_F(Scan, SisX30WithAcpiOffIsNotLinked) {
    loadFile("chipsets/sis630.json");
    (*machine().pci().function({0, 1, 0}))[0x40] = 0x00;
    scan();
    EXPECT_TRUE(logged("ACPI is DISABLED"));
    EXPECT_FALSE(logged("ACPI is ENABLED"));
    EXPECT_TRUE(smbusLinks().empty());
    EXPECT_EQ(configByte(0, 1, 0, 0x40), 0x00) << "x30 only reads the enable bit";
}

TEST_F(Scan, Sis5595SwitchesAcpiOnAndLinksItsHost) {
    loadFile("chipsets/sis5595.json");
    scan();
    for (const char* line : {"SiS 5595 (rev $81) device found", "ACPI is DISABLED", "WARNING: Trying to enable ACPI",
                             "SIS5595 test 1", "SIS5595 test 2", "SMBus dump -->"})
        EXPECT_TRUE(logged(line)) << line;
    EXPECT_EQ(configByte(0, 1, 0, 0x40), 0x80);
    EXPECT_EQ(display.EDChipSet, "SiS 5595 (NOT YET USED!!!)");
    EXPECT_FALSE(display.CBSMBIOEnabledVisible);
}

}  // namespace
