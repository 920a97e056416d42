// The Toshiba, ACPI and ATK0110 steps: the device listing, the thermal-zone
// routes through the driver and WMI, the ATK0110 search and its board name,
// and the whole start-up on ACPI boards.

#include <gtest/gtest.h>

#include "acpifixture.h"
#include "core/cvtimers.h"
#include "core/fakeservices.h"
#include "detect/cvlinklookups.h"
#include "detect/cvsensordetection.h"

namespace {

using Lines = std::vector<std::string>;

// ---- the device listing -------------------------------------------------------------

constexpr const char* ListingBoard = R"({
  "driver": {"major": 2, "minor": 3},
  "devices": [
    {"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\0000004a", "hardwareIds": ["ACPI\\PNP0C09", "*PNP0C09"],
     "compatibleIds": ["PNP0C09"], "description": " Embedded Controller ", "friendlyName": "EC"},
    {"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\0000004b", "hardwareIds": ["ACPI\\PNP0A08"],
     "friendlyName": " PCI Express Root ", "openError": "0x5"},
    {"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\0000004c", "openError": "0x5", "description": "hidden"},
    {"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\4d"},
    {"enumerator": "ACPI", "physicalDeviceObject": "\\Dev", "hardwareIds": ["ACPI\\FIXEDBUTTON"]},
    {"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\0000004e", "hardwareIds": ["ACPI\\PNP0C0C"],
     "present": false},
    {"enumerator": "ROOT", "physicalDeviceObject": "\\Device\\00000070", "hardwareIds": ["ROOT\\BEEP"],
     "description": "Beep"},
    {"enumerator": "ACPI_HAL", "physicalDeviceObject": "\\Device\\00000001", "hardwareIds": ["ACPI_HAL\\PNP0C08"],
     "description": "ACPI System"}
  ]
})";

class AcpiListing : public AcpiTest {
protected:
    Lines listing() {
        const Lines lines = trace();
        const auto begin = std::find(lines.begin(), lines.end(), "ACPI Devices -->");
        const auto end = std::find(lines.begin(), lines.end(), "ACPI Devices <--");
        EXPECT_TRUE(begin != lines.end() && end != lines.end());
        return Lines(begin + 1, end);
    }
};

TEST_F(AcpiListing, StatusObjectNameIdsAndTheRuleForEmptyIds) {
    loadJson(ListingBoard);
    TAcpiData data;
    ScanAcpiDevices(context, data);
    // HAL first, then ACPI; the absent device and the ROOT list (no beta) are not listed; the
    // device without ids that does not open is left out; a PDO name under 9 characters has
    // empty parts and its open of the bare prefix fails with "not found".
    const Lines expected = {
        "     ok    : \\00000001 : ACPI_HAL\\PNP0C08 :  : ACPI System",
        "     ok    : \\0000004a : ACPI\\PNP0C09 - *PNP0C09 : PNP0C09 : Embedded Controller",
        "  00000005 : \\0000004b : ACPI\\PNP0A08 :  : PCI Express Root",
        "     ok    :       \\4d :  :  : <unknown>",
        "  00000002 :           : ACPI\\FIXEDBUTTON :  : <unknown>",
    };
    EXPECT_EQ(listing(), expected);
    EXPECT_TRUE(tracedAll({"About to scan ACPI devices...", "End of ACPI devices scanning"}));
    EXPECT_EQ(data.RootList.Count(), 0);
    EXPECT_FALSE(tracedWith("Error scanning"));
}

TEST_F(AcpiListing, TheRootListOnlyInBeta) {
    monitor.Caption = "Caldavor 1.0 beta 3";
    loadJson(ListingBoard);
    TAcpiData data;
    ScanAcpiDevices(context, data);
    const Lines lines = listing();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], "     ok    : \\00000070 : ROOT\\BEEP :  : Beep") << "after HAL, before ACPI";
}

// ---- the thermal-zone routes --------------------------------------------------------------

enum class Zones { Answering, Failing, Absent };

