#include "platform/linux/nativewmi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "disks/cvhdfinder.h"
#include "support/testmachine.h"

namespace {

namespace fs = std::filesystem;

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

// A SATA disk, a USB disk behind a JMicron bridge and an NVMe device.
class NativeWmiTree : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path sys = root.path();
        const fs::path pci = sys / "devices" / "pci0000:00";
        const fs::path sata = pci / "0000:00:1f.2" / "ata1" / "host0" / "target0:0:0" / "0:0:0:0";
        write(sata / "vendor", "ATA     ");
        write(sata / "model", "WDC WD5000AAKS-00V1A0");
        write(sata / "rev", "1A01");
        const fs::path hub = pci / "0000:00:14.0" / "usb1";
        write(hub / "product", "xHCI Host Controller");
        const fs::path stick = hub / "1-2";
        write(stick / "idVendor", "152d");
        write(stick / "idProduct", "2338");
        write(stick / "serial", "ABC123");
        write(stick / "product", "USB to ATA/ATAPI Bridge");
        const fs::path usbDisk = stick / "1-2:1.0" / "host6" / "target6:0:0" / "6:0:0:0";
        write(usbDisk / "vendor", "JMicron ");
        write(usbDisk / "model", "Generic DISK");
        write(usbDisk / "rev", "0100");
        fs::create_directories(usbDisk / "interface");
        link(sata, sys / "block" / "sda" / "device");
        write(sys / "block" / "sda" / "queue" / "logical_block_size", "512");
        link(usbDisk, sys / "block" / "sdb" / "device");
        write(sys / "block" / "sdb" / "queue" / "logical_block_size", "4096");
        write(sys / "block" / "nvme0n1" / "device" / "model", "NVMe SSD");
        link(hub, sys / "bus" / "usb" / "devices" / "usb1");
        link(stick, sys / "bus" / "usb" / "devices" / "1-2");
        link(stick / "1-2:1.0", sys / "bus" / "usb" / "devices" / "1-2:1.0");
    }
    static void link(const fs::path& target, const fs::path& at) {
        fs::create_directories(at.parent_path());
        fs::create_directory_symlink(target, at);
    }
    static std::string value(const platform::WmiObject& object, const std::string& name) {
        for (const auto& p : object)
            if (p.name == name) return VariantToText(p.value);
        return "<none>";
    }
    testsupport::TempDir root;
};

TEST_F(NativeWmiTree, DiskDrivesFromSysfs) {
    platform::native::NativeWmi wmi(root.path().string());
    const auto drives = wmi.query("root\\cimv2", "SELECT * from Win32_DiskDrive");
    ASSERT_EQ(drives.size(), 2u);  // the NVMe device is not one
    EXPECT_EQ(value(drives[0], "DeviceID"), "\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(value(drives[0], "Model"), "WDC WD5000AAKS-00V1A0");
    EXPECT_EQ(value(drives[0], "InterfaceType"), "IDE");
    EXPECT_EQ(value(drives[0], "ScsiPort"), "0");
    EXPECT_EQ(value(drives[1], "Model"), "JMicron Generic DISK");
    EXPECT_EQ(value(drives[1], "InterfaceType"), "USB");
    EXPECT_EQ(value(drives[1], "ScsiPort"), "6");
    EXPECT_EQ(value(drives[1], "BytesPerSector"), "4096");
    EXPECT_TRUE(wmi.query("root\\cimv2", "SELECT * FROM MSAcpi_ThermalZoneTemperature").empty());
    EXPECT_THROW(wmi.query("root\\wmi2", "SELECT * from Win32_DiskDrive"), platform::EWmiError);
}

TEST_F(NativeWmiTree, UsbDiskIsMatchedToItsBridgeByTheOwnerRule) {
    platform::native::NativeWmi wmi(root.path().string());
    const auto controllers = wmi.query("root\\cimv2", "SELECT name,DeviceId FROM Win32_USBController");
    ASSERT_EQ(controllers.size(), 1u);
    EXPECT_EQ(controllers[0].size(), 2u);  // the select list
    testsupport::TestMachine clock;  // the search times its queries
    ExtDrives.clear();
    FindUsbDrives(wmi);
    ASSERT_EQ(ExtDrives.size(), 1u);
    EXPECT_EQ(ExtDrives[0].Name, "JMicron Generic DISK");
    EXPECT_EQ(ExtDrives[0].VID, 0x152D);
    EXPECT_EQ(ExtDrives[0].PID, 0x2338);
    EXPECT_EQ(FindInExtDrives("JMICRON GENERIC DISK"), 0);
    ExtDrives.clear();
}

}  // namespace
