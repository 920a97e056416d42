// The RAID controllers' discovery on simulated boards: the vendor library
// copies, the 3ware and Areca probes, their disk sensors, and the whole
// detection with both controllers on the board.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "chips/cvsensorssmart.h"
#include "core/cvtimers.h"
#include "core/fakeservices.h"
#include "detect/cvdetect.h"
#include "detect/cvdetectcontext.h"
#include "detect/cvraidprobe.h"
#include "detect/cvsensordetection.h"
#include "detectfixture.h"
#include "disks/cvthreewareraid.h"
#include "platform/raidlibraries.h"
#include "platform/sim/machine.h"
#include "platform/sim/simraid.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const char* const OneDisk = R"("disks": {"d": {"model": "WDC WD2500JS", "firmware": "10.02E01", "serial": "WD-1",
    "sectors": 488397168, "attributes": [{"id": 194, "flags": "0x0022", "value": 107, "raw": "0x28"}],
    "thresholds": [0]}})";

class RaidTest : public DetectTest {
protected:
    RaidTest() {
        fs::create_directories(temp);
        machine().simTempFiles().setFolder(temp);
    }
    ~RaidTest() override {
        monitor.Sensors.clear();
        AMCCRaid.reset();
        UnloadThreewareApi();
        FreeArecaRAID();
        ThreewareCopy.Remembered.clear();
        ArecaCopy.Remembered.clear();
        ThreewareDllName = "threeware.dll";
        ArecaDllName = "areca.dll";
    }
    void load(const std::string& sections) { machine().loadFromJson("{" + sections + "}", "test.json"); }
    void loadRaidBoard() { machine().loadFromFile(CALDAVOR_BOARDS_DIR "/raid.json"); }
    std::string privateFolder() const { return temp + "caldavor-" + std::to_string(::getuid()) + "/"; }
    const Lines& recorder() { return machine().simTempFiles().recorder(); }
    // The debug box from the line on, up to and including `last`.
    Lines boxFrom(const std::string& first, const std::string& last) const {
        const Lines box = probeLines();
        auto from = std::find(box.begin(), box.end(), first);
        auto to = std::find(from, box.end(), last);
        return to == box.end() ? Lines{} : Lines(from, to + 1);
    }
    // The lines of `lines` the trace lacks.
    Lines untraced(const Lines& lines) const {
        Lines missing;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(missing), [this](const std::string& l) { return !traced(l); });
        return missing;
    }
    // A sensor's own lines carry its name and address in front.
    bool sensorTraced(const std::string& msg) const {
        const auto lines = trace();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.ends_with(" msg : " + msg); });
    }
    // The debug box without the lines the factory writes for each new sensor.
    Lines probeLines() const {
        Lines lines;
        std::copy_if(boxes.Info.begin(), boxes.Info.end(), std::back_inserter(lines), [](const std::string& l) {
            return !l.starts_with("Linked ") && !l.starts_with(" -> Temperature");
        });
        return lines;
    }
    const TSMARTSensor& disk(std::size_t i) const { return static_cast<const TSMARTSensor&>(*monitor.Sensors.at(i)); }

    std::string temp = ProgramDir + "tmp/";
    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};

// ---- the library copies ---------------------------------------------------------------

std::string contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST_F(RaidTest, ALeftoverCopyIsReplacedAndAFileInUseSkipped) {
    load(R"("raidControllers": {"threeware": {}, "areca": {}})");
    const std::string folder = privateFolder();
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::ofstream(folder + "cvamcc00001.dll") << "an earlier run's copy";
    std::ofstream(folder + "cvareca00001.dll") << "loaded by another instance";
    machine().simTempFiles().hold(folder + "cvareca00001.dll");

    EXPECT_EQ(CreateUniqueDLL(ThreewareCopy), folder + "cvamcc00001.dll");
    const auto image = platform::sim::simLibraryImage(platform::raidlibraries::threeware::ImageBlock);
    EXPECT_EQ(contents(folder + "cvamcc00001.dll"), std::string(image.begin(), image.end()));
    EXPECT_EQ(CreateUniqueDLL(ArecaCopy), folder + "cvareca00002.dll");
    EXPECT_EQ(contents(folder + "cvareca00001.dll"), "loaded by another instance");

    const std::size_t operations = recorder().size();
    EXPECT_EQ(CreateUniqueDLL(ThreewareCopy), folder + "cvamcc00001.dll");
    EXPECT_EQ(recorder().size(), operations) << "the second call touches no file";
    EXPECT_TRUE(traced("temporary path is " + temp));

    ReleaseRaidSupport();
    EXPECT_FALSE(fs::exists(folder + "cvamcc00001.dll"));
    EXPECT_FALSE(fs::exists(folder + "cvareca00002.dll"));
    EXPECT_TRUE(ThreewareCopy.Remembered.empty());
}

