// The detection order at start-up: the link walk and each link's probe chain,
// the sources after the links with their gates, steps whose source is not
// built yet, and the whole start-up on the demo board.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <tuple>
#include <stdexcept>

#include "core/cvdetectsensors.h"
#include "core/cvtimers.h"
#include "cpu/noscpuidmsr.h"
#include "core/fakeservices.h"
#include "detect/cvsensordetection.h"
#include "detectfixture.h"
#include "startupfixture.h"
#include "hw/cvosinfo.h"
#include "platform/sim/machine.h"

namespace {

using Lines = std::vector<std::string>;
using Steps = TDetectionSteps;

class DetectionOrder : public DetectTest {
protected:
    DetectionOrder() {
        detection.Install();
        // The order with recorders in place of the real steps.
        monitor.DetectionSteps = {};
        monitor.DetectionSteps.ProbeSmbusAddress = [this](TDetectionContext&, int link, std::uint32_t address) {
            probed.push_back(std::to_string(link) + ":" + std::to_string(address));
        };
    }
    TSourceProbe recorder(const std::string& name) {
        return [this, name](TDetectionContext&) { called.push_back(name); };
    }

    TSensorDetection detection{monitor};
    Lines probed;
    Lines called;
};

// ---- the sources after the links ----------------------------------------------------

enum class Sink { Nothing, Both, TraceLevel1 };

struct SourceRow {
    const char* source;
    TSourceProbe Steps::*probe;
    bool TScanFlags::*gate;  // null: the row is gated otherwise
    const char* about;
    const char* end;
    const char* off;
    Sink sink;
};

const SourceRow Rows[] = {
    {"Intel QST", &Steps::ProbeIntelQST, &TScanFlags::ScanIntelQST, "About to probe Intel QST",
     "End of Intel QST detection", "INFO : Intel QST DISABLED by user", Sink::Both},
    {"TOSHIBA SENSORS", &Steps::ProbeToshiba, &TScanFlags::ScanToshiba, "About to probe TOSHIBA SENSORS",
     "End of TOSHIBA SENSORS detection", "INFO : TOSHIBA SENSORS DISABLED by user", Sink::TraceLevel1},
    {"Areca RAID", &Steps::ProbeArecaRAID, &TScanFlags::ScanAreca, "About to probe Areca RAID",
     "End of Areca RAID detection", "INFO : Areca RAID DISABLED by user", Sink::TraceLevel1},
    {"AMCC/3ware RAID", &Steps::ProbeAMCC, &TScanFlags::Scan3ware, "About to probe AMCC/3ware RAID",
     "End of AMCC/3ware RAID detection", "INFO : 3ware RAID DISABLED by user", Sink::TraceLevel1},
    {"S.M.A.R.T.", &Steps::ProbeClassicSMART, &TScanFlags::ScanSMART, "About to probe S.M.A.R.T.",
     "End of S.M.A.R.T. detection", "INFO : S.M.A.R.T. DISABLED by user", Sink::TraceLevel1},
    {"SCSI", &Steps::ProbeSCSI, &TScanFlags::ScanSCSI, "About to probe SCSI", "End of SCSI detection",
     "INFO : SCSI DISABLED by user", Sink::Both},
    {"UGURU", &Steps::ProbeUGuru, &TScanFlags::ScanUGuru, "About to probe UGURU", "End of UGURU detection",
     "INFO : UGURU DISABLED by user", Sink::TraceLevel1},
    {"ACPI", &Steps::ProbeACPI, &TScanFlags::ScanACPI, "About to probe ACPI", "End of ACPI detection",
     "INFO : ACPI DISABLED by user", Sink::TraceLevel1},
    {"ATK0110", &Steps::ProbeATK0110New, &TScanFlags::ScanATK0110, "About to probe ATK0110",
     "End of ATK0110 detection", "INFO : ATK0110 DISABLED by user", Sink::TraceLevel1},
    {"ATI ADL", &Steps::ProbeATIADL, &TScanFlags::ScanATIADL, "About to probe ATI ADL", "End of ATI ADL detection",
     "INFO : ATI ADL DISABLED by user", Sink::TraceLevel1},
    {"AMD Internal Sensors", &Steps::ProbeAMDInternalSensors, &TScanFlags::ScanAMDK8,
     "About to probe AMD Internal Sensors", "End of AMD Internal Sensors detection", "INFO : AMD K8 DISABLED by user",
     Sink::TraceLevel1},
    {"INTEL Internal Sensors", &Steps::ProbeIntelInternalSensors, &TScanFlags::ScanIntelCore,
     "About to probe INTEL Internal Sensors", "End of INTEL Internal Sensors detection",
     "INFO : INTEL CORE DISABLED by user", Sink::TraceLevel1},
    {"NVIDIA ControlPanel Sensors", &Steps::ProbeNVControlPanel, &TScanFlags::ScanNVCpl,
     "About to probe NVIDIA ControlPanel Sensors", "End of NVIDIA ControlPanel Sensors detection",
     "INFO : NVIDIA ControlPanel DISABLED by user", Sink::TraceLevel1},
    {"DUMMY Sensors", &Steps::ProbeDummySensors, nullptr, "About to probe DUMMY Sensors",
     "End of DUMMY Sensors detection", nullptr, Sink::Nothing},
    {"FB-DIMM", &Steps::ProbeIntelFBDimm, nullptr, nullptr, nullptr, nullptr, Sink::Nothing},
};

TEST_F(DetectionOrder, EachSourceIsBracketedGatedOrNotBuiltYet) {
    enum class State { On, Off, NotBuilt };
    for (const auto& row : Rows) {
        for (State state : {State::On, State::Off, State::NotBuilt}) {
            SCOPED_TRACE(std::string(row.source) + " state " + std::to_string(static_cast<int>(state)));
            monitor.ScanFlags = TScanFlags{};
            monitor.Caption = "Caldavor 1.0 beta ";
            if (state == State::Off) {
                if (row.gate) monitor.ScanFlags.*row.gate = false;
                else if (row.probe == &Steps::ProbeDummySensors) monitor.Caption = "Caldavor 1.0";
                else continue;  // FB-DIMM runs always
            }
            monitor.DetectionSteps.*row.probe = state == State::NotBuilt ? TSourceProbe{} : recorder(row.source);
            called.clear();
            boxes.Readings.clear();
            boxes.Info.clear();
            clearTrace();
            DetectSensors(monitor);

            const std::string notBuilt = std::string("INFO : ") + row.source + " detection not built yet";
            EXPECT_EQ(called, state == State::On ? Lines{row.source} : Lines{});
            if (row.about) {
                EXPECT_EQ(traced(row.about), state == State::On);
            }
            if (row.end) {
                EXPECT_EQ(traced(row.end), state == State::On);
            }
            EXPECT_EQ(traced(notBuilt), state == State::NotBuilt);
            if (row.off) {
                const bool off = state == State::Off;
                EXPECT_EQ(traced(row.off), off && row.sink == Sink::TraceLevel1);
                EXPECT_EQ(DetectTest::has(boxes.Readings, row.off), off) << "both boxes in either sink";
            }
            monitor.DetectionSteps.*row.probe = {};
        }
    }
    EXPECT_TRUE(DetectTest::has(boxes.Info, "End of detection"));
}

TEST_F(DetectionOrder, RowDetailsAndFailingProbes) {
    const auto throwing = [](const char* what) {
        return [what](TDetectionContext&) -> void { throw std::runtime_error(what); };
    };
    auto& steps = monitor.DetectionSteps;
    steps.ProbeArecaRAID = throwing("no card");
    steps.ProbeAMCC = throwing("no library");
    steps.ProbeToshiba = throwing("device gone");
    steps.ProbeATK0110New = recorder("ATK0110");
    steps.ProbeUGuru = recorder("UGURU");
    steps.ProbeAdvancedSMART = recorder("advanced");
    steps.ProbeCSMISMART = recorder("CSMI");
    steps.ProbeClassicSMART = recorder("classic");
    monitor.ParseCommandLine({"/NOACPISCAN", "/NOCSMISMARTSCAN"});
    monitor.IaStorPresent = true;
    monitor.ScanFlags.ScanSCSI = false;
    DetectSensors(monitor);

    EXPECT_TRUE(traced("WARN : Areca RAID support exception (no card)"));
    EXPECT_TRUE(has(boxes.Readings, "!!!Exception in ProbeAMCC (no library)"));
    EXPECT_TRUE(has(boxes.Readings, "!!!Exception in TOSHIBA SENSORS detection (device gone)"));
    EXPECT_TRUE(traced("INFO : ATK0110 DISABLED by user")) << "no ATK0110 without ACPI";
    EXPECT_TRUE(traced("INFO : CSMI S.M.A.R.T. DISABLED by user"));
    EXPECT_TRUE(has(boxes.Readings, "INFO : SCSI DISABLED by user or because iaStorA.sys is installed"));
    EXPECT_EQ(called, (Lines{"advanced", "classic", "UGURU"})) << "failures stop nothing";
}

TEST_F(DetectionOrder, ArecaIsNotProbedOnWindows2000BuiltOrNot) {
    auto before = std::move(OperatingSystem);
    OperatingSystem = std::make_unique<TNosOperatingSystem>();
    OperatingSystem->Kind = 7;
    for (const bool built : {true, false}) {
        SCOPED_TRACE(built ? "built" : "not built");
        clearTrace();
        monitor.DetectionSteps.ProbeArecaRAID = built ? recorder("Areca") : TSourceProbe{};
        DetectSensors(monitor);
        EXPECT_TRUE(called.empty());
        EXPECT_TRUE(traced("INFO : Areca RAID DISABLED on Windows 2K"));
        EXPECT_FALSE(traced("INFO : Areca RAID detection not built yet"));
    }
    OperatingSystem = std::move(before);
}

// ---- the links ------------------------------------------------------------------------

TEST_F(DetectionOrder, ALinkThatAProbeRegistersIsWalkedToo) {
    addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    addSMBusLink();
    auto& steps = monitor.DetectionSteps;
    steps.ProbeSuperIO = [this](TDetectionContext&) {
        called.push_back("SuperIO");
        addLink(LinkKinds::ISA, HostKinds::ISA, 0xA10);
    };
    steps.ActivateWinbondMonitorIfMissing = [this](TDetectionContext&) {
        called.push_back("closing after " + std::to_string(Links().size()) + " links");
    };
    steps.HandleSpecialBoardTrap1 = recorder("trap");
    DetectSensors(monitor);

    EXPECT_EQ(called, (Lines{"SuperIO", "closing after 3 links", "trap"}));
    EXPECT_EQ(boxes.Readings[0], "Scanning ISA BUS at $0290...");
    EXPECT_EQ(boxes.Readings[1], "Scanning Intel SMBus at $0400...");
    EXPECT_TRUE(has(boxes.Readings, "Scanning ISA BUS at $0A10..."));
    EXPECT_EQ(probed.front(), "0:656");
    EXPECT_EQ(probed.back(), "2:2576") << "the new link's own base";
    EXPECT_EQ(probed.size(), 2u + 66u) << "two ISA bases and the SMBus probe set";
    EXPECT_TRUE(tracedAll({"Probing SuperIO (new)...", "Probing SuperIO (old)...",
                           "SuperIO probing ended...", "Probing ISA at $290...", "Probing SMBus...",
                           "Probing ISA at $A10..."}))
        << "the new-Super-I/O probe may be missing; the pair still runs";
    EXPECT_TRUE(traced("INFO : DELL support detection not built yet"));
    EXPECT_FALSE(traced("Probing DELL...")) << "a step not built yet claims nothing";
}

TEST_F(DetectionOrder, AListEndingInALinkTheWalkSkipsStillClosesOnce) {
    addSMBusLink();
    auto& steps = monitor.DetectionSteps;
    steps.ProbeICHSlaveAddress = [this](TDetectionContext&, int) { addLink(LinkKinds::PCI, 0, 0xCF8); };
    steps.ActivateWinbondMonitorIfMissing = recorder("Winbond");
    steps.HandleSpecialBoardTrap1 = recorder("trap");
    steps.ProbeIntelQST = recorder("first source");
    monitor.ScanFlags.NoSMBScan = true;
    monitor.ScanFlags.ScanDELL = false;
    DetectSensors(monitor);

    EXPECT_EQ(called, (Lines{"Winbond", "trap", "first source"})) << "after the walk, before the sources";
    EXPECT_TRUE(probed.empty());
    EXPECT_TRUE(has(boxes.Readings, "SMBus scanning disabled by RUN PARAMETER"));
    EXPECT_TRUE(has(boxes.Readings, "DELL support disabled by RUN PARAMETER"));
    EXPECT_TRUE(tracedAll({"Probing INTEL ICHx Slave", "INTEL ICHx Slave probing ended..."}));
}

TEST_F(DetectionOrder, ALinkAClosingStepRegistersIsNotWalkedAndClosesNothingAgain) {
    addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    addLink(LinkKinds::PCI, 0, 0xCF8);
    auto& steps = monitor.DetectionSteps;
    steps.ActivateWinbondMonitorIfMissing = [this](TDetectionContext&) {
        called.push_back("Winbond");
        addLink(LinkKinds::ISA, HostKinds::ISA, 0xA10);
    };
    steps.HandleSpecialBoardTrap1 = recorder("trap");
    DetectSensors(monitor);

    EXPECT_EQ(called, (Lines{"Winbond", "trap"}));
    EXPECT_EQ(probed, (Lines{"0:656"}));
    EXPECT_FALSE(has(boxes.Readings, "Scanning ISA BUS at $0A10..."));
}

TEST_F(DetectionOrder, AnUnusedSharedISAPortIsNotProbed) {
    addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    monitor.DetectionSteps.IsISAPort290Unused = [](TDetectionContext&, int) { return true; };
    DetectSensors(monitor);
    EXPECT_TRUE(probed.empty());
    EXPECT_FALSE(monitor.IsaPortUsed);
    EXPECT_TRUE(has(boxes.Info, "INFO: ISA seems to be unused"));
}

// ---- the deferred start-up ------------------------------------------------------------

class TFakeSMBusDebug : public TSMBusDebugDialog {
public:
    void RunModal() override { ++Runs; }
    int Runs = 0;
};

TEST_F(DetectionOrder, TheSMBusDebugDialogReplacesDetection) {
    TFakeSMBusDebug dialog;
    monitor.SMBusDebugDialog = &dialog;
    monitor.FormCreate({"caldavor", "/SMBDEBUG"});
    monitor.DeferredStartup();
    EXPECT_EQ(dialog.Runs, 1);
    EXPECT_TRUE(traced("Detecting links..."));
    EXPECT_FALSE(traced("Detecting sensors..."));
    EXPECT_TRUE(has(boxes.Readings, "INFO : NO SUPPORTED CHIP DETECTED"));
    const auto& balloons = machine().simDesktop().balloons;
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].title, "Caldavor");
    EXPECT_EQ(balloons[0].text, "No supported sensor chip detected");
    EXPECT_EQ(balloons[0].icon, platform::BalloonIcon::Warning);
    EXPECT_FALSE(monitor.DutyEdits.SuppressPwmWrite) << "the closing steps still run";
}

