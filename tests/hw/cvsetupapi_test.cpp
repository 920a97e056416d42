#include "hw/cvsetupapi.h"

#include "hw/cvcpuaffinity.h"
#include "hwfixture.h"

namespace devprop = platform::devprop;

namespace {

platform::sim::SimDevice device(const std::string& enumerator, const std::string& pdo) {
    platform::sim::SimDevice d;
    d.record.setString(devprop::EnumeratorName, enumerator);
    d.record.setString(devprop::PhysicalDeviceObjectName, pdo);
    return d;
}

class DeviceListTest : public HwTest {
protected:
    TSDDevices scan(const std::string& enumerator = {}, bool presentOnly = false) {
        TSDDevices list;
        list.Enumerator = enumerator;
        list.PresentOnly = presentOnly;
        list.Scan();
        return list;
    }
};

TEST_F(DeviceListTest, PropertiesBecomeFieldsWithMultiStringsJoined) {
    auto d = device("PCI", "\\Device\\NTPNP_PCI0012");
    d.record.setMultiString(devprop::HardwareId, {"PCI\\VEN_8086&DEV_2930", "PCI\\VEN_8086"});
    d.record.setString(devprop::DeviceDesc, "  SMBus Controller ");
    d.record.setDword(devprop::Address, 0x1F0003);
    d.record.setString(devprop::UiNumberDescFormat, "%u");  // ignored without a UI number
    machine().devices().push_back(d);

    const TSDDevice got = scan().GetDevice(0);
    EXPECT_EQ(got.HardwareID, "PCI\\VEN_8086&DEV_2930 - PCI\\VEN_8086");
    EXPECT_EQ(got.Description, "SMBus Controller");
    EXPECT_EQ(got.Name, "SMBus Controller");
    EXPECT_EQ(got.Address, 0x1F0003u);
    EXPECT_EQ(got.UINumber, 0xFFFFFFFFu);
    EXPECT_EQ(got.UINumberFormat, "");
    EXPECT_EQ(got.Enumerator, "PCI");
}

TEST_F(DeviceListTest, NameFallsBackFromFriendlyNameToDescriptionToDeviceObject) {
    auto named = device("ACPI", "\\Device\\1");
    named.record.setString(devprop::FriendlyName, "Friendly");
    named.record.setString(devprop::DeviceDesc, "Described");
    auto described = device("ACPI", "\\Device\\2");
    described.record.setString(devprop::DeviceDesc, "Described");
    machine().devices() = {named, described, device("ACPI", "\\Device\\3")};
    const TSDDevices list = scan();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetDevice(0).Name, "Friendly");
    EXPECT_EQ(list.GetDevice(1).Name, "Described");
    EXPECT_EQ(list.GetDevice(2).Name, "\\Device\\3");
}

TEST_F(DeviceListTest, QueryFiltersAndOutOfRangeEntries) {
    auto absent = device("ACPI", "\\Device\\2");
    absent.present = false;
    machine().devices() = {device("ACPI", "\\Device\\1"), absent, device("PCI", "\\Device\\3")};
    EXPECT_EQ(scan().Count(), 3);
    EXPECT_EQ(scan("acpi").Count(), 2);
    EXPECT_EQ(scan("ACPI", true).Count(), 1);
    const TSDDevices list = scan();
    const TSDDevice none = list.GetDevice(-1);
    EXPECT_EQ(none.Name, "");
    EXPECT_EQ(none.Address, 0u);
    EXPECT_EQ(list.GetDevice(3).PhysicalDeviceObject, "");
    EXPECT_EQ(list.Count(), 3);
}

TEST_F(DeviceListTest, MissingSetupApiLeavesTheListEmpty) {
    machine().devices().push_back(device("PCI", "\\Device\\1"));
    machine().setDeviceListsAvailable(false);
    EXPECT_EQ(scan().Count(), 0);
    EXPECT_EQ(trace(), std::vector<std::string>{"CVSetupAPI - SetupDiGetClassDevs is not available on this OS"});
}

