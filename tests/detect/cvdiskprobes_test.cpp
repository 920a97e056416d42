// The S.M.A.R.T. and SCSI discovery on simulated boards: what is linked, by
// which method, and the SCSI probe's lines for one drive.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "chips/cvsensorscsi.h"
#include "core/cvmonitor.h"
#include "detect/cvdetect.h"
#include "detect/cvdetectcontext.h"
#include "detect/cvscsiprobe.h"
#include "detect/cvsmartprobe.h"
#include "detectfixture.h"
#include "disks/cvhdfinder.h"
#include "platform/diskctl.h"
#include "platform/sim/machine.h"
#include "platform/sim/simdisk.h"

namespace {

const char* const SataDisk = R"({"model": "ST3500418AS", "firmware": "CC38", "serial": "9VM1ABCD",
    "sectors": 976773168, "lba48": true,
    "attributes": [{"id": 194, "flags": "0x0022", "value": 36, "raw": "0x24"}], "thresholds": [0],
    "physical": {"drive": 0})";

class DiskProbeTest : public DetectTest {
protected:
    ~DiskProbeTest() override { FoundDisks.clear(); }
    void load(const std::string& disks) { machine().loadFromJson(R"({"disks": {)" + disks + "}}", "test.json"); }
    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};

TEST_F(DiskProbeTest, ADiskReachedByBothMethodsIsLinkedOnceByTheAdvancedOne) {
    load(std::string(R"("d": )") + SataDisk + "}");
    ProbeAdvancedSMART(context);
    ProbeClassicSMART(context);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 16);
    EXPECT_TRUE(has(boxes.Info, " --> Drive already linked"));
    ASSERT_EQ(monitor.SmartDrives.size(), 1u);
    EXPECT_EQ(monitor.SmartDrives[0].Sensor, monitor.Sensors[0].get());
}

TEST_F(DiskProbeTest, ABadChecksumBlocksOnlyTheAdvancedMethod) {
    load(std::string(R"("d": )") + std::string(SataDisk).substr(1).insert(0, "{\"attributeChecksum\": \"bad\", ") + "}");
    ProbeAdvancedSMART(context);
    EXPECT_TRUE(monitor.Sensors.empty()) << "a disk failing the checksum is not linked by the search";
    ProbeClassicSMART(context);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 13);
    EXPECT_EQ(monitor.SmartDrives[0].Text, "HD0 - 500.1GB - ST3500418AS");
}

TEST_F(DiskProbeTest, ABetaBuildEnablesTheThreeExtraUsbBridgesForTheSearch) {
    const TVendorTypes cypressOnly = VendorTypeBit(vtCypress);
    struct Case {
        const char* Caption;
        TVendorTypes Expected;
    };
    const Case cases[] = {
        {"Caldavor 5.3.2", cypressOnly},
        {"Caldavor 5.3.3 beta 2",
         static_cast<TVendorTypes>(cypressOnly | VendorTypeBit(vtSunPlus) | VendorTypeBit(vtIoData) |
                                   VendorTypeBit(vtLogitech))},
    };
    load(std::string(R"("d": )") + SataDisk + "}");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Caption);
        VendorTypes = cypressOnly;
        boxes.Info.clear();
        monitor.Caption = c.Caption;
        ProbeAdvancedSMART(context);
        EXPECT_EQ(VendorTypes, c.Expected);
        EXPECT_EQ(has(boxes.Info, "Adding support for additional USB Vendors"), c.Expected != cypressOnly);
        FoundDisks.clear();
        monitor.Sensors.clear();
        monitor.SmartDrives.clear();
    }
    VendorTypes = AllVendorTypes;
}

TEST_F(DiskProbeTest, ARefusedSensorAddsNoDriveListEntry) {
    load(std::string(R"("d": )") + SataDisk + "}");
    factory.SetCreator("TAdvSMARTSensor", [](auto...) -> std::unique_ptr<TSensor> { throw std::runtime_error("no"); });
    ProbeAdvancedSMART(context);
    EXPECT_TRUE(monitor.Sensors.empty());
    EXPECT_TRUE(monitor.SmartDrives.empty());
    EXPECT_TRUE(has(boxes.Info, "ERROR in ProbeAdvancedSMART (no)"));
}