TEST_F(RaidTest, AFolderNotOursIsRefused) {
    load(R"("raidControllers": {"threeware": {}})");
    const std::string folder = privateFolder();
    const std::function<void()> setups[] = {
        [&] { fs::create_directory_symlink(temp, folder.substr(0, folder.size() - 1)); },
        [&] { ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0); },
        [&] {  // made by the real user, claimed by another
            ASSERT_EQ(::mkdir((temp + "caldavor-4242").c_str(), 0700), 0);
            machine().simTempFiles().setUserId(4242);
        },
    };
    for (const auto& setup : setups) {
        setup();
        const std::string written = CreateUniqueDLL(ThreewareCopy);
        EXPECT_EQ(written, "");
        EXPECT_TRUE(std::none_of(recorder().begin(), recorder().end(),
                                 [](const std::string& op) { return op.starts_with("create"); }));
        fs::remove_all(temp);
        fs::create_directories(temp);
        machine().simTempFiles().setUserId(::getuid());
    }
}

TEST_F(RaidTest, NoTemporaryFolderWritesNothingAndTheBindingFails) {
    load(R"("raidControllers": {"threeware": {}})");
    machine().simTempFiles().setFolder("");
    ProbeAMCC(context);
    EXPECT_TRUE(traced("cvthreewareraid.CreateUniqueDLL was unable to get the temporary path"));
    EXPECT_TRUE(has(boxes.Info, "Unable to link to DLL!!!"));
    EXPECT_TRUE(recorder().empty());
}

TEST_F(RaidTest, WithoutLibraryImagesNothingIsWrittenOrLinked) {
    ProbeAMCC(context);
    ProbeArecaRAID(context);
    EXPECT_EQ(boxes.Info, (Lines{"About to probe 3ware RAID support...", "Unable to link to DLL!!!",
                                 "End of 3ware RAID probing", "About to probe Areca RAID support...",
                                 "End of Areca RAID probing"}));
    EXPECT_TRUE(recorder().empty());
}

// ---- 3ware ------------------------------------------------------------------------------

