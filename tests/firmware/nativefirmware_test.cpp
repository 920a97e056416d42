// The firmware sources on the native backend, on a stand-in system in a
// temporary folder: the tables of /sys/firmware reach the SMBIOS explorer and
// the ACPI tables parser through the driver's firmware view, and the thermal
// zones of /sys/class/thermal reach the WMI inspector.
#include <gmock/gmock.h>

#include <cerrno>
#include <filesystem>

#include "base/cvtrace.h"
#include "firmware/cvacpi.h"
#include "firmware/cvwmi.h"
#include "hw/cvdriver.h"
#include "platform/linux/nativeplatform.h"
#include "smbiosfixture.h"

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using platform::native::NativePlatform;
using platform::native::NativeRoots;

namespace {

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

void Put32(Bytes& b, std::size_t at, std::uint64_t v, int count = 4) {
    for (int i = 0; i < count; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A table file as the kernel exports it: the header's length is the file's.
std::string AcpiFile(const std::string& signature, std::uint32_t size) {
    Bytes bytes = platform::MakeAcpiTable(signature, size).bytes;
    Put32(bytes, 4, size);
    return Text(bytes);
}

Bytes IdentityTable() {
    return Join({Structure(0, 0, {1, 2, 0, 0, 0xF0, 0x03, 0, 0}, {"Larkspur Firmware Inc.", "F7"}),
                 Structure(1, 1, {1, 2, 3, 4}, {"Orvane Computer Co.", "OC-Q9 Desktop", "1.0", "OCQ9-1"}),
                 Structure(2, 2, {1, 2, 3, 4}, {"Orvane Computer Co.", "P45-QX", "Rev 1.1", "MB-1"}), EndOfTable()});
}

// A 3.x entry point: the form UEFI firmware gives alone.
Bytes Smbios3EntryPoint(std::size_t tableSize) {
    Bytes point(24, 0);
    std::copy_n("_SM3_", 5, point.begin());
    point[6] = 24;
    point[7] = 3;
    point[8] = 2;
    Put32(point, 12, tableSize);
    Put32(point, 16, 0x7A3B0000, 8);
    return point;
}

class NativeFirmwareTest : public SmbiosTest {
protected:
    NativeFirmwareTest()
        : native_(NativeRoots{(root_.path() / "dev").string(), (root_.path() / "sys").string(),
                              (root_.path() / "proc").string()},
                  [] { return ENOSYS; }) {}

    void put(const std::string& path, const std::string& content) {
        fs::create_directories((root_.path() / path).parent_path());
        testsupport::writeFile((root_.path() / path).string(), content);
    }
    void putFirmware() {
        const Bytes table = IdentityTable();
        put("sys/firmware/dmi/tables/smbios_entry_point", Text(Smbios3EntryPoint(table.size())));
        put("sys/firmware/dmi/tables/DMI", Text(table));
        put("sys/firmware/acpi/tables/FACP", AcpiFile("FACP", 244));
        put("sys/firmware/acpi/tables/DSDT", AcpiFile("DSDT", 5000));
        put("sys/firmware/acpi/tables/APIC", AcpiFile("APIC", 120));
        put("sys/firmware/acpi/tables/SSDT1", AcpiFile("SSDT", 300));
        put("sys/firmware/acpi/tables/SSDT2", AcpiFile("SSDT", 200));
        put("sys/firmware/acpi/tables/FACS", std::string(64, 'F'));
        put("sys/firmware/acpi/tables/dynamic/SSDT9", AcpiFile("SSDT", 100));
    }
    std::vector<std::string> ParsedTables() {
        IOPort = std::make_unique<TIOPort>();
        TAcpiTablesParser parser;
        parser.Parse();
        std::vector<std::string> names;
        for (int i = 0; i < parser.GetTableCount(); ++i)
            names.push_back(parser.GetTable(i).Name + ":" + std::to_string(parser.GetTable(i).Data.size()));
        return names;
    }

    testsupport::TempDir root_;
    NativePlatform native_;
    std::optional<platform::ScopedPlatform> scope_;
};

TEST_F(NativeFirmwareTest, SysfsTablesReachTheExplorerAndTheParser) {
    putFirmware();
    // Without /dev/mem, and with one whose legacy segment holds no anchor.
    for (const bool devMem : {false, true}) {
        if (devMem) put("dev/mem", std::string(0x100000, '\0'));
        ResetCvsmbios();
        scope_.emplace(native_);
        TSMBiosExplorer explorer;
        EXPECT_EQ(explorer.GetBoardManufacturer(), "Orvane Computer Co.") << devMem;
        EXPECT_EQ(explorer.GetBoardProduct(), "P45-QX");
        EXPECT_EQ(explorer.GetSystemProduct(), "OC-Q9 Desktop");
        EXPECT_EQ(explorer.GetBIOSVersion(), "F7");
        EXPECT_EQ(explorer.GetSystemSerial(), "OCQ9-1");
        EXPECT_EQ(explorer.GetEntryPoint()[6], 3) << "the 3.x version is kept";
        EXPECT_EQ(explorer.GetEntryPoint()[7], 2);
        // RSDT by file name: APIC (skipped by the parser), FACP (its DSDT), SSDT1, SSDT2.
        EXPECT_THAT(ParsedTables(), ElementsAre("DSDT:5000", "SSDT:300", "SSDT:200"));
        IOPort.reset();
        scope_.reset();
    }
}

TEST_F(NativeFirmwareTest, ATableWithAWrongChecksumIsRefusedAndTheOthersKeepTheirBytes) {
    std::string oem = AcpiFile("OEMB", 64);
    oem[9] = static_cast<char>(oem[9] ^ 0x5A);
    std::string ssdt = AcpiFile("SSDT", 80);
    ssdt[8] = 9;  // revision 9, with the checksum the firmware made for it
    ssdt[9] = static_cast<char>(ssdt[9] - 8);
    put("sys/firmware/acpi/tables/OEMB", oem);
    put("sys/firmware/acpi/tables/SSDT1", ssdt);
    scope_.emplace(native_);
    IOPort = std::make_unique<TIOPort>();
    TAcpiTablesParser parser;
    parser.Parse();
    ASSERT_EQ(parser.GetTableCount(), 1);
    EXPECT_EQ(parser.GetTable(0).Data, ssdt);
}

TEST_F(NativeFirmwareTest, WithoutTablesThereIsNoViewAndNoIdentity) {
    put("dev/mem", std::string(0x100000, '\0'));
    scope_.emplace(native_);
    TSMBiosExplorer explorer;
    EXPECT_EQ(explorer.GetBoardManufacturer(), "");
    EXPECT_THAT(ParsedTables(), ElementsAre());
}

TEST_F(NativeFirmwareTest, ThermalZonesReachTheInspector) {
    put("sys/class/thermal/thermal_zone0/type", "acpitz\n");
    put("sys/class/thermal/thermal_zone0/temp", "30000\n");
    put("sys/class/thermal/thermal_zone0/trip_point_0_type", "critical\n");
    put("sys/class/thermal/thermal_zone0/trip_point_0_temp", "105000\n");
    put("sys/class/thermal/thermal_zone0/trip_point_1_type", "passive\n");
    put("sys/class/thermal/thermal_zone0/trip_point_1_temp", "95050\n");
    scope_.emplace(native_);
    TWmiInspector inspector;
    inspector.ExploreClass("root\\WMI", "MSAcpi_ThermalZoneTemperature", true);
    EXPECT_THAT(inspector.Lines, Contains("  CurrentTemperature = 3032 (30.0C)"));
    EXPECT_THAT(inspector.Lines, Contains("  InstanceName = thermal_zone0 (acpitz)"));
    EXPECT_DOUBLE_EQ(inspector.AcpiCriticalTripPoint, 105.0);
    EXPECT_DOUBLE_EQ(inspector.AcpiPassiveTripPoint, 95.0) << "95.05 C is 3682 tenths of a kelvin, halves to even";
    EXPECT_EQ(inspector.AcpiActiveTripPoint, 0) << "the zone has no active trip point";

    // A changed reading shows on the next query; other classes have no instances.
    put("sys/class/thermal/thermal_zone0/temp", "41500\n");
    EXPECT_EQ(inspector.QueryValue("root\\WMI", "SELECT * FROM MSAcpi_ThermalZoneTemperature", "CurrentTemperature"),
              "3147");
    EXPECT_EQ(inspector.QueryValue("root\\CIMV2", "SELECT * FROM Win32_Fan", "Name"), "");
}

}  // namespace