// The whole start-up as the program runs it: the board's buses, the real
// probes and factory, the first samples and the timers.
class BoardStartup : public ProgramStartupTest {
protected:
    explicit BoardStartup(const std::string& board) { machine().loadFromFile(CALDAVOR_BOARDS_DIR "/" + board); }
    void start() { startProgram(); }
};

class DemoStartup : public BoardStartup {
protected:
    DemoStartup() : BoardStartup("demo.json") {}
};

TEST_F(DemoStartup, FindsTheDesktopsChipsAndReadsThem) {
    start();
    // The Super I/O monitor on the first link's turn, then the SMBus in address order,
    // then the two disks in the disk search's order, linked by the advanced method only,
    // then the processor's own sensor.
    const std::tuple<const char*, std::uint32_t, const char*> chips[] = {
        {"Winbond W83627DHG", 0x290, "ISA"}, {"MCP98242", 0x18, "Intel SMBus"}, {"MCP98242", 0x19, "Intel SMBus"},
        {"LM75", 0x48, "Intel SMBus"},       {"LM90", 0x4C, "Intel SMBus"},     {"HD1 (1000.2GB)", 0, "AdvSMART"},
        {"HD0 (500.1GB)", 1, "AdvSMART"},    {"INTEL CORE", 0, "ISA"}};
    ASSERT_EQ(monitor.Sensors.size(), std::size(chips));
    for (std::size_t i = 0; i < std::size(chips); ++i) {
        const auto& [name, address, link] = chips[i];
        EXPECT_EQ(monitor.Sensors[i]->FChipName, name);
        EXPECT_EQ(monitor.Sensors[i]->FAddress, address) << name;
        EXPECT_EQ(monitor.Sensors[i]->FLinkText, link) << name;
    }
    // First samples: JC-42.4 01C4h / 16 and 01D0h / 16; LM75 1A80h / 256.
    EXPECT_DOUBLE_EQ(monitor.Sensors[1]->GetTemp(1).Stats->Last(), 28.25);
    EXPECT_DOUBLE_EQ(monitor.Sensors[2]->GetTemp(1).Stats->Last(), 29.0);
    EXPECT_DOUBLE_EQ(monitor.Sensors[3]->GetTemp(1).Stats->Last(), 26.5);
    // Core 0: Tjmax 90 (a 65 nm quad core) less the 45 degrees of its thermal status.
    EXPECT_DOUBLE_EQ(monitor.Sensors[7]->GetTemp(1).Stats->Last(), 45.0);
    EXPECT_EQ(SuperIOInfo.ChipCode, 30);
    EXPECT_TRUE(has(boxes.Readings, "Scanning ISA BUS at $0290..."));
    EXPECT_TRUE(has(boxes.Readings, "Scanning Intel SMBus at $0400..."));
    EXPECT_TRUE(has(boxes.Info, "End of detection"));
    EXPECT_TRUE(has(boxes.Readings, "I/O properly initialized")) << "DebugMode is on by default";
    EXPECT_TRUE(tracedAll({"Detecting links...", "Detecting sensors...", "Probing SMBus...",
                           "About to read first samples from MCP98242@$18(onSMBusIntel@$400)", "Activating timer..."}));
    // No HECI interface: the QST step opens nothing and finds nothing.
    EXPECT_TRUE(tracedAll({"About to probe Intel QST", "End of Intel QST detection"}));

    const auto& balloons = machine().simDesktop().balloons;
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].title, "Sensors detected");
    EXPECT_EQ(balloons[0].text, "Winbond W83627DHG\rMCP98242\rMCP98242\rLM75\rLM90\rHD1 (1000.2GB)\rHD0 (500.1GB)\rINTEL CORE");
    // MD5 of "Winbond W83627DHG0290MCP982420018MCP982420019LM750048LM90004CHD1 (1000.2GB)0000HD0 (500.1GB)0001INTEL CORE0000".
    EXPECT_EQ(monitor.Options.LastDetect, "DC29ABA1D740B3D7A0E5EFBEA889517D");
    // The drive list of the S.M.A.R.T. page, by drive number; the system disk's script starts at 36.
    ASSERT_EQ(monitor.SmartDrives.size(), 2u);
    EXPECT_EQ(monitor.SmartDrives[0].Text, "HD1 - 1000.2GB - WDC WD10EZEX-00BN5A0");
    EXPECT_EQ(monitor.SmartDrives[1].Text, "HD0 - 500.1GB - ST3500418AS");
    EXPECT_EQ(monitor.SmartDrives[1].Sensor, monitor.Sensors[6].get());
    EXPECT_EQ(monitor.Sensors[5]->GetTemp(1).Name, "HD1");
    EXPECT_EQ(monitor.Sensors[6]->GetTemp(1).Name, "HD0");
    EXPECT_TRUE(monitor.RxTimerMain->Enabled());
    EXPECT_FALSE(monitor.DutyEdits.SuppressPwmWrite);
    monitor.FormDestroy();
    EXPECT_TRUE(Links().empty());
}