TEST_F(RaidTest, EachMissingEntryPointUnloadsTheLibrary) {
    for (const char* name : platform::raidlibraries::threeware::EntryPoints) {
        load(std::string(R"("raidControllers": {"threeware": {"absent": [")") + name + R"("]}})");
        ThreewareCopy.Remembered.clear();
        boxes.Info.clear();
        ProbeAMCC(context);
        EXPECT_FALSE(ThreewareApiLoaded()) << name;
        EXPECT_TRUE(has(boxes.Info, "Unable to link to DLL!!!")) << name;
    }
}

TEST_F(RaidTest, ALoadedLibraryIsBoundOnce) {
    load(R"("raidControllers": {"threeware": {}})");
    ThreewareDllName = CreateUniqueDLL(ThreewareCopy);
    EXPECT_FALSE(LoadThreewareApi()) << "the binding call answers false after a load";
    EXPECT_TRUE(ThreewareApiLoaded());
    EXPECT_TRUE(LoadThreewareApi());
    EXPECT_EQ(machine().simLibraries().loadRequests().size(), 1u);
}

TEST_F(RaidTest, ThreewareProbeLogsControllersDumpsAndLinksEveryDrive) {
    loadRaidBoard();
    ProbeAMCC(context);
    // 976773168, 1953525168 and 312581808 sectors: GB on the 1000 x 1000 basis.
    const Lines expected = {
        "About to probe 3ware RAID support...",
        "DLL properly linked",
        "API version is <2.1.0>",
        "3ware Controllers found : 2",
        "Controller #0 (id=0100000000000000)",
        "  Model is <9550SX-4LP>",
        "  Serial number is <L320012345>",
        "  Driver version is <3.00.04.070>",
        "  Architecture is <9550>",
        "  Firmware version is <FE9X 3.08.00.016>",
        "  BIOS version is <BE9X 3.08.00.004>",
        "  Ports count is 4",
        "  Drives count is 2",
        "  Units count is 1",
        "  Memory size is 112",
        "Controller #1 (id=0200000000000000)",
        "  Model is <9650SE-2LP>",
        "  Driver version is <3.00.04.070>",
        "  Architecture is <unknown-arch>",
        "  Ports count is 2",
        "  -> 1000000000000000",
        "Found WDC WD5000AAKS (488.4GB) on 3ware RAID",
        "Found WDC WD5000AAKS Firmware revision <01.03B01> (488.4GB) Serial <WD-WCAS12345678>",
        "  -> ID DATA VALID=1  INTF DATA VALID=1",
        "    ID=$C2  NAME=Temperature  VALUE=110  WORST=095  RAW=$000000000025  THRSHLD=$00  FLAGS=$0022",
        "Adding drive #0 (WDC WD5000AAKS) found on AMCC/3ware",
        "  -> 1100000000000000",
        "Found ST31000528AS (976.8GB) on 3ware RAID",
        "Found ST31000528AS Firmware revision <CC38> (976.8GB) Serial <9VP1ABCD>",
        "  -> ID DATA VALID=1  INTF DATA VALID=1",
        "    ID=$09  NAME=Power On Hours Count  VALUE=097  WORST=097  RAW=$000000000A0B  THRSHLD=$00  FLAGS=$0032",
        "Adding drive #1 (ST31000528AS) found on AMCC/3ware",
        "  -> 2000000000000000",
        "Found HDS721616PLA380 (156.3GB) on 3ware RAID",
        "Found HDS721616PLA380 Firmware revision <P22OABEA> (156.3GB) Serial <PVF904Z2AAAAAA>",
        "  -> ID DATA VALID=1  INTF DATA VALID=1",
        "    ID=$C2  NAME=Temperature  VALUE=150  WORST=120  RAW=$00000000001E  THRSHLD=$00  FLAGS=$0002",
        "Adding drive #2 (HDS721616PLA380) found on AMCC/3ware",
        "End of 3ware RAID probing",
    };
    EXPECT_EQ(boxFrom(expected.front(), expected.back()), expected);
    EXPECT_TRUE(has(boxes.Readings, "Found WDC WD5000AAKS (488.4GB) on 3ware RAID"));
    // The trace of the listing: GB on the 1024 x 1024 basis.
    EXPECT_EQ(Lines{}, untraced({"3ware Controllers found : 2", "  -> 0100000000000000", "  -> 0200000000000000",
                           "Drives connected to controller #0 : 2", "Drives connected to controller #1 : 1",
                           "Found WDC WD5000AAKS Firmware revision <01.03B01> (465.8GB) Serial <WD-WCAS12345678>",
                           "Found ST31000528AS Firmware revision <CC38> (931.5GB) Serial <9VP1ABCD>",
                           "Found HDS721616PLA380 Firmware revision <P22OABEA> (149.1GB) Serial <PVF904Z2AAAAAA>",
                           "    Capacity is <976773168>", "  -> ID DATA VALID=1  INTF DATA VALID=1"}));

    ASSERT_EQ(monitor.Sensors.size(), 3u);
    const Lines names = {"C0HD0 (488.4GB)", "C0HD1 (976.8GB)", "C1HD2 (156.3GB)"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(disk(i).FChipCode, TThreeWareSensor::ChipCode);
        EXPECT_EQ(disk(i).FChipName, names[i]);
        EXPECT_EQ(disk(i).FLinkText, "3ware RAID");
    }
    EXPECT_EQ(monitor.SmartDrives[2].Text, "HD2 - 156.3GB - HDS721616PLA380");
    ASSERT_EQ(disk(2).GetTempCount(), 1);
    EXPECT_EQ(disk(2).GetTemp(1).Name, "C1HD2");
    EXPECT_EQ(disk(2).GetTemp(1).Stats->FName, "C1HD2 (156.3GB) C1HD2");
    EXPECT_EQ(disk(1).GetTempCount(), 0) << "no temperature attribute";
}

TEST_F(RaidTest, AKnownDriveIsDumpedButNotLinkedAgain) {
    loadRaidBoard();
    ProbeAMCC(context);
    boxes.Info.clear();
    ProbeAMCC(context);
    EXPECT_EQ(monitor.Sensors.size(), 3u);
    EXPECT_EQ(std::count(boxes.Info.begin(), boxes.Info.end(), " --> Drive already linked"), 3);
    EXPECT_TRUE(has(boxes.Info, "    ID=$C2  NAME=Temperature  VALUE=110  WORST=095  RAW=$000000000025  THRSHLD=$00  FLAGS=$0022"));
}

TEST_F(RaidTest, ADriveWhoseAttributesFailIsStillLinkedWithoutAValue) {
    load(std::string(OneDisk) + R"(, "raidControllers": {"threeware": {"controllers": [{"id": "0100000000000000",
        "driveList": [{"id": "1000000000000000", "disk": "d", "smartFails": true}]}]}})");
    ProbeAMCC(context);
    EXPECT_TRUE(has(boxes.Info, "Unable to read SMART attributes"));
    EXPECT_TRUE(traced("Error in ATA Passthrough (Read SMART Attributes)!!!"));
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(disk(0).GetTempCount(), 0);
    EXPECT_FALSE(disk(0).Fitness().has_value()) << "no read succeeded yet";
    EXPECT_TRUE(sensorTraced("Error reading SMART attrs from drive 0 on controller #0"));
}

