#include "disks/cvhdfinder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "disks/cvcsmi.h"
#include "diskfixture.h"
#include "platform/sim/simwmi.h"

namespace {

using diskfixture::diskJson;

class DiskSearch : public diskfixture::DiskTest {
protected:
    void SetUp() override {
        DiskTest::SetUp();
        SetSearchLogCallback([this](const std::string& line) { seen.push_back(line); });
    }
    void TearDown() override {
        SetSearchLogCallback(nullptr);
        VendorTypes = AllVendorTypes;
        UsbVendorGuessing = true;
        FoundDisks.clear();
        EXPECT_EQ(SearchLogIndentation(), 0);
        DiskTest::TearDown();
    }
    // One disk d0 with `extra` fields.
    void search(const std::string& extra, bool readLogs = true) {
        loadDisk(extra);
        FindHardDisks(readLogs);
    }
    bool logged(const std::string& line) {
        const auto& log = *GetSearchLog();
        return std::find(log.begin(), log.end(), line) != log.end();
    }
    std::vector<std::string> classes() {
        std::vector<std::string> names;
        for (const auto& d : FoundDisks) names.emplace_back(d->ClassName());
        return names;
    }
    std::vector<std::string> seen;
};

using Names = std::vector<std::string>;

TEST_F(DiskSearch, SataDiskIsFoundAsPhysicalDrive) {
    search(R"("physical": {"drive": 0})");
    EXPECT_EQ(classes(), Names{"TSmartHardDiskPhysical"});
    EXPECT_EQ(FoundDisks[0]->DevicePath, "\\\\.\\PHYSICALDRIVE0");
    EXPECT_TRUE(logged("DeviceID=\\\\.\\PHYSICALDRIVE0"));
    EXPECT_TRUE(logged("Model=WDC WD5000AAKS-00V1A0"));
    EXPECT_TRUE(logged("MediaLoaded=True"));
    EXPECT_TRUE(logged("FindInExtDrives: Found at -1 - Searched for <WDC WD5000AAKS-00V1A0>"));
    EXPECT_TRUE(logged("Trying Physical access..."));
    EXPECT_TRUE(logged("Using TSmartHardDiskPhysical"));
    EXPECT_TRUE(logged("  Error checking SMART Version using TSmartHardDiskPhysical") ||
                logged("SMART Version 1.1 - IDE Map=$01 MapEx=$00000000"));
    EXPECT_TRUE(logged("    Identify Sector -->"));
    EXPECT_TRUE(logged("      SMART checksum is $00"));
    EXPECT_EQ(seen, *GetSearchLog());
}

TEST_F(DiskSearch, BridgeMatchedByVendorIdOrEnclosureRow) {
    struct Case {
        std::string ids, bridge, cls, line;
    };
    const Case cases[] = {
        {R"("usbVendor": "0x152D", "usbProduct": "0x2338")", "JMicron", "TSmartHardDiskSatJMicron", ""},
        {R"("usbVendor": "0x04E8", "usbProduct": "0x1F05")", "JMicron", "TSmartHardDiskSatJMicron",
         "Enclosure is Samsung S2 Portable"},
        {R"("usbVendor": "0x0BC2", "usbProduct": "0x3001")", "SAT", "TSmartHardDiskSat", "Enclosure is Seagate FreeAgent"},
    };
    for (const auto& c : cases) {
        testsupport::TestMachine m;
        m->loadFromJson(R"({"disks": {"d0": )" +
                            diskJson(R"("physical": {"drive": 0, "smartCodes": false, "ataPassThrough": false, )"
                                     R"("bridge": ")" + c.bridge + "\", " + c.ids + "}") + "}}",
                        "usb.json");
        FindHardDisks(true);
        EXPECT_EQ(classes(), Names{c.cls}) << c.ids;
        EXPECT_TRUE(logged("Trying Matched USB access...")) << c.ids;
        if (!c.line.empty()) {
            EXPECT_TRUE(logged(c.line)) << c.ids;
        }
        EXPECT_FALSE(logged("Trying Physical access...")) << c.ids;
    }
    EXPECT_TRUE(logged("    --> USB disk found"));
    EXPECT_TRUE(logged("        Owner Device Id is USB\\VID_0BC2&PID_3001\\WD-WCAWF1234567"));
    EXPECT_TRUE(logged("        VID=$0BC2  PID=$3001"));
    EXPECT_TRUE(logged("\\\\.\\PHYSICALDRIVE0 (WDC WD5000AAKS-00V1A0) - VID=$0BC2  PID=$3001"));
}