TEST_F(DeviceListTest, ListingWritesEveryLineInOrderOnce) {
    auto full = device("ACPI", "\\Device\\00000041");
    full.record.setString(devprop::FriendlyName, "Thermal zone");
    full.record.setString(devprop::DeviceDesc, "ACPI Thermal Zone");
    full.record.setGuid(devprop::BusTypeGuid, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 1, 2, 3, 4, 5, 6, 7, 8});
    full.record.setString(devprop::Class, "System");
    full.record.setString(devprop::ClassGuid, "{4d36e97d-e325-11ce-bfc1-08002be10318}");
    full.record.setString(devprop::Driver, "{4d36e97d-e325-11ce-bfc1-08002be10318}\\0011");
    full.record.setString(devprop::LocationInformation, "on board");
    full.record.setString(devprop::Mfg, "(Standard system devices)");
    full.record.setString(devprop::Service, "ACPI");
    full.record.setMultiString(devprop::HardwareId, {"ACPI\\ThermalZone"});
    full.record.setMultiString(devprop::CompatibleIds, {"ACPI\\PNP0C0A", "*PNP0C0A"});
    full.record.setDword(devprop::UiNumber, 0x1A);
    full.record.setString(devprop::UiNumberDescFormat, "Zone %1");
    full.record.setMultiString(devprop::LocationPaths, {"ACPI(_SB_)#ACPI(TZ00)"});
    full.record.setDword(devprop::Address, 0);
    full.record.setMultiString(devprop::LowerFilters, {"low"});
    full.record.setMultiString(devprop::UpperFilters, {"up"});
    machine().devices() = {full, device("ROOT", "\\Device\\2")};

    TSDDevices list = scan();
    list.OutputListOfDevices(false);
    const std::vector<std::string> expected = {
        "Device name=Thermal zone",
        "  Friendly name=<Thermal zone>",
        "  Description=<ACPI Thermal Zone>",
        "  BUS Type GUID=<{76543210-BA98-FEDC-0102-030405060708}>",
        "  Class=<System>",
        "  Class GUID=<{4d36e97d-e325-11ce-bfc1-08002be10318}>",
        "  Driver=<{4d36e97d-e325-11ce-bfc1-08002be10318}\\0011>",
        "  Enumerator=<ACPI>",
        "  Location=<on board>",
        "  Manufacturer=<(Standard system devices)>",
        "  Physical Device Object=<\\Device\\00000041>",
        "  Service=<ACPI>",
        "  Hardware ID=<ACPI\\ThermalZone>",
        "  Compatible IDs=<ACPI\\PNP0C0A - *PNP0C0A>",
        "  UI number=<$0000001A>",
        "  UI number format=<Zone %1>",
        "  Location Paths=<ACPI(_SB_)#ACPI(TZ00)>",
        "  Address=<$00000000>",
        "  LowerFilters=<low>",
        "  UpperFilters=<up>",
        "Device name=\\Device\\2",
        "  Description=<>",
        "  Class=<>",
        "  Class GUID=<>",
        "  Driver=<>",
        "  Enumerator=<ROOT>",
        "  Manufacturer=<>",
        "  Physical Device Object=<\\Device\\2>",
        "  Hardware ID=<>",
    };
    EXPECT_EQ(trace(), expected);

    list.OutputListOfDevices(false);
    EXPECT_EQ(trace().size(), expected.size());
    list.OutputListOfDevices(true);
    EXPECT_EQ(trace().size(), 2 * expected.size());
}

TEST(GuidText, IsTheRegistryForm) {
    EXPECT_EQ(GuidToString({}), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(
        GuidToString({0xD0, 0x6B, 0xAA, 0x4D, 0x25, 0xE3, 0xCE, 0x11, 0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}),
        "{4DAA6BD0-E325-11CE-BFC1-08002BE10318}");
}

// ---- ACPI HAL check --------------------------------------------------------

class AcpiHalTest : public HwTest {
protected:
    void addHal(const std::string& hardwareId) {
        auto hal = device("ACPI_HAL", "\\Device\\00000001");
        hal.record.setMultiString(devprop::HardwareId, {hardwareId, "*PNP0C08"});
        hal.record.setString(devprop::FriendlyName, "Microsoft ACPI-Compliant System");
        machine().devices().push_back(hal);
        machine().devices().push_back(device("ACPI", "\\Device\\00000002"));  // another enumerator
    }
};

TEST_F(AcpiHalTest, FindsAndOpensThePnp0C08Device) {
    addHal("ACPI_HAL\\PNP0C08");
    CheckACPIHAL();
    EXPECT_EQ(trace(), (std::vector<std::string>{
                           "Looking for ACPI_HAL...",
                           "  ACPI Devices -->",
                           "    \\00000001 - ACPI_HAL\\PNP0C08 - *PNP0C08 - Microsoft ACPI-Compliant System",
                           "  FOUND (00000001)",
                           "  ACPI Devices <--",
                           "  Found PDO=00000001",
                           "  ACPI_HAL (00000001) properly opened through Caldavor driver",
                       }));
}

TEST_F(AcpiHalTest, ReportsADeviceTheDriverCannotOpen) {
    addHal("acpi_hal\\pnp0c08");
    machine().driver().installed = false;
    CheckACPIHAL();
    const auto lines = trace();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "  Error $00000002 opening ACPI_HAL (00000001) through Caldavor driver");
}

TEST_F(AcpiHalTest, WithoutTheHalDeviceOnlyTheListIsTraced) {
    addHal("ACPI_HAL\\PNP0C09");
    CheckACPIHAL();
    EXPECT_EQ(trace(), (std::vector<std::string>{
                           "Looking for ACPI_HAL...",
                           "  ACPI Devices -->",
                           "    \\00000001 - ACPI_HAL\\PNP0C09 - *PNP0C08 - Microsoft ACPI-Compliant System",
                           "  ACPI Devices <--",
                       }));
}

// ---- installed drivers -------------------------------------------------------