TEST_F(RaidTest, FailingListCallsAreTracedWithTheErrorRecord) {
    const std::string error = R"("error": {"result": 7, "flags": 1, "api": 2, "os": 3, "driver": 4, "controller": 5,
        "data": "port 3", "text": "no such unit"})";
    load(std::string(OneDisk) + R"(, "raidControllers": {"threeware": {)" + error +
         R"(, "failing": {"ThreewareGetDriveIdList": 9}, "controllers": [{"id": "0100000000000000"}]}})");
    ProbeAMCC(context);
    EXPECT_EQ(Lines{}, untraced({"Error retrieving drive list for controller #0!!!",
                           "RET=7  Flags=1  API=2  OS=3  DRV=4  CTRL=5", "  -> DATA=port 3", "  -> TEXT=no such unit"}));
    EXPECT_TRUE(has(boxes.Info, "End of 3ware RAID probing"));

    AMCCRaid.reset();
    UnloadThreewareApi();
    ThreewareCopy.Remembered.clear();
    load(R"("raidControllers": {"threeware": {"failing": {"ThreewareGetControllerIdList": 1}}})");
    ProbeAMCC(context);
    EXPECT_TRUE(traced("Error retrieving controllers count!!!"));
    EXPECT_TRUE(has(boxes.Info, "3ware Controllers found : 0"));
}

TEST_F(RaidTest, CountsBeyondTheListsAreClamped) {
    load(std::string(OneDisk) + R"(, "raidControllers": {"threeware": {"controllerCount": 4000,
        "controllers": [{"id": "0100000000000000", "driveCount": 100000,
                         "driveList": [{"id": "1000000000000000", "disk": "d"}]}]}})");
    ProbeAMCC(context);
    EXPECT_TRUE(traced("3ware Controllers found : 16"));
    EXPECT_TRUE(traced("Drives connected to controller #0 : 128"));
    EXPECT_EQ(monitor.Sensors.size(), 1u) << "ids without a controller or drive fail their information call";
}

TEST_F(RaidTest, AnOldSystemOnlyTracesTheWarning) {
    loadRaidBoard();
    setOs(4, 0);
    ProbeAMCC(context);
    EXPECT_TRUE(traced("WARNING: AMCC/3ware RAID support requires at least Windows 2000!"));
    EXPECT_EQ(boxes.Info, (Lines{"About to probe 3ware RAID support...", "End of 3ware RAID probing"}));
    EXPECT_TRUE(recorder().empty());
    EXPECT_TRUE(machine().simLibraries().loadRequests().empty());
}