TEST_F(DiskSearch, BlacklistedStickIsStillTriedAsPhysicalAndScsi) {
    search(R"("physical": {"drive": 0, "smartCodes": false, "ataPassThrough": false, "bridge": "JMicron",
                           "usbVendor": "0x0951", "usbProduct": "0x1643"},
              "scsi": {"port": 3, "target": 0})");
    EXPECT_TRUE(logged("Skipping blacklisted <Kingston DataTraveler G3> VID=$0951 PID=$1643"));
    EXPECT_FALSE(logged("Trying Matched USB access..."));
    EXPECT_FALSE(logged("Looking for Guessed USB access..."));
    EXPECT_TRUE(logged("Freeing HD (Physical) as it reports no SMART"));
    EXPECT_TRUE(logged("Trying SCSI access..."));
    EXPECT_EQ(classes(), Names{"TSmartHardDiskSCSI"});
}

TEST_F(DiskSearch, UnknownBridgeIsGuessedInKindOrder) {
    search(R"("physical": {"drive": 0, "smartCodes": false, "ataPassThrough": false, "bridge": "SunPlus",
                           "usbVendor": "0x1234", "usbProduct": "0x5678"})");
    EXPECT_FALSE(logged("Trying Matched USB access..."));
    EXPECT_TRUE(logged("Looking for Guessed USB access..."));
    const auto& log = *GetSearchLog();
    std::vector<std::string> tried;
    for (const auto& line : log)
        if (line.rfind("Using TSmartHardDiskSat", 0) == 0) tried.push_back(line.substr(6));
    EXPECT_EQ(tried, (Names{"TSmartHardDiskSatCypress", "TSmartHardDiskSatJMicron", "TSmartHardDiskSatSunPlus"}));
    EXPECT_TRUE(logged("Guessed USB access OK: VID=1234  PID:5678  Vendor=SunPlus"));
    EXPECT_EQ(classes(), Names{"TSmartHardDiskSatSunPlus"});
    EXPECT_EQ(static_cast<TSmartHardDiskSat&>(*FoundDisks[0]).VendorId, 0x04FC);
}

TEST_F(DiskSearch, GuessingOffOrNoKindEnabled) {
    UsbVendorGuessing = false;
    search(R"("physical": {"drive": 0, "smartCodes": false, "ataPassThrough": false, "bridge": "SunPlus",
                           "usbVendor": "0x1234", "usbProduct": "0x5678"})");
    EXPECT_TRUE(logged("USB Vendor guessing is disabled"));
    EXPECT_TRUE(FoundDisks.empty());

    UsbVendorGuessing = true;
    VendorTypes = VendorTypeBit(vtCypress);
    FindHardDisks(true);
    EXPECT_TRUE(logged("Guessed USB access KO: VID=1234  PID:5678"));
    EXPECT_TRUE(FoundDisks.empty());
    AddVendorType(vtSunPlus);
    AddVendorType(vtSunPlus);
    EXPECT_EQ(VendorTypes, VendorTypeBit(vtCypress) | VendorTypeBit(vtSunPlus));
}

TEST_F(DiskSearch, ThreeWareControllerAddsOneDiskPerAnsweringPort) {
    load(R"({"disks": {"p1": )" + diskJson(R"("serial": "PORT1", "threeWare": {"drive": 0, "port": 1})") +
         R"(, "p4": )" + diskJson(R"("serial": "PORT4", "threeWare": {"drive": 0, "port": 4})") + "}}");
    FindHardDisks(true);
    EXPECT_TRUE(logged("Found 3ware controller on \\\\.\\PHYSICALDRIVE0"));
    EXPECT_TRUE(logged("Confirmed this is a 3ware controller. Good."));
    EXPECT_TRUE(logged("Adding all drives for 3ware controller on \\\\.\\PHYSICALDRIVE0 (map=$00000012)"));
    EXPECT_FALSE(logged("Checking port 0..."));
    EXPECT_TRUE(logged("Checking port 1..."));
    EXPECT_TRUE(logged("  Port 4 contains a drive"));
    EXPECT_FALSE(logged("Looking for Guessed USB access..."));
    EXPECT_EQ(classes(), (Names{"TSmartHardDisk3Ware", "TSmartHardDisk3Ware"}));
    EXPECT_EQ(FoundDisks[1]->Serial, "PORT4");
}

