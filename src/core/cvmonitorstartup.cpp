#include "core/cvmonitor.h"

#include <exception>

#include "base/cvformat.h"
#include "core/cvclocklists.h"
#include "core/cvdetectsensors.h"
#include "core/cvmaintick.h"
#include "core/cvpacedstep.h"
#include "core/cvpower.h"
#include "core/cvsmartdisk.h"
#include "core/cvvars.h"
#include "hw/cvsetupapi.h"
#include "hw/cvsuperioinfo.h"
#include "platform/desktop.h"

using cvformat::Format;

// FormCreate: the first stage of the start-up, up to the timers.

namespace {

constexpr int MainTimerInterval = 3080;
constexpr int CpuLoadTimerInterval = 1000;

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& commandLine) {
    std::string text;
    for (const auto& part : commandLine) text += (text.empty() ? "" : " ") + part;
    return text;
}

void TMonitor::CheckSystemDrivers() {
    IaStorPresent = ::CheckSystemDrivers([this](const std::string& msg) { Log.TraceMessage(msg, 0); });
}

void TMonitor::FillClockChips() {
    if (!ClockTables) return;
    if (Window) Window->SetClockItems(TClockCombo::Clock, ClockChipItems(ClockTables->ClockChips));
}

void TMonitor::FillClockVendors() {
    if (!ClockTables) return;
    if (Window) Window->SetClockItems(TClockCombo::Vendor, ClockVendorItems(ClockTables->Boards));
}

void TMonitor::FillClockModels(const std::string& vendor) {
    if (!ClockTables) return;
    if (Window) Window->SetClockItems(TClockCombo::Model, ClockModelItems(ClockTables->Boards, vendor));
}

void TMonitor::FormCreate(const std::vector<std::string>& commandLine) {
    programFile_ = commandLine.empty() ? std::string() : commandLine.front();
    WriteDebugLog("Caldavor version : " + Caption);
    WriteDebugLog("Command line : " + JoinCommandLine(commandLine));

    IaStorPresent = false;
    ExitRequested = false;
    if (Window) Window->PrepareControls();

    Links().clear();
    SmartDrives.clear();
    Sensors.clear();
    SensorInUse.clear();
    Slots = TReadingSlots{};
    InTimer = false;
    IO.IOState = THardwareAccess::NotTried;
    IO.IOAvailable = false;
    DutyEdits.SuppressPwmWrite = true;
    IsaPortUsed = true;
    Options = TOptions{};
    TickDividers = TTickDividers{};
    SuperIOInfo.ChipCode = TSuperIOInfo::NoChip;
    CreateTimers();

    WriteDebugLog("FORMCREATE : before icon support");
    WriteDebugLog("FORMCREATE : before system drivers check");
    CheckSystemDrivers();
    WriteDebugLog("FORMCREATE : after system drivers check");

    ScanFlags = TScanFlags{};
    ScanFlags.SMBWordScan = IsBeta();
    if (IaStorPresent) {
        Log.TraceMessage("SCSI Scan disabled because Intel iastora.sys driver is installed", 0);
        ScanFlags.ScanSCSI = false;
    }

    if (Window) Window->ClearClockLabels();
    if (!ClockTables) WriteDebugLog("INFO : clock tables not available in this build");
    FillClockChips();
    FillClockVendors();

    WriteDebugLog("FORMCREATE : before LOADPARAMS");
    LoadParams(OptionsFilePath(), false);
    ParseCommandLine(commandLine.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>(commandLine.begin() + 1, commandLine.end()));

    WriteDebugLog("FORMCREATE : before sharedmem");
    OpenSharedBlock();

    IO.IOAvailable = false;
    if (Window) {
        Window->SetupCPULoadPanel();
        Window->InstallHintHandler();
    }
    if (Language) {
        try {
            Language->SetLanguage("English");
        } catch (const ELanguageError& e) {
            WriteDebugLog(e.what());
        }
    }

    WriteDebugLog("FORMCREATE : about to link CHM help");
    Help.LinkHelpFile([](const std::string& path) { return platform::current().desktop().openDocument(path); });
    WriteDebugLog("FORMCREATE : maintaining logs");
    MaintainLogs();
    if (Cpu.GetCpuThreadSyncCycles)
        WriteDebugLog(Format("FORMCREATE : CPU Thread Sync Cycles=%d", {Cpu.GetCpuThreadSyncCycles()}));
    else
        WriteDebugLog("INFO : CPU thread sync cycles not available in this build");

    WriteDebugLog("FORMCREATE : reading motherboard model");
    if (Board)
        WriteDebugLog(Format("FORMCREATE : found %s %s %s",
                             {Board->BoardManufacturer, Board->BoardProduct, Board->BoardVersion}));
    else
        WriteDebugLog("FORMCREATE : SMBIOSExplorer is not available!");

    WriteDebugLog("FORMCREATE : before PostMessage");
    if (Window) Window->PostMessage(WM_DEFERRED_STARTUP, 0, 0);
}

void TMonitor::CreateTimers() {
    if (!TimerService || RxTimerMain) return;
    RxTimerMain = TimerService->CreateTimer(MainTimerInterval, [this] { RxTimerMainTimer(); });
    RxTimerCPULoad = TimerService->CreateTimer(CpuLoadTimerInterval, [this] {
        if (CpuLoadTimer)
            CpuLoadTimer();
        else
            Events.ProcessEvents();
    });
    PacedStepTimer = TimerService->CreateTimer(static_cast<int>(PacedStepIntervalMs), [] { RunDuePacedSteps(); });
}

void TMonitor::SetTimersEnabled(bool enabled) {
    for (auto* timer : {RxTimerMain.get(), RxTimerCPULoad.get(), PacedStepTimer.get()})
        if (timer) timer->SetEnabled(enabled);
}