TEST_F(DemoStartup, ASecondStartWithTheSameChipsShowsNoBalloon) {
    start();
    monitor.FormDestroy();
    std::filesystem::remove(monitor.OptionsFilePath());
    testsupport::writeFile(monitor.OptionsFilePath(), "LastDetect=DC29ABA1D740B3D7A0E5EFBEA889517D\r\n");
    machine().simDesktop().balloons.clear();
    start();
    EXPECT_EQ(monitor.Sensors.size(), 8u);
    EXPECT_TRUE(machine().simDesktop().balloons.empty());
}

// A board file through the whole start-up.
class BoardFileStartup : public ProgramStartupTest {
protected:
    // The board's text, named by its path so that files it names are found beside it.
    void start(const std::string& board, const std::string& path) {
        machine().loadFromJson(board, path);
        startProgram();
    }
};

TEST_F(BoardFileStartup, TheW83627HFBoardIsOneW83627HFFoundByItsRegisters) {
    start(testsupport::readFile(CALDAVOR_BOARDS_DIR "/w83627hf.json"), CALDAVOR_BOARDS_DIR "/w83627hf.json");
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 33);
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0x290u);
    EXPECT_EQ(monitor.Sensors[0]->FLinkText, "ISA");
    EXPECT_TRUE(has(boxes.Readings, "Winbond W83627HF (ID=$21) found on ISA@$290 at $290"));
    monitor.FormDestroy();
}