TEST_F(DiskSearch, OneDiskOnTwoPathsIsKeptOnce) {
    search(R"("physical": {"drive": 0}, "csmi": {"port": 0, "phy": 1, "sasAddress": "0x0000000000010000"})");
    EXPECT_EQ(classes(), Names{"TSmartHardDiskPhysical"});
    EXPECT_TRUE(logged("Trying CSMI access..."));
    EXPECT_TRUE(logged("Freeing HD as it was already found"));
    EXPECT_TRUE(logged("TestCSMIDrivesSMARTSupport - drive#0 - device=\\\\.\\SCSI0: - SASAddress=0 0 0 0 0 1 0 0"));
}

TEST_F(DiskSearch, ReadLogsOffSkipsErrorAndSelfTestLogs) {
    const std::string ata6 = R"("identifyWords": {"80": "0x0040", "84": "0x4001"}, "physical": {"drive": 0})";
    search(ata6, false);
    EXPECT_TRUE(logged("  Reading Summary Smart Error Log because it seems to be supported"));
    EXPECT_TRUE(logged("    - NOT Reading Summary Smart Error Log because disabled by flag"));
    EXPECT_FALSE(logged("    Smart Self-Test Log -->"));
    EXPECT_TRUE(logged("    Smart Log Directory -->") || logged("  Error reading Smart Log Directory using TSmartHardDiskPhysical"));
    EXPECT_EQ(classes(), Names{"TSmartHardDiskPhysical"});
}

TEST_F(DiskSearch, WithoutWmiTheCsmiDisksAreStillTested) {
    load(R"({"wmi": {"enabled": false}, "disks": {"d0": )" +
         diskJson(R"("csmi": {"port": 0, "phy": 1, "sasAddress": "0x0000000000010000"})") + "}}");
    FindHardDisks(true);
    EXPECT_TRUE(logged("End of CSMI drives scan"));
    EXPECT_TRUE(logged("EXCEPTION (create Locator) : WMI is not available"));
    EXPECT_EQ(classes(), Names{"TSmartHardDiskCSMI"});
}

TEST_F(DiskSearch, FailedUsbQueryEndsOnlyThatWalk) {
    load(R"({"wmi": {"failQueries": ["Win32_USBController"]}, "disks": {"d0": )" +
         diskJson(R"("physical": {"drive": 0})") + "}}");
    FindHardDisks(true);
    EXPECT_TRUE(logged("EXCEPTION : Generic failure"));
    EXPECT_EQ(classes(), Names{"TSmartHardDiskPhysical"});
}

TEST_F(DiskSearch, HandWrittenDevicesAndMalformedIds) {
    // A storage device listed first has no owner; ids without "&PID_", with a
    // PID that is not hex, or composite ones give no entry.
    const std::string controller = R"("PCI\\VEN_1\\X")";
    load(R"({"wmi": {"classes": {"Win32_USBController": [{"DeviceID": )" + controller + R"(, "Name": "Hub", "Status": null}]},
                     "associators": [{"class": "Win32_USBController", "deviceId": "PCI\\VEN_1\\X",
                                      "assocClass": "Win32_USBControllerDevice", "instances": [
            {"DeviceID": "USBSTOR\\DISK&VEN_&PROD_A\\1", "Name": "A"},
            {"Caption": "c", "DeviceID": "USB\\VID_1234\\1", "Name": "x"},
            {"Caption": "c", "DeviceID": "USBSTOR\\DISK&VEN_&PROD_B\\1", "Name": "B"},
            {"Caption": "c", "DeviceID": "USB\\VID_1234&PID_XYZ\\1", "Name": "x"},
            {"Caption": "c", "DeviceID": "USBSTOR\\DISK&VEN_&PROD_C\\1", "Name": "C"},
            {"Caption": "c", "DeviceID": "USB\\VID_1234&PID_0001&MI_00\\1", "Name": "x"},
            {"Caption": "c", "DeviceID": "USBSTOR\\DISK&VEN_&PROD_D\\1", "Name": "D"},
            {"Caption": "c", "DeviceID": "USB\\VID_04B4&PID_6830\\1", "Name": "x"},
            {"Caption": "c", "DeviceID": "USBSTOR\\DISK&VEN_&PROD_E\\1", "Name": "E", "Tags": ["a", 2]}]}]}})");
    FindHardDisks(true);
    ASSERT_EQ(ExtDrives.size(), 1u);
    EXPECT_EQ(ExtDrives[0].Name, "E");
    EXPECT_EQ(ExtDrives[0].VID, 0x04B4);
    EXPECT_EQ(ExtDrives[0].PID, 0x6830);
    EXPECT_EQ(ExtDrives[0].BusKind, AccessUSB);
    EXPECT_TRUE(logged("        Owner Device Id is "));
    EXPECT_TRUE(logged("Name=Hub"));
}