struct ThermalRow {
    bool installed;
    std::uint32_t major, minor;
    Zones zones;
    bool throughDriver;
};

std::string ThermalBoard(Zones zones) {
    std::string zone;
    if (zones == Zones::Answering)
        zone = R"({"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\00000050",
                   "hardwareIds": ["ACPI\\ThermalZone"], "rawThermal": ["0x7", "0x0", "0x0", "0x0", "0xBD8"],
                   "thermalInformation": {"current": 3032}})";
    if (zones == Zones::Failing)
        zone = R"({"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\00000050",
                   "hardwareIds": ["ACPI\\ThermalZone"], "thermalInformation": "fails"})";
    return R"({"devices": [)" + zone + R"(],
      "wmi": {"namespaces": {"root\\WMI": {"MSAcpi_ThermalZoneTemperature": [
        {"InstanceName": "TZ00", "CurrentTemperature": {"cimType": 19, "value": 3032}}]}}}})";
}

class ThermalRoutes : public AcpiTest, public ::testing::WithParamInterface<ThermalRow> {};

TEST_P(ThermalRoutes, TheDriverWhenAZoneAnswersElseWmi) {
    const ThermalRow& row = GetParam();
    machine().loadFromJson(ThermalBoard(row.zones), "thermal board");
    machine().driver().installed = row.installed;
    useDriver(row.major, row.minor);
    ProbeACPI(context);
    EXPECT_EQ(codes(), std::vector<int>{4}) << "WMI has a zone at 30.0";
    EXPECT_EQ(monitor.Sensors[0]->FLink, Links()[0].get());
    EXPECT_EQ(has(boxes.Info, "Found ACPI temperature (30.0C)"), !row.throughDriver);
    EXPECT_TRUE(has(boxes.Readings, "Found ACPI temperature"));
    EXPECT_TRUE(has(boxes.Info, "About to probe ACPI...") && has(boxes.Info, "End of ACPI probing"));
}

INSTANTIATE_TEST_SUITE_P(
    AcpiStep, ThermalRoutes,
    ::testing::Values(ThermalRow{false, 2, 3, Zones::Answering, false}, ThermalRow{true, 1, 5, Zones::Answering, false},
                      ThermalRow{true, 1, 6, Zones::Answering, true}, ThermalRow{true, 1, 6, Zones::Failing, false},
                      ThermalRow{true, 1, 6, Zones::Absent, false}, ThermalRow{true, 2, 2, Zones::Answering, true},
                      ThermalRow{true, 2, 2, Zones::Failing, false}, ThermalRow{true, 2, 3, Zones::Absent, false}));

struct WmiRow {
    std::vector<int> temperatures;  // tenths of a kelvin, one zone each
    const char* note;               // null: nothing found
};

class WmiRoute : public AcpiTest, public ::testing::WithParamInterface<WmiRow> {};

TEST_P(WmiRoute, TheFirstCurrentTemperatureOtherThanZero) {
    std::string zones;
    for (int t : GetParam().temperatures)
        zones += std::string(zones.empty() ? "" : ",") +
                 R"({"InstanceName": "TZ", "CurrentTemperature": {"cimType": 19, "value": )" + std::to_string(t) +
                 "}}";
    loadJson(R"({"driver": {"major": 1, "minor": 5},
      "wmi": {"namespaces": {"root\\WMI": {"MSAcpi_ThermalZoneTemperature": [)" + zones + "]}}}}");
    ProbeACPI(context);
    const char* note = GetParam().note;
    EXPECT_EQ(monitor.Sensors.size(), note ? 1u : 0u);
    if (note) {
        EXPECT_TRUE(has(boxes.Info, note));
    }
    EXPECT_FALSE(tracedWith("About to scan ACPI Thermal Zones")) << "no device namespace below 1006";
}

INSTANTIATE_TEST_SUITE_P(AcpiStep, WmiRoute,
                         ::testing::Values(WmiRow{{2982}, "Found ACPI temperature (25.0C)"}, WmiRow{{2737}, nullptr},
                                           WmiRow{{2732}, nullptr},
                                           WmiRow{{2732, 3032}, "Found ACPI temperature (30.0C)"}));