TEST_F(BoardFileStartup, AVendorWordWithItsBytesSwappedIsNotIdentified) {
    std::string board = testsupport::readFile(CALDAVOR_BOARDS_DIR "/w83627hf.json");
    const auto at = board.find("0x5CA3");
    ASSERT_NE(at, std::string::npos);
    board.replace(at, 6, "0xA35C");
    start(board, CALDAVOR_BOARDS_DIR "/w83627hf.json");
    for (const auto& sensor : monitor.Sensors) EXPECT_NE(sensor->FChipCode, 33);
    EXPECT_FALSE(has(boxes.Readings, "Winbond W83627HF (ID=$21) found on ISA@$290 at $290"));
    monitor.FormDestroy();
}

// Every board file of the repository starts, runs its timers and shuts down.
std::vector<std::string> BoardFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(CALDAVOR_BOARDS_DIR))
        if (entry.path().extension() == ".json") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

class EveryBoard : public BoardFileStartup, public ::testing::WithParamInterface<std::string> {};

TEST_P(EveryBoard, StartsCleanly) {
    start(testsupport::readFile(GetParam()), GetParam());
    EXPECT_TRUE(has(boxes.Info, "End of detection"));
    EXPECT_TRUE(monitor.RxTimerMain->Enabled());
    monitor.FormDestroy();
    EXPECT_TRUE(Links().empty());
}