// The whole log of a one-disk desktop, page dumps left out.
TEST_F(DiskSearch, GoldenLogOfATypicalBoard) {
    search(R"("physical": {"drive": 0})");
    std::vector<std::string> lines;
    for (const auto& line : *GetSearchLog()) {
        const auto text = line.find_first_not_of(' ');
        const bool dump = text != std::string::npos && line.size() > text + 6 && line[text + 3] == ' ' &&
                          line[text + 4] == ' ' && std::isxdigit(static_cast<unsigned char>(line[text])) &&
                          std::isxdigit(static_cast<unsigned char>(line[text + 5]));
        if (!dump) lines.push_back(line);
    }
    EXPECT_EQ(lines, (Names{
                         "Start of CSMI drives scan",
                         "FixRegistry error ($00000002)",
                         "End of CSMI drives scan",
                         "CSMI Drive Search took 0 ms to execute",
                         "WBEM Locator creation took 0 ms to execute",
                         "Server Connect took 0 ms to execute",
                         "Find USB Controllers took 0 ms to execute",
                         "USB Drive Search took 0 ms to execute",
                         "Find 1394 Controllers took 0 ms to execute",
                         "1394 Drive Search took 0 ms to execute",
                         "Find Disk Drives took 0 ms to execute",
                         " ",
                         "BytesPerSector=512",
                         "Caption=WDC WD5000AAKS-00V1A0",
                         "DeviceID=\\\\.\\PHYSICALDRIVE0",
                         "InterfaceType=IDE",
                         "MediaLoaded=True",
                         "Model=WDC WD5000AAKS-00V1A0",
                         "Name=\\\\.\\PHYSICALDRIVE0",
                         "Partitions=1",
                         "FindInExtDrives: Found at -1 - Searched for <WDC WD5000AAKS-00V1A0>",
                         "Trying Physical access...",
                         "SMART Version 1.1 - IDE Map=$01 MapEx=$00000000",
                         "      Capabilities=$00000005 - Identifier=$0000 - ControllerId=$0000",
                         "Using TSmartHardDiskPhysical",
                         "    Identify Sector -->",
                         "      SMART checksum is $00",
                         "    Smart Log Directory -->",
                         "      Smart Logging Version=$0001",
                         // The disk reports error logging but keeps neither log.
                         "  Reading Summary Smart Error Log because it seems to be supported",
                         "  Error reading Summary Smart Error Log using TSmartHardDiskPhysical",
                         "  Error reading Smart Self-Test Log using TSmartHardDiskPhysical",
                         "Disk Objects Creation took 0 ms to execute",
                     }));
}

TEST(DiskSearchTables, LastMatchingRowWinsAndNames) {
    EXPECT_EQ(VendorTypeName(1), "Cypress");
    EXPECT_EQ(VendorTypeName(6), "Sat");
    EXPECT_EQ(VendorTypeName(0), "Unknown(0)");
    EXPECT_EQ(VendorTypeName(9), "Unknown(9)");
    EXPECT_EQ(VendorTypeOfVendorId(0x0789), vtLogitech);
    EXPECT_EQ(VendorTypeOfVendorId(0), vtUnknown);
    EXPECT_EQ(LookupEnclosure(0x059B, 0x0470), vtCypress);
    EXPECT_EQ(LookupEnclosure(0x059B, 0x0471), vtUnknown);
    ASSERT_NE(FindBlacklisted(0x0BDA, 0x0186), nullptr);
    EXPECT_EQ(FindBlacklisted(0x0BDA, 0x0186)->model, "SD Card");
    EXPECT_EQ(FindBlacklisted(0x0BDA, 0x0187), nullptr);
    platform::WmiValue nested = platform::WmiValue::of(std::vector<platform::WmiValue>{
        platform::WmiValue::of(std::int64_t{1}),
        platform::WmiValue::of(std::vector<platform::WmiValue>{platform::WmiValue::of(std::string("a")),
                                                               platform::WmiValue::of(false)})});
    EXPECT_EQ(VariantToText(nested), "[1,[a,False]]");
}

}  // namespace
