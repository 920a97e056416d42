// The window's life cycle without a window: the first stage of start-up, the
// clock lists, hardware access, the deferred start-up without detection, the
// detection signature, closing and the shutdown sequence.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "core/cvclocklists.h"
#include "core/cvdetectsensors.h"
#include "core/cvmonitor.h"
#include "core/cvtimers.h"
#include "coretest.h"
#include "fakesensor.h"
#include "fakeservices.h"
#include "hw/cvdriver.h"
#include "hw/cvsuperioinfo.h"
#include "platform/sim/machine.h"

namespace {

using Lines = std::vector<std::string>;
using coretest::TFakeDialogs;
using coretest::TFakeWindow;

class Lifecycle : public coretest::CoreTest {
protected:
    Lifecycle() {
        monitor.Log.SetBoxes(&boxes);
        monitor.Window = &window;
        monitor.Dialogs = &dialogs;
        monitor.TimerService = &timers;
    }
    ~Lifecycle() override {
        Links().clear();
        IOPort.reset();
    }

    Lines traced() const {
        Lines out;
        for (const auto& line : testsupport::splitLines(testsupport::readFile(file("debug.nfo")), "\r\n"))
            out.push_back(line.substr(line.find(" - ") + 3));
        return out;
    }
    bool traceHas(const std::string& line) const {
        const Lines lines = traced();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // The lines appear in this order, others may come between.
    void expectInOrder(const Lines& expected) const {
        const Lines lines = traced();
        auto at = lines.begin();
        for (const auto& line : expected) {
            at = std::find(at, lines.end(), line);
            ASSERT_NE(at, lines.end()) << "missing or out of order: " << line;
        }
    }
    void noDriver() { machine_->driver().installed = false; }

    TClockTimers timers;
    TFakeWindow window;
    TFakeDialogs dialogs;
    TLogBoxRecorder boxes;
    TMonitor monitor;
};

// ---- first stage --------------------------------------------------------------------

TEST_F(Lifecycle, FormCreateTracesItsStepsAndPostsTheSecondStage) {
    monitor.FormCreate({"/opt/caldavor/caldavor", "/NOSMBSCAN"});
    // The caption names the build's version from the start.
    const Lines lines = traced();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "DEBUG FILE INITIALIZED");
    EXPECT_EQ(lines[1], "Caldavor version : Caldavor " CALDAVOR_VERSION);
    expectInOrder({"Caldavor version : Caldavor " CALDAVOR_VERSION, "Command line : /opt/caldavor/caldavor /NOSMBSCAN",
                   "FORMCREATE : before icon support", "FORMCREATE : before system drivers check",
                   "About to scan installed devices...", "End of installed devices scanning",
                   "FORMCREATE : after system drivers check", "FORMCREATE : before LOADPARAMS",
                   "FORMCREATE : before sharedmem", "FORMCREATE : about to link CHM help", "FORMCREATE : maintaining logs",
                   "FORMCREATE : reading motherboard model", "FORMCREATE : SMBIOSExplorer is not available!",
                   "FORMCREATE : before PostMessage"});
    EXPECT_EQ(window.Posted, (std::vector<int>{WM_USER}));
    EXPECT_TRUE(monitor.ScanFlags.NoSMBScan) << "the switch came after the options file";
    EXPECT_TRUE(monitor.DutyEdits.SuppressPwmWrite);
    EXPECT_EQ(SuperIOInfo.ChipCode, 1);
    EXPECT_EQ(monitor.TickDividers.FanCounter, 2147483647);
    EXPECT_EQ(monitor.IO.IOState, THardwareAccess::NotTried);
    // Services not built yet say so once, and claim nothing.
    EXPECT_TRUE(traceHas("INFO : CPU thread sync cycles not available in this build"));
}

TEST_F(Lifecycle, FormCreateNamesTheBoardAndTheSyncCyclesWhenTheyExist) {
    TBoardIdentity board;
    board.BoardManufacturer = "Maker";
    board.BoardProduct = "Board";
    board.BoardVersion = "1.0";
    monitor.Board = &board;
    monitor.Cpu.GetCpuThreadSyncCycles = [] { return 42; };
    monitor.FormCreate({"caldavor"});
    expectInOrder({"FORMCREATE : CPU Thread Sync Cycles=42", "FORMCREATE : reading motherboard model",
                   "FORMCREATE : found Maker Board 1.0"});
}

TEST_F(Lifecycle, IntelStorageDriverTurnsTheScsiScanOffUnlessTheSwitchTurnsItOn) {
    platform::sim::SimDevice controller;
    controller.record.setString(platform::devprop::Class, "HDC");
    controller.record.setString(platform::devprop::Service, "iaStorA");
    machine_->devices().push_back(controller);

    monitor.FormCreate({"caldavor"});
    EXPECT_TRUE(monitor.IaStorPresent);
    EXPECT_FALSE(monitor.ScanFlags.ScanSCSI);
    EXPECT_TRUE(traceHas("SCSI Scan disabled because Intel iastora.sys driver is installed"));

    monitor.FormCreate({"caldavor", "/DOSCSISCAN"});
    EXPECT_TRUE(monitor.ScanFlags.ScanSCSI);
}

// ---- the clock page's lists ---------------------------------------------------------

TEST(ClockLists, OfferedRowsSortedByUpperCaseKeepingTheirOrder) {
    const std::vector<TClockTableRow> chips{
        {"ICS", "9248", 1}, {"cypress", "CY28", 2}, {"Cypress", "CY27", 1}, {"ICS", "9250", 0}, {"RTM", "520", 3}};
    const std::vector<TClockTableRow> boards{{"Asus", "P4", 1},     {"ABIT", "BX", 2}, {"asus", "A7", 1},
                                             {"Gigabyte", "G1", 0}, {"Abit", "KT", 1}, {"Abit", "AA", 1}};
    struct Case {
        const char* what;
        Lines items;
        Lines expected;
    };
    const Case cases[] = {
        {"chips", ClockChipItems(chips), {"Cypress CY27", "cypress CY28", "ICS 9248"}},
        {"vendors: the last of each run, none without an offered row", ClockVendorItems(boards), {"Abit", "asus"}},
        {"models of one vendor, any case", ClockModelItems(boards, "ASUS"), {"A7", "P4"}},
        {"equal models keep their order", ClockModelItems(boards, "abit"), {"AA", "BX", "KT"}},
        {"a vendor whose rows are all off", ClockModelItems(boards, "Gigabyte"), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(c.items, c.expected) << c.what;
}

TEST_F(Lifecycle, FormCreateFillsTheClockListsFromTheTables) {
    monitor.ClockTables = TClockTables{{{"ICS", "9248", 1}}, {{"Asus", "P4", 1}, {"asus", "A7", 2}}};
    monitor.FormCreate({"caldavor"});
    EXPECT_EQ(window.Items[TClockCombo::Clock], (Lines{"ICS 9248"}));
    EXPECT_EQ(window.Items[TClockCombo::Vendor], (Lines{"asus"}));
    monitor.FillClockModels("Asus");
    EXPECT_EQ(window.Items[TClockCombo::Model], (Lines{"A7", "P4"}));
}

// ---- hardware access ----------------------------------------------------------------

TEST_F(Lifecycle, AFailedOpeningIsNeverTriedAgain) {
    noDriver();
    EXPECT_FALSE(monitor.IO.EnsureIO());
    EXPECT_TRUE(traceHas("Exception opening I/O : CALDAVOR Driver Not Installed"));
    EXPECT_EQ(boxes.Readings, (Lines{"Unable to use I/O"}));
    EXPECT_EQ(monitor.IO.IOState, THardwareAccess::Failed);

    machine_->driver().installed = true;
    const Lines before = traced();
    EXPECT_FALSE(monitor.IO.EnsureIO());
    EXPECT_EQ(traced(), before);
    EXPECT_EQ(boxes.Readings.size(), 1u);
    EXPECT_EQ(IOPort, nullptr);
}

TEST_F(Lifecycle, CapabilityLinesFollowTheDriverVersion) {
    struct Case {
        std::uint32_t major, minor;
        const char* version;
        std::vector<bool> can;  // memory, MSR, map, thermal, ACPI, Dell, raw thermal, OS version
    };
    const Case cases[] = {
        {1, 1, "Caldavor.sys ver. 1.001", {true, false, false, false, false, false, false, false}},
        {1, 6, "Caldavor.sys ver. 1.006", {true, true, true, true, true, false, false, false}},
        {2, 3, "Caldavor.sys ver. 2.003", {true, true, true, true, true, true, true, true}},
    };
    const char* texts[] = {" read memory", " read MSR",  " map memory",        " query thermal",
                           " eval ACPI",   " access DELL", " query raw thermal", " get OS version"};
    for (const auto& c : cases) {
        machine_->driver().major = c.major;
        machine_->driver().minor = c.minor;
        boxes.Info.clear();
        ASSERT_TRUE(monitor.IO.OpenIO()) << c.version;
        Lines expected{"Win9x:NO  64Bit:NO  GiveIO:NO  Caldavor:YES", c.version};
        for (std::size_t i = 0; i < 8; ++i) expected.push_back(std::string("  -> ") + (c.can[i] ? "Can" : "Can't") + texts[i]);
        const Lines head(boxes.Info.begin(), boxes.Info.begin() + std::min<std::ptrdiff_t>(10, boxes.Info.size()));
        EXPECT_EQ(head, expected) << c.version;
        EXPECT_EQ(boxes.Readings.front(), "Win9x:NO  64Bit:NO  GiveIO:NO  Caldavor:YES") << "level 1 reaches both";
        boxes.Readings.clear();
    }
}

TEST_F(Lifecycle, TheMsrTestOfANonIntelProcessorWritesOnlyItsFrame) {
    monitor.Cpu.ProcessorInfo = [](int) { return TProcessorInfo{true, false, "AMD Athlon"}; };
    monitor.IO.TestIntelMSRs();
    EXPECT_EQ(boxes.Info, (Lines{"About to do a test on INTEL MSRs...", "End of INTEL MSR test"}));
    EXPECT_TRUE(boxes.Readings.empty());
}

TEST_F(Lifecycle, TheMsrTestReadsEachProcessorOfTheDemoBoard) {
    machine_->loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
    monitor.Cpu.ProcessorInfo = [](int) { return TProcessorInfo{true, true, "Intel Core 2 Quad"}; };
    IOPort = std::make_unique<TIOPort>();
    monitor.IO.TestIntelMSRs();
    const Lines& info = boxes.Info;
    const auto has = [&](const std::string& line) { return std::find(info.begin(), info.end(), line) != info.end(); };
    EXPECT_EQ(info.front(), "About to do a test on INTEL MSRs...");
    EXPECT_TRUE(has("Found <Intel Core 2 Quad>"));
    EXPECT_TRUE(has("CURRENT AFFINITY=000F"));
    EXPECT_TRUE(has("CPU#03"));
    EXPECT_TRUE(has("  AFFINITY=0008"));
    EXPECT_TRUE(has("  TSC=$0000001234567890"));
    EXPECT_TRUE(has("CPU#00 MSR[$1B]=$00000000FEE00900"));
    EXPECT_TRUE(has("CPU#02 MSR[$1B]=$00000000FEE00800"));
    EXPECT_EQ(info.back(), "End of INTEL MSR test");
}

TEST_F(Lifecycle, SignatureChecksNeedTrustAndTheSigner) {
    struct Case {
        TSignatureCheck check;
        const char* line;
        bool result;
    };
    const Case cases[] = {
        {{true, true, {"Someone", "VIREL s.r.l."}}, "FILE <f.sys> IS TRUSTED", true},
        {{true, true, {"Someone"}}, "FILE <f.sys> IS TRUSTED", false},
        {{true, false, {"Virel S.R.L."}}, "FILE <f.sys> IS NOT TRUSTED", false},
        {{false, false, {}}, "FILE <f.sys> CANNOT BE CHECKED", false},
    };
    for (const auto& c : cases) {
        monitor.SignatureChecker = [&](const std::string&) { return c.check; };
        boxes.Info.clear();
        EXPECT_EQ(monitor.IO.CheckFileSignature("f.sys", ProgramSigner), c.result) << c.line;
        ASSERT_EQ(boxes.Info.size(), 3u);
        EXPECT_EQ(boxes.Info[0], "Checking signatures...");
        EXPECT_EQ(boxes.Info[1], c.line);
        EXPECT_EQ(boxes.Info[2].rfind("End of signature checking. (00:00:", 0), 0u) << boxes.Info[2];
    }
}

TEST_F(Lifecycle, WithoutAServicePathTheDriverIsFoundThroughWmi) {
    machine_->driver().servicePath = "";
    std::vector<std::string> checked;
    monitor.SignatureChecker = [&](const std::string& file) {
        checked.push_back(file);
        return TSignatureCheck{true, true, {"Virel S.R.L."}};
    };
    monitor.WmiQueryValue = [](const std::string& ns, const std::string& query, const std::string& property) {
        if (ns != "root\\cimv2" || query != "select * from Win32_SystemDriver where caption='caldavor'" ||
            property != "pathname")
            throw std::runtime_error("unexpected query");
        return std::string("C:\\drivers\\caldavor.sys");
    };
    ASSERT_TRUE(monitor.IO.OpenIO());
    EXPECT_EQ(checked, (Lines{"C:\\drivers\\caldavor.sys"}));
    EXPECT_TRUE(traceHas("Caldavor driver is properly signed"));

    monitor.WmiQueryValue = [](const std::string&, const std::string&, const std::string&) -> std::string {
        throw std::runtime_error("WMI interface not registered on this system.");
    };
    EXPECT_EQ(monitor.IO.QueryDriverPath("caldavor"), "");
    EXPECT_TRUE(traceHas("ERROR: ERROR WHILE CREATING WMIINSPECTOR (WMI interface not registered on this system.)"));
}

TEST_F(Lifecycle, ClosingGivesBackTheDriverOnce) {
    ASSERT_TRUE(monitor.IO.EnsureIO());
    monitor.IO.CloseIO();
    EXPECT_EQ(IOPort, nullptr);
    EXPECT_EQ(monitor.IO.IOState, THardwareAccess::Closed);
    EXPECT_TRUE(traceHas("I/O properly closed"));
    EXPECT_TRUE(monitor.IO.EnsureIO()) << "a resume opens it again";
    EXPECT_NE(IOPort, nullptr);
}

// ---- second stage without detection -------------------------------------------------

TEST_F(Lifecycle, WithoutHardwareAccessNothingIsDetectedButTheTimersRun) {
    noDriver();
    // Each main tick ends by asking for the power status.
    const auto mainTicks = [this] { return std::count(window.Posted.begin(), window.Posted.end(), WM_USER + 3); };
    monitor.FormCreate({"caldavor"});
    monitor.DeferredStartup();

    expectInOrder({"Caldavor executable is not properly signed", "About to Open I/O...", "I/O properly opened..."});
    EXPECT_FALSE(traceHas("Detecting links..."));
    EXPECT_EQ(std::count(boxes.Readings.begin(), boxes.Readings.end(), "INFO : NO SUPPORTED CHIP DETECTED"), 0);
    EXPECT_TRUE(machine_->simDesktop().balloons.empty());
    EXPECT_EQ(window.Posted, (std::vector<int>{WM_USER, WM_USER + 2}));
    EXPECT_FALSE(monitor.DutyEdits.SuppressPwmWrite);

    ASSERT_TRUE(monitor.RxTimerMain && monitor.RxTimerCPULoad);
    EXPECT_TRUE(monitor.RxTimerMain->Enabled());
    EXPECT_EQ(monitor.RxTimerMain->Interval(), 3080);
    EXPECT_EQ(monitor.RxTimerCPULoad->Interval(), 1000);
    ASSERT_TRUE(monitor.PacedStepTimer);
    EXPECT_TRUE(monitor.PacedStepTimer->Enabled());
    EXPECT_EQ(monitor.PacedStepTimer->Interval(), 1450);
    machine_->simClock().advance(3079);
    timers.RunDue();
    EXPECT_EQ(mainTicks(), 0);
    machine_->simClock().advance(1);
    timers.RunDue();
    EXPECT_EQ(mainTicks(), 1);
}

TEST_F(Lifecycle, TheWelcomeHintIsShownUntilTheUserTicksItsBox) {
    noDriver();
    dialogs.NeverAgainTicked = true;
    monitor.FormCreate({"caldavor"});
    monitor.DeferredStartup();
    ASSERT_EQ(dialogs.Hints.size(), 1u);
    EXPECT_EQ(dialogs.Hints[0].Title, "Welcome to Caldavor!");
    EXPECT_TRUE(dialogs.Hints[0].AllowNeverAgain);
    EXPECT_TRUE(monitor.Options.NoMoreTip0001);
    EXPECT_NE(testsupport::readFile(monitor.OptionsFilePath()).find("NoMoreTip0001=true"), std::string::npos);
}

TEST_F(Lifecycle, StartedHiddenTheWindowMinimisesAndShowsNoHint) {
    noDriver();
    testsupport::writeFile(monitor.OptionsFilePath(), "StartupHide=true\r\n");
    window.AutoFanChecked = false;
    monitor.FormCreate({"caldavor"});
    monitor.DeferredStartup();
    EXPECT_EQ(window.Calls, (Lines{"Minimize"}));
    EXPECT_TRUE(dialogs.Hints.empty());
    EXPECT_FALSE(monitor.Options.AutoFanSpeed) << "taken from the check box";
}

// ---- the detection signature ------------------------------------------------------

TEST_F(Lifecycle, TheSignatureIsTheMD5OfNamesAndAddressesAndIsSavedOnlyWhenItChanges) {
    auto& winbond = coretest::AddFakeSensor(monitor.Sensors, "W83627DHG", {});
    auto& module = coretest::AddFakeSensor(monitor.Sensors, "MCP98242", {});
    module.FAddress = 0x18;
    module.FChipCode = 213;
    EXPECT_EQ(DetectionSignatureText(monitor.Sensors), "W83627DHG0290MCP982420018");
    EXPECT_EQ(MD5Hex(DetectionSignatureText(monitor.Sensors)), "4F4A29C1F2BB1EEF08833E7D02ACC7EA");
    EXPECT_EQ(SensorsDetectedText(monitor.Sensors), "W83627DHG\rMCP98242");
    EXPECT_TRUE(HasChipCode(monitor.Sensors, 213));
    EXPECT_FALSE(HasChipCode(monitor.Sensors, 81));

    EXPECT_TRUE(DetectionSignature(monitor));
    EXPECT_EQ(monitor.Options.LastDetect, "4F4A29C1F2BB1EEF08833E7D02ACC7EA");
    EXPECT_NE(testsupport::readFile(monitor.OptionsFilePath()).find("LastDetect=4F4A29C1F2BB1EEF08833E7D02ACC7EA"),
              std::string::npos);
    std::filesystem::remove(monitor.OptionsFilePath());
    EXPECT_FALSE(DetectionSignature(monitor));
    EXPECT_FALSE(std::filesystem::exists(monitor.OptionsFilePath()));

    winbond.FAddress = 0x295;
    EXPECT_TRUE(DetectionSignature(monitor)) << "a chip at another address";
}

// ---- closing --------------------------------------------------------------------------

TEST_F(Lifecycle, MinimizeOnCloseKeepsTheWindowUntilExitIsChosen) {
    EXPECT_TRUE(monitor.FormClose());
    monitor.Options.MinimizeOnClose = true;
    EXPECT_FALSE(monitor.FormClose());
    EXPECT_EQ(window.Posted, (std::vector<int>{WM_USER + 5}));
    monitor.HandleMessage(WM_USER + 5, 0, 0);
    EXPECT_EQ(window.Calls, (Lines{"Minimize"}));

    monitor.ACExitExecute();
    EXPECT_TRUE(monitor.ExitRequested);
    EXPECT_EQ(window.Calls.back(), "Close");
    EXPECT_TRUE(monitor.FormClose());
}

class TExitSensor : public coretest::TFakeSensor {
public:
    TExitSensor(const std::string& name, int pwms, bool restoreFails, Lines& calls)
        : TFakeSensor(name, 0x290, {{}, {}, Lines(static_cast<std::size_t>(pwms), "Pwm"), {}}),
          restoreFails_(restoreFails),
          calls_(calls) {}

protected:
    double SetPwmInternal(int index, double percent) override {
        calls_.push_back(FChipName + " pwm " + std::to_string(index) + "=" + std::to_string(static_cast<int>(percent)));
        return percent;
    }
    void RestoreInitialStateInternal() override {
        if (restoreFails_) throw std::runtime_error("bus gone");
        calls_.push_back(FChipName + " restored");
    }

private:
    bool restoreFails_;
    Lines& calls_;
};

TEST_F(Lifecycle, ShutdownDrivesEveryOutputFullThenRestoresEveryChip) {
    Lines calls;
    monitor.FormCreate({"caldavor"});
    monitor.Options.FullOnExit = true;
    monitor.AppendSensor(CreateSensor<TExitSensor>("first", 3, true, calls));
    monitor.AppendSensor(CreateSensor<TExitSensor>("second", 0, false, calls));
    monitor.FormDestroy();

    expectInOrder({"FormDestroy started", "Timers deactivated", "About to set pwm[1] for sensor[0]",
                   "About to set pwm[2] for sensor[0]", "About to set pwm[3] for sensor[0]",
                   "Duty cycles set to correct values", "Restoring sensors' initial state",
                   "About to restore first at address 00000290 to initial state",
                   "ERROR IN RESTOREINITIALSTATE (first): bus gone",
                   "About to restore second at address 00000290 to initial state",
                   "Sensors reverted to initial state", "About to free first at address 00000290",
                   "About to free second at address 00000290", "Sensors freed", "Links freed", "TrayIcon disabled",
                   "Icons freed"});
    EXPECT_FALSE(traceHas("About to set pwm[1] for sensor[1]"));
    EXPECT_EQ(calls, (Lines{"first pwm 1=100", "first pwm 2=100", "first pwm 3=100", "second restored"}));
    EXPECT_NE(std::find(boxes.Readings.begin(), boxes.Readings.end(), "ERROR IN RESTOREINITIALSTATE (first): bus gone"),
              boxes.Readings.end());
    EXPECT_TRUE(monitor.Sensors.empty());
    EXPECT_TRUE(monitor.InTimer);
    EXPECT_FALSE(monitor.RxTimerMain->Enabled());
    EXPECT_EQ(window.Calls, (Lines{"DisableTrayIcon"}));
}

}  // namespace