TEST_F(RaidTest, TheThreewareSensorBuildsItsIdentity) {
    loadRaidBoard();
    ProbeAMCC(context);
    const auto& sensor = disk(0);
    EXPECT_EQ(sensor.FDisplayName, "WDC WD5000AAKSWD-WCAS12345678");
    const auto& g = sensor.Geometry();
    EXPECT_EQ(g.cylinders, 976773168);
    EXPECT_EQ(g.mediaType, 12u);
    EXPECT_EQ(g.tracksPerCylinder * g.sectorsPerTrack, 1u);
    const auto data = sensor.IdentifyPage().data();
    const auto word = [&](int w) { return data[2 * w] | data[2 * w + 1] << 8; };
    EXPECT_EQ(word(60) | word(61) << 16, 976773168);
    EXPECT_EQ(word(82), 1);
    EXPECT_EQ(std::string(data.begin() + 54, data.begin() + 62), "DW CDW05") << "ATA order: pairs swapped";
    ASSERT_TRUE(sensor.Fitness().has_value());
}

// ---- Areca ------------------------------------------------------------------------------

TEST_F(RaidTest, ArecaProbeLogsTheControllerAndItsSlots) {
    loadRaidBoard();
    ProbeArecaRAID(context);
    const Lines expected = {
        "ARECA : interface properly linked",
        "ARECA : Using Areca DLL version 2",
        "ARECA : FindControllers returned success",
        "ARECA : 1 Areca RAID controller(s) found",
        "ARECA : Controller #0",
        "ARECA :   <Areca Technology CorARC-1220 Firmware V1.43>",
        "ARECA :   Vendor name : <Areca Technology Corp.>",
        "ARECA :   Serial number : <Y123456789>",
        "ARECA :   Firmware version : <V1.43 2007-4-17>",
        "ARECA :   Boot version : <V1.43 2007-4-17>",
        "ARECA :   MBR version : <MBR 1.0>",
        "ARECA :   Model name : <ARC-1220>",
        "ARECA :   RAID 6 support : PRESENT",
        "ARECA :   Ethernet port : PRESENT - Local IP : 192.168.0.100 - Current IP : 192.168.0.101 - DHCP ENABLED - "
        "MAC address : 00-1B-4D-01-02",
        "ARECA :   CPU : 500 MHz - 32 KB iCache - 32 KB dCache - 256 KB L2",
        "ARECA :   Memory size : 256 MB (533 MHz) - ECC ENABLED",
        "ARECA :   Events supported : 256",
        "ARECA :   Channel usage : 0 (RAID)",
        "ARECA :   Max ATA mode : 6",
        "ARECA :   IDE channels : 3",
        "ARECA :   SCSI host channels : 0",
        "ARECA :   IDE host channels : 8",
        "ARECA :   Volume sets supported : 16",
        "ARECA :   Raid sets supported : 8",
        "ARECA :   SNMP through RS232 : NO",
        "ARECA :   Host type : PCI Express",
        "ARECA :   Target type : SATA",
        "ARECA :   InBand : N/A - SCSI InBand channel : 0 - SCSI InBand device ID : 0",
        "ARECA : H/M data for controller #0",
        "ARECA :   Fans",
        "ARECA :     #0 : 2410 RPM",
        "ARECA :   Voltages",
        "ARECA :     #0 : 12V",
        "ARECA :     #1 : 5V",
        "ARECA :     #2 : 3V",
        "ARECA :   Temperatures",
        "ARECA :     #0 : 41C",
        "ARECA :     #1 : 38C",
        "ARECA : Drive 0 on controller #0 is -->",
        // 488397168 sectors / 2 / 1024 / 1024.
        "ARECA :   Model <WDC WD2500JS-00NCB1>  Firmware <10.02E01>  Serial <WD-WCANK1234567>  Capacity 232.9 GB",
        "Found WDC WD2500JS-00NCB1 (232.9GB) on Areca RAID",
        "Found WDC WD2500JS-00NCB1 Firmware revision <10.02E01> (232.9GB) Serial <WD-WCANK1234567>",
    };
    EXPECT_EQ(boxFrom(expected.front(), expected.back()), expected);
    EXPECT_TRUE(has(boxes.Info, "ARECA : Linking drive 0 on controller #0"));
    EXPECT_TRUE(has(boxes.Info, "ARECA : Drive 1 on controller #0 is not connected"));
    EXPECT_TRUE(has(boxes.Info, "ARECA : Error reading drive 2 info on controller #0 (Error 3 - ARC_STATUS=5)"));
    EXPECT_EQ(boxes.Info.back(), "End of Areca RAID probing");
    EXPECT_TRUE(traced("ProbeArecaRAID: Drive 1 on controller #0 is not connected"));
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(disk(0).FChipCode, TArecaSensor::ChipCode);
    EXPECT_EQ(disk(0).FLinkText, "Areca RAID");
}