TEST_F(DeviceListTest, SystemDriversCheckFindsTheIntelStorageService) {
    auto controller = [](const std::string& service, bool present = true) {
        auto d = device("PCI", "\\Device\\x");
        d.record.setString(devprop::Class, "hdc");
        d.record.setString(devprop::Service, service);
        d.present = present;
        return d;
    };
    auto network = device("PCI", "\\Device\\y");
    network.record.setString(devprop::Class, "Net");
    network.record.setString(devprop::Service, "iaStorA");
    machine().devices() = {controller("msahci"), network, controller("iaStorA", false)};

    std::vector<std::string> log;
    const auto sink = [&log](const std::string& line) { log.push_back(line); };
    EXPECT_FALSE(CheckSystemDrivers(sink));
    EXPECT_EQ(log, (std::vector<std::string>{"About to scan installed devices...", "Installed Devices -->",
                                             "  Found Storage Service <msahci>", "Installed Devices <--",
                                             "End of installed devices scanning"}));

    machine().devices().push_back(controller("IASTORA"));
    EXPECT_TRUE(CheckSystemDrivers(sink));
}

// ---- multiprocessor test -----------------------------------------------------

class SmpTest : public HwTest {
protected:
    SmpTest() {
        machine().cpus().setCount(2);
        machine().cpus().cpu(0).msrs[0x1B] = 0xFEE00900;
        machine().cpus().cpu(1).msrs[0x1B] = 0xFEE00800;
        DriverStartFlags = {true, false, true};  // traced once already, GiveIO dropped
    }
};

TEST_F(SmpTest, TracesTheApicBaseOfEachProcessor) {
    RunSMPTestOnEachCPU();
    EXPECT_EQ(trace(),
              (std::vector<std::string>{"CPU#0.MSR[$1B]=00000000FEE00900", "CPU#1.MSR[$1B]=00000000FEE00800"}));
    EXPECT_EQ(GetProcessAffinity(), 3u);
}

TEST_F(SmpTest, WithoutHardwareAccessItSaysSoOnceAndTracesNoValue) {
    machine().driver().installed = false;
    RunSMPTestOnEachCPU();
    RunSMPTestOnEachCPU();  // the CPU-usage unit runs it twice at start
    EXPECT_EQ(trace(), (std::vector<std::string>{"RunSMPTest ERROR (CALDAVOR Driver Not Installed)"}));
}

TEST_F(SmpTest, ADriverWithoutMsrsGivesOneRefusalAndNoValues) {
    machine().driver().major = 1;  // 1.001: below the MSR requests
    machine().driver().minor = 1;
    RunSMPTestOnEachCPU();
    RunSMPTestOnEachCPU();
    EXPECT_EQ(trace(), (std::vector<std::string>{"CPU#0.MSR[$1B] not read: the driver cannot read MSRs"}));
}

TEST_F(SmpTest, OneProcessorRunsNoTest) {
    machine().cpus().setCount(1);
    machine().driver().installed = false;
    RunSMPTestOnEachCPU();
    EXPECT_TRUE(trace().empty());
}

TEST_F(SmpTest, AnApicBaseThatCannotBeReadIsNamedNotTracedAsZero) {
    machine().cpus().cpu(1).msrs.erase(0x1B);
    RunSMPTestOnEachCPU();
    EXPECT_EQ(trace(), (std::vector<std::string>{"CPU#0.MSR[$1B]=00000000FEE00900",
                                                 "CPU#1.MSR[$1B] not read: the read failed"}));
}

TEST_F(SmpTest, AProcessorThatCannotBePinnedIsNotReadForAnother) {
    machine().cpus().cpu(1).pinnable = false;
    RunSMPTestOnEachCPU();
    EXPECT_EQ(trace(), (std::vector<std::string>{"CPU#0.MSR[$1B]=00000000FEE00900",
                                                 "Unable to set CPU affinity for CPU#01 (error $00000005)"}));
}

TEST_F(SmpTest, OldDriverAnswersZero) {
    machine().driver().major = 1;
    machine().driver().minor = 1;
    EXPECT_EQ(RunSMPTest(), 0u);
}

// ---- processor affinity --------------------------------------------------------

TEST_F(SmpTest, PinningRestoresTheMaskAndRefusesProcessorsTheMachineLacks) {
    ASSERT_EQ(GetProcessorCount(), 2);
    {
        TNosCpuAffinity pinned(1);
        EXPECT_TRUE(pinned.Success);
        EXPECT_EQ(pinned.LastError, 0u);
        EXPECT_EQ(GetProcessAffinity(), 2u);
    }
    EXPECT_EQ(GetProcessAffinity(), 3u);
    {
        TNosCpuAffinity missing(2);
        EXPECT_FALSE(missing.Success);
        EXPECT_EQ(missing.LastError, 87u);
        EXPECT_EQ(GetProcessAffinity(), 3u);
    }
    EXPECT_EQ(GetProcessAffinity(), 3u);
}

}  // namespace