TEST_F(DiskProbeTest, ProbeSCSILogsOneDriveAndLinksIt) {
    load(R"("s": {"model": "", "physical": {"drive": 0, "smartCodes": false, "ataPassThrough": false},
                  "geometry": {"cylinders": 4462, "tracksPerCylinder": 255, "sectorsPerTrack": 63, "bytesPerSector": 512},
                  "scsiTarget": {"vendor": "SEAGATE", "product": "ST336753LW", "revision": "0006",
                                 "vendorSpecific": "3HX0ABCD",
                                 "pages": {"0x0D": {"parameters": [{"code": "0x0000", "size": 2, "value": "0x29"},
                                                                   {"code": "0x0001", "size": 2, "value": "0x41"}]},
                                           "0x2F": {"asc": "0x5D", "ascq": "0x4A", "temperature": 0, "trip": 68}}}})");
    ProbeSCSI(context);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    const auto& sensor = static_cast<const TSCSISensor&>(*monitor.Sensors[0]);
    // 4462 x 255 x 63 x 512 bytes.
    EXPECT_EQ(sensor.FChipName, "HD0 (36.7GB)");
    EXPECT_EQ(sensor.FDisplayName, "SEAGATE ST336753LW3HX0ABCD");
    ASSERT_EQ(sensor.GetTempCount(), 1) << "page 2Fh has no temperature, page 0Dh has 41";
    EXPECT_EQ(sensor.GetTemp(1).Name, "HD0");
    EXPECT_EQ(monitor.SmartDrives[0].Text, "HD0 - 36.7GB - SEAGATE ST336753LW");
    std::vector<std::string> lines;
    // The time-stamped lines of the debug box, without their "hh:nn:ss.zzz " stamp.
    for (const auto& line : boxes.Info)
        if (line.size() > 13 && line[2] == ':' && line[5] == ':' && line[8] == '.' && line[12] == ' ')
            lines.push_back(line.substr(13));
    const std::vector<std::string> expected = {
        "About to probe SCSI...",
        "ProbeSCSI: before first LogSense",
        "ProbeSCSI: after first LogSense (returned 7)",
        "ProbeSCSI: returned ScsiStatus=$00",
        "ProbeSCSI: finding available log pages",
        "ProbeSCSI: count=3   len=7",
        "ProbeSCSI: available LOG SENSE pages are 00 0D 2F",
        "ProbeSCSI: end of scanning of available log pages",
        "Found SCSI drive ST336753LW (36.7GB)",
        "Found SCSI drive ST336753LW Firmware revision <0006> (36.7GB) Serial <3HX0ABCD>",
        "--> cylinders : 4462",
        "--> tracks per cilinder : 255",
        "--> sectors per track : 63",
        "--> bytes per sector : 512",
        "--> disk size : 36.7",
        "ProbeSCSI: analyzing log page #0",
        "ProbeSCSI: analyzing log page #13",
        "ProbeSCSI: LogSense($0D) returned 16 bytes (status=$00)",
        "0D-0000 Temperature = 41",
        "0D-0001 Reference Temperature = 65",
        "ProbeSCSI: analyzing log page #47",
        "ProbeSCSI: LogSense($2F) returned 12 bytes (status=$00)",
        "SMART Sense Code Byte = $5D",
        "SMART Sense Qualifier = servo impending failure seek time performance",
        "Temperature = 0",
        "Temperature Trip Point = 68  ",
        "--> Current drive temperature is 41C (method 1)",
        "End of SCSI probing",
    };
    EXPECT_EQ(lines, expected);
}

// A Windows 9x machine whose system folder holds the given files, with the
// sample disk as physical drive 1.
std::string Windows9xBoard(const std::string& systemFiles) {
    std::string disk = SataDisk;
    disk.replace(disk.find(R"("drive": 0)"), 10, R"("drive": 1)");
    return R"({"os": {"major": 4, "minor": 10, "platformId": 1}, "systemFiles": [)" + systemFiles +
           R"(], "disks": {"d": )" + disk + "}}}";
}

TEST_F(DiskProbeTest, Windows9xTestsFourDrivesOnTheDriversOneHandleWithTheirDeviceRegister) {
    machine().loadFromJson(Windows9xBoard(R"("SMARTVSD.VXD", "IOSUBSYS\\SMARTVSD.VXD")"), "win98.json");
    ProbeClassicSMART(context);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 13);
    ASSERT_EQ(monitor.SmartDrives.size(), 1u);
    EXPECT_EQ(monitor.SmartDrives[0].Text, "HD1 - 500.1GB - ST3500418AS");
    EXPECT_FALSE(has(boxes.Info, "SMARTVSD.VXD is already installed")) << "a driver that opens is not installed";
}

TEST_F(DiskProbeTest, Windows9xCommandsNameTheirDriveAndItsMasterOrSlaveDevice) {
    machine().loadFromJson(Windows9xBoard(R"("SMARTVSD.VXD", "IOSUBSYS\\SMARTVSD.VXD")"), "win98.json");
    ProbeClassicSMART(context);
    std::set<int> drives;
    for (const auto& request : machine().disks().recorder()) {
        EXPECT_EQ(request.path, "\\\\.\\SMARTVSD");
        if (request.code != platform::disk::SmartRcvDriveData && request.code != platform::disk::SmartSendDriveCommand)
            continue;
        platform::disk::SendCmdInParams in{};
        std::memcpy(&in, request.input.data(), platform::disk::SendCmdInSent);
        EXPECT_EQ(in.regs.device, in.driveNumber % 2 == 0 ? 0xA0 : 0xB0) << int{in.driveNumber};
        drives.insert(in.driveNumber);
    }
    EXPECT_EQ(drives, (std::set<int>{0, 1, 2, 3}));
}

TEST_F(DiskProbeTest, Windows9xWithoutTheDriverCopiesItInForTheNextStart) {
    struct Case {
        const char* What;
        const char* Files;
        const char* Line;
        bool Copied;
    };
    const Case cases[] = {
        {"driver in the system folder", R"("smartvsd.vxd")", "SMARTVSD.VXD copied into the IOSUBSYS folder", true},
        {"no driver anywhere", "", "SMARTVSD.VXD is not in the system folder: the S.M.A.R.T. driver cannot be installed",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        platform::sim::Machine win98;
        platform::ScopedPlatform scope(win98);
        win98.loadFromJson(Windows9xBoard(c.Files), "win98.json");
        boxes.Info.clear();
        boxes.Readings.clear();
        ProbeClassicSMART(context);
        EXPECT_TRUE(monitor.Sensors.empty()) << "a copied driver loads only when the system starts again";
        EXPECT_TRUE(has(boxes.Info, c.Line));
        EXPECT_TRUE(has(boxes.Readings, "The S.M.A.R.T. driver could not be opened: no S.M.A.R.T. data on this system") ||
                    has(boxes.Info, "The S.M.A.R.T. driver could not be opened: no S.M.A.R.T. data on this system"));
        EXPECT_EQ(win98.fileExists("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\SMARTVSD.VXD"), c.Copied);
    }
}

}  // namespace