// A controller of `identify` with the monitor values given, on a board with one disk.
std::string arecaBoard(const std::string& controllers, const std::string& extra = "") {
    return std::string(OneDisk) + R"(, "raidControllers": {"areca": {)" + extra + R"("controllers": [)" + controllers + "]}}";
}

TEST_F(RaidTest, MonitorGroupsPrintTheValuesTheReplyHolds) {
    const struct {
        const char* model;
        const char* counts;
        Lines present, absent;
    } cases[] = {
        // An ordinary group claiming 60 values holds 50.
        {"ARC-1220", R"("fanCount": 60)", {"ARECA :     #49 : 0 RPM"}, {"ARECA :     #50 : 0 RPM"}},
        // The ARC-5010 reply holds one fan, eight voltages and two temperatures.
        {"ARC-5010", R"("fanCount": 3, "voltageCount": 9)",
         {"ARECA :     #0 : 2410 RPM", "ARECA :     #7 : 8V", "ARECA :     #1 : 38C",
          "GETHWMON from ARC-5010 is currently not tested"},
         {"ARECA :     #1 : 2420 RPM", "ARECA :     #8 : 9V"}},
    };
    for (const auto& c : cases) {
        boxes = {};
        FreeArecaRAID();
        ArecaCopy.Remembered.clear();
        load(arecaBoard(std::string(R"({"identify": "Areca Technology Cor)") + c.model + R"(", "sysInfo": {"ideChannels": 0},
            "fans": [2410, 2420], "voltages": [1, 2, 3, 4, 5, 6, 7, 8, 9], "temperatures": [41, 38], )" + c.counts + "}"));
        ProbeArecaRAID(context);
        for (const auto& line : c.present) EXPECT_TRUE(has(boxes.Info, line)) << c.model << ": " << line;
        for (const auto& line : c.absent) EXPECT_FALSE(has(boxes.Info, line)) << c.model << ": " << line;
    }
}

TEST_F(RaidTest, ArecaAddressesHoldControllerAndDrive) {
    const std::string controller = R"({"identify": "x", "sysInfo": {"ideChannels": 2}, "slots": {"1": {"disk": "d"}}})";
    load(arecaBoard(controller + ", " + controller));
    ProbeArecaRAID(context);
    ASSERT_EQ(monitor.Sensors.size(), 2u);
    EXPECT_EQ(disk(1).FAddress, 257u);
    // 488397168 sectors / 2 / 1024 / 1024.
    EXPECT_EQ(disk(1).FChipName, "C1HD1 (232.9GB)");
    ASSERT_EQ(disk(1).GetTempCount(), 1);
    EXPECT_EQ(disk(1).GetTemp(1).Name, "C1HD1");
    EXPECT_EQ(monitor.SmartDrives[1].Text, "HD257 - 232.9GB - WDC WD2500JS");
    EXPECT_TRUE(sensorTraced("TArecaSensor.GetDriveInfo : ctrl 1 encl 0 drive 1"));
}

TEST_F(RaidTest, ControllersBeyondWhatAnAddressHoldsAreNotProbed) {
    load(arecaBoard(R"({"identify": "x"})", R"("controllerCount": 300, )"));
    ProbeArecaRAID(context);
    EXPECT_TRUE(has(boxes.Info, "ARECA : 300 Areca RAID controller(s) found"));
    EXPECT_TRUE(has(boxes.Info, "ARECA : Error reading SYSTEM INFO from controller #255"));
    EXPECT_FALSE(has(boxes.Info, "ARECA : Controller #256")) << "its address would read controller 0";
}

TEST_F(RaidTest, AFailedFindEndsTheProbe) {
    load(arecaBoard(R"({"identify": "x"})", R"("findStatus": 3, )"));
    ProbeArecaRAID(context);
    EXPECT_EQ(boxFrom("ARECA : FindControllers returned failure", "End of Areca RAID probing"),
              (Lines{"ARECA : FindControllers returned failure", "ARECA : 0 Areca RAID controller(s) found",
                     "End of Areca RAID probing"}));
}

TEST_F(RaidTest, AnUnusableLibraryLogsOnlyTheFirstAndLastLine) {
    for (const char* board : {R"("raidControllers": {"areca": {"loads": false}})",
                              R"("raidControllers": {"areca": {"absent": ["ArecaGetHWMon5010"]}})"}) {
        boxes = {};
        FreeArecaRAID();
        ArecaCopy.Remembered.clear();
        load(board);
        ProbeArecaRAID(context);
        EXPECT_EQ(boxes.Info, (Lines{"About to probe Areca RAID support...", "End of Areca RAID probing"})) << board;
    }
}

TEST_F(RaidTest, AnArecaSensorWhoseFirstReadFailsHasNoValue) {
    load(arecaBoard(R"({"identify": "x", "sysInfo": {"ideChannels": 1}, "slots": {"0": {"disk": "d", "smartStatus": 4}}})"));
    ProbeArecaRAID(context);
    EXPECT_TRUE(has(boxes.Info,
                    "ARECA : Error reading SMART attributes from drive 0 on controller #0 (Error 3 - ARC_STATUS=4)"));
    EXPECT_TRUE(monitor.Sensors.empty()) << "the probe links only drives that answer";
    factory.AddSensor(GetArecaLink(), 0, TArecaSensor::ChipCode);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(disk(0).GetTempCount(), 0);
    EXPECT_FALSE(disk(0).Fitness().has_value());
    EXPECT_TRUE(sensorTraced("Error reading SMART attrs from drive 0 on controller #0"));
}

// ---- the whole detection ---------------------------------------------------------------

class RaidStartup : public RaidTest {
protected:
    RaidStartup() {
        loadRaidBoard();
        detection.Install();
        monitor.TimerService = &timers;
        monitor.Window = &window;
    }
    TClockTimers timers;
    coretest::TFakeWindow window;
    TSensorDetection detection{monitor};
};

TEST_F(RaidStartup, DetectionLinksBothControllersDrivesAndTheEndReleasesThem) {
    monitor.FormCreate({"caldavor"});
    monitor.DeferredStartup();
    // The 3ware and Areca drives are linked through the whole start-up.
    const Lines names = {"C0HD0 (488.4GB)", "C0HD1 (976.8GB)", "C1HD2 (156.3GB)", "C0HD0 (232.9GB)"};
    for (const auto& name : names)
        EXPECT_TRUE(std::any_of(monitor.Sensors.begin(), monitor.Sensors.end(),
                                [&](const auto& sensor) { return sensor->FChipName == name; }))
            << name;
    EXPECT_EQ(Lines{}, untraced({"About to probe Areca RAID", "ProbeArecaRAID: Linking drive 0 on controller #0",
                                 "End of Areca RAID detection", "About to probe AMCC/3ware RAID",
                                 "End of AMCC/3ware RAID detection"}));
    const std::string areca = ArecaCopy.Remembered;
    const std::string threeware = ThreewareCopy.Remembered;
    EXPECT_TRUE(fs::exists(areca));
    EXPECT_TRUE(fs::exists(threeware));

    monitor.FormDestroy();
    EXPECT_TRUE(traced("ARECA support freed"));
    EXPECT_EQ(ArecaRAID, nullptr);
    EXPECT_FALSE(fs::exists(areca));
    EXPECT_FALSE(fs::exists(threeware));
}

}  // namespace
