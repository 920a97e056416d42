#include <gtest/gtest.h>

#include <filesystem>

#include "platform/linux/nativedriver.h"
#include "platform/linux/nativeplatform.h"
#include "platform/linux/nativesystem.h"
#include "support/testmachine.h"

using namespace platform::native;
using testsupport::TempDir;
namespace devprop = platform::devprop;
namespace fs = std::filesystem;

namespace {

std::string text(const platform::DeviceRecord& record, std::uint32_t code) {
    const auto& bytes = record.properties.at(code);
    return {bytes.begin(), bytes.end()};
}

// Zero after each string and one at the end, as multi-strings are stored.
std::string multi(std::initializer_list<std::string> texts) {
    std::string bytes;
    for (const auto& t : texts) bytes += t + '\0';
    return bytes + '\0';
}

}  // namespace

TEST(NativeSystem, SysfsDevicesBecomeDeviceRecords) {
    TempDir root;
    const fs::path pci = root.path() / "bus/pci/devices/0000:00:1f.3";
    testsupport::writeFile(pci / "vendor", "0x8086\n");
    testsupport::writeFile(pci / "device", "0x2930\n");
    testsupport::writeFile(pci / "subsystem_vendor", "0x1043\n");
    testsupport::writeFile(pci / "subsystem_device", "0x82d4\n");
    testsupport::writeFile(pci / "revision", "0x02\n");
    testsupport::writeFile(pci / "class", "0x0c0500\n");
    fs::create_directories(root.path() / "bus/pci/drivers/i801_smbus");
    fs::create_symlink(root.path() / "bus/pci/drivers/i801_smbus", pci / "driver");
    const fs::path acpi = root.path() / "bus/acpi/devices";
    testsupport::writeFile(acpi / "PNP0C0A:00/hid", "PNP0C0A\n");
    testsupport::writeFile(acpi / "PNP0C0A:00/path", "\\_SB_.BAT0\n");
    testsupport::writeFile(acpi / "PNP0C0A:00/status", "0\n");
    testsupport::writeFile(acpi / "LNXTHERM:00/hid", "LNXTHERM\n");
    testsupport::writeFile(acpi / "LNXSYSTM:00/hid", "LNXSYSTM\n");

    const auto all = listSysfsDevices(root.path().string(), {});
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(text(all[0], devprop::HardwareId),
              multi({"PCI\\VEN_8086&DEV_2930&SUBSYS_82D41043&REV_02", "PCI\\VEN_8086&DEV_2930&SUBSYS_82D41043",
                     "PCI\\VEN_8086&DEV_2930"}));
    EXPECT_EQ(text(all[0], devprop::LocationInformation), std::string("PCI bus 0, device 31, function 3\0", 33));
    EXPECT_EQ(all[0].properties.at(devprop::Address), (std::vector<std::uint8_t>{3, 0, 31, 0}));
    EXPECT_EQ(text(all[0], devprop::Service), std::string("i801_smbus\0", 11));
    EXPECT_EQ(text(all[0], devprop::Class), std::string("System\0", 7));
    EXPECT_EQ(text(all[0], devprop::DeviceDesc), std::string("SMBus Controller\0", 17));
    EXPECT_EQ(text(all[0], devprop::PhysicalDeviceObjectName), std::string("\\Device\\0000:00:1f.3\0", 21));

    const auto present = listSysfsDevices(root.path().string(), {"acpi", true, false});
    ASSERT_EQ(present.size(), 1u);
    EXPECT_EQ(text(present[0], devprop::HardwareId), multi({"ACPI\\ThermalZone"}));
    EXPECT_EQ(text(present[0], devprop::PhysicalDeviceObjectName), std::string("\\Device\\LNXTHERM:00\0", 20));
    const auto hal = listSysfsDevices(root.path().string(), {"ACPI_HAL", false, false});
    ASSERT_EQ(hal.size(), 1u);
    EXPECT_EQ(text(hal[0], devprop::HardwareId), multi({"ACPI_HAL\\PNP0C08"}));
    EXPECT_EQ(text(hal[0], devprop::EnumeratorName), std::string("ACPI_HAL\0", 9));
}

TEST(NativeSystem, BiosFactsGoWhereTheSystemRegistryKeepsThem) {
    TempDir dmi;
    testsupport::writeFile(dmi.path() / "bios_version", "1.07\n");
    testsupport::writeFile(dmi.path() / "bios_date", "05/07/2010\n");
    platform::MemorySystemRegistry registry;
    addBiosFacts(registry, dmi.path().string());
    EXPECT_EQ(*registry.readBinary("\\HARDWARE\\DESCRIPTION\\System", "SystemBiosVersion"),
              (std::vector<std::uint8_t>{'1', '.', '0', '7', 0, 0}));
    EXPECT_EQ(registry.readString("\\HARDWARE\\DESCRIPTION\\System", "SystemBiosDate"), "05/07/2010");
}

TEST(NativeSystem, AffinityCanBeSetAndGivenBack) {
    const std::uint64_t saved = threadAffinity();
    ASSERT_NE(saved, 0u);
    const std::uint64_t lowest = saved & (~saved + 1);
    EXPECT_EQ(setThreadAffinity(lowest), 0u);
    EXPECT_EQ(threadAffinity(), lowest);
    EXPECT_EQ(setThreadAffinity(saved), 0u);
    EXPECT_EQ(threadAffinity(), saved);
    EXPECT_GE(processorCount(), 1u);
}

TEST(NativePlatform, OnlyTheDriverDeviceIsServed) {
    NativePlatform machine;
    EXPECT_EQ(machine.openDevice("\\\\.\\PhysicalDrive0").error, 2u);
    EXPECT_EQ(machine.openDevice("\\\\.\\caldavor\\Device\\00000001").error, 2u);
    EXPECT_FALSE(machine.openServiceManager()->binaryPath("other"));
    EXPECT_NE(machine.openServiceManager()->binaryPath("caldavor")->find("test_platform"), std::string::npos);
}

TEST(NativeSystem, PciClassCodesGiveTheSetupClassAndADescription) {
    const struct {
        const char* classCode;
        const char* setupClass;
        const char* description;
    } cases[] = {
        {"0x030000", "Display", "Video Controller (VGA Compatible)"},
        {"0x038000", "Display", "Video Controller"},  // by class alone
        {"0x060100", "System", "ISA Bridge"},
        {"0x0c0330", "USB", "USB Controller"},
        {"0xff0000", "System", "PCI Device"},
    };
    for (const auto& c : cases) {
        TempDir root;
        const fs::path pci = root.path() / "bus/pci/devices/0000:00:02.0";
        testsupport::writeFile(pci / "vendor", "0x8086\n");
        testsupport::writeFile(pci / "device", "0x0102\n");
        testsupport::writeFile(pci / "class", std::string(c.classCode) + "\n");
        const auto list = listSysfsDevices(root.path().string(), {"PCI", false, false});
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(text(list[0], devprop::Class), std::string(c.setupClass) + '\0') << c.classCode;
        EXPECT_EQ(text(list[0], devprop::DeviceDesc), std::string(c.description) + '\0') << c.classCode;
    }
}