INSTANTIATE_TEST_SUITE_P(Boards, EveryBoard, ::testing::ValuesIn(BoardFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = std::filesystem::relative(info.param, CALDAVOR_BOARDS_DIR).string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace

namespace {

// A W83627HF whose BIOS left its monitor off, on a board without an SMBus
// host: the list ends with the PCI link, and the closing steps still run.
class AsleepMonitorStartup : public BoardStartup {
protected:
    AsleepMonitorStartup() : BoardStartup("w83627hf-asleep.json") {}
};

TEST_F(AsleepMonitorStartup, TheActivationRunsAfterTheWalkAndFindsTheMonitor) {
    start();
    ASSERT_EQ(Links().back()->LinkKind(), LinkKinds::PCI) << "the list ends with a link the walk skips";
    const Lines activation = {"msg031 Winbond W83627HF",
                              "msg000 Winbond W83627HF 002E",
                              "msg001 Winbond W83627HF",
                              "msg002 Winbond W83627HF",
                              "msg004 Winbond W83627HF",
                              "msg005 0290",
                              "msg006 0290",
                              "msg007",
                              "msg026",
                              "msg028",
                              "msg010 2D",
                              "msg015 01",
                              "msg016 49",
                              "msg021 48"};
    Lines seen;
    for (const auto& line : boxes.Info)
        if (has(activation, line)) seen.push_back(line);
    EXPECT_EQ(seen, activation) << "once, in order";
    auto& device = *machine().registerFile("w83627hf-config:0B");
    EXPECT_EQ(device.peek(0x30) & 0x01, 0x01) << "the monitor is switched on";
    EXPECT_LT(machine().registerFile("w83627hf-config")->peek(0x2B), 0x40);

    // The monitor is probed on the first link, at 290h, and its sensor added there.
    const auto onFirstLink = std::count_if(monitor.Sensors.begin(), monitor.Sensors.end(), [](const auto& sensor) {
        return sensor->FLink == Links().front().get() && sensor->FAddress == 0x290;
    });
    EXPECT_EQ(onFirstLink, 1);
    const auto found = std::find_if(monitor.Sensors.begin(), monitor.Sensors.end(),
                                    [](const auto& sensor) { return sensor->FAddress == 0x290; });
    ASSERT_NE(found, monitor.Sensors.end());
    EXPECT_EQ((*found)->FChipCode, 33) << "identified as the W83627HF by its registers";
    // 4Eh keeps its power-on 80h: 4Fh shows the vendor word's high byte.
    EXPECT_TRUE(has(boxes.Info, "msg008 5C2D"));
    EXPECT_TRUE(has(boxes.Info, "msg027 ISA 5C0290"));
    EXPECT_TRUE(has(boxes.Info, "End of detection"));
}

}  // namespace