TEST_F(AcpiTest, WmiNotRegistered) {
    loadJson(R"({"driver": {"major": 1, "minor": 5}, "wmi": {"enabled": false}})");
    ProbeACPI(context);
    EXPECT_TRUE(has(boxes.Info, "WMI interface not registered on this system."));
    EXPECT_TRUE(has(boxes.Info, "End of ACPI probing"));
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(AcpiTest, WmiRaising) {
    loadJson(R"({"driver": {"major": 1, "minor": 5}, "wmi": {"failConnect": "RPC server unavailable"}})");
    ProbeACPI(context);
    EXPECT_TRUE(has(boxes.Info, "Error scanning ACPI temp (RPC server unavailable)"));
    EXPECT_TRUE(traced("Error scanning ACPI temp (RPC server unavailable)"));
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(AcpiTest, TheZoneDumpOfBothDriverQueries) {
    load("thermalzones.json");
    useDriver(2, 2);
    TAcpiData data;
    ScanAcpiDevices(context, data);
    ASSERT_TRUE(ProbeThermalZones(monitor.Log, data));
    const Lines lines = trace();
    const Lines expected = {
        "About to scan ACPI Thermal Zones...",
        "    Found thermal zone 0 -> \\Device\\00000050 (00000050)",
        "    Found thermal zone 1 -> \\Device\\00000051 (00000051)",
        "Thermal Zone Info (00000050)",
        "  IOCTL status=1",
        "  IOCTL returned size=76",
        "  Current temperature=30.0",
        "  Thermal stamp      =7",
        "  Passive trip point =90.0",
        "  Critical trip point=100.0",
        "Thermal Zone Info (00000050)",
        "  IOCTL status=1",
        "  IOCTL returned size=40",
        "  RAW DATA[00]=7  (-272.5)",
        "  RAW DATA[01]=0  (-273.2)",
        "  RAW DATA[02]=0  (-273.2)",
        "  RAW DATA[03]=0  (-273.2)",
        "  RAW DATA[04]=3032  (30.0)",
        "  RAW DATA[05]=3632  (90.0)",
        "  RAW DATA[06]=3732  (100.0)",
        "  RAW DATA[07]=0  (-273.2)",
        "  RAW DATA[08]=0  (-273.2)",
        "  RAW DATA[09]=0  (-273.2)",
        "Thermal Zone Info (00000051)",
    };
    const auto start = std::find(lines.begin(), lines.end(), expected[0]);
    ASSERT_LE(static_cast<std::size_t>(lines.end() - start), lines.size());
    ASSERT_GE(static_cast<std::size_t>(lines.end() - start), expected.size());
    EXPECT_EQ(Lines(start, start + static_cast<std::ptrdiff_t>(expected.size())), expected);
    EXPECT_TRUE(traced("End of ACPI Thermal Zones scanning"));
}

TEST_F(AcpiTest, AFailingZoneQueryIsWrittenWithItsStatus) {
    loadJson(ThermalBoard(Zones::Failing));
    useDriver(1, 6);
    TAcpiData data;
    ScanAcpiDevices(context, data);
    EXPECT_FALSE(ProbeThermalZones(monitor.Log, data));
    EXPECT_TRUE(tracedAll({"Thermal Zone Info (00000050)", "  IOCTL status=0", "  IOCTL returned size=0"}));
    EXPECT_FALSE(tracedWith("Current temperature"));
}

// ---- ATK0110 ------------------------------------------------------------------------------

std::string AtkBoard(const std::string& device, std::uint32_t major = 2, std::uint32_t minor = 3) {
    return R"({"driver": {"major": )" + std::to_string(major) + R"(, "minor": )" + std::to_string(minor) +
           R"(}, "devices": [)" + device + "]}";
}
std::string AtkDevice(const std::string& extra) {
    return R"({"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\00000045",
               "hardwareIds": ["ACPI\\ATK0110", "*ATK0110"])" +
           extra + "}";
}

struct AtkRow {
    const char* name;
    std::string board;
    std::vector<const char*> lines;  // traced, in any order
    const char* found;               // the found line in both boxes; null: none
};

class ATK0110Probe : public AcpiTest, public ::testing::WithParamInterface<AtkRow> {};

TEST_P(ATK0110Probe, SearchEvaluationAndErrors) {
    loadJson(GetParam().board);
    ProbeATK0110New(context);
    const AtkRow& row = GetParam();
    EXPECT_TRUE(tracedAll({"About to probe ATK0110 (new method)...", "ProbeATK0110 is starting...",
                           "About to scan ACPI devices...", "End of ACPI devices scanning", "End of ProbeATK0110",
                           "End of ATK0110 (new method) probing"}));
    for (const char* line : row.lines) {
        EXPECT_TRUE(traced(line)) << line;
    }
    if (row.found) {
        EXPECT_TRUE(has(boxes.Readings, row.found));
        EXPECT_TRUE(traced("ATK0110 found on ACPI"));
        ASSERT_EQ(codes(), std::vector<int>{217});
        EXPECT_EQ(monitor.Sensors[0]->FLink->LinkKind(), LinkKinds::ACPI);
    } else {
        EXPECT_TRUE(monitor.Sensors.empty());
        EXPECT_FALSE(traced("ATK0110 found on ACPI"));
    }
}

const char* const FoundAtk = "Found ATK0110 -> \\Device\\00000045 (00000045)";

INSTANTIATE_TEST_SUITE_P(
    AcpiStep, ATK0110Probe,
    ::testing::Values(
        AtkRow{"NotPresent", AtkBoard(""), {}, nullptr},
        AtkRow{"NamespaceOff", AtkBoard(AtkDevice(R"(, "acpiMethods": {"MBIF": 1})"), 1, 5), {FoundAtk}, nullptr},
        AtkRow{"OpenFails",
               AtkBoard(AtkDevice(R"(, "openError": "0x5", "acpiMethods": {"MBIF": 1})")),
               {FoundAtk, "Unable to open \\\\.\\caldavor\\Device\\00000045 (error $00000005)"},
               nullptr},
        AtkRow{"BoardName",
               AtkBoard(AtkDevice(R"(, "acpiMethods": {"MBIF": {"package": [1, "QX-45 DELUXE"]}})")),
               {FoundAtk, "  Motherboard is <QX-45 DELUXE>"},
               "ATK0110 (MB=QX-45 DELUXE) found on ACPI"},
        AtkRow{"NoBoardName", AtkBoard(AtkDevice(R"(, "acpiMethods": {"MBIF": 7})")), {FoundAtk},
               "ATK0110 (MB=<unknown>) found on ACPI"},
        AtkRow{"EvaluationFails",
               AtkBoard(AtkDevice(R"(, "acpiMethods": {"MBIF": {"fails": "0xC0000034"}})")),
               {FoundAtk},
               nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AcpiTest, TheLastATK0110WinsAbsentOrNot) {
    loadJson(AtkBoard(AtkDevice(R"(, "acpiMethods": {"MBIF": {"fails": "0xC0000034"}})") + "," +
                      R"({"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\00000046", "present": false,
                          "hardwareIds": ["acpi\\atk0110"], "acpiMethods": {"MBIF": {"package": [1, "B2"]}}})"));
    EXPECT_EQ(engine.ProbeATK0110(), 217) << "the absent second device is listed too, and wins";
    EXPECT_TRUE(tracedAll({FoundAtk, "Found ATK0110 -> \\Device\\00000046 (00000046)", "  Motherboard is <B2>"}));
}

TEST_F(AcpiTest, AFailedMBIFIsLogged) {
    loadJson(AtkBoard(AtkDevice(R"(, "acpiMethods": {"MBIF": {"fails": "0xC0000034"}})")));
    EXPECT_EQ(engine.ProbeATK0110(), 1);
    EXPECT_TRUE(tracedWith("Error executing ACPI method MBIF ("));
}

TEST_F(AcpiTest, TheACPILinkIsAddedOnce) {
    loadJson(AtkBoard(AtkDevice(R"(, "acpiMethods": {"MBIF": {"package": [1, "QX"]}})")));
    ProbeATK0110New(context);
    const int acpi = FindOrAddACPILink();
    ProbeATK0110New(context);
    EXPECT_EQ(std::count_if(Links().begin(), Links().end(),
                            [](const auto& link) { return link->LinkKind() == LinkKinds::ACPI; }),
              1);
    EXPECT_EQ(monitor.Sensors[0]->FLink, Links()[static_cast<std::size_t>(acpi)].get());
}

// ---- Toshiba ------------------------------------------------------------------------------

class SilentDevice : public platform::Device {
public:
    bool control(std::uint32_t, std::span<const std::uint8_t>, std::span<std::uint8_t>, std::uint32_t&) override {
        return false;
    }
};

TEST_F(AcpiTest, ToshibaPresentAndAbsent) {
    loadJson("{}");
    ProbeToshiba(context);
    EXPECT_TRUE(monitor.Sensors.empty());
    EXPECT_TRUE(has(boxes.Info, "About to probe TOSHIBA SUPPORT...") && has(boxes.Info, "End of TOSHIBA SUPPORT probing"));
    EXPECT_FALSE(has(boxes.Info, "Found TOSHIBA fan driver"));

    machine().addDevice("\\\\.\\TVALD", [] { return std::make_unique<SilentDevice>(); });
    ProbeToshiba(context);
    EXPECT_TRUE(has(boxes.Readings, "Found TOSHIBA fan driver"));
    ASSERT_EQ(codes(), std::vector<int>{19});
    EXPECT_EQ(monitor.Sensors[0]->FLink, Links()[0].get());
}

// ---- the whole start-up -------------------------------------------------------------------

class AcpiStartup : public AcpiTest {
protected:
    void start(const std::string& board) {
        machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR) + "/acpi/" + board);
        Links().clear();
        detection.Install();
        monitor.TimerService = &timers;
        monitor.Window = &window;
        monitor.FormCreate({"caldavor"});
        monitor.DeferredStartup();
    }
    TClockTimers timers;
    coretest::TFakeWindow window;
    TSensorDetection detection{monitor};
};

TEST_F(AcpiStartup, TheATK0110DesktopGetsItsSensorOnTheACPILink) {
    start("atk0110-desktop.json");
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    TSensor& sensor = *monitor.Sensors[0];
    EXPECT_EQ(sensor.FChipCode, 217);
    EXPECT_EQ(sensor.FLink->LinkKind(), LinkKinds::ACPI);
    EXPECT_TRUE(has(boxes.Readings, "ATK0110 (MB=QX-45 DELUXE) found on ACPI"));
    EXPECT_TRUE(traced("     ok    : \\0000003f :  :  : PCI bus"));
    EXPECT_FALSE(traced("  00000005 : \\00000040 :  :  : Motherboard resources")) << "no ids and it does not open";
    EXPECT_TRUE(tracedAll({"About to probe ACPI", "End of ACPI detection", "About to probe ATK0110",
                           "End of ATK0110 detection", "About to probe TOSHIBA SENSORS"}));
    // CPU Temperature 420 / 10 through RTMP.
    EXPECT_DOUBLE_EQ(sensor.GetTemp(1).Stats->Last(), 42.0);
    monitor.FormDestroy();
}

TEST_F(AcpiStartup, ThermalZonesAddTheACPISensorOnLinkZero) {
    start("thermalzones.json");
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 4);
    EXPECT_EQ(monitor.Sensors[0]->FLink, Links()[0].get());
    EXPECT_TRUE(has(boxes.Readings, "Found ACPI temperature"));
    monitor.FormDestroy();
}

}  // namespace
